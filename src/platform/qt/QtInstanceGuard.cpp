#include "platform/qt/QtInstanceGuard.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>

QtInstanceGuard::QtInstanceGuard(const QString& programFolder)
    : lockPath_(lockFilePathFor(programFolder)) {}

QString QtInstanceGuard::lockFilePathFor(const QString& programFolder) {
    // The same folder reached by another spelling (trailing separator,
    // "..", a symbolic link) must give the same lock.
    QString folder = QFileInfo(programFolder).canonicalFilePath();
    if (folder.isEmpty()) folder = QDir::cleanPath(QDir(programFolder).absolutePath());
    const QByteArray hash =
        QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    return QDir(QDir::tempPath()).filePath(QStringLiteral("trivorn-%1.lock").arg(QString::fromLatin1(hash)));
}

bool QtInstanceGuard::claim() {
    if (lock_ && lock_->isLocked()) return true;
    lock_ = std::make_unique<QLockFile>(lockPath_);
    // A living owner holds its lock however old the file is; only a lock
    // whose process has gone counts as stale.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) return true;
    // tryLock already removes a lock of a dead process on this host and
    // retries; what is left is held by a running copy (or cannot be made).
    lock_.reset();
    return false;
}
