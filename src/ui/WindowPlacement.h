#pragma once
#include <QList>
#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

// Every window opens at the size its code gave it, or else at its size hint,
// bounded by the screen it lands on; and, where the program has named itself
// (QCoreApplication's organisation name), at the size and place it had when
// it last went away, kept in the program's QSettings file under
// "windows/<class>/geometry". What is kept is the window's inside, without
// the frame: the window system reports the frame only once it has drawn it,
// and a frame position taken for an inside one would move the window up and
// left by its title bar at every opening. Windows are sized in logical
// pixels, so a place saved at one scale factor may not fit at a larger one:
// it is shrunk and moved back onto a screen rather than opened out of reach.
namespace WindowPlacement {

// Room kept for the window system's frame (title bar and borders) before the
// window has been framed and its real frame is known.
inline constexpr QMargins kFrameAllowance{4, 32, 4, 4};

// Where a window opens that has no place of its own yet.
enum class FirstPlace {
    System,         // where the window system puts it
    OverParent,     // centred over the window it belongs to, where that is shown
};

// Makes `window` fit on its first showing and remember its place each time
// it is hidden or closed. Call once, from the window's constructor.
void manage(QWidget* window, FirstPlace first = FirstPlace::System);

// Where a window whose frame would cover `frame` goes instead: onto the area
// among `areas` that holds most of it (the first area when none does), no
// larger than that area and wholly inside it. `minimum` is the smallest frame
// the window can take; where even that does not fit, the frame keeps to the
// area's top left corner so the title bar stays in reach.
QRect fitOnScreen(const QRect& frame, const QSize& minimum, const QList<QRect>& areas);

}  // namespace WindowPlacement
