// The command line: where the data files live and how fast time runs.
#include <QtTest>

#include "platform/qt/DataFolder.h"
#include "platform/qt/StartOptions.h"

class TestStartOptions : public QObject {
    Q_OBJECT
private slots:
    void arguments_data();
    void arguments();
    void dataFolder_data();
    void dataFolder();
};

void TestStartOptions::arguments_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<int>("speed");
    QTest::addColumn<bool>("help");
    QTest::addColumn<QString>("errorStart");   // empty: no error

    QTest::newRow("none: the executable's folder, real time") << QStringList{} << "" << 1 << false << "";
    QTest::newRow("folder, separate value") << QStringList{"--folder", "/srv/クイズ"} << "/srv/クイズ" << 1 << false << "";
    QTest::newRow("folder, joined value") << QStringList{"--folder=/srv/q"} << "/srv/q" << 1 << false << "";
    QTest::newRow("a folder named like an option") << QStringList{"--folder", "--speed"} << "--speed" << 1 << false << "";
    QTest::newRow("speed and folder") << QStringList{"--speed", "12", "--folder", "d"} << "d" << 12 << false << "";
    QTest::newRow("highest speed") << QStringList{"--speed=60"} << "" << 60 << false << "";
    QTest::newRow("help") << QStringList{"--help"} << "" << 1 << true << "";
    QTest::newRow("short help") << QStringList{"-h"} << "" << 1 << true << "";
    QTest::newRow("folder without value") << QStringList{"--folder"} << "" << 1 << false << "--folder";
    QTest::newRow("empty folder") << QStringList{"--folder="} << "" << 1 << false << "--folder";
    QTest::newRow("speed 0") << QStringList{"--speed", "0"} << "" << 1 << false << "--speed";
    QTest::newRow("speed too high") << QStringList{"--speed=61"} << "" << 61 << false << "--speed";
    QTest::newRow("speed not a number") << QStringList{"--speed", "x2"} << "" << 1 << false << "--speed";
    QTest::newRow("unknown argument") << QStringList{"--fast"} << "" << 1 << false << "--fast";
    QTest::newRow("a stray word") << QStringList{"/srv/q"} << "" << 1 << false << "/srv/q";
}

void TestStartOptions::arguments() {
    QFETCH(QStringList, args);
    QFETCH(QString, folder);
    QFETCH(int, speed);
    QFETCH(bool, help);
    QFETCH(QString, errorStart);
    const StartOptions o = parseStartOptions(args);
    QCOMPARE(o.help, help);
    if (errorStart.isEmpty()) {
        QVERIFY2(o.error.isEmpty(), qPrintable(o.error));
        QCOMPARE(o.folder, folder);
        QCOMPARE(o.speed, speed);
    } else {
        QVERIFY2(o.error.startsWith(errorStart), qPrintable(o.error));
    }
}

using Source = DataFolderChoice::Source;

void TestStartOptions::dataFolder_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<QString>("executableFolder");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("xdgDataHome");
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("source");

    const QString portable = "/home/u/trivorn";
    QTest::newRow("a portable copy keeps its files beside itself")
        << "" << portable << true << "" << portable << int(Source::OwnFolder);
    QTest::newRow("--folder wins over a writable own folder")
        << "/srv/クイズ/" << portable << true << "/x" << "/srv/クイズ" << int(Source::Option);
    QTest::newRow("a read-only own folder: XDG_DATA_HOME")
        << "" << "/opt/trivorn/bin" << false << "/data/u" << "/data/u/trivorn" << int(Source::UserData);
    QTest::newRow("XDG_DATA_HOME unset: ~/.local/share")
        << "" << "/opt/trivorn/bin" << false << "" << "/home/u/.local/share/trivorn" << int(Source::UserData);
    QTest::newRow("a relative XDG_DATA_HOME is ignored")
        << "" << "/opt/trivorn/bin" << false << "data" << "/home/u/.local/share/trivorn" << int(Source::UserData);
    // Run as root, the system's folder is writable too.
    QTest::newRow("the installed copy's folder never holds data")
        << "" << "/usr/bin" << true << "" << "/home/u/.local/share/trivorn" << int(Source::UserData);
}

void TestStartOptions::dataFolder() {
    QFETCH(QString, option);
    QFETCH(QString, executableFolder);
    QFETCH(bool, writable);
    QFETCH(QString, xdgDataHome);
    QFETCH(QString, path);
    QFETCH(int, source);
    const DataFolderChoice choice =
        chooseDataFolder({option, executableFolder, writable, {"/usr/local/bin", "/usr/bin"}, xdgDataHome, "/home/u"});
    QCOMPARE(choice.path, path);
    QCOMPARE(int(choice.source), source);
    QVERIFY(startOptionsHelp(choice.path).endsWith(path + "\n"));
}

QTEST_GUILESS_MAIN(TestStartOptions)
#include "tst_start_options.moc"
