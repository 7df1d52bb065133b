#pragma once
// The over lamp: red for a block whose over candidate passes -1 dB and for the
// nine blocks after it, dark red from the tenth block without an over.

#include <cstdint>

#include "core/block_analyser.h"
#include "core/meter_settings.h"

namespace tarnwick {

constexpr Colour kLampLit = 255;  // 0x0000FF, full red
constexpr Colour kLampDark = 89;  // 0x000059, dark red
constexpr int32_t kLampBlocks = 10;

struct TOverLamp {
    int32_t OverLampCount = 0;  // further blocks for which the lamp stays lit
    Colour colour = kLampDark;
};

void UpdateOverLamp(TOverLamp& lamp, const TBlockLevels& levels);

}  // namespace tarnwick
