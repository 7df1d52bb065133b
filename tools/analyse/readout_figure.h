#pragma once
// A figure of the analyser's printed readouts: fixed decimals with a point
// whatever the locale, "-inf" where nothing could be measured ("nan" where no
// figure is defined), then a space
// and the unit, as "62.0 dB".

#include <charconv>
#include <cmath>
#include <string>

namespace tarnwick {

inline std::string ReadoutFigure(double value, const char* unit, int decimals = 1) {
    if (std::isnan(value)) {
        return std::string("nan ") + unit;
    }
    if (std::isinf(value)) {
        return std::string(value > 0 ? "inf " : "-inf ") + unit;
    }
    char digits[64];
    const std::to_chars_result end =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    return std::string(digits, end.ptr) + " " + unit;
}

}  // namespace tarnwick
