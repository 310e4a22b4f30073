// One copy per program folder.
#include <QtTest>
#include <QProcess>

#include "platform/qt/QtInstanceGuard.h"

class TestInstanceGuard : public QObject {
    Q_OBJECT
private slots:
    void secondClaimOfTheSameFolderFails_data();
    void secondClaimOfTheSameFolderFails();
    void anotherFolderIsIndependent();
    void claimIsFreedWhenTheHolderEnds();
    void claimingTwiceInOneCopyStaysTrue();
    void lockOfADeadProcessIsTakenOver();
    void oldLockOfALivingCopyIsKept();
};

// The same folder, spelled differently, is still the same folder.
void TestInstanceGuard::secondClaimOfTheSameFolderFails_data() {
    QTest::addColumn<QString>("suffix");
    QTest::newRow("same spelling") << QString();
    QTest::newRow("trailing separator") << QStringLiteral("/");
    QTest::newRow("dot segment") << QStringLiteral("/.");
    QTest::newRow("via a subfolder and back") << QStringLiteral("/sub/..");
    QTest::newRow("via a symbolic link") << QStringLiteral("@link");
}

void TestInstanceGuard::secondClaimOfTheSameFolderFails() {
    QFETCH(QString, suffix);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    QString other = dir.path() + suffix;
    if (suffix == QStringLiteral("@link")) {
        QTemporaryDir links;
        other = links.filePath(QStringLiteral("l"));
        QVERIFY(QFile::link(dir.path(), other));
        links.setAutoRemove(false);   // outlives this scope; removed below
    }
    QtInstanceGuard first(dir.path());
    QtInstanceGuard second(other);
    QVERIFY(first.claim());
    QVERIFY(!second.claim());
    QCOMPARE(first.lockFilePath(), second.lockFilePath());
    if (suffix == QStringLiteral("@link")) QDir(QFileInfo(other).path()).removeRecursively();
}

void TestInstanceGuard::anotherFolderIsIndependent() {
    QTemporaryDir a, b;
    QtInstanceGuard first(a.path());
    QtInstanceGuard second(b.path());
    QVERIFY(first.claim());
    QVERIFY(second.claim());
}

void TestInstanceGuard::claimIsFreedWhenTheHolderEnds() {
    QTemporaryDir dir;
    {
        QtInstanceGuard first(dir.path());
        QVERIFY(first.claim());
        QVERIFY(QFile::exists(first.lockFilePath()));
    }
    QtInstanceGuard next(dir.path());
    QVERIFY(next.claim());
}

void TestInstanceGuard::claimingTwiceInOneCopyStaysTrue() {
    QTemporaryDir dir;
    QtInstanceGuard guard(dir.path());
    QVERIFY(guard.claim());
    QVERIFY(guard.claim());
    QtInstanceGuard other(dir.path());
    QVERIFY(!other.claim());
}

// A copy that was killed leaves its lock file behind; the next start must
// not be locked out for good. The leftover is this process's own lock file
// with the number of a process that has ended.
void TestInstanceGuard::lockOfADeadProcessIsTakenOver() {
    QTemporaryDir dir;
    QByteArray contents;
    QString path;
    {
        QtInstanceGuard living(dir.path());
        QVERIFY(living.claim());
        path = living.lockFilePath();
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        contents = f.readAll();
    }
    QVERIFY(!QFile::exists(path));

    // The number of a process that has ended: a shell that prints its own.
    QProcess ended;
    ended.start(QStringLiteral("sh"), {QStringLiteral("-c"), QStringLiteral("echo $$")});
    QVERIFY(ended.waitForFinished(5000));
    const QByteArray pid = ended.readAllStandardOutput().trimmed();
    QVERIFY(!pid.isEmpty());

    const qsizetype lineEnd = contents.indexOf('\n');
    QVERIFY(lineEnd > 0);
    QFile stale(path);
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write(pid + contents.mid(lineEnd));
    stale.close();

    QtInstanceGuard next(dir.path());
    QVERIFY(next.claim());
    QtInstanceGuard third(dir.path());
    QVERIFY(!third.claim());
}

// A program that runs for hours keeps its claim, however old its lock file.
void TestInstanceGuard::oldLockOfALivingCopyIsKept() {
    QTemporaryDir dir;
    QtInstanceGuard living(dir.path());
    QVERIFY(living.claim());
    QFile f(living.lockFilePath());
    QVERIFY(f.open(QIODevice::ReadWrite));
    const QDateTime hoursAgo = QDateTime::currentDateTime().addSecs(-3 * 3600);
    QVERIFY(f.setFileTime(hoursAgo, QFileDevice::FileModificationTime));
    f.close();
    QtInstanceGuard second(dir.path());
    QVERIFY(!second.claim());
}

QTEST_GUILESS_MAIN(TestInstanceGuard)
#include "tst_instance_guard.moc"
