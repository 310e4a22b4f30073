#include "ui/Widgets.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

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

void setTextIfChanged(QPlainTextEdit* box, const SjisText& text) {
    const QString shown = Charset::toQtMultiLine(text);
    if (box->toPlainText() != shown) box->setPlainText(shown);
}

SjisText textOf(const QComboBox* box) {
    return Charset::toSjis(box->currentText());
}

void setText(QComboBox* box, const SjisText& text) {
    const QString shown = Charset::toQt(text);
    const int index = box->findText(shown, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (index >= 0 && index != box->currentIndex()) box->setCurrentIndex(index);
    box->setEditText(shown);
}

void makeTypedTextNoChoice(QComboBox* box) {
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
    // The box itself listens to its line edit finishing and, when the text
    // matches an entry, reports that entry as chosen; cut that link.
    QObject::disconnect(box->lineEdit(), &QLineEdit::editingFinished, box, nullptr);
}

SjisText textOf(const QLabel* label) {
    return Charset::toSjis(label->text());
}

void setText(QLabel* label, const SjisText& text) {
    label->setText(Charset::toQt(text));
}

QLabel* captionLabel(const QString& text, QWidget* parent, QWidget* buddy) {
    auto* label = new QLabel(text, parent);
    label->setAccessibleName(text);
    if (buddy) label->setBuddy(buddy);
    return label;
}

QFrame* frameLine(QFrame::Shape shape, QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(shape);
    line->setFrameShadow(QFrame::Plain);
    line->setAccessibleName(QString::fromUtf8("枠線"));
    return line;
}

void makeHeading(QLabel* label) {
    QFont big = label->font();
    big.setPointSizeF(big.pointSizeF() * 1.4);
    big.setBold(true);
    label->setFont(big);
}

void makeNumberBox(QLineEdit* box) {
    box->setFixedWidth(kNumberBoxWidth);
    box->setAlignment(Qt::AlignRight);
}

void makeNumberBox(QComboBox* box) {
    box->setFixedWidth(kNumberBoxWidth);
    if (QLineEdit* edit = box->lineEdit()) edit->setAlignment(Qt::AlignRight);
}

QHBoxLayout* buttonRow(std::initializer_list<QPushButton*> buttons) {
    auto* row = new QHBoxLayout;
    row->addStretch();
    for (QPushButton* b : buttons) row->addWidget(b);
    return row;
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

void nameComboBox(QComboBox* box, const QString& name) {
    box->setAccessibleName(name);
    box->view()->setAccessibleName(name);
    if (QWidget* popup = box->view()->parentWidget()) popup->setAccessibleName(name);
}

std::string shownValues(std::initializer_list<const QWidget*> boxes) {
    QString image;
    for (const QWidget* w : boxes) {
        if (auto* line = qobject_cast<const QLineEdit*>(w)) image += line->text();
        else if (auto* area = qobject_cast<const QPlainTextEdit*>(w)) image += area->toPlainText();
        else if (auto* combo = qobject_cast<const QComboBox*>(w)) image += combo->currentText();
        else if (auto* check = qobject_cast<const QCheckBox*>(w)) image += check->isChecked() ? u'1' : u'0';
        // A separator no box can hold, so moving text between boxes shows.
        image += QChar(0);
    }
    return image.toStdString();
}
