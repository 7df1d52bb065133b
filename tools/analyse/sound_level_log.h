#pragma once
// The sound level log of tarnwick-analyse (--spl-log): a CSV file with one
// row for every second the sound level meter delivers, with a point whatever
// the locale:
//   time_s,LAeq,LAFmax,LCpeak,LCeq,LAeq_rolling,limit_state,event
// time_s is the second's end in seconds from the recording's start (a
// shorter second where a test starts or the recording ends ends between
// whole seconds, to the millisecond). Levels in dB with two decimals, "-inf"
// where nothing was measured. limit_state is ok, warn or limit, the worse of
// the LAeq and LCeq limits, empty without either. event holds, separated by
// spaces: the state the LAeq limit entered in this second, followed by
// LCpeak or LAFmax when that criterion set it; the state the LCeq limit
// entered, followed by LCeq; "overload" when the second held a sample at
// full scale; "nonfinite" when it held samples that were no numbers (NaN,
// infinity), measured as silence. Written in whole rows (see RowFile).

#include <optional>
#include <string>

#include "spl/level_limit.h"
#include "tools/analyse/row_file.h"

namespace tarnwick {

class SoundLevelLog {
public:
    bool Open(const std::string& path);
    bool IsOpen() const { return file_.IsOpen(); }
    // Every second the meter delivers, in order, from the first; `state` is
    // the limits' (none without a limit), and `events` their changes of
    // state in this second.
    void AddRow(const SoundLevelSecond& second, std::optional<LimitState> state,
                const LimitEvents& events);
    bool Close() { return file_.Close(); }
    const std::string& Error() const { return file_.Error(); }

private:
    RowFile file_;
    double endS_ = 0.0;  // of the seconds delivered so far
};

}  // namespace tarnwick
