#pragma once
// Wall-clock date-times in the computer's time zone, as the save schedule, time
// stamps and file names use them. Held as milliseconds of a zone-free civil
// calendar counted from 1970-01-01 00:00:00.000, so that adding hours or minutes
// is exact integer arithmetic on the wall-clock reading.

#include <compare>
#include <cstdint>
#include <string>

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

// A moment with its place in the computer's time zone: the same wall-clock
// reading happens twice when the clocks go back, and the offset from UTC tells
// the two apart.
struct ZonedDateTime {
    int64_t utcMs = 0;       // since 1970-01-01 00:00:00.000 UTC
    int32_t utcOffsetS = 0;  // local time minus UTC, in seconds (3600 in CET)
    LocalDateTime Local() const {
        return LocalDateTime{utcMs + int64_t{utcOffsetS} * kMsPerSecond};
    }
};

// "2026-12-09 21:04:05": the local date and time to the second, as the
// programs stamp a logged line or a calibration.
std::string StampText(LocalDateTime at);

// "2026-12-10T05:08:51+01:00": ISO 8601 to the second, with the offset from UTC
// ("Z" is never written, so every stamp has the same shape).
std::string Iso8601(const ZonedDateTime& at);

// True when the time of day is exactly 00:00:00.000.
inline bool IsMidnight(LocalDateTime t) {
    return ((t.ms % kMsPerDay) + kMsPerDay) % kMsPerDay == 0;
}

}  // namespace tarnwick
