#include "ui/PageScrollBar.h"

#include <QKeyEvent>
#include <algorithm>
#include <QMouseEvent>

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
}

void PageScrollBar::beforeMove(int) {
    if (sliderPosition() == value() || !pageChecks) return;
    const QList<FieldCheck> checks = pageChecks();
    const bool refused = std::any_of(checks.begin(), checks.end(), [](const FieldCheck& c) { return !c.problem.isEmpty(); });
    if (!refused) return;
    setSliderPosition(value());
    // The arrow's repeat timer would otherwise raise the same refusal again
    // after every message, for as long as Qt believes the button held.
    setRepeatAction(SliderNoAction);
    if (sinceTold_.isValid() && sinceTold_.elapsed() < kQuietAfterMessageMs) return;
    noFieldProblem(messages_, checks);
    sinceTold_.start();   // from the moment the message is gone
}

void PageScrollBar::mousePressEvent(QMouseEvent* event) {
    sinceTold_.invalidate();
    QScrollBar::mousePressEvent(event);
}

void PageScrollBar::keyPressEvent(QKeyEvent* event) {
    if (!event->isAutoRepeat()) sinceTold_.invalidate();
    QScrollBar::keyPressEvent(event);
}
