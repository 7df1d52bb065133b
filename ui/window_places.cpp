#include "ui/window_places.h"

#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <optional>

namespace tarnwick {

QRect InsideArea(const QRect& frame, const QRect& area) {
    const QSize size(std::min(frame.width(), area.width()),
                     std::min(frame.height(), area.height()));
    const int left =
        std::clamp(frame.left(), area.left(), area.left() + area.width() - size.width());
    const int top = std::clamp(frame.top(), area.top(), area.top() + area.height() - size.height());
    return QRect(QPoint(left, top), size);
}

namespace {

int Right(const QRect& r) {
    return r.x() + r.width();
}
int Bottom(const QRect& r) {
    return r.y() + r.height();
}

bool Contains(const QRect& area, const QRect& r) {
    return r.x() >= area.x() && r.y() >= area.y() && Right(r) <= Right(area) &&
           Bottom(r) <= Bottom(area);
}

// The places beside `anchor` on its right, below it and on its left, in that
// order, each aligned with its near edge.
std::vector<QRect> Around(const QRect& anchor, const QSize& size) {
    return {QRect(QPoint(Right(anchor), anchor.y()), size),
            QRect(QPoint(anchor.x(), Bottom(anchor)), size),
            QRect(QPoint(anchor.x() - size.width(), anchor.y()), size)};
}

// The places whose corner lies on the edges of the windows and of the area,
// row by row from the top: where the preferred places are taken, one of
// these is the free room left among the windows.
std::vector<QRect> FirstFits(const QSize& size, const QRect& area, const QRect& kept,
                             const std::vector<QRect>& open, int toolBarBottom) {
    std::vector<int> xs{area.x(), kept.x(), Right(kept), Right(area) - size.width()};
    std::vector<int> ys{area.y(), toolBarBottom, kept.y(), Bottom(kept),
                        Bottom(area) - size.height()};
    for (const QRect& o : open) {
        xs.insert(xs.end(), {o.x(), Right(o)});
        ys.insert(ys.end(), {o.y(), Bottom(o)});
    }
    for (std::vector<int>* edges : {&xs, &ys}) {
        std::sort(edges->begin(), edges->end());
        edges->erase(std::unique(edges->begin(), edges->end()), edges->end());
    }
    std::vector<QRect> places;
    for (const int y : ys) {
        for (const int x : xs) {
            places.emplace_back(QPoint(x, y), size);
        }
    }
    return places;
}

}  // namespace

QRect FirstSidePlace(const QSize& size, const QRect& main, const std::vector<QRect>& open,
                     int toolBarBottom, int titleStep, const QRect& area) {
    const auto clearOf = [&](const QRect& place, const QRect& kept) {
        if (!Contains(area, place) || place.intersects(kept)) {
            return false;
        }
        return std::none_of(open.begin(), open.end(),
                            [&](const QRect& o) { return place.intersects(o); });
    };
    // `first`, then the places around the open side windows, then `last`.
    const auto beside = [&](std::vector<QRect> first, const std::vector<QRect>& last,
                            const QRect& kept) -> std::optional<QRect> {
        for (auto o = open.rbegin(); o != open.rend(); ++o) {
            const std::vector<QRect> around = Around(*o, size);
            first.insert(first.end(), around.begin(), around.end());
        }
        first.insert(first.end(), last.begin(), last.end());
        const std::vector<QRect> fits = FirstFits(size, area, kept, open, toolBarBottom);
        first.insert(first.end(), fits.begin(), fits.end());
        for (const QRect& place : first) {
            if (clearOf(place, kept)) {
                return place;
            }
        }
        return std::nullopt;
    };
    const std::vector<QRect> aroundMain = Around(main, size);
    if (const auto place = beside({aroundMain[0], aroundMain[2]}, {aroundMain[1]}, main)) {
        return *place;
    }
    const QPoint belowToolBar(main.x(), toolBarBottom);
    const QRect menus(main.topLeft(), QPoint(Right(main) - 1, toolBarBottom - 1));
    if (const auto place = beside({QRect(belowToolBar, size)}, {}, menus)) {
        return *place;
    }
    const int step = std::max(1, titleStep);
    QPoint corner = belowToolBar;
    for (size_t tries = 0; tries <= open.size(); ++tries) {
        const bool titleCovered = std::any_of(open.begin(), open.end(), [&](const QRect& o) {
            return std::abs(o.y() - corner.y()) < step;
        });
        if (!titleCovered) {
            break;
        }
        corner += QPoint(step, step);
    }
    return InsideArea(QRect(corner, size), area);
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

void ScrollWhenLargerThanScreen(QWidget& dialog, const QWidget& near) {
    const QSize size = dialog.size();
    const QSize room = AvailableAreaFor(near.frameGeometry()).size() - kFrameAllowance;
    if (size.width() <= room.width() && size.height() <= room.height()) {
        return;
    }
    auto* inner = new QWidget;
    inner->setFixedSize(size);
    for (QWidget* control : dialog.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (control->isWindow()) {
            continue;
        }
        const QRect place = control->geometry();
        const bool hidden = control->isHidden();
        control->setParent(inner);
        control->setGeometry(place);
        control->setHidden(hidden);
    }
    auto* scroll = new QScrollArea(&dialog);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setFocusPolicy(Qt::NoFocus);  // Tab goes to the controls, which it brings into view
    scroll->viewport()->setBackgroundRole(QPalette::Window);
    scroll->setWidget(inner);
    dialog.setMinimumSize(0, 0);
    dialog.setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    auto* layout = new QVBoxLayout(&dialog);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);
    const int bar = dialog.style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    dialog.resize((size + QSize(bar, bar)).boundedTo(room));
}

}  // namespace tarnwick
