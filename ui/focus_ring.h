#pragma once
// The keyboard focus drawn so that it is seen on every background: a ring
// just outside the focused control, a dark line outside a bright one. The
// desktop style's own mark (a slightly lighter button on the meter's grey)
// is all but invisible. The ring shows when the focus came from the keyboard
// or the program, not from a click; the meter's own colours stay as they are.
//
// One ring serves the whole program: it follows the focus from window to
// window and goes with the control that loses it.

#include <QObject>
#include <QPointer>

class QWidget;

namespace tarnwick {

// Gives the focus to the first control of `dialog` that takes it from the
// Tab key, as a dialog opens: not to the control used last time, unseen.
void FocusFirstControl(QWidget& dialog);

class FocusRingOverlay;

class FocusRing : public QObject {
public:
    // Follows the focus in every window of the application from now on.
    FocusRing();
    ~FocusRing() override;

    // The control the ring is drawn around now; null while none.
    QWidget* Around() const { return around_; }

    // The ring's colours: a bright line next to the control and a dark one
    // outside it. Between them they stand 3:1 or more from any colour.
    static constexpr unsigned kBrightRgb = 0xFFD200;
    static constexpr unsigned kDarkRgb = 0x000000;
    static constexpr int kBrightWidth = 2;
    static constexpr int kDarkWidth = 1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Follow(QWidget* widget);
    void Place();

    QPointer<QWidget> around_;
    QPointer<FocusRingOverlay> overlay_;
};

}  // namespace tarnwick
