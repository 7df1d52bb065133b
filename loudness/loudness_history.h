#pragma once
// The short-term loudness of a whole test, for its overview graph: one point
// per reading while there is room, and then two points merged into one, so that
// minutes and hours both fit in the same fixed memory.

#include <cstddef>
#include <vector>

namespace tarnwick {

class LoudnessHistory {
public:
    explicit LoudnessHistory(size_t capacity = 1024);

    // One short-term reading, in LUFS (minus infinity for silence).
    void Add(double lufs);
    void Clear();

    // Each point is the energy mean of ReadingsPerPoint() readings; the last
    // point may hold fewer.
    const std::vector<double>& Points() const { return points_; }
    size_t ReadingsPerPoint() const { return perPoint_; }
    size_t Readings() const { return readings_; }

private:
    size_t capacity_;
    std::vector<double> points_;  // LUFS
    std::vector<double> energy_;  // of each point, summed over its readings
    std::vector<size_t> counts_;  // readings in each point
    size_t perPoint_ = 1;
    size_t readings_ = 0;
};

}  // namespace tarnwick
