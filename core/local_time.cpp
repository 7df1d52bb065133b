#include "core/local_time.h"

#include <cstdio>
#include <cstdlib>

namespace tarnwick {
namespace {

// Days from 1970-01-01 of a proleptic Gregorian date (H. Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int& year, int& month, int& day) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yoe + era * 400 + (month <= 2));
}

int64_t FloorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

}  // namespace

LocalDateTime ToLocalDateTime(const CivilDateTime& c) {
    const int64_t days = DaysFromCivil(c.year, c.month, c.day);
    return LocalDateTime{days * kMsPerDay + c.hour * kMsPerHour + c.minute * kMsPerMinute +
                         c.second * kMsPerSecond + c.millisecond};
}

CivilDateTime ToCivil(LocalDateTime t) {
    const int64_t days = FloorDiv(t.ms, kMsPerDay);
    int64_t rest = t.ms - days * kMsPerDay;
    CivilDateTime c;
    CivilFromDays(days, c.year, c.month, c.day);
    c.hour = static_cast<int>(rest / kMsPerHour);
    rest %= kMsPerHour;
    c.minute = static_cast<int>(rest / kMsPerMinute);
    rest %= kMsPerMinute;
    c.second = static_cast<int>(rest / kMsPerSecond);
    c.millisecond = static_cast<int>(rest % kMsPerSecond);
    c.weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
    return c;
}

std::string StampText(LocalDateTime at) {
    const CivilDateTime c = ToCivil(at);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", c.year, c.month, c.day,
                  c.hour, c.minute, c.second);
    return text;
}

std::string Iso8601(const ZonedDateTime& at) {
    const CivilDateTime c = ToCivil(at.Local());
    const int32_t offsetMin = std::abs(at.utcOffsetS) / 60;
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", c.year, c.month,
                  c.day, c.hour, c.minute, c.second, at.utcOffsetS < 0 ? '-' : '+', offsetMin / 60,
                  offsetMin % 60);
    return text;
}

}  // namespace tarnwick
