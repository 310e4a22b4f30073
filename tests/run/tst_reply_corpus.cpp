// Replies from today's mail apps and carriers and from old phones
// (tests/data/replies, made by make_corpus.py there), read by the program
// and by Python's email package from the same bytes: sender, subject and
// text must agree, every reply must be one to the question it answers, and
// the answer read must be the one the corpus says, with and without
// full-width digits.
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include "mail/HtmlText.h"
#include "mail/ReceivedMailParser.h"
#include "mail/SubjectDecoder.h"
#include "platform/qt/QtCharsetConverter.h"
#include "run/AnswerMarker.h"
#include "support/SjisLiterals.h"

namespace {

const QString kFolder = qEnvironmentVariable("TRV_SOURCE_DIR") + "/tests/data/replies";
const QtCharsetConverter kConverter;

SjisText fromUnicode(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return kConverter.toSjis("UTF-8", std::string_view(utf8.constData(), std::size_t(utf8.size()))).value();
}

// Line ends as LF and no line breaks at the end: Python keeps a part's last
// line break, the program leaves the one before the terminating line out.
QString lines(QString text) {
    text.replace("\r\n", "\n");
    while (text.endsWith('\n')) text.chop(1);
    return text;
}

QString answerText(const Answer& a) {
    if (!a.marked) return "-";
    return a.digit ? QString::number(*a.digit) : "x";
}

}  // namespace

class TestReplyCorpus : public QObject {
    Q_OBJECT
private slots:
    void corpus_data();
    void corpus();
};

void TestReplyCorpus::corpus_data() {
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<QJsonObject>("python");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("fullWidthAnswer");

    QProcess python;
    python.start("python3", {kFolder + "/read.py", kFolder});
    QVERIFY2(python.waitForFinished(60000) && python.exitCode() == 0, python.readAllStandardError().constData());
    QHash<QString, QJsonObject> read;
    for (const QByteArray& line : python.readAllStandardOutput().split('\n')) {
        if (line.isEmpty()) continue;
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        read.insert(o["file"].toString(), o);
    }

    QFile index(kFolder + "/index.tsv");
    QVERIFY(index.open(QIODevice::ReadOnly));
    index.readLine();   // the column names
    int rows = 0;
    while (!index.atEnd()) {
        const QList<QByteArray> cells = index.readLine().trimmed().split('\t');
        QVERIFY(cells.size() >= 3);
        const QString file = QString::fromUtf8(cells[0]);
        QFile eml(kFolder + '/' + file);
        QVERIFY2(eml.open(QIODevice::ReadOnly), qPrintable(file));
        QVERIFY2(read.contains(file), qPrintable(file + " not read by Python"));
        // As the POP3 session hands it over: status line first, "." line last.
        const QByteArray message = "+OK message follows\r\n" + eml.readAll() + ".\r\n";
        QTest::newRow(qPrintable(file)) << message << read[file] << QString::fromUtf8(cells[1])
                                        << QString::fromUtf8(cells[2]);
        ++rows;
    }
    QVERIFY(rows >= 30);
}

void TestReplyCorpus::corpus() {
    QFETCH(QByteArray, message);
    QFETCH(QJsonObject, python);
    QFETCH(QString, answer);
    QFETCH(QString, fullWidthAnswer);
    QVERIFY2(!python.contains("error"), qPrintable(python["error"].toString()));

    // Players at any domain: the address book holds every sender.
    ReplyReading reading;
    reading.converter = &kConverter;
    reading.players.rule = PlayerFilter::Rule::AddressBook;
    reading.players.addressBook = {python["sender"].toString().toStdString()};
    const ReadResult r = ReadReceivedMail(message.toStdString(), "quiz@trivorn.test", reading);
    QCOMPARE(int(r.verdict), int(MailVerdict::Read));

    QCOMPARE(QString::fromStdString(r.mail.sender), python["sender"].toString());
    QCOMPARE(un(r.mail.subject), un(NormaliseSubject(fromUnicode(python["subject"].toString()))));
    QCOMPARE(un(r.mail.subject), QString("Re:第3回のクイズ第1問"));

    // The HTML both read is made text by the program's one rule.
    SjisText pythonText = fromUnicode(python["body"].toString());
    if (python["subtype"].toString() == "html") pythonText = HtmlToText(pythonText, &kConverter);
    QCOMPARE(lines(un(r.mail.body)), lines(un(pythonText)));

    QCOMPARE(answerText(ReadAnswer(r.mail.body, false)), answer);
    QCOMPARE(answerText(ReadAnswer(r.mail.body, true)), fullWidthAnswer);
}

QTEST_GUILESS_MAIN(TestReplyCorpus)
#include "tst_reply_corpus.moc"
