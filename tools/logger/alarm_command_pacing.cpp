#include "tools/logger/alarm_command_pacing.h"

#include <utility>

namespace tarnwick {

AlarmCommandPacing::AlarmCommandPacing(IClock& clock, RunCommand run, uint32_t minGapMs)
    : clock_(clock), run_(std::move(run)), minGapMs_(minGapMs) {}

bool AlarmCommandPacing::Rested(Pace& pace, uint32_t now) const {
    if (!pace.resting && now - pace.lastTick >= minGapMs_) {
        pace.resting = true;
    }
    return pace.resting;
}

void AlarmCommandPacing::Command(Pace& pace, const AlarmChange& change, LocalDateTime at,
                                 uint32_t now) {
    if (change.set == pace.commanded) {
        return;  // back where the last command left it
    }
    pace.commanded = change.set;
    pace.resting = false;
    pace.lastTick = now;
    run_(change, at);
}

void AlarmCommandPacing::Changed(const AlarmChange& change) {
    Pace& pace = paces_[static_cast<size_t>(change.kind)];
    const uint32_t now = clock_.TickCount();
    if (Rested(pace, now)) {
        pace.held.reset();
        Command(pace, change, clock_.Now(), now);
    } else {
        pace.held = change;
        pace.heldAt = clock_.Now();
    }
}

void AlarmCommandPacing::Poll() {
    const uint32_t now = clock_.TickCount();
    for (Pace& pace : paces_) {
        if (Rested(pace, now) && pace.held) {
            const AlarmChange change = *pace.held;
            pace.held.reset();
            Command(pace, change, pace.heldAt, now);
        }
    }
}

}  // namespace tarnwick
