#pragma once
// LevelHistogram: how often each level occurred, in 0.1 dB bins of fixed
// number, for the statistical levels LN (the level exceeded N % of the time,
// ISO 1996-1). A week of 100 ms levels takes the same 18 KB as a minute.
//
// Levels are in dB relative to a full-scale sine, so that a change of
// sensitivity shifts the statistics without rebinning them. Each bin is
// centred on a tenth of a dB: a level of exactly -24.0 counts as -24.0
// whatever rounding brought it there.

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarnwick {

class LevelHistogram {
public:
    static constexpr double kBinDb = 0.1;
    // Levels below the lowest bin, silence (minus infinity) among them, count
    // in the lowest; levels above the highest in the highest.
    static constexpr int kLowestTenths = -2000;  // -200.0 dB
    static constexpr int kHighestTenths = 300;   // +30.0 dB
    static constexpr size_t kBins = kHighestTenths - kLowestTenths + 1;

    void Add(double levelDb);
    void Clear();
    uint64_t Count() const { return count_; }

    // The level exceeded by `percent` % (0..100) of the levels added: the
    // highest bin at which the levels at or above it reach that share. Minus
    // infinity when nothing was added, or when the answer is the lowest bin.
    double LevelExceeded(double percent) const;

private:
    std::array<uint64_t, kBins> counts_{};
    uint64_t count_ = 0;
};

}  // namespace tarnwick
