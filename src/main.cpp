#include <QApplication>

#include "model/Module1.h"
#include "platform/qt/AppFolder.h"
#include "platform/qt/LocalDataFiles.h"
#include "platform/qt/QtInstanceGuard.h"
#include "platform/qt/QtServices.h"
#include "ui/Form1.h"
#include "ui/Form10.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/Form4.h"
#include "ui/Form5.h"
#include "ui/Form6.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);

    // A second copy started from the same folder ends at once, before it
    // shows any window; the first keeps running undisturbed.
    QtInstanceGuard guard(QCoreApplication::applicationDirPath());
    if (!guard.claim()) return 0;

    LocalDataFiles files(QCoreApplication::applicationDirPath());
    QtServices services(files, AppFolder());
    Module1 module1(services.platform);

    Form1 form1(module1);
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
