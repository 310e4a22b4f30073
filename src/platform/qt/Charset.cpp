#include "platform/qt/Charset.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace {

constexpr const char* kCodec = "Windows-31J";

bool isLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

// Code points that JIS-mapped sources use where Windows-31J has a
// compatibility twin. Without this a wave dash typed through such an input
// method would turn into "?".
char16_t windowsTwin(char16_t c) {
    switch (c) {
    case 0x301C: return 0xFF5E;   // WAVE DASH -> FULLWIDTH TILDE (81 60)
    case 0x2016: return 0x2225;   // DOUBLE VERTICAL LINE -> PARALLEL TO (81 61)
    case 0x2212: return 0xFF0D;   // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS (81 7C)
    case 0x00A2: return 0xFFE0;   // CENT SIGN (81 91)
    case 0x00A3: return 0xFFE1;   // POUND SIGN (81 92)
    case 0x00AC: return 0xFFE2;   // NOT SIGN (81 CA)
    case 0x2014: return 0x2015;   // EM DASH -> HORIZONTAL BAR (81 5C)
    default: return c;
    }
}

// The encoder marks what it cannot represent with its own substitution
// bytes (FC FC here, no Windows-31J character). Walk the output character
// by character and put "?" there instead.
SjisText replaceSubstitutions(const QByteArray& encoded) {
    SjisText out;
    out.reserve(std::size_t(encoded.size()));
    for (qsizetype i = 0; i < encoded.size();) {
        const auto b = static_cast<unsigned char>(encoded[i]);
        if (isLeadByte(b) && i + 1 < encoded.size()) {
            const auto t = static_cast<unsigned char>(encoded[i + 1]);
            if (b == 0xFC && t == 0xFC) {
                out += '?';
            } else {
                out += char(b);
                out += char(t);
            }
            i += 2;
        } else {
            out += char(b);
            ++i;
        }
    }
    return out;
}

}  // namespace

namespace Charset {

QString toQt(const SjisText& bytes) {
    QStringDecoder decoder(kCodec, QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

SjisText toSjis(const QString& text) {
    QString folded = text;
    for (QChar& c : folded) c = QChar(windowsTwin(c.unicode()));

    QStringEncoder encoder(kCodec, QStringConverter::Flag::Stateless);
    const QByteArray encoded = encoder.encode(folded);
    if (!encoder.hasError()) return SjisText(encoded.constData(), std::size_t(encoded.size()));
    return replaceSubstitutions(encoded);
}

QString toQtMultiLine(const SjisText& bytes) {
    QString text = toQt(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QChar('\r'), QChar('\n'));
    return text;
}

SjisText toSjisMultiLine(const QString& text) {
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines.replace(QChar('\r'), QChar('\n'));
    lines.replace(QChar::ParagraphSeparator, QChar('\n'));
    lines.replace(QChar::LineSeparator, QChar('\n'));
    lines.replace(QChar('\n'), QStringLiteral("\r\n"));
    return toSjis(lines);
}

}  // namespace Charset
