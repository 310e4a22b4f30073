#include "ui/Widgets.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

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

namespace {

constexpr const char* kLooksReadOnly = "trvLooksReadOnly";

// Keeps one box's look and Tab stop in step with its read-only flag. Only the
// background role is touched, so the red of a past round (the text roles,
// set on the same palette) stays as it is.
class ReadOnlyLook : public QObject {
public:
    ReadOnlyLook(QWidget* box, bool (*readOnly)(const QWidget*), bool tabWhenReadOnly)
        : QObject(box), box_(box), readOnly_(readOnly), tabWhenReadOnly_(tabWhenReadOnly),
          editableFocus_(box->focusPolicy()) {
        box->installEventFilter(this);
        apply();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::ReadOnlyChange || event->type() == QEvent::ApplicationPaletteChange) apply();
        return false;
    }

private:
    void apply() {
        const bool ro = readOnly_(box_);
        const QPalette desktop = QApplication::palette(box_);
        QPalette palette = box_->palette();
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            palette.setColor(group, QPalette::Base, desktop.color(group, ro ? QPalette::Window : QPalette::Base));
        box_->setPalette(palette);
        box_->setProperty(kLooksReadOnly, ro);
        Qt::FocusPolicy focus = editableFocus_;
        if (ro && !tabWhenReadOnly_ && (focus & Qt::TabFocus)) focus = Qt::ClickFocus;
        box_->setFocusPolicy(focus);
    }

    QWidget* box_;
    bool (*readOnly_)(const QWidget*);
    bool tabWhenReadOnly_;
    Qt::FocusPolicy editableFocus_;
};

}  // namespace

void followReadOnly(QLineEdit* box) {
    new ReadOnlyLook(box, [](const QWidget* w) { return static_cast<const QLineEdit*>(w)->isReadOnly(); }, false);
}

void followReadOnly(QPlainTextEdit* box) {
    new ReadOnlyLook(box, [](const QWidget* w) { return static_cast<const QPlainTextEdit*>(w)->isReadOnly(); }, true);
}

bool looksReadOnly(const QWidget* box) {
    return box->property(kLooksReadOnly).toBool() &&
           box->palette().color(QPalette::Base) == QApplication::palette(box).color(QPalette::Window);
}

namespace {

class PageBarLook : public QObject {
public:
    explicit PageBarLook(QScrollBar* bar) : QObject(bar), bar_(bar) {
        bar->installEventFilter(this);
        apply();
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::ApplicationPaletteChange) apply();
        return false;
    }

private:
    void apply() {
        const QPalette desktop = QApplication::palette(bar_);
        QPalette palette = bar_->palette();
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            palette.setColor(group, QPalette::Window, desktop.color(group, QPalette::WindowText));
        bar_->setPalette(palette);
    }

    QScrollBar* bar_;
};

}  // namespace

void makePageScrollBar(QScrollBar* bar) {
    bar->setFocusPolicy(Qt::StrongFocus);
    bar->setAutoFillBackground(false);
    new PageBarLook(bar);
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
