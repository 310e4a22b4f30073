#include "support/ScriptedServer.h"

#include <QDateTime>
#include <QHostAddress>
#include <QTimer>
#include <memory>
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
    closing_ = false;
    connect(s, &QTcpSocket::readyRead, this, &ScriptedServer::readUnits);
    connect(s, &QTcpSocket::disconnected, this, [this, s] {
        if (s == client_) clientClosed = true;
    });
    std::optional<Answer> own = greetingFor ? greetingFor(connections) : std::nullopt;
    play(own ? *own : greeting_);
}

void ScriptedServer::readUnits()
{
    // A server that has said its last word answers nothing more.
    if (!client_ || closing_) return;
    buffer_ += client_->readAll();
    while (true) {
        QByteArray unit;
        if (dataMode_) {
            // A text may be empty: the "." line right after DATA.
            const qsizetype end = buffer_.indexOf("\r\n.\r\n");
            const qsizetype length = buffer_.startsWith(".\r\n") ? 3 : end < 0 ? 0 : end + 5;
            if (length == 0) return;
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
        closing_ = true;
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
        if (unit == ".\r\n") return Answer::reply("554 5.5.1 Error: no valid recipients\r\n");
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

ScriptedServer::Responder ScriptedServer::pop3Serving(std::function<QList<QByteArray>()> mailbox)
{
    auto messages = std::make_shared<QList<QByteArray>>();
    return [mailbox, messages](const QByteArray& u) -> Answer {
        if (u.startsWith("USER ")) {
            *messages = mailbox();
            return Answer::reply("+OK\r\n");
        }
        if (u.startsWith("PASS ")) return Answer::reply("+OK Logged in.\r\n");
        if (u == "STAT") return Answer::reply("+OK " + QByteArray::number(messages->size()) + " 999\r\n");
        if (u.startsWith("RETR ")) {
            const int n = u.mid(5).toInt();
            if (n < 1 || n > messages->size()) return Answer::reply("-ERR no such message\r\n");
            const QByteArray m = messages->at(n - 1);
            return Answer::reply("+OK " + QByteArray::number(m.size()) + " octets\r\n" + m + "\r\n.\r\n");
        }
        if (u.startsWith("DELE ")) return Answer::reply("+OK Marked to be deleted.\r\n");
        if (u == "QUIT") {
            Answer a = Answer::reply("+OK Logging out.\r\n");
            a.close = true;
            return a;
        }
        return Answer::reply("-ERR Unknown command\r\n");
    };
}

QByteArray deliveredReply(const QByteArray& sender, const QByteArray& subject, const QByteArray& body,
                          const QByteArray& from)
{
    return "Return-Path: <" + sender + ">\r\n"
           "X-Original-To: quiz@trivorn.test\r\n"
           "Delivered-To: quiz@trivorn.test\r\n"
           "Received: from phone (localhost [127.0.0.1])\r\n"
           "\tby mx.trivorn.test (Postfix) with SMTP id 4F2A1\r\n"
           "\tfor <quiz@trivorn.test>; Mon,  7 Dec 2026 10:00:00 +0900 (JST)\r\n"
           "From: " + (from.isEmpty() ? sender : from) + "\r\n"
           "Subject: " + subject + "\r\n"
           "Date: Mon, 7 Dec 2026 10:00:00 +0900\r\n"
           "\r\n" + body;
}

QList<QByteArray> ScriptedServer::commands() const
{
    QList<QByteArray> out;
    for (const QByteArray& u : received) out.append(u.endsWith("\r\n.\r\n") ? QByteArray("<message>") : u);
    return out;
}
