#include "platform/qt/LocalDataFiles.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include "platform/qt/Charset.h"

namespace {
constexpr QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
}  // namespace

LocalDataFiles::LocalDataFiles(const QString& folder, std::set<std::string> privateNames)
    : folder_(folder), privateNames_(std::move(privateNames)) {}

bool LocalDataFiles::isPrivate(const QString& path) const {
    return privateNames_.count(QFileInfo(path).fileName().toStdString()) > 0;
}

LocalDataFiles::~LocalDataFiles() { close(); }

QString LocalDataFiles::pathFor(const std::string& name) const {
    if (name.empty()) return {};
    // '/' and NUL never occur inside a Shift_JIS character, so a byte test is exact.
    if (name.find('/') != std::string::npos || name.find('\0') != std::string::npos) return {};

    QStringDecoder decode("Windows-31J", QStringConverter::Flag::Stateless);
    if (!decode.isValid()) return {};
    const QString decoded = decode(QByteArrayView(name.data(), qsizetype(name.size())));
    if (decode.hasError()) return {};
    // Checked on the decoded text: byte 0x5C is the trail of many two-byte
    // characters (ソ is 83 5C), and only a standalone one is a separator.
    // ':' would name a drive or a stream on some systems.
    if (decoded.contains(u'\\') || decoded.contains(u'/') || decoded.contains(u':') ||
        decoded.contains(QChar(0)) || decoded.contains(QChar::ReplacementCharacter))
        return {};
    if (decoded == u"." || decoded.startsWith(u".."))   // "." and ".." name folders
        return {};
    return QDir(folder_).filePath(decoded);
}

bool LocalDataFiles::open(const std::string& name, Mode mode) {
    close();
    const QString path = pathFor(name);
    if (path.isEmpty()) return false;
    auto file = std::make_unique<QFile>(path);
    // ReadWrite creates a missing file, empty; ReadOnly fails on one.
    const QIODevice::OpenMode how = mode == Mode::ReadWrite ? QIODevice::ReadWrite : QIODevice::ReadOnly;
    if (!file->open(how)) return false;
    // Made empty here, it holds nothing yet; from now on only its owner may read it.
    if (mode == Mode::ReadWrite && isPrivate(path) && !file->setPermissions(kOwnerOnly)) return false;
    file_ = std::move(file);
    mode_ = mode;
    return true;
}

std::optional<std::string> LocalDataFiles::readRecord() {
    if (!file_) return std::nullopt;
    if (!file_->seek(0)) return std::nullopt;
    const QByteArray bytes = file_->readAll();
    if (file_->error() != QFileDevice::NoError) return std::nullopt;
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

bool LocalDataFiles::writeRecord(const std::string& record) {
    if (!file_ || mode_ != Mode::ReadWrite) return false;

    // Files never shorten: what the old file holds beyond the new record stays.
    if (!file_->seek(0)) return false;
    QByteArray content = file_->readAll();
    if (file_->error() != QFileDevice::NoError) return false;
    const auto recordSize = qsizetype(record.size());
    if (content.size() < recordSize) content.resize(recordSize);
    content.replace(0, recordSize, QByteArrayView(record.data(), recordSize));

    const QString path = file_->fileName();
    // The handle would keep the replaced file alive (or block the rename on
    // some systems); it is opened again on the new file below.
    file_->close();
    file_.reset();

    QSaveFile save(path);
    save.setDirectWriteFallback(false);   // a failed rename must not fall back to writing in place
    // The buffered bytes reach the disk in flush(); commit() has been seen to
    // rename a temporary file cut short by a full disk and still report
    // success, so the flush is checked here and a failed one never commits.
    // The temporary file takes the old file's mode; a private one is made
    // owner-only before the first byte goes in.
    bool stored = save.open(QIODevice::WriteOnly) && (!isPrivate(path) || save.setPermissions(kOwnerOnly)) &&
                  save.write(content) == content.size() && save.flush() && save.error() == QFileDevice::NoError;
    if (stored)
        stored = save.commit();
    else
        save.cancelWriting();

    auto reopened = std::make_unique<QFile>(path);
    if (reopened->open(QIODevice::ReadWrite)) file_ = std::move(reopened);
    return stored;
}

void LocalDataFiles::close() {
    if (file_) file_->close();
    file_.reset();
}

bool LocalDataFiles::isOpen() const { return file_ != nullptr; }

bool LocalDataFiles::appendLine(const std::string& name, const std::string& line) {
    const QString path = pathFor(name);
    if (path.isEmpty()) return false;
    QFile log(path);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append)) return false;
    const QByteArray utf8 = (Charset::toQt(line) + u'\n').toUtf8();
    return log.write(utf8) == utf8.size() && log.flush();
}
