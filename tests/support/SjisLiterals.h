#pragma once
// Expected texts are written in UTF-8 in the test source and turned into the
// system's Shift_JIS bytes by Qt's own Windows-31J codec, so that a test does
// not lean on the program's converter or on the byte literals under test.
#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include "platform/SjisText.h"

inline SjisText sj(const QString& text) {
    QStringEncoder enc("Windows-31J");
    const QByteArray b = enc.encode(text);
    return SjisText(b.constData(), std::size_t(b.size()));
}

inline QString un(const SjisText& bytes) {
    QStringDecoder dec("Windows-31J");
    return dec.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}
