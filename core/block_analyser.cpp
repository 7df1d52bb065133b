#include "core/block_analyser.h"

#include <cstring>

namespace tarnwick {
namespace {

// Integration closes 1/40 of the gap between a peak and a louder value per frame.
constexpr uint32_t kIntegrationDivisor = 40;

enum class Source { kInput, kRecording, kReplay };

inline int32_t Sample(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

inline int32_t Abs(int32_t v) {
    return v < 0 ? -v : v;
}

template <bool Integrate>
inline void Rise(int32_t& peak, int32_t value) {
    if constexpr (Integrate) {
        if (value > peak) {
            peak += static_cast<int32_t>(static_cast<uint32_t>(value - peak) / kIntegrationDivisor);
        }
    } else {
        peak = value > peak ? value : peak;
    }
}

template <bool Integrate, Source From>
AnalyseBlockResult Analyse(const AnalyseBlockInput& in, SampleStoreAccess store,
                           int32_t& systemMax) {
    int32_t left = 0, right = 0, sum = 0, difference = 0;
    int32_t leftCandidate = 0, rightCandidate = 0;
    int32_t max = systemMax;
    int32_t position = store.position != nullptr ? *store.position : 0;
    static constexpr uint8_t kSilentFrame[4] = {0, 0, 0, 0};

    const uint8_t* frame = in.bytes;
    for (int32_t i = 0; i < in.frameCount; ++i, frame += 4) {
        const uint8_t* p = frame;
        if constexpr (From == Source::kReplay) {
            if (store.data != nullptr && position < store.capacity) {
                p = store.data + position;
                position += 4;
            } else {
                // Past the end of the store the position stays put and the
                // replay measures silence.
                p = kSilentFrame;
            }
        }
        const int32_t l = Sample(p);
        const int32_t r = Sample(p + 2);
        const int32_t m = Abs((l + r) / 2);
        const int32_t s = Abs((l - r) / 2);
        const int32_t a = Abs(l);
        const int32_t b = Abs(r);

        leftCandidate = a > left ? left : leftCandidate;
        rightCandidate = b > right ? right : rightCandidate;
        Rise<Integrate>(left, a);
        Rise<Integrate>(right, b);
        Rise<Integrate>(sum, m);
        Rise<Integrate>(difference, s);

        if constexpr (From == Source::kRecording) {
            max = m > max ? m : max;
            if (store.data != nullptr && position < store.capacity) {
                std::memcpy(store.data + position, frame, 4);
                position += 4;
            }
        }
    }

    AnalyseBlockResult result;
    result.levels.LeftPeak = left;
    result.levels.RightPeak = right;
    result.levels.SumPeak = sum;
    result.levels.DifferencePeak = difference;
    result.levels.LeftOverCandidate = leftCandidate;
    result.levels.RightOverCandidate = rightCandidate;
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
AnalyseBlockResult AnalyseFrom(const AnalyseBlockInput& in, SampleStoreAccess store,
                               int32_t& systemMax) {
    if (in.testRunning) {
        return Analyse<Integrate, Source::kRecording>(in, store, systemMax);
    }
    if (in.replaying) {
        return Analyse<Integrate, Source::kReplay>(in, store, systemMax);
    }
    return Analyse<Integrate, Source::kInput>(in, store, systemMax);
}

}  // namespace

AnalyseBlockResult AnalyseBlock(const AnalyseBlockInput& input, SampleStoreAccess store,
                                int32_t& systemMax) {
    return input.integrate ? AnalyseFrom<true>(input, store, systemMax)
                           : AnalyseFrom<false>(input, store, systemMax);
}

}  // namespace tarnwick
