#pragma once
// Tells systemd how the logger's service is, through sd_notify, for a unit of
// Type=notify with a watchdog: READY once, when the logger is measuring (or
// has begun to say it cannot), WATCHDOG=1 while rows are being written, so
// that a hung loop is restarted, STATUS with a line of how it is (which
// `systemctl status` shows), and STOPPING when it ends. Outside systemd
// (NOTIFY_SOCKET unset) every call does nothing.

#include <string>

namespace tarnwick {

class ServiceNotifier {
public:
    // READY=1, the first time only.
    void Ready();
    // WATCHDOG=1. The unit's WatchdogSec is the longest the logger may go
    // without one; call it for every row written.
    void WatchdogPing();
    // STOPPING=1: the stop is the logger's own, not a hang.
    void Stopping();
    // STATUS=`line`; a line end in it would end the message, and becomes a
    // blank.
    void Status(const std::string& line);

private:
    bool ready_ = false;
};

}  // namespace tarnwick
