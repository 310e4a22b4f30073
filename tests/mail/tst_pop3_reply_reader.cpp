// Framing of what a POP3 server sends, fed to the reader directly in chunks
// of every size: status lines, multi-line replies, and the bounds that keep
// a huge or endless reply from filling the memory.
#include <QtTest>

#include <string>
#include <vector>

#include "mail/Pop3ReplyReader.h"

namespace {

constexpr std::size_t MiB = 1024 * 1024;

// A message body of `size` bytes in lines of 76 characters and CR LF, the
// way a Base64 photo attachment arrives; a line starting with "." is stuffed.
std::string bodyOf(std::size_t size) {
    std::string body;
    body.reserve(size + 80);
    while (body.size() < size) body += std::string(76, 'A') + "\r\n";
    return body;
}

struct Fed {
    std::vector<Pop3ReplyReader::MultiLine> replies;
    std::size_t mostHeld = 0;
};

// Feeds `wire` in chunks of `chunk` bytes, taking every reply as soon as the
// reader has it, as the session does.
Fed feed(const std::string& wire, std::size_t chunk) {
    Pop3ReplyReader reader;
    Fed fed;
    for (std::size_t at = 0; at < wire.size(); at += chunk) {
        reader.append(wire.substr(at, chunk));
        while (auto reply = reader.nextMultiLine()) fed.replies.push_back(*reply);
        fed.mostHeld = std::max(fed.mostHeld, reader.heldBytes());
    }
    return fed;
}

}  // namespace

class TestPop3ReplyReader : public QObject {
    Q_OBJECT
private slots:
    void multiLine_data();
    void multiLine();
    void statusLines();
};

void TestPop3ReplyReader::multiLine_data() {
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QList<QByteArray>>("texts");   // each reply's text ("-" prefix: refused)
    QTest::addColumn<bool>("cut");                   // the last reply was cut
    QTest::addColumn<qsizetype>("mostHeld");         // bound on the bytes held; 0: not checked

    const QByteArray two = "+OK 1\r\na\r\n..b\r\n.\r\n+OK 2\r\n.\r\n";
    QTest::newRow("two replies, one stuffed line, an empty one")
        << two << QList<QByteArray>{"+OK 1\r\na\r\n.b\r\n.\r\n", "+OK 2\r\n.\r\n"} << false << qsizetype(0);
    QTest::newRow("a body line starting with -ERR is text")
        << QByteArray("+OK\r\n-ERR no\r\n.\r\n") << QList<QByteArray>{"+OK\r\n-ERR no\r\n.\r\n"} << false << qsizetype(0);
    QTest::newRow("refused") << QByteArray("-ERR no such message\r\n") << QList<QByteArray>{"--ERR no such message"}
                             << false << qsizetype(0);
    QTest::newRow("a dot line inside, then the end")
        << QByteArray("+OK\r\nx.\r\n..\r\n.\r\n") << QList<QByteArray>{"+OK\r\nx.\r\n.\r\n.\r\n"} << false << qsizetype(0);

    // A player's reply with a 3 MiB photo: judged on its first MiB, which
    // still ends with the "." line; what follows it is framed as usual.
    const std::string head = "+OK 3145728 octets\r\nSubject: Re: Q1\r\n\r\n";
    const std::string photo = head + bodyOf(3 * MiB) + ".\r\n";
    const std::string kept = std::string(photo, 0, Pop3ReplyReader::kMaxMessage) + "\r\n.\r\n";
    QTest::newRow("3 MiB reply")
        << QByteArray::fromStdString(photo + "+OK next\r\n.\r\n")
        << QList<QByteArray>{QByteArray::fromStdString(kept), "+OK next\r\n.\r\n"} << true
        << qsizetype(Pop3ReplyReader::kMaxMessage + 70 * 1024);

    // A server that never sends the end: nothing is handed over, and the
    // reader never holds much more than one kept message.
    QTest::newRow("reply without an end")
        << QByteArray::fromStdString(head + bodyOf(5 * MiB)) << QList<QByteArray>{} << false
        << qsizetype(Pop3ReplyReader::kMaxMessage + 70 * 1024);
}

void TestPop3ReplyReader::multiLine() {
    QFETCH(QByteArray, wire);
    QFETCH(QList<QByteArray>, texts);
    QFETCH(bool, cut);
    QFETCH(qsizetype, mostHeld);
    const std::string bytes = wire.toStdString();
    // Small replies in every chunk size from one byte up; the big ones in
    // the sizes a socket delivers.
    const std::vector<std::size_t> chunks =
        bytes.size() < 200 ? std::vector<std::size_t>{1, 2, 3, 4, 5, 7, 64, bytes.size()}
                           : std::vector<std::size_t>{4096, 65536, 1000003};
    for (std::size_t chunk : chunks) {
        const Fed fed = feed(bytes, chunk);
        QCOMPARE(qsizetype(fed.replies.size()), texts.size());
        for (qsizetype i = 0; i < texts.size(); ++i) {
            const auto& r = fed.replies[std::size_t(i)];
            const QByteArray got = (r.positive ? "" : "-") + QByteArray::fromStdString(r.text);
            QVERIFY2(got == texts[i], qPrintable(QStringLiteral("chunk %1, reply %2").arg(chunk).arg(i)));
        }
        if (!fed.replies.empty()) QCOMPARE(fed.replies.back().cut || fed.replies.front().cut, cut);
        if (mostHeld > 0)
            QVERIFY2(qsizetype(fed.mostHeld) <= mostHeld + qsizetype(chunk),
                     qPrintable(QStringLiteral("held %1 bytes with chunks of %2").arg(fed.mostHeld).arg(chunk)));
    }
}

void TestPop3ReplyReader::statusLines() {
    Pop3ReplyReader reader;
    reader.append("+OK ready\r\n-ERR bad\n+OK par");
    QCOMPARE(reader.nextStatusLine(), std::optional<std::string>("+OK ready"));
    QCOMPARE(reader.nextStatusLine(), std::optional<std::string>("-ERR bad"));
    QCOMPARE(reader.nextStatusLine(), std::nullopt);
    reader.append("tial\r\n");
    QCOMPARE(reader.nextStatusLine(), std::optional<std::string>("+OK partial"));
    QVERIFY(reader.empty());
    // A line that never ends is handed over once it reaches the bound; the
    // rest of it, when its end comes at last, is not a line of its own.
    reader.append(std::string(Pop3ReplyReader::kMaxStatusLine, 'x'));
    const auto endless = reader.nextStatusLine();
    QVERIFY(endless && endless->size() == Pop3ReplyReader::kMaxStatusLine);
    QVERIFY(reader.empty());
    reader.append(std::string(1024 * 1024, 'x'));
    QCOMPARE(reader.nextStatusLine(), std::nullopt);
    QVERIFY(reader.heldBytes() < Pop3ReplyReader::kMaxStatusLine);
    reader.append("xx\r\n+OK next\r\n");
    QCOMPARE(reader.nextStatusLine(), std::optional<std::string>("+OK next"));
    // So too the status line of a message: the message follows its end.
    reader.append("+OK " + std::string(1024 * 1024, 'x') + "\r\nFrom: a\r\n\r\nbody\r\n.\r\n");
    const auto message = reader.nextMultiLine();
    QVERIFY(message && message->positive);
    const std::string start = "+OK " + std::string(Pop3ReplyReader::kMaxStatusLine - 4, 'x') + "\r\n";
    QCOMPARE(message->text, start + "From: a\r\n\r\nbody\r\n.\r\n");
    QVERIFY(!message->cut);
}

QTEST_GUILESS_MAIN(TestPop3ReplyReader)
#include "tst_pop3_reply_reader.moc"
