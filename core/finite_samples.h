#pragma once
// Samples that are no numbers. A damaged floating-point recording can hold
// NaN or infinity; one such sample in a filter's state would spoil every
// figure after it. The meters take each as silence and count it.

#include <bit>
#include <cstddef>
#include <cstdint>

namespace tarnwick {

// NaN or +-infinity: every exponent bit set.
inline bool IsNonFinite(float sample) {
    constexpr uint32_t kExponentBits = 0x7F800000u;
    return (std::bit_cast<uint32_t>(sample) & kExponentBits) == kExponentBits;
}

// How many of `count` samples are no numbers. Cheap enough to run on every
// sample: it vectorises.
inline size_t CountNonFinite(const float* samples, size_t count) {
    size_t found = 0;
    for (size_t i = 0; i < count; ++i) {
        found += IsNonFinite(samples[i]) ? 1 : 0;
    }
    return found;
}

// `count` samples into `out`, each that is no number as 0.
inline void CopyAsFinite(const float* samples, size_t count, float* out) {
    for (size_t i = 0; i < count; ++i) {
        out[i] = IsNonFinite(samples[i]) ? 0.0f : samples[i];
    }
}

}  // namespace tarnwick
