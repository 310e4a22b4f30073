// The demonstration round as a newcomer meets it: scripts/demo.sh starts its
// own mail servers, prepares the round, starts the phones and opens the real
// program on a private desktop; ＳＴＡＲＴ is pressed and the window read
// through the accessibility bridge, as an operator or a screen reader would.
// The minutes pass six times faster, so the round takes about a minute.
// What the phones received then goes before the receivers' own judges
// (tests/demo/judge_mail.py): Python's email package, strict, and
// SpamAssassin.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <map>

#include "demo/DemoRound.h"
#include "demo/PrivateDesktop.h"
#include "demo/ProcessGone.h"
#include "support/RawRecord.h"

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

const QString kBuildDir = qEnvironmentVariable("TRV_BINARY_DIR");
// A demo folder of the test's own: a demo someone plays in the same build
// keeps its rounds.
const QString kDemoDir = kBuildDir + "/demo-test";
const QString kDataDir = kDemoDir + "/data";
constexpr int kSpeed = 6;

}  // namespace

class TestRealDemo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();
    void aDemoRoundPlaysToTheEnd();
    void runningItAgainPlaysTheNextRound();

private:
    // Starts scripts/demo.sh and waits for the main window and the list of
    // what the script started.
    bool openDemo(const QStringList& args, QString* why);
    // Ends the program as the window system would, and checks that the
    // script then stops everything it started.
    void closeDemo();
    // The text of a grid's cell; rows count from 0 on the page shown.
    QString cell(const QString& grid, const QString& heading, int row);

    PrivateDesktop desktop_;
    QProcess demo_;
    AccessibleRef app_;
    std::map<QString, qint64> pids_;   // name → pid, as the script recorded them
};

void TestRealDemo::initTestCase() {
    QVERIFY2(!kBuildDir.isEmpty(), "TRV_BINARY_DIR is not set");
    QString why;
    QVERIFY2(desktop_.start(&why), qPrintable(why));
}

void TestRealDemo::cleanupTestCase() { desktop_.stop(); }

// A test that failed half-way leaves the demo running: it is ended the way
// closeDemo() ends it, so that the next test starts from nothing.
void TestRealDemo::cleanup() {
    if (demo_.state() == QProcess::NotRunning) return;
    if (pids_.count("program")) ::kill(pid_t(pids_.at("program")), SIGTERM);
    if (!demo_.waitForFinished(30000)) {
        demo_.terminate();
        demo_.waitForFinished(30000);
    }
}

bool TestRealDemo::openDemo(const QStringList& args, QString* why) {
    QFile::remove(kDemoDir + "/demo.pids");
    pids_.clear();
    demo_.setProcessEnvironment(desktop_.programEnvironment());
    demo_.setProcessChannelMode(QProcess::MergedChannels);
    demo_.setProgram("bash");
    demo_.setArguments(QStringList{qEnvironmentVariable("TRV_SOURCE_DIR") + "/scripts/demo.sh", "--build-dir",
                                   kBuildDir, "--demo-dir", kDemoDir, "--speed", QString::number(kSpeed)} +
                       args);
    demo_.start();
    if (!demo_.waitForStarted(5000)) {
        *why = "demo.sh did not start: " + demo_.errorString();
        return false;
    }
    auto stillRunning = [this](QString* why) {
        if (demo_.state() == QProcess::Running) return true;
        *why = "demo.sh ended early:\n" + QString::fromLocal8Bit(demo_.readAll());
        return false;
    };
    if (!desktop_.waitForWindow(u("メニュー"), &app_, why, 60000, stillRunning)) return false;
    QFile list(kDemoDir + "/demo.pids");
    if (!list.open(QIODevice::ReadOnly)) {
        *why = "no " + list.fileName();
        return false;
    }
    for (const QByteArray& line : list.readAll().split('\n')) {
        const QList<QByteArray> f = line.simplified().split(' ');
        if (f.size() == 2 && f[1].toLongLong() > 0) pids_[QString::fromLatin1(f[0])] = f[1].toLongLong();
    }
    for (const char* name : {"program", "phones", "postfix", "dovecot"}) {
        if (!pids_.count(name)) {
            *why = QStringLiteral("demo.pids names no %1").arg(name);
            return false;
        }
    }
    return true;
}

void TestRealDemo::closeDemo() {
    ::kill(pid_t(pids_.at("program")), SIGTERM);
    QVERIFY2(demo_.waitForFinished(30000), "demo.sh did not end after the program");
    const QString output = QString::fromLocal8Bit(demo_.readAll());
    for (const auto& [name, pid] : pids_)
        QVERIFY2(processGone(pid), qPrintable(QStringLiteral("%1 (pid %2) outlived the demo\n%3").arg(name).arg(pid).arg(output)));
    QVERIFY2(!QFile::exists(kDemoDir + "/demo.pids"), "the list of started processes was left behind");
}

QString TestRealDemo::cell(const QString& grid, const QString& heading, int row) {
    const AccessibleRef g = desktop_.find(app_, grid);
    return desktop_.text(desktop_.find(g, QStringLiteral("%1 %2").arg(heading).arg(row + 1)));   // rows named from 1
}

void TestRealDemo::aDemoRoundPlaysToTheEnd() {
    QString why;
    QVERIFY2(openDemo({"--reset"}, &why), qPrintable(why));
    const AccessibleRef start = desktop_.find(app_, u("ＳＴＡＲＴ"), AtspiRole::PushButton);
    const AccessibleRef status = desktop_.find(app_, u("状況"));
    QVERIFY(!start.isNull() && !status.isNull());
    QVERIFY(desktop_.press(start));
    // Invitation and three questions of one minute each, sped up; the mail
    // and the fetches take real time on top.
    QTRY_COMPARE_WITH_TIMEOUT(desktop_.text(status), u("クイズ終了しました。"), 240000);

    // Stored: every phone that joined from a carrier, with the points its
    // answers earn; the computer's and the silent phone's replies count for
    // nothing.
    QFile file(kDataDir + "/trv71.dat");
    QVERIFY(file.open(QIODevice::ReadOnly));
    const RawResults results(file.readAll());
    QVERIFY(!results.overrun);
    const PreparedRound round = demo::round(1, QString());
    std::map<QString, int> arrivalOf;
    for (int p = 0; p < results.participants; ++p) {
        const QString address = QString::fromLatin1(results.addresses[p]);
        const auto player = std::find_if(demo::players().begin(), demo::players().end(),
                                         [&](const demo::Player& d) { return d.address == address; });
        QVERIFY2(player != demo::players().end(), qPrintable(address));
        QCOMPARE(results.points[p], demo::expectedPoints(*player, round));
        arrivalOf[address] = results.arrival[p];
    }
    QList<demo::Player> joined;
    for (const demo::Player& p : demo::players())
        if (p.joins && demo::isCarrierAddress(p.address)) joined << p;
    QCOMPARE(results.participants, int(joined.size()));
    // The phones of today, at today's carriers and replying from their mail
    // apps, play like those of old.
    for (const demo::Player& p : demo::players())
        if (p.app != ReplyShape::Feature) QVERIFY2(arrivalOf.count(p.address), qPrintable(p.address));

    // The ranking on screen: most points first, the earlier joiner first
    // among equals.
    std::stable_sort(joined.begin(), joined.end(), [&](const demo::Player& a, const demo::Player& b) {
        const int pa = demo::expectedPoints(a, round), pb = demo::expectedPoints(b, round);
        return pa != pb ? pa > pb : arrivalOf[a.address] < arrivalOf[b.address];
    });
    for (int row = 0; row < 10 && row < joined.size(); ++row) {
        const demo::Player& p = joined[row];
        QCOMPARE(cell(u("順位表"), u("名前"), row), p.name);
        QCOMPARE(cell(u("順位表"), u("点数"), row), QString::number(demo::expectedPoints(p, round)));
    }

    // Every mail the phones got, as they got it, before the receivers' own
    // judges: the invitation to everyone, the questions and the closing mail
    // to each participant.
    const QDir kept(kDemoDir + "/phones-mail");
    const int mails = int(demo::players().size()) + results.participants * int(round.questions.size() + 1);
    QTRY_COMPARE_WITH_TIMEOUT(int(kept.entryList({"*.eml"}, QDir::Files).size()), mails, 30000);
    QProcess judge;
    judge.setProcessChannelMode(QProcess::MergedChannels);
    judge.start("/usr/bin/python3", {qEnvironmentVariable("TRV_SOURCE_DIR") + "/tests/demo/judge_mail.py", kept.path()});
    QVERIFY(judge.waitForFinished(120000));
    const QString verdict = QString::fromUtf8(judge.readAll());
    QVERIFY2(judge.exitStatus() == QProcess::NormalExit && judge.exitCode() == 0, qPrintable(verdict));
    QVERIFY2(verdict.contains(QStringLiteral("%1 mails judged, 0 faults").arg(mails)), qPrintable(verdict));
    closeDemo();
}

void TestRealDemo::runningItAgainPlaysTheNextRound() {
    QString why;
    QVERIFY2(openDemo({}, &why), qPrintable(why));
    // The played round stays; the counter has moved on and the next round is
    // prepared beside it.
    QCOMPARE(desktop_.text(desktop_.find(app_, u("第 回クイズ大会"), AtspiRole::Text)), QStringLiteral("2"));
    for (const char* name : {"trv71.dat", "trv2s1.dat", "trv42.dat", "trv52.dat", "trv62.dat"})
        QVERIFY2(QFile::exists(kDataDir + "/" + name), name);
    closeDemo();
}

QTEST_MAIN(TestRealDemo)
#include "tst_real_demo.moc"
