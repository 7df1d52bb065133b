#pragma once
// The design goals of the frequency weightings A, C and Z: the analogue
// responses of IEC 61672-1:2013 Annex E, worked out from the standard's own
// constants fr, fL, fH, D and fA and its normalisation constants
// (spl/iec61672_tables.h). They use nothing of the filters' design
// (spl/frequency_weighting.h), so that the self-test holds the filters to the
// standard and not to themselves.

#include "spl/frequency_weighting.h"

namespace tarnwick {

// The design goal at `frequencyHz` > 0, in dB: C(f) of formula (E.1), A(f)
// of formula (E.6), 0 for Z. About 0 dB at 1 kHz (within the rounding of the
// normalisation constants).
double WeightingDesignGoalDb(FrequencyWeighting weighting, double frequencyHz);

}  // namespace tarnwick
