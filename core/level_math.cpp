#include "core/level_math.h"

#include <cmath>

namespace tarnwick {

double RoundHalfEven(double x) {
    const double r = std::round(x);  // halves away from zero
    if (std::fabs(x - std::trunc(x)) == 0.5) {
        return 2.0 * std::round(x / 2.0);
    }
    return r;
}

double AmplitudeToDb(int32_t amplitude, double offsetDb) {
    if (amplitude == 0) {
        return kSilenceDb;
    }
    return 20.0 * std::log10(static_cast<double>(amplitude) / kFullScale) - offsetDb;
}

int32_t DbToAmplitude(double db) {
    return static_cast<int32_t>(RoundHalfEven(kFullScale * std::pow(10.0, db / 20.0)));
}

double CalibrationFactorFor(double calibrationDb) {
    return 10.0 * std::pow(10.0, calibrationDb / 20.0);
}

double PipelineCalibrationFactorFor(double calibrationDb) {
    const double factor = CalibrationFactorFor(calibrationDb);
    return factor < 1.0 ? 1.0 : factor;
}

int32_t AmplitudeToHeight(double amplitude, double calibrationFactor, const HeightTable& table) {
    double index = RoundHalfEven(amplitude / calibrationFactor);
    if (!(index <= kHeightTableLastIndex)) {  // also catches NaN from a zero factor
        index = kHeightTableLastIndex;
    }
    if (index < 0) {
        index = 0;
    }
    return table[static_cast<size_t>(index)];
}

double ReadoutDb(int32_t amplitude, double calibrationDb, int32_t displayOffset) {
    return AmplitudeToDb(amplitude, calibrationDb) + displayOffset + calibrationDb;
}

double MeanSquareToDb(double meanSquare, double sensitivityDb) {
    // The mean square of a full-scale sine.
    constexpr double kFullScaleSineMeanSquare = 0.5;
    if (!(meanSquare > 0.0) || !std::isfinite(meanSquare)) {
        return -INFINITY;
    }
    return sensitivityDb + 10.0 * std::log10(meanSquare / kFullScaleSineMeanSquare);
}

}  // namespace tarnwick
