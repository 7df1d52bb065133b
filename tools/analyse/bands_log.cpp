#include "tools/analyse/bands_log.h"

#include <charconv>
#include <cmath>

#include "core/csv_figure.h"
#include "spl/weighting_design_goal.h"

namespace tarnwick {
namespace {

constexpr int kLevelDecimals = 2;
constexpr uint64_t kSecondsPerMinute = 60;

std::vector<double> WeightingOfBands(const BandMeter& meter, FrequencyWeighting weighting) {
    std::vector<double> db;
    for (const Band& band : meter.Bands()) {
        db.push_back(WeightingDesignGoalDb(weighting, band.midHz));
    }
    return db;
}

}  // namespace

BandsLog::BandsLog(BandMeter& meter, int rate, double sensitivityDb, double lowFrequencyDb)
    : meter_(meter),
      rate_(rate),
      sensitivityDb_(sensitivityDb),
      minute_(meter.Bands(), meter.Width(), WeightingOfBands(meter, FrequencyWeighting::kA),
              WeightingOfBands(meter, FrequencyWeighting::kC), lowFrequencyDb) {}

bool BandsLog::Open(const std::string& path) {
    std::string header = "time_s";
    for (const Band& band : meter_.Bands()) {
        header += ",leq_" + band.nominal + "hz";
    }
    return file_.Open(path, header + ",event\n");
}

void BandsLog::Add(const float* samples, size_t frames, size_t stride) {
    const auto second = static_cast<uint64_t>(rate_);
    while (frames > 0) {
        const size_t take = static_cast<size_t>(std::min<uint64_t>(frames, second - rowFrames_));
        meter_.AddSamples(samples, take, stride);
        samples += take * stride;
        frames -= take;
        frames_ += take;
        rowFrames_ += take;
        if (rowFrames_ == second) {
            AddRow();
        }
    }
}

void BandsLog::AddRow() {
    FlushHeld();
    const std::vector<double> levels = meter_.TakeIntervalDb(sensitivityDb_);
    const double endS = static_cast<double>(frames_) / rate_;
    std::vector<double> z(levels.size());
    for (size_t b = 0; b < levels.size(); ++b) {
        z[b] = levels[b] - meter_.WeightingDb(b);
    }
    minute_.Add(z, static_cast<double>(rowFrames_) / rate_);
    rowFrames_ = 0;
    held_.clear();
    char digits[64];
    const std::to_chars_result end =
        std::to_chars(digits, digits + sizeof digits, std::round(endS * 1000.0) / 1000.0);
    held_.append(digits, end.ptr);
    held_.push_back(',');
    for (const double level : levels) {
        AppendCsvFigure(held_, level, kLevelDecimals);  // each with its comma: the event is last
    }
    heldEndsMinute_ = frames_ % (kSecondsPerMinute * static_cast<uint64_t>(rate_)) == 0;
    if (heldEndsMinute_) {
        heldEvent_ = Screened();
    }
}

std::string BandsLog::Screened() {
    const std::optional<MinuteScreens> screens = minute_.EndMinute();
    return screens ? screens->Events() : std::string();
}

void BandsLog::FlushHeld() {
    if (!held_.empty() && file_.Taking()) {
        file_.Pending() += held_ + heldEvent_ + "\n";
        file_.RowAdded();
    }
    held_.clear();
    heldEvent_.clear();
}

bool BandsLog::Close() {
    if (rowFrames_ > 0) {
        AddRow();
    }
    // The part of a minute the recording ends with is screened too, in its
    // last row.
    if (!held_.empty() && !heldEndsMinute_) {
        heldEvent_ = Screened();
    }
    FlushHeld();
    return file_.Close();
}

}  // namespace tarnwick
