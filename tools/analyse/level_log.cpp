#include "tools/analyse/level_log.h"

#include <charconv>

#include "app/meter_app.h"

namespace tarnwick {
namespace {

constexpr int kAverageDecimals = 6;

const char* const kHeader =
    "block,tick,test_running,left_peak,right_peak,sum_peak,difference_peak,"
    "left_over_candidate,right_over_candidate,level,short_average1,short_average2,"
    "run_time_average,over_target_ms,under_target_ms,system_max,lamp\n";

// The digits of one number and the comma after it.
void AppendField(std::string& row, const char* digits, std::to_chars_result end) {
    row.append(digits, static_cast<size_t>(end.ptr - digits));
    row.push_back(',');
}

template <typename Number>
void AppendNumber(std::string& row, Number value) {
    char digits[32];
    AppendField(row, digits, std::to_chars(digits, digits + sizeof digits, value));
}

// Fixed notation with six decimals and a point, as "%.6f" in the C locale.
void AppendAverage(std::string& row, double value) {
    char digits[64];
    AppendField(row, digits,
                std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed,
                              kAverageDecimals));
}

}  // namespace

bool LevelLog::Open(const std::string& path) {
    return file_.Open(path, kHeader);
}

void LevelLog::AddRow(uint64_t block, uint32_t tick, const MeterApp& app) {
    if (!file_.Taking()) {
        return;
    }
    const TBlockLevels& l = app.lastLevels();
    const TLevelStatistics& s = app.statistics();
    std::string& row = file_.Pending();
    AppendNumber(row, block);
    AppendNumber(row, tick);
    AppendNumber(row, app.testRun().TestRunning ? 1 : 0);
    for (const int32_t value : {l.LeftPeak, l.RightPeak, l.SumPeak, l.DifferencePeak,
                                l.LeftOverCandidate, l.RightOverCandidate, l.Level}) {
        AppendNumber(row, value);
    }
    AppendAverage(row, s.ShortAverage1);
    AppendAverage(row, s.ShortAverage2);
    for (const int32_t value : {s.RunTimeAverage, s.OverTargetMs, s.UnderTargetMs, s.SystemMax}) {
        AppendNumber(row, value);
    }
    AppendNumber(row, app.view().tooHigh);
    row.back() = '\n';
    file_.RowAdded();
}

}  // namespace tarnwick
