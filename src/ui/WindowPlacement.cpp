#include "ui/WindowPlacement.h"

#include <QCoreApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>

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

// The frame the window system will put round the window. It is drawn only
// once the window is shown, so it is taken from when the window was last put
// away (`lastFrame` round `lastInside`): the same window system draws the
// same frame again. Else from a window of the program it has framed
// already (`framedBeside`), or room enough for any usual frame.
QMargins frameMargins(const QRect& lastFrame, const QRect& lastInside, const QWidget* framedBeside) {
    if (lastFrame.isValid() && lastInside.isValid() && lastFrame.contains(lastInside))
        return QMargins(lastInside.left() - lastFrame.left(), lastInside.top() - lastFrame.top(),
                        lastFrame.right() - lastInside.right(), lastFrame.bottom() - lastInside.bottom());
    if (framedBeside && framedBeside->windowHandle() && !framedBeside->windowHandle()->frameMargins().isNull())
        return framedBeside->windowHandle()->frameMargins();
    return kFrameAllowance;
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

const QString kGeometry = QStringLiteral("geometry");   // the inside
const QString kFrame = QStringLiteral("frame");         // with the frame round it

class Placement : public QObject {
public:
    Placement(QWidget* window, FirstPlace first) : QObject(window), window_(window), first_(first) {
        window->installEventFilter(this);
    }

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
        QRect inside, lastFrame;
        if (remembers()) {
            QSettings settings;
            settings.beginGroup(groupOf(window_));
            inside = settings.value(kGeometry).toRect();
            lastFrame = settings.value(kFrame).toRect();
        }
        const bool saved = inside.isValid();
        // The least size as the layout has it now, not as it last had it.
        if (window_->layout()) window_->layout()->activate();
        const QWidget* parent = window_->parentWidget();
        const bool overParent = !saved && first_ == FirstPlace::OverParent && parent && parent->isVisible();
        const QMargins margins = frameMargins(lastFrame, inside, overParent ? parent : nullptr);
        // At a scale of a fraction (150 %) the window system sizes a window in
        // steps of whole device pixels (two there) and may round the size
        // asked for down by one, a logical pixel short of the window's least
        // size: a new window asks for one pixel more each way. A kept size is
        // one the window system gave, and comes back as it was.
        const qreal ratio = window_->devicePixelRatio();
        const int step = !saved && ratio != std::floor(ratio) ? 1 : 0;
        const QMargins room = margins + QMargins(0, 0, step, step);
        const auto place = [&](const QRect& in) {
            QRect frame = in.marginsAdded(room);
            if (overParent) frame.moveCenter(parent->frameGeometry().center());
            const QSize least = window_->minimumSize().grownBy(room);
            const QRect fitted = fitOnScreen(frame, least, availableAreas(window_)).marginsRemoved(room);
            window_->resize(fitted.size());
            return fitted;
        };

        // The size the window's own code gave it, or else the size its
        // layout asks for; or the one it was left with.
        const QSize size = window_->testAttribute(Qt::WA_Resized) ? window_->size() : window_->sizeHint();
        const QRect wanted = saved ? inside : QRect(window_->pos(), size);
        QRect placed = place(QRect(wanted.topLeft(), wanted.size().expandedTo(window_->minimumSize())));
        if (!saved && window_->layout()) {
            // Cut short, a scroll page shows its bar and asks for its width
            // as well: a second fitting gives it that.
            window_->layout()->activate();
            placed = place(QRect(placed.topLeft(), window_->sizeHint().expandedTo(window_->size())));
        }
        // A page cut short shows its vertical bar once the window is shown,
        // and the window would then have to grow by it while the window
        // manager is still mapping it, which may keep the old width: the
        // width is given now.
        if (const int bar = barComing(); bar > 0)
            placed = place(QRect(placed.topLeft(), placed.size().expandedTo(window_->minimumSize() + QSize(bar, 0))));
        placed.setSize(placed.size() + QSize(step, step));
        window_->resize(placed.size());
        // An unplaced window that fits where it stands is left to the window
        // system to place. Any other is placed by its inside, which the
        // window system keeps where it was asked whatever its frame.
        if (saved || overParent || placed.topLeft() != wanted.topLeft()) window_->setGeometry(placed);
    }

    // The width of the vertical bar a scroll page of the window, laid out
    // at the window's size, is about to show for being too short for what it
    // holds; 0 when none is.
    int barComing() const {
        if (window_->layout()) window_->layout()->activate();
        for (const QScrollArea* page : window_->findChildren<QScrollArea*>()) {
            const QScrollBar* bar = page->verticalScrollBar();
            if (!page->widget() || !page->isVisibleTo(window_) || bar->isVisibleTo(page)) continue;
            if (page->widget()->minimumSizeHint().height() > page->height() - 2 * page->frameWidth())
                return bar->sizeHint().width();
        }
        return 0;
    }

    void save() const {
        if (!remembers()) return;
        // A maximised or full-screen size is the screen's, not the window's.
        if (window_->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) return;
        QSettings settings;
        settings.beginGroup(groupOf(window_));
        settings.setValue(kGeometry, window_->geometry());
        // The window system's own word on the frame: the widget's copy of it
        // may still be the one from before the window manager framed it.
        if (const QWindow* handle = window_->windowHandle()) settings.setValue(kFrame, handle->frameGeometry());
        // Where older versions kept the frame's corner and the size.
        settings.remove(QStringLiteral("pos"));
        settings.remove(QStringLiteral("size"));
    }

    QWidget* window_;
    FirstPlace first_;
    bool placed_ = false;
};

}  // namespace

void manage(QWidget* window, FirstPlace first) { new Placement(window, first); }

}  // namespace WindowPlacement
