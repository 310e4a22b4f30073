// What a screen reader sees: the real program is started on a private X
// display with a private session bus and accessibility bus, and the tree it
// publishes is read back over D-Bus from the accessibility registry, the way
// Orca or an automation tool would read it.
//
// The program runs on Xvfb through the xcb platform plugin, not offscreen:
// Qt creates its AT-SPI bridge only in the xcb (and wayland) integrations; the
// offscreen plugin never connects to the session bus at all, so nothing could
// be seen there.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include "support/PrivateDesktop.h"

namespace {

// Roles the operator acts on or reads values from; each must be findable by
// name. Labels, panels and the like may stay unnamed.
const QSet<uint> kControlRoles = {AtspiRole::CheckBox,     AtspiRole::ComboBox,    AtspiRole::ProgressBar,
                                  AtspiRole::PushButton,   AtspiRole::RadioButton, AtspiRole::ScrollBar,
                                  AtspiRole::SpinButton,   AtspiRole::Text,        AtspiRole::ToggleButton,
                                  AtspiRole::Entry};

struct Node {
    QString name;
    uint role = 0;
    QString roleName;
    QString parentName;
    int depth = 0;
};

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

}  // namespace

class TestAtspiBridge : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void mainWindowIsATopLevelOfTheProgram();
    void buttonsAreFoundByCaption_data();
    void buttonsAreFoundByCaption();
    void gridCellsCarryTheirRow_data();
    void gridCellsCarryTheirRow();
    void everyControlHasAName();
    // Last: it changes what the window shows.
    void startPressedAsksForTheMailSettings();

private:
    void walk(const AccessibleRef& at, const QString& parentName, int depth);
    QList<Node> named(const QString& name) const;

    QTemporaryDir dir_;
    PrivateDesktop desktop_;
    QProcess program_;
    AccessibleRef app_;
    QList<Node> tree_;
};

void TestAtspiBridge::initTestCase() {
    QVERIFY(dir_.isValid());
    QString why;
    QVERIFY2(desktop_.start(&why), qPrintable(why));

    // The program in a folder of its own, so it reads and creates its own
    // data files and its single-copy lock cannot meet another test's.
    const QString built = qEnvironmentVariable("TRV_BINARY_DIR") + QStringLiteral("/src/trivorn");
    QVERIFY2(QFile::exists(built), qPrintable(QStringLiteral("build the program first: ") + built));
    QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("app")));
    const QString copy = dir_.filePath(QStringLiteral("app/trivorn"));
    QVERIFY(QFile::copy(built, copy));

    program_.setProcessEnvironment(desktop_.programEnvironment());
    program_.setProgram(copy);
    program_.setWorkingDirectory(dir_.filePath(QStringLiteral("app")));
    program_.start();
    QVERIFY2(program_.waitForStarted(5000), qPrintable(program_.errorString()));

    const auto programRuns = [this](QString* why) {
        if (program_.state() == QProcess::Running) return true;
        *why = QStringLiteral("the program ended early: ") + QString::fromLocal8Bit(program_.readAllStandardError());
        return false;
    };
    QVERIFY2(desktop_.waitForWindow(u("メニュー"), &app_, &why, 10000, programRuns), qPrintable(why));

    walk(app_, QString(), 0);
    QVERIFY2(tree_.size() > 1, "the program published no accessible objects");
}

void TestAtspiBridge::cleanupTestCase() {
    if (program_.state() != QProcess::NotRunning) {
        program_.terminate();
        if (!program_.waitForFinished(3000)) {
            program_.kill();
            program_.waitForFinished(3000);
        }
    }
    desktop_.stop();
}

// The whole tree once, with each object's parent and depth, for the checks
// that look at where a control sits.
void TestAtspiBridge::walk(const AccessibleRef& at, const QString& parentName, int depth) {
    Node n;
    n.name = desktop_.name(at);
    n.role = desktop_.role(at);
    n.roleName = desktop_.roleName(at);
    n.parentName = parentName;
    n.depth = depth;
    tree_ << n;
    if (depth > 12 || tree_.size() > 5000) return;   // a cycle must not hang the test
    for (const AccessibleRef& c : desktop_.children(at)) walk(c, n.name, depth + 1);
}

QList<Node> TestAtspiBridge::named(const QString& wanted) const {
    QList<Node> found;
    for (const Node& n : tree_)
        if (n.name == wanted) found << n;
    return found;
}

// ---- what assistive technology must find -----------------------------------

void TestAtspiBridge::mainWindowIsATopLevelOfTheProgram() {
    const QList<Node> windows = named(u("メニュー"));
    QCOMPARE(windows.size(), 1);
    QCOMPARE(windows.first().depth, 1);   // a child of the application itself
}

void TestAtspiBridge::buttonsAreFoundByCaption_data() {
    QTest::addColumn<QString>("caption");
    QTest::newRow("mail settings") << u("メールの設定");
    QTest::newRow("start") << u("ＳＴＡＲＴ");
    QTest::newRow("feedback") << u("質問＆バグ＆感想");
}

void TestAtspiBridge::buttonsAreFoundByCaption() {
    QFETCH(QString, caption);
    const QList<Node> found = named(caption);
    QCOMPARE(found.size(), 1);
    QCOMPARE(found.first().role, uint(AtspiRole::PushButton));
    QCOMPARE(found.first().parentName, u("メニュー"));
}

// Each cell of the ranking and the participant list carries its column and
// row, so "名前 3" is the name in row 3 and a reader can tell the rows apart.
void TestAtspiBridge::gridCellsCarryTheirRow_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("columns");
    QTest::newRow("ranking") << u("順位表") << QStringList{u("名前"), u("順位"), u("点数"), u("正解率")};
    QTest::newRow("participants") << u("参加者一覧") << QStringList{u("名前"), u("参加")};
}

void TestAtspiBridge::gridCellsCarryTheirRow() {
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    for (const QString& column : columns) {
        for (int row = 0; row < 10; ++row) {
            const QString cell = QStringLiteral("%1 %2").arg(column).arg(row);
            int inTable = 0;
            for (const Node& n : named(cell))
                if (n.parentName == table && n.role == AtspiRole::Text) ++inTable;
            QVERIFY2(inTable == 1, qPrintable(QStringLiteral("%1: cell \"%2\" seen %3 times").arg(table, cell).arg(inTable)));
        }
    }
}

void TestAtspiBridge::everyControlHasAName() {
    QStringList unnamed;
    int controls = 0;
    for (const Node& n : tree_) {
        if (!kControlRoles.contains(n.role)) continue;
        ++controls;
        if (n.name.trimmed().isEmpty())
            unnamed << QStringLiteral("%1 in \"%2\"").arg(n.roleName, n.parentName);
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(QStringLiteral("controls without a name: ") + unnamed.join(QStringLiteral(", "))));
    // 7 buttons, the selector, 60 cells, 2 scroll bars, status and progress.
    QVERIFY2(controls >= 70, qPrintable(QStringLiteral("only %1 controls seen").arg(controls)));
}

// On an empty data folder nothing is set up yet, so START, pressed the way
// assistive technology presses it, stops at the first missing piece and says
// so on the status line, which a reader reads as text.
void TestAtspiBridge::startPressedAsksForTheMailSettings() {
    const QString wanted = u("メールの設定をして下さい。");
    const AccessibleRef status = desktop_.find(app_, u("状況"));
    QVERIFY2(!status.isNull(), "no status line named 状況");
    QVERIFY2(desktop_.text(status) != wanted, "the status line asked for the mail settings before START");
    const AccessibleRef start = desktop_.find(app_, u("ＳＴＡＲＴ"), AtspiRole::PushButton);
    QVERIFY2(!start.isNull(), "no START button");

    QVERIFY2(desktop_.press(start), "START has no press action, or it failed");

    QTRY_COMPARE_WITH_TIMEOUT(desktop_.text(status), wanted, 5000);
}

QTEST_GUILESS_MAIN(TestAtspiBridge)
#include "tst_atspi_bridge.moc"
