#pragma once
// The texts of the level readouts.

#include <string>

namespace tarnwick {

// Shown by a level readout whose amplitude is 0 (four characters, the last a blank).
inline const std::string kLowReadout = "low ";
// Label11 before the first rise of the system maximum.
inline const std::string kSystemMaxCaption = "System Max";

// A blank, then the value rounded to 7 significant digits and then to one
// decimal, in fixed notation: -23.456 -> " -23.5", 95 -> " 95.0".
std::string FormatLevelReadout(double db, char32_t separator);

// "System Max " and the value rounded once, to 3 significant digits or one
// decimal, whichever is coarser: -6.0206 -> "System Max -6.0".
std::string FormatSystemMax(double db, char32_t separator);

// Label6: "Time " + seconds with 2 significant digits + " Secs" ("Time 0.28 Secs").
std::string FormatAverageTime(double seconds, char32_t separator);

}  // namespace tarnwick
