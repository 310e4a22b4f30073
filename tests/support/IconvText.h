#pragma once
// glibc's iconv as a converter independent of the program's codecs: mail the
// way a phone writes it (ISO-2022-JP, encoded words) and what a mailbox holds
// read back.
#include <iconv.h>

#include <QByteArray>
#include <QString>

inline QByteArray iconvBytes(const QByteArray& in, const char* to, const char* from)
{
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1)) return "(iconv cannot open)";
    QByteArray src = in;
    QByteArray out(in.size() * 4 + 16, '\0');
    char* inPtr = src.data();
    size_t inLeft = size_t(src.size());
    char* outPtr = out.data();
    size_t outLeft = size_t(out.size());
    const size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    // Flush the shift state back to ASCII.
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    iconv_close(cd);
    if (r == size_t(-1)) return "(iconv failed)";
    out.truncate(out.size() - qsizetype(outLeft));
    return out;
}

// ISO-2022-JP as Unicode, JIS X 0201 Roman and half-width katakana runs too
// (the program writes both).
inline QString fromJis(const QByteArray& bytes) { return QString::fromUtf8(iconvBytes(bytes, "UTF-8", "ISO-2022-JP-3")); }

// Unicode as ISO-2022-JP.
inline QByteArray jis(const QString& text) { return iconvBytes(text.toUtf8(), "ISO-2022-JP", "UTF-8"); }

inline QByteArray encodedWord(const QString& text, const char* prefix = "=?ISO-2022-JP?B?")
{
    return QByteArray(prefix) + jis(text).toBase64() + "?=";
}
