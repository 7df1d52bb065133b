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
// With bands measured, each band's Leq over the same frames follows the
// event, in the order of the bands (BandColumns names them).

#include <cstdint>
#include <string>
#include <vector>

#include "spl/sound_level_figures.h"

namespace tarnwick {

class MeterApp;
class BandMeter;

// ",leq_25hz,leq_31.5hz,..." for the bands `meter` measures; empty without.
// Levels relative to full scale (not `calibrated`) have names of their own,
// ",leq_25hz_uncalibrated,...", so that they never share a file with sound
// pressure levels.
std::string BandColumns(const BandMeter* meter, bool calibrated);

class SecondRow {
public:
    explicit SecondRow(bool withSoundLevel = false) : withSoundLevel_(withSoundLevel) {}

    // After each block `app` processed.
    void AddBlock(const MeterApp& app);
    // The second's sound level and band levels are taken from the meters
    // (LastSoundLevel, LastBands); then Format gives its fields.
    void TakeFigures(MeterApp& app);
    // The row's fields after its time, ending in '\n', with `bandColumns`
    // band fields, as many as the file's header names: empty ones when the
    // bands measured now are not those; the next second starts.
    std::string Format(const MeterApp& app, int32_t dropouts, const std::string& event,
                       size_t bandColumns);
    // A second that gets no row (its time was written already: the clock was
    // set back): its figures are written nowhere (its sound level is still
    // LastSoundLevel), and the next second starts.
    void Drop(MeterApp& app);
    // Whether a block came in the second being gathered.
    bool HasBlocks() const { return blocks_; }
    // The sound level of the second taken or dropped last; every level minus
    // infinity when it had none.
    const SoundLevelFigures& LastSoundLevel() const { return lastSoundLevel_; }
    // Each band's Leq of that second, and its seconds measured; empty
    // without bands.
    const std::vector<double>& LastBands() const { return lastBands_; }
    double LastBandSeconds() const { return lastBandSeconds_; }
    // Each band's sound exposure since the start, Pa^2 s (at the sensitivity
    // of each second), over every second taken or dropped.
    const std::vector<double>& BandExposurePa2s() const { return bandExposurePa2s_; }

private:
    // The sound level meter's interval since the last row, if it measures.
    SoundLevelFigures TakeSoundLevel(MeterApp& app);
    // The bands' interval since the last row, if they are measured.
    void TakeBands(MeterApp& app);

    bool withSoundLevel_;
    SoundLevelFigures lastSoundLevel_;
    std::vector<double> lastBands_;
    double lastBandSeconds_ = 0.0;
    std::vector<double> bandExposurePa2s_;
    bool blocks_ = false;
    int32_t left_ = 0;
    int32_t right_ = 0;
    bool lamp_ = false;
};

}  // namespace tarnwick
