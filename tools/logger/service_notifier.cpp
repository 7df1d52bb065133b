#include "tools/logger/service_notifier.h"

#include <systemd/sd-daemon.h>

#include <algorithm>

namespace tarnwick {

// sd_notify does nothing, and says so with 0, where NOTIFY_SOCKET is unset; a
// failure to reach systemd is not the logger's to report.

void ServiceNotifier::Ready() {
    if (!ready_) {
        ready_ = true;
        sd_notify(0, "READY=1");
    }
}

void ServiceNotifier::WatchdogPing() {
    sd_notify(0, "WATCHDOG=1");
}

void ServiceNotifier::Stopping() {
    sd_notify(0, "STOPPING=1");
}

void ServiceNotifier::Status(const std::string& line) {
    std::string message = "STATUS=" + line;
    std::replace(message.begin(), message.end(), '\n', ' ');
    sd_notify(0, message.c_str());
}

}  // namespace tarnwick
