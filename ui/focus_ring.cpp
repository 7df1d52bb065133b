#include "ui/focus_ring.h"

#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QPainter>
#include <QRegion>
#include <QWidget>

namespace tarnwick {

// The ring itself: a child of the focused control's window, above its other
// children, masked to the ring so that it neither hides nor takes anything.
class FocusRingOverlay : public QWidget {
public:
    explicit FocusRingOverlay(QWidget* window) : QWidget(window) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

    void Surround(const QRect& control) {
        const int width = FocusRing::kBrightWidth + FocusRing::kDarkWidth;
        const QRect outer = control.adjusted(-width, -width, width, width);
        setGeometry(outer);
        const QRect inside = rect().adjusted(width, width, -width, -width);
        setMask(QRegion(rect()).subtracted(QRegion(inside)));
        raise();
        show();
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor::fromRgb(FocusRing::kDarkRgb));
        const int dark = FocusRing::kDarkWidth;
        painter.fillRect(rect().adjusted(dark, dark, -dark, -dark),
                         QColor::fromRgb(FocusRing::kBrightRgb));
    }
};

namespace {

// Whether a control taking the focus for `reason` shows it with the ring: a
// click shows itself.
bool ShowsRing(Qt::FocusReason reason) {
    return reason != Qt::MouseFocusReason && reason != Qt::PopupFocusReason;
}

}  // namespace

void FocusFirstControl(QWidget& dialog) {
    for (QWidget* w = dialog.nextInFocusChain(); w != nullptr && w != &dialog;
         w = w->nextInFocusChain()) {
        if (w->window() == &dialog && w->isVisibleTo(&dialog) && w->isEnabled() &&
            (w->focusPolicy() & Qt::TabFocus) != 0) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

FocusRing::FocusRing() {
    qApp->installEventFilter(this);
}

FocusRing::~FocusRing() {
    if (qApp != nullptr) {
        qApp->removeEventFilter(this);
    }
    delete overlay_.data();
}

bool FocusRing::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::FocusIn: {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget != nullptr && widget->isWidgetType()) {
                // Only what Tab reaches is a control; the meter's client
                // area and whole windows take the focus too.
                const bool shown = ShowsRing(static_cast<QFocusEvent*>(event)->reason()) &&
                                   !widget->isWindow() &&
                                   (widget->focusPolicy() & Qt::TabFocus) != 0;
                Follow(shown ? widget : nullptr);
            }
            break;
        }
        case QEvent::FocusOut:
            if (watched == around_.data()) {
                Follow(nullptr);
            }
            break;
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
            if (watched == around_.data()) {
                Place();
            }
            break;
        case QEvent::Hide:
            if (watched == around_.data()) {
                Follow(nullptr);
            }
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

void FocusRing::Follow(QWidget* widget) {
    around_ = widget;
    if (widget == nullptr) {
        if (overlay_ != nullptr) {
            overlay_->hide();
        }
        return;
    }
    QWidget* window = widget->window();
    if (overlay_ == nullptr || overlay_->parentWidget() != window) {
        delete overlay_.data();
        overlay_ = new FocusRingOverlay(window);
    }
    Place();
}

void FocusRing::Place() {
    if (around_ == nullptr || overlay_ == nullptr || !around_->isVisible()) {
        return;
    }
    const QRect control(around_->mapTo(overlay_->parentWidget(), QPoint(0, 0)), around_->size());
    overlay_->Surround(control);
}

}  // namespace tarnwick
