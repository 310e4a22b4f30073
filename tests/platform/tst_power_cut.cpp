// A power cut while the program saves: a child process rewrites three data
// files (mail settings, address book, a question set of 37 KB) over and over
// through the program's own file layer and is killed with SIGKILL at a random
// moment, a few hundred times. Afterwards each file must be the old version
// or the new one, whole: never a mixture, never cut short.
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

#include "model/RecordCodec.h"
#include "model/RecordFiles.h"
#include "model/Records.h"
#include "platform/qt/LocalDataFiles.h"

namespace {

// Two versions of each file, of equal length, so that "the old bytes beyond
// the new record" never come into it: a file is exactly one or the other.
struct Versions {
    std::string name;
    std::string a, b;
};

QList<Versions> versionsOfEachFile() {
    MailSettings settingsA, settingsB;
    settingsA.SenderName = std::string(40, 'A');
    settingsB.SenderName = std::string(40, 'B');
    auto bookA = std::make_unique<AddressBook>(), bookB = std::make_unique<AddressBook>();
    for (std::size_t i = 0; i < kAddressSlots; ++i) {
        bookA->Names[i] = "name-a-" + std::to_string(1000 + i);
        bookB->Names[i] = "name-b-" + std::to_string(1000 + i);
    }
    auto setA = std::make_unique<QuestionSet>(), setB = std::make_unique<QuestionSet>();
    for (int q = 1; q <= kQuestionSlots; ++q) {
        setA->QuestionText[q] = std::string(300, 'a');
        setB->QuestionText[q] = std::string(300, 'b');
    }
    return {{"trv1.dat", encodeRecord(settingsA), encodeRecord(settingsB)},
            {"trv2.dat", encodeRecord(*bookA), encodeRecord(*bookB)},
            {"trv51.dat", encodeRecord(*setA), encodeRecord(*setB)}};
}

// The child: saves the versions in turn until it is killed.
[[noreturn]] void keepSaving(const QString& folder, const QList<Versions>& files) {
    LocalDataFiles data(folder);
    for (unsigned n = 0;; ++n) {
        for (const Versions& f : files) {
            data.close();
            if (data.open(f.name, DataFiles::Mode::ReadWrite)) data.writeRecord(n % 2 ? f.b : f.a);
            data.close();
        }
    }
}

}  // namespace

class TestPowerCut : public QObject {
    Q_OBJECT
private slots:
    void everyFileIsOldOrNewWhole();
};

void TestPowerCut::everyFileIsOldOrNewWhole() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QList<Versions> files = versionsOfEachFile();
    for (const Versions& f : files) {
        QVERIFY(f.a.size() == f.b.size() && f.a != f.b);
        QFile out(dir.filePath(QString::fromStdString(f.name)));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(f.a.data(), qint64(f.a.size()));
    }

    constexpr int kCuts = 300;
    QRandomGenerator random(20261208);
    int cutWhileSaving = 0;
    for (int cut = 0; cut < kCuts; ++cut) {
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) keepSaving(dir.path(), files);
        // Anywhere from before the first write to well into the loop.
        QThread::usleep(random.bounded(0, 20000));
        QCOMPARE(::kill(child, SIGKILL), 0);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        for (const Versions& f : files) {
            QFile in(dir.filePath(QString::fromStdString(f.name)));
            QVERIFY2(in.open(QIODevice::ReadOnly), qPrintable(QStringLiteral("%1 is gone after cut %2").arg(in.fileName()).arg(cut)));
            const QByteArray bytes = in.readAll();
            const std::string got(bytes.constData(), std::size_t(bytes.size()));
            QVERIFY2(got == f.a || got == f.b,
                     qPrintable(QStringLiteral("%1 after cut %2: %3 bytes, neither version")
                                    .arg(QString::fromStdString(f.name)).arg(cut).arg(bytes.size())));
        }
        // Temporary files of interrupted saves may stay behind; they are
        // never taken for a data file.
        const QStringList left = QDir(dir.path()).entryList(QDir::Files);
        if (left.size() > files.size()) ++cutWhileSaving;
    }
    qInfo("%d cuts, %d of them in the middle of a save (a temporary file left)", kCuts, cutWhileSaving);
}

QTEST_GUILESS_MAIN(TestPowerCut)
#include "tst_power_cut.moc"
