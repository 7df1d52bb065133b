#pragma once
// Where the program's windows open. Every window opens inside the available
// area of its screen (the screen less the desktop's panels): a stored place
// from a larger screen, or a default place, is moved in. Only the place
// changes; a window keeps its size unless it is larger than the area. A side
// window (the numeric, Loudness or Sound Level window) that has no stored
// place opens where it can be read beside the others.
//
// Bounds are outer bounds, the desktop's frame included, in screen pixels.

#include <QRect>
#include <QSize>
#include <vector>

class QWidget;

namespace tarnwick {

// `frame` moved inside `area`, and made smaller first where it is larger.
QRect InsideArea(const QRect& frame, const QRect& area);

// The first place of a side window of outer size `size`, where `open` holds
// the outer bounds of the side windows already open, the latest last. In turn:
//  - where it covers neither `main` nor an open side window: beside `main`
//    (right, left, below), then beside or below an open side window, the
//    latest first;
//  - where it covers no open side window and not the main window's menus and
//    tool bar (above `toolBarBottom`, the first screen row below the tool
//    bar): from the main window's left edge below its tool bar, then beside
//    or below an open side window;
//  - else cascaded from there by `titleStep` (a title bar's height) until no
//    open side window's title bar lies under its own.
// A place is taken only where all of the window lies inside `area`; the
// cascaded place is moved inside it.
QRect FirstSidePlace(const QSize& size, const QRect& main, const std::vector<QRect>& open,
                     int toolBarBottom, int titleStep, const QRect& area);

// The available area of the screen that holds the centre of `frame`, else of
// the primary screen; `frame` itself where there is no screen at all.
QRect AvailableAreaFor(const QRect& frame);

// Moves `window` (shown and framed) inside the available area of its screen.
void KeepInsideScreen(QWidget& window);

// What a desktop's frame and title bar take around a window, as far as can be
// told before it has framed one.
inline const QSize kFrameAllowance(16, 48);

// Where `dialog`, of a fixed size with its controls placed by hand, is larger
// than the screen of `near` less a frame allows (a small screen, or a large
// scale), its controls move into an area that scrolls, in a dialog as large
// as the screen allows; elsewhere nothing changes.
void ScrollWhenLargerThanScreen(QWidget& dialog, const QWidget& near);

}  // namespace tarnwick
