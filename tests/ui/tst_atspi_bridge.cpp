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

#include "demo/PrivateDesktop.h"

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
    void valueLinesReadAsText_data();
    void valueLinesReadAsText();
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
// row, counted from 1, so "名前 3" is the name in the third row and a reader
// can tell the rows apart.
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
        for (int row = 1; row <= 10; ++row) {
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

// A line showing a value is named for what it is and reads as what it says:
// its name is the caption, and its text (the AT-SPI Text interface) is what
// is on screen, which a name would otherwise hide. A window opened by a
// button is left again with its "戻る".
void TestAtspiBridge::valueLinesReadAsText_data() {
    QTest::addColumn<QString>("opener");
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    // The current round of an empty folder has no one in it yet: the lines are empty.
    QTest::newRow("ranking count") << QString() << u("メニュー") << u("順位表の参加人数") << QString();
    QTest::newRow("participants count") << QString() << u("メニュー") << u("参加者一覧の参加人数") << QString();
    QTest::newRow("address book page") << u("アドレス帳設定") << u("アドレス帳設定") << u("表示中のアドレス")
                                       << u("1–10 / 1000");
}

void TestAtspiBridge::valueLinesReadAsText() {
    QFETCH(QString, opener);
    QFETCH(QString, window);
    QFETCH(QString, name);
    QFETCH(QString, text);
    QString why;
    AccessibleRef top = app_;
    if (!opener.isEmpty()) {
        const AccessibleRef button = desktop_.find(app_, opener, AtspiRole::PushButton);
        QVERIFY2(desktop_.press(button), qPrintable(opener));
        QVERIFY2(desktop_.waitForWindow(window, &top, &why, 10000), qPrintable(why));
    }
    AccessibleRef line;
    QTRY_VERIFY_WITH_TIMEOUT(!(line = desktop_.find(top, name)).isNull(), 5000);
    QCOMPARE(desktop_.role(line), uint(AtspiRole::Label));
    QVERIFY2(desktop_.interfaces(line).contains(QStringLiteral("org.a11y.atspi.Text")),
             qPrintable(name + u(": its text is not readable")));
    QCOMPARE(desktop_.text(line), text);
    QCOMPARE(desktop_.name(line), name);
    if (!opener.isEmpty()) {
        AccessibleRef back;
        for (const AccessibleRef& w : desktop_.children(top))
            if (desktop_.name(w) == window) back = desktop_.find(w, u("戻る"), AtspiRole::PushButton);
        QVERIFY2(desktop_.press(back), "no 戻る to leave the window by");
        QTRY_VERIFY_WITH_TIMEOUT(!desktop_.find(app_, u("ＳＴＡＲＴ"), AtspiRole::PushButton).isNull(), 5000);
    }
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
