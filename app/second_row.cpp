#include "app/second_row.h"

#include <algorithm>
#include <cmath>

#include "app/meter_app.h"
#include "core/capture_format.h"
#include "core/csv_figure.h"
#include "core/level_math.h"

namespace tarnwick {
namespace {

// The shown dB of an amplitude; "-inf" for none.
void AppendLevel(std::string& row, const TMeterSettings& s, double amplitude) {
    AppendCsvFigure(row, amplitude >= 1.0 ? ReadoutDb(static_cast<int32_t>(amplitude),
                                                      s.Calibration, s.DisplayOffset)
                                          : -INFINITY);
}

}  // namespace

std::string BandColumns(const BandMeter* meter, bool calibrated) {
    std::string columns;
    if (meter != nullptr) {
        for (const Band& band : meter->Bands()) {
            columns += ",leq_" + band.nominal + (calibrated ? "hz" : "hz_uncalibrated");
        }
    }
    return columns;
}

void SecondRow::TakeBands(MeterApp& app) {
    BandMeter* bands = app.Bands();
    if (bands == nullptr) {
        lastBands_.clear();
        lastBandSeconds_ = 0.0;
        return;
    }
    lastBandSeconds_ = static_cast<double>(bands->IntervalSamples()) / kSampleRate;
    lastBands_ = bands->TakeIntervalDb(app.MeasuringSensitivity().value_or(0.0));
    bandExposurePa2s_.resize(lastBands_.size(), 0.0);
    for (size_t b = 0; b < lastBands_.size(); ++b) {
        if (std::isfinite(lastBands_[b])) {
            bandExposurePa2s_[b] += kReferencePressurePa * kReferencePressurePa *
                                    std::pow(10.0, lastBands_[b] / 10.0) * lastBandSeconds_;
        }
    }
}

void SecondRow::AddBlock(const MeterApp& app) {
    const TBlockLevels& levels = app.lastLevels();
    left_ = blocks_ ? std::max(left_, levels.LeftPeak) : levels.LeftPeak;
    right_ = blocks_ ? std::max(right_, levels.RightPeak) : levels.RightPeak;
    lamp_ = lamp_ || app.view().tooHigh == kLampLit;
    blocks_ = true;
}

SoundLevelFigures SecondRow::TakeSoundLevel(MeterApp& app) {
    SoundLevelMeter* meter = app.SoundLevel();
    return withSoundLevel_ && meter != nullptr ? meter->TakeInterval() : SoundLevelFigures{};
}

void SecondRow::TakeFigures(MeterApp& app) {
    lastSoundLevel_ = TakeSoundLevel(app);
    TakeBands(app);
}

std::string SecondRow::Format(const MeterApp& app, int32_t dropouts, const std::string& event,
                              size_t bandColumns) {
    const TMeterSettings& s = app.settings();
    std::string row;
    if (blocks_) {
        AppendLevel(row, s, left_);
        AppendLevel(row, s, right_);
        AppendLevel(row, s, app.statistics().ShortAverage1);
        row += lamp_ ? "1," : "0,";
        const LoudnessMeter* loudness = app.Loudness();
        AppendCsvFigure(row, loudness != nullptr ? loudness->Momentary() : -INFINITY);
        AppendCsvFigure(row, loudness != nullptr ? loudness->ShortTerm() : -INFINITY);
    } else {
        row += ",,,,,,";
    }
    if (withSoundLevel_) {
        const SoundLevelFigures& f = lastSoundLevel_;
        if (blocks_ && f.durationS > 0.0) {
            AppendCsvFigure(row, f.laeq);
            AppendCsvFigure(row, f.lafmax);
            AppendCsvFigure(row, f.lcpeak);
            AppendCsvFigure(row, f.lceq);
        } else {
            row += ",,,,";
        }
    }
    row += std::to_string(dropouts) + ",";
    row += event;
    const bool bandsFit = lastBands_.size() == bandColumns;
    for (size_t b = 0; b < bandColumns; ++b) {
        row.push_back(',');
        if (bandsFit && blocks_ && lastBandSeconds_ > 0.0) {
            AppendCsvFigure(row, lastBands_[b]);
            row.pop_back();  // the figure's own comma: the row ends without one
        }
    }
    row += "\n";
    blocks_ = false;
    lamp_ = false;
    left_ = right_ = 0;
    return row;
}

void SecondRow::Drop(MeterApp& app) {
    TakeFigures(app);
    blocks_ = false;
    lamp_ = false;
    left_ = right_ = 0;
}

}  // namespace tarnwick
