#pragma once
// The energies of a programme's measurement blocks (the 400 ms gating blocks
// of integrated loudness, or the 3 s blocks of loudness range), counted in
// bins 0.01 LU wide with the sum of the energies in each bin. The gates of
// ITU-R BS.1770 and EBU Tech 3342 and the range's percentiles are taken from
// it, to within 0.01 LU of the figures computed from every block, in the same
// memory and at the same cost however long the programme runs.
//
// An energy is the K-weighted mean square of a block summed over the
// channels; its loudness is 10 log10(energy) + kLoudnessOffset LUFS.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnwick {

// BS.1770: loudness is 10 log10 of the K-weighted energy, less 0.691.
constexpr double kLoudnessOffset = -0.691;

class BlockEnergyHistogram {
public:
    BlockEnergyHistogram();

    // One block. Blocks below the absolute gate, -70 LUFS, are not counted.
    void Add(double energy);
    // Forgets every block.
    void Clear();
    // Blocks counted.
    uint64_t Count() const { return count_; }

    // The mean energy of the blocks not below `relativeGateLu` (negative)
    // under the mean of all counted blocks: integrated loudness. 0 when no
    // block passes.
    double GatedMeanEnergy(double relativeGateLu) const;

    // The difference in LU between the `low` and `high` percentiles (0..1,
    // nearest rank) of the blocks gated as above: loudness range. 0 when no
    // block passes.
    double PercentileRange(double relativeGateLu, double low, double high) const;

private:
    // The blocks at or above the relative gate, and how many lie below it.
    struct Gated {
        uint64_t below = 0;
        uint64_t count = 0;
        double energy = 0.0;
    };
    Gated Gate(double relativeGateLu) const;
    // Sums over bins 0 .. bin - 1 (Fenwick trees).
    uint64_t CountBelow(size_t bin) const;
    double EnergyBelow(size_t bin) const;
    // The bin holding the block of rank `rank` (0 the quietest).
    size_t BinOfRank(uint64_t rank) const;
    // The mean energy of the blocks in one bin.
    double MeanEnergyOf(size_t bin) const;

    std::vector<uint64_t> countTree_;
    std::vector<double> energyTree_;
    uint64_t count_ = 0;
    double energy_ = 0.0;
};

}  // namespace tarnwick
