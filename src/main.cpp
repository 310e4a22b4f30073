#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

#include "model/Module1.h"
#include "platform/qt/AppFolder.h"
#include "platform/qt/Charset.h"
#include "platform/qt/LocalDataFiles.h"
#include "platform/qt/QtInstanceGuard.h"
#include "platform/qt/QtServices.h"
#include "platform/qt/StartOptions.h"
#include "ui/Form1.h"
#include "ui/Form10.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/Form4.h"
#include "ui/Form5.h"
#include "ui/Form6.h"

namespace {

void print(std::FILE* to, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), to);
}

}  // namespace

int main(int argc, char* argv[]) {
    // Read before any window system is touched: --help must work where there
    // is no display.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    const StartOptions options = parseStartOptions(arguments);
    if (options.help) {
        print(stdout, startOptionsHelp());
        return 0;
    }
    if (!options.error.isEmpty()) {
        print(stderr, options.error + u'\n' + startOptionsHelp());
        return 2;
    }
    // The data folder as the rest of the program expects it: absolute, with
    // the separator at its end. A folder that is not there is refused rather
    // than made, so that a mistyped name cannot open an empty round.
    QString folder;
    if (!options.folder.isEmpty()) {
        const QFileInfo info(options.folder);
        if (!info.isDir()) {
            print(stderr, QStringLiteral("--folder %1: フォルダがありません / no such folder\n").arg(options.folder));
            return 2;
        }
        folder = QDir::toNativeSeparators(info.absoluteFilePath()) + QDir::separator();
    }

    // The settings file (where the windows were left) is then
    // ~/.config/TRIVORN/trivorn.conf.
    QCoreApplication::setOrganizationName(QStringLiteral("TRIVORN"));
    QCoreApplication::setApplicationName(QStringLiteral("trivorn"));
    QApplication app(argc, argv);
    if (folder.isEmpty()) folder = appFolderPath();

    // A second copy started on the same folder ends at once, before it shows
    // any window; the first keeps running undisturbed.
    QtInstanceGuard guard(folder);
    if (!guard.claim()) return 0;

    LocalDataFiles files(folder);
    const std::string sjisFolder = Charset::toSjis(folder);
    QtServices services(files, sjisFolder, options.speed);
    Module1 module1(services.platform);

    Form1 form1(module1, [sjisFolder] { return sjisFolder; });
    // Editor windows: form1.setEditorFactory(<button>, [&] { return new FormN(...); });
    form1.setEditorFactory(1, [&] { return new Form2(module1); });
    form1.setEditorFactory(2, [&] { return new Form3(module1); });
    form1.setEditorFactory(3, [&] { return new Form4(module1); });
    form1.setEditorFactory(4, [&] { return new Form5(module1); });
    form1.setEditorFactory(5, [&] { return new Form6(module1); });
    form1.setEditorFactory(7, [&] { return new Form10(module1); });

    form1.show();
    return app.exec();
}
