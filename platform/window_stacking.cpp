#include "platform/window_stacking.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>

namespace tarnwick {
namespace {

bool StaysOnTop(const QWidget& window) {
    const QWindow* handle = window.windowHandle();
    return handle != nullptr ? handle->flags().testFlag(Qt::WindowStaysOnTopHint)
                             : window.windowFlags().testFlag(Qt::WindowStaysOnTopHint);
}

}  // namespace

QWidget* DialogOwner(QWidget* main) {
    if (QWidget* modal = QApplication::activeModalWidget();
        modal != nullptr && modal->isVisible()) {
        return modal;
    }
    return main;
}

void KeepAboveOwner(QWidget& dialog) {
    bool onTop = false;
    for (const QWidget* window : QApplication::topLevelWidgets()) {
        onTop = onTop || (window != &dialog && window->isVisible() && StaysOnTop(*window));
    }
    if (onTop != dialog.windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
        dialog.setWindowFlag(Qt::WindowStaysOnTopHint, onTop);
    }
}

void ShareOwnersLayer(QWidget& window) {
    const QWidget* owner = window.parentWidget();
    const bool onTop = owner != nullptr && StaysOnTop(*owner->window());
    if (onTop == window.windowFlags().testFlag(Qt::WindowStaysOnTopHint)) {
        return;
    }
    const bool shown = window.isVisible();
    window.setWindowFlag(Qt::WindowStaysOnTopHint, onTop);  // hides a shown window
    if (shown) {
        window.setAttribute(Qt::WA_ShowWithoutActivating, true);
        window.show();
    }
}

void CentreOnScreen(QWidget& dialog) {
    const QWidget* owner = dialog.parentWidget();
    const QScreen* screen = owner != nullptr && owner->screen() != nullptr
                                ? owner->screen()
                                : QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return;
    }
    QRect frame = dialog.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    dialog.move(frame.topLeft());
}

}  // namespace tarnwick
