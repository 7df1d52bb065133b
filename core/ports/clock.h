#pragma once
// Port: the millisecond tick counter and the local wall clock.

#include <cstdint>

#include "core/local_time.h"

namespace tarnwick {

class IClock {
public:
    virtual ~IClock() = default;
    // Milliseconds of a steady clock, truncated to 32 bits: it wraps after 49.7
    // days, so callers take differences in unsigned 32-bit arithmetic.
    virtual uint32_t TickCount() = 0;
    // The local date and time now.
    virtual LocalDateTime Now() = 0;
    // Now as UTC with the zone's offset at this moment: what a log that must
    // survive the clocks going back stamps its rows with.
    virtual ZonedDateTime NowZoned() = 0;
    // Waits `ms` milliseconds on the calling thread.
    virtual void Sleep(uint32_t ms) = 0;
};

}  // namespace tarnwick
