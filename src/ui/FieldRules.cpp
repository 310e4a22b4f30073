#include "ui/FieldRules.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVariant>

#include "platform/MessageBox.h"
#include "platform/qt/Charset.h"

namespace {

// How a character is named in a message or tooltip: itself, and its code
// point, since a character that cannot be sent often cannot be seen either.
QString describe(const QString& character) {
    const char32_t code = character.size() == 2 && character[0].isHighSurrogate()
                              ? QChar::surrogateToUcs4(character[0], character[1])
                              : character[0].unicode();
    return QStringLiteral("%1 (U+%2)").arg(character).arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
}

QString problemIn(const QString& field, const QString& shown, std::size_t bytes, std::size_t maxBytes) {
    if (const QString bad = Charset::firstUnsendable(shown); !bad.isEmpty()) return unsendableMessage(field, bad);
    if (bytes > maxBytes) return tooLongMessage(field, maxBytes, bytes);
    return {};
}

constexpr const char* kWarnedProperty = "trvUnsendableMark";

// Marks or unmarks `box` for the text it shows now. The frame is drawn by a
// style sheet of the box's own, kept apart from any the box may have had.
void mark(QWidget* box, const QString& shown) {
    const QString bad = Charset::firstUnsendable(shown);
    box->setToolTip(bad.isEmpty() ? QString() : QStringLiteral("メールで送れない文字: ") + describe(bad));
    // The style sheet only when the mark comes or goes: setting one restyles the box.
    if (box->property(kWarnedProperty).toBool() == !bad.isEmpty()) return;
    box->setProperty(kWarnedProperty, !bad.isEmpty());
    box->setStyleSheet(bad.isEmpty() ? QString() : QStringLiteral("border: 2px solid rgb(255, 0, 0);"));
}

}  // namespace

QString unsendableMessage(const QString& field, const QString& character) {
    return QStringLiteral("「%1」の文字 %2 はメールで送れません。別の文字にして下さい。").arg(field, describe(character));
}

QString tooLongMessage(const QString& field, std::size_t maxBytes, std::size_t bytes) {
    return QStringLiteral("「%1」が長すぎます。%2 バイトまでにして下さい（今は %3 バイトです）。")
        .arg(field)
        .arg(qulonglong(maxBytes))
        .arg(qulonglong(bytes));
}

QString wholeNumberMessage(const QString& field, long low, long high) {
    return QStringLiteral("「%1」には %2 から %3 までの整数を入力して下さい。").arg(field).arg(low).arg(high);
}

QString currentRoundMessage(const QString& field, long round) {
    return QStringLiteral("「%1」には今回の回数 %2 を入力して下さい。").arg(field).arg(round);
}

QString textProblem(const QLineEdit* box, std::size_t maxBytes) {
    return problemIn(box->accessibleName(), box->text(), Charset::toSjis(box->text()).size(), maxBytes);
}

QString textProblemUnlessKept(const QLineEdit* box, const SjisText& stored, std::size_t maxBytes) {
    const bool kept = Charset::toQt(stored) == box->text() && Charset::toSjis(box->text()) != stored;
    return kept ? QString() : textProblem(box, maxBytes);
}

QString textProblem(const QPlainTextEdit* box, std::size_t maxBytes) {
    const QString shown = box->toPlainText();
    return problemIn(box->accessibleName(), shown, Charset::toSjisMultiLine(shown).size(), maxBytes);
}

QString textProblem(const QComboBox* box, std::size_t maxBytes) {
    return problemIn(box->accessibleName(), box->currentText(), Charset::toSjis(box->currentText()).size(), maxBytes);
}

void tell(MessageBox& messages, const QString& text) {
    messages.showUtf8(text.toStdString());
}

bool noFieldProblem(MessageBox& messages, const QList<FieldCheck>& checks) {
    for (const FieldCheck& c : checks) {
        if (c.problem.isEmpty()) continue;
        tell(messages, c.problem);
        if (c.box) c.box->setFocus();
        return false;
    }
    return true;
}

void guardText(QLineEdit* box, int maxChars) {
    box->setMaxLength(maxChars);
    QObject::connect(box, &QLineEdit::textChanged, box, [box](const QString& text) { mark(box, text); });
    mark(box, box->text());
}

void guardText(QPlainTextEdit* box) {
    QObject::connect(box, &QPlainTextEdit::textChanged, box, [box] { mark(box, box->toPlainText()); });
    mark(box, box->toPlainText());
}

void guardText(QComboBox* box) {
    if (QLineEdit* edit = box->lineEdit()) guardText(edit);
}
