#include "support/WindowMakers.h"

#include "ui/Form1.h"
#include "ui/Form10.h"
#include "ui/Form2.h"
#include "ui/Form3.h"
#include "ui/Form4.h"
#include "ui/Form5.h"
#include "ui/Form6.h"
#include "ui/ResultsWindow.h"

WindowMaker windowMaker(const QString& name) {
    if (name == "Form1") return [](TestWorld& w) -> QWidget* { return new Form1(w.module1, [&w] { return w.appFolder(); }); };
    if (name == "Form2") return [](TestWorld& w) -> QWidget* { return new Form2(w.module1); };
    if (name == "Form3") return [](TestWorld& w) -> QWidget* { return new Form3(w.module1); };
    if (name == "Form4") return [](TestWorld& w) -> QWidget* { return new Form4(w.module1); };
    if (name == "Form5") return [](TestWorld& w) -> QWidget* { return new Form5(w.module1); };
    if (name == "Form6") return [](TestWorld& w) -> QWidget* { return new Form6(w.module1); };
    if (name == "Form10") return [](TestWorld& w) -> QWidget* { return new Form10(w.module1); };
    if (name == "ResultsWindow")
        return [](TestWorld& w) -> QWidget* { return new ResultsWindow(w.platform, [&w] { return w.appFolder(); }); };
    return {};
}
