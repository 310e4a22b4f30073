#pragma once
// A desktop of the test's own, for tests that drive the real program the way a
// screen reader or an automation tool would: a private X server (Xvfb), a
// private session bus and the accessibility bus that bus activation brings up
// on it. A program started with programEnvironment() appears there, and its
// controls are found, pressed and read over AT-SPI.
//
// Typical use:
//     PrivateDesktop desktop;
//     QVERIFY2(desktop.start(&why), qPrintable(why));
//     program.setProcessEnvironment(desktop.programEnvironment());
//     program.start();
//     AccessibleRef app;
//     QVERIFY2(desktop.waitForWindow(title, &app, &why), qPrintable(why));
//     const AccessibleRef button = desktop.find(app, caption, AtspiRole::PushButton);
//     QVERIFY(desktop.press(button));
//     QTRY_COMPARE(desktop.text(desktop.find(app, statusName)), expected);
//
// The program must run with the xcb platform plugin: Qt creates its AT-SPI
// bridge only there (and on Wayland); offscreen never reaches the bus.
// stop() (or the destructor) ends everything the desktop started, including
// the bus-activated helpers, but not the programs the test started on it.
//
// By default the screen is large and no window manager runs, so windows
// open where the program puts them, unframed. A DesktopScreen asks for a
// screen of a given size framed by a real window manager (openbox), as a
// user's desktop frames them: title bars, borders, its own placement, and a
// strip at the bottom kept free for a panel.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QList>
#include <QMetaType>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

// One accessible object as AT-SPI names it: the owner's bus name and a path.
struct AccessibleRef {
    QString service;
    QDBusObjectPath path;
    bool isNull() const { return service.isEmpty() || path.path().isEmpty(); }
};
Q_DECLARE_METATYPE(AccessibleRef)

QDBusArgument& operator<<(QDBusArgument& a, const AccessibleRef& r);
const QDBusArgument& operator>>(const QDBusArgument& a, AccessibleRef& r);

// AT-SPI role numbers: fixed by the wire protocol, stable since 2.0.
namespace AtspiRole {
enum : uint {
    CheckBox = 7,
    ComboBox = 11,
    Label = 29,
    PageTab = 37,
    ProgressBar = 42,
    PushButton = 43,
    RadioButton = 44,
    ScrollBar = 48,
    SpinButton = 52,
    Text = 61,
    ToggleButton = 62,
    Entry = 79,
};
}  // namespace AtspiRole

struct DesktopScreen {
    QSize size{1600, 1200};
    bool windowManager = false;
    int panel = 0;   // pixels at the bottom that windows must leave free
};

class PrivateDesktop {
public:
    explicit PrivateDesktop(DesktopScreen screen = DesktopScreen());
    ~PrivateDesktop();
    PrivateDesktop(const PrivateDesktop&) = delete;
    PrivateDesktop& operator=(const PrivateDesktop&) = delete;

    // Starts the X server, the window manager if one was asked for, and the
    // session bus; false with the reason (a missing tool says which package
    // to install).
    bool start(QString* why);
    // Ends the buses, the helpers they activated, the window manager and the
    // X server, each by its own process id. Safe to call twice.
    void stop();

    QString display() const { return display_; }                 // ":N"
    QString sessionBusAddress() const { return sessionAddress_; }
    // The environment a program needs to appear on this desktop.
    QProcessEnvironment programEnvironment() const;

    // Asks the session bus where the accessibility bus is (which activates
    // the bus launcher) and connects to it. waitForWindow() does this itself.
    bool connectAccessibilityBus(QString* why);
    QDBusConnection accessibilityBus() const { return a11y_; }

    // Waits until an application on the registry shows a top-level window of
    // that title with its controls in it. stillRunning, when given, is asked
    // on every round and ends the wait early when it returns false (with the
    // reason in its argument), e.g. when the program has exited.
    bool waitForWindow(const QString& title, AccessibleRef* app, QString* why, int timeoutMs = 10000,
                       const std::function<bool(QString* why)>& stillRunning = {});

    // Reading the tree. A failed call gives an empty result.
    QList<AccessibleRef> children(const AccessibleRef& of, QString* error = nullptr);
    QString name(const AccessibleRef& of);
    uint role(const AccessibleRef& of);
    QString roleName(const AccessibleRef& of);
    QStringList interfaces(const AccessibleRef& of);
    // The first object below `under` (depth first, `under` included) with that
    // name and, unless 0, that role; a null reference when there is none.
    AccessibleRef find(const AccessibleRef& under, const QString& name, uint role = 0);

    // Does the control's press (or click) action; false when it has none or
    // the call fails. What the press does may show only after this returns:
    // wait for it (QTRY_COMPARE) rather than read it at once.
    bool press(const AccessibleRef& control);
    // The whole text of a text control; the accessible name of an object
    // without text. A null string when the call fails.
    QString text(const AccessibleRef& control);
    // Moves a control with a value (a scroll bar, say) to its largest value;
    // false when it has none or the call fails.
    bool setToMaximum(const AccessibleRef& control);

private:
    bool startXServer(QString* why);
    bool startWindowManager(QString* why);
    bool startSessionBus(QString* why);
    qint64 ownerPid(const QDBusConnection& bus, const QString& busName) const;
    void noteHelpers();

    DesktopScreen screen_;
    QTemporaryDir dir_;
    QProcess xserver_;
    QProcess windowManager_;
    QProcess sessionBus_;
    QString display_;
    QString sessionAddress_;
    QString connectionTag_;
    QDBusConnection session_{QString()};
    QDBusConnection a11y_{QString()};
    QList<qint64> helperPids_;   // started by bus activation, not by us
};
