#include "core/over_lamp.h"

#include "core/level_math.h"

namespace tarnwick {

void UpdateOverLamp(TOverLamp& lamp, const TBlockLevels& levels) {
    if (levels.LeftOverCandidate > kOverThreshold || levels.RightOverCandidate > kOverThreshold) {
        lamp.OverLampCount = kLampBlocks;
        lamp.colour = kLampLit;
        return;
    }
    if (lamp.OverLampCount > 0) {
        lamp.OverLampCount -= 1;
    }
    if (lamp.OverLampCount < 1) {
        lamp.colour = kLampDark;
    }
}

}  // namespace tarnwick
