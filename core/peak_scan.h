#pragma once
// The vector paths of the block analyser. Each runs the frame-by-frame rules of
// AnalyseBlock over the first frames of a block, many frames at a time, and
// leaves exactly the state those rules leave.

#include <cstdint>

// The AVX2 path is compiled for its own functions only, so the program still
// runs on any x86-64; it is taken only on a processor that has AVX2.
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TARNWICK_AVX2_PATH 1
#endif

namespace tarnwick {

// Integration closes 1/40 of the gap between a peak and a louder value per frame.
constexpr int32_t kIntegrationDivisor = 40;
// gap div 40 is (gap x 52429) >> 21, exact for every gap below 65536: what the
// vector paths compute with one 16-bit multiply (keeping the high half) and a
// shift by 5.
constexpr int32_t kDivideBy40Multiplier = 52429;
constexpr int kDivideBy40Shift = 5;

// The running peaks of one block and the over candidates, amplitudes 0..32768.
struct BlockPeaks {
    int32_t left = 0, right = 0, sum = 0, difference = 0;
    int32_t leftCandidate = 0, rightCandidate = 0;
};

// A scan starts from zero peaks at the first of `frameCount` frames at `bytes`
// (the capture format) and takes as many whole groups of frames as fit (16
// frames for SSE2, 8 for AVX2). It returns the number of frames taken; `peaks`
// is the state after them, from which the frame-by-frame rules go on, and
// `largestSum` the largest |(L + R) div 2| among them (0 if none).
// `integrate`: the slow rise, 1/40 of the gap a frame.
#if defined(__SSE2__)
int32_t ScanPeaksSse2(bool integrate, const uint8_t* bytes, int32_t frameCount, BlockPeaks& peaks,
                      int32_t& largestSum);
#endif
#if defined(TARNWICK_AVX2_PATH)
// Only on a processor with AVX2.
int32_t ScanPeaksAvx2(bool integrate, const uint8_t* bytes, int32_t frameCount, BlockPeaks& peaks,
                      int32_t& largestSum);
#endif

}  // namespace tarnwick
