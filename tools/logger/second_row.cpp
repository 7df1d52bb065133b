#include "tools/logger/second_row.h"

#include <algorithm>
#include <cmath>

#include "app/meter_app.h"
#include "core/level_math.h"
#include "tools/common/csv_figure.h"

namespace tarnwick {
namespace {

// The shown dB of an amplitude; "-inf" for none.
void AppendLevel(std::string& row, const TMeterSettings& s, double amplitude) {
    AppendCsvFigure(row, amplitude >= 1.0 ? ReadoutDb(static_cast<int32_t>(amplitude),
                                                      s.Calibration, s.DisplayOffset)
                                          : -INFINITY);
}

}  // namespace

void SecondRow::AddSoundLevelSecond(const SoundLevelSecond& second) {
    const SoundLevelFigures& f = second.figures;
    ++soundLevelSeconds_;
    duration_ += f.durationS;
    aEnergy_ += std::isfinite(f.laeq) ? std::pow(10.0, f.laeq / 10.0) * f.durationS : 0.0;
    cEnergy_ += std::isfinite(f.lceq) ? std::pow(10.0, f.lceq / 10.0) * f.durationS : 0.0;
    lafmax_ = std::max(lafmax_, f.lafmax);
    lcpeak_ = std::max(lcpeak_, f.lcpeak);
}

void SecondRow::AddBlock(const MeterApp& app) {
    const TBlockLevels& levels = app.lastLevels();
    left_ = blocks_ ? std::max(left_, levels.LeftPeak) : levels.LeftPeak;
    right_ = blocks_ ? std::max(right_, levels.RightPeak) : levels.RightPeak;
    lamp_ = lamp_ || app.view().tooHigh == kLampLit;
    blocks_ = true;
}

std::string SecondRow::Take(const MeterApp& app, int32_t dropouts, const std::string& event) {
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
        if (soundLevelSeconds_ > 0 && duration_ > 0.0) {
            AppendCsvFigure(row,
                            aEnergy_ > 0.0 ? 10.0 * std::log10(aEnergy_ / duration_) : kNoLevel);
            AppendCsvFigure(row, lafmax_);
            AppendCsvFigure(row, lcpeak_);
            AppendCsvFigure(row,
                            cEnergy_ > 0.0 ? 10.0 * std::log10(cEnergy_ / duration_) : kNoLevel);
        } else {
            row += ",,,,";
        }
        soundLevelSeconds_ = 0;
        aEnergy_ = cEnergy_ = duration_ = 0.0;
        lafmax_ = lcpeak_ = kNoLevel;
    }
    row += std::to_string(dropouts) + ",";
    row += event + "\n";
    blocks_ = false;
    lamp_ = false;
    left_ = right_ = 0;
    return row;
}

}  // namespace tarnwick
