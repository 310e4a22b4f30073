#include "ui/WindowPlacement.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QSettings>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace WindowPlacement {

QRect fitOnScreen(const QRect& frame, const QSize& minimum, const QList<QRect>& areas) {
    if (areas.isEmpty()) return frame;
    QRect area = areas.first();
    qint64 best = 0;
    for (const QRect& a : areas) {
        const QRect common = a.intersected(frame);
        const qint64 covered = qint64(common.width()) * common.height();
        if (covered > best) {
            best = covered;
            area = a;
        }
    }
    const QSize size = frame.size().boundedTo(area.size()).expandedTo(minimum);
    // Too large for the area even at its smallest: the top left stays on it,
    // where the title bar and the first controls are.
    auto along = [](int at, int length, int areaStart, int areaLength) {
        if (length >= areaLength) return areaStart;
        return std::clamp(at, areaStart, areaStart + areaLength - length);
    };
    return QRect(QPoint(along(frame.x(), size.width(), area.x(), area.width()),
                        along(frame.y(), size.height(), area.y(), area.height())),
                 size);
}

namespace {

// The frame the window system puts around the window: the real one once the
// window has been framed, never less than the allowance.
QMargins frameMargins(const QWidget* window) {
    QMargins known;
    if (const QWindow* handle = window->windowHandle()) known = handle->frameMargins();
    return QMargins(std::max(known.left(), kFrameAllowance.left()), std::max(known.top(), kFrameAllowance.top()),
                    std::max(known.right(), kFrameAllowance.right()),
                    std::max(known.bottom(), kFrameAllowance.bottom()));
}

QList<QRect> availableAreas(const QWidget* window) {
    QList<QRect> areas;
    // The window's own screen first: it is where an unplaced window opens.
    if (const QScreen* own = window->screen()) areas << own->availableGeometry();
    for (const QScreen* screen : QGuiApplication::screens())
        if (!areas.contains(screen->availableGeometry())) areas << screen->availableGeometry();
    return areas;
}

// Only a program that has named itself has a settings file of its own;
// anything else (a test, say) would write into a shared fallback file.
bool remembers() { return !QCoreApplication::organizationName().isEmpty(); }

QString groupOf(const QWidget* window) {
    return QStringLiteral("windows/") + QString::fromLatin1(window->metaObject()->className());
}

class Placement : public QObject {
public:
    explicit Placement(QWidget* window) : QObject(window), window_(window) { window->installEventFilter(this); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != window_) return false;
        if (event->type() == QEvent::Show && !placed_) {
            placed_ = true;
            restore();
        } else if (event->type() == QEvent::Hide && !event->spontaneous()) {
            // A spontaneous hide is the window being minimised: not a place.
            save();
        }
        return false;
    }

private:
    void restore() {
        const QMargins margins = frameMargins(window_);
        // The size the window's own code gave it, or else the size its
        // layout asks for.
        QSize size = window_->testAttribute(Qt::WA_Resized) ? window_->size() : window_->sizeHint();
        size = size.expandedTo(window_->minimumSize());
        QPoint at = window_->pos();
        bool saved = false;
        if (remembers()) {
            QSettings settings;
            settings.beginGroup(groupOf(window_));
            const QSize savedSize = settings.value(QStringLiteral("size")).toSize();
            const QVariant savedAt = settings.value(QStringLiteral("pos"));
            if (savedSize.isValid() && savedAt.isValid()) {
                size = savedSize.expandedTo(window_->minimumSize());
                at = savedAt.toPoint();
                saved = true;
            }
        }
        const QRect frame(at, size.grownBy(margins));
        QRect fitted = fitOnScreen(frame, window_->minimumSize().grownBy(margins), availableAreas(window_));
        window_->resize(fitted.size().shrunkBy(margins));
        if (!saved && window_->layout()) {
            // Cut short, a scroll page shows its bar and asks for its width
            // as well: a second fitting gives it that.
            window_->layout()->activate();
            const QSize wanted = window_->sizeHint().expandedTo(window_->size());
            fitted = fitOnScreen(QRect(fitted.topLeft(), wanted.grownBy(margins)),
                                 window_->minimumSize().grownBy(margins), availableAreas(window_));
            window_->resize(fitted.size().shrunkBy(margins));
        }
        // An unplaced window that fits where it stands is left to the
        // window system to place.
        if (saved || fitted.topLeft() != frame.topLeft()) window_->move(fitted.topLeft());
    }

    void save() const {
        if (!remembers()) return;
        // A maximised or full-screen size is the screen's, not the window's.
        if (window_->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) return;
        QSettings settings;
        settings.beginGroup(groupOf(window_));
        settings.setValue(QStringLiteral("pos"), window_->pos());
        settings.setValue(QStringLiteral("size"), window_->size());
    }

    QWidget* window_;
    bool placed_ = false;
};

}  // namespace

void manage(QWidget* window) { new Placement(window); }

}  // namespace WindowPlacement
