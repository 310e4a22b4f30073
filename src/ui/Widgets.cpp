#include "ui/Widgets.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QEvent>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>

#include <algorithm>

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

void makeSmallPrint(QLabel* label) {
    QFont small = label->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    label->setFont(small);
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

class ScrollPage : public QScrollArea {
public:
    explicit ScrollPage(QWidget* parent) : QScrollArea(parent) {
        // The vertical bar comes and goes with the window's height; the
        // page's width follows it (see minimumSizeHint).
        if (QWidget* holder = verticalScrollBar()->parentWidget()) holder->installEventFilter(this);
    }

    // QScrollArea asks for no more than 36 by 24 lines of text whatever it
    // holds; a window sized by that would scroll even on a large screen.
    QSize sizeHint() const override {
        if (!widget()) return QScrollArea::sizeHint();
        const int frame = 2 * frameWidth();
        return widget()->sizeHint() + QSize(frame + barWidth(), frame);
    }

    // As short as need be, but never narrower than the content beside the
    // vertical bar: a page scrolls down, not sideways as well, and its boxes
    // are not cut at the right edge.
    QSize minimumSizeHint() const override {
        const QSize least = QScrollArea::minimumSizeHint();
        if (!widget()) return least;
        const int width = widget()->minimumSizeHint().width() + 2 * frameWidth() + barWidth();
        return QSize(std::max(least.width(), width), least.height());
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show || event->type() == QEvent::Hide) updateGeometry();
        return QScrollArea::eventFilter(watched, event);
    }

private:
    int barWidth() const {
        const QScrollBar* bar = verticalScrollBar();
        return bar->isVisibleTo(this) ? bar->sizeHint().width() : 0;
    }
};

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

QScrollArea* scrollPage(QLayout* content, const QString& name, QWidget* parent) {
    auto* page = new ScrollPage(parent);
    // It stretches where its content would have.
    const Qt::Orientations grows = content->expandingDirections();
    page->setSizePolicy(grows & Qt::Horizontal ? QSizePolicy::Expanding : QSizePolicy::Preferred,
                        grows & Qt::Vertical ? QSizePolicy::Expanding : QSizePolicy::Preferred);
    page->setFrameShape(QFrame::NoFrame);
    page->setWidgetResizable(true);
    page->setFocusPolicy(Qt::NoFocus);
    auto* inner = new QWidget(page);
    content->setContentsMargins(0, 0, 0, 0);
    inner->setLayout(content);
    page->setWidget(inner);
    // The inner page is drawn by the window behind it, as the controls were
    // before they scrolled.
    inner->setAutoFillBackground(false);
    page->viewport()->setAutoFillBackground(false);
    for (QWidget* part : std::initializer_list<QWidget*>{page, page->viewport(), inner, page->verticalScrollBar(),
                                                         page->horizontalScrollBar()}) {
        part->setAccessibleName(name);
        // Scroll bars sit in containers of their own.
        if (QWidget* holder = part->parentWidget(); holder && holder != parent && holder != page)
            holder->setAccessibleName(name);
    }
    return page;
}

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
