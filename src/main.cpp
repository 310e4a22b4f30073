#include <QApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <iterator>

#include "model/FileNames.h"
#include "model/Module1.h"
#include "platform/qt/Charset.h"
#include "platform/qt/DataFolder.h"
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
#include "ui/ProgramIdentity.h"

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
    const DataFolderChoice data = chooseDataFolder(currentFolderFacts(options.folder));
    if (options.help) {
        print(stdout, startOptionsHelp(data.path));
        return 0;
    }
    if (!options.error.isEmpty()) {
        print(stderr, options.error + u'\n' + startOptionsHelp(data.path));
        return 2;
    }
    // A folder named on the command line that is not there is refused rather
    // than made, so that a mistyped name cannot open an empty round; the
    // user's own data folder is made on first start.
    if (data.source == DataFolderChoice::Source::Option && !QFileInfo(data.path).isDir()) {
        print(stderr, QStringLiteral("--folder %1: フォルダがありません / no such folder\n").arg(options.folder));
        return 2;
    }
    if (data.source == DataFolderChoice::Source::UserData && !makeUserDataFolder(data.path)) {
        print(stderr, QStringLiteral("%1: フォルダを作れません / cannot make the folder\n").arg(data.path));
        return 2;
    }
    // As the rest of the program expects it: with the separator at its end.
    const QString folder = QDir::toNativeSeparators(data.path) + QDir::separator();

    // The settings file (where the windows were left) is then
    // ~/.config/TRIVORN/trivorn.conf.
    QCoreApplication::setOrganizationName(QStringLiteral("TRIVORN"));
    QCoreApplication::setApplicationName(QStringLiteral("trivorn"));
    QApplication app(argc, argv);
    presentProgram(app);

    // A second copy started on the same folder ends at once, before it shows
    // any window; the first keeps running undisturbed.
    QtInstanceGuard guard(folder);
    if (!guard.claim()) return 0;

    LocalDataFiles files(folder, {std::begin(FileNames::kPrivate), std::end(FileNames::kPrivate)});
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
