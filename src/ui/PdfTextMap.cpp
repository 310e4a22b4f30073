#include "ui/PdfTextMap.h"

#include <QList>
#include <QRegularExpression>
#include <QString>

namespace {

// The radicals' blocks: CJK Radicals Supplement and Kangxi Radicals.
bool isRadical(uint c) { return c >= 0x2E80 && c <= 0x2FDF; }

// Rewrites the four hex digits at `at` when they name a radical that stands
// for one ideograph of the basic plane.
void toIdeograph(QByteArray& pdf, qsizetype at) {
    bool ok = false;
    const uint c = QByteArray(pdf.constData() + at, 4).toUInt(&ok, 16);
    if (!ok || !isRadical(c)) return;
    const QString ideograph = QString(QChar(char16_t(c))).normalized(QString::NormalizationForm_KC);
    if (ideograph.size() != 1 || ideograph[0].unicode() == c) return;
    const QByteArray hex = QByteArray::number(ideograph[0].unicode(), 16).toUpper().rightJustified(4, '0');
    pdf.replace(at, 4, hex);
}

}  // namespace

QByteArray withIdeographsInTextMaps(QByteArray pdf) {
    static const QRegularExpression token(QStringLiteral("<([0-9A-Fa-f]{4})>"));
    for (qsizetype from = pdf.indexOf("begincmap"); from >= 0; from = pdf.indexOf("begincmap", from)) {
        const qsizetype end = pdf.indexOf("endcmap", from);
        if (end < 0) break;
        bool ranges = false;
        // Line by line: "<glyph> <char>" in a bfchar block, "<first> <last>
        // [<char> …]" or "<first> <last> <char>" in a bfrange block. Only
        // characters are rewritten; a range of several glyphs counts up from
        // its character and is left alone.
        for (qsizetype line = from; line < end;) {
            qsizetype next = pdf.indexOf('\n', line);
            if (next < 0 || next > end) next = end;
            const QByteArray text = pdf.mid(line, next - line);
            if (text.contains("beginbfrange")) ranges = true;
            if (text.contains("beginbfchar")) ranges = false;
            QList<qsizetype> at;
            QList<uint> values;
            for (auto m = token.globalMatch(QString::fromLatin1(text)); m.hasNext();) {
                const auto match = m.next();
                at << line + match.capturedStart(1);
                values << match.captured(1).toUInt(nullptr, 16);
            }
            const bool array = text.contains('[');
            if (!ranges && at.size() == 2) toIdeograph(pdf, at[1]);
            if (ranges && array)
                for (qsizetype i = 2; i < at.size(); ++i) toIdeograph(pdf, at[i]);
            if (ranges && !array && at.size() == 3 && values[0] == values[1]) toIdeograph(pdf, at[2]);
            line = next + 1;
        }
        from = end;
    }
    return pdf;
}
