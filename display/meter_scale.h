#pragma once
// The eight meter scales: the amplitude-to-height table and the marks drawn
// beside the bars. A scale maps the table index (amplitude / CalibrationFactor)
// piecewise linearly to 0..255 scale units; pixels are units x 3 div 2, so the top
// of every scale is 382 pixels above the baseline.

#include <array>
#include <cstdint>
#include <string>

#include "core/level_math.h"

namespace tarnwick {

constexpr int kMajorTicks = 10;
constexpr int kMinorTicks = 8;

struct ScaleLabel {
    int32_t position = 0;  // pixels above the baseline; 0: not drawn
    std::string text;      // empty: no text
};

struct ScaleMarks {
    ScaleLabel unit;                            // the unit label ("dB", "ppm")
    std::array<ScaleLabel, kMajorTicks> major;  // ticks 1..10 with their labels
    std::array<int32_t, kMinorTicks> minor{};   // positions; 0: not drawn
};

struct TMeterScale {
    HeightTable heights{};
    ScaleMarks marks;
};

// Names of the scales, as the setup dialog lists them.
extern const std::array<const char*, 8> kScaleNames;

// The scale built for a `Scale` setting: itself when 0..7, else the default 2.
int32_t EffectiveScale(int32_t scale);

// Fills heights[first..last] from `startUnits` to `endUnits`, linearly, with the
// rounding of the original double accumulation (halves to even).
void FillHeightSegment(HeightTable& heights, int first, int last, int32_t startUnits,
                       int32_t endUnits);

// Rebuilds the table and the marks for `scale` (0..7; any other value builds the
// default scale 2). Returns the DisplayOffset: `fullScale` for the user
// full-scale scale, else 0.
int32_t BuildScale(TMeterScale& meterScale, int32_t scale, int32_t fullScale);

}  // namespace tarnwick
