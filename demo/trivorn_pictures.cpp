// Takes the README's pictures of the program during the demonstration round,
// on a private desktop, so that they can be made again whenever the windows
// change:
//
//   trivorn-pictures --source-dir REPO --build-dir BUILD --out DIR
//                    [--every-window] [--scale FACTOR]
//                    [--screen WIDTHxHEIGHT] [--window-manager]
//
// It plays the demonstration (scripts/demo.sh, in a demo folder of its own,
// six times faster): first the mail settings, then the question editor with
// the first question, then the main window once the first question has been
// ranked and the second is being waited for, the presentation window at that
// moment and with the podium after the round, and the results window's
// charts (the lower ones too where they scroll). With --every-window it
// takes instead every window of the program as the prepared round shows it,
// one after the other, for checking the look after a change; --scale runs
// the program at that scale (1.25: 125 %). Controls are found and pressed through the
// accessibility bridge; each window is cut from the screen by the extents
// the bridge reports for it. --screen sets the private screen's size
// (1600x1200 unless given); with --window-manager openbox frames the windows
// and keeps a 40-pixel panel's strip free, as a laptop's desktop would, and
// every picture is the whole screen at its own size, so that where each
// window and its title bar landed shows.
//
// Run with --grab FILE X Y W H [--keep-size] on a display, it saves that
// part of the screen as a PNG: the desktop's display is only known once it
// is running, so the picture is taken by a copy of this program started on
// it.
#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPixmap>
#include <QProcess>
#include <QScreen>
#include <QThread>

#include <cstdio>
#include <csignal>

#include "demo/PrivateDesktop.h"

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

int fail(const QString& what) {
    std::fprintf(stderr, "trivorn-pictures: %s\n", what.toLocal8Bit().constData());
    return 1;
}

QString value(const QStringList& args, const char* name) {
    const qsizetype i = args.indexOf(QLatin1String(name));
    return i >= 0 && i + 1 < args.size() ? args[i + 1] : QString();
}

int grab(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList a = app.arguments();
    const qsizetype i = a.indexOf("--grab");
    if (i + 5 >= a.size()) return fail("--grab FILE X Y W H");
    QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0, a[i + 2].toInt(), a[i + 3].toInt(),
                                                                a[i + 4].toInt(), a[i + 5].toInt());
    // A whole screen (the presentation) is shown smaller on the README's page.
    constexpr int kWidest = 1200;
    if (shot.width() > kWidest && !a.contains("--keep-size")) shot = shot.scaledToWidth(kWidest, Qt::SmoothTransformation);
    return shot.save(a[i + 1], "PNG") ? 0 : fail("cannot write " + a[i + 1]);
}

// Runs the event loop until `done` holds or `ms` have passed.
bool waitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 100);
        QThread::msleep(100);
    }
    return true;
}

class Photographer {
public:
    // `wholeScreen`: every picture is the whole screen, not the window alone.
    Photographer(PrivateDesktop& desktop, QString self, QString out, double scale, QSize wholeScreen)
        : desktop_(desktop), self_(std::move(self)), out_(std::move(out)), scale_(scale), wholeScreen_(wholeScreen) {}

    // Where the window of `app` titled `title` is on the screen.
    bool extents(const AccessibleRef& app, const QString& title, QRect* rect) {
        for (const AccessibleRef& w : desktop_.children(app)) {
            if (desktop_.name(w) != title) continue;
            QDBusMessage call = QDBusMessage::createMethodCall(w.service, w.path.path(),
                                                               "org.a11y.atspi.Component", "GetExtents");
            call << uint(0);   // screen coordinates
            const QDBusMessage reply = desktop_.accessibilityBus().call(call, QDBus::Block, 3000);
            if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
            const QDBusArgument box = reply.arguments().at(0).value<QDBusArgument>();
            int x = 0, y = 0, wd = 0, h = 0;
            box.beginStructure();
            box >> x >> y >> wd >> h;
            box.endStructure();
            // The bridge speaks in the program's own units; at a scale the
            // screen's pixels are that many more.
            *rect = QRect(qRound(x * scale_), qRound(y * scale_), qRound(wd * scale_), qRound(h * scale_));
            return rect->isValid();
        }
        return false;
    }

    bool take(const AccessibleRef& app, const QString& title, const QString& file) {
        QRect r;
        if (!waitUntil([&] { return extents(app, title, &r); }, 10000)) return false;
        QThread::msleep(500);   // let the window finish drawing
        QStringList keep;
        if (wholeScreen_.isValid()) {
            r = QRect(QPoint(0, 0), wholeScreen_);
            keep << "--keep-size";
        }
        QProcessEnvironment env = desktop_.programEnvironment();
        env.remove("QT_SCALE_FACTOR");   // the grab is in the screen's own pixels
        QProcess grabber;
        grabber.setProcessEnvironment(env);
        grabber.start(self_, QStringList{"--grab", QDir(out_).filePath(file), QString::number(r.x()),
                                         QString::number(r.y()), QString::number(r.width()),
                                         QString::number(r.height())} + keep);
        if (!grabber.waitForFinished(20000) || grabber.exitCode() != 0) return false;
        std::printf("trivorn-pictures: %s (%dx%d)\n", qPrintable(QDir(out_).filePath(file)), r.width(), r.height());
        return true;
    }

private:
    PrivateDesktop& desktop_;
    QString self_, out_;
    double scale_;
    QSize wholeScreen_;
};

}  // namespace

int main(int argc, char* argv[]) {
    for (int i = 1; i < argc; ++i)
        if (qstrcmp(argv[i], "--grab") == 0) return grab(argc, argv);

    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString source = value(args, "--source-dir"), build = value(args, "--build-dir"), out = value(args, "--out");
    if (source.isEmpty() || build.isEmpty() || out.isEmpty())
        return fail("usage: trivorn-pictures --source-dir REPO --build-dir BUILD --out DIR");
    QDir().mkpath(out);
    const bool everyWindow = args.contains("--every-window");
    const QString scale = value(args, "--scale");
    DesktopScreen screen;
    if (const QString size = value(args, "--screen"); !size.isEmpty()) {
        const QStringList wh = size.split('x');
        screen.size = wh.size() == 2 ? QSize(wh[0].toInt(), wh[1].toInt()) : QSize();
        if (screen.size.width() < 640 || screen.size.height() < 480) return fail("--screen WIDTHxHEIGHT, at least 640x480");
    }
    if (args.contains("--window-manager")) {
        screen.windowManager = true;
        screen.panel = 40;
    }

    PrivateDesktop desktop(screen);
    QString why;
    if (!desktop.start(&why)) return fail(why);
    QProcess demo;
    QProcessEnvironment env = desktop.programEnvironment();
    if (!scale.isEmpty()) env.insert("QT_SCALE_FACTOR", scale);
    demo.setProcessEnvironment(env);
    demo.setProcessChannelMode(QProcess::ForwardedChannels);
    demo.start("bash", {source + "/scripts/demo.sh", "--build-dir", build, "--demo-dir", build + "/demo-pictures",
                        "--reset", "--speed", "6"});
    auto finish = [&](int status) {
        // Closing the program ends the demo and everything it started.
        QFile list(build + "/demo-pictures/demo.pids");
        if (list.open(QIODevice::ReadOnly))
            for (const QByteArray& line : list.readAll().split('\n'))
                if (line.startsWith("program ")) ::kill(pid_t(line.mid(8).toLongLong()), SIGTERM);
        if (!demo.waitForFinished(30000)) demo.terminate();
        demo.waitForFinished(10000);
        desktop.stop();
        return status;
    };

    AccessibleRef program;
    if (!desktop.waitForWindow(u("メニュー"), &program, &why, 60000)) return finish(fail(why));
    Photographer photographer(desktop, QCoreApplication::applicationFilePath(), out,
                              scale.isEmpty() ? 1.0 : scale.toDouble(),
                              screen.windowManager ? screen.size : QSize());

    if (everyWindow) {
        // The button of the main window that opens it, its title, the button
        // that leaves it (none for the last).
        struct Shot {
            const char *opener, *title, *file, *back;
        };
        const Shot shots[] = {
            {nullptr, "メニュー", "1-menu.png", nullptr},
            {"メールの設定", "メールの設定", "2-mail-settings.png", "戻る"},
            {"アドレス帳設定", "アドレス帳設定", "3-address-book.png", "戻る"},
            {"クイズ参加確認", "クイズ参加確認", "4-invitation.png", "戻る"},
            {"問題入力", "問題入力", "5-questions.png", "戻る"},
            {"クイズ終了", "クイズ終了確認", "6-closing-mail.png", "戻る"},
            {"質問＆バグ＆感想", "質問＆バグ＆感想", "7-feedback.png", nullptr},
        };
        for (const Shot& shot : shots) {
            QRect shown;
            if (!waitUntil([&] { return photographer.extents(program, u("メニュー"), &shown); }, 10000))
                return finish(fail("the main window did not come back"));
            if (shot.opener && !desktop.press(desktop.find(program, u(shot.opener), AtspiRole::PushButton)))
                return finish(fail(QStringLiteral("cannot press ") + u(shot.opener)));
            if (!photographer.take(program, u(shot.title), shot.file))
                return finish(fail(QStringLiteral("no picture of ") + u(shot.title)));
            if (!shot.back) continue;
            for (const AccessibleRef& w : desktop.children(program))
                if (desktop.name(w) == u(shot.title)) desktop.press(desktop.find(w, u(shot.back), AtspiRole::PushButton));
        }
        return finish(0);
    }

    // An editor window as the prepared round left it, then back to the menu;
    // what went wrong, or nothing.
    auto shootEditor = [&](const char* title, const char* file) -> QString {
        if (!desktop.press(desktop.find(program, u(title), AtspiRole::PushButton))) return "cannot press " + u(title);
        if (!photographer.take(program, u(title), file)) return "no picture of " + u(title);
        AccessibleRef editor;
        for (const AccessibleRef& w : desktop.children(program))
            if (desktop.name(w) == u(title)) editor = w;
        if (!desktop.press(desktop.find(editor, u("戻る"), AtspiRole::PushButton))) return "cannot go back";
        QRect shown;
        if (!waitUntil([&] { return photographer.extents(program, u("メニュー"), &shown); }, 10000))
            return "the main window did not come back";
        return {};
    };
    // The mail settings with the connection group, and the question editor
    // with the first question of the round.
    for (auto [title, file] : {std::pair{"メールの設定", "mail-settings.png"}, {"問題入力", "question-editor.png"}})
        if (const QString why = shootEditor(title, file); !why.isEmpty()) return finish(fail(why));

    // The main window while the second question is waited for: the ranking
    // after the first, the joined players, the countdown.
    const AccessibleRef start = desktop.find(program, u("ＳＴＡＲＴ"), AtspiRole::PushButton);
    const AccessibleRef status = desktop.find(program, u("状況"));
    if (!desktop.press(start)) return finish(fail("cannot press ＳＴＡＲＴ"));
    const QString second = u("第1回のクイズ第2問の返信待ちです。");
    if (!waitUntil([&] { return desktop.text(status).startsWith(second); }, 120000))
        return finish(fail("the second question was not reached: " + desktop.text(status)));
    QThread::msleep(3000);
    if (!photographer.take(program, u("メニュー"), "main-window.png")) return finish(fail("no picture of メニュー"));

    // The same moment on the room's screen: the second question counting
    // down, the first one's answers, the top ten.
    if (!desktop.press(desktop.find(program, u("発表"), AtspiRole::PushButton))) return finish(fail("cannot press 発表"));
    if (!photographer.take(program, u("発表"), "presentation.png")) return finish(fail("no picture of 発表"));

    // After the round: the podium, then the results window on the page of
    // charts, which opens above the presentation.
    if (!waitUntil([&] { return desktop.text(status) == u("クイズ終了しました。"); }, 180000))
        return finish(fail("the round did not end: " + desktop.text(status)));
    if (!photographer.take(program, u("発表"), "presentation-final.png")) return finish(fail("no picture of 発表"));
    if (!desktop.press(desktop.find(program, u("結果"), AtspiRole::PushButton))) return finish(fail("cannot press 結果"));
    AccessibleRef results;
    const bool opened = waitUntil([&] {
        for (const AccessibleRef& w : desktop.children(program))
            if (desktop.name(w) == u("結果")) results = w;
        return !results.isNull();
    }, 10000);
    if (!opened || !desktop.press(desktop.find(results, u("グラフ"), AtspiRole::PageTab)))
        return finish(fail("cannot open the charts of 結果"));
    if (!photographer.take(program, u("結果"), "results-window.png")) return finish(fail("no picture of 結果"));
    // The lower charts too, where the screen is too short for all four.
    if (desktop.setToMaximum(desktop.find(results, u("グラフ"), AtspiRole::ScrollBar)) &&
        !photographer.take(program, u("結果"), "results-window-lower.png"))
        return finish(fail("no picture of the lower charts of 結果"));
    return finish(0);
}
