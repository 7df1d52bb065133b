#include "spl/noise_exposure.h"

#include <cmath>

namespace tarnwick {

double Lex8hDb(double laeqDb, double durationS) {
    return laeqDb + 10.0 * std::log10(durationS / kExposureReferenceS);
}

double EqualEnergyDosePercent(double lex8hDb, double criterionDb) {
    return 100.0 * std::pow(10.0, (lex8hDb - criterionDb) / 10.0);
}

double FiveDbDosePercent(double integralS, double referenceDb, double criterionDb) {
    return 100.0 * integralS / kExposureReferenceS *
           std::exp2((referenceDb - criterionDb) / kFiveDbExchangeDb);
}

}  // namespace tarnwick
