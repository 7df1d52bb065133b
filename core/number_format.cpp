#include "core/number_format.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace tarnwick {
namespace {

// The decimal digits of |value| (no leading zeros) and the exponent of the first
// digit: |value| = 0.d1d2d3... x 10^(exponent + 1).
struct Decimal {
    std::string digits;
    int exponent = 0;
    bool negative = false;
};

Decimal ToDecimal(double value) {
    char buffer[64];
    // 25 significant digits are enough to see every binary tie exactly as a tie.
    std::snprintf(buffer, sizeof buffer, "%.24e", value);
    Decimal d;
    const char* p = buffer;
    if (*p == '-') {
        d.negative = true;
        ++p;
    }
    for (; *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9') {
            d.digits.push_back(*p);
        }
    }
    d.exponent = std::atoi(p + 1);
    return d;
}

// Keeps `count` digits, rounding half away from zero. count may be <= 0.
void RoundDigits(Decimal& d, int count) {
    if (count >= static_cast<int>(d.digits.size())) {
        return;
    }
    if (count < 0) {
        d.digits.assign(1, '0');
        return;
    }
    const bool up = d.digits[static_cast<size_t>(count)] >= '5';
    d.digits.resize(static_cast<size_t>(count));
    if (up) {
        int i = count - 1;
        for (; i >= 0; --i) {
            if (d.digits[static_cast<size_t>(i)] == '9') {
                d.digits[static_cast<size_t>(i)] = '0';
            } else {
                ++d.digits[static_cast<size_t>(i)];
                break;
            }
        }
        if (i < 0) {
            // Every kept digit was a 9 and is now 0: 0.99.. becomes 1.00.., one
            // place higher.
            if (d.digits.empty()) {
                d.digits.assign(1, '1');
            } else {
                d.digits[0] = '1';
            }
            ++d.exponent;
        }
    }
    if (d.digits.empty()) {
        d.digits.assign(1, '0');
    }
}

bool IsZero(const Decimal& d) {
    return d.digits.find_first_not_of('0') == std::string::npos;
}

// The digit of |value| at the place 10^place.
char DigitAt(const Decimal& d, int place) {
    const int index = d.exponent - place;
    if (index < 0 || index >= static_cast<int>(d.digits.size())) {
        return '0';
    }
    return d.digits[static_cast<size_t>(index)];
}

}  // namespace

std::string DecimalSeparatorText(char32_t c) {
    std::string out;
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
    return out;
}

namespace {

std::string NonFiniteText(double value) {
    return std::isnan(value) ? "NAN" : (value < 0 ? "-INF" : "INF");
}

// `d`, already rounded, with exactly `decimals` decimals.
std::string FixedText(const Decimal& d, int decimals, char32_t separator) {
    std::string out;
    if (d.negative && !IsZero(d)) {
        out.push_back('-');
    }
    for (int place = d.exponent > 0 ? d.exponent : 0; place >= 0; --place) {
        out.push_back(DigitAt(d, place));
    }
    if (decimals > 0) {
        out += DecimalSeparatorText(separator);
        for (int place = -1; place >= -decimals; --place) {
            out.push_back(DigitAt(d, place));
        }
    }
    return out;
}

}  // namespace

std::string FormatFixed(double value, int precision, int decimals, char32_t separator) {
    if (!std::isfinite(value)) {
        return NonFiniteText(value);
    }
    if (value == 0.0) {
        value = 0.0;  // drop the sign of -0.0
    }
    Decimal d = ToDecimal(value);
    if (d.exponent >= precision && d.exponent >= 15) {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%.*E", precision - 1, value);
        return buffer;
    }
    RoundDigits(d, precision);
    // Then to `decimals` places: keep the digits down to 10^-decimals.
    RoundDigits(d, d.exponent + decimals + 1);
    return FixedText(d, decimals, separator);
}

std::string FormatCoarser(double value, int precision, int decimals, char32_t separator) {
    if (!std::isfinite(value)) {
        return NonFiniteText(value);
    }
    Decimal d = ToDecimal(value);
    // One rounding, at whichever place lies higher: rounding to the digits first
    // and then to the decimals would turn 3.846 into 3.85 and then 3.9.
    RoundDigits(d, std::min(precision, d.exponent + decimals + 1));
    return FixedText(d, decimals, separator);
}

std::string FormatGeneral(double value, int precision, char32_t separator) {
    if (!std::isfinite(value)) {
        return NonFiniteText(value);
    }
    if (value == 0.0) {
        return "0";
    }
    Decimal d = ToDecimal(value);
    RoundDigits(d, precision);
    while (d.digits.size() > 1 && d.digits.back() == '0') {
        d.digits.pop_back();
    }
    std::string out = d.negative ? "-" : "";
    if (d.exponent >= precision || d.exponent < -4) {
        out.push_back(d.digits[0]);
        if (d.digits.size() > 1) {
            out += DecimalSeparatorText(separator) + d.digits.substr(1);
        }
        out.push_back('E');
        out += std::to_string(d.exponent);
        return out;
    }
    for (int place = d.exponent > 0 ? d.exponent : 0; place >= 0; --place) {
        out.push_back(DigitAt(d, place));
    }
    const int lastPlace = d.exponent - static_cast<int>(d.digits.size()) + 1;
    if (lastPlace < 0) {
        out += DecimalSeparatorText(separator);
        for (int place = -1; place >= lastPlace; --place) {
            out.push_back(DigitAt(d, place));
        }
    }
    return out;
}

}  // namespace tarnwick
