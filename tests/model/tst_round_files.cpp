// Whole-record file operations, the round counter, and the roster and
// results files a round leaves behind.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "TestBytes.h"
#include "model/RecordFiles.h"
#include "model/RoundFiles.h"
#include "platform/qt/LocalDataFiles.h"

using namespace test_bytes;

namespace {

// Files that open but fail in the transfer, to see failures reported.
class FailingFiles : public DataFiles {
public:
    bool failRead = false, failWrite = false;
    std::string stored = std::string("\x05\x00", 2);
    bool open(const std::string&, Mode) override { open_ = true; return true; }
    std::optional<std::string> readRecord() override {
        if (failRead) return std::nullopt;
        return stored;
    }
    bool writeRecord(const std::string& r) override {
        if (failWrite) return false;
        stored = r;
        return true;
    }
    void close() override { open_ = false; }
    bool isOpen() const override { return open_; }
private:
    bool open_ = false;
};

QByteArray bytesOf(const std::string& s) { return QByteArray(s.data(), qsizetype(s.size())); }

// Three invitees, the first and third of them joined; four questions.
void fillRound(QuizRun& run) {
    run.RoundNumber = "03";
    run.AddressLastIndex = 2;
    const char* names[] = {"山田", "田中", "佐藤"};
    for (int i = 0; i < 3; ++i) {
        run.ListNames[i] = sjis(names[i]);
        run.ListAddresses[i] = "p" + std::to_string(i) + "@docomo.ne.jp";
        run.ListJoined[i] = i == 1 ? 0 : 1;
    }
    ParticipantTable& t = run.participants;
    t.ParticipantCount = 2;
    for (auto* a : {&t.着信順, &t.得点数, &t.順位, &t.正解数, &t.正解率}) a->size(0, 2);
    t.名前.size(0, 2);
    t.アドレス.size(0, 2);
    t.回答.size(0, 2, 1, 4);
    t.採点.size(0, 2, 1, 4);
    t.名前[0] = run.ListNames[0];
    t.名前[1] = run.ListNames[2];
    t.得点数[0] = 50;
    t.回答.at(1, 4) = -1;
    t.採点.at(1, 4) = sjis("×");
}

}  // namespace

class TestRoundFiles : public QObject {
    Q_OBJECT
private slots:
    void init();
    void roundFileNames_data();
    void roundFileNames();
    void readEmptiesThenFills();
    void readThatCannotOpenLeavesRecordAlone();
    void transferFailuresAreReported();
    void handleIsClosedAfterEveryOperation();
    void roundCounter_data();
    void roundCounter();
    void counterAbsent();
    void counterNeverWraps_data();
    void counterNeverWraps();
    void rosterHoldsOnlyTheRoundsEntries();
    void rosterOfAThousandEntries();
    void rosterAndResultsRoundTrip();
    void missingRoundFilesReadEmpty();
    void shorterResultsOverLongerFile();
    void questionSetAsStored();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<LocalDataFiles> files_;
    QString path(const char* name) const { return dir_->filePath(QString::fromLatin1(name)); }
    void putFile(const char* name, const std::string& bytes) {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytesOf(bytes)), qint64(bytes.size()));
    }
    QByteArray contents(const char* name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
};

void TestRoundFiles::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    files_ = std::make_unique<LocalDataFiles>(dir_->path());
}

void TestRoundFiles::roundFileNames_data() {
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QByteArray>("round");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("results of round 12") << "trv7" << QByteArray("12") << QByteArray("trv712.dat");
    QTest::newRow("roster of round 12") << "trv2s" << QByteArray("12") << QByteArray("trv2s12.dat");
    QTest::newRow("leading zero kept") << "trv7" << QByteArray("03") << QByteArray("trv703.dat");
    QTest::newRow("round 3") << "trv7" << QByteArray("3") << QByteArray("trv73.dat");
    QTest::newRow("typed text verbatim") << "trv5" << QByteArray(" 1") << QByteArray("trv5 1.dat");
}

void TestRoundFiles::roundFileNames() {
    QFETCH(QString, prefix);
    QFETCH(QByteArray, round);
    QFETCH(QByteArray, name);
    QCOMPARE(bytesOf(roundFileName(prefix.toStdString(), round.toStdString())), name);
}

void TestRoundFiles::readEmptiesThenFills() {
    // Only the first two of six members are there: the rest read empty.
    putFile("trv1.dat", str("pop.example.jp") + str("smtp.example.jp") + "\x05");
    MailSettings m;
    m.AccountId = "stale";
    m.SenderName = "stale";
    QVERIFY(readRecordFile(*files_, "trv1.dat", m));
    QCOMPARE(m.Pop3Server, std::string("pop.example.jp"));
    QCOMPARE(m.SmtpServer, std::string("smtp.example.jp"));
    QVERIFY(m.AccountId.empty() && m.SenderName.empty());
}

void TestRoundFiles::readThatCannotOpenLeavesRecordAlone() {
    MailSettings m;
    m.Pop3Server = "kept";
    QVERIFY(!readRecordFile(*files_, "trv1.dat", m, DataFiles::Mode::ReadOnly));
    QCOMPARE(m.Pop3Server, std::string("kept"));
    QVERIFY(!readRecordFile(*files_, "../trv1.dat", m));
    QCOMPARE(m.Pop3Server, std::string("kept"));
    QVERIFY(!writeRecordFile(*files_, "../trv1.dat", m));
}

void TestRoundFiles::transferFailuresAreReported() {
    FailingFiles failing;
    RoundCounter c;
    c.CurrentRound = 9;
    failing.failRead = true;
    QVERIFY(!readRecordFile(failing, "trv3.dat", c));
    QCOMPARE(c.CurrentRound, std::int16_t(9));   // a failed read is no empty file
    QVERIFY(!readRoundCounter(failing).has_value());
    failing.failWrite = true;
    QVERIFY(!writeRoundCounter(failing, 4));
    QVERIFY(!failing.isOpen());
    QuizRun run;
    run.RoundNumber = "1";
    QVERIFY(!writeRoster(failing, run));
    QVERIFY(!writeResults(failing, run));
    QVERIFY(!advanceRoundCounter(failing, run));
}

void TestRoundFiles::handleIsClosedAfterEveryOperation() {
    QVERIFY(files_->open("other.dat", DataFiles::Mode::ReadWrite));
    MailSettings m;
    QVERIFY(writeRecordFile(*files_, "trv1.dat", m));
    QVERIFY(!files_->isOpen());
    QVERIFY(files_->open("other.dat", DataFiles::Mode::ReadWrite));
    QVERIFY(readRecordFile(*files_, "trv1.dat", m));
    QVERIFY(!files_->isOpen());
    QCOMPARE(contents("trv1.dat"), QByteArray(12, '\0'));
}

void TestRoundFiles::roundCounter_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<int>("current");
    QTest::newRow("3") << QByteArray("\x03\x00", 2) << 3;
    QTest::newRow("0 counts as 1") << QByteArray("\x00\x00", 2) << 1;
    QTest::newRow("empty file") << QByteArray() << 1;
    QTest::newRow("one byte only") << QByteArray("\x05") << 1;
    QTest::newRow("negative: damaged") << QByteArray("\xFF\xFF") << 1;
    QTest::newRow("32767") << QByteArray("\xFF\x7F") << 32767;
    QTest::newRow("300 with a tail") << QByteArray("\x2C\x01junk") << 300;
}

void TestRoundFiles::roundCounter() {
    QFETCH(QByteArray, stored);
    QFETCH(int, current);
    putFile("trv3.dat", stored.toStdString());
    QCOMPARE(readRoundCounter(*files_), std::optional<std::int16_t>(std::int16_t(current)));
    QCOMPARE(currentRoundOrFirst(*files_), std::int16_t(current));
    QCOMPARE(contents("trv3.dat"), stored);   // reading leaves the file as it was
}

void TestRoundFiles::counterAbsent() {
    QVERIFY(!readRoundCounter(*files_).has_value());
    QCOMPARE(currentRoundOrFirst(*files_), std::int16_t(1));
    QVERIFY(!QFile::exists(path("trv3.dat")));   // opened for reading only: not created
}

void TestRoundFiles::counterNeverWraps_data() {
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("1 to 2") << 1 << 2 << QByteArray("\x02\x00", 2);
    QTest::newRow("255 to 256") << 255 << 256 << QByteArray("\x00\x01", 2);
    QTest::newRow("32766 to 32767") << 32766 << 32767 << QByteArray("\xFF\x7F");
    QTest::newRow("32767 stays") << 32767 << 32767 << QByteArray("\xFF\x7F");
}

void TestRoundFiles::counterNeverWraps() {
    QFETCH(int, before);
    QFETCH(int, after);
    QFETCH(QByteArray, file);
    QCOMPARE(nextRound(std::int16_t(before)), std::int16_t(after));
    QuizRun run;
    run.CurrentRound = std::int16_t(before);
    run.RoundNumber = "whatever was shown";
    QVERIFY(advanceRoundCounter(*files_, run));
    QCOMPARE(run.CurrentRound, std::int16_t(after));
    QCOMPARE(run.RoundNumber, std::to_string(after));
    QCOMPARE(contents("trv3.dat"), file);
    QCOMPARE(currentRoundOrFirst(*files_), std::int16_t(after));
}

void TestRoundFiles::rosterHoldsOnlyTheRoundsEntries() {
    QuizRun run;
    fillRound(run);
    // Left over from a longer list shown before: must not reach the roster.
    run.ListNames[3] = "stale";
    run.ListAddresses[3] = "stale@example.jp";
    run.ListJoined[3] = 1;
    const auto roster = std::make_unique<AddressBook>(rosterFromAddressList(run));
    QCOMPARE(roster->Names[2], sjis("佐藤"));
    QCOMPARE(roster->SendFlags[0], std::int16_t(1));
    QCOMPARE(roster->SendFlags[1], std::int16_t(0));
    QVERIFY(roster->Names[3].empty() && roster->Addresses[3].empty());
    QCOMPARE(roster->SendFlags[3], std::int16_t(0));

    QVERIFY(writeRoster(*files_, run));
    const QByteArray file = contents("trv2s03.dat");
    // 1000 names, 1000 addresses, 1000 flags; three of each filled.
    const int text = 3 * 2 * 2 + 3 * 15;   // 山田 田中 佐藤 are 4 bytes each, addresses 15
    QCOMPARE(file.size(), 6000 + text);
    const std::string expectedStart = str(sjis("山田")) + str(sjis("田中")) + str(sjis("佐藤")) + le16(0);
    QCOMPARE(file.left(qsizetype(expectedStart.size())), bytesOf(expectedStart));
    QCOMPARE(file.right(2000).left(8), QByteArray("\x01\x00\x00\x00\x01\x00\x00\x00", 8));

    QuizRun none;
    none.RoundNumber = "4";   // no entries at all (AddressLastIndex -1)
    none.ListNames[0] = "stale";
    QVERIFY(writeRoster(*files_, none));
    QCOMPARE(contents("trv2s4.dat"), QByteArray(6000, '\0'));
}

void TestRoundFiles::rosterOfAThousandEntries() {
    QuizRun run;
    run.RoundNumber = "1";
    run.AddressLastIndex = 999;
    for (int i = 0; i < 1000; ++i) {
        run.ListNames[i] = "n" + std::to_string(i);
        run.ListAddresses[i] = "a" + std::to_string(i);
        run.ListJoined[i] = std::int16_t(i % 2);
    }
    QVERIFY(writeRoster(*files_, run));
    QuizRun back;
    back.RoundNumber = "1";
    QVERIFY(readRoster(*files_, back));
    QVERIFY(back.ListNames == run.ListNames);
    QVERIFY(back.ListAddresses == run.ListAddresses);
    QVERIFY(back.ListJoined == run.ListJoined);
    QCOMPARE(back.ListNames[999], std::string("n999"));
}

void TestRoundFiles::rosterAndResultsRoundTrip() {
    QuizRun run;
    fillRound(run);
    QVERIFY(writeRoster(*files_, run));
    QVERIFY(writeResults(*files_, run));
    QVERIFY(QFile::exists(path("trv703.dat")));
    QVERIFY(!QFile::exists(path("trv73.dat")));

    QuizRun back;
    back.RoundNumber = "03";
    back.ListNames[7] = "from another round";
    QVERIFY(readRoster(*files_, back));
    QVERIFY(readResults(*files_, back));
    QVERIFY(back.ListNames[7].empty());
    QVERIFY(back.ListNames == run.ListNames);
    QVERIFY(back.ListJoined == run.ListJoined);
    QVERIFY(back.participants == run.participants);
    QCOMPARE(back.participants.ParticipantCount, std::int16_t(2));
    QCOMPARE(back.participants.採点.at(1, 4), sjis("×"));
}

void TestRoundFiles::missingRoundFilesReadEmpty() {
    QuizRun run;
    fillRound(run);
    run.RoundNumber = "2";   // nothing stored for round 2
    QVERIFY(readRoster(*files_, run));
    QVERIFY(readResults(*files_, run));
    QVERIFY(run.ListNames[0].empty() && run.ListJoined[0] == 0);
    QCOMPARE(run.participants.ParticipantCount, std::int16_t(0));
    QVERIFY(!run.participants.名前.sized());
    // Opened for reading and writing: the files now exist, empty.
    QCOMPARE(contents("trv2s2.dat"), QByteArray());
    QCOMPARE(contents("trv72.dat"), QByteArray());

    // A round whose files cannot be opened shows nobody either.
    fillRound(run);
    run.RoundNumber = "/x";
    QVERIFY(!readRoster(*files_, run));
    QVERIFY(!readResults(*files_, run));
    QVERIFY(run.ListNames[0].empty());
    QVERIFY(run.participants == ParticipantTable{});
}

void TestRoundFiles::shorterResultsOverLongerFile() {
    QuizRun run;
    fillRound(run);
    QVERIFY(writeResults(*files_, run));
    const QByteArray longer = contents("trv703.dat");

    QuizRun small;
    small.RoundNumber = "03";
    small.participants.ParticipantCount = 1;
    small.participants.得点数.size(0, 0);
    small.participants.得点数[0] = 7;
    QVERIFY(writeResults(*files_, small));
    const QByteArray now = contents("trv703.dat");
    const std::string record = encodeRecord(small.participants);
    QCOMPARE(now.size(), longer.size());
    QCOMPARE(now.left(qsizetype(record.size())), bytesOf(record));
    QCOMPARE(now.mid(qsizetype(record.size())), longer.mid(qsizetype(record.size())));

    QuizRun back;
    back.RoundNumber = "03";
    QVERIFY(readResults(*files_, back));
    QVERIFY(back.participants == small.participants);
}

void TestRoundFiles::questionSetAsStored() {
    auto stored = std::make_unique<QuestionSet>();
    stored->QuestionCount = "2";
    stored->Subject[1] = "s1";   // question 2 has no subject: read as stored all the same
    stored->Points[2] = 60;
    stored->TotalPoints = 100;
    QVERIFY(writeRecordFile(*files_, "trv55.dat", *stored));
    auto read = std::make_unique<QuestionSet>();
    read->Subject[2] = "left from before";
    QVERIFY(readQuestionSetAsStored(*files_, "5", *read));
    QVERIFY(*read == *stored);

    read->QuestionCount = "9";
    QVERIFY(!readQuestionSetAsStored(*files_, "../5", *read));
    QVERIFY(read->QuestionCount.empty());   // not set up, rather than another round's questions
}

QTEST_GUILESS_MAIN(TestRoundFiles)
#include "tst_round_files.moc"
