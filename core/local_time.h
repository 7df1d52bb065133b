#pragma once
// Wall-clock date-times in the computer's time zone, as the save schedule, time
// stamps and file names use them. Held as milliseconds of a zone-free civil
// calendar counted from 1970-01-01 00:00:00.000, so that adding hours or minutes
// is exact integer arithmetic on the wall-clock reading.

#include <compare>
#include <cstdint>

namespace tarnwick {

constexpr int64_t kMsPerSecond = 1000;
constexpr int64_t kMsPerMinute = 60 * kMsPerSecond;
constexpr int64_t kMsPerHour = 60 * kMsPerMinute;
constexpr int64_t kMsPerDay = 24 * kMsPerHour;

struct LocalDateTime {
    int64_t ms = 0;  // since 1970-01-01 00:00:00.000 on the wall clock
    auto operator<=>(const LocalDateTime&) const = default;
};

struct CivilDateTime {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int weekday = 4;  // 0 Sunday .. 6 Saturday; ignored by ToLocalDateTime
};

LocalDateTime ToLocalDateTime(const CivilDateTime& civil);
CivilDateTime ToCivil(LocalDateTime t);

inline LocalDateTime AddMs(LocalDateTime t, int64_t ms) {
    return LocalDateTime{t.ms + ms};
}

// True when the time of day is exactly 00:00:00.000.
inline bool IsMidnight(LocalDateTime t) {
    return ((t.ms % kMsPerDay) + kMsPerDay) % kMsPerDay == 0;
}

}  // namespace tarnwick
