#pragma once
// AnalyseBlock: the peaks and over candidates of one capture block.

#include <cstdint>

namespace tarnwick {

// The levels of one block. All amplitudes, 0..32768, starting from 0 every block.
struct TBlockLevels {
    int32_t LeftPeak = 0;
    int32_t RightPeak = 0;
    int32_t SumPeak = 0;         // peak of |(L + R) div 2|
    int32_t DifferencePeak = 0;  // peak of |(L - R) div 2|
    // LeftPeak (RightPeak) as it stood before its last rise in the block; 0 if it
    // never rose. A candidate above kOverThreshold lights the over lamp.
    int32_t LeftOverCandidate = 0;
    int32_t RightOverCandidate = 0;
    int32_t SelectedPeak = 0;  // by Channel: set by the pipeline
    int32_t Level = 0;         // the block level for decisions: set by the pipeline
};

// The sample store a running test records into and a replay reads from.
// `data` may be null (no store): nothing is recorded and a replay reads silence.
struct SampleStoreAccess {
    uint8_t* data = nullptr;
    int32_t capacity = 0;         // bytes, a multiple of 4
    int32_t* position = nullptr;  // StorePosition: byte index of the next frame
};

struct AnalyseBlockInput {
    const uint8_t* bytes = nullptr;  // frames of 4 bytes: left, right, 16-bit LE
    int32_t frameCount = 0;
    bool integrate = true;     // slow rise: each frame closes 1/40 of the gap
    bool testRunning = false;  // record into the store, follow SystemMax
    bool replaying = false;    // take the frames from the store instead
};

struct AnalyseBlockResult {
    TBlockLevels levels;
    // SystemMax rose during the block (only while a test runs); its new value is
    // in the SystemMax argument.
    bool systemMaxRose = false;
};

// Analyses `frameCount` frames. While a test runs, each frame is copied into the
// store at *store.position (advancing it by 4 while below capacity) and SystemMax
// follows the largest |(L + R) div 2|. While replaying, frames are read from the
// store instead, the position advancing the same way. A test and a replay never
// run together.
AnalyseBlockResult AnalyseBlock(const AnalyseBlockInput& input, SampleStoreAccess store,
                                int32_t& systemMax);

}  // namespace tarnwick
