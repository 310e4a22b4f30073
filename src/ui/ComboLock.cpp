#include "ui/ComboLock.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QObject>

namespace {
constexpr const char* kLockedProperty = "trvLocked";
constexpr const char* kFilterProperty = "trvLockFilter";

// Swallows whatever would open the list or step through it while the box is
// locked. Typing is stopped by the line edit's read-only flag instead, so the
// text can still be selected and copied. Space is swallowed too: a box that
// is not editable opens its list on it.
class ComboLockFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* box = qobject_cast<QComboBox*>(watched);
        if (!box || !isComboLocked(box)) return false;
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
};
}  // namespace

void setComboLocked(QComboBox* box, bool locked) {
    if (!box->property(kFilterProperty).toBool()) {
        box->installEventFilter(new ComboLockFilter(box));
        box->setProperty(kFilterProperty, true);
    }
    box->setProperty(kLockedProperty, locked);
    if (locked) box->hidePopup();
    if (QLineEdit* edit = box->lineEdit()) edit->setReadOnly(locked);
}

bool isComboLocked(const QComboBox* box) { return box->property(kLockedProperty).toBool(); }
