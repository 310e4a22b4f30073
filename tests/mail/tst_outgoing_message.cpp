#include <QtTest>

#include "codec/Iso2022Jp.h"
#include "mail/MessageHeaders.h"
#include "mail/MessageIds.h"
#include "mail/OutgoingMessage.h"
#include "support/IconvText.h"
#include "support/SjisLiterals.h"
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

QString u(const char* utf8) { return QString::fromUtf8(utf8); }
QByteArray b(const std::string& s) { return QByteArray(s.data(), qsizetype(s.size())); }

// A field as a receiver reads it: the lines unfolded, every encoded word
// decoded on its own by iconv (which must find each one whole and ending in
// ASCII), plain text kept. Also checks what RFC 2047 and 5322 ask of the
// form: lines of at most 78 characters, words of at most 75.
QString readField(const QByteArray& field, QString* fault)
{
    QString value;
    const QList<QByteArray> lines = field.chopped(2).split('\n');
    for (const QByteArray& line : lines) {
        const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
        if (l.size() > 78) *fault += "line over 78: " + QString::fromLatin1(l) + "\n";
        for (const QByteArray& token : l.split(' ')) {
            if (token.isEmpty()) continue;
            if (!token.startsWith("=?ISO-2022-JP?B?")) {
                if (token.contains(':') && value.isEmpty() && &line == &lines.first()) continue;   // the field name
                value += (value.isEmpty() ? "" : " ") + QString::fromLatin1(token);
                continue;
            }
            if (token.size() > 75) *fault += "word over 75\n";
            const QByteArray jisBytes = QByteArray::fromBase64(token.mid(16).chopped(2));
            if (jisBytes.contains('\x1b') && jisBytes.mid(jisBytes.lastIndexOf('\x1b'), 3) != "\x1b(B")
                *fault += "word not ending in ASCII\n";
            const QByteArray utf8 = iconvBytes(jisBytes, "UTF-8", "ISO-2022-JP-3");
            if (utf8.startsWith("(iconv")) *fault += "word iconv cannot read\n";
            value += QString::fromUtf8(utf8);
        }
    }
    return value;
}

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
    void mailDate_data();
    void mailDate();
    void fields_data();
    void fields();
    void longBodyLinesAreBroken_data();
    void longBodyLinesAreBroken();
    void messageIds();
};

void TestOutgoingMessage::headerBlockByteForByte()
{
    QCOMPARE(BuildHeaderBlock("quiz@trivorn.test"), kHeader);
}

void TestOutgoingMessage::headerBlockBuiltTwiceHasSixLines()
{
    BuildHeaderBlock("other@trivorn.test");
    const SjisText block = BuildHeaderBlock("quiz@trivorn.test");
    QCOMPARE(block, kHeader);
    QCOMPARE(std::count(block.begin(), block.end(), '\n'), 6);
}

void TestOutgoingMessage::messageText_data()
{
    QTest::addColumn<QByteArray>("body");      // Shift_JIS
    QTest::addColumn<QByteArray>("afterHeader");

    QTest::newRow("ASCII body") << b("Hello\r\nBye") << b("Hello\r\nBye\r\n.\r\n");
    QTest::newRow("empty body: the blank line, then the end") << QByteArray() << b(".\r\n");
    // あ = JIS 24 22; ｱ (half-width) = ESC ( I 31
    QTest::newRow("body in ISO-2022-JP, lines back in one-byte text")
        << b(sjis("あ\r\nｱ")) << b(ESC + "$B\x24\x22" + ESC + "(J\r\n" + ESC + "(I\x31" + ESC + "(J\r\n.\r\n");
    QTest::newRow("body lines . and .x are stuffed") << b(".\r\nmid\r\n.x") << b("..\r\nmid\r\n..x\r\n.\r\n");
    QTest::newRow("body ending with a line break") << b("a\r\n") << b("a\r\n\r\n.\r\n");
}

void TestOutgoingMessage::messageText()
{
    QFETCH(QByteArray, body);
    QFETCH(QByteArray, afterHeader);
    const std::string section = kHeader + "Subject: S\r\n\r\n";
    const std::string text = BuildMessageText(section, body.toStdString());
    QCOMPARE(b(text), b(section) + afterHeader);
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

void TestOutgoingMessage::mailDate_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<int>("offset");
    QTest::addColumn<QByteArray>("date");
    QTest::newRow("Tokyo") << qint64(1796913912) << 9 * 3600 << QByteArray("Thu, 10 Dec 2026 23:45:12 +0900");
    QTest::newRow("the day after in Tokyo") << qint64(1796922000) << 9 * 3600 << QByteArray("Fri, 11 Dec 2026 02:00:00 +0900");
    QTest::newRow("UTC, a single-digit day") << qint64(1709251199) << 0 << QByteArray("Thu, 29 Feb 2024 23:59:59 +0000");
    QTest::newRow("leap day over") << qint64(1709251200) << 0 << QByteArray("Fri, 1 Mar 2024 00:00:00 +0000");
    QTest::newRow("west of UTC, half hours") << qint64(0) << -(3 * 3600 + 1800) << QByteArray("Wed, 31 Dec 1969 20:30:00 -0330");
    QTest::newRow("year 2100 is no leap year") << qint64(4107542400) << 0 << QByteArray("Mon, 1 Mar 2100 00:00:00 +0000");
}

void TestOutgoingMessage::mailDate()
{
    QFETCH(qint64, seconds);
    QFETCH(int, offset);
    QFETCH(QByteArray, date);
    QCOMPARE(b(MailDate({seconds, offset})), date);
}

// Each field as written, and as a receiver reads it back.
void TestOutgoingMessage::fields_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("read");       // the value as iconv reads it
    QTest::addColumn<QByteArray>("exactly");   // where given: the field byte for byte

    auto subject = [](const QString& s) { return b(TextField("Subject", sj(s))); };
    auto from = [](const QString& name, const char* address) { return b(MailboxField("From", {sj(name), address})); };
    const QString longKanji = u("第1回のクイズ第1問 日本で一番高い山はどれでしょう？ ").repeated(4);

    QTest::newRow("ASCII subject stays plain") << subject("Quiz 3") << "Quiz 3" << QByteArray("Subject: Quiz 3\r\n");
    QTest::newRow("kanji subject, one word") << subject(u("第1回のクイズ第1問")) << u("第1回のクイズ第1問") << QByteArray();
    QTest::newRow("long subject folds, whole characters a word") << subject(longKanji) << longKanji << QByteArray();
    QTest::newRow("half-width katakana") << subject(u("ｸｲｽﾞ第2問")) << u("ｸｲｽﾞ第2問") << QByteArray();
    QTest::newRow("ASCII that looks encoded is encoded") << subject("=?x?B?y?=") << "=?x?B?y?=" << QByteArray();
    QTest::newRow("long ASCII is encoded to fold") << subject(QString("word ").repeated(20))
                                                   << QString("word ").repeated(20) << QByteArray();
    QTest::newRow("no JIS place: geta") << b(TextField("Subject", "\xf0\x40" + sj(u("問")))) << u("〓問") << QByteArray();
    QTest::newRow("name in kanji") << from(u("クイズ事務局"), "quiz@trivorn.test") << u("クイズ事務局 <quiz@trivorn.test>")
                                   << QByteArray();
    QTest::newRow("plain name") << from("Quiz Office", "quiz@trivorn.test") << "Quiz Office <quiz@trivorn.test>"
                                << QByteArray("From: Quiz Office <quiz@trivorn.test>\r\n");
    QTest::newRow("name with specials is quoted") << from("Quiz, \"Office\"", "quiz@trivorn.test")
                                                  << "\"Quiz, \\\"Office\\\"\" <quiz@trivorn.test>"
                                                  << QByteArray("From: \"Quiz, \\\"Office\\\"\" <quiz@trivorn.test>\r\n");
    QTest::newRow("no name: the address alone") << from("", "quiz") << "quiz" << QByteArray("From: quiz\r\n");
    QTest::newRow("long name, the address on a line of its own")
        << from(longKanji, "a-rather-long-address-of-the-operator@mail.example.co.jp")
        << longKanji + " <a-rather-long-address-of-the-operator@mail.example.co.jp>" << QByteArray();
}

void TestOutgoingMessage::fields()
{
    QFETCH(QByteArray, field);
    QFETCH(QString, read);
    QFETCH(QByteArray, exactly);
    QVERIFY(field.endsWith("\r\n"));
    QString fault;
    QCOMPARE(readField(field, &fault), read);
    QVERIFY2(fault.isEmpty(), qPrintable(fault));
    for (char c : field) QVERIFY2(uchar(c) < 0x80 && c != '\x1b', "headers are ASCII");
    if (!exactly.isEmpty()) QCOMPARE(field, exactly);
}

// A line over 998 octets once encoded is broken after the last whole
// character that fits; shorter lines keep their bytes.
void TestOutgoingMessage::longBodyLinesAreBroken_data()
{
    QTest::addColumn<QByteArray>("body");   // Shift_JIS
    QTest::addColumn<int>("lines");
    QTest::newRow("998 ASCII stay one line") << b(std::string(998, 'a') + "\r\nb") << 2;
    QTest::newRow("999 ASCII become two") << b(std::string(999, 'a')) << 2;
    QTest::newRow("kanji: 2 per character and 6 per run") << b(sj(QString(600, QChar(0x554f)))) << 2;   // 問
    QTest::newRow("mixed, 3000 characters") << b(sj(u("問a").repeated(1500))) << 14;
    QTest::newRow("a long line between short ones") << b("x\r\n" + sj(QString(1200, QChar(0x554f))) + "\r\ny") << 5;
}

void TestOutgoingMessage::longBodyLinesAreBroken()
{
    QFETCH(QByteArray, body);
    QFETCH(int, lines);
    const std::string text = BodyText(body.toStdString());
    const QList<QByteArray> out = b(text).split('\n');
    QCOMPARE(out.size(), lines);
    for (const QByteArray& line : out) {
        QVERIFY2(line.size() <= 999, qPrintable(QString::number(line.size())));
        if (line.contains('\x1b')) QCOMPARE(line.mid(line.lastIndexOf('\x1b'), 3), QByteArray("\x1b(J"));
    }
    // Nothing but the breaks is added: read back, the text is whole.
    QByteArray unbroken = b(text);
    unbroken.replace("\r\n", "\n");
    QByteArray expected = body;
    expected.replace("\r\n", "\n");
    QCOMPARE(fromJis(unbroken).remove('\n'), un(expected.toStdString()).remove('\n'));
    if (lines == body.count('\n') + 1) QCOMPARE(b(text), b(ToIso2022Jp(body.toStdString())));
}

void TestOutgoingMessage::messageIds()
{
    MessageIdMaker maker, other;
    const WallTime now{1796913912, 9 * 3600};
    QSet<QByteArray> seen;
    for (int i = 0; i < 1000; ++i) {
        for (MessageIdMaker* m : {&maker, &other}) {
            const QByteArray id = b(m->next(now, "trivorn.test"));
            QVERIFY2(QRegularExpression("^<[0-9]+\\.[0-9]+\\.[0-9a-f]{16}@trivorn\\.test>$").match(QString::fromLatin1(id)).hasMatch(),
                     id.constData());
            QVERIFY2(!seen.contains(id), id.constData());
            seen.insert(id);
        }
    }
    // The own address's domain; without one, the SMTP server's name.
    QCOMPARE(MessageIdDomain("quiz@trivorn.test", "smtp.example.jp"), std::string("trivorn.test"));
    QCOMPARE(MessageIdDomain("quiz", "smtp.example.jp"), std::string("smtp.example.jp"));
    QCOMPARE(MessageIdDomain("quiz@", "127.0.0.1"), std::string("127.0.0.1"));
    QCOMPARE(MessageIdDomain("quiz", ""), std::string("localhost"));
    QCOMPARE(ReferencedIds(" <a@b>\r\n\t<c.d@e> junk <f"), (std::vector<std::string>{"<a@b>", "<c.d@e>"}));
}

QTEST_GUILESS_MAIN(TestOutgoingMessage)
#include "tst_outgoing_message.moc"
