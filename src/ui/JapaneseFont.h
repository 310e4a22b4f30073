#pragma once
#include <QFont>
#include <QString>

// A font family that draws Japanese and Latin letters and digits alike, with
// a bold face of its own. The desktop's default sans face often has no
// Japanese and leaves it to a fallback face: a line such as "40点" then
// comes out in two fonts, and a bold line in a fallback of whatever weight
// it has. `base`'s family where it is such a family already, else a Gothic
// (sans-serif) one made for Japanese, else any with Japanese; `base`'s own
// where the system has none.
QString japaneseFamily(const QFont& base);
