#pragma once
#include <QByteArray>

// Qt's PDF writer says which character each glyph stands for (the font's
// ToUnicode map) by reading the font's character map backwards and taking
// the lowest code point that maps to the glyph. A Japanese font draws an
// ideograph and the Kangxi radical it looks like with one glyph (大 and ⼤,
// 田 and ⽥ in Noto Sans CJK), so names and titles copied, searched or read
// aloud from such a PDF came out as radicals. This gives those glyphs their
// ideographs back. Each entry keeps its length, so the file's offsets hold.
QByteArray withIdeographsInTextMaps(QByteArray pdf);
