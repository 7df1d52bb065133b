#include "display/readout_format.h"

#include "core/number_format.h"

namespace tarnwick {

std::string FormatLevelReadout(double db, char32_t separator) {
    return " " + FormatFixed(db, 7, 1, separator);
}

std::string FormatSystemMax(double db, char32_t separator) {
    return "System Max " + FormatCoarser(db, 3, 1, separator);
}

std::string FormatAverageTime(double seconds, char32_t separator) {
    return "Time " + FormatGeneral(seconds, 2, separator) + " Secs";
}

}  // namespace tarnwick
