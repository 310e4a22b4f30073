// Every window on a laptop's screen (1366x768, a 40-pixel panel at the
// bottom) framed by a real window manager, openbox, at the scale factor the
// test runs under (tests/CMakeLists.txt runs it at 100 %, 125 % and 150 %).
// The frame is read back from the window manager: title bar and borders lie
// inside the work area it announces, nothing scrolls sideways, and the title
// it shows names the program after the window's own. A window
// opened and closed twenty times comes back where it was left; the results
// window opens over the main window.
//
// The test starts an X server and openbox of its own (demo/PrivateDesktop)
// and runs itself again on them: the display must be there before the
// application that shows the windows is made.
#include <QApplication>
#include <QPointer>
#include <QProcess>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QWindow>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include "demo/PrivateDesktop.h"
#include "support/TestWorld.h"
#include "support/WindowMakers.h"
#include "ui/Form1.h"
#include "ui/ProgramIdentity.h"
#include "ui/ResultsWindow.h"

namespace {

constexpr int kScreenWidth = 1366;
constexpr int kScreenHeight = 768;
constexpr int kPanel = 40;
// Set in the copy of the test that runs on the private desktop.
constexpr char kOnDesktop[] = "TRV_ON_FRAMED_DESKTOP";

// The window with the frame the window manager drew round it.
QRect framed(const QWidget* window) { return window->windowHandle()->frameGeometry(); }

// The title the window manager is given for `window`.
QString shownTitle(const QWidget* window) {
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-id"), QString::number(window->winId()), QStringLiteral("-notype"),
                                          QStringLiteral("_NET_WM_NAME")});
    if (!xprop.waitForFinished(5000)) return QStringLiteral("(xprop did not answer; package x11-utils)");
    const QString line = QString::fromUtf8(xprop.readAllStandardOutput()).trimmed();
    return line.section(QLatin1Char('"'), 1, -2);
}

QString describe(const QRect& r) { return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()); }

}  // namespace

class TestWindowManagerFit : public QObject {
    Q_OBJECT

    std::unique_ptr<TestWorld> world;
    QPointer<QWidget> window;

    QRect area() const { return QGuiApplication::primaryScreen()->availableGeometry(); }

    // Shown, and framed: the window manager has put its frame round it.
    bool showFramed(QWidget* w) {
        w->show();
        if (!QTest::qWaitForWindowExposed(w)) return false;
        return QTest::qWaitFor([w] { return w->windowHandle()->frameMargins().top() > 0; }, 5000);
    }

private slots:
    void initTestCase() {
        // The panel's strip is the window manager's to keep free: it is what
        // the program sees as the available screen.
        const qreal scale = QGuiApplication::primaryScreen()->devicePixelRatio();
        QCOMPARE(scale, qEnvironmentVariable("QT_SCALE_FACTOR", "1").toDouble());
        QTRY_VERIFY2(qAbs(area().height() * scale - (kScreenHeight - kPanel)) <= 1,
                     qPrintable(describe(area())));
        QVERIFY(qAbs(area().width() * scale - kScreenWidth) <= 1);
    }
    void init() {
        QSettings().clear();
        world = std::make_unique<TestWorld>();
    }
    void cleanup() {
        delete window.data();
        world.reset();
    }

    void frameFitsTheWorkArea_data() {
        QTest::addColumn<QString>("name");
        for (const char* name : {"Form1", "Form2", "Form3", "Form4", "Form5", "Form6", "Form10", "ResultsWindow"})
            QTest::newRow(name) << QString(name);
    }
    void frameFitsTheWorkArea() {
        QFETCH(QString, name);
        window = windowMaker(name)(*world);
        QVERIFY(showFramed(window));
        // Openbox may still move it into place once it is framed.
        QTest::qWait(200);
        const QString where = QStringLiteral("%1: frame %2 in %3").arg(name, describe(framed(window)), describe(area()));
        QVERIFY2(area().contains(framed(window)), qPrintable(where));
        QCOMPARE(shownTitle(window), window->windowTitle() + QString::fromUtf8(" — TRIVORN"));
        for (QScrollArea* page : window->findChildren<QScrollArea*>()) {
            if (!page->isVisibleTo(window)) continue;
            QVERIFY2(!page->horizontalScrollBar()->isVisible(),
                     qPrintable(QStringLiteral("%1: a page %2 wide in a view %3 wide")
                                    .arg(where).arg(page->widget()->width()).arg(page->viewport()->width())));
        }
    }

    // However the operator leaves a window - its close box, "戻る" that only
    // hides it, the program ended - it comes back where it was, frame and
    // all, every time.
    void reopenedTwentyTimesStaysWhereLeft_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("madeAnew");   // each opening a new window, as the program makes it
        QTest::newRow("問題入力, closed") << "Form5" << true;
        QTest::newRow("メールの設定, hidden") << "Form2" << false;
        QTest::newRow("アドレス帳設定, closed") << "Form3" << true;
        QTest::newRow("メニュー, program ended") << "Form1" << true;
        QTest::newRow("結果, hidden") << "ResultsWindow" << false;
    }
    void reopenedTwentyTimesStaysWhereLeft() {
        QFETCH(QString, name);
        QFETCH(bool, madeAnew);
        window = windowMaker(name)(*world);
        QVERIFY(showFramed(window));
        // Dragged by its title bar to a place of the operator's, wholly on
        // the screen.
        const QSize size = framed(window).size();
        const QPoint left(area().x() + std::min(120, area().width() - size.width()),
                          area().y() + std::min(50, area().height() - size.height()));
        window->windowHandle()->setFramePosition(left);
        QTRY_COMPARE(framed(window).topLeft(), left);
        const QRect first = framed(window);
        for (int opening = 2; opening <= 20; ++opening) {
            if (madeAnew) {
                window->close();
                delete window.data();
                window = windowMaker(name)(*world);
            } else {
                window->hide();
            }
            QVERIFY(showFramed(window));
            QTRY_COMPARE_WITH_TIMEOUT(framed(window), first, 2000);
        }
    }

    // The results window, opened from the main window, stands over its
    // middle, as far as the screen lets it.
    void resultsWindowOpensOverTheMainWindow() {
        auto form = std::make_unique<Form1>(world->module1, [this] { return world->appFolder(); });
        QVERIFY(showFramed(form.get()));
        // Left of the screen's middle, where the window system would not
        // put a window of its own accord.
        const QPoint mainAt = area().topLeft() + QPoint((area().width() - framed(form.get()).width()) / 2 - 60, 10);
        form->windowHandle()->setFramePosition(mainAt);
        QTRY_COMPARE(framed(form.get()).topLeft(), mainAt);
        window = new ResultsWindow(world->platform, [this] { return world->appFolder(); }, form.get());
        QVERIFY(showFramed(window));
        QTest::qWait(200);
        QRect over(QPoint(), framed(window).size());
        over.moveCenter(framed(form.get()).center());
        const QPoint expected(std::clamp(over.x(), area().left(), area().right() + 1 - over.width()),
                              std::clamp(over.y(), area().top(), area().bottom() + 1 - over.height()));
        QVERIFY2((framed(window).topLeft() - expected).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("results %1, main window %2")
                                .arg(describe(framed(window)), describe(framed(form.get())))));
        delete window.data();
    }
};

int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet(kOnDesktop)) {
        QCoreApplication app(argc, argv);
        DesktopScreen screen;
        screen.size = QSize(kScreenWidth, kScreenHeight);
        screen.windowManager = true;
        screen.panel = kPanel;
        PrivateDesktop desktop(screen);
        QString why;
        if (!desktop.start(&why)) {
            std::fprintf(stderr, "tst_window_manager_fit: no desktop: %s\n", qPrintable(why));
            return 1;
        }
        QProcess self;
        QProcessEnvironment env = desktop.programEnvironment();
        env.insert(QString::fromLatin1(kOnDesktop), QStringLiteral("1"));
        self.setProcessEnvironment(env);
        self.setProcessChannelMode(QProcess::ForwardedChannels);
        self.start(QCoreApplication::applicationFilePath(), app.arguments().mid(1));
        if (!self.waitForFinished(-1) || self.exitStatus() != QProcess::NormalExit) return 1;
        return self.exitCode();
    }
    QApplication app(argc, argv);
    // Where windows were left is kept only by a program that has named
    // itself; the desktop's settings folder is its own.
    QCoreApplication::setOrganizationName(QStringLiteral("TRIVORN test"));
    QCoreApplication::setApplicationName(QStringLiteral("tst_window_manager_fit"));
    presentProgram(app);
    TestWindowManagerFit test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_window_manager_fit.moc"
