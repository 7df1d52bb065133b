#pragma once
// Port: the main window's timers. They fire on the event-loop thread, between
// blocks, never during another handler.
//
// Rules the program relies on:
// - Arm() on an armed timer leaves its countdown running; on a disarmed one it
//   starts a full interval.
// - Disarm() stops the countdown.
// - SetInterval() on a disarmed timer only stores the interval. On an armed timer
//   a different interval restarts the countdown from now.
// - An armed timer fires every interval for as long as it stays armed. An interval
//   of 0 never fires.

#include <cstdint>
#include <functional>
#include <memory>

namespace tarnwick {

class ITimer {
public:
    virtual ~ITimer() = default;
    virtual void Arm() = 0;
    virtual void Disarm() = 0;
    virtual bool Armed() const = 0;
    virtual void SetInterval(uint32_t ms) = 0;
    virtual uint32_t Interval() const = 0;
};

class ITimerFactory {
public:
    virtual ~ITimerFactory() = default;
    // A disarmed timer that calls onTimer each time it fires. Timers created
    // earlier fire first when several fall due at the same moment.
    virtual std::unique_ptr<ITimer> CreateTimer(uint32_t intervalMs,
                                                std::function<void()> onTimer) = 0;
};

}  // namespace tarnwick
