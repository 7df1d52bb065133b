#include "ui/window_accessible.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QWidget>

namespace tarnwick {
namespace {

const char* const kSpokenAsWindow = "tarnwickSpokenAsWindow";

// The factory is asked for each class of an object, its own first; the
// widget's own interface (a window's) wins over the toolkit's for QWidget.
QAccessibleInterface* WindowInterface(const QString&, QObject* object) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr || !widget->isWindow() || !widget->property(kSpokenAsWindow).toBool()) {
        return nullptr;
    }
    return new QAccessibleWidget(widget, QAccessible::Window);
}

}  // namespace

void SpeakAsWindow(QWidget& window) {
    static const bool kInstalled = [] {
        QAccessible::installFactory(WindowInterface);
        return true;
    }();
    (void)kInstalled;
    window.setProperty(kSpokenAsWindow, true);
}

}  // namespace tarnwick
