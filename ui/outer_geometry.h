#pragma once
// The stored size of a side window is its outer size, frame included, as the
// window state is saved. Shown at that size, the window would grow by its frame
// at every start of the program; once the desktop has framed it, its client
// area is made smaller by the frame instead.

#include <QRect>
#include <QSize>
#include <QWidget>
#include <algorithm>

namespace tarnwick {

class OuterGeometry {
public:
    // Places and sizes `window` at outer bounds `outer` and shows it. Unless
    // `activate` asks for it, the window does not take the keyboard focus; a
    // desktop may leave a new tool window without it either way.
    void Show(QWidget& window, const QRect& outer, bool activate) {
        window.resize(outer.size());
        pending_ = outer.size();
        window.move(outer.topLeft());
        window.setAttribute(Qt::WA_ShowWithoutActivating, !activate);
        window.show();
        window.raise();
        Fit(window);
    }

    // Makes the outer size the stored one, once the frame is known; call it
    // again when the window is first painted.
    void Fit(QWidget& window) {
        const QSize frame = window.frameGeometry().size() - window.size();
        if (!pending_.isValid() || frame.isNull()) {
            return;  // nothing to reach, or the frame is not known yet
        }
        const QSize client = pending_ - frame;
        pending_ = QSize();
        window.resize(std::max(1, client.width()), std::max(1, client.height()));
    }

    // A closed window has nothing left to reach.
    void Forget() { pending_ = QSize(); }

private:
    QSize pending_;  // to be reached once the frame is known; empty when done
};

}  // namespace tarnwick
