#include "spl/weighting_reach.h"

#include "spl/iec61672_tables.h"

namespace tarnwick {

double LowestBandOutOfReachHz(unsigned long sampleRate) {
    const double nyquistHz = static_cast<double>(sampleRate) / 2.0;
    for (const iec61672::FrequencyWeightingRow& band : iec61672::kTable3) {
        if (band.nominalHz > nyquistHz) {
            return band.nominalHz;
        }
    }
    return 0.0;
}

}  // namespace tarnwick
