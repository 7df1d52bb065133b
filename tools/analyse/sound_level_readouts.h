#pragma once
// The sound level readouts of tarnwick-analyse (--spl): the test's figures,
// one per line as Name<TAB>text:
//   LAeq LCeq LZeq LAE LAFmax LASmax LAFmin LCpeak LEX8h   "62.0 dB"
//   LA<N> for each entry of the settings' statistics list  "LA10\t70.0 dB"
//   Dose, against the settings' criterion and exchange rate "Dose\t158 %"
//   Overload, the seconds of the test that held a sample at full scale,
//   whose figures describe a clipped signal                "Overload\t0 s"
// A level where nothing was measured reads "-inf dB".

#include <string>

#include "core/meter_settings.h"

namespace tarnwick {

class SoundLevelMeter;

std::string SoundLevelReadouts(const SoundLevelMeter& meter, const TMeterSettings& settings);

}  // namespace tarnwick
