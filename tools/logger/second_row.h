#pragma once
// One row of the per-second log: the highest block peaks of the second as
// dB on the meter's display scale, the short-term average, whether the over
// lamp was lit, momentary and short-term loudness, dropouts and the event of
// the second. Numbers have a decimal point whatever the locale; a level that
// cannot be shown in dB is "-inf". A second without blocks (the input lost or
// stalled) leaves every figure empty: the last values are not live.
//
// With sound level, LAeq, LAFmax, LCpeak and LCeq come before the dropouts:
// of the meter's seconds that ended in this row's second (energy averages and
// maxima when two did), empty when none did.

#include <cstdint>
#include <string>

#include "spl/sound_level_meter.h"

namespace tarnwick {

class MeterApp;

class SecondRow {
public:
    explicit SecondRow(bool withSoundLevel = false) : withSoundLevel_(withSoundLevel) {}

    // After each block `app` processed.
    void AddBlock(const MeterApp& app);
    // A second of sound level, as the meter delivered it.
    void AddSoundLevelSecond(const SoundLevelSecond& second);
    // The row's fields after its time, ending in '\n'; the next second starts.
    std::string Take(const MeterApp& app, int32_t dropouts, const std::string& event);
    // Whether a block came in the second being gathered.
    bool HasBlocks() const { return blocks_; }

private:
    bool withSoundLevel_;
    int soundLevelSeconds_ = 0;
    double aEnergy_ = 0.0;  // sums of 10^(L/10) x duration
    double cEnergy_ = 0.0;
    double duration_ = 0.0;
    double lafmax_ = kNoLevel;
    double lcpeak_ = kNoLevel;
    bool blocks_ = false;
    int32_t left_ = 0;
    int32_t right_ = 0;
    bool lamp_ = false;
};

}  // namespace tarnwick
