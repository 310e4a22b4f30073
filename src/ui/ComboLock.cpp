#include "ui/ComboLock.h"

#include <QComboBox>
#include <QEvent>
#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QObject>
#include <QTimer>

namespace {
constexpr const char* kLockedProperty = "trvLocked";
constexpr const char* kFilterProperty = "trvLockFilter";

// Swallows whatever would open the list or step through it while the box is
// locked. Typing is stopped by the line edit's read-only flag instead, so the
// text can still be selected and copied. Space is swallowed too: a box that
// is not editable opens its list on it.
class ComboLockFilter : public QObject {
public:

    explicit ComboLockFilter(QComboBox* box) : QObject(box), box_(box) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!isComboLocked(box_)) return false;
        // Assistive technology opens the list through showPopup() itself,
        // not through any event of the box: the list is closed again as soon
        // as it shows.
        if (watched != box_) {
            if (event->type() == QEvent::Show) QTimer::singleShot(0, box_, &QComboBox::hidePopup);
            return false;
        }
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
            return true;
        case QEvent::KeyPress:
            switch (static_cast<QKeyEvent*>(event)->key()) {
            case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_PageUp: case Qt::Key_PageDown:
            case Qt::Key_Home: case Qt::Key_End: case Qt::Key_F4: case Qt::Key_Space:
                return true;
            default:
                return false;
            }
        default:
            return false;
        }
    }

private:
    QComboBox* box_;
};
}  // namespace

void setComboLocked(QComboBox* box, bool locked) {
    if (!box->property(kFilterProperty).toBool()) {
        auto* filter = new ComboLockFilter(box);
        box->installEventFilter(filter);
        box->view()->window()->installEventFilter(filter);   // the list's pop-up
        box->setProperty(kFilterProperty, true);
    }
    box->setProperty(kLockedProperty, locked);
    // Should the list show for a moment all the same, no entry of it can be
    // chosen, by a click or by an accessibility action on the entry.
    box->view()->setEnabled(!locked);
    if (locked) box->hidePopup();
    if (QLineEdit* edit = box->lineEdit()) edit->setReadOnly(locked);
}

bool isComboLocked(const QComboBox* box) { return box->property(kLockedProperty).toBool(); }
