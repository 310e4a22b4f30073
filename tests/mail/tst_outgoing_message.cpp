#include <QtTest>

#include "mail/OutgoingMessage.h"
#include "support/SessionRigs.h"

// The text that goes to the server after "354", byte for byte.

namespace {

const std::string kHeader =
    "Reply-To: quiz@trivorn.test\r\n"
    "X-Mailer: TRIVORN\r\n"
    "MIME-Version: 1.0\r\n"
    "Content-Type: text/plain; charset=iso-2022-jp\r\n"
    "Content-Transfer-Encoding: 7bit\r\n"
    "X-Mozilla-Status: 0001\r\n";

const std::string ESC = "\x1b";

}  // namespace

class TestOutgoingMessage : public QObject {
    Q_OBJECT
private slots:
    void headerBlockByteForByte();
    void headerBlockBuiltTwiceHasSixLines();
    void messageText_data();
    void messageText();
    void dotStuff_data();
    void dotStuff();
};

void TestOutgoingMessage::headerBlockByteForByte()
{
    OutgoingMail mail;
    mail.HeaderBlock = "left over\r\n";
    BuildHeaderBlock(mail, "quiz@trivorn.test");
    QCOMPARE(mail.HeaderBlock, kHeader);
}

void TestOutgoingMessage::headerBlockBuiltTwiceHasSixLines()
{
    OutgoingMail mail;
    BuildHeaderBlock(mail, "quiz@trivorn.test");
    BuildHeaderBlock(mail, "quiz@trivorn.test");
    QCOMPARE(mail.HeaderBlock, kHeader);
    QCOMPARE(std::count(mail.HeaderBlock.begin(), mail.HeaderBlock.end(), '\n'), 6);
}

void TestOutgoingMessage::messageText_data()
{
    QTest::addColumn<QByteArray>("subject");   // Shift_JIS
    QTest::addColumn<QByteArray>("body");      // Shift_JIS
    QTest::addColumn<QByteArray>("afterHeader");

    auto b = [](const std::string& s) { return QByteArray(s.data(), qsizetype(s.size())); };
    QTest::newRow("ASCII subject has no escapes")
        << b("Quiz 3") << b("Hello\r\nBye") << b("Subject: Quiz 3\r\nHello\r\nBye\r\n.\r\n");
    // 問題 = JIS 4C 64 3F 4A
    QTest::newRow("subject ending in kanji ends with ESC ( J")
        << b(sjis("第1問題")) << b("x")
        << b("Subject: " + ESC + "$B" + "\x42\x68" + ESC + "(J1" + ESC + "$B\x4c\x64\x42\x6a" + ESC + "(J\r\nx\r\n.\r\n");
    QTest::newRow("empty body") << b("S") << QByteArray()
                                << b("Subject: S\r\n\r\n.\r\n");
    // あ = JIS 24 22; ｱ (half-width) = ESC ( I 31
    QTest::newRow("body in ISO-2022-JP, no blank line before it")
        << b("S") << b(sjis("あ\r\nｱ"))
        << b("Subject: S\r\n" + ESC + "$B\x24\x22" + ESC + "(J\r\n" + ESC + "(I\x31" + ESC + "(J\r\n.\r\n");
    QTest::newRow("body lines . and .x are stuffed")
        << b("S") << b(".\r\nmid\r\n.x")
        << b("Subject: S\r\n..\r\nmid\r\n..x\r\n.\r\n");
    QTest::newRow("body ending with a line break")
        << b("S") << b("a\r\n") << b("Subject: S\r\na\r\n\r\n.\r\n");
}

void TestOutgoingMessage::messageText()
{
    QFETCH(QByteArray, subject);
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, afterHeader);
    const std::string text = BuildMessageText(kHeader, subject.toStdString(), body.toStdString());
    QCOMPARE(QByteArray::fromStdString(text), QByteArray::fromStdString(kHeader) + afterHeader);
    for (unsigned char c : text) QVERIFY2(c < 0x80, "every byte of the mail is 7-bit");
}

void TestOutgoingMessage::dotStuff_data()
{
    QTest::addColumn<QByteArray>("in");
    QTest::addColumn<QByteArray>("out");
    QTest::newRow("nothing to do") << QByteArray("a.b\r\nc.") << QByteArray("a.b\r\nc.");
    QTest::newRow("dot at the very start") << QByteArray(".x") << QByteArray("..x");
    QTest::newRow("lone dot line") << QByteArray("a\r\n.\r\nb") << QByteArray("a\r\n..\r\nb");
    QTest::newRow("already doubled") << QByteArray("..") << QByteArray("...");
    QTest::newRow("after a bare LF too") << QByteArray("a\n.\r\n") << QByteArray("a\n..\r\n");
    QTest::newRow("not after a bare CR") << QByteArray("a\r.b") << QByteArray("a\r.b");
    QTest::newRow("the end-of-data sequence") << QByteArray("x\r\n.\r\nQUIT\r\n") << QByteArray("x\r\n..\r\nQUIT\r\n");
    QTest::newRow("empty") << QByteArray() << QByteArray();
}

void TestOutgoingMessage::dotStuff()
{
    QFETCH(QByteArray, in);
    QFETCH(QByteArray, out);
    QCOMPARE(QByteArray::fromStdString(DotStuff(in.toStdString())), out);
}

QTEST_GUILESS_MAIN(TestOutgoingMessage)
#include "tst_outgoing_message.moc"
