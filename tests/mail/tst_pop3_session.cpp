#include <QtTest>

#include <algorithm>

#include "support/SessionRigs.h"

// The POP3 dialogue driven chunk by chunk against a fake server.

namespace {

using Strings = std::vector<std::string>;

Pop3Job job(std::function<bool(const std::string&)> parse = {})
{
    Pop3Job j;
    j.server = "pop.example.jp";
    j.account = "quiz";
    j.password = "secret";
    j.parse = std::move(parse);
    return j;
}

// A retrieval reply as a server sends it: status line, the message with its
// lines dot-stuffed, the final "." line.
std::string retrReply(const std::string& message)
{
    return "+OK " + std::to_string(message.size()) + " octets\r\n" + message + "\r\n.\r\n";
}

std::string message(int n)
{
    return "Return-Path: <p" + std::to_string(n) + "@docomo.ne.jp>\r\nSubject: Re:Quiz\r\n\r\nanswer " +
           std::to_string(n);
}

// Brings the rig to the point where STAT has just been sent.
void logIn(Pop3Rig& rig)
{
    rig.socket.acceptConnection();
    rig.socket.deliver("+OK Dovecot (Debian) ready.\r\n");
    rig.socket.deliver("+OK\r\n");
    rig.socket.deliver("+OK Logged in.\r\n");
}

const std::string kEndStatus = sjis("受信メールサバー接続終了");

// A CAPA reply as Dovecot gives it before the login.
const char kDovecotCapa[] = "+OK\r\nCAPA\r\nTOP\r\nUIDL\r\nRESP-CODES\r\nPIPELINING\r\nUSER\r\nSASL PLAIN\r\n.\r\n";

// The command lines sent, however many went out in one send().
Strings sentLines(const Pop3Rig& rig)
{
    Strings lines;
    const std::string sent = rig.socket.sentText();
    for (std::size_t at = 0, end; (end = sent.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(sent.substr(at, end - at));
    return lines;
}

// The numbers of the RETR or DELE lines sent, in order.
std::vector<int> numbersSent(const Pop3Rig& rig, const std::string& verb)
{
    std::vector<int> numbers;
    for (const std::string& line : sentLines(rig))
        if (line.rfind(verb + " ", 0) == 0) numbers.push_back(std::stoi(line.substr(5)));
    return numbers;
}

// A server over TLS that offers PIPELINING and reads ahead: each round it
// answers every command sent and not yet answered, the answers together in
// reads of `piece` bytes (QUIT's in a read of its own), until the session
// ends or, after `silentAfter` answers to RETR and DELE, it falls silent.
// Message n is message(n); the command `refused` gets -ERR.
struct ReadAheadServer {
    Pop3Rig& rig;
    int messages;
    std::string refused;
    std::size_t piece;
    int silentAfter;
    int endedBeforeQuitAnswer = -1;

    std::string answer(const std::string& c) const
    {
        if (c == "CAPA") return kDovecotCapa;
        if (c == "STAT") return "+OK " + std::to_string(messages) + " 999\r\n";
        if (c == refused) return "-ERR no such message\r\n";
        if (c.rfind("RETR ", 0) == 0) return retrReply(message(std::stoi(c.substr(5))));
        return "+OK\r\n";
    }
    void deliver(const std::string& bytes)
    {
        for (std::size_t at = 0; at < bytes.size(); at += piece) rig.socket.deliver(bytes.substr(at, piece));
    }
    void play()
    {
        rig.socket.acceptConnection();
        deliver("+OK ready.\r\n");
        std::size_t answered = 0;
        int fetchAnswers = 0;
        while (rig.view.ended == 0) {
            const Strings lines = sentLines(rig);
            std::string answers;
            bool silent = false;
            for (; answered < lines.size() && lines[answered] != "QUIT"; ++answered) {
                const bool fetching = lines[answered].rfind("RETR ", 0) == 0 || lines[answered].rfind("DELE ", 0) == 0;
                if ((silent = fetching && fetchAnswers++ == silentAfter)) break;
                answers += answer(lines[answered]);
            }
            deliver(answers);
            if (silent || (answers.empty() && answered == lines.size())) return;
            if (answered < lines.size()) {
                endedBeforeQuitAnswer = rig.view.ended;
                ++answered;
                deliver("+OK Logging out.\r\n");
            }
        }
    }
};

}  // namespace

class TestPop3Session : public QObject {
    Q_OBJECT
private slots:
    void startConnectsWithTimeout();
    void threeMessagesFirstAndThirdRecorded();
    void emptyMailboxQuitsAtOnce();
    void statCount_data();
    void statCount();
    void unreadableStatCountQuits();
    void negativeReplyInEachStateQuits_data();
    void negativeReplyInEachStateQuits();
    void messageFraming_data();
    void messageFraming();
    void errInsideARetrieval();
    void stuffedLinesAreRestored_data();
    void stuffedLinesAreRestored();
    void parserFaultSkipsOnlyThatMessage();
    void eachMessageRecordedAtMostOnce();
    void manyRecordedMessagesAllDeleted();
    void fetchBeginsOnlyWithMessages();
    void closeByServerEndsOnce();
    void silenceUntilTimeOut();
    void everyArrivalRestartsTheTimeOut();
    void lineBreakInAccountOrPassword_data();
    void lineBreakInAccountOrPassword();
    void statusLineSplitAcrossReads();
    void protectedFetch_data();
    void protectedFetch();
    void sentBytes_data();
    void sentBytes();
    void pipelinedFetch_data();
    void pipelinedFetch();
};

void TestPop3Session::startConnectsWithTimeout()
{
    Pop3Rig rig;
    rig.socket.acceptConnection();
    rig.session.start(job());
    QCOMPARE(rig.socket.closeCalls, 1);
    QCOMPARE(rig.socket.connectedHost, std::string("pop.example.jp"));
    QCOMPARE(rig.socket.connectedPort, 110);
    QCOMPARE(rig.timer.interval(), 10000);
    QVERIFY(rig.timer.enabled());
    rig.socket.acceptConnection();
    QCOMPARE(rig.view.lastStatus(), sjis("受信メールサバー接続成功"));
}

void TestPop3Session::threeMessagesFirstAndThirdRecorded()
{
    Pop3Rig rig;
    std::vector<std::string> seen;
    rig.session.start(job([&](const std::string& text) {
        seen.push_back(text);
        return seen.size() != 2;
    }));
    logIn(rig);
    rig.socket.deliver("+OK 3 900\r\n");
    for (int n = 1; n <= 3; ++n) rig.socket.deliver(retrReply(message(n)));
    rig.socket.deliver("+OK Marked to be deleted.\r\n");
    rig.socket.deliver("+OK Marked to be deleted.\r\n");
    QCOMPARE(rig.view.ended, 0);
    rig.socket.deliver("+OK Logging out, messages deleted.\r\n");

    QCOMPARE(rig.commands(), (Strings{"USER quiz", "PASS secret", "STAT", "RETR 1", "RETR 2", "RETR 3", "DELE 1",
                                      "DELE 3", "QUIT"}));
    QCOMPARE(seen.size(), std::size_t(3));
    QCOMPARE(seen[1], retrReply(message(2)));
    QCOMPARE(rig.session.deleteList(), (std::vector<int>{1, 3}));
    QCOMPARE(rig.view.ended, 1);
    QVERIFY(rig.socket.isClosed());
    QVERIFY(!rig.timer.enabled());
    QCOMPARE(rig.view.statuses, (Strings{sjis("受信メールサバー接続成功"), "User", "Pass", "Stat", "Retr", "Dele",
                                         "Dele2", kEndStatus}));
    QCOMPARE(rig.view.states, (Strings{"Connect", "User", "Pass", "Stat", "Retr", "Dele", "Quit"}));
}

void TestPop3Session::emptyMailboxQuitsAtOnce()
{
    Pop3Rig rig;
    int parsed = 0;
    rig.session.start(job([&](const std::string&) { ++parsed; return true; }));
    logIn(rig);
    rig.socket.deliver("+OK 0 0\r\n");
    QCOMPARE(rig.commands().back(), std::string("QUIT"));
    rig.socket.deliver("+OK Logging out.\r\n");
    QCOMPARE(parsed, 0);
    QCOMPARE(rig.view.ended, 1);
}

void TestPop3Session::statCount_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("count");
    QTest::newRow("count and size") << "+OK 2 320" << 2;
    QTest::newRow("count only") << "+OK 12" << 12;
    QTest::newRow("zero") << "+OK 0 0" << 0;
    QTest::newRow("bare +OK") << "+OK" << -1;
    QTest::newRow("no count before space") << "+OK  5 1" << -1;
    QTest::newRow("word") << "+OK mailbox 3" << -1;
    QTest::newRow("sign") << "+OK -1 0" << -1;
    QTest::newRow("too long") << "+OK 12345678901 1" << -1;
    QTest::newRow("negative reply") << "-ERR 3 1" << -1;
}

void TestPop3Session::statCount()
{
    QFETCH(QString, line);
    QFETCH(int, count);
    QCOMPARE(Pop3Session::statCount(line.toStdString()), count);
}

void TestPop3Session::unreadableStatCountQuits()
{
    for (const char* reply : {"+OK\r\n", "+OK many 5\r\n"}) {
        Pop3Rig rig;
        int parsed = 0;
        rig.session.start(job([&](const std::string&) { ++parsed; return true; }));
        logIn(rig);
        rig.socket.deliver(reply);
        QCOMPARE(rig.commands().back(), std::string("QUIT"));
        QCOMPARE(parsed, 0);
        QVERIFY(rig.view.messages.empty());
    }
}

void TestPop3Session::negativeReplyInEachStateQuits_data()
{
    QTest::addColumn<QStringList>("replies");   // the last one is refused
    QTest::addColumn<QStringList>("commands");
    QTest::newRow("greeting") << QStringList{"-ERR go away"} << QStringList{"QUIT"};
    QTest::newRow("USER") << QStringList{"+OK ready", "-ERR who"} << QStringList{"USER quiz", "QUIT"};
    QTest::newRow("PASS") << QStringList{"+OK ready", "+OK", "-ERR [AUTH] failed"}
                          << QStringList{"USER quiz", "PASS secret", "QUIT"};
    QTest::newRow("STAT") << QStringList{"+OK ready", "+OK", "+OK in", "-ERR no"}
                          << QStringList{"USER quiz", "PASS secret", "STAT", "QUIT"};
    QTest::newRow("RETR") << QStringList{"+OK ready", "+OK", "+OK in", "+OK 2 10", "-ERR no such message"}
                          << QStringList{"USER quiz", "PASS secret", "STAT", "RETR 1", "QUIT"};
    QTest::newRow("DELE") << QStringList{"+OK ready", "+OK", "+OK in", "+OK 2 10", "+OK 1\r\nx\r\n.",
                                         "+OK 1\r\ny\r\n.", "-ERR gone"}
                          << QStringList{"USER quiz", "PASS secret", "STAT", "RETR 1", "RETR 2", "DELE 1", "QUIT"};
    QTest::newRow("not POP3") << QStringList{"* OK IMAP4rev1"} << QStringList{"QUIT"};
}

void TestPop3Session::negativeReplyInEachStateQuits()
{
    QFETCH(QStringList, replies);
    QFETCH(QStringList, commands);
    Pop3Rig rig;
    rig.session.start(job([](const std::string&) { return true; }));
    for (const QString& r : replies) rig.socket.deliver(r.toStdString() + "\r\n");
    Strings want;
    for (const QString& c : commands) want.push_back(c.toStdString());
    QCOMPARE(rig.commands(), want);
    QCOMPARE(rig.session.state(), Pop3Session::State::Quit);
    rig.socket.deliver("+OK bye\r\n");
    QCOMPARE(rig.view.ended, 1);
    QCOMPARE(rig.view.lastStatus(), kEndStatus);
}

void TestPop3Session::messageFraming_data()
{
    QTest::addColumn<QStringList>("chunks");   // after "+OK 1 ..." to STAT
    QTest::addColumn<QString>("expected");     // the text the parser gets
    const QString whole = "+OK 20 octets\r\nSubject: x\r\n\r\nbody\r\n.\r\n";
    QTest::newRow("one read") << QStringList{whole} << whole;
    QTest::newRow("terminator alone") << QStringList{"+OK 20 octets\r\nSubject: x\r\n\r\nbody\r\n", ".\r\n"} << whole;
    QTest::newRow("terminator split") << QStringList{"+OK 20 octets\r\nSubject: x\r\n\r\nbody\r", "\n.", "\r", "\n"}
                                      << whole;
    QTest::newRow("status line alone") << QStringList{"+OK 20 octets\r\n", "Subject: x\r\n\r\nbody\r\n.\r\n"} << whole;
    QTest::newRow("chunk ends with a line ending in a dot")
        << QStringList{"+OK 9 octets\r\nSubject: x\r\n\r\nsee you.\r\n", "more\r\n.\r\n"}
        << "+OK 9 octets\r\nSubject: x\r\n\r\nsee you.\r\nmore\r\n.\r\n";
    QTest::newRow("empty message") << QStringList{"+OK 0 octets\r\n.\r\n"} << "+OK 0 octets\r\n.\r\n";
    QTest::newRow("bare +OK status") << QStringList{"+OK\r\nb\r\n.\r\n"} << "+OK\r\nb\r\n.\r\n";
    QTest::newRow("-ERR at the start of a body chunk")
        << QStringList{"+OK 9\r\nSubject: x\r\n\r\n", "-ERR is just text\r\n", ".\r\n"}
        << "+OK 9\r\nSubject: x\r\n\r\n-ERR is just text\r\n.\r\n";
}

void TestPop3Session::messageFraming()
{
    QFETCH(QStringList, chunks);
    QFETCH(QString, expected);
    Pop3Rig rig;
    Strings seen;
    rig.session.start(job([&](const std::string& t) { seen.push_back(t); return false; }));
    logIn(rig);
    rig.socket.deliver("+OK 1 20\r\n");
    for (int i = 0; i < chunks.size(); ++i) {
        QVERIFY2(seen.empty(), "message taken before its end");
        rig.socket.deliver(chunks[i].toStdString());
    }
    QCOMPARE(seen, (Strings{expected.toStdString()}));
    QCOMPARE(rig.commands().back(), std::string("QUIT"));
}

void TestPop3Session::errInsideARetrieval()
{
    // The server refuses the second RETR: nothing is deleted, the session ends.
    Pop3Rig rig;
    int parsed = 0;
    rig.session.start(job([&](const std::string&) { ++parsed; return true; }));
    logIn(rig);
    rig.socket.deliver("+OK 2 20\r\n");
    rig.socket.deliver(retrReply(message(1)));
    rig.socket.deliver("-ERR Message 2 has been deleted\r\n");
    QCOMPARE(rig.commands(), (Strings{"USER quiz", "PASS secret", "STAT", "RETR 1", "RETR 2", "QUIT"}));
    QCOMPARE(parsed, 1);
    rig.socket.deliver("+OK bye\r\n");
    QCOMPARE(rig.view.ended, 1);
}

void TestPop3Session::stuffedLinesAreRestored_data()
{
    QTest::addColumn<QString>("wire");
    QTest::addColumn<QString>("parsed");
    QTest::newRow("..x") << "+OK\r\na\r\n..x\r\n.\r\n" << "+OK\r\na\r\n.x\r\n.\r\n";
    QTest::newRow("a dot line") << "+OK\r\na\r\n..\r\nb\r\n.\r\n" << "+OK\r\na\r\n.\r\nb\r\n.\r\n";
    QTest::newRow("three dots") << "+OK\r\n...\r\n.\r\n" << "+OK\r\n..\r\n.\r\n";
    QTest::newRow("dots inside a line") << "+OK\r\na..b\r\n.\r\n" << "+OK\r\na..b\r\n.\r\n";
    QTest::newRow("one byte per read") << "+OK\r\n..x\r\n.\r\n" << "+OK\r\n.x\r\n.\r\n";
}

void TestPop3Session::stuffedLinesAreRestored()
{
    QFETCH(QString, wire);
    QFETCH(QString, parsed);
    Pop3Rig rig;
    Strings seen;
    rig.session.start(job([&](const std::string& t) { seen.push_back(t); return false; }));
    logIn(rig);
    rig.socket.deliver("+OK 1 20\r\n");
    const std::size_t piece = QString(QTest::currentDataTag()) == "one byte per read" ? 1 : 1000;
    rig.socket.deliverInPieces(wire.toStdString(), piece);
    QCOMPARE(seen, (Strings{parsed.toStdString()}));
}

void TestPop3Session::parserFaultSkipsOnlyThatMessage()
{
    Pop3Rig rig;
    int calls = 0;
    rig.session.start(job([&](const std::string&) -> bool {
        if (++calls == 2) throw std::runtime_error("no value");
        return true;
    }));
    logIn(rig);
    rig.socket.deliver("+OK 3 30\r\n");
    for (int n = 1; n <= 3; ++n) rig.socket.deliver(retrReply(message(n)));
    rig.socket.deliver("+OK\r\n");
    rig.socket.deliver("+OK\r\n");
    QCOMPARE(rig.commands(), (Strings{"USER quiz", "PASS secret", "STAT", "RETR 1", "RETR 2", "RETR 3", "DELE 1",
                                      "DELE 3", "QUIT"}));
    QVERIFY(rig.view.messages.empty());
    QVERIFY(!rig.socket.isClosed());
}

void TestPop3Session::eachMessageRecordedAtMostOnce()
{
    Pop3Rig rig;
    rig.session.start(job([](const std::string&) { return true; }));
    logIn(rig);
    rig.socket.deliver("+OK 1 10\r\n");
    rig.socket.deliver(retrReply(message(1)));
    rig.socket.deliver("+OK Marked to be deleted.\r\n");
    QCOMPARE(rig.commands(), (Strings{"USER quiz", "PASS secret", "STAT", "RETR 1", "DELE 1", "QUIT"}));
}

void TestPop3Session::manyRecordedMessagesAllDeleted()
{
    // More than the thousand slots a fixed list would hold.
    const int count = 1200;
    Pop3Rig rig;
    rig.session.start(job([](const std::string&) { return true; }));
    logIn(rig);
    rig.socket.deliver("+OK " + std::to_string(count) + " 99999\r\n");
    for (int n = 1; n <= count; ++n) rig.socket.deliver(retrReply(message(n)));
    for (int n = 1; n <= count; ++n) rig.socket.deliver("+OK\r\n");
    const Strings cmds = rig.commands();
    QCOMPARE(cmds.size(), std::size_t(3 + 2 * count + 1));
    QCOMPARE(cmds[3 + count], std::string("DELE 1"));
    QCOMPARE(cmds[3 + 2 * count - 1], "DELE " + std::to_string(count));
    QCOMPARE(cmds.back(), std::string("QUIT"));
}

void TestPop3Session::fetchBeginsOnlyWithMessages()
{
    for (int count : {0, 2}) {
        Pop3Rig rig;
        int begun = 0;
        Pop3Job j = job([](const std::string&) { return false; });
        j.fetchBegins = [&] { ++begun; };
        rig.session.start(j);
        logIn(rig);
        rig.socket.deliver("+OK " + std::to_string(count) + " 10\r\n");
        QCOMPARE(begun, count > 0 ? 1 : 0);
    }
}

void TestPop3Session::closeByServerEndsOnce()
{
    Pop3Rig rig;
    rig.session.start(job());
    logIn(rig);
    rig.socket.peerClose();
    QCOMPARE(rig.view.ended, 1);
    QCOMPARE(rig.view.lastStatus(), kEndStatus);
    QVERIFY(!rig.timer.fire());
    rig.socket.deliver("+OK 1 1\r\n");
    QCOMPARE(rig.view.ended, 1);
    QVERIFY(rig.view.messages.empty());
    QCOMPARE(rig.commands().back(), std::string("STAT"));
}

void TestPop3Session::silenceUntilTimeOut()
{
    Pop3Rig rig;
    rig.session.start(job());
    logIn(rig);
    rig.socket.deliver("+OK 1 10\r\n");
    rig.socket.deliver("+OK 10 octets\r\nhalf a mess");
    QVERIFY(rig.timer.fire());
    QCOMPARE(rig.view.timeOuts, 1);
    QCOMPARE(rig.view.messages, (Strings{"Time Out Err"}));
    QCOMPARE(rig.view.ended, 1);
    QVERIFY(rig.socket.isClosed());
    QVERIFY(!rig.timer.enabled());
}

void TestPop3Session::everyArrivalRestartsTheTimeOut()
{
    Pop3Rig rig;
    rig.session.start(job());
    const int armed = rig.timer.armCount;
    rig.socket.deliverInPieces("+OK ready\r\n", 3);
    QCOMPARE(rig.timer.armCount, armed + 4);
}

void TestPop3Session::lineBreakInAccountOrPassword_data()
{
    QTest::addColumn<QString>("account");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QString>("status");
    QTest::newRow("account") << "quiz\r\nDELE 1" << "secret" << QStringList{"QUIT"}
                             << QString::fromUtf8("アカウントに改行が含まれるため受信を中止します。");
    QTest::newRow("password") << "quiz" << "se\ncret" << QStringList{"USER quiz", "QUIT"}
                              << QString::fromUtf8("パスワードに改行が含まれるため受信を中止します。");
}

void TestPop3Session::lineBreakInAccountOrPassword()
{
    QFETCH(QString, account);
    QFETCH(QString, password);
    QFETCH(QStringList, commands);
    QFETCH(QString, status);
    Pop3Rig rig;
    Pop3Job j = job();
    j.account = account.toStdString();
    j.password = password.toStdString();
    rig.session.start(j);
    rig.socket.deliver("+OK ready\r\n");
    rig.socket.deliver("+OK\r\n");
    Strings want;
    for (const QString& c : commands) want.push_back(c.toStdString());
    QCOMPARE(rig.commands(), want);
    QVERIFY(rig.view.showedStatus(sjis(status)));
}

void TestPop3Session::statusLineSplitAcrossReads()
{
    Pop3Rig rig;
    rig.session.start(job());
    rig.socket.deliver("+OK Dove");
    QVERIFY(rig.socket.sends.empty());
    rig.socket.deliver("cot ready.\r");
    QVERIFY(rig.socket.sends.empty());
    rig.socket.deliver("\n");
    QCOMPARE(rig.commands(), (Strings{"USER quiz"}));
}

// ---- Protection ------------------------------------------------------------

void TestPop3Session::protectedFetch_data()
{
    using P = Protection;
    QTest::addColumn<int>("protection");
    QTest::addColumn<QByteArrayList>("replies");    // "<tls>": the handshake completes
    QTest::addColumn<QByteArrayList>("commands");
    QTest::addColumn<int>("sentInTheClear");        // -1: no handshake
    QTest::addColumn<QByteArray>("status");         // the status of a failed phase

    const QByteArrayList fetch = {"USER quiz", "PASS secret", "STAT", "QUIT"};
    const QByteArrayList served = {"+OK\r\n", "+OK Logged in.\r\n", "+OK 0 0\r\n", "+OK Logging out.\r\n"};
    QTest::newRow("STLS") << int(P::StartTls)
                          << QByteArrayList{"+OK ready.\r\n", "+OK Begin TLS negotiation now.\r\n", "<tls>",
                                            kDovecotCapa} + served
                          << QByteArrayList{"STLS", "CAPA"} + fetch << 1 << QByteArray();
    QTest::newRow("STLS refused: nothing in the clear")
        << int(P::StartTls) << QByteArrayList{"+OK ready.\r\n", "-ERR Unknown command\r\n", "+OK bye\r\n"}
        << QByteArrayList{"STLS", "QUIT"} << -1 << QByteArray("受信メールサーバーがSTLSに対応していないため受信を中止します。");
    QTest::newRow("TLS from the start") << int(P::Tls) << QByteArrayList{"+OK ready.\r\n", kDovecotCapa} + served
                                        << QByteArrayList{"CAPA"} + fetch << -1 << QByteArray();
    QTest::newRow("TLS, CAPA in pieces")
        << int(P::Tls) << QByteArrayList{"+OK ready.\r\n", "+OK\r\nTOP\r", "\nPIPELI", "NING\r\n.", "\r\n"} + served
        << QByteArrayList{"CAPA"} + fetch << -1 << QByteArray();
    QTest::newRow("none, as always") << int(P::None) << QByteArrayList{"+OK ready.\r\n"} + served << fetch << -1
                                     << QByteArray();
}

// STLS comes first when asked for; a server that will not start TLS gets
// only QUIT, never the account or the password.
void TestPop3Session::protectedFetch()
{
    QFETCH(int, protection);
    QFETCH(QByteArrayList, replies);
    QFETCH(QByteArrayList, commands);
    QFETCH(int, sentInTheClear);
    QFETCH(QByteArray, status);
    Pop3Rig rig;
    Pop3Job j = job();
    j.protection = Protection(protection);
    rig.session.start(j);
    QCOMPARE(rig.socket.implicitTls, j.protection == Protection::Tls);
    rig.socket.acceptConnection();
    QVERIFY(rig.serverSays(replies));
    QByteArrayList sent;
    for (const std::string& c : rig.commands()) sent << QByteArray::fromStdString(c);
    QCOMPARE(sent, commands);
    QCOMPARE(rig.socket.sendsBeforeTls, sentInTheClear);
    QCOMPARE(rig.view.ended, 1);
    if (!status.isEmpty()) QVERIFY(rig.view.showedStatus(sjis(status.constData())));
}

// ---- Pipelining -------------------------------------------------------------

// A fetch of three messages, the first and third kept, send() by send(). A
// server that offers PIPELINING in its CAPA list (the keyword first on a
// line, in any case) gets the RETRs together and the DELEs as one group;
// any other one command a send, and the plain dialogue no CAPA at all. The
// parser and the view see the same either way.
void TestPop3Session::sentBytes_data()
{
    using P = Protection;
    QTest::addColumn<int>("protection");
    QTest::addColumn<QByteArrayList>("opening");   // up to the reply to CAPA; "<tls>": the handshake
    QTest::addColumn<QByteArrayList>("sends");
    const QByteArrayList one = {"USER quiz\r\n", "PASS secret\r\n", "STAT\r\n", "RETR 1\r\n", "RETR 2\r\n",
                                "RETR 3\r\n", "DELE 1\r\n", "DELE 3\r\n", "QUIT\r\n"};
    const QByteArrayList grouped = {"USER quiz\r\n", "PASS secret\r\n", "STAT\r\n", "RETR 1\r\nRETR 2\r\nRETR 3\r\n",
                                    "DELE 1\r\nDELE 3\r\n", "QUIT\r\n"};
    const QByteArray hello = "+OK ready.\r\n";
    const QByteArrayList capa = {"CAPA\r\n"};
    QTest::newRow("plain, as of old") << int(P::None) << QByteArrayList{hello} << one;
    QTest::newRow("TLS, Dovecot") << int(P::Tls) << QByteArrayList{hello, kDovecotCapa} << capa + grouped;
    QTest::newRow("TLS, lower case") << int(P::Tls) << QByteArrayList{hello, "+OK\r\nTOP\r\npipelining 5\r\n.\r\n"}
                                              << capa + grouped;
    QTest::newRow("TLS, without PIPELINING")
        << int(P::Tls) << QByteArrayList{hello, "+OK PIPELINING\r\nX-PIPELINING\r\nIMPLEMENTATION PIPELINING\r\n.\r\n"}
        << capa + one;
    QTest::newRow("TLS, no CAPA") << int(P::Tls) << QByteArrayList{hello, "-ERR Unknown command\r\n"} << capa + one;
    QTest::newRow("STLS, Dovecot") << int(P::StartTls) << QByteArrayList{hello, "+OK Begin TLS.\r\n", "<tls>", kDovecotCapa}
                                   << QByteArrayList{"STLS\r\n", "CAPA\r\n"} + grouped;
}

void TestPop3Session::sentBytes()
{
    QFETCH(int, protection);
    QFETCH(QByteArrayList, opening);
    QFETCH(QByteArrayList, sends);
    Pop3Rig rig;
    Strings seen;
    Pop3Job j = job([&](const std::string& text) { seen.push_back(text); return seen.size() != 2; });
    j.protection = Protection(protection);
    rig.session.start(j);
    rig.socket.acceptConnection();
    QVERIFY(rig.serverSays(opening + QByteArrayList{"+OK\r\n", "+OK Logged in.\r\n", "+OK 3 900\r\n"}));
    for (int n = 1; n <= 3; ++n) rig.socket.deliver(retrReply(message(n)));
    QVERIFY(rig.serverSays({"+OK\r\n", "+OK\r\n", "+OK Logging out.\r\n"}));
    QByteArrayList sent;
    for (const std::string& s : rig.socket.sends) sent << QByteArray::fromStdString(s);
    QCOMPARE(sent, sends);
    QCOMPARE(seen, (Strings{retrReply(message(1)), retrReply(message(2)), retrReply(message(3))}));
    QCOMPARE(rig.session.deleteList(), (std::vector<int>{1, 3}));
    QCOMPARE(rig.view.statuses, (Strings{sjis("受信メールサバー接続成功"), "User", "Pass", "Stat", "Retr", "Dele",
                                         "Dele2", kEndStatus}));
}

// Against a server that reads ahead, the parser keeping all but each third
// message: the RETRs run up to the window ahead, never further; every
// message reaches the parser once, in order; the DELEs go as one group. A
// -ERR ends the fetch as without pipelining, but the replies owed for the
// commands before QUIT are read first: only QUIT's own ends the session.
// Silence still meets the time-out.
void TestPop3Session::pipelinedFetch_data()
{
    using K = SessionFailure::Kind;
    QTest::addColumn<int>("messages");
    QTest::addColumn<int>("piece");   // bytes a read
    QTest::addColumn<QByteArray>("refused");
    QTest::addColumn<int>("silentAfter");   // answers to RETR and DELE; -1: never
    QTest::addColumn<int>("parsed");
    QTest::addColumn<int>("failure");
    const int all = 1 << 30;
    QTest::newRow("40, together") << 40 << all << QByteArray() << -1 << 40 << int(K::None);
    QTest::newRow("40, one byte a read") << 40 << 1 << QByteArray() << -1 << 40 << int(K::None);
    QTest::newRow("33") << 33 << all << QByteArray() << -1 << 33 << int(K::None);
    QTest::newRow("-ERR to RETR 7 of 40") << 40 << all << QByteArray("RETR 7") << -1 << 6 << int(K::Refused);
    QTest::newRow("-ERR to DELE 4 of 8") << 8 << all << QByteArray("DELE 4") << -1 << 8 << int(K::Refused);
    QTest::newRow("-ERR to DELE 4 of 8, one byte a read") << 8 << 1 << QByteArray("DELE 4") << -1 << 8 << int(K::Refused);
    QTest::newRow("-ERR to the last DELE") << 8 << all << QByteArray("DELE 8") << -1 << 8 << int(K::Refused);
    QTest::newRow("silent inside the RETR window") << 40 << all << QByteArray() << 10 << 10 << int(K::TimedOut);
    QTest::newRow("silent inside the DELE group") << 8 << 1 << QByteArray() << 10 << 8 << int(K::TimedOut);
    QTest::newRow("silent, DELE replies owed after QUIT") << 8 << all << QByteArray("DELE 2") << 10 << 8 << int(K::Refused);
}

void TestPop3Session::pipelinedFetch()
{
    QFETCH(int, messages);
    QFETCH(int, piece);
    QFETCH(QByteArray, refused);
    QFETCH(int, silentAfter);
    QFETCH(int, parsed);
    QFETCH(int, failure);
    Pop3Rig rig;
    Strings seen;
    std::size_t ahead = 0;   // the most RETRs sent for messages not yet parsed
    Pop3Job j = job([&](const std::string& text) {
        ahead = std::max(ahead, numbersSent(rig, "RETR").size() - seen.size());
        seen.push_back(text);
        return seen.size() % 3 != 0;
    });
    j.protection = Protection::Tls;
    rig.session.start(j);
    ReadAheadServer server{rig, messages, refused.toStdString(), std::size_t(piece), silentAfter};
    server.play();
    if (silentAfter >= 0) {
        QCOMPARE(rig.view.ended, 0);
        QVERIFY(rig.timer.fire());
    }
    QCOMPARE(rig.view.ended, 1);
    QCOMPARE(server.endedBeforeQuitAnswer, silentAfter < 0 ? 0 : -1);
    QCOMPARE(int(rig.session.failure().kind), failure);
    if (!refused.isEmpty())
        QCOMPARE(rig.session.failure().detail, (refused.startsWith("RETR") ? "RETR" : "Dele") + std::string(": -ERR no such message"));

    const std::vector<int> retrs = numbersSent(rig, "RETR");
    for (std::size_t i = 0; i < retrs.size(); ++i) QCOMPARE(retrs[i], int(i) + 1);
    QCOMPARE(ahead, std::size_t(std::min(messages, 32)));
    QCOMPARE(seen.size(), std::size_t(parsed));
    for (int n = 1; n <= parsed; ++n) QCOMPARE(seen[n - 1], retrReply(message(n)));
    std::vector<int> kept;
    std::string group;
    for (int n = 1; n <= parsed; ++n)
        if (n % 3 != 0) kept.push_back(n), group += "DELE " + std::to_string(n) + "\r\n";
    QCOMPARE(rig.session.deleteList(), kept);
    const bool fetched = parsed == messages;
    QCOMPARE(std::count(rig.socket.sends.begin(), rig.socket.sends.end(), group), fetched ? 1 : 0);
    QCOMPARE(numbersSent(rig, "DELE").size(), fetched ? kept.size() : 0);
    QCOMPARE(rig.socket.sends.back() == "QUIT\r\n", failure != int(SessionFailure::Kind::TimedOut));
}

QTEST_GUILESS_MAIN(TestPop3Session)
#include "tst_pop3_session.moc"
