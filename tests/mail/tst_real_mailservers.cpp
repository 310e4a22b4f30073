// The private mail servers behave as the quiz relies on: a player's reply
// reaches the operator's mailbox with the delivery headers the incoming-mail
// checks look for, POP3 serves it with Dovecot's replies, 8-bit bodies pass
// untouched, every mailbox is its own, and nothing is relayed elsewhere.
#include <QDeadlineTimer>
#include <QTcpSocket>
#include <QtTest>

#include "support/ServerChecks.h"

namespace {

// A POP3 client that shows every line exactly as the server sent it.
class RawPop3 {
public:
    QByteArray connect() {
        socket.connectToHost(RealServers::host, RealServers::pop3Port);
        if (!socket.waitForConnected(5000)) return "(no connection)";
        return line();
    }
    QByteArray command(const QByteArray& cmd) {
        socket.write(cmd + "\r\n");
        return line();
    }
    // The lines after a positive RETR/LIST status, up to but without the
    // terminating "." line, still byte-stuffed.
    QByteArray multiLineBody() {
        QDeadlineTimer deadline(10000);
        while (!buffer.startsWith(".\r\n") && !buffer.contains("\r\n.\r\n") && !deadline.hasExpired())
            if (!fill(deadline)) break;
        const qsizetype end = buffer.startsWith(".\r\n") ? 0 : buffer.indexOf("\r\n.\r\n") + 2;
        const QByteArray body = buffer.left(end);
        buffer.remove(0, end + 3);
        return body;
    }
    QByteArray retrieve(int n, QByteArray* status = nullptr) {
        const QByteArray s = command("RETR " + QByteArray::number(n));
        if (status) *status = s;
        return s.startsWith("+OK") ? multiLineBody() : QByteArray();
    }
    bool login(const QString& user, const QByteArray& pass) {
        return connect().startsWith("+OK") && command("USER " + user.toLatin1()).startsWith("+OK") &&
               command("PASS " + pass).startsWith("+OK");
    }
    int stat() {
        const QList<QByteArray> parts = command("STAT").split(' ');
        return parts.size() >= 2 && parts[0] == "+OK" ? parts[1].toInt() : -1;
    }

private:
    QByteArray line() {
        QDeadlineTimer deadline(10000);
        while (!buffer.contains("\r\n") && !deadline.hasExpired())
            if (!fill(deadline)) break;
        const qsizetype end = buffer.indexOf("\r\n");
        if (end < 0) return "(no reply)";
        const QByteArray l = buffer.left(end);
        buffer.remove(0, end + 2);
        return l;
    }
    bool fill(const QDeadlineTimer& deadline) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime()))) return false;
        buffer += socket.readAll();
        return true;
    }
    QTcpSocket socket;
    QByteArray buffer;
};

QByteArray reply(const QByteArray& from, const QByteArray& to, const QByteArray& subject,
                 const QByteArray& body) {
    return "From: " + from + "\r\nTo: " + to + "\r\nSubject: " + subject +
           "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=Shift_JIS\r\n\r\n" + body;
}

int totalMessages() {
    int n = 0;
    for (const QString& a : RealServers::accounts()) n += RealServers::messages(a).size();
    return n;
}

QByteArray headerBlock(const QByteArray& message) {
    const qsizetype end = message.indexOf("\r\n\r\n");
    return end < 0 ? message : message.left(end);
}

}  // namespace

class tst_real_mailservers : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TRV_REQUIRE_REAL_SERVERS(); }
    void init() {
        QString error;
        QVERIFY2(RealServers::emptyAllMailboxes(&error), qPrintable(error));
    }

    void replyReachesOperatorWithDeliveryHeaders() {
        const auto sent = RealServers::sendRawMail(
            "taro@docomo.ne.jp", {RealServers::operatorAddress},
            reply("taro@docomo.ne.jp", RealServers::operatorAddress, "Re: quiz", "answer:3\r\n"));
        QVERIFY2(sent.accepted, qPrintable(sent.describe()));
        QVERIFY(RealServers::waitForMessages(RealServers::operatorAddress, 1));

        RawPop3 pop;
        QCOMPARE(pop.connect(), QByteArray("+OK Dovecot (Debian) ready."));
        // Dovecot's USER answer is a bare "+OK"; the session must accept it.
        QCOMPARE(pop.command("USER quiz@trivorn.test"), QByteArray("+OK"));
        QCOMPARE(pop.command(QByteArray("PASS ") + RealServers::password), QByteArray("+OK Logged in."));
        const QByteArray stat = pop.command("STAT");
        QVERIFY2(stat.startsWith("+OK 1 "), stat.constData());
        QByteArray status;
        const QByteArray message = pop.retrieve(1, &status);
        QCOMPARE(status, "+OK " + stat.mid(6) + " octets");
        QCOMPARE(QByteArray::number(message.size()), stat.mid(6));

        const QList<QByteArray> lines = headerBlock(message).split('\n');
        QVERIFY2(lines.size() >= 6, message.constData());
        QCOMPARE(lines[0], QByteArray("Return-Path: <taro@docomo.ne.jp>\r"));
        QCOMPARE(lines[1], QByteArray("X-Original-To: quiz@trivorn.test\r"));
        QCOMPARE(lines[2], QByteArray("Delivered-To: quiz@trivorn.test\r"));
        QVERIFY2(QRegularExpression(R"(^Received: from \S+ .*\r$)").match(lines[3]).hasMatch(), lines[3].constData());
        QVERIFY2(QRegularExpression(R"(^\tby \S+ \(Postfix\) with E?SMTP id \w+\r$)").match(lines[4]).hasMatch(),
                 lines[4].constData());
        QVERIFY2(lines[5].startsWith("\tfor <quiz@trivorn.test>; "), lines[5].constData());
        QVERIFY(message.endsWith("\r\n\r\nanswer:3\r\n"));

        QCOMPARE(pop.command("DELE 1"), QByteArray("+OK Marked to be deleted."));
        QCOMPARE(pop.command("QUIT"), QByteArray("+OK Logging out, messages deleted."));
        QCOMPARE(RealServers::messages(RealServers::operatorAddress).size(), 0);
    }

    void wrongPasswordIsRefused() {
        RawPop3 pop;
        QVERIFY(pop.connect().startsWith("+OK"));
        QCOMPARE(pop.command("USER quiz@trivorn.test"), QByteArray("+OK"));
        const QByteArray answer = pop.command("PASS wrong");
        QVERIFY2(answer.startsWith("-ERR"), answer.constData());
    }

    // Raw Shift_JIS (with 0x5C trail bytes), raw ISO-2022-JP and lines that
    // begin with "." reach the mailbox byte for byte; POP3 stuffs the dots.
    void bodyBytesSurviveAndDotsAreStuffed() {
        // "答:2 ソ表" in Shift_JIS, then "漢字" in ISO-2022-JP.
        const QByteArray sjis = "\x93\x9a:2 \x83\x5c\x95\x5c";
        const QByteArray jis = "\x1b$B4A;z\x1b(B";
        const QByteArray body = sjis + "\r\n.\r\n.x\r\n..y\r\n" + jis + "\r\nend\r\n";
        const auto sent = RealServers::sendRawMail("hanako@ezweb.ne.jp", {RealServers::operatorAddress},
                                                   reply("hanako@ezweb.ne.jp", RealServers::operatorAddress,
                                                         "Re: q", body));
        QVERIFY2(sent.accepted, qPrintable(sent.describe()));
        QVERIFY(RealServers::waitForMessages(RealServers::operatorAddress, 1));

        QByteArray stored = RealServers::messages(RealServers::operatorAddress).value(0);
        QVERIFY2(stored.endsWith(QByteArray(body).replace("\r\n", "\n")), stored.constData());

        RawPop3 pop;
        QVERIFY(pop.login(RealServers::operatorAddress, RealServers::password));
        const QByteArray fetched = pop.retrieve(1);
        QVERIFY2(fetched.endsWith(sjis + "\r\n..\r\n..x\r\n...y\r\n" + jis + "\r\nend\r\n"), fetched.constData());
    }

    void nothingIsRelayed_data() {
        QTest::addColumn<QByteArray>("recipient");
        QTest::newRow("external domain") << QByteArray("someone@example.org");
        QTest::newRow("carrier name as subdomain") << QByteArray("taro@docomo.ne.jp.example.org");
        QTest::newRow("subdomain of a carrier") << QByteArray("taro@mail.docomo.ne.jp");
        QTest::newRow("unknown user at a carrier") << QByteArray("nobody@docomo.ne.jp");
        QTest::newRow("unknown user at operator") << QByteArray("nobody@trivorn.test");
        QTest::newRow("percent hack") << QByteArray("someone%example.org@trivorn.test");
    }
    void nothingIsRelayed() {
        QFETCH(QByteArray, recipient);
        const auto sent = RealServers::sendRawMail(
            "taro@docomo.ne.jp", {recipient}, reply("taro@docomo.ne.jp", recipient, "hello", "text\r\n"));
        QVERIFY2(!sent.accepted, qPrintable(sent.describe()));
        QVERIFY2(sent.failedCommand.startsWith("RCPT TO"), qPrintable(sent.describe()));
        QVERIFY2(sent.code() >= 500 && sent.code() < 600, qPrintable(sent.describe()));
        // Refused outright: nothing waits in the queue, no bounce was delivered.
        QTest::qWait(300);
        QCOMPARE(RealServers::queuedMessageCount(), 0);
        QCOMPARE(totalMessages(), 0);
    }

    // An old relay trick: the route part is dropped and the mail stays here.
    void sourceRouteIsIgnored() {
        const auto sent = RealServers::sendRawMail("taro@docomo.ne.jp", {"@example.org:hanako@docomo.ne.jp"},
                                                   reply("taro@docomo.ne.jp", "hanako", "route", "x\r\n"));
        QVERIFY2(sent.accepted, qPrintable(sent.describe()));
        QVERIFY(RealServers::waitForMessages("hanako@docomo.ne.jp", 1));
        QTest::qWait(200);
        QCOMPARE(RealServers::queuedMessageCount(), 0);
        QCOMPARE(totalMessages(), 1);
    }

    void everyMailboxIsItsOwn_data() {
        QTest::addColumn<QString>("address");
        // A row costs a delivery and a wait for a stray copy: three mailboxes
        // at each domain of old, one at each of today's.
        const QStringList& domains = RealServers::playerDomains;
        for (qsizetype d = 0; d < domains.size(); ++d) {
            const QStringList users = d < 4 ? QStringList{"taro", "hanako", "jiro"} : QStringList{"sakura"};
            for (const QString& user : users) {
                const QString a = user + '@' + domains[d];
                QTest::newRow(qPrintable(a)) << a;
            }
        }
        for (const char* a : {"quiz@trivorn.test", "support@trivorn.test", "player001@docomo.ne.jp",
                              "player250@docomo.ne.jp"})
            QTest::newRow(a) << QString(a);
    }
    void everyMailboxIsItsOwn() {
        QFETCH(QString, address);
        QVERIFY2(RealServers::accounts().contains(address), qPrintable(address));
        const QByteArray to = address.toLatin1();
        const auto sent = RealServers::sendRawMail(RealServers::operatorAddress, {to},
                                                   reply(RealServers::operatorAddress, to, "for " + to, "x\r\n"));
        QVERIFY2(sent.accepted, qPrintable(sent.describe()));
        QVERIFY(RealServers::waitForMessages(address, 1));
        QTest::qWait(200);   // a stray second copy would arrive about now
        const QList<QByteArray> mine = RealServers::messages(address);
        QCOMPARE(mine.size(), 1);
        QVERIFY(mine[0].contains("\nDelivered-To: " + to + "\n"));
        QCOMPARE(totalMessages(), 1);

        RawPop3 pop;
        QVERIFY(pop.login(address, RealServers::password));
        QCOMPARE(pop.stat(), 1);
        QVERIFY(pop.retrieve(1).contains("Subject: for " + to + "\r\n"));
    }

    // The benchmark's players: one transaction with 250 recipients reaches
    // each of them once.
    void benchmarkPlayersEachGetOneCopy() {
        QList<QByteArray> players;
        for (int n = 1; n <= RealServers::playerCount; ++n) players.append(RealServers::playerAddress(n).toLatin1());
        const auto sent = RealServers::sendRawMail(RealServers::operatorAddress, players,
                                                   reply(RealServers::operatorAddress, "quiz", "all", "x\r\n"));
        QVERIFY2(sent.accepted, qPrintable(sent.describe()));
        for (const QByteArray& p : players) QVERIFY2(RealServers::waitForMessages(p, 1), p.constData());
        QCOMPARE(totalMessages(), RealServers::playerCount);
    }

    // Every delivery Postfix logged since the servers started went into a
    // local Maildir, or to the local agent that bounces the bouncing domain:
    // none was handed to a transport that leaves the machine.
    void logShowsOnlyLocalDeliveries() {
        QFile log(RealServers::directory() + "/postfix.log");
        QVERIFY2(log.open(QIODevice::ReadOnly), qPrintable(log.fileName()));
        int deliveries = 0;
        for (const QByteArray& line : log.readAll().split('\n')) {
            const qsizetype relay = line.indexOf(" relay=");
            if (relay < 0) continue;
            ++deliveries;
            const bool bounced = line.contains("@" + QByteArray(RealServers::bouncingDomain) + ">, relay=local,") &&
                                 line.contains(" status=bounced ");
            QVERIFY2(line.mid(relay).startsWith(" relay=virtual,") || bounced, line.constData());
        }
        QVERIFY(deliveries >= 250);   // at least those of this test
    }
};

QTEST_GUILESS_MAIN(tst_real_mailservers)
#include "tst_real_mailservers.moc"
