#pragma once
// The fixed parts of the meter picture: the black ground, the meter panel with
// its bevel frame, and the ticks and labels of the scale.

#include <cstdint>

#include "core/meter_settings.h"
#include "display/meter_bitmap.h"
#include "display/meter_scale.h"

namespace tarnwick {

constexpr uint32_t kMeterPanelColour = 0x332A30;
constexpr int32_t kScaleBaseline = 396;

// A raised frame of dark grey, silver and white lines, pen width 2.
void DrawBevelFrame(MeterBitmap& bitmap, int32_t left, int32_t top, int32_t width, int32_t height);

// The major and minor ticks of the scale, white, to the right of x.
void DrawScaleTicks(MeterBitmap& bitmap, const ScaleMarks& marks, int32_t x, int32_t baseline);

// The labels, bold white, right-aligned at x + 16, on the brush in force. The
// user full-scale scale (7) writes each value plus `displayOffset` and no unit.
void DrawScaleLabels(MeterBitmap& bitmap, const ScaleMarks& marks, int32_t scale,
                     int32_t displayOffset, int32_t x, int32_t baseline);

// Paints the ground, the panel, the frame and the scale of `scale` (whose marks
// BuildScale has made). The graph is cleared by the caller.
void DrawMeterFrame(MeterBitmap& bitmap, const TMeterScale& meterScale, int32_t scale,
                    int32_t displayOffset);

}  // namespace tarnwick
