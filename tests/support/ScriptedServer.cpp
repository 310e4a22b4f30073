#include "support/ScriptedServer.h"

#include <QDateTime>
#include <QHostAddress>
#include <QTimer>
#include <optional>

ScriptedServer::ScriptedServer(Answer greeting, Responder responder)
    : greeting_(std::move(greeting)), responder_(std::move(responder))
{
    connect(&server_, &QTcpServer::newConnection, this, &ScriptedServer::accept);
    server_.listen(QHostAddress::LocalHost, 0);
}

ScriptedServer::~ScriptedServer()
{
    if (client_) client_->abort();
}

void ScriptedServer::accept()
{
    QTcpSocket* s = server_.nextPendingConnection();
    if (!s) return;
    ++connections;
    if (client_) client_->abort();
    client_ = s;
    s->setParent(this);
    buffer_.clear();
    dataMode_ = false;
    connect(s, &QTcpSocket::readyRead, this, &ScriptedServer::readUnits);
    connect(s, &QTcpSocket::disconnected, this, [this, s] {
        if (s == client_) clientClosed = true;
    });
    play(greeting_);
}

void ScriptedServer::readUnits()
{
    if (!client_) return;
    buffer_ += client_->readAll();
    while (true) {
        QByteArray unit;
        if (dataMode_) {
            const qsizetype end = buffer_.indexOf("\r\n.\r\n");
            if (end < 0) return;
            const qsizetype length = end + 5;
            unit = buffer_.left(length);
            buffer_.remove(0, length);
        } else {
            const qsizetype end = buffer_.indexOf("\r\n");
            if (end < 0) return;
            unit = buffer_.left(end);
            buffer_.remove(0, end + 2);
        }
        received.append(unit);
        Answer a = responder_ ? responder_(unit) : Answer{};
        dataMode_ = a.thenData;
        play(a);
    }
}

void ScriptedServer::play(const Answer& answer)
{
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    qint64 at = std::max(now, nextSendAt_);
    QPointer<QTcpSocket> target = client_;
    for (int i = 0; i < answer.chunks.size(); ++i) {
        const QByteArray chunk = answer.chunks[i];
        if (i > 0) at += answer.gapMs;
        QTimer::singleShot(int(at - now), this, [target, chunk] {
            if (!target) return;
            target->write(chunk);
            target->flush();
        });
    }
    if (answer.close) {
        if (!answer.chunks.isEmpty()) at += answer.gapMs;
        QTimer::singleShot(int(at - now), this, [target] {
            if (target) target->disconnectFromHost();
        });
    }
    nextSendAt_ = at;
}

ScriptedServer::Responder ScriptedServer::smtpAcceptingAll(
    std::function<std::optional<Answer>(const QByteArray&)> override)
{
    // The DATA text is the only unit that ends with CR LF "." CR LF.
    return [override](const QByteArray& unit) -> Answer {
        if (override) {
            if (std::optional<Answer> a = override(unit)) return *a;
        }
        if (unit.endsWith("\r\n.\r\n")) return Answer::reply("250 2.0.0 Ok: queued as 1\r\n");
        if (unit.startsWith("HELO ")) return Answer::reply("250 mx.trivorn.test\r\n");
        if (unit.startsWith("MAIL FROM:")) return Answer::reply("250 2.1.0 Ok\r\n");
        if (unit.startsWith("RCPT TO:")) return Answer::reply("250 2.1.5 Ok\r\n");
        if (unit == "DATA") {
            Answer a = Answer::reply("354 End data with <CR><LF>.<CR><LF>\r\n");
            a.thenData = true;
            return a;
        }
        if (unit == "QUIT") {
            Answer a = Answer::reply("221 2.0.0 Bye\r\n");
            a.close = true;
            return a;
        }
        return Answer::reply("502 5.5.2 Error: command not recognized\r\n");
    };
}

QList<QByteArray> ScriptedServer::commands() const
{
    QList<QByteArray> out;
    for (const QByteArray& u : received) out.append(u.endsWith("\r\n.\r\n") ? QByteArray("<message>") : u);
    return out;
}
