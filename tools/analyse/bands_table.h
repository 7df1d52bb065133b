#pragma once
// The band table of tarnwick-analyse (--bands-table): a CSV file with one row
// for each band of the --bands bank, rising, with a point whatever the locale:
//   band_hz,leq_db,lfmax_db,l10_db,l50_db,l90_db
// band_hz is the nominal mid-band frequency; leq_db the band's Leq over the
// whole recording; lfmax_db the highest of its F-weighted level; then one
// column for each statistical level of --spl-stats, from the band's Leq of
// each 100 ms. Figures have two decimals, "-inf" where the band heard
// nothing.

#include <string>
#include <vector>

#include "bands/band_meter.h"
#include "tools/analyse/row_file.h"

namespace tarnwick {

class BandsTable {
public:
    // The statistical levels' percentages, in the order of their columns.
    explicit BandsTable(std::vector<double> percents) : percents_(std::move(percents)) {}

    // Creates the file with its header row; the rows come with Close.
    bool Open(const std::string& path);
    bool IsOpen() const { return file_.IsOpen(); }
    // The rows of `meter`'s bands over everything it measured, then the file
    // is closed. True when every row reached it.
    bool Close(const BandMeter& meter, double sensitivityDb);
    const std::string& Error() const { return file_.Error(); }

private:
    std::vector<double> percents_;
    RowFile file_;
};

}  // namespace tarnwick
