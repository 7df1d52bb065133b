#pragma once
// The side windows are plain widgets, which a screen reader is given as a
// "filler" inside nothing. Marked here, each is given as a window under its
// title, as the main window and the dialogs are.

class QWidget;

namespace tarnwick {

// `window`, a top-level widget, is a window to a screen reader from now on.
void SpeakAsWindow(QWidget& window);

}  // namespace tarnwick
