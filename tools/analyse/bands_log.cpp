#include "tools/analyse/bands_log.h"

#include <charconv>
#include <cmath>

#include "core/csv_figure.h"

namespace tarnwick {
namespace {

constexpr int kLevelDecimals = 2;

}  // namespace

bool BandsLog::Open(const std::string& path) {
    std::string header = "time_s";
    for (const Band& band : meter_.Bands()) {
        header += ",leq_" + band.nominal + "hz";
    }
    return file_.Open(path, header + "\n");
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
    const std::vector<double> levels = meter_.TakeIntervalDb(sensitivityDb_);
    const double endS = static_cast<double>(frames_) / rate_;
    rowFrames_ = 0;
    if (!file_.Taking()) {
        return;
    }
    std::string& row = file_.Pending();
    char digits[64];
    const std::to_chars_result end =
        std::to_chars(digits, digits + sizeof digits, std::round(endS * 1000.0) / 1000.0);
    row.append(digits, end.ptr);
    for (const double level : levels) {
        row.push_back(',');
        AppendCsvFigure(row, level, kLevelDecimals);
        row.pop_back();  // the figure's own comma: the row ends without one
    }
    row.push_back('\n');
    file_.RowAdded();
}

bool BandsLog::Close() {
    if (rowFrames_ > 0) {
        AddRow();
    }
    return file_.Close();
}

}  // namespace tarnwick
