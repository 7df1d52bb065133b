#include "tools/analyse/sound_level_log.h"

#include <charconv>
#include <cmath>

#include "tools/common/csv_figure.h"

namespace tarnwick {
namespace {

// Two decimals: rows are compared and averaged again, and a tenth would add
// up to 0.05 dB of rounding to each.
constexpr int kLevelDecimals = 2;
constexpr double kMsPerS = 1000.0;

// The time to the millisecond, as briefly as it can be written: "12",
// "60.457".
void AppendTime(std::string& row, double seconds) {
    char digits[64];
    const std::to_chars_result end =
        std::to_chars(digits, digits + sizeof digits, std::round(seconds * kMsPerS) / kMsPerS);
    row.append(digits, end.ptr);
    row.push_back(',');
}

const char* CriterionName(LimitCriterion cause) {
    switch (cause) {
        case LimitCriterion::kLcpeak:
            return "LCpeak";
        case LimitCriterion::kLafmax:
            return "LAFmax";
        case LimitCriterion::kLaeq:
            break;
    }
    return "";
}

}  // namespace

bool SoundLevelLog::Open(const std::string& path) {
    return file_.Open(path, "time_s,LAeq,LAFmax,LCpeak,LCeq,LAeq_rolling,limit_state,event\n");
}

void SoundLevelLog::AddRow(const SoundLevelSecond& second, const LevelLimit* limit,
                           const std::optional<LimitEvent>& event) {
    // Seconds tile the recording from its start, a test's start and its end
    // cutting one short: their durations add up to the time of each end.
    endS_ += second.figures.durationS;
    if (!file_.Taking()) {
        return;
    }
    const SoundLevelFigures& f = second.figures;
    std::string& row = file_.Pending();
    AppendTime(row, endS_);
    for (const double level : {f.laeq, f.lafmax, f.lcpeak, f.lceq, second.laeqRolling}) {
        AppendCsvFigure(row, level, kLevelDecimals);
    }
    if (limit != nullptr) {
        row += LimitStateName(limit->Status().state);
    }
    row.push_back(',');
    std::string what;
    if (event) {
        what = LimitStateName(event->to);
        if (event->to != LimitState::kOk && event->cause != LimitCriterion::kLaeq) {
            what += std::string(" ") + CriterionName(event->cause);
        }
    }
    if (f.Overloaded()) {
        what += what.empty() ? "overload" : " overload";
    }
    if (f.nonFiniteSamples > 0) {
        what += what.empty() ? "nonfinite" : " nonfinite";
    }
    row += what + "\n";
    file_.RowAdded();
}

}  // namespace tarnwick
