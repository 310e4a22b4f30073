#pragma once
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <functional>
#include <optional>

// A reply from `sender` to the operator quiz@trivorn.test as the POP3 server
// hands it out after Postfix delivered it: Return-Path, the delivery clause
// "for <quiz@trivorn.test>;", From (`from`, else the sender), Subject, body.
QByteArray deliveredReply(const QByteArray& sender, const QByteArray& subject, const QByteArray& body,
                          const QByteArray& from = {});

// A mail server on 127.0.0.1 that plays a script: it greets, then answers
// each unit the client sends (a command line, or a whole DATA text up to its
// CR LF "." CR LF) with what the test's responder says. Answers can be cut
// into chunks sent apart in time (so the client reads them separately), can
// close the connection, or can be nothing at all.
class ScriptedServer : public QObject {
    Q_OBJECT
public:
    struct Answer {
        QList<QByteArray> chunks;   // sent in order, gapMs apart; none: silence
        int gapMs = 40;
        bool close = false;      // close the connection after the last chunk
        bool thenData = false;   // the next unit is a DATA text, not a line

        static Answer reply(const QByteArray& bytes) { return Answer{{bytes}}; }
        static Answer silence() { return Answer{}; }
    };
    // Given one unit (a line without its CR LF, or a DATA text whole).
    using Responder = std::function<Answer(const QByteArray& unit)>;

    ScriptedServer(Answer greeting, Responder responder);
    ~ScriptedServer() override;

    quint16 port() const { return server_.serverPort(); }

    // The greeting of the n-th connection (1-based), when it is not the usual one.
    std::function<std::optional<Answer>(int connection)> greetingFor;

    QList<QByteArray> received;   // every unit, in order
    // The units received, with each DATA text shown as "<message>".
    QList<QByteArray> commands() const;
    int connections = 0;
    bool clientClosed = false;    // the client closed its end

    // The usual answers of an SMTP server that accepts everything; the
    // override, when it gives an answer, wins.
    static Responder smtpAcceptingAll(std::function<std::optional<Answer>(const QByteArray&)> override = {});
    // A POP3 server that accepts any login and serves the messages that
    // `mailbox` gives when the session logs in (each session asks afresh).
    static Responder pop3Serving(std::function<QList<QByteArray>()> mailbox);

private:
    void accept();
    void readUnits();
    void play(const Answer& answer);

    QTcpServer server_;
    QPointer<QTcpSocket> client_;
    Answer greeting_;
    Responder responder_;
    QByteArray buffer_;
    bool dataMode_ = false;
    bool closing_ = false;   // the last answer on this connection closes it
    int pendingSends_ = 0;   // chunks scheduled but not yet written
    qint64 nextSendAt_ = 0;  // so that answers keep their order in time
};
