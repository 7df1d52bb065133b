#include "results/duration_format.h"

#include <cstdio>

namespace tarnwick {
namespace {

constexpr uint32_t kMsPerSecond = 1000;
constexpr uint32_t kMsPerMinute = 60 * kMsPerSecond;
constexpr uint32_t kMsPerHour = 60 * kMsPerMinute;

std::string Format(uint32_t ms, int hourDigits, bool withTenths) {
    char buffer[32];
    const unsigned hours = ms / kMsPerHour;
    const unsigned minutes = (ms / kMsPerMinute) % 60;
    const unsigned seconds = (ms / kMsPerSecond) % 60;
    if (withTenths) {
        std::snprintf(buffer, sizeof buffer, "%0*u:%02u:%02u.%u", hourDigits, hours, minutes,
                      seconds, (ms / 100) % 10);
    } else {
        std::snprintf(buffer, sizeof buffer, "%0*u:%02u:%02u", hourDigits, hours, minutes, seconds);
    }
    return buffer;
}

}  // namespace

std::string FormatDuration(uint32_t ms, bool withTenths) {
    return Format(ms, 1, withTenths);
}

std::string FormatRecordDuration(uint32_t ms) {
    return Format(ms, 2, false);
}

}  // namespace tarnwick
