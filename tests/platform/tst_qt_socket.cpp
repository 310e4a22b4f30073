// The Qt socket adapter against a real server on the loopback interface.
#include <QtTest>
#include <QTcpServer>
#include <QTcpSocket>

#include "platform/qt/QtSocket.h"

namespace {

// Counts every event the socket raises and keeps what the owner read.
struct EventLog {
    int connects = 0, arrivals = 0, closes = 0, errors = 0;
    int lastErrorNumber = 0;
    std::string lastErrorText;
    std::string received;
    std::vector<std::string> order;   // "connect", "data", "close", "error"
    bool drainOnArrival = true;
    std::size_t leftAfterDrain = 0;   // bytes a second read found right after a drain

    void attach(QtSocket& s) {
        s.onConnect = [this] { ++connects; order.push_back("connect"); };
        s.onDataArrival = [this, &s] {
            ++arrivals;
            order.push_back("data");
            if (!drainOnArrival) return;
            received += s.getData();
            leftAfterDrain += s.getData().size();
        };
        s.onClose = [this] { ++closes; order.push_back("close"); };
        s.onError = [this](int n, const std::string& d) {
            ++errors;
            lastErrorNumber = n;
            lastErrorText = d;
            order.push_back("error");
        };
    }
};

// A server with one accepted connection at a time.
struct Server {
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    QByteArray received;
    bool peerGone = false;

    Server() {
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QObject::connect(&server, &QTcpServer::newConnection, [this] {
            peer = server.nextPendingConnection();
            peerGone = false;
            QObject::connect(peer, &QTcpSocket::readyRead, [this] { received += peer->readAll(); });
            QObject::connect(peer, &QTcpSocket::disconnected, [this] { peerGone = true; });
        });
    }
    int port() const { return server.serverPort(); }
};

void aim(QtSocket& s, int port) {
    s.remoteHost = "127.0.0.1";
    s.remotePort = port;
}

// A port on which nothing listens: taken from a server that is closed again.
int closedPort() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const int port = probe.serverPort();
    probe.close();
    return port;
}

// A socket aimed at a fresh local server, its events logged.
struct Link {
    Server srv;
    QtSocket s;
    EventLog log;
    Link() {
        log.attach(s);
        aim(s, srv.port());
    }
};

}  // namespace

// Connects and waits until both ends have seen the connection.
#define CONNECT_AND_WAIT(link)                \
    do {                                      \
        (link).s.connect();                   \
        QTRY_COMPARE((link).log.connects, 1); \
        QTRY_VERIFY((link).srv.peer != nullptr); \
    } while (false)

class TestQtSocket : public QObject {
    Q_OBJECT
private slots:
    void connectRaisesConnectOnce();
    void dataArrivalDrainsEverything_data();
    void dataArrivalDrainsEverything();
    void sendDataDeliversEveryByteInOrder();
    void peerCloseRaisesCloseOnceAfterItsData();
    void ownCloseRaisesNothingAndStillSendsWhatWasWritten();
    void refusedConnectionRaisesErrorOnly();
    void unknownHostRaisesError();
    void socketConnectsAgainAfterClose();
    void connectWhileConnectedStartsAfresh();
    void localPortIsUsed();
};

void TestQtSocket::connectRaisesConnectOnce() {
    Server srv;
    QtSocket s;
    EventLog log;
    log.attach(s);
    QVERIFY(s.isClosed());
    aim(s, srv.port());
    s.connect();
    QTRY_COMPARE(log.connects, 1);
    QCOMPARE(s.state(), Socket::State::Connected);
    QTRY_VERIFY(srv.peer != nullptr);
    QTest::qWait(50);
    QCOMPARE(log.connects, 1);
    QCOMPARE(log.errors + log.closes + log.arrivals, 0);
}

// However the server's bytes are split, every arrival hands over all that
// is waiting, and nothing is lost or doubled.
void TestQtSocket::dataArrivalDrainsEverything_data() {
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<int>("pauseMs");
    QTest::newRow("one reply") << QList<QByteArray>{"220 ready\r\n"} << 0;
    QTest::newRow("reply in three pieces") << QList<QByteArray>{"22", "0 rea", "dy\r\n"} << 30;
    QTest::newRow("pieces back to back") << QList<QByteArray>{"+OK 1\r\n", "+OK 2\r\n", "+OK 3\r\n"} << 0;
    QByteArray big(512 * 1024, 'x');
    for (int i = 0; i < big.size(); i += 1000) big[i] = char('0' + (i / 1000) % 10);
    QTest::newRow("half a megabyte") << QList<QByteArray>{big} << 0;
    QByteArray sjis("\x93\xfa\x96\x7b\x8c\xea\r\n.\r\n");
    QTest::newRow("binary-safe bytes") << QList<QByteArray>{sjis, QByteArray(3, '\0')} << 10;
}

void TestQtSocket::dataArrivalDrainsEverything() {
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(int, pauseMs);
    Link link;
    CONNECT_AND_WAIT(link);
    auto& [srv, s, log] = link;

    QByteArray all;
    for (const QByteArray& c : chunks) {
        srv.peer->write(c);
        srv.peer->flush();
        all += c;
        if (pauseMs) QTest::qWait(pauseMs);
    }
    QTRY_COMPARE(log.received.size(), std::size_t(all.size()));
    QCOMPARE(QByteArray::fromStdString(log.received), all);
    QCOMPARE(log.leftAfterDrain, std::size_t(0));
    QVERIFY(log.arrivals >= 1);
    QCOMPARE(s.getData(), std::string());
}

void TestQtSocket::sendDataDeliversEveryByteInOrder() {
    Link link;
    CONNECT_AND_WAIT(link);
    auto& [srv, s, log] = link;

    std::string expected;
    for (int i = 0; i < 2000; ++i) {
        const std::string line = "RCPT TO:<p" + std::to_string(i) + "@docomo.ne.jp>\r\n";
        s.sendData(line);
        expected += line;
    }
    std::string body(300 * 1024, '\x82');
    s.sendData(body);
    expected += body;
    s.sendData("");
    QTRY_COMPARE_WITH_TIMEOUT(srv.received.size(), qsizetype(expected.size()), 10000);
    QVERIFY(srv.received == QByteArray::fromStdString(expected));
}

// A server that answers and hangs up at once: the owner reads the answer
// first, then hears of the close, once, and no error.
void TestQtSocket::peerCloseRaisesCloseOnceAfterItsData() {
    Link link;
    CONNECT_AND_WAIT(link);
    auto& [srv, s, log] = link;

    srv.peer->write("221 bye\r\n");
    srv.peer->disconnectFromHost();
    QTRY_COMPARE(log.closes, 1);
    QTest::qWait(100);
    QCOMPARE(log.closes, 1);
    QCOMPARE(log.errors, 0);
    QCOMPARE(log.received, std::string("221 bye\r\n"));
    QCOMPARE(log.order.back(), std::string("close"));
    QCOMPARE(log.order[log.order.size() - 2], std::string("data"));
    // The owner still has to close its end, as with the classic control.
    QVERIFY(!s.isClosed());
    s.close();
    QVERIFY(s.isClosed());
    QTest::qWait(50);
    QCOMPARE(log.closes, 1);
}

// Our own close is not the peer's: no event; a QUIT written just before
// still reaches the server.
void TestQtSocket::ownCloseRaisesNothingAndStillSendsWhatWasWritten() {
    Link link;
    CONNECT_AND_WAIT(link);
    auto& [srv, s, log] = link;

    s.sendData("QUIT\r\n");
    s.close();
    QVERIFY(s.isClosed());
    QTRY_VERIFY(srv.peerGone);
    QCOMPARE(srv.received, QByteArray("QUIT\r\n"));
    // Whatever the server still sends is not delivered to a closed socket.
    QTest::qWait(100);
    QCOMPARE(log.closes, 0);
    QCOMPARE(log.errors, 0);
    QCOMPARE(log.arrivals, 0);
}

void TestQtSocket::refusedConnectionRaisesErrorOnly() {
    QtSocket s;
    EventLog log;
    log.attach(s);
    aim(s, closedPort());
    s.connect();
    QTRY_COMPARE(log.errors, 1);
    QTest::qWait(100);
    QCOMPARE(log.errors, 1);
    QCOMPARE(log.connects + log.closes + log.arrivals, 0);
    QCOMPARE(log.lastErrorNumber, 10061);
    QVERIFY(!log.lastErrorText.empty());
    QCOMPARE(s.state(), Socket::State::Error);
    s.close();
    QVERIFY(s.isClosed());
}

void TestQtSocket::unknownHostRaisesError() {
    QtSocket s;
    EventLog log;
    log.attach(s);
    s.remoteHost = "no-such-host.invalid";
    s.remotePort = 25;
    s.connect();
    QTRY_COMPARE_WITH_TIMEOUT(log.errors, 1, 15000);
    QCOMPARE(log.connects, 0);
    QCOMPARE(log.lastErrorNumber, 11001);
}

// The sessions reuse one socket for every connection of a round.
void TestQtSocket::socketConnectsAgainAfterClose() {
    Link link;
    auto& [srv, s, log] = link;
    for (int round = 1; round <= 3; ++round) {
        srv.peer = nullptr;
        s.connect();
        QTRY_COMPARE(log.connects, round);
        QTRY_VERIFY(srv.peer != nullptr);
        srv.peer->write("+OK\r\n");
        QTRY_COMPARE(log.received, std::string("+OK\r\n"));
        log.received.clear();
        s.close();
    }
    QCOMPARE(log.errors + log.closes, 0);
}

void TestQtSocket::connectWhileConnectedStartsAfresh() {
    Link link;
    CONNECT_AND_WAIT(link);
    auto& [srv, s, log] = link;
    QTcpSocket* first = srv.peer;
    s.connect();
    QTRY_COMPARE(log.connects, 2);
    QTRY_VERIFY(srv.peer != first);
    // The abandoned connection neither closes nor fails in the owner's eyes.
    QTest::qWait(100);
    QCOMPARE(log.closes + log.errors, 0);
    QCOMPARE(s.state(), Socket::State::Connected);
}

void TestQtSocket::localPortIsUsed() {
    Server srv;
    const int local = closedPort();
    QtSocket s;
    EventLog log;
    log.attach(s);
    aim(s, srv.port());
    s.localPort = local;
    s.connect();
    QTRY_COMPARE(log.connects, 1);
    QTRY_VERIFY(srv.peer != nullptr);
    QCOMPARE(int(srv.peer->peerPort()), local);
}

QTEST_GUILESS_MAIN(TestQtSocket)
#include "tst_qt_socket.moc"
