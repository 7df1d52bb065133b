// The analyser's AVX2 path: eight frames a load, 64-frame batches.

#include "core/peak_scan.h"

#if defined(TARNWICK_AVX2_PATH)
#include <immintrin.h>

#include <algorithm>
#include <bit>
#include <cstddef>

// Only the functions marked so use AVX2 instructions.
#define TARNWICK_AVX2 __attribute__((target("avx2")))

namespace tarnwick {
namespace {

// A frame is four 16-bit lanes in 64 bits: the magnitudes of left, right, sum
// and difference, 0..32768 as unsigned numbers. A vector of 256 bits holds four
// frames in order; the state (peaks, candidates) sits in lanes 0..3 of a
// 128-bit vector, lanes 4..7 holding zeros.
constexpr int kGroupFrames = 8;   // one 32-byte load
constexpr int kBatchFrames = 64;  // a bit each in a 64-bit mask
// Sum and difference have no over candidate: their lanes count as held.
constexpr int16_t kNoCandidate = -1;

// (x div 2), truncating toward zero as integer division does.
TARNWICK_AVX2 inline __m256i Half(__m256i x) {
    return _mm256_srai_epi32(_mm256_add_epi32(x, _mm256_srli_epi32(x, 31)), 1);
}

// Frames 0..3 and 4..7 of the 32 bytes at `bytes`.
TARNWICK_AVX2 inline void FrameLanes(const uint8_t* bytes, __m256i& first, __m256i& second) {
    // Frame pairs in the order 0 2 1 3, so that unpacking within each 128-bit
    // half below puts frames 0..3 in `first` and 4..7 in `second`.
    const __m256i x = _mm256_permute4x64_epi64(
        _mm256_loadu_si256(reinterpret_cast<const __m256i*>(bytes)), _MM_SHUFFLE(3, 1, 2, 0));
    // |-32768| is 0x8000: right as an unsigned 16-bit magnitude.
    const __m256i magnitudes = _mm256_abs_epi16(x);
    const __m256i sums = _mm256_abs_epi32(Half(_mm256_madd_epi16(x, _mm256_set1_epi16(1))));
    const __m256i differences = _mm256_abs_epi32(
        Half(_mm256_madd_epi16(x, _mm256_set1_epi32(static_cast<int32_t>(0xFFFF0001u)))));
    // Sums and differences, 0..32768, to 16 bits, then paired frame by frame.
    const __m256i packed = _mm256_packus_epi32(sums, differences);
    const __m256i pairs = _mm256_shuffle_epi8(
        packed, _mm256_setr_epi8(0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15,  //
                                 0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15));
    first = _mm256_unpacklo_epi32(magnitudes, pairs);
    second = _mm256_unpackhi_epi32(magnitudes, pairs);
}

// Bits 0..3: the frames of `frames` louder in some lane than `peaks`.
TARNWICK_AVX2 inline uint64_t LouderFrames(__m256i frames, __m256i peaks) {
    const __m256i quiet =
        _mm256_cmpeq_epi64(_mm256_subs_epu16(frames, peaks), _mm256_setzero_si256());
    return static_cast<uint64_t>(~_mm256_movemask_pd(_mm256_castsi256_pd(quiet)) & 0xF);
}

// The largest value of each lane over the four frames of `frames`.
TARNWICK_AVX2 inline __m128i LaneMaxima(__m256i frames) {
    const __m128i halves =
        _mm_max_epu16(_mm256_castsi256_si128(frames), _mm256_extracti128_si256(frames, 1));
    return _mm_max_epu16(halves, _mm_unpackhi_epi64(halves, halves));
}

// One frame by the rules: where the value is louder the candidate takes the
// peak, then the peak rises towards the value.
template <bool Integrate>
TARNWICK_AVX2 inline void Step(__m128i& peaks, __m128i& candidates, __m128i value) {
    const __m128i gap = _mm_subs_epu16(value, peaks);  // 0 where not louder
    const __m128i quiet = _mm_cmpeq_epi16(gap, _mm_setzero_si128());
    candidates = _mm_blendv_epi8(peaks, candidates, quiet);
    if constexpr (Integrate) {
        const __m128i rise = _mm_srli_epi16(
            _mm_mulhi_epu16(gap, _mm_set1_epi16(static_cast<int16_t>(kDivideBy40Multiplier))),
            kDivideBy40Shift);
        peaks = _mm_add_epi16(peaks, rise);
    } else {
        peaks = _mm_max_epu16(peaks, value);
    }
}

// With integration: true when no frame of a batch whose largest values are
// `largest` can change the state. In each lane the largest value is no louder
// than the peak, or too near it to make it rise while the candidate already
// holds the peak (a louder value would set it to the peak again).
TARNWICK_AVX2 inline bool BatchChangesNothing(__m128i peaks, __m128i candidates, __m128i largest) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i gap = _mm_subs_epu16(largest, peaks);
    const __m128i notAbove = _mm_cmpeq_epi16(gap, zero);
    const __m128i near = _mm_cmpeq_epi16(
        _mm_subs_epu16(gap, _mm_set1_epi16(static_cast<int16_t>(kIntegrationDivisor - 1))), zero);
    const __m128i held = _mm_or_si128(_mm_cmpeq_epi16(candidates, peaks),
                                      _mm_setr_epi16(0, 0, kNoCandidate, kNoCandidate, 0, 0, 0, 0));
    const __m128i unmoved = _mm_or_si128(notAbove, _mm_and_si128(near, held));
    return (_mm_movemask_epi8(unmoved) & 0xFF) == 0xFF;
}

// Peaks only rise, so a frame no louder in any lane than the peaks as its batch
// began changes nothing: a batch is turned into frames, the louder ones are
// marked against those peaks, and only they are stepped through, in order. In
// programme most frames are passed over. Marking a whole batch before stepping
// keeps the branches few, since whether a frame is louder cannot be foreseen.
template <bool Integrate>
TARNWICK_AVX2 int32_t ScanBatches(const uint8_t* bytes, int32_t frameCount, BlockPeaks& out,
                                  int32_t& largestSum) {
    __m128i peaks = _mm_setzero_si128();
    __m128i candidates = _mm_setzero_si128();
    __m256i largest = _mm256_setzero_si256();
    alignas(32) uint64_t frames[kBatchFrames];
    const int32_t whole = frameCount - frameCount % kGroupFrames;
    int32_t i = 0;
    while (i < whole) {
        const int32_t count = std::min(whole - i, kBatchFrames);
        const __m256i before = _mm256_broadcastq_epi64(peaks);
        __m256i batchLargest = _mm256_setzero_si256();
        uint64_t louder = 0;
        for (int k = 0; k < count; k += kGroupFrames) {
            __m256i first, second;
            FrameLanes(bytes + static_cast<std::ptrdiff_t>(i + k) * 4, first, second);
            _mm256_store_si256(reinterpret_cast<__m256i*>(frames + k), first);
            _mm256_store_si256(reinterpret_cast<__m256i*>(frames + k + 4), second);
            batchLargest = _mm256_max_epu16(batchLargest, _mm256_max_epu16(first, second));
            louder |= LouderFrames(first, before) << k;
            louder |= LouderFrames(second, before) << (k + 4);
        }
        i += count;
        largest = _mm256_max_epu16(largest, batchLargest);
        if constexpr (Integrate) {
            if (BatchChangesNothing(peaks, candidates, LaneMaxima(batchLargest))) {
                louder = 0;
            }
        }
        for (; louder != 0; louder &= louder - 1) {
            const uint64_t* frame = frames + std::countr_zero(louder);
            Step<Integrate>(peaks, candidates,
                            _mm_loadl_epi64(reinterpret_cast<const __m128i*>(frame)));
        }
    }
    out.left = _mm_extract_epi16(peaks, 0);
    out.right = _mm_extract_epi16(peaks, 1);
    out.sum = _mm_extract_epi16(peaks, 2);
    out.difference = _mm_extract_epi16(peaks, 3);
    out.leftCandidate = _mm_extract_epi16(candidates, 0);
    out.rightCandidate = _mm_extract_epi16(candidates, 1);
    largestSum = _mm_extract_epi16(LaneMaxima(largest), 2);
    return i;
}

}  // namespace

int32_t ScanPeaksAvx2(bool integrate, const uint8_t* bytes, int32_t frameCount, BlockPeaks& peaks,
                      int32_t& largestSum) {
    return integrate ? ScanBatches<true>(bytes, frameCount, peaks, largestSum)
                     : ScanBatches<false>(bytes, frameCount, peaks, largestSum);
}

}  // namespace tarnwick
#endif
