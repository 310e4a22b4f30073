#include "ui/ValueLabel.h"

#include <QAccessible>
#include <QAccessibleWidget>

namespace {

// The label as a static text whose text interface and value are what it
// shows; the AT-SPI bridge exports the text interface as the object's text.
class AccessibleValueLabel : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit AccessibleValueLabel(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return shown();
        return QAccessibleWidget::text(t);
    }

    QString text(int startOffset, int endOffset) const override {
        const QString all = shown();
        if (endOffset < 0 || endOffset > all.size()) endOffset = int(all.size());
        if (startOffset < 0) startOffset = 0;
        return startOffset >= endOffset ? QString() : all.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(shown().size()); }
    QString attributes(int, int* startOffset, int* endOffset) const override {
        *startOffset = 0;
        *endOffset = characterCount();
        return {};
    }

    // Nothing to select or place a cursor in.
    void selection(int, int* startOffset, int* endOffset) const override { *startOffset = *endOffset = 0; }
    int selectionCount() const override { return 0; }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}

private:
    QString shown() const { return static_cast<const QLabel*>(object())->text(); }
};

QAccessibleInterface* valueLabelInterface(const QString& className, QObject* object) {
    if (className != QLatin1String(ValueLabel::staticMetaObject.className())) return nullptr;
    auto* label = qobject_cast<QLabel*>(object);
    return label ? new AccessibleValueLabel(label) : nullptr;
}

}  // namespace

ValueLabel::ValueLabel(const QString& name, QWidget* parent) : QLabel(parent) {
    // Qt keeps each factory once however often it is installed.
    QAccessible::installFactory(valueLabelInterface);
    setAccessibleName(name);
    setTextInteractionFlags(Qt::TextSelectableByMouse);
}
