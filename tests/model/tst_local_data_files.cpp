// The data files of a folder on disk: one shared handle, names that cannot
// leave the folder, and writes that never leave a damaged file behind.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

#include "TestBytes.h"
#include "platform/qt/LocalDataFiles.h"

using namespace test_bytes;

namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return "<cannot open>";
    return f.readAll();
}

void putFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

std::string text(const QByteArray& b) { return b.toStdString(); }

}  // namespace

class TestLocalDataFiles : public QObject {
    Q_OBJECT
private slots:
    void init();
    void readWriteCreatesMissingFileEmpty();
    void readOnlyFailsOnMissingFile();
    void readOnlyHandleDoesNotWrite();
    void nothingOpen();
    void namesThatLeaveTheFolderNeverOpen_data();
    void namesThatLeaveTheFolderNeverOpen();
    void shiftJisNamesAreDecoded();
    void openClosesThePreviousFile();
    void writeNeverShortens_data();
    void writeNeverShortens();
    void writeLeavesNoTemporaryFile();
    void failedWriteKeepsTheOldFile();
    void fullDiskKeepsTheOldFile();
    void vanishedFolderReportsFailure();
    void privateFilesAreTheOwnersAlone_data();
    void privateFilesAreTheOwnersAlone();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString folder_;
    QString path(const QString& name) const { return QDir(folder_).filePath(name); }
};

void TestLocalDataFiles::init() {
    // The data folder sits one level down, so a name reaching ".." lands in a
    // folder the test can still look into.
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    QVERIFY(QDir(dir_->path()).mkdir("data"));
    folder_ = dir_->filePath("data");
}

void TestLocalDataFiles::readWriteCreatesMissingFileEmpty() {
    LocalDataFiles files(folder_);
    QVERIFY(files.open("trv41.dat", DataFiles::Mode::ReadWrite));
    QVERIFY(files.isOpen());
    QCOMPARE(files.readRecord(), std::optional<std::string>(std::string()));
    files.close();
    QVERIFY(!files.isOpen());
    QVERIFY(QFile::exists(path("trv41.dat")));
    QCOMPARE(QFileInfo(path("trv41.dat")).size(), 0);
}

void TestLocalDataFiles::readOnlyFailsOnMissingFile() {
    LocalDataFiles files(folder_);
    QVERIFY(!files.open("trv3.dat", DataFiles::Mode::ReadOnly));
    QVERIFY(!files.isOpen());
    QVERIFY(!QFile::exists(path("trv3.dat")));

    putFile(path("trv3.dat"), QByteArray("\x05\x00tail", 6));
    QVERIFY(files.open("trv3.dat", DataFiles::Mode::ReadOnly));
    QCOMPARE(files.readRecord(), std::optional<std::string>(std::string("\x05\x00tail", 6)));
}

void TestLocalDataFiles::readOnlyHandleDoesNotWrite() {
    putFile(path("trv3.dat"), QByteArray("\x05\x00", 2));
    LocalDataFiles files(folder_);
    QVERIFY(files.open("trv3.dat", DataFiles::Mode::ReadOnly));
    QVERIFY(!files.writeRecord(std::string("\x07\x00", 2)));
    files.close();
    QCOMPARE(contents(path("trv3.dat")), QByteArray("\x05\x00", 2));
}

void TestLocalDataFiles::nothingOpen() {
    LocalDataFiles files(folder_);
    QVERIFY(!files.readRecord().has_value());
    QVERIFY(!files.writeRecord("ab"));
    files.close();   // closing with nothing open is harmless
    QVERIFY(!files.isOpen());
}

void TestLocalDataFiles::namesThatLeaveTheFolderNeverOpen_data() {
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("parent folder") << QByteArray("../trv7x.dat");
    QTest::newRow("parent itself") << QByteArray("..");
    QTest::newRow("folder itself") << QByteArray(".");
    QTest::newRow("starting with ..") << QByteArray("..trv7.dat");
    QTest::newRow("subfolder") << QByteArray("sub/trv7.dat");
    QTest::newRow("absolute") << QByteArray("/tmp/trv7x.dat");
    QTest::newRow("backslash") << QByteArray("..\\trv7x.dat");
    QTest::newRow("lone backslash") << QByteArray("trv7\\x.dat");
    QTest::newRow("NUL inside") << QByteArray("trv7\0x.dat", 10);
    QTest::newRow("drive or stream colon") << QByteArray("trv7:x.dat");
    QTest::newRow("empty") << QByteArray("");
    QTest::newRow("lead byte without trail") << QByteArray("trv7\x82");
    QTest::newRow("round typed as ../..") << QByteArray("trv7../../x.dat");
}

void TestLocalDataFiles::namesThatLeaveTheFolderNeverOpen() {
    QFETCH(QByteArray, name);
    QVERIFY(QDir(folder_).mkdir("sub"));
    LocalDataFiles files(folder_);
    for (auto mode : {DataFiles::Mode::ReadWrite, DataFiles::Mode::ReadOnly}) {
        QVERIFY(!files.open(text(name), mode));
        QVERIFY(!files.isOpen());
    }
    // Nothing was created anywhere: not in the folder, its parent or the subfolder.
    QCOMPARE(QDir(folder_).entryList(QDir::Files), QStringList());
    QCOMPARE(QDir(folder_ + "/sub").entryList(QDir::Files), QStringList());
    QCOMPARE(QDir(dir_->path()).entryList(QDir::Files), QStringList());
}

void TestLocalDataFiles::shiftJisNamesAreDecoded() {
    LocalDataFiles files(folder_);
    // ソ is 83 5C: its trail byte is a backslash in ASCII but no separator here.
    const std::string so = sjis("ソ");
    QCOMPARE(so, std::string("\x83\x5C"));
    QVERIFY(files.open("trv7" + so + ".dat", DataFiles::Mode::ReadWrite));
    QVERIFY(files.writeRecord(std::string("\x01\x00", 2)));
    files.close();
    QCOMPARE(contents(path(QString::fromUtf8("trv7ソ.dat"))), QByteArray("\x01\x00", 2));
    // "03" and "3" are different rounds and different files.
    QVERIFY(files.open("trv703.dat", DataFiles::Mode::ReadWrite));
    QVERIFY(files.open("trv73.dat", DataFiles::Mode::ReadWrite));
    files.close();
    QVERIFY(QFile::exists(path("trv703.dat")) && QFile::exists(path("trv73.dat")));
}

void TestLocalDataFiles::openClosesThePreviousFile() {
    putFile(path("a.dat"), "AAAA");
    putFile(path("b.dat"), "BBBB");
    LocalDataFiles files(folder_);
    QVERIFY(files.open("a.dat", DataFiles::Mode::ReadWrite));
    QVERIFY(files.open("b.dat", DataFiles::Mode::ReadWrite));
    QCOMPARE(files.readRecord(), std::optional<std::string>("BBBB"));
    QVERIFY(files.writeRecord("xy"));
    // After a write the handle still reads the file as it is now.
    QCOMPARE(files.readRecord(), std::optional<std::string>("xyBB"));
    // A failed open leaves nothing open: the previous file is closed all the same.
    QVERIFY(!files.open("../b.dat", DataFiles::Mode::ReadWrite));
    QVERIFY(!files.isOpen());
    QVERIFY(!files.writeRecord("zz"));
    QCOMPARE(contents(path("a.dat")), QByteArray("AAAA"));
    QCOMPARE(contents(path("b.dat")), QByteArray("xyBB"));
}

void TestLocalDataFiles::writeNeverShortens_data() {
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("shorter over longer keeps the tail") << QByteArray("0123456789") << QByteArray("abc") << QByteArray("abc3456789");
    QTest::newRow("longer over shorter") << QByteArray("01") << QByteArray("abcdef") << QByteArray("abcdef");
    QTest::newRow("same length") << QByteArray("0123") << QByteArray("abcd") << QByteArray("abcd");
    QTest::newRow("into an empty file") << QByteArray() << QByteArray("ab\0cd", 5) << QByteArray("ab\0cd", 5);
    QTest::newRow("empty record changes nothing") << QByteArray("0123") << QByteArray() << QByteArray("0123");
}

void TestLocalDataFiles::writeNeverShortens() {
    QFETCH(QByteArray, old);
    QFETCH(QByteArray, record);
    QFETCH(QByteArray, expected);
    putFile(path("trv2.dat"), old);
    LocalDataFiles files(folder_);
    QVERIFY(files.open("trv2.dat", DataFiles::Mode::ReadWrite));
    QVERIFY(files.writeRecord(text(record)));
    files.close();
    QCOMPARE(contents(path("trv2.dat")), expected);
}

void TestLocalDataFiles::writeLeavesNoTemporaryFile() {
    LocalDataFiles files(folder_);
    QVERIFY(files.open("trv1.dat", DataFiles::Mode::ReadWrite));
    QVERIFY(files.writeRecord(std::string(12, '\0')));
    QVERIFY(files.writeRecord("abc"));
    files.close();
    QCOMPARE(QDir(folder_).entryList(QDir::Files | QDir::Hidden), QStringList{"trv1.dat"});
}

void TestLocalDataFiles::failedWriteKeepsTheOldFile() {
    const QByteArray old = "old record, whole";
    putFile(path("trv73.dat"), old);
    LocalDataFiles files(folder_);
    QVERIFY(files.open("trv73.dat", DataFiles::Mode::ReadWrite));

    // No new file can be made in a read-only folder, so the replacement cannot be written.
    QVERIFY(QFile::setPermissions(folder_, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    auto restore = qScopeGuard([&] {
        QFile::setPermissions(folder_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    });
    {
        QFile probe(path("probe"));
        if (probe.open(QIODevice::WriteOnly)) {
            probe.remove();
            QSKIP("running with rights that ignore folder permissions (root); a read-only folder cannot be made");
        }
    }
    QVERIFY(!files.writeRecord("a much longer new record that would replace it"));
    files.close();
    QCOMPARE(contents(path("trv73.dat")), old);
    QCOMPARE(QDir(folder_).entryList(QDir::Files | QDir::Hidden), QStringList{"trv73.dat"});
}

// A disk that fills up halfway through the new record, made with the file
// size limit, which binds every user alike.
void TestLocalDataFiles::fullDiskKeepsTheOldFile() {
    const QByteArray old = "old record, whole";
    putFile(path("trv51.dat"), old);
    LocalDataFiles files(folder_);
    QVERIFY(files.open("trv51.dat", DataFiles::Mode::ReadWrite));

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);   // a refused write, not a killed program
    rlimit small = saved;
    small.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool stored = files.writeRecord(std::string(9604, 'q'));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    files.close();
    QCOMPARE(contents(path("trv51.dat")), old);
    QVERIFY(!stored);
    QCOMPARE(QDir(folder_).entryList(QDir::Files | QDir::Hidden), QStringList{"trv51.dat"});
}

void TestLocalDataFiles::vanishedFolderReportsFailure() {
    LocalDataFiles files(folder_);
    QVERIFY(files.open("trv1.dat", DataFiles::Mode::ReadWrite));
    QVERIFY(QFile::remove(path("trv1.dat")));
    QVERIFY(QDir(dir_->path()).rmdir("data"));
    QVERIFY(!files.writeRecord("abc"));
    QVERIFY(!QFileInfo::exists(folder_));
}

using P = QFileDevice::Permission;
constexpr QFileDevice::Permissions kOwnerOnly = P::ReadOwner | P::WriteOwner;
constexpr QFileDevice::Permissions kShared = kOwnerOnly | P::ReadGroup | P::ReadOther;

void TestLocalDataFiles::privateFilesAreTheOwnersAlone_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("existed");   // as an older copy left it, 0644
    QTest::addColumn<int>("afterOpen");
    QTest::addColumn<int>("afterWrite");
    QTest::newRow("private, made") << "trv1.dat" << false << int(kOwnerOnly) << int(kOwnerOnly);
    QTest::newRow("private, from before") << "trv1x.dat" << true << int(kOwnerOnly) << int(kOwnerOnly);
    QTest::newRow("others keep their mode") << "trv2.dat" << true << int(kShared) << int(kShared);
}

void TestLocalDataFiles::privateFilesAreTheOwnersAlone() {
    QFETCH(QString, name);
    QFETCH(bool, existed);
    QFETCH(int, afterOpen);
    QFETCH(int, afterWrite);
    if (existed) {
        putFile(path(name), "old");
        QVERIFY(QFile::setPermissions(path(name), kShared));
    }
    const auto mode = [&] { return int(QFile::permissions(path(name)) & (kShared | P::WriteGroup | P::WriteOther)); };
    LocalDataFiles files(folder_, {"trv1.dat", "trv1x.dat"});
    QVERIFY(files.open(name.toStdString(), DataFiles::Mode::ReadWrite));
    QCOMPARE(mode(), afterOpen);
    QVERIFY(files.writeRecord("secret"));
    QCOMPARE(mode(), afterWrite);
}

QTEST_GUILESS_MAIN(TestLocalDataFiles)
#include "tst_local_data_files.moc"
