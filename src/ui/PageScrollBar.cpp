#include "ui/PageScrollBar.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QSignalBlocker>

#include <algorithm>

namespace {

// Long enough to cover the rest of one turn of the wheel or one flick.
constexpr qint64 kQuietAfterMessageMs = 700;

}  // namespace

PageScrollBar::PageScrollBar(MessageBox& messages, QWidget* parent)
    : QScrollBar(Qt::Vertical, parent), messages_(messages) {
    // Emitted after the bar has worked out where the action takes it and
    // before its value changes: the one moment a move can still be undone
    // without the rows ever being replaced.
    connect(this, &QAbstractSlider::actionTriggered, this, &PageScrollBar::beforeMove);
    connect(this, &QAbstractSlider::valueChanged, this, &PageScrollBar::afterMove);
}

QList<FieldCheck> PageScrollBar::problems() const {
    QList<FieldCheck> checks = pageChecks ? pageChecks() : QList<FieldCheck>();
    checks.removeIf([](const FieldCheck& c) { return c.problem.isEmpty(); });
    return checks;
}

void PageScrollBar::beforeMove(int) {
    if (sliderPosition() == value()) return;
    const QList<FieldCheck> found = problems();
    if (found.isEmpty()) return;
    setSliderPosition(value());
    // Stopped before the message: the arrow's repeat timer would otherwise
    // raise the same refusal again, inside the message and after every OK,
    // for as long as Qt believes the button held.
    setRepeatAction(SliderNoAction);
    tell(found);
}

void PageScrollBar::afterMove(int page) {
    if (page == shownPage_) return;
    // A value set without an action - by code, or by assistive technology
    // through the bar's value - is judged once it is set, and put back
    // before the rows are replaced.
    if (const QList<FieldCheck> found = problems(); !found.isEmpty()) {
        const QSignalBlocker back(this);
        setValue(shownPage_);
        tell(found);
        return;
    }
    shownPage_ = page;
    emit pageChanged(page);
}

void PageScrollBar::tell(const QList<FieldCheck>& found) {
    if (sinceTold_.isValid() && sinceTold_.elapsed() < kQuietAfterMessageMs) return;
    noFieldProblem(messages_, found);
    sinceTold_.start();   // from the moment the message is gone
}

void PageScrollBar::takeWheelFrom(const QList<QWidget*>& rows) {
    for (QWidget* row : rows) row->installEventFilter(this);
}

bool PageScrollBar::eventFilter(QObject* watched, QEvent* event) {
    // Passed on as it came; the bar turns the page as its own wheel does,
    // a page a notch, or leaves it where the rows' check says so.
    if (event->type() == QEvent::Wheel) {
        QCoreApplication::sendEvent(this, event);
        return true;
    }
    return QScrollBar::eventFilter(watched, event);
}

void PageScrollBar::mousePressEvent(QMouseEvent* event) {
    sinceTold_.invalidate();
    QScrollBar::mousePressEvent(event);
}

void PageScrollBar::keyPressEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat()) sinceTold_.invalidate();
    QScrollBar::keyPressEvent(event);
}
