#pragma once
// Where the program's windows open. Every window opens inside the available
// area of its screen (the screen less the desktop's panels): a stored place
// from a larger screen, or a default place, is moved in. Only the place
// changes; a window keeps its size unless it is larger than the area. A side
// window (the numeric or Loudness window) that has no stored place opens
// where it covers neither the main window's menus nor its tool bar.
//
// Bounds are outer bounds, the desktop's frame included, in screen pixels.

#include <QRect>
#include <QSize>

class QWidget;

namespace tarnwick {

// `frame` moved inside `area`, and made smaller first where it is larger.
QRect InsideArea(const QRect& frame, const QRect& area);

// The first place of a side window of outer size `size`: beside `main` on its
// right, else on its left, where `area` has room for all of it; else at the
// main window's left edge with its top at `toolBarBottom`, the first screen
// row below the tool bar. Always inside `area`.
QRect FirstSidePlace(const QSize& size, const QRect& main, int toolBarBottom, const QRect& area);

// The available area of the screen that holds the centre of `frame`, else of
// the primary screen; `frame` itself where there is no screen at all.
QRect AvailableAreaFor(const QRect& frame);

// Moves `window` (shown and framed) inside the available area of its screen.
void KeepInsideScreen(QWidget& window);

}  // namespace tarnwick
