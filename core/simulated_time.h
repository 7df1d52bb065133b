#pragma once
// A simulated clock and timer wheel: time moves only when the driver advances
// it. The headless analyser and the tests run hours of operation in seconds
// through these, with the same timer rules as the window's timers.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "core/ports/clock.h"
#include "core/ports/timers.h"

namespace tarnwick {

class SimulatedClock : public IClock {
public:
    SimulatedClock(uint32_t tickStart, LocalDateTime start)
        : tickStart_(tickStart), start_(start) {}

    uint32_t TickCount() override { return static_cast<uint32_t>(tickStart_ + elapsedMs_); }
    LocalDateTime Now() override;
    // Without a zone the wall clock is UTC.
    ZonedDateTime NowZoned() override;
    // Time moves on; timers that fall due meanwhile fire at the next AdvanceTo.
    void Sleep(uint32_t ms) override { elapsedMs_ += ms; }

    // Milliseconds since the clock started.
    uint64_t ElapsedMs() const { return elapsedMs_; }
    void SetElapsedMs(uint64_t ms) { elapsedMs_ = ms; }
    // Moves the wall clock alone, as a user setting the clock does.
    void JumpWallClock(int64_t ms) { start_ = AddMs(start_, ms); }
    // From now on the clock runs in a time zone: this moment is `nowUtcMs`
    // UTC, and `utcOffsetS` gives the zone's offset at any UTC moment, so a
    // test can pass through a change of the clocks. Now() then reads the
    // zone's wall clock.
    void UseZone(int64_t nowUtcMs, std::function<int32_t(int64_t utcMs)> utcOffsetS);

private:
    uint32_t tickStart_;
    LocalDateTime start_;
    uint64_t elapsedMs_ = 0;
    int64_t startUtcMs_ = 0;   // UTC at elapsed 0, once in a zone
    LocalDateTime zoneStart_;  // start_ when the zone was set: later jumps move UTC too
    std::function<int32_t(int64_t)> utcOffsetS_;  // null: no zone
};

class SimulatedTimers : public ITimerFactory {
public:
    explicit SimulatedTimers(SimulatedClock& clock) : clock_(clock) {}
    ~SimulatedTimers() override;

    std::unique_ptr<ITimer> CreateTimer(uint32_t intervalMs,
                                        std::function<void()> onTimer) override;

    // Fires every timer due at or before `elapsedMs`, earliest first (ties in
    // creation order); while a handler runs the clock reads the moment its timer
    // fell due. Leaves the clock at `elapsedMs`.
    void AdvanceTo(uint64_t elapsedMs);

private:
    class Timer;
    friend class Timer;
    SimulatedClock& clock_;
    std::vector<Timer*> timers_;  // in creation order
};

}  // namespace tarnwick
