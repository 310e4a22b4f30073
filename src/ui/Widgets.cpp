#include "ui/Widgets.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "platform/qt/Charset.h"

SjisText textOf(const QLineEdit* box) {
    return Charset::toSjis(box->text());
}

void setText(QLineEdit* box, const SjisText& text) {
    box->setText(Charset::toQt(text));
}

SjisText textOf(const QPlainTextEdit* box) {
    return Charset::toSjisMultiLine(box->toPlainText());
}

void setText(QPlainTextEdit* box, const SjisText& text) {
    box->setPlainText(Charset::toQtMultiLine(text));
}

SjisText textOf(const QComboBox* box) {
    return Charset::toSjis(box->currentText());
}

void setText(QComboBox* box, const SjisText& text) {
    if (box->isEditable())
        box->setEditText(Charset::toQt(text));
    else
        box->setCurrentText(Charset::toQt(text));
}

SjisText textOf(const QLabel* label) {
    return Charset::toSjis(label->text());
}

void setText(QLabel* label, const SjisText& text) {
    label->setText(Charset::toQt(text));
}

void setPastRoundColour(QWidget* widget, bool past) {
    QPalette palette = widget->palette();
    const QPalette normal = QApplication::palette(widget);
    for (auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        palette.setColor(role, past ? QColor(255, 0, 0) : normal.color(role));
    widget->setPalette(palette);
}

bool hasPastRoundColour(const QWidget* widget) {
    return widget->palette().color(QPalette::Text) == QColor(255, 0, 0);
}
