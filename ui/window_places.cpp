#include "ui/window_places.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

namespace tarnwick {

QRect InsideArea(const QRect& frame, const QRect& area) {
    const QSize size(std::min(frame.width(), area.width()),
                     std::min(frame.height(), area.height()));
    const int left =
        std::clamp(frame.left(), area.left(), area.left() + area.width() - size.width());
    const int top = std::clamp(frame.top(), area.top(), area.top() + area.height() - size.height());
    return QRect(QPoint(left, top), size);
}

QRect FirstSidePlace(const QSize& size, const QRect& main, int toolBarBottom, const QRect& area) {
    const int right = main.left() + main.width();
    if (right + size.width() <= area.left() + area.width()) {
        return InsideArea(QRect(QPoint(right, main.top()), size), area);
    }
    if (main.left() - size.width() >= area.left()) {
        return InsideArea(QRect(QPoint(main.left() - size.width(), main.top()), size), area);
    }
    return InsideArea(QRect(QPoint(main.left(), toolBarBottom), size), area);
}

QRect AvailableAreaFor(const QRect& frame) {
    const QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    return screen != nullptr ? screen->availableGeometry() : frame;
}

void KeepInsideScreen(QWidget& window) {
    const QRect frame = window.frameGeometry();
    const QRect inside = InsideArea(frame, AvailableAreaFor(frame));
    if (inside.size() != frame.size()) {
        window.resize(window.size() - (frame.size() - inside.size()));
    }
    if (inside.topLeft() != frame.topLeft()) {
        window.move(inside.topLeft());
    }
}

}  // namespace tarnwick
