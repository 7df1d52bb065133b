#pragma once
// The level log of tarnwick-analyse (--levels): a CSV file with a header row and
// one row per measured block, numbers written with a decimal point whatever the
// locale, so that spreadsheets and scripts read it the same everywhere.
// Written in whole rows (see RowFile).

#include <string>

#include "tools/analyse/row_file.h"

namespace tarnwick {

class MeterApp;

class LevelLog {
public:
    // Creates the file (emptying an existing one) and writes the header row.
    // False when it cannot be created; Error() then says why.
    bool Open(const std::string& path);
    bool IsOpen() const { return file_.IsOpen(); }

    // The row of block `block` (counted from 1) delivered at `tick`.
    void AddRow(uint64_t block, uint32_t tick, const MeterApp& app);

    // Writes what is gathered and closes the file. True when every row reached
    // it; false after any failure.
    bool Close() { return file_.Close(); }
    const std::string& Error() const { return file_.Error(); }

private:
    RowFile file_;
};

}  // namespace tarnwick
