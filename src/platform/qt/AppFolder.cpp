#include "platform/qt/AppFolder.h"

#include <QCoreApplication>
#include <QDir>

#include "platform/qt/Charset.h"

QString appFolderPath() {
    return QDir::toNativeSeparators(QCoreApplication::applicationDirPath()) + QDir::separator();
}

std::string AppFolder() {
    return Charset::toSjis(appFolderPath());
}
