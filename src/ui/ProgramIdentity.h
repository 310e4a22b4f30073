#pragma once
#include <QIcon>

class QApplication;

// What the desktop and the operator see of the program as a whole, set once
// right after the application is made: its name after every window's title
// ("メニュー — TRIVORN"), the menu entry its windows belong to (so docks and
// task switchers put them under it), its icon, and Qt's own dialogs and
// menus ("Look in", "Cancel", a box's Copy and Paste) in Japanese like every
// other text of the program, whatever the system's language.
void presentProgram(QApplication& app);

// The program's icon: the one the installed icon theme has, so that the
// windows show what the menu shows; the one built into the program where no
// theme has it.
QIcon programIcon();
