#include "tools/analyse/loudness_log.h"

#include <charconv>
#include <cmath>

#include "loudness/loudness_meter.h"

namespace tarnwick {
namespace {

// One decimal and a point; "-inf" where loudness could not be measured.
void AppendFigure(std::string& row, double value) {
    if (!std::isfinite(value)) {
        row += "-inf,";
        return;
    }
    char digits[64];
    const std::to_chars_result end =
        std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 1);
    row.append(digits, static_cast<size_t>(end.ptr - digits));
    row.push_back(',');
}

}  // namespace

bool LoudnessLog::Open(const std::string& path) {
    return file_.Open(path, "time_s,momentary,short_term,integrated,true_peak_max\n");
}

void LoudnessLog::AddRow(const LoudnessMeter& meter) {
    if (!file_.Taking()) {
        return;
    }
    std::string& row = file_.Pending();
    const LoudnessFigures test = meter.Test();
    AppendFigure(row, static_cast<double>(meter.Readings()) / 10.0);
    AppendFigure(row, meter.Momentary());
    AppendFigure(row, meter.ShortTerm());
    AppendFigure(row, test.integrated);
    AppendFigure(row, test.truePeakMax);
    row.back() = '\n';
    file_.RowAdded();
}

}  // namespace tarnwick
