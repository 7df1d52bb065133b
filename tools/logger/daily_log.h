#pragma once
// The unattended logger's per-second log: one CSV file per local day in a
// folder, "Tarnwick YYYY-MM-DD.csv", one row a second. A day's file that is
// already there (the logger was restarted) is appended to; a new one starts
// with the header row. Every row is written as it comes, whole: a write that
// fails is cut back, so the file always ends in a complete row, and the next
// row tries again.

#include <cstdint>
#include <string>

#include "core/local_time.h"

namespace tarnwick {

inline constexpr const char* kDailyLogHeader =
    "time,left_peak_db,right_peak_db,short_average_db,over_lamp,momentary_lufs,"
    "short_term_lufs,dropouts,event\n";

class DailyLog {
public:
    explicit DailyLog(std::string folder) : folder_(std::move(folder)) {}
    ~DailyLog();
    DailyLog(const DailyLog&) = delete;
    DailyLog& operator=(const DailyLog&) = delete;

    // Writes `row` (its fields after the time, ending in '\n') for the second
    // `at`, in the file of that day. False when it could not be written;
    // Error() says why.
    bool AddRow(LocalDateTime at, const std::string& row);
    // Closes the file, so that the next row opens it afresh: log rotation has
    // moved it away.
    void Reopen();

    const std::string& Error() const { return error_; }
    // The file of the day of `at`.
    std::string PathFor(LocalDateTime at) const;

private:
    bool OpenFor(LocalDateTime at);

    std::string folder_;
    int fd_ = -1;
    int64_t day_ = -1;  // days since 1970 of the open file
    std::string error_;
};

}  // namespace tarnwick
