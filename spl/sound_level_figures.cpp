#include "spl/sound_level_figures.h"

#include <algorithm>
#include <cmath>

namespace tarnwick {

void SoundLevelSums::Merge(const SoundLevelSums& later) {
    samples += later.samples;
    sumA += later.sumA;
    sumC += later.sumC;
    sumZ += later.sumZ;
    fMax = std::max(fMax, later.fMax);
    sMax = std::max(sMax, later.sMax);
    fMin = std::min(fMin, later.fMin);
    cPeak = std::max(cPeak, later.cPeak);
    overloaded = overloaded || later.overloaded;
    overloadedSeconds += later.overloadedSeconds;
    nonFinite += later.nonFinite;
}

SoundLevelFigures SoundLevelSums::Figures(double sensitivityDb, unsigned long sampleRate) const {
    SoundLevelFigures f;
    f.overloadedSeconds = overloadedSeconds;
    f.nonFiniteSamples = nonFinite;
    if (samples == 0) {
        return f;
    }
    const double n = static_cast<double>(samples);
    const double rate = static_cast<double>(sampleRate);
    f.durationS = n / rate;
    f.laeq = MeanSquareToDb(sumA / n, sensitivityDb);
    f.lceq = MeanSquareToDb(sumC / n, sensitivityDb);
    f.lzeq = MeanSquareToDb(sumZ / n, sensitivityDb);
    // Exposure re 1 s: the mean square times the duration in seconds.
    f.lae = MeanSquareToDb(sumA / rate, sensitivityDb);
    f.lafmax = MeanSquareToDb(fMax, sensitivityDb);
    f.lasmax = MeanSquareToDb(sMax, sensitivityDb);
    f.lafmin = MeanSquareToDb(fMin, sensitivityDb);
    // The peak level is 20 lg of the peak pressure: a full-scale sine, which
    // reads the sensitivity, peaks at magnitude 1 and 3.01 dB above it.
    f.lcpeak = MeanSquareToDb(cPeak * cPeak, sensitivityDb);
    return f;
}

}  // namespace tarnwick
