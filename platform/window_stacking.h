#pragma once
// Where the program's dialogs come up. Each is owned by the window it serves
// (the dialog open now, else the main window) and comes up above it and above
// the program's always-on-top windows, with the keyboard focus. A desktop
// stacks always-on-top windows in a layer of their own: a dialog outside that
// layer would open hidden behind its owner, which then takes no clicks while
// the dialog waits for an answer nobody can see.

class QWidget;

namespace tarnwick {

// The window a new dialog belongs to: the program's modal dialog open now,
// else `main` (which may be null).
QWidget* DialogOwner(QWidget* main);

// Gives `dialog` (a window not yet shown) the always-on-top layer while any of
// the program's visible windows has it.
void KeepAboveOwner(QWidget& dialog);

// `dialog` (a window) centred on the screen its owner is on, or on the
// primary screen.
void CentreOnScreen(QWidget& dialog);

// Gives `window`, a window the main window owns (the numeric and Loudness
// windows), its owner's layer: always on top exactly while the owner is. The
// desktop keeps an owned window above its owner within a layer, so a click on
// the owner never buries it. A shown window is shown again in its new layer,
// without taking the keyboard focus.
void ShareOwnersLayer(QWidget& window);

}  // namespace tarnwick
