#include "tools/analyse/loudness_log.h"

#include "core/csv_figure.h"
#include "loudness/loudness_meter.h"

namespace tarnwick {

bool LoudnessLog::Open(const std::string& path) {
    return file_.Open(path, "time_s,momentary,short_term,integrated,true_peak_max\n");
}

void LoudnessLog::AddRow(const LoudnessMeter& meter) {
    if (!file_.Taking()) {
        return;
    }
    std::string& row = file_.Pending();
    const LoudnessFigures test = meter.Test();
    AppendCsvFigure(row, static_cast<double>(meter.Readings()) / 10.0);
    AppendCsvFigure(row, meter.Momentary());
    AppendCsvFigure(row, meter.ShortTerm());
    AppendCsvFigure(row, test.integrated);
    AppendCsvFigure(row, test.truePeakMax);
    row.back() = '\n';
    file_.RowAdded();
}

}  // namespace tarnwick
