#pragma once
// The ways AnalyseBlock can run through a block. All give exactly the result of
// the frame-by-frame rules; AnalyseBlock takes the fastest this processor runs.
// Tests and benchmarks run each one.

#include <cstdint>

#include "core/block_analyser.h"

namespace tarnwick {

enum class AnalyserPath {
    kFrameByFrame,  // the rules alone, on any processor
    kSse2,          // 4 frames a vector, on any x86-64
    kAvx2,          // 8 frames a vector, on x86 processors that have AVX2
};

// True when this build and this processor run `path`.
bool AnalyserPathRuns(AnalyserPath path);

// The path AnalyseBlock takes: the fastest that runs, found on the first call.
AnalyserPath FastestAnalyserPath();

// AnalyseBlock on `path`; a path that does not run here is taken frame by frame.
AnalyseBlockResult AnalyseBlockOn(AnalyserPath path, const AnalyseBlockInput& input,
                                  SampleStoreAccess store, int32_t& systemMax);

}  // namespace tarnwick
