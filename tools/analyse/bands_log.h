#pragma once
// The band log of tarnwick-analyse (--bands-log): a CSV file with one row for
// every second of the recording, with a point whatever the locale:
//   time_s,leq_25hz,leq_31.5hz,...,leq_16000hz,event
// time_s is the second's end in seconds from the recording's start (the last
// second, cut short by the recording's end, to the millisecond); each band's
// Leq over the second in dB with two decimals, "-inf" where it heard
// nothing. Each minute of the recording (and the part of one it ends with)
// is screened (bands/minute_indicators.h): its last row's event holds
// "low-frequency" and "tonal 1000 Hz" as they apply, blanks between them.
// Written in whole rows (see RowFile).

#include <cstddef>
#include <cstdint>
#include <string>

#include "bands/band_meter.h"
#include "bands/minute_indicators.h"
#include "tools/analyse/row_file.h"

namespace tarnwick {

class BandsLog {
public:
    // `meter` measures the samples given to Add; `rate` is the recording's.
    BandsLog(BandMeter& meter, int rate, double sensitivityDb, double lowFrequencyDb);

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
    // The second's row, held until the next (or the end) so that the last
    // gets the screen of the part of a minute it ends.
    void AddRow();
    void FlushHeld();
    // The minute's events, and the next minute starts.
    std::string Screened();

    BandMeter& meter_;
    int rate_;
    double sensitivityDb_;
    RowFile file_;
    MinuteIndicators minute_;
    std::string held_;  // the last row, without its event
    std::string heldEvent_;
    bool heldEndsMinute_ = false;
    uint64_t frames_ = 0;     // measured so far
    uint64_t rowFrames_ = 0;  // in the row being gathered
};

}  // namespace tarnwick
