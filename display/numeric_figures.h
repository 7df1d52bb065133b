#pragma once
// The numeric window's figures: the peak readout in black on white, as large as
// the window allows, placed so that a six-character reading such as "-99.99"
// would sit in the middle.

#include <cstdint>
#include <string>

#include "core/ports/text_rasteriser.h"

namespace tarnwick {

// Draws `peakText` and three blanks, which paint over what a longer earlier
// reading left, on an image of the window's client size. The font is the
// desktop's default face at half the client height in points, or smaller
// where "-99.99" would not fit the client width at that size.
void DrawNumericFigures(ITextRasteriser& text, const RasterImage& image, int32_t clientWidth,
                        int32_t clientHeight, const std::string& peakText);

}  // namespace tarnwick
