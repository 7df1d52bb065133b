#pragma once
// Daily noise exposure and dose, pure functions.
//
// LEX,8h (ISO 9612, Directive 2003/10/EC) is the A-weighted level that, held
// for 8 hours, carries the energy measured: LAeq,Te + 10 lg(Te / 8 h). The
// dose is the share, in %, of what a criterion level held for 8 hours allows.
// With the 3 dB exchange rate (equal energy) the dose follows from LEX,8h;
// with 5 dB, each doubling of the dose takes 5 dB more, so the dose is the
// time integral of 2^((L(t) - criterion) / 5) and depends on how the level
// was spread over the time.

namespace tarnwick {

constexpr double kExposureReferenceS = 8.0 * 3600.0;  // the 8-hour working day
constexpr double kDefaultCriterionDb = 85.0;          // dB(A)
constexpr int kEqualEnergyExchangeDb = 3;
constexpr int kFiveDbExchangeDb = 5;

// LAeq over `durationS` > 0 seconds, in dB, to LEX,8h in dB. Minus infinity
// stays minus infinity.
double Lex8hDb(double laeqDb, double durationS);

// The dose in % under the 3 dB exchange rate.
double EqualEnergyDosePercent(double lex8hDb, double criterionDb);

// The dose in % under the 5 dB exchange rate, from `integralS`, the time
// integral in seconds of 2^((L(t) - referenceDb) / 5).
double FiveDbDosePercent(double integralS, double referenceDb, double criterionDb);

}  // namespace tarnwick
