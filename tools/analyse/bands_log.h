#pragma once
// The band log of tarnwick-analyse (--bands-log): a CSV file with one row for
// every second of the recording, with a point whatever the locale:
//   time_s,leq_25hz,leq_31.5hz,...,leq_16000hz
// time_s is the second's end in seconds from the recording's start (the last
// second, cut short by the recording's end, to the millisecond); each band's
// Leq over the second in dB with two decimals, "-inf" where it heard
// nothing. Written in whole rows (see RowFile).

#include <cstddef>
#include <cstdint>
#include <string>

#include "bands/band_meter.h"
#include "tools/analyse/row_file.h"

namespace tarnwick {

class BandsLog {
public:
    // `meter` measures the samples given to Add; `rate` is the recording's.
    BandsLog(BandMeter& meter, int rate, double sensitivityDb)
        : meter_(meter), rate_(rate), sensitivityDb_(sensitivityDb) {}

    // The response's factor known, the sensitivity the levels are read with.
    void SetSensitivity(double sensitivityDb) { sensitivityDb_ = sensitivityDb; }
    bool Open(const std::string& path);
    bool IsOpen() const { return file_.IsOpen(); }
    // The recording's samples in order, as BandMeter::AddSamples takes them:
    // measured, and a row written at the end of each second.
    void Add(const float* samples, size_t frames, size_t stride);
    // The recording has ended: the row of the second it cut short, if any,
    // then the file is closed. True when every row reached it.
    bool Close();
    const std::string& Error() const { return file_.Error(); }

private:
    void AddRow();

    BandMeter& meter_;
    int rate_;
    double sensitivityDb_;
    RowFile file_;
    uint64_t frames_ = 0;     // measured so far
    uint64_t rowFrames_ = 0;  // in the row being gathered
};

}  // namespace tarnwick
