#pragma once
#include <string>

// Every text inside the system is Shift_JIS (Windows-31J) bytes: records, mail,
// comparisons and byte counts all work on these bytes. Widgets show Unicode; the
// two meet only in platform/qt/Charset.
using SjisText = std::string;
