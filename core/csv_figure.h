#pragma once
// A figure of the programs' CSV logs: one decimal (or `decimals`) and a point
// whatever the locale, "-inf" where there is nothing to measure, then a comma.

#include <charconv>
#include <cmath>
#include <string>

namespace tarnwick {

inline void AppendCsvFigure(std::string& row, double value, int decimals = 1) {
    if (!std::isfinite(value)) {
        row += value > 0 ? "inf," : "-inf,";
        return;
    }
    char digits[64];
    const std::to_chars_result end =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, decimals);
    row.append(digits, static_cast<size_t>(end.ptr - digits));
    row.push_back(',');
}

}  // namespace tarnwick
