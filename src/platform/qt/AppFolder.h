#pragma once
#include <QString>
#include <string>

// The program's own folder followed by the native separator.
QString appFolderPath();
// The same as system text (Shift_JIS), as the rest of the program keeps it.
std::string AppFolder();
