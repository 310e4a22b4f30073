#include "ui/Form5ComboLock.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QObject>

#include "platform/qt/Charset.h"

namespace {
constexpr const char* kLockedProperty = "trvLocked";

// Swallows whatever would open the list or step through it while the box is
// locked. Typing is stopped by the line edit's read-only flag instead, so the
// text can still be selected and copied.
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
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            return key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp ||
                   key == Qt::Key_PageDown || key == Qt::Key_Home || key == Qt::Key_End ||
                   key == Qt::Key_F4 || key == Qt::Key_Space;
        }
        default:
            return false;
        }
    }
};
}  // namespace

void setComboLocked(QComboBox* box, bool locked) {
    if (!box->property("trvLockFilter").toBool()) {
        box->installEventFilter(new ComboLockFilter(box));
        box->setProperty("trvLockFilter", true);
    }
    box->setProperty(kLockedProperty, locked);
    if (locked) box->hidePopup();
    if (QLineEdit* edit = box->lineEdit()) edit->setReadOnly(locked);
}

bool isComboLocked(const QComboBox* box) { return box->property(kLockedProperty).toBool(); }

void setComboText(QComboBox* box, const SjisText& text) {
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
