#include "support/LatencyRelay.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <deque>

struct LatencyRelay::Counters {
    std::atomic<int> connections{0};
    std::atomic<qint64> toServer{0};
    std::atomic<qint64> toClient{0};
};

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;

// A chunk whose moment is this close counts as due: the timer wakes on whole
// milliseconds, so its moment is rounded to the nearest one and a chunk
// leaves at most this early or late.
constexpr microseconds kDueSlack{500};

bool isLoopback(const QHostAddress& a)
{
    return a.protocol() == QAbstractSocket::IPv4Protocol &&
           a.isInSubnet(QHostAddress(QStringLiteral("127.0.0.0")), 8);
}

// One way through a connection: what was read from one socket goes to the
// other once due. A close takes the same queue, behind the last bytes.
class Lane : public QObject {
public:
    Lane(QTcpSocket* to, microseconds delay, std::atomic<qint64>& handedOn, QObject* parent)
        : QObject(parent), to_(to), delay_(delay), handedOn_(handedOn)
    {
        timer_.setSingleShot(true);
        timer_.setTimerType(Qt::PreciseTimer);
        connect(&timer_, &QTimer::timeout, this, &Lane::serve);
    }

    void carry(QByteArray bytes)
    {
        if (!bytes.isEmpty()) push(Chunk{Clock::now() + delay_, std::move(bytes), false});
    }
    void carryClose() { push(Chunk{Clock::now() + delay_, {}, true}); }

    // Writes what is due, if the receiving socket is connected, and sets the
    // timer for the next chunk. Also called once that socket connects.
    void serve()
    {
        if (to_->state() != QAbstractSocket::ConnectedState) return;
        const Clock::time_point now = Clock::now();
        while (!queue_.empty() && queue_.front().due <= now + kDueSlack) {
            Chunk c = std::move(queue_.front());
            queue_.pop_front();
            if (c.close) {
                queue_.clear();
                to_->disconnectFromHost();
                return;
            }
            to_->write(c.bytes);
            handedOn_ += c.bytes.size();
        }
        if (queue_.empty()) return;
        const auto wait = std::chrono::round<std::chrono::milliseconds>(queue_.front().due - now);
        timer_.start(int(std::max<std::chrono::milliseconds::rep>(wait.count(), 0)));
    }

private:
    struct Chunk {
        Clock::time_point due;
        QByteArray bytes;
        bool close;
    };

    void push(Chunk c)
    {
        queue_.push_back(std::move(c));
        // A queue that held something already has its timer running.
        if (queue_.size() == 1) serve();
    }

    QTcpSocket* to_;
    microseconds delay_;
    std::atomic<qint64>& handedOn_;
    std::deque<Chunk> queue_;
    QTimer timer_;
};

// One client's connection and the relay's own to the server; it ends when
// both sockets are closed.
class Link : public QObject {
public:
    Link(QTcpSocket* client, const QHostAddress& target, quint16 targetPort, microseconds oneWay,
         LatencyRelay::Counters& counters, QObject* parent)
        : QObject(parent), client_(client), server_(new QTcpSocket(this))
    {
        client_->setParent(this);
        client_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        toServer_ = new Lane(server_, oneWay, counters.toServer, this);
        toClient_ = new Lane(client_, oneWay, counters.toClient, this);

        connect(client_, &QTcpSocket::readyRead, this, [this] { toServer_->carry(client_->readAll()); });
        connect(server_, &QTcpSocket::readyRead, this, [this] { toClient_->carry(server_->readAll()); });
        connect(client_, &QTcpSocket::disconnected, this, [this] { closed(client_, toServer_); });
        connect(server_, &QTcpSocket::disconnected, this, [this] { closed(server_, toClient_); });
        connect(server_, &QTcpSocket::connected, this, [this] {
            serverReached_ = true;
            server_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            toServer_->serve();
        });
        // A server that cannot be reached: the client learns it as late as
        // it would learn of a refusal from afar.
        connect(server_, &QTcpSocket::errorOccurred, this, [this] {
            if (!serverReached_ && server_->state() == QAbstractSocket::UnconnectedState) {
                serverReached_ = true;   // no second close
                toClient_->carryClose();
                endIfClosed();
            }
        });

        QTimer::singleShot(std::chrono::duration_cast<std::chrono::milliseconds>(2 * oneWay), Qt::PreciseTimer, this,
                           [this, target, targetPort] { server_->connectToHost(target, targetPort); });
    }

private:
    // `from` closed: the other side is told once the last bytes reach it.
    void closed(QTcpSocket* from, Lane* onward)
    {
        onward->carry(from->readAll());
        onward->carryClose();
        endIfClosed();
    }

    void endIfClosed()
    {
        if (client_->state() == QAbstractSocket::UnconnectedState && serverReached_ &&
            server_->state() == QAbstractSocket::UnconnectedState)
            deleteLater();
    }

    QTcpSocket* client_;
    QTcpSocket* server_;
    Lane* toServer_;
    Lane* toClient_;
    bool serverReached_ = false;   // connected, or known never to be
};

class Listener : public QObject {
public:
    Listener(const QHostAddress& target, quint16 targetPort, microseconds oneWay,
             std::shared_ptr<LatencyRelay::Counters> counters)
        : server_(new QTcpServer(this)), target_(target), targetPort_(targetPort), oneWay_(oneWay),
          counters_(std::move(counters))
    {
        connect(server_, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server_->nextPendingConnection()) {
                ++counters_->connections;
                new Link(s, target_, targetPort_, oneWay_, *counters_, this);
            }
        });
    }

    QTcpServer* server_;

private:
    QHostAddress target_;
    quint16 targetPort_;
    microseconds oneWay_;
    std::shared_ptr<LatencyRelay::Counters> counters_;
};

}  // namespace

LatencyRelay::LatencyRelay(const QString& targetHost, quint16 targetPort, std::chrono::milliseconds roundTrip)
    : target_(targetHost), targetPort_(targetPort), roundTrip_(roundTrip), counters_(std::make_shared<Counters>())
{
}

LatencyRelay::~LatencyRelay()
{
    if (!thread_) return;
    // The listener and its connections go with the thread's last events.
    thread_->quit();
    thread_->wait();
}

bool LatencyRelay::listen(QString* error, const QString& host, quint16 port)
{
    const QHostAddress address(host);
    if (!isLoopback(address) || !isLoopback(target_)) {
        if (error) *error = QString("the relay works on 127.0.0.0/8 only, not %1 to %2").arg(host, target_.toString());
        return false;
    }
    if (thread_) {
        if (error) *error = "the relay listens already";
        return false;
    }
    auto* listener = new Listener(target_, targetPort_, std::chrono::duration_cast<microseconds>(roundTrip_) / 2,
                                  counters_);
    thread_ = std::make_unique<QThread>();
    thread_->setObjectName(QString("relay %1").arg(targetPort_));
    listener->moveToThread(thread_.get());
    QObject::connect(thread_.get(), &QThread::finished, listener, &QObject::deleteLater);
    thread_->start();
    QString failure;
    QMetaObject::invokeMethod(
        listener,
        [&] {
            if (listener->server_->listen(address, port))
                port_ = listener->server_->serverPort();
            else
                failure = listener->server_->errorString();
        },
        Qt::BlockingQueuedConnection);
    if (port_ != 0) return true;
    if (error) *error = QString("the relay cannot listen on %1:%2: %3").arg(host).arg(port).arg(failure);
    return false;
}

quint16 LatencyRelay::port() const { return port_; }
int LatencyRelay::connections() const { return counters_->connections; }
qint64 LatencyRelay::bytesToServer() const { return counters_->toServer; }
qint64 LatencyRelay::bytesToClient() const { return counters_->toClient; }
