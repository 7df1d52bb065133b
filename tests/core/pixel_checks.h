#pragma once
// Checks of the meter picture's pixels, for the pixel tests.

#include <gtest/gtest.h>

#include <cstdint>

#include "display/meter_bitmap.h"

namespace tarnwick {

// Every pixel of `r` (right and bottom edges excluded) has `colour` (0x00BBGGRR).
inline ::testing::AssertionResult AllOf(const MeterBitmap& bm, const TRect& r, uint32_t colour) {
    for (int32_t y = r.y1; y < r.y2; ++y) {
        for (int32_t x = r.x1; x < r.x2; ++x) {
            if (bm.PixelColour(x, y) != colour) {
                return ::testing::AssertionFailure(::testing::Message()
                                                   << "(" << x << ", " << y << ") is " << std::hex
                                                   << bm.PixelColour(x, y) << ", not " << colour);
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// The pixel at (x, y) has `colour`.
inline ::testing::AssertionResult Is(const MeterBitmap& bm, int32_t x, int32_t y, uint32_t colour) {
    return AllOf(bm, {x, y, x + 1, y + 1}, colour);
}

}  // namespace tarnwick
