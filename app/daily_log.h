#pragma once
// The per-second day log, of the logger and of the meter window: one CSV file per local day in a
// folder, "Tarnwick YYYY-MM-DD.csv", one row a second, stamped with the local
// time and its offset from UTC ("2026-12-10T05:08:51+01:00"), so that the hour
// the clocks go back is told apart. A day's file that is already there (the
// logger was restarted) is appended to; a new one starts with the header row.
// Every row is written whole, to the file as it is now: a file or folder
// deleted while logging is made again at the next row, with its header.
//
// Toolkit-free: the files are reached through the rows port.

#include <cstdint>
#include <optional>
#include <string>

#include "core/local_time.h"
#include "core/ports/row_files.h"

namespace tarnwick {

inline constexpr const char* kDailyLogHeader =
    "time,left_peak_db,right_peak_db,short_average_db,over_lamp,momentary_lufs,"
    "short_term_lufs,dropouts,event\n";
// With sound level: LAeq, LAFmax, LCpeak and LCeq of the second, in dB SPL.
inline constexpr const char* kDailyLogHeaderWithSoundLevel =
    "time,left_peak_db,right_peak_db,short_average_db,over_lamp,momentary_lufs,"
    "short_term_lufs,laeq_db,lafmax_db,lcpeak_db,lceq_db,dropouts,event\n";
// With sound level of an input without a sensitivity: the same figures in dB
// relative to a full-scale sine, under names that say so.
inline constexpr const char* kDailyLogHeaderWithUncalibratedSoundLevel =
    "time,left_peak_db,right_peak_db,short_average_db,over_lamp,momentary_lufs,"
    "short_term_lufs,laeq_db_uncalibrated,lafmax_db_uncalibrated,lcpeak_db_uncalibrated,"
    "lceq_db_uncalibrated,dropouts,event\n";

class DailyLog {
public:
    DailyLog(IRowFiles& files, std::string folder, std::string header = kDailyLogHeader)
        : files_(files), folder_(std::move(folder)), header_(std::move(header)) {}

    // Writes `row` (its fields after the time, ending in '\n') for the second
    // `at`, in the file of its local day. False when it could not be written;
    // Error() says why.
    bool AddRow(const ZonedDateTime& at, const std::string& row);

    const std::string& Error() const { return error_; }
    // The path of a file that was made again because it had gone since this
    // log last wrote to it (someone deleted it, or its folder); empty when
    // none. Taken once.
    std::string TakeRemade();
    // The file of the local day of `at`.
    std::string PathFor(LocalDateTime at) const;
    // Why the rows of a day go to another file than its usual one (that file
    // holds rows of other columns, from a run with other options); empty when
    // they do not. Taken once.
    std::string TakeNotice();
    // The UTC second of the last row in the file of the day of `at` (written
    // by an earlier run), so that a restart within the same second writes no
    // second row for it. Rows of an older shape, without an offset, are read
    // in the offset of `at`.
    std::optional<int64_t> LastRowSecond(const ZonedDateTime& at);

private:
    IRowFiles& files_;
    std::string folder_;
    std::string header_;
    std::string error_;
    // The file rows of `path`'s day go to: `path`, or a numbered one beside it
    // when `path` has other columns.
    std::string FileFor(const std::string& path);

    std::string written_;  // the file the last row went to
    std::string remade_;
    std::string notice_;
    std::string dayPath_;  // the usual file of the day last written
    std::string dayFile_;  // where its rows go
};

// The UTC second of a row's time stamp: "2026-12-10T05:08:51+01:00", or the
// older "2026-12-10 05:08:51" read in the offset `utcOffsetS`; nullopt when
// the text is neither.
std::optional<int64_t> ParseRowSecond(const std::string& stamp, int32_t utcOffsetS);

}  // namespace tarnwick
