#pragma once
// The loudness log of tarnwick-analyse (--loudness-log): a CSV file with one
// row for every reading of the loudness meter, 100 ms apart, with a decimal
// point whatever the locale. Written in whole rows (see RowFile).

#include <string>

#include "tools/analyse/row_file.h"

namespace tarnwick {

class LoudnessMeter;

class LoudnessLog {
public:
    bool Open(const std::string& path);
    bool IsOpen() const { return file_.IsOpen(); }
    // The meter's latest reading.
    void AddRow(const LoudnessMeter& meter);
    bool Close() { return file_.Close(); }
    const std::string& Error() const { return file_.Error(); }

private:
    RowFile file_;
};

}  // namespace tarnwick
