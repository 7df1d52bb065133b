#include "spl/weighting_design_goal.h"

#include <cmath>

#include "spl/iec61672_tables.h"

namespace tarnwick {
namespace {

// The squares of the pole frequencies f1 to f4, in Hz^2: f1 and f4 from fr,
// fL, fH and D, f2 and f3 from fA (Annex E).
struct SquaredPoles {
    double f1, f2, f3, f4;
};

SquaredPoles AnnexEPoles() {
    const double fr2 = iec61672::kFrHz * iec61672::kFrHz;
    const double fl2 = std::pow(10.0, 2.0 * iec61672::kFLExponent);
    const double fh2 = std::pow(10.0, 2.0 * iec61672::kFHExponent);
    const double d = std::sqrt(iec61672::kDSquared);
    const double b = (fr2 + fl2 * fh2 / fr2 - d * (fl2 + fh2)) / (1.0 - d);
    const double c = fl2 * fh2;
    const double root = std::sqrt(b * b - 4.0 * c);
    const double fa = std::pow(10.0, iec61672::kFAExponent);
    const double f2 = (3.0 - std::sqrt(5.0)) / 2.0 * fa;
    const double f3 = (3.0 + std::sqrt(5.0)) / 2.0 * fa;
    return {(-b - root) / 2.0, f2 * f2, f3 * f3, (-b + root) / 2.0};
}

}  // namespace

double WeightingDesignGoalDb(FrequencyWeighting weighting, double frequencyHz) {
    if (weighting == FrequencyWeighting::kZ) {
        return 0.0;
    }
    static const SquaredPoles p = AnnexEPoles();
    const double f2 = frequencyHz * frequencyHz;
    const double c = 20.0 * std::log10(p.f4 * f2 / ((f2 + p.f1) * (f2 + p.f4)));
    if (weighting == FrequencyWeighting::kC) {
        return c - iec61672::kC1000Db;
    }
    return c + 10.0 * std::log10(f2 * f2 / ((f2 + p.f2) * (f2 + p.f3))) - iec61672::kA1000Db;
}

}  // namespace tarnwick
