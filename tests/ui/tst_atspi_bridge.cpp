// What a screen reader sees: the real program is started on a private X
// display with a private session bus and accessibility bus, and the tree it
// publishes is read back over D-Bus from the accessibility registry, the way
// Orca or an automation tool would read it.
//
// The program runs on Xvfb through the xcb platform plugin, not offscreen:
// Qt creates its AT-SPI bridge only in the xcb (and wayland) integrations; the
// offscreen plugin never connects to the session bus at all, so nothing could
// be seen there.
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/types.h>

namespace {

// One accessible object as AT-SPI names it: the owner's bus name and a path.
struct AccessibleRef {
    QString service;
    QDBusObjectPath path;
};

}  // namespace

Q_DECLARE_METATYPE(AccessibleRef)

namespace {

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

// AT-SPI role numbers: fixed by the wire protocol, stable since 2.0.
enum AtspiRole : uint {
    RoleCheckBox = 7,
    RoleComboBox = 11,
    RoleProgressBar = 42,
    RolePushButton = 43,
    RoleRadioButton = 44,
    RoleScrollBar = 48,
    RoleSpinButton = 52,
    RoleText = 61,
    RoleToggleButton = 62,
    RoleEntry = 79,
};

// Roles the operator acts on or reads values from; each must be findable by
// name. Labels, panels and the like may stay unnamed.
const QSet<uint> kControlRoles = {RoleCheckBox,    RoleComboBox,    RoleProgressBar, RolePushButton,
                                  RoleRadioButton, RoleScrollBar,   RoleSpinButton,  RoleText,
                                  RoleToggleButton, RoleEntry};

struct Node {
    QString name;
    uint role = 0;
    QString roleName;
    QString parentName;
    int depth = 0;
};

const char* const kAccessible = "org.a11y.atspi.Accessible";
constexpr int kCallTimeoutMs = 3000;

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

bool processGone(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return true;
    // "pid (comm) S ...": a zombie nobody reaped has finished all the same.
    const QByteArray line = stat.readAll();
    const int close = line.lastIndexOf(')');
    return close >= 0 && line.size() > close + 2 && line.at(close + 2) == 'Z';
}

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

private:
    bool startXServer(QString* why);
    bool startSessionBus(QString* why);
    QList<AccessibleRef> children(const AccessibleRef& of, QString* error = nullptr);
    QString name(const AccessibleRef& of);
    uint role(const AccessibleRef& of);
    QString roleName(const AccessibleRef& of);
    qint64 ownerPid(QDBusConnection& bus, const QString& busName);
    bool waitForMainWindow(AccessibleRef* app, QString* why);
    void walk(const AccessibleRef& at, const QString& parentName, int depth);
    QList<Node> named(const QString& name) const;

    QTemporaryDir dir_;
    QProcess xserver_;
    QProcess sessionBus_;
    QProcess program_;
    QString display_;
    QString sessionAddress_;
    QDBusConnection session_{QString()};
    QDBusConnection a11y_{QString()};
    QList<qint64> helperPids_;   // started for us by bus activation
    QList<Node> tree_;
};

// ---- setting up the private desktop ---------------------------------------

bool TestAtspiBridge::startXServer(QString* why) {
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (xvfb.isEmpty()) {
        *why = QStringLiteral("Xvfb is not installed (package xvfb)");
        return false;
    }
    // -displayfd lets the server pick a free display and tell us its number,
    // so parallel test runs never collide.
    xserver_.setProgram(xvfb);
    xserver_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                           QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                           QStringLiteral("1024x768x24")});
    xserver_.setProcessChannelMode(QProcess::SeparateChannels);
    xserver_.start();
    if (!xserver_.waitForStarted(5000)) {
        *why = QStringLiteral("Xvfb did not start: ") + xserver_.errorString();
        return false;
    }
    QElapsedTimer t;
    t.start();
    QByteArray out;
    while (!out.contains('\n') && t.elapsed() < 8000) {
        xserver_.waitForReadyRead(200);
        out += xserver_.readAllStandardOutput();
        if (xserver_.state() != QProcess::Running) break;
    }
    bool ok = false;
    const int number = out.trimmed().toInt(&ok);
    if (!ok) {
        *why = QStringLiteral("Xvfb gave no display number: ") + QString::fromLocal8Bit(xserver_.readAllStandardError());
        return false;
    }
    display_ = QStringLiteral(":%1").arg(number);
    return true;
}

bool TestAtspiBridge::startSessionBus(QString* why) {
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
    QElapsedTimer t;
    t.start();
    QByteArray out;
    while (!out.contains('\n') && t.elapsed() < 8000 && sessionBus_.state() == QProcess::Running) {
        sessionBus_.waitForReadyRead(200);
        out += sessionBus_.readAllStandardOutput();
    }
    sessionAddress_ = QString::fromUtf8(out.trimmed());
    if (sessionAddress_.isEmpty()) {
        *why = QStringLiteral("dbus-daemon printed no address: ") + QString::fromLocal8Bit(sessionBus_.readAllStandardError());
        return false;
    }
    session_ = QDBusConnection::connectToBus(sessionAddress_, QStringLiteral("trv-private-session"));
    if (!session_.isConnected()) {
        *why = QStringLiteral("cannot connect to the private session bus: ") + session_.lastError().message();
        return false;
    }
    return true;
}

void TestAtspiBridge::initTestCase() {
    qDBusRegisterMetaType<AccessibleRef>();
    qDBusRegisterMetaType<QList<AccessibleRef>>();
    QVERIFY(dir_.isValid());
    QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("run")));
    QVERIFY(QFile::setPermissions(dir_.filePath(QStringLiteral("run")),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("app")));
    QVERIFY(QDir(dir_.path()).mkpath(QStringLiteral("tmp")));

    QString why;
    QVERIFY2(startXServer(&why), qPrintable(why));
    QVERIFY2(startSessionBus(&why), qPrintable(why));

    // The program in a folder of its own, so it reads and creates its own
    // data files and its single-copy lock cannot meet another test's.
    const QString built = qEnvironmentVariable("TRV_BINARY_DIR") + QStringLiteral("/src/trivorn");
    QVERIFY2(QFile::exists(built), qPrintable(QStringLiteral("build the program first: ") + built));
    const QString copy = dir_.filePath(QStringLiteral("app/trivorn"));
    QVERIFY(QFile::copy(built, copy));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), display_);
    env.insert(QStringLiteral("QT_LINUX_ACCESSIBILITY_ALWAYS_ON"), QStringLiteral("1"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), sessionAddress_);
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir_.filePath(QStringLiteral("run")));
    env.insert(QStringLiteral("TMPDIR"), dir_.filePath(QStringLiteral("tmp")));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
    program_.setProcessEnvironment(env);
    program_.setProgram(copy);
    program_.setWorkingDirectory(dir_.filePath(QStringLiteral("app")));
    program_.start();
    QVERIFY2(program_.waitForStarted(5000), qPrintable(program_.errorString()));

    // Where assistive technology finds the accessibility bus.
    const QDBusMessage reply = session_.call(
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress")),
        QDBus::Block, 10000);
    QVERIFY2(reply.type() == QDBusMessage::ReplyMessage, qPrintable(reply.errorMessage()));
    const QString a11yAddress = reply.arguments().value(0).toString();
    QVERIFY2(!a11yAddress.isEmpty(), "the bus launcher gave an empty accessibility bus address");
    a11y_ = QDBusConnection::connectToBus(a11yAddress, QStringLiteral("trv-private-a11y"));
    QVERIFY2(a11y_.isConnected(), qPrintable(a11y_.lastError().message()));

    AccessibleRef app;
    const bool seen = waitForMainWindow(&app, &why);
    // Noted now, so that cleanup can make sure they are gone whatever failed.
    const qint64 registry = ownerPid(a11y_, QStringLiteral("org.a11y.atspi.Registry"));
    if (registry > 0) helperPids_ << registry;
    const qint64 launcher = ownerPid(session_, QStringLiteral("org.a11y.Bus"));
    if (launcher > 0) helperPids_ << launcher;
    QVERIFY2(seen, qPrintable(why));

    walk(app, QString(), 0);
    QVERIFY2(tree_.size() > 1, "the program published no accessible objects");
}

void TestAtspiBridge::cleanupTestCase() {
    if (a11y_.isConnected()) QDBusConnection::disconnectFromBus(a11y_.name());
    if (session_.isConnected()) QDBusConnection::disconnectFromBus(session_.name());
    for (QProcess* p : {&program_, &sessionBus_}) {
        if (p->state() == QProcess::NotRunning) continue;
        p->terminate();
        if (!p->waitForFinished(3000)) {
            p->kill();
            p->waitForFinished(3000);
        }
    }
    // The bus launcher, its bus and the registry end when the session bus
    // goes away; any that does not is stopped here by its own id.
    QElapsedTimer t;
    t.start();
    auto allGone = [&] {
        for (qint64 pid : helperPids_)
            if (!processGone(pid)) return false;
        return true;
    };
    while (!allGone() && t.elapsed() < 3000) QTest::qWait(100);
    for (qint64 pid : helperPids_)
        if (!processGone(pid)) ::kill(pid_t(pid), SIGTERM);
    if (xserver_.state() != QProcess::NotRunning) {
        xserver_.terminate();
        if (!xserver_.waitForFinished(3000)) {
            xserver_.kill();
            xserver_.waitForFinished(3000);
        }
    }
}

// ---- reading the tree -----------------------------------------------------

QList<AccessibleRef> TestAtspiBridge::children(const AccessibleRef& of, QString* error) {
    const QDBusMessage reply = a11y_.call(
        QDBusMessage::createMethodCall(of.service, of.path.path(), QString::fromLatin1(kAccessible),
                                       QStringLiteral("GetChildren")),
        QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) {
        if (error) *error = reply.errorName() + QStringLiteral(": ") + reply.errorMessage();
        return {};
    }
    return qdbus_cast<QList<AccessibleRef>>(reply.arguments().at(0));
}

QString TestAtspiBridge::name(const AccessibleRef& of) {
    QDBusMessage get = QDBusMessage::createMethodCall(of.service, of.path.path(),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << QString::fromLatin1(kAccessible) << QStringLiteral("Name");
    const QDBusMessage reply = a11y_.call(get, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return QString();
    return qvariant_cast<QDBusVariant>(reply.arguments().at(0)).variant().toString();
}

uint TestAtspiBridge::role(const AccessibleRef& of) {
    const QDBusMessage reply = a11y_.call(
        QDBusMessage::createMethodCall(of.service, of.path.path(), QString::fromLatin1(kAccessible),
                                       QStringLiteral("GetRole")),
        QDBus::Block, kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage ? reply.arguments().value(0).toUInt() : 0;
}

QString TestAtspiBridge::roleName(const AccessibleRef& of) {
    const QDBusMessage reply = a11y_.call(
        QDBusMessage::createMethodCall(of.service, of.path.path(), QString::fromLatin1(kAccessible),
                                       QStringLiteral("GetRoleName")),
        QDBus::Block, kCallTimeoutMs);
    return reply.arguments().value(0).toString();
}

qint64 TestAtspiBridge::ownerPid(QDBusConnection& bus, const QString& busName) {
    QDBusMessage ask = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("/org/freedesktop/DBus"),
                                                      QStringLiteral("org.freedesktop.DBus"),
                                                      QStringLiteral("GetConnectionUnixProcessID"));
    ask << busName;
    const QDBusMessage reply = bus.call(ask, QDBus::Block, kCallTimeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage ? qint64(reply.arguments().value(0).toUInt()) : -1;
}

// The program registers with the registry a moment after it starts; wait
// until an application there shows the main window with its controls.
bool TestAtspiBridge::waitForMainWindow(AccessibleRef* app, QString* why) {
    const AccessibleRef root{QStringLiteral("org.a11y.atspi.Registry"),
                             QDBusObjectPath(QStringLiteral("/org/a11y/atspi/accessible/root"))};
    QElapsedTimer t;
    t.start();
    QString lastSeen = QStringLiteral("nothing");
    while (t.elapsed() < 10000) {
        if (program_.state() != QProcess::Running) {
            *why = QStringLiteral("the program ended early: ") + QString::fromLocal8Bit(program_.readAllStandardError());
            return false;
        }
        QString error;
        const QList<AccessibleRef> apps = children(root, &error);
        lastSeen = error.isEmpty() ? QStringLiteral("%1 application(s)").arg(apps.size()) : error;
        for (const AccessibleRef& candidate : apps) {
            for (const AccessibleRef& window : children(candidate)) {
                if (name(window) == u("メニュー") && !children(window).isEmpty()) {
                    *app = candidate;
                    return true;
                }
            }
        }
        QTest::qWait(200);
    }
    *why = QStringLiteral("no application with the window \"%1\" reached the registry within 10 s (registry: %2)")
               .arg(u("メニュー"), lastSeen);
    return false;
}

void TestAtspiBridge::walk(const AccessibleRef& at, const QString& parentName, int depth) {
    Node n;
    n.name = name(at);
    n.role = role(at);
    n.roleName = roleName(at);
    n.parentName = parentName;
    n.depth = depth;
    tree_ << n;
    if (depth > 12 || tree_.size() > 5000) return;   // a cycle must not hang the test
    for (const AccessibleRef& c : children(at)) walk(c, n.name, depth + 1);
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
    QCOMPARE(found.first().role, uint(RolePushButton));
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
                if (n.parentName == table && n.role == RoleText) ++inTable;
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

QTEST_GUILESS_MAIN(TestAtspiBridge)
#include "tst_atspi_bridge.moc"
