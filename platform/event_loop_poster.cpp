#include "platform/event_loop_poster.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <utility>

namespace tarnwick {

EventLoopPoster::EventLoopPoster() : alive_(std::make_shared<std::atomic<bool>>(true)) {}

EventLoopPoster::~EventLoopPoster() {
    alive_->store(false);
}

void EventLoopPoster::Post(std::function<void()> fn) const {
    // The application object receives the events rather than an object of our
    // own: it lives on the loop's thread for the whole run, and the function may
    // safely destroy the poster's owner while it runs. The flag, checked on the
    // loop's thread where the poster is also destroyed, drops late events.
    QCoreApplication* loop = QCoreApplication::instance();
    if (loop == nullptr) {
        return;  // the program is ending: nothing would run it
    }
    QMetaObject::invokeMethod(
        loop,
        [alive = alive_, fn = std::move(fn)] {
            if (alive->load()) {
                fn();
            }
        },
        Qt::QueuedConnection);
}

}  // namespace tarnwick
