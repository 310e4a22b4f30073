#include "support/TestWorld.h"

#include <QDir>
#include <QFile>

#include "platform/qt/Charset.h"
#include "platform/qt/QtServices.h"

SjisText sjis(const char* utf8) {
    return Charset::toSjis(QString::fromUtf8(utf8));
}

SjisText sjis(const QString& text) {
    return Charset::toSjis(text);
}

QString fromSjis(const SjisText& bytes) {
    return Charset::toQt(bytes);
}

TestWorld::TestWorld()
    : files(dir.path()),
      platform(makeQtPlatform(eventLoop, clock, files, messageBox, appFolder())),
      module1(platform) {
    // The same greeting on every machine, whatever its own name.
    platform.hostName = [] { return std::string(kHostName); };
    platform.keyring = &keyring;
}

std::string TestWorld::appFolder() const {
    return Charset::toSjis(QDir::toNativeSeparators(dir.path()) + QDir::separator());
}

bool TestWorld::exists(const QString& name) const {
    return QFile::exists(filePath(name));
}

QByteArray TestWorld::readFile(const QString& name) const {
    QFile f(filePath(name));
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

void TestWorld::writeFile(const QString& name, const QByteArray& bytes) const {
    QFile f(filePath(name));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
}

void TestWorld::removeFile(const QString& name) const {
    QFile::remove(filePath(name));
}
