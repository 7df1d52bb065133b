#include "results/duration_format.h"

#include <algorithm>
#include <charconv>

namespace tarnwick {
namespace {

constexpr uint32_t kMsPerSecond = 1000;
constexpr uint32_t kMsPerMinute = 60 * kMsPerSecond;
constexpr uint32_t kMsPerHour = 60 * kMsPerMinute;

// `value` in decimal, with zeros in front to at least `digits` digits.
void AppendNumber(std::string& text, unsigned value, int digits) {
    char buffer[16];
    const std::to_chars_result end = std::to_chars(buffer, buffer + sizeof buffer, value);
    const auto length = static_cast<int>(end.ptr - buffer);
    text.append(static_cast<size_t>(std::max(0, digits - length)), '0');
    text.append(buffer, end.ptr);
}

// Formatted without printf: the readouts are set on every block.
std::string Format(uint32_t ms, int hourDigits, bool withTenths) {
    std::string text;
    text.reserve(16);
    AppendNumber(text, ms / kMsPerHour, hourDigits);
    text += ':';
    AppendNumber(text, (ms / kMsPerMinute) % 60, 2);
    text += ':';
    AppendNumber(text, (ms / kMsPerSecond) % 60, 2);
    if (withTenths) {
        text += '.';
        text += static_cast<char>('0' + (ms / 100) % 10);
    }
    return text;
}

}  // namespace

std::string FormatDuration(uint32_t ms, bool withTenths) {
    return Format(ms, 1, withTenths);
}

std::string FormatRecordDuration(uint32_t ms) {
    return Format(ms, 2, false);
}

}  // namespace tarnwick
