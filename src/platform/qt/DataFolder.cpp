#include "platform/qt/DataFolder.h"

#include <QDir>
#include <QFileInfo>

#include <unistd.h>

#ifndef TRV_INSTALL_BINDIR
#define TRV_INSTALL_BINDIR "/usr/local/bin"
#endif

DataFolderChoice chooseDataFolder(const FolderFacts& facts) {
    if (!facts.option.isEmpty()) return {QDir::cleanPath(QFileInfo(facts.option).absoluteFilePath()), DataFolderChoice::Source::Option};
    const QString own = QDir::cleanPath(facts.executableFolder);
    if (facts.executableFolderWritable && !facts.installedFolders.contains(own))
        return {own, DataFolderChoice::Source::OwnFolder};
    const QString base = QDir::isAbsolutePath(facts.xdgDataHome) ? facts.xdgDataHome : facts.home + QStringLiteral("/.local/share");
    return {QDir::cleanPath(base + QStringLiteral("/trivorn")), DataFolderChoice::Source::UserData};
}

FolderFacts currentFolderFacts(const QString& option) {
    FolderFacts facts;
    facts.option = option;
    // Read before the application object exists, so that --help needs none.
    facts.executableFolder = QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
    facts.executableFolderWritable = ::access(QFile::encodeName(facts.executableFolder).constData(), W_OK) == 0;
    // The build's own install prefix, and the package's (/usr).
    facts.installedFolders = {QStringLiteral(TRV_INSTALL_BINDIR), QStringLiteral("/usr/bin"),
                              QStringLiteral("/usr/local/bin")};
    facts.xdgDataHome = qEnvironmentVariable("XDG_DATA_HOME");
    facts.home = QDir::homePath();
    return facts;
}

bool makeUserDataFolder(const QString& path) {
    if (QFileInfo(path).isDir()) return true;
    if (!QDir().mkpath(path)) return false;
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return QFileInfo(path).isDir();
}
