#include "tools/analyse/bands_table.h"

#include <charconv>

#include "core/csv_figure.h"

namespace tarnwick {
namespace {

constexpr int kLevelDecimals = 2;

// "l10_db", "l99.9_db".
std::string StatisticColumn(double percent) {
    char digits[32];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, percent);
    return "l" + std::string(digits, end.ptr) + "_db";
}

}  // namespace

bool BandsTable::Open(const std::string& path) {
    std::string header = "band_hz,leq_db,lfmax_db";
    for (const double percent : percents_) {
        header += "," + StatisticColumn(percent);
    }
    return file_.Open(path, header + "\n");
}

bool BandsTable::Close(const BandMeter& meter, double sensitivityDb) {
    std::vector<std::vector<double>> columns = {
        meter.TestLeqDb(sensitivityDb),
        meter.TimeWeightedDb(BandMeter::Reading::kFastMax, sensitivityDb)};
    for (const double percent : percents_) {
        columns.push_back(meter.LevelsExceededDb(percent, sensitivityDb));
    }
    for (size_t b = 0; b < meter.Bands().size() && file_.Taking(); ++b) {
        std::string& row = file_.Pending();
        row += meter.Bands()[b].nominal;
        for (const std::vector<double>& column : columns) {
            row.push_back(',');
            AppendCsvFigure(row, column[b], kLevelDecimals);
            row.pop_back();  // the figure's own comma: the row ends without one
        }
        row.push_back('\n');
        file_.RowAdded();
    }
    return file_.Close();
}

}  // namespace tarnwick
