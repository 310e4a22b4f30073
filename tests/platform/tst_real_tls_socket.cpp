// The Qt socket adapter's TLS against the private mail servers: TLS from the
// first byte (995, 465), STARTTLS (587) and STLS (110), the certificate
// accepted by its fingerprint or through a CA in Qt's default configuration
// and refused otherwise, and plain port 25 untouched by all of it. Then the
// handshake's edges against a local server that misbehaves on purpose.
#include <QtTest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QTcpServer>
#include <QTcpSocket>

#include "platform/qt/QtSocket.h"
#include "demo/RealServers.h"

namespace {

// Every event the socket raises, in order, and what the owner read.
struct EventLog {
    int connects = 0, arrivals = 0, closes = 0, errors = 0, encrypteds = 0, refusals = 0;
    std::vector<std::string> order;   // "connect", "data", "close", "error", "encrypted", "refused"
    std::string received;
    bool drainOnArrival = true;
    bool encryptedAtConnect = false;
    Socket::State stateAtConnect = Socket::State::Closed;
    int errorNumber = 0;
    std::string errorText, problems, fingerprint;
    std::vector<CertificateRefusal::Problem> kinds;

    void attach(QtSocket& s) {
        s.onConnect = [this, &s] {
            ++connects;
            order.push_back("connect");
            encryptedAtConnect = s.isEncrypted();
            stateAtConnect = s.state();
        };
        s.onDataArrival = [this, &s] {
            ++arrivals;
            order.push_back("data");
            if (drainOnArrival) received += s.getData();
        };
        s.onClose = [this] { ++closes; order.push_back("close"); };
        s.onError = [this](int n, const std::string& d) {
            ++errors;
            order.push_back("error");
            errorNumber = n;
            errorText = d;
        };
        s.onEncrypted = [this] { ++encrypteds; order.push_back("encrypted"); };
        s.onCertificateRefused = [this](const CertificateRefusal& r) {
            ++refusals;
            order.push_back("refused");
            problems = r.description;
            kinds = r.problems;
            fingerprint = r.fingerprint;
        };
    }
    // Something has ended the waiting for a connection or a handshake.
    bool settled(int wantConnects, int wantEncrypteds) const {
        return (connects >= wantConnects && encrypteds >= wantEncrypteds) || errors + refusals + closes > 0;
    }
    QByteArray describe() const {
        QByteArray out = "events:";
        for (const std::string& e : order) out += ' ' + QByteArray::fromStdString(e);
        if (errors) out += " | error " + QByteArray::number(errorNumber) + ": " + QByteArray::fromStdString(errorText);
        if (refusals) out += " | refused: " + QByteArray::fromStdString(problems);
        return out + " | read: " + QByteArray::fromStdString(received).left(300);
    }
};

// One step of a dialogue with a server.
struct Step {
    enum Kind {
        Send,        // `text` plus CR LF
        SmtpReply,   // a complete (multi-line) SMTP reply beginning with `text`
        Pop3Line,    // a one-line POP3 reply beginning with `text`
        Pop3List,    // a POP3 reply beginning with `text`, to the "." line
        StartTls,    // startTls(), then wait for the outcome
        PeerCloses,  // the server hangs up (after QUIT)
    } kind;
    QByteArray text;
    QByteArray contains = {};   // replies: a word the reply must hold
    QByteArray lacks = {};      // replies: a word it must not hold
};
Step send(const char* line) { return {Step::Send, line}; }
Step smtp(const char* code, const char* has = "", const char* lacks = "") { return {Step::SmtpReply, code, has, lacks}; }
Step pop3(const char* start, const char* has = "", const char* lacks = "") { return {Step::Pop3Line, start, has, lacks}; }
Step pop3List(const char* has, const char* lacks) { return {Step::Pop3List, "+OK", has, lacks}; }
Step startTls() { return {Step::StartTls, {}}; }
Step peerCloses() { return {Step::PeerCloses, {}}; }

// Length of the complete reply at the start of `buffer`, 0 while incomplete.
qsizetype replyLength(Step::Kind kind, const QByteArray& buffer) {
    if (kind == Step::Pop3List) {
        const qsizetype end = buffer.indexOf("\r\n.\r\n");
        return end < 0 ? 0 : end + 5;
    }
    qsizetype start = 0;
    while (true) {
        const qsizetype eol = buffer.indexOf("\r\n", start);
        if (eol < 0) return 0;
        // SMTP: "250-" goes on, "250 " ends. POP3: one line.
        if (kind == Step::Pop3Line || eol - start < 4 || buffer[start + 3] != '-') return eol + 2;
        start = eol + 2;
    }
}

enum class Trust { None, ServerFingerprint, ServerFingerprintLowerCase, CaFingerprint, CaInDefaultConfiguration };
enum class Outcome { Dialogue, Refused, Failed };

struct Case {
    quint16 port = 0;
    bool implicitTls = false;
    QByteArray serverName = RealServers::tlsServerName;
    Trust trust = Trust::None;
    QList<Step> script;
    Outcome outcome = Outcome::Dialogue;
    QByteArrayList problems = {};   // Refused: words the problems must name
    QByteArrayList notProblems = {};
    int errorNumber = 0;         // Failed
};

QByteArray fileText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
}

// A local server that, on every connection (the latest is `peer`), greets
// if asked to (as an SMTP server agreeing to STARTTLS would) and then, once
// the client's TLS hello arrives, keeps quiet, hangs up or answers in plain
// text.
struct HandshakeServer {
    enum Behaviour { Silent, HangUp, AnswerPlain };
    QTcpServer server;
    QTcpSocket* peer = nullptr;
    QByteArray received;
    bool peerGone = false;

    HandshakeServer(Behaviour behaviour, const QByteArray& greeting) {
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QObject::connect(&server, &QTcpServer::newConnection, [=, this] {
            QTcpSocket* connection = server.nextPendingConnection();
            peer = connection;
            peerGone = false;
            if (!greeting.isEmpty()) connection->write(greeting);
            QObject::connect(connection, &QTcpSocket::disconnected, [=, this] {
                if (connection == peer) peerGone = true;
            });
            QObject::connect(connection, &QTcpSocket::readyRead, [=, this] {
                const qsizetype before = received.size();
                received += connection->readAll();
                // What sets the server off is a TLS record (first byte 0x16).
                if (received.size() == before || quint8(received[before]) != 0x16) return;
                if (behaviour == HangUp) connection->disconnectFromHost();
                if (behaviour == AnswerPlain) connection->write("500 5.5.2 Error: bad syntax\r\n");
            });
        });
    }
    // The client's TLS hello (a handshake record) has arrived.
    bool gotHello() const { return received.contains('\x16'); }
};

// A local POP3-like server over TLS of one version, with the suite's
// certificate: it greets once the handshake is through and keeps every byte
// a client sends after that.
struct GreetingTlsServer {
    QSslServer server;
    QByteArray received;
    int handshakes = 0;
    explicit GreetingTlsServer(QSsl::SslProtocol version) {
        QSslConfiguration c = QSslConfiguration::defaultConfiguration();
        c.setLocalCertificateChain(QSslCertificate::fromPath(RealServers::serverCertificatePath()));
        QFile key(RealServers::tlsDirectory() + "/server.key");
        if (key.open(QIODevice::ReadOnly)) c.setPrivateKey(QSslKey(&key, QSsl::Rsa));
        c.setProtocol(version);
        c.setPeerVerifyMode(QSslSocket::VerifyNone);
        server.setSslConfiguration(c);
        QObject::connect(&server, &QSslServer::pendingConnectionAvailable, [this] {
            auto* peer = static_cast<QSslSocket*>(server.nextPendingConnection());
            ++handshakes;
            peer->write("+OK greeting\r\n");
            QObject::connect(peer, &QSslSocket::readyRead, [this, peer] { received += peer->readAll(); });
        });
        QVERIFY(server.listen(QHostAddress::LocalHost));
    }
};

}  // namespace

Q_DECLARE_METATYPE(Case)

class TestRealTlsSocket : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void dialogueWithRealServers_data();
    void dialogueWithRealServers();
    void trustIsDecidedAtEveryConnection();
    void trustWithdrawnBetweenConnections_data();
    void trustWithdrawnBetweenConnections();
    void handshakeEdges_data();
    void handshakeEdges();

private:
    QString serversMissing_;
};

void TestRealTlsSocket::initTestCase() {
    serversMissing_ = RealServers::unavailableReason();
    if (serversMissing_.isEmpty()) serversMissing_ = RealServers::tlsUnavailableReason();
}

void TestRealTlsSocket::dialogueWithRealServers_data() {
    using RealServers::pop3Port, RealServers::pop3sPort, RealServers::smtpPort, RealServers::smtpsPort,
        RealServers::submissionPort;
    QTest::addColumn<Case>("c");
    const QList<Step> pop3Quit{pop3("+OK"), send("QUIT"), pop3("+OK"), peerCloses()};
    const QList<Step> smtpQuit{smtp("220"), send("QUIT"), smtp("221"), peerCloses()};
    const QByteArray issuer = "issuer";
    const QByteArray hostName = "host name";

    QTest::newRow("995 trusted fingerprint")
        << Case{pop3sPort, true, RealServers::tlsServerName, Trust::ServerFingerprint, pop3Quit};
    QTest::newRow("465 trusted fingerprint")
        << Case{smtpsPort, true, RealServers::tlsServerName, Trust::ServerFingerprint, smtpQuit};
    QTest::newRow("995 untrusted")
        << Case{pop3sPort, true, RealServers::tlsServerName, Trust::None, {}, Outcome::Refused, {issuer}, {hostName}};
    QTest::newRow("465 untrusted")
        << Case{smtpsPort, true, RealServers::tlsServerName, Trust::None, {}, Outcome::Refused, {issuer}, {hostName}};
    // Trust is of one certificate: the CA's fingerprint is not the server's.
    QTest::newRow("995 another certificate's fingerprint trusted")
        << Case{pop3sPort, true, RealServers::tlsServerName, Trust::CaFingerprint, {}, Outcome::Refused, {issuer}};
    // Trusting a certificate by its fingerprint is trusting it whatever it names.
    QTest::newRow("995 wrong name, trusted fingerprint")
        << Case{pop3sPort, true, "wrong.example", Trust::ServerFingerprint, pop3Quit};
    QTest::newRow("995 wrong name, untrusted")
        << Case{pop3sPort, true, "wrong.example", Trust::None, {}, Outcome::Refused, {issuer, hostName}};
    QTest::newRow("995 fingerprint trusted as lower case")
        << Case{pop3sPort, true, RealServers::tlsServerName, Trust::ServerFingerprintLowerCase, pop3Quit};
    // The chain checked for real: the servers' CA added to Qt's default
    // configuration, as a CA the system trusts; the name then counts.
    QTest::newRow("995 CA trusted, right name")
        << Case{pop3sPort, true, RealServers::tlsServerName, Trust::CaInDefaultConfiguration, pop3Quit};
    QTest::newRow("995 CA trusted, address as name")
        << Case{pop3sPort, true, RealServers::host, Trust::CaInDefaultConfiguration, pop3Quit};
    QTest::newRow("995 CA trusted, wrong name")
        << Case{pop3sPort, true, "wrong.example", Trust::CaInDefaultConfiguration, {}, Outcome::Refused,
                {hostName}, {issuer}};

    const QList<Step> submission{
        smtp("220"), send("EHLO x"), smtp("250", "STARTTLS", "AUTH"), send("STARTTLS"), smtp("220"), startTls(),
        send("EHLO x"), smtp("250", "AUTH", "STARTTLS"), send("QUIT"), smtp("221"), peerCloses()};
    QTest::newRow("587 STARTTLS trusted fingerprint")
        << Case{submissionPort, false, RealServers::tlsServerName, Trust::ServerFingerprint, submission};
    QTest::newRow("587 STARTTLS untrusted")
        << Case{submissionPort, false, RealServers::tlsServerName, Trust::None, submission.mid(0, 6),
                Outcome::Refused, {issuer}};
    QTest::newRow("587 STARTTLS CA trusted")
        << Case{submissionPort, false, RealServers::tlsServerName, Trust::CaInDefaultConfiguration, submission};

    const QList<Step> stls{pop3("+OK"), send("CAPA"), pop3List("STLS", ""), send("STLS"), pop3("+OK"), startTls(),
                           send("CAPA"), pop3List("USER", "STLS"), send("QUIT"), pop3("+OK"), peerCloses()};
    QTest::newRow("110 STLS trusted fingerprint")
        << Case{pop3Port, false, RealServers::tlsServerName, Trust::ServerFingerprint, stls};
    QTest::newRow("110 STLS untrusted")
        << Case{pop3Port, false, RealServers::tlsServerName, Trust::None, stls.mid(0, 6), Outcome::Refused, {issuer}};

    // Plain as it always was, even with TLS settings lying around.
    QTest::newRow("25 plain")
        << Case{smtpPort, false, RealServers::tlsServerName, Trust::ServerFingerprint,
                {smtp("220"), send("EHLO x"), smtp("250", "", "STARTTLS"), send("QUIT"), smtp("221"), peerCloses()}};
    // A server that does not speak TLS: the handshake fails, an error.
    QTest::newRow("TLS from the first byte on plain 25")
        << Case{smtpPort, true, RealServers::tlsServerName, Trust::ServerFingerprint, {}, Outcome::Failed, {}, {},
                int(QAbstractSocket::SslHandshakeFailedError)};
}

void TestRealTlsSocket::dialogueWithRealServers() {
    if (!serversMissing_.isEmpty()) QFAIL(qPrintable(serversMissing_));
    QFETCH(Case, c);

    const QByteArray serverSha256 = fileText(RealServers::tlsDirectory() + "/server.sha256");
    QVERIFY2(serverSha256.size() == 95, serverSha256.constData());
    const QList<QSslCertificate> ca = QSslCertificate::fromPath(RealServers::caCertificatePath());
    QCOMPARE(ca.size(), 1);

    const QSslConfiguration originalDefault = QSslConfiguration::defaultConfiguration();
    const auto restoreDefault = qScopeGuard([&] { QSslConfiguration::setDefaultConfiguration(originalDefault); });
    if (c.trust == Trust::CaInDefaultConfiguration) {
        QSslConfiguration withCa = originalDefault;
        withCa.addCaCertificates(ca);
        QSslConfiguration::setDefaultConfiguration(withCa);
    }

    QtSocket s;   // after the default configuration is settled: it takes a copy
    EventLog log;
    log.attach(s);
    s.remoteHost = RealServers::host;
    s.remotePort = c.port;
    s.implicitTls = c.implicitTls;
    s.tlsServerName = c.serverName.toStdString();
    switch (c.trust) {
    case Trust::ServerFingerprint: s.trustedFingerprints = {"00:11", serverSha256.toStdString()}; break;
    case Trust::ServerFingerprintLowerCase: s.trustedFingerprints = {serverSha256.toLower().toStdString()}; break;
    case Trust::CaFingerprint:
        s.trustedFingerprints = {ca.first().digest(QCryptographicHash::Sha256).toHex(':').toUpper().toStdString()};
        break;
    default: break;
    }

    s.connect();
    QVERIFY2(QTest::qWaitFor([&] { return log.settled(1, 0); }, 5000), log.describe());

    QByteArray pending;   // read and not yet taken by a reply step
    bool stopped = false;
    for (const Step& step : std::as_const(c.script)) {
        if (stopped) break;
        switch (step.kind) {
        case Step::Send:
            QVERIFY2(log.errors + log.refusals + log.closes == 0, log.describe());
            s.sendData(step.text.toStdString() + "\r\n");
            break;
        case Step::SmtpReply:
        case Step::Pop3Line:
        case Step::Pop3List: {
            qsizetype length = 0;
            const bool complete = QTest::qWaitFor(
                [&] {
                    pending += QByteArray::fromStdString(log.received);
                    log.received.clear();
                    length = replyLength(step.kind, pending);
                    return length > 0 || log.errors + log.refusals > 0;
                },
                5000);
            QVERIFY2(complete && length > 0, "no reply to step " + step.text + "; " + log.describe());
            const QByteArray reply = pending.left(length);
            pending.remove(0, length);
            QVERIFY2(reply.startsWith(step.text), reply.constData());
            if (!step.contains.isEmpty()) QVERIFY2(reply.contains(step.contains), reply.constData());
            if (!step.lacks.isEmpty()) QVERIFY2(!reply.contains(step.lacks), reply.constData());
            QVERIFY2(pending.isEmpty(), "more than one reply: " + pending);
            break;
        }
        case Step::StartTls:
            QVERIFY(!s.isEncrypted());
            s.startTls();
            QVERIFY2(QTest::qWaitFor([&] { return log.settled(1, 1); }, 5000), log.describe());
            stopped = c.outcome != Outcome::Dialogue;
            if (!stopped) {
                QVERIFY2(s.isEncrypted(), log.describe());
                QCOMPARE(s.state(), Socket::State::Connected);
            }
            break;
        case Step::PeerCloses:
            QVERIFY2(QTest::qWaitFor([&] { return log.closes > 0 || log.errors > 0; }, 5000), log.describe());
            break;
        }
    }

    QTest::qWait(100);   // anything late would show now
    const bool startTlsRow =
        std::any_of(c.script.begin(), c.script.end(), [](const Step& step) { return step.kind == Step::StartTls; });
    switch (c.outcome) {
    case Outcome::Dialogue: {
        QVERIFY2(log.errors + log.refusals == 0, log.describe());
        QCOMPARE(log.connects, 1);
        QCOMPARE(log.encrypteds, startTlsRow ? 1 : 0);
        QCOMPARE(log.encryptedAtConnect, c.implicitTls);
        QCOMPARE(log.stateAtConnect, Socket::State::Connected);
        // The farewell read first, then the close, once; nothing after.
        QCOMPARE(log.closes, 1);
        QCOMPARE(log.order.front(), std::string("connect"));
        QCOMPARE(log.order.back(), std::string("close"));
        QCOMPARE(log.order[log.order.size() - 2], std::string("data"));
        QCOMPARE(s.state(), Socket::State::Closing);
        s.close();
        QVERIFY(s.isClosed());
        break;
    }
    case Outcome::Refused: {
        QCOMPARE(log.refusals, 1);
        QVERIFY2(log.errors + log.closes + log.encrypteds == 0, log.describe());
        QCOMPARE(log.connects, startTlsRow ? 1 : 0);   // with TLS from the first byte: never connected
        QCOMPARE(log.order.back(), std::string("refused"));
        QCOMPARE(QByteArray::fromStdString(log.fingerprint), serverSha256);
        const QByteArray problems = QByteArray::fromStdString(log.problems).toLower();
        for (const QByteArray& word : std::as_const(c.problems))
            QVERIFY2(problems.contains(word), log.problems.c_str());
        for (const QByteArray& word : std::as_const(c.notProblems))
            QVERIFY2(!problems.contains(word), log.problems.c_str());
        // The same problems as kinds, which the operator is told in Japanese.
        const auto hasKind = [&](CertificateRefusal::Problem k) {
            return std::find(log.kinds.begin(), log.kinds.end(), k) != log.kinds.end();
        };
        QCOMPARE(hasKind(CertificateRefusal::Problem::UnknownIssuer), c.problems.contains("issuer"));
        QCOMPARE(hasKind(CertificateRefusal::Problem::WrongHost), c.problems.contains("host name"));
        QVERIFY(s.isClosed());
        QVERIFY(!s.isEncrypted());
        break;
    }
    case Outcome::Failed:
        QCOMPARE(log.errors, 1);
        QVERIFY2(log.connects + log.refusals + log.closes + log.encrypteds == 0, log.describe());
        QCOMPARE(log.errorNumber, c.errorNumber);
        QVERIFY(!log.errorText.empty());
        QCOMPARE(s.state(), Socket::State::Error);
        break;
    }
}

// The sessions keep one socket for all their connections, and the operator
// may change the trusted fingerprints between them: every connection checks
// the certificate afresh (none rides on an earlier, trusted session), and
// an owner that trusts the certificate from inside the refusal and connects
// again at once gets a working connection.
void TestRealTlsSocket::trustIsDecidedAtEveryConnection() {
    if (!serversMissing_.isEmpty()) QFAIL(qPrintable(serversMissing_));
    const std::string serverSha256 = fileText(RealServers::tlsDirectory() + "/server.sha256").toStdString();
    QtSocket s;
    EventLog log;
    log.attach(s);
    s.onCertificateRefused = [&](const CertificateRefusal& r) {
        ++log.refusals;
        log.order.push_back("refused");
        log.problems = r.description;
        s.trustedFingerprints = {r.fingerprint};
        s.connect();
    };
    s.remoteHost = RealServers::host;
    s.remotePort = RealServers::pop3sPort;
    s.implicitTls = true;
    s.tlsServerName = RealServers::tlsServerName;
    const auto greeted = [&] {
        return QTest::qWaitFor([&] { return log.received.find("\r\n") != std::string::npos || log.errors > 0; }, 5000)
               && log.received.rfind("+OK", 0) == 0;
    };

    s.trustedFingerprints = {serverSha256};
    s.connect();
    QVERIFY2(greeted(), log.describe());
    QCOMPARE(log.connects, 1);
    s.close();

    log.received.clear();
    s.trustedFingerprints.clear();
    s.connect();
    QVERIFY2(greeted(), log.describe());
    QTest::qWait(100);
    QCOMPARE(log.refusals, 1);
    QCOMPARE(log.connects, 2);
    QVERIFY2(log.errors + log.closes == 0, log.describe());
    std::vector<std::string> events = log.order;   // a greeting may come in more than one piece
    events.erase(std::unique(events.begin(), events.end()), events.end());
    QCOMPARE(events, (std::vector<std::string>{"connect", "data", "refused", "connect", "data"}));
    QVERIFY(s.isEncrypted());
    QCOMPARE(s.state(), Socket::State::Connected);

    // TLS asked for on a connection that has it already: a mistake the
    // owner is told of, rather than left waiting for onEncrypted.
    s.startTls();
    QTRY_COMPARE(log.errors, 1);
    QCOMPARE(log.errorNumber, int(QAbstractSocket::OperationError));
    QCOMPARE(log.encrypteds, 0);
    QCOMPARE(s.state(), Socket::State::Error);
}

// A certificate trusted for one connection and no longer for the next
// (its slot given to another, the server renamed) is refused on the next,
// whatever the TLS version: nothing of the second connection reaches the
// owner, and the owner sends nothing on it.
void TestRealTlsSocket::trustWithdrawnBetweenConnections_data() {
    QTest::addColumn<int>("version");
    QTest::newRow("TLS 1.2") << int(QSsl::TlsV1_2);
    QTest::newRow("TLS 1.3") << int(QSsl::TlsV1_3);
}

void TestRealTlsSocket::trustWithdrawnBetweenConnections() {
    if (!serversMissing_.isEmpty()) QFAIL(qPrintable(serversMissing_));
    QFETCH(int, version);
    GreetingTlsServer srv{QSsl::SslProtocol(version)};
    QtSocket s;
    EventLog log;
    log.attach(s);
    // As a POP3 session would: the greeting read, the user name sent.
    s.onDataArrival = [&] {
        ++log.arrivals;
        log.order.push_back("data");
        log.received += s.getData();
        s.sendData("USER secret-account\r\n");
    };
    s.remoteHost = "127.0.0.1";
    s.remotePort = srv.server.serverPort();
    s.implicitTls = true;
    s.tlsServerName = RealServers::tlsServerName;
    s.trustedFingerprints = {RealServers::serverFingerprint()};
    s.connect();
    QTRY_COMPARE(log.received, std::string("+OK greeting\r\n"));
    QTRY_VERIFY(srv.received.contains("USER"));
    s.close();

    log.order.clear();
    log.received.clear();
    srv.received.clear();
    s.trustedFingerprints = {"11:22:33"};
    s.connect();
    QTRY_COMPARE(log.refusals, 1);
    QTest::qWait(200);
    QCOMPARE(log.order, std::vector<std::string>{"refused"});
    QCOMPARE(log.fingerprint, RealServers::serverFingerprint());
    QCOMPARE(srv.received, QByteArray());
    QCOMPARE(s.state(), Socket::State::Closed);
}

void TestRealTlsSocket::handshakeEdges_data() {
    QTest::addColumn<bool>("implicitTls");
    QTest::addColumn<int>("behaviour");
    QTest::addColumn<int>("ownerCloses");   // 0: never, 1: at once, 2: once the hello is out
    QTest::addColumn<int>("errorNumber");   // 0: no error expected
    // The owner connects again (plain) from inside onError, as a session
    // retrying at once would: QSslSocket is still winding down the failed
    // handshake then, and must not take the new connection with it.
    QTest::addColumn<bool>("reconnects");

    const int silent = HandshakeServer::Silent, hangUp = HandshakeServer::HangUp, plain = HandshakeServer::AnswerPlain;
    const int closedByPeer = 10054, handshakeFailed = int(QAbstractSocket::SslHandshakeFailedError);
    QTest::newRow("close while connecting, implicit TLS") << true << silent << 1 << 0 << false;
    QTest::newRow("close during implicit handshake") << true << silent << 2 << 0 << false;
    QTest::newRow("close during STARTTLS handshake") << false << silent << 2 << 0 << false;
    QTest::newRow("hang-up during implicit handshake") << true << hangUp << 0 << closedByPeer << false;
    QTest::newRow("hang-up during STARTTLS handshake") << false << hangUp << 0 << closedByPeer << false;
    QTest::newRow("plain answer to implicit hello") << true << plain << 0 << handshakeFailed << false;
    QTest::newRow("plain answer to STARTTLS hello") << false << plain << 0 << handshakeFailed << false;
    QTest::newRow("plain answer to implicit hello, owner reconnects")
        << true << plain << 0 << handshakeFailed << true;
    QTest::newRow("hang-up during STARTTLS handshake, owner reconnects")
        << false << hangUp << 0 << closedByPeer << true;
}

void TestRealTlsSocket::handshakeEdges() {
    QFETCH(bool, implicitTls);
    QFETCH(int, behaviour);
    QFETCH(int, ownerCloses);
    QFETCH(int, errorNumber);
    QFETCH(bool, reconnects);

    // With STARTTLS the server has greeted and agreed, and sends one more
    // line right behind its go-ahead: plain bytes the owner has not read
    // when it starts TLS, which must never come out of getData() as if they
    // had arrived encrypted.
    const QByteArray greeting = "220 go ahead\r\n250 injected\r\n";
    HandshakeServer srv(HandshakeServer::Behaviour(behaviour), implicitTls ? QByteArray() : greeting);
    QtSocket s;
    EventLog log;
    log.attach(s);
    log.drainOnArrival = false;
    if (reconnects) {
        s.onError = [&](int n, const std::string& d) {
            ++log.errors;
            log.order.push_back("error");
            log.errorNumber = n;
            log.errorText = d;
            s.implicitTls = false;
            s.connect();
        };
    }
    s.remoteHost = "127.0.0.1";
    s.remotePort = srv.server.serverPort();
    s.implicitTls = implicitTls;
    s.tlsServerName = RealServers::tlsServerName;
    s.connect();
    if (implicitTls) {
        // Not the owner's to use until the handshake is through.
        QCOMPARE(s.state(), Socket::State::Connecting);
        if (ownerCloses == 1) {
            s.close();
            QVERIFY(s.isClosed());
            // Given up, not connected and shaken hands with before closing.
            QTest::qWait(200);
            QVERIFY(!srv.gotHello());
            QVERIFY(!srv.peer || srv.peerGone);
            QVERIFY2(log.order.empty(), log.describe());
            return;
        }
    } else {
        QTRY_COMPARE(log.connects, 1);
        QTRY_VERIFY(log.arrivals > 0);
        QTRY_VERIFY(srv.peer && srv.peer->bytesToWrite() == 0);
        QTest::qWait(20);
        s.startTls();
        QCOMPARE(s.getData(), std::string());
        QCOMPARE(s.state(), Socket::State::Connected);
    }
    QTRY_VERIFY2(srv.gotHello(), log.describe());
    if (behaviour == HandshakeServer::Silent)
        QCOMPARE(s.state(), implicitTls ? Socket::State::Connecting : Socket::State::Connected);
    if (ownerCloses) {
        s.close();
        QVERIFY(s.isClosed());
        QTRY_VERIFY(srv.peerGone);   // dropped, not left to finish its handshake
    } else {
        QVERIFY2(QTest::qWaitFor([&] { return log.errors + log.refusals + log.closes + log.encrypteds > 0; }, 5000),
                 log.describe());
    }
    QTest::qWait(100);

    QVERIFY2(log.refusals + log.closes + log.encrypteds == 0, log.describe());
    if (reconnects) {
        QCOMPARE(log.errors, 1);
        QCOMPARE(log.errorNumber, errorNumber);
        QCOMPARE(log.connects, implicitTls ? 1 : 2);
        const auto error = std::find(log.order.begin(), log.order.end(), "error");
        QVERIFY2(error + 1 != log.order.end() && error[1] == "connect", log.describe());
        QCOMPARE(s.state(), Socket::State::Connected);
        QVERIFY(!s.isEncrypted());
        return;
    }
    QCOMPARE(log.connects, implicitTls ? 0 : 1);
    QCOMPARE(log.errors, errorNumber ? 1 : 0);
    if (errorNumber) {
        QCOMPARE(log.errorNumber, errorNumber);
        QVERIFY(!log.errorText.empty());
        QCOMPARE(s.state(), Socket::State::Error);
        QCOMPARE(log.order.back(), std::string("error"));
    } else {
        QVERIFY(s.isClosed());
    }
    QVERIFY(!s.isEncrypted());
    QCOMPARE(s.getData(), std::string());
}

QTEST_GUILESS_MAIN(TestRealTlsSocket)
#include "tst_real_tls_socket.moc"
