#include "platform/qt/Charset.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <optional>
#include <string_view>

// Qt reaches Windows-31J through ICU, whose table agrees with Windows for
// every double-byte code but swaps three control codes (bytes 1A, 1C, 7F
// stand for U+001C, U+007F, U+001A there). Windows maps them to themselves,
// so those three are converted here by hand and everything between them by
// the codec.

namespace {

constexpr const char* kCodec = "Windows-31J";

bool isSwappedControl(char16_t c) {
    return c == 0x1A || c == 0x1C || c == 0x7F;
}

// Code points that JIS-based input methods and converters produce where
// Windows-31J has a twin, and the two that Windows folds onto ASCII. Without
// this a wave dash typed through such an input method would turn into "?".
char16_t windowsTwin(char16_t c) {
    switch (c) {
    case 0x301C: return 0xFF5E;   // WAVE DASH -> FULLWIDTH TILDE (81 60)
    case 0x2016: return 0x2225;   // DOUBLE VERTICAL LINE -> PARALLEL TO (81 61)
    case 0x2212: return 0xFF0D;   // MINUS SIGN -> FULLWIDTH HYPHEN-MINUS (81 7C)
    case 0x00A2: return 0xFFE0;   // CENT SIGN (81 91)
    case 0x00A3: return 0xFFE1;   // POUND SIGN (81 92)
    case 0x00AC: return 0xFFE2;   // NOT SIGN (81 CA)
    case 0x2014: return 0x2015;   // EM DASH -> HORIZONTAL BAR (81 5C)
    case 0x00A5: return 0x005C;   // YEN SIGN -> 5C, shown as a yen sign in Japanese fonts
    case 0x203E: return 0x007E;   // OVERLINE -> 7E
    default: return c;
    }
}

QString decoded(const char* bytes, qsizetype length) {
    QStringDecoder decoder(kCodec, QStringConverter::Flag::Stateless);
    return decoder.decode(QByteArrayView(bytes, length));
}

void appendDecoded(QString& out, const char* bytes, qsizetype length) {
    if (length > 0) out += decoded(bytes, length);
}

// The bytes of `text` when every character of it has a Windows-31J code
// that decodes back to the same character. The codec alone is not enough:
// it marks what it cannot represent with bytes of its own, silently drops
// an unpaired surrogate, and knows a few one-way fallbacks (a soft hyphen
// as a hyphen) that are no part of the Windows table.
std::optional<QByteArray> exactBytes(QStringView text) {
    QStringEncoder encoder(kCodec, QStringConverter::Flag::Stateless);
    QByteArray encoded = encoder.encode(text);
    if (encoder.hasError()) return std::nullopt;
    if (decoded(encoded.constData(), encoded.size()) != text) return std::nullopt;
    return encoded;
}

void appendEncoded(SjisText& out, QStringView text, std::string_view replacement) {
    if (text.isEmpty()) return;
    if (auto whole = exactBytes(text)) {
        out.append(whole->constData(), std::size_t(whole->size()));
        return;
    }
    // Something in the run has no code: go character by character.
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype width = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate() ? 2 : 1;
        if (auto one = exactBytes(text.mid(i, width)))
            out.append(one->constData(), std::size_t(one->size()));
        else
            out += replacement;
        i += width;
    }
}

// Shift_JIS bytes of `text`, every character folded to its Windows twin;
// `replacement` stands for each character that has no code.
SjisText encodeFolded(const QString& text, std::string_view replacement) {
    QString folded = text;
    for (QChar& c : folded) c = QChar(windowsTwin(c.unicode()));

    SjisText out;
    out.reserve(std::size_t(folded.size()) * 2);
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < folded.size(); ++i) {
        const char16_t c = folded[i].unicode();
        if (!isSwappedControl(c)) continue;
        appendEncoded(out, QStringView(folded).mid(runStart, i - runStart), replacement);
        out += char(c);
        runStart = i + 1;
    }
    appendEncoded(out, QStringView(folded).mid(runStart), replacement);
    return out;
}

}  // namespace

namespace Charset {

QString toQt(const SjisText& bytes) {
    QString out;
    out.reserve(qsizetype(bytes.size()));
    const char* data = bytes.data();
    const std::size_t n = bytes.size();
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < n;) {
        const auto b = static_cast<unsigned char>(data[i]);
        if (isSjisLeadByte(b)) {
            if (i + 1 < n && isSjisTrailByte(static_cast<unsigned char>(data[i + 1]))) {
                i += 2;
                continue;
            }
            // A lead byte without its partner (cut off at the end, or
            // followed by a byte that cannot be a trail) shows as a
            // replacement; the codec would drop it at the end unseen.
            appendDecoded(out, data + runStart, qsizetype(i - runStart));
            out += QChar(QChar::ReplacementCharacter);
            runStart = ++i;
            continue;
        }
        if (isSwappedControl(b)) {
            appendDecoded(out, data + runStart, qsizetype(i - runStart));
            out += QChar(char16_t(b));
            runStart = i + 1;
        }
        ++i;
    }
    appendDecoded(out, data + runStart, qsizetype(n - runStart));
    return out;
}

SjisText toSjis(const QString& text) {
    return encodeFolded(text, "?");
}

std::optional<SjisText> fromCharset(const QByteArray& charset, QByteArrayView bytes) {
    // The default flags drop a byte-order mark at the start, as a UTF-8 text
    // from some mailers carries one.
    QStringDecoder decoder(charset.constData());
    if (!decoder.isValid()) return std::nullopt;
    return encodeFolded(decoder.decode(bytes), "\x81\xac");   // 〓
}

QString firstUnsendable(const QString& text) {
    QString folded = text;
    for (QChar& c : folded) c = QChar(windowsTwin(c.unicode()));
    // Whole runs first, as toSjis() encodes them; only a run that fails is
    // walked character by character.
    auto scan = [&](qsizetype from, qsizetype to) -> QString {
        const QStringView run = QStringView(folded).mid(from, to - from);
        if (run.isEmpty() || exactBytes(run)) return {};
        for (qsizetype i = from; i < to;) {
            const qsizetype width = folded[i].isHighSurrogate() && i + 1 < to && folded[i + 1].isLowSurrogate() ? 2 : 1;
            if (!exactBytes(QStringView(folded).mid(i, width))) return text.mid(i, width);
            i += width;
        }
        return {};
    };
    qsizetype runStart = 0;
    for (qsizetype i = 0; i < folded.size(); ++i) {
        if (!isSwappedControl(folded[i].unicode())) continue;
        if (QString bad = scan(runStart, i); !bad.isEmpty()) return bad;
        runStart = i + 1;
    }
    return scan(runStart, folded.size());
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
