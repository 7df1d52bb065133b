#pragma once
// The pace of the --on-alarm commands: a command of an alarm kind runs at most
// once every kMinCommandGapMs. A change that comes sooner is held; when the
// gap is up, its command runs only if the alarm's state then differs from the
// state last commanded. An alarm set, cleared and set again within the gap so
// runs one "set"; one that flaps for minutes runs a command every 10 s at
// most, and ends on the state it ends in. The rows and lines record every
// change at once: only the commands wait.
//
// Toolkit-free, on the clock port. The session passes every change of an
// alarm to Changed and calls Poll often (every 100 ms), so that a held
// command runs at most that late; held commands left when the logger stops
// are not run. Everything on the caller's thread.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

#include "core/local_time.h"
#include "core/ports/clock.h"
#include "tools/logger/alarms.h"

namespace tarnwick {

// Between two commands of the same alarm kind, at least this long.
inline constexpr uint32_t kMinCommandGapMs = 10000;

class AlarmCommandPacing {
public:
    // Runs the command of `change`, which happened at `at` (earlier than
    // now when it was held).
    using RunCommand = std::function<void(const AlarmChange& change, LocalDateTime at)>;

    AlarmCommandPacing(IClock& clock, RunCommand run, uint32_t minGapMs = kMinCommandGapMs);

    // An alarm changed: its command runs now, or is held until the gap is up.
    void Changed(const AlarmChange& change);
    // Runs the held commands whose gap is up and whose state differs from
    // the one last commanded; drops the others.
    void Poll();

private:
    struct Pace {
        bool commanded = false;  // the state last commanded (an alarm starts clear)
        bool resting = true;     // no command within the gap
        uint32_t lastTick = 0;   // when the last command ran
        std::optional<AlarmChange> held;
        LocalDateTime heldAt;
    };
    // True when `pace`'s gap is up (and marks it resting, so that the tick
    // counter's wrap cannot make an old command look recent).
    bool Rested(Pace& pace, uint32_t now) const;
    // Runs `change`'s command unless the state last commanded is its own.
    void Command(Pace& pace, const AlarmChange& change, LocalDateTime at, uint32_t now);

    IClock& clock_;
    RunCommand run_;
    uint32_t minGapMs_;
    std::array<Pace, kAlarmKindCount> paces_{};
};

}  // namespace tarnwick
