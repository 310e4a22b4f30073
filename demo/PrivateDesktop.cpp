#include "demo/PrivateDesktop.h"
#include "demo/ProcessGone.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QDBusMetaType>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <sys/types.h>

QDBusArgument& operator<<(QDBusArgument& a, const AccessibleRef& r) {
    a.beginStructure();
    a << r.service << r.path;
    a.endStructure();
    return a;
}

const QDBusArgument& operator>>(const QDBusArgument& a, AccessibleRef& r) {
    a.beginStructure();
    a >> r.service >> r.path;
    a.endStructure();
    return a;
}

namespace {

// Lets the event loop run for `ms`: the bus answers and the ends of the
// desktop's processes arrive as events while the desktop waits.
void pause(int ms) {
    const QDeadlineTimer until(ms);
    while (!until.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, int(until.remainingTime()));
        QThread::msleep(5);
    }
}

const char* const kAccessible = "org.a11y.atspi.Accessible";
constexpr int kCallTimeoutMs = 3000;
constexpr int kStartTimeoutMs = 8000;

const AccessibleRef kRegistryRoot{QStringLiteral("org.a11y.atspi.Registry"),
                                  QDBusObjectPath(QStringLiteral("/org/a11y/atspi/accessible/root"))};

QDBusMessage call(const QDBusConnection& bus, const AccessibleRef& of, const char* interface, const char* method,
                  const QVariantList& args = {}) {
    QDBusMessage m = QDBusMessage::createMethodCall(of.service, of.path.path(), QString::fromLatin1(interface),
                                                    QString::fromLatin1(method));
    m.setArguments(args);
    return bus.call(m, QDBus::Block, kCallTimeoutMs);
}

bool replied(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty();
}

void endProcess(QProcess& p) {
    if (p.state() == QProcess::NotRunning) return;
    p.terminate();
    if (!p.waitForFinished(3000)) {
        p.kill();
        p.waitForFinished(3000);
    }
}

// Reads what a freshly started tool prints on its first line: Xvfb its
// display number, dbus-daemon its address.
QByteArray firstLine(QProcess& p) {
    QElapsedTimer t;
    t.start();
    QByteArray out;
    while (!out.contains('\n') && t.elapsed() < kStartTimeoutMs && p.state() == QProcess::Running) {
        p.waitForReadyRead(200);
        out += p.readAllStandardOutput();
    }
    return out.trimmed();
}

}  // namespace

PrivateDesktop::PrivateDesktop(DesktopScreen screen) : screen_(screen) {
    qDBusRegisterMetaType<AccessibleRef>();
    qDBusRegisterMetaType<QList<AccessibleRef>>();
    // Connection names are process-wide; two desktops must not share one.
    static int count = 0;
    connectionTag_ = QStringLiteral("trv-private-desktop-%1").arg(++count);
}

PrivateDesktop::~PrivateDesktop() { stop(); }

// ---- setting up ------------------------------------------------------------

bool PrivateDesktop::start(QString* why) {
    if (!dir_.isValid()) {
        *why = QStringLiteral("no temporary folder: ") + dir_.errorString();
        return false;
    }
    const QDir base(dir_.path());
    if (!base.mkpath(QStringLiteral("run")) || !base.mkpath(QStringLiteral("tmp")) ||
        !QFile::setPermissions(dir_.filePath(QStringLiteral("run")),
                               QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        *why = QStringLiteral("cannot prepare the runtime folder in ") + dir_.path();
        return false;
    }
    return startXServer(why) && (!screen_.windowManager || startWindowManager(why)) && startSessionBus(why);
}

bool PrivateDesktop::startXServer(QString* why) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        *why = QStringLiteral("Xvfb is not installed (package xvfb)");
        return false;
    }
    // -displayfd lets the server pick a free display and tell us its number,
    // so parallel test runs never collide. -noreset: the accessibility bus
    // launcher opens the display only to mark it and closes it again; a
    // server that resets when its last client leaves refuses the program if
    // it connects just then.
    xserver_.setProgram(xvfb);
    xserver_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-noreset"),
                           QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
                           QStringLiteral("0"),
                           QStringLiteral("%1x%2x24").arg(screen_.size.width()).arg(screen_.size.height())});
    xserver_.setProcessChannelMode(QProcess::SeparateChannels);
    xserver_.start();
    if (!xserver_.waitForStarted(5000)) {
        *why = QStringLiteral("Xvfb did not start: ") + xserver_.errorString();
        return false;
    }
    bool ok = false;
    const int number = firstLine(xserver_).toInt(&ok);
    if (!ok) {
        *why = QStringLiteral("Xvfb gave no display number: ") + QString::fromLocal8Bit(xserver_.readAllStandardError());
        return false;
    }
    display_ = QStringLiteral(":%1").arg(number);
    return true;
}

bool PrivateDesktop::startWindowManager(QString* why) {
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (openbox.isEmpty()) {
        *why = QStringLiteral("openbox is not installed (package openbox)");
        return false;
    }
    // Its own settings, nothing of the user's: the default theme and
    // placement, and the panel's strip kept free, which it announces as the
    // work area (what a program sees as the available screen).
    const QString config = dir_.filePath(QStringLiteral("openbox.xml"));
    QFile rc(config);
    if (!rc.open(QIODevice::WriteOnly) ||
        rc.write(QStringLiteral("<?xml version=\"1.0\"?>\n<openbox_config xmlns=\"http://openbox.org/3.4/rc\">\n"
                                "  <margins><top>0</top><bottom>%1</bottom><left>0</left><right>0</right></margins>\n"
                                "</openbox_config>\n")
                     .arg(screen_.panel)
                     .toUtf8()) < 0) {
        *why = QStringLiteral("cannot write ") + config;
        return false;
    }
    rc.close();
    // Openbox runs its --startup command once it manages the screen: from
    // then on every new window is framed.
    const QString ready = dir_.filePath(QStringLiteral("wm-ready"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), display_);
    env.insert(QStringLiteral("HOME"), dir_.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), dir_.filePath(QStringLiteral("cache")));
    windowManager_.setProcessEnvironment(env);
    windowManager_.setProgram(openbox);
    windowManager_.setArguments({QStringLiteral("--sm-disable"), QStringLiteral("--config-file"), config,
                                 QStringLiteral("--startup"), QStringLiteral("touch ") + ready});
    windowManager_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    windowManager_.setStandardOutputFile(QProcess::nullDevice());
    windowManager_.start();
    if (!windowManager_.waitForStarted(5000)) {
        *why = QStringLiteral("openbox did not start: ") + windowManager_.errorString();
        return false;
    }
    QElapsedTimer t;
    t.start();
    while (!QFile::exists(ready)) {
        if (windowManager_.state() != QProcess::Running || t.elapsed() > kStartTimeoutMs) {
            *why = QStringLiteral("openbox did not take the screen");
            return false;
        }
        pause(50);
    }
    return true;
}

bool PrivateDesktop::startSessionBus(QString* why) {
    for (const char* tool : {"dbus-daemon", "/usr/libexec/at-spi-bus-launcher", "/usr/libexec/at-spi2-registryd"}) {
        if (QStandardPaths::findExecutable(QString::fromUtf8(tool)).isEmpty() && !QFile::exists(QString::fromUtf8(tool))) {
            *why = QStringLiteral("missing %1 (packages dbus, at-spi2-core)").arg(QString::fromUtf8(tool));
            return false;
        }
    }
    // The accessibility bus launcher and the registry are started by bus
    // activation and inherit this environment: their sockets land in our own
    // runtime folder and they announce themselves on our own display only.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.filePath(QStringLiteral("run")));
    env.insert(QStringLiteral("DISPLAY"), display_);
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
    sessionBus_.setProcessEnvironment(env);
    sessionBus_.setProgram(QStringLiteral("dbus-daemon"));
    sessionBus_.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    sessionBus_.start();
    if (!sessionBus_.waitForStarted(5000)) {
        *why = QStringLiteral("dbus-daemon did not start: ") + sessionBus_.errorString();
        return false;
    }
    sessionAddress_ = QString::fromUtf8(firstLine(sessionBus_));
    if (sessionAddress_.isEmpty()) {
        *why = QStringLiteral("dbus-daemon printed no address: ") + QString::fromLocal8Bit(sessionBus_.readAllStandardError());
        return false;
    }
    session_ = QDBusConnection::connectToBus(sessionAddress_, connectionTag_ + QStringLiteral("-session"));
    if (!session_.isConnected()) {
        *why = QStringLiteral("cannot connect to the private session bus: ") + session_.lastError().message();
        return false;
    }
    return true;
}

QProcessEnvironment PrivateDesktop::programEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), display_);
    // Without a screen reader announced on the bus, Qt would not publish its
    // tree at all.
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), sessionAddress_);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.filePath(QStringLiteral("run")));
    env.insert(QStringLiteral("TMPDIR"), dir_.filePath(QStringLiteral("tmp")));
    // Where the program keeps its windows' places: not the user's settings.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.filePath(QStringLiteral("config")));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
    return env;
}

bool PrivateDesktop::connectAccessibilityBus(QString* why) {
    if (a11y_.isConnected()) return true;
    if (!session_.isConnected()) {
        *why = QStringLiteral("the private desktop is not started");
        return false;
    }
    // Where assistive technology finds the accessibility bus.
    const QDBusMessage reply = session_.call(
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
        QDBus::Block, 10000);
    noteHelpers();
    if (reply.type() != QDBusMessage::ReplyMessage) {
        *why = QStringLiteral("no accessibility bus: ") + reply.errorMessage();
        return false;
    }
    const QString address = reply.arguments().value(0).toString();
    if (address.isEmpty()) {
        *why = QStringLiteral("the bus launcher gave an empty accessibility bus address");
        return false;
    }
    a11y_ = QDBusConnection::connectToBus(address, connectionTag_ + QStringLiteral("-a11y"));
    if (!a11y_.isConnected()) {
        *why = QStringLiteral("cannot connect to the accessibility bus: ") + a11y_.lastError().message();
        return false;
    }
    noteHelpers();
    return true;
}

// The helpers are not our children: they are remembered as soon as they are
// seen, so that stop() can make sure they are gone whatever failed later.
void PrivateDesktop::noteHelpers() {
    const auto note = [this](qint64 pid) {
        if (pid > 0 && !helperPids_.contains(pid)) helperPids_ << pid;
    };
    if (session_.isConnected()) note(ownerPid(session_, QStringLiteral("org.a11y.Bus")));
    if (a11y_.isConnected()) {
        note(ownerPid(a11y_, QStringLiteral("org.a11y.atspi.Registry")));
        // The accessibility bus's own daemon, started by the launcher.
        note(ownerPid(a11y_, QStringLiteral("org.freedesktop.DBus")));
    }
}

qint64 PrivateDesktop::ownerPid(const QDBusConnection& bus, const QString& busName) const {
    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("/org/freedesktop/DBus"),
                                                      QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("GetConnectionUnixProcessID"));
    ask << busName;
    const QDBusMessage reply = bus.call(ask, QDBus::Block, kCallTimeoutMs);
    return replied(reply) ? qint64(reply.arguments().at(0).toUInt()) : -1;
}

void PrivateDesktop::stop() {
    noteHelpers();
    if (a11y_.isConnected()) QDBusConnection::disconnectFromBus(a11y_.name());
    if (session_.isConnected()) QDBusConnection::disconnectFromBus(session_.name());
    a11y_ = QDBusConnection(QString());
    session_ = QDBusConnection(QString());
    endProcess(sessionBus_);
    // The bus launcher, its bus and the registry end when the session bus
    // goes away; any that does not is stopped here by its own id.
    const auto allGone = [this] {
        for (qint64 pid : helperPids_)
            if (!processGone(pid)) return false;
        return true;
    };
    QElapsedTimer t;
    t.start();
    while (!allGone() && t.elapsed() < 3000) pause(100);
    for (qint64 pid : helperPids_)
        if (!processGone(pid)) ::kill(pid_t(pid), SIGTERM);
    t.restart();
    while (!allGone() && t.elapsed() < 3000) pause(100);
    for (qint64 pid : helperPids_)
        if (!processGone(pid)) ::kill(pid_t(pid), SIGKILL);
    helperPids_.clear();
    endProcess(windowManager_);
    endProcess(xserver_);
}

// ---- finding applications and controls --------------------------------------

bool PrivateDesktop::waitForWindow(const QString& title, AccessibleRef* app, QString* why, int timeoutMs,
                                   const std::function<bool(QString*)>& stillRunning) {
    QElapsedTimer t;
    t.start();
    // The launcher may not answer until a program has asked for it too.
    QString busError;
    QString lastSeen = QStringLiteral("nothing");
    while (t.elapsed() < timeoutMs) {
        if (stillRunning && !stillRunning(why)) return false;
        if (connectAccessibilityBus(&busError)) {
            QString error;
            const QList<AccessibleRef> apps = children(kRegistryRoot, &error);
            noteHelpers();
            lastSeen = error.isEmpty() ? QStringLiteral("%1 application(s)").arg(apps.size()) : error;
            for (const AccessibleRef& candidate : apps) {
                for (const AccessibleRef& window : children(candidate)) {
                    if (name(window) == title && !children(window).isEmpty()) {
                        *app = candidate;
                        return true;
                    }
                }
            }
        } else {
            lastSeen = busError;
        }
        pause(200);
    }
    *why = QStringLiteral("no application with the window \"%1\" reached the registry within %2 ms (registry: %3)")
               .arg(title)
               .arg(timeoutMs)
               .arg(lastSeen);
    return false;
}

QList<AccessibleRef> PrivateDesktop::children(const AccessibleRef& of, QString* error) {
    const QDBusMessage reply = call(a11y_, of, kAccessible, "GetChildren");
    if (!replied(reply)) {
        if (error) *error = reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
        return {};
    }
    return qdbus_cast<QList<AccessibleRef>>(reply.arguments().at(0));
}

QString PrivateDesktop::name(const AccessibleRef& of) {
    const QDBusMessage reply = call(a11y_, of, "org.freedesktop.DBus.Properties", "Get",
                                    {QString::fromLatin1(kAccessible), QStringLiteral("Name")});
    return replied(reply) ? qvariant_cast<QDBusVariant>(reply.arguments().at(0)).variant().toString() : QString();
}

uint PrivateDesktop::role(const AccessibleRef& of) {
    const QDBusMessage reply = call(a11y_, of, kAccessible, "GetRole");
    return replied(reply) ? reply.arguments().at(0).toUInt() : 0;
}

QString PrivateDesktop::roleName(const AccessibleRef& of) {
    const QDBusMessage reply = call(a11y_, of, kAccessible, "GetRoleName");
    return replied(reply) ? reply.arguments().at(0).toString() : QString();
}

QStringList PrivateDesktop::interfaces(const AccessibleRef& of) {
    const QDBusMessage reply = call(a11y_, of, kAccessible, "GetInterfaces");
    return replied(reply) ? reply.arguments().at(0).toStringList() : QStringList();
}

AccessibleRef PrivateDesktop::find(const AccessibleRef& under, const QString& wanted, uint wantedRole) {
    // Depth first, each object once and not too deep: a tree that loops back
    // on itself must not hang the test.
    QSet<QString> seen;
    const std::function<AccessibleRef(const AccessibleRef&, int)> visit = [&](const AccessibleRef& at, int depth) {
        const QString key = at.service + at.path.path();
        if (seen.contains(key)) return AccessibleRef();
        seen.insert(key);
        if (name(at) == wanted && (wantedRole == 0 || role(at) == wantedRole)) return at;
        if (depth >= 12 || seen.size() > 5000) return AccessibleRef();
        for (const AccessibleRef& c : children(at)) {
            const AccessibleRef hit = visit(c, depth + 1);
            if (!hit.isNull()) return hit;
        }
        return AccessibleRef();
    };
    return visit(under, 0);
}

// ---- acting on controls --------------------------------------------------------

bool PrivateDesktop::press(const AccessibleRef& control) {
    const char* const action = "org.a11y.atspi.Action";
    // A button lists more than its press (setting the focus, say); the
    // action is chosen by its name, not by its place in the list.
    const QDBusMessage names = call(a11y_, control, action, "GetActions");
    if (!replied(names)) return false;
    const QDBusArgument list = names.arguments().at(0).value<QDBusArgument>();
    int index = -1;
    list.beginArray();
    for (int i = 0; !list.atEnd(); ++i) {
        QString actionName, description, keyBinding;
        list.beginStructure();
        list >> actionName >> description >> keyBinding;
        list.endStructure();
        const QString n = actionName.toLower();
        if (index < 0 && (n == QLatin1String("press") || n == QLatin1String("click"))) index = i;
    }
    list.endArray();
    if (index < 0) return false;
    const QDBusMessage done = call(a11y_, control, action, "DoAction", {index});
    return replied(done) && done.arguments().at(0).toBool();
}

QString PrivateDesktop::text(const AccessibleRef& control) {
    if (!interfaces(control).contains(QStringLiteral("org.a11y.atspi.Text"))) return name(control);
    const QDBusMessage reply = call(a11y_, control, "org.a11y.atspi.Text", "GetText", {0, -1});
    return replied(reply) ? reply.arguments().at(0).toString() : QString();
}

bool PrivateDesktop::setToMaximum(const AccessibleRef& control) {
    const QString value = QStringLiteral("org.a11y.atspi.Value");
    const QString properties = QStringLiteral("org.freedesktop.DBus.Properties");
    QDBusMessage get = QDBusMessage::createMethodCall(control.service, control.path.path(), properties,
                                                      QStringLiteral("Get"));
    get << value << QStringLiteral("MaximumValue");
    const QDBusMessage maximum = a11y_.call(get, QDBus::Block, kCallTimeoutMs);
    if (!replied(maximum)) return false;
    QDBusMessage set = QDBusMessage::createMethodCall(control.service, control.path.path(), properties,
                                                      QStringLiteral("Set"));
    set << value << QStringLiteral("CurrentValue")
        << QVariant::fromValue(QDBusVariant(maximum.arguments().at(0).value<QDBusVariant>().variant()));
    return a11y_.call(set, QDBus::Block, kCallTimeoutMs).type() == QDBusMessage::ReplyMessage;
}
