// The analyser's SSE2 path: four frames a vector, sixteen-frame chunks.

#include "core/peak_scan.h"

#if defined(__SSE2__)
#include <emmintrin.h>

#include <bit>
#include <cstddef>

namespace tarnwick {
namespace {

// The frame-by-frame rules on all four peaks at once. The peaks live in the 16-bit lanes
// 0..3 (left, right, sum, difference) of a vector, each magnitude (0..32768)
// with its top bit flipped, so that signed comparisons order them as unsigned
// numbers. Lanes 4..7 carry values nobody reads.
constexpr int kChunkFrames = 16;

struct SimdPeaks {
    __m128i peaks = _mm_set1_epi16(static_cast<int16_t>(0x8000));  // 0, biased
    __m128i candidates = _mm_set1_epi16(static_cast<int16_t>(0x8000));
};

inline __m128i Bias() {
    return _mm_set1_epi16(static_cast<int16_t>(0x8000));
}

inline __m128i Abs32(__m128i x) {
    const __m128i sign = _mm_srai_epi32(x, 31);
    return _mm_sub_epi32(_mm_xor_si128(x, sign), sign);
}

// (x div 2), truncating toward zero as integer division does.
inline __m128i Half32(__m128i x) {
    return _mm_srai_epi32(_mm_add_epi32(x, _mm_srli_epi32(x, 31)), 1);
}

// Frame vectors of 4 frames: [a0 b0 m0 s0 a1 b1 m1 s1] and [a2 b2 m2 s2 ...],
// biased, from 16 bytes of interleaved 16-bit samples.
inline void FrameVectors(const uint8_t* bytes, __m128i& frames01, __m128i& frames23) {
    const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
    const __m128i sign = _mm_srai_epi16(x, 15);
    // |-32768| is 0x8000: right as an unsigned 16-bit magnitude.
    const __m128i magnitudes = _mm_xor_si128(_mm_sub_epi16(_mm_xor_si128(x, sign), sign), Bias());
    const __m128i half = _mm_set1_epi32(32768);
    const __m128i sums = Abs32(Half32(_mm_madd_epi16(x, _mm_set1_epi16(1))));
    const __m128i differences =
        Abs32(Half32(_mm_madd_epi16(x, _mm_set1_epi32(static_cast<int32_t>(0xFFFF0001u)))));
    // m - 32768 fits a signed 16-bit lane and equals m with its top bit flipped.
    const __m128i packed =
        _mm_packs_epi32(_mm_sub_epi32(sums, half), _mm_sub_epi32(differences, half));
    const __m128i sumsAndDifferences =
        _mm_unpacklo_epi16(packed, _mm_unpackhi_epi64(packed, packed));
    frames01 = _mm_unpacklo_epi32(magnitudes, sumsAndDifferences);
    frames23 = _mm_unpackhi_epi32(magnitudes, sumsAndDifferences);
}

template <bool Integrate>
inline void StepSimd(SimdPeaks& s, __m128i value) {
    const __m128i louder = _mm_cmpgt_epi16(value, s.peaks);
    s.candidates =
        _mm_or_si128(_mm_and_si128(louder, s.peaks), _mm_andnot_si128(louder, s.candidates));
    if constexpr (Integrate) {
        const __m128i gap = _mm_sub_epi16(value, s.peaks);
        const __m128i step = _mm_srli_epi16(
            _mm_mulhi_epu16(gap, _mm_set1_epi16(static_cast<int16_t>(kDivideBy40Multiplier))),
            kDivideBy40Shift);
        s.peaks = _mm_add_epi16(s.peaks, _mm_and_si128(louder, step));
    } else {
        s.peaks = _mm_max_epi16(s.peaks, value);
    }
}

// True when no frame of a chunk whose largest values are `max` can change the
// state: no value above its peak, or, with integration, none far enough above it
// to make it rise while the candidate already holds the peak (a louder value
// would set it to the peak again).
template <bool Integrate>
inline bool ChunkChangesNothing(const SimdPeaks& s, __m128i max) {
    const __m128i notAbove = _mm_andnot_si128(_mm_cmpgt_epi16(max, s.peaks), _mm_set1_epi16(-1));
    __m128i unmoved = notAbove;
    if constexpr (Integrate) {
        const __m128i gap = _mm_xor_si128(_mm_sub_epi16(max, s.peaks), Bias());
        const __m128i near = _mm_cmplt_epi16(
            gap, _mm_set1_epi16(static_cast<int16_t>(kIntegrationDivisor ^ 0x8000)));
        // Sum and difference have no candidate.
        const __m128i candidateHeld = _mm_or_si128(_mm_cmpeq_epi16(s.candidates, s.peaks),
                                                   _mm_set_epi16(0, 0, 0, 0, -1, -1, 0, 0));
        unmoved = _mm_or_si128(notAbove, _mm_and_si128(near, candidateHeld));
    }
    return (_mm_movemask_epi8(unmoved) & 0xFF) == 0xFF;
}

inline int32_t Lane(__m128i x, int lane) {
    int32_t value = 0;
    switch (lane) {
        case 0:
            value = _mm_extract_epi16(x, 0);
            break;
        case 1:
            value = _mm_extract_epi16(x, 1);
            break;
        case 2:
            value = _mm_extract_epi16(x, 2);
            break;
        default:
            value = _mm_extract_epi16(x, 3);
            break;
    }
    return value ^ 0x8000;
}

BlockPeaks ToPeaks(const SimdPeaks& s) {
    BlockPeaks p;
    p.left = Lane(s.peaks, 0);
    p.right = Lane(s.peaks, 1);
    p.sum = Lane(s.peaks, 2);
    p.difference = Lane(s.peaks, 3);
    p.leftCandidate = Lane(s.candidates, 0);
    p.rightCandidate = Lane(s.candidates, 1);
    return p;
}

// Runs whole chunks of `frameCount` frames; returns the frames done. Most of a
// block lies below the peaks its first loud frames have set, so a chunk that
// cannot move anything is passed over after one look at its largest values. The
// result is exactly that of the frame-by-frame rules.
template <bool Integrate>
int32_t AnalyseChunks(const uint8_t* bytes, int32_t frameCount, BlockPeaks& out,
                      int32_t& largestSum) {
    SimdPeaks s;
    __m128i largest = _mm_set1_epi16(static_cast<int16_t>(0x8000));
    int32_t i = 0;
    __m128i frames[kChunkFrames / 2];
    for (; i + kChunkFrames <= frameCount; i += kChunkFrames) {
        const uint8_t* chunk = bytes + static_cast<std::ptrdiff_t>(i) * 4;
        __m128i max = _mm_set1_epi16(static_cast<int16_t>(0x8000));
        for (int k = 0; k < kChunkFrames / 4; ++k) {
            FrameVectors(chunk + 16 * k, frames[2 * k], frames[2 * k + 1]);
            max = _mm_max_epi16(max, _mm_max_epi16(frames[2 * k], frames[2 * k + 1]));
        }
        max = _mm_max_epi16(max, _mm_unpackhi_epi64(max, max));
        largest = _mm_max_epi16(largest, max);
        if (ChunkChangesNothing<Integrate>(s, max)) {
            continue;
        }
        // Peaks only rise: a frame no louder in any lane than the peaks as the
        // chunk began changes nothing, and only the others are stepped through,
        // in their order. In programme most frames of a chunk are such.
        const __m128i before = _mm_unpacklo_epi64(s.peaks, s.peaks);
        uint32_t louder = 0;
        for (int k = 0; k < kChunkFrames / 2; ++k) {
            const int lanes = _mm_movemask_epi8(_mm_cmpgt_epi16(frames[k], before));
            louder |= static_cast<uint32_t>((lanes & 0x00FF) != 0) << (2 * k);
            louder |= static_cast<uint32_t>((lanes & 0xFF00) != 0) << (2 * k + 1);
        }
        // Each frame on its own, so that picking one takes no branch on its
        // place in a pair: such a branch is as often wrong as right.
        alignas(16) uint64_t single[kChunkFrames];
        for (int k = 0; k < kChunkFrames / 2; ++k) {
            _mm_store_si128(reinterpret_cast<__m128i*>(single + 2 * k), frames[k]);
        }
        for (; louder != 0; louder &= louder - 1) {
            const uint64_t* frame = single + std::countr_zero(louder);
            StepSimd<Integrate>(s, _mm_loadl_epi64(reinterpret_cast<const __m128i*>(frame)));
        }
    }
    out = ToPeaks(s);
    largestSum = Lane(largest, 2);
    return i;
}

}  // namespace

int32_t ScanPeaksSse2(bool integrate, const uint8_t* bytes, int32_t frameCount, BlockPeaks& peaks,
                      int32_t& largestSum) {
    return integrate ? AnalyseChunks<true>(bytes, frameCount, peaks, largestSum)
                     : AnalyseChunks<false>(bytes, frameCount, peaks, largestSum);
}

}  // namespace tarnwick
#endif
