#include "ui/ProgramIdentity.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {

// The name of the menu entry and of its icon, as installed (dist/).
const QString kDesktopEntry = QStringLiteral("jp.trivorn.Trivorn");
const QString kIconName = QStringLiteral("trivorn");

// Qt's texts in Japanese from the catalogue its translations package
// installs (Debian: qt6-translations-l10n); without it they stay English.
void speakJapanese(QApplication& app) {
    auto* qt = new QTranslator(&app);
    if (qt->load(QLocale(QLocale::Japanese, QLocale::Japan), QStringLiteral("qt"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    else
        delete qt;
}

}  // namespace

QIcon programIcon() {
    QIcon builtIn;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        builtIn.addFile(QStringLiteral(":/trivorn/icons/%1x%1/apps/trivorn.png").arg(size), QSize(size, size));
    return QIcon::fromTheme(kIconName, builtIn);
}

void presentProgram(QApplication& app) {
    QGuiApplication::setApplicationDisplayName(QStringLiteral("TRIVORN"));
    QGuiApplication::setDesktopFileName(kDesktopEntry);
    QGuiApplication::setWindowIcon(programIcon());
    speakJapanese(app);
}
