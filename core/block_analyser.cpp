#include "core/block_analyser.h"

#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "core/block_analyser_paths.h"
#include "core/capture_format.h"
#include "core/peak_scan.h"

namespace tarnwick {
namespace {

enum class Source { kInput, kRecording, kReplay };

inline int32_t Abs(int32_t v) {
    return v < 0 ? -v : v;
}

template <bool Integrate>
inline void Rise(int32_t& peak, int32_t value) {
    if constexpr (Integrate) {
        if (value > peak) {
            peak += static_cast<int32_t>(static_cast<uint32_t>(value - peak) /
                                         static_cast<uint32_t>(kIntegrationDivisor));
        }
    } else {
        peak = value > peak ? value : peak;
    }
}

// One frame, by the rules: the candidate takes the peak as it stood before a
// louder value, then each peak rises towards its value.
template <bool Integrate>
inline void Step(BlockPeaks& p, int32_t l, int32_t r) {
    const int32_t a = Abs(l);
    const int32_t b = Abs(r);
    p.leftCandidate = a > p.left ? p.left : p.leftCandidate;
    p.rightCandidate = b > p.right ? p.right : p.rightCandidate;
    Rise<Integrate>(p.left, a);
    Rise<Integrate>(p.right, b);
    Rise<Integrate>(p.sum, Abs((l + r) / 2));
    Rise<Integrate>(p.difference, Abs((l - r) / 2));
}

// The frames a vector path takes from the start of a block (none frame by frame).
// Where a build has no vector path the arguments go unused.
int32_t ScanPeaks(AnalyserPath path, [[maybe_unused]] bool integrate,
                  [[maybe_unused]] const uint8_t* bytes, [[maybe_unused]] int32_t frameCount,
                  [[maybe_unused]] BlockPeaks& peaks, [[maybe_unused]] int32_t& largestSum) {
    switch (path) {
#if defined(__SSE2__)
        case AnalyserPath::kSse2:
            return ScanPeaksSse2(integrate, bytes, frameCount, peaks, largestSum);
#endif
#if defined(TARNWICK_AVX2_PATH)
        case AnalyserPath::kAvx2:
            return ScanPeaksAvx2(integrate, bytes, frameCount, peaks, largestSum);
#endif
        default:
            return 0;
    }
}

template <bool Integrate, Source From>
AnalyseBlockResult Analyse(AnalyserPath path, const AnalyseBlockInput& in, SampleStoreAccess store,
                           int32_t& systemMax) {
    BlockPeaks p;
    int32_t max = systemMax;
    int32_t position = store.position != nullptr ? *store.position : 0;
    const bool hasStore = store.data != nullptr;
    static constexpr uint8_t kSilentFrame[4] = {0, 0, 0, 0};

    int32_t i = 0;
    if constexpr (From != Source::kReplay) {
        int32_t largestSum = 0;
        i = ScanPeaks(path, Integrate, in.bytes, in.frameCount, p, largestSum);
        if constexpr (From == Source::kRecording) {
            max = largestSum > max ? largestSum : max;
            // An empty block may have no bytes at all: nothing to copy.
            if (hasStore && i > 0) {
                const int32_t room = store.capacity > position ? store.capacity - position : 0;
                const int32_t bytes = i * 4 < room ? i * 4 : room;
                std::memcpy(store.data + position, in.bytes, static_cast<size_t>(bytes));
                position += bytes;
            }
        }
    }

    for (; i < in.frameCount; ++i) {
        const uint8_t* frame = in.bytes + static_cast<std::ptrdiff_t>(i) * 4;
        if constexpr (From == Source::kReplay) {
            if (hasStore && position < store.capacity) {
                frame = store.data + position;
                position += 4;
            } else {
                // Past the end of the store the position stays put and the
                // replay measures silence.
                frame = kSilentFrame;
            }
        }
        const int32_t l = ReadSample(frame);
        const int32_t r = ReadSample(frame + 2);
        Step<Integrate>(p, l, r);
        if constexpr (From == Source::kRecording) {
            const int32_t m = Abs((l + r) / 2);
            max = m > max ? m : max;
            if (hasStore && position < store.capacity) {
                std::memcpy(store.data + position, frame, 4);
                position += 4;
            }
        }
    }

    AnalyseBlockResult result;
    result.levels.LeftPeak = p.left;
    result.levels.RightPeak = p.right;
    result.levels.SumPeak = p.sum;
    result.levels.DifferencePeak = p.difference;
    result.levels.LeftOverCandidate = p.leftCandidate;
    result.levels.RightOverCandidate = p.rightCandidate;
    if constexpr (From == Source::kRecording) {
        result.systemMaxRose = max > systemMax;
        systemMax = max;
    }
    if (store.position != nullptr) {
        *store.position = position;
    }
    return result;
}

template <bool Integrate>
AnalyseBlockResult AnalyseFrom(AnalyserPath path, const AnalyseBlockInput& in,
                               SampleStoreAccess store, int32_t& systemMax) {
    if (in.testRunning) {
        return Analyse<Integrate, Source::kRecording>(path, in, store, systemMax);
    }
    if (in.replaying) {
        return Analyse<Integrate, Source::kReplay>(path, in, store, systemMax);
    }
    return Analyse<Integrate, Source::kInput>(path, in, store, systemMax);
}

AnalyserPath FindFastestPath() {
    for (const AnalyserPath path : {AnalyserPath::kAvx2, AnalyserPath::kSse2}) {
        if (AnalyserPathRuns(path)) {
            return path;
        }
    }
    return AnalyserPath::kFrameByFrame;
}

}  // namespace

bool AnalyserPathRuns(AnalyserPath path) {
    switch (path) {
        case AnalyserPath::kFrameByFrame:
            return true;
        case AnalyserPath::kSse2:
#if defined(__SSE2__)
            return true;
#else
            return false;
#endif
        case AnalyserPath::kAvx2:
#if defined(TARNWICK_AVX2_PATH)
            // Ready even before static constructors have run. The answer is
            // no where the system does not save the 256-bit registers.
            __builtin_cpu_init();
            return __builtin_cpu_supports("avx2") != 0;
#else
            return false;
#endif
    }
    return false;
}

AnalyserPath FastestAnalyserPath() {
    static const AnalyserPath fastest = FindFastestPath();
    return fastest;
}

AnalyseBlockResult AnalyseBlockOn(AnalyserPath path, const AnalyseBlockInput& input,
                                  SampleStoreAccess store, int32_t& systemMax) {
    if (!AnalyserPathRuns(path)) {
        path = AnalyserPath::kFrameByFrame;
    }
    return input.integrate ? AnalyseFrom<true>(path, input, store, systemMax)
                           : AnalyseFrom<false>(path, input, store, systemMax);
}

AnalyseBlockResult AnalyseBlock(const AnalyseBlockInput& input, SampleStoreAccess store,
                                int32_t& systemMax) {
    const AnalyserPath path = FastestAnalyserPath();
    return input.integrate ? AnalyseFrom<true>(path, input, store, systemMax)
                           : AnalyseFrom<false>(path, input, store, systemMax);
}

}  // namespace tarnwick
