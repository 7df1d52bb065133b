#include "tools/analyse/sound_level_log.h"

#include <charconv>
#include <cmath>

#include "core/csv_figure.h"

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
        case LimitCriterion::kLceq:
            return "LCeq";
        case LimitCriterion::kLaeq:
            break;
    }
    return "";
}

}  // namespace

bool SoundLevelLog::Open(const std::string& path) {
    return file_.Open(path, "time_s,LAeq,LAFmax,LCpeak,LCeq,LAeq_rolling,limit_state,event\n");
}

void SoundLevelLog::AddRow(const SoundLevelSecond& second, std::optional<LimitState> state,
                           const LimitEvents& events) {
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
    if (state) {
        row += LimitStateName(*state);
    }
    row.push_back(',');
    std::string what;
    const auto add = [&what](std::string_view word) {
        what += what.empty() ? "" : " ";
        what += word;
    };
    if (events.a) {
        add(LimitStateName(events.a->to));
        if (events.a->to != LimitState::kOk && events.a->cause != LimitCriterion::kLaeq) {
            add(CriterionName(events.a->cause));
        }
    }
    if (events.c) {
        // The C limit names itself whatever its state: "ok LCeq" beside the
        // LAeq limit's own "ok" tells which of them it was.
        add(LimitStateName(events.c->to));
        add(CriterionName(events.c->cause));
    }
    if (f.Overloaded()) {
        add("overload");
    }
    if (f.nonFiniteSamples > 0) {
        add("nonfinite");
    }
    row += what + "\n";
    file_.RowAdded();
}

}  // namespace tarnwick
