#pragma once
// The machine's clock and the window's timers: a steady millisecond tick, the
// local wall clock, and QTimer wrapped to the timer rules the meter relies on
// (arming an armed timer keeps its countdown; an interval change on a disarmed
// timer is only stored; an interval of 0 never fires).

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>

#include "core/ports/clock.h"
#include "core/ports/timers.h"

namespace tarnwick {

class SteadyClock : public IClock {
public:
    // Milliseconds of the steady clock, truncated to 32 bits.
    uint32_t TickCount() override;
    LocalDateTime Now() override;
    ZonedDateTime NowZoned() override;
    void Sleep(uint32_t ms) override;
};

// Timers on the Qt event loop of the thread that makes them.
class QtTimers : public ITimerFactory {
public:
    std::unique_ptr<ITimer> CreateTimer(uint32_t intervalMs,
                                        std::function<void()> onTimer) override;
};

}  // namespace tarnwick
