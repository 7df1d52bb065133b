#pragma once
// Decimal number texts of the readouts and results files. Ties in decimal
// rounding go away from zero, as the regional number formats of the desktop do.

#include <string>

namespace tarnwick {

// The separator as UTF-8 text.
std::string DecimalSeparatorText(char32_t separator);

// `value` rounded to `precision` significant digits, then to `decimals` decimal
// places, written in fixed notation with exactly `decimals` decimals. A value that
// rounds to zero is written without a sign. Switches to exponent notation only
// when the value has more integer digits than `precision` allows and more than 15.
std::string FormatFixed(double value, int precision, int decimals, char32_t separator);

// `value` rounded once, to `precision` significant digits or to `decimals`
// decimal places, whichever is coarser, in fixed notation with exactly
// `decimals` decimals: with 3 and 1, 3.846 -> "3.8", 12.34 -> "12.3",
// 105.37 -> "105.0". A value that rounds to zero is written without a sign.
std::string FormatCoarser(double value, int precision, int decimals, char32_t separator);

// `value` rounded to `precision` significant digits, trailing zeros dropped (0.3,
// 0.28, 10); exponent notation (1E2) once the exponent reaches `precision`, or
// below -4.
std::string FormatGeneral(double value, int precision, char32_t separator);

}  // namespace tarnwick
