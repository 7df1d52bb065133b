#pragma once
// One row of the per-second log: the highest block peaks of the second as
// dB on the meter's display scale, the short-term average, whether the over
// lamp was lit, momentary and short-term loudness, dropouts and the event of
// the second. Numbers have a decimal point whatever the locale; a level that
// cannot be shown in dB is "-inf". A second without blocks (the input lost or
// stalled) leaves every figure empty: the last values are not live.
//
// With sound level, LAeq, LAFmax, LCpeak and LCeq come before the dropouts:
// of the very frames whose blocks gave the row its peaks (the sound level
// meter's interval, cut where the row is taken), empty when there were none.

#include <cstdint>
#include <string>

#include "spl/sound_level_figures.h"

namespace tarnwick {

class MeterApp;

class SecondRow {
public:
    explicit SecondRow(bool withSoundLevel = false) : withSoundLevel_(withSoundLevel) {}

    // After each block `app` processed.
    void AddBlock(const MeterApp& app);
    // The row's fields after its time, ending in '\n'; the next second starts.
    std::string Take(MeterApp& app, int32_t dropouts, const std::string& event);
    // A second that gets no row (its time was written already: the clock was
    // set back): its figures are written nowhere (its sound level is still
    // LastSoundLevel), and the next second starts.
    void Drop(MeterApp& app);
    // Whether a block came in the second being gathered.
    bool HasBlocks() const { return blocks_; }
    // The sound level of the second taken or dropped last; every level minus
    // infinity when it had none.
    const SoundLevelFigures& LastSoundLevel() const { return lastSoundLevel_; }

private:
    // The sound level meter's interval since the last row, if it measures.
    SoundLevelFigures TakeSoundLevel(MeterApp& app);

    bool withSoundLevel_;
    SoundLevelFigures lastSoundLevel_;
    bool blocks_ = false;
    int32_t left_ = 0;
    int32_t right_ = 0;
    bool lamp_ = false;
};

}  // namespace tarnwick
