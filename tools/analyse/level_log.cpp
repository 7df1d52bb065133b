#include "tools/analyse/level_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "app/meter_app.h"
#include "platform/posix_io.h"

namespace tarnwick {
namespace {

// Rows are written in pieces of about this size.
constexpr size_t kWriteBytes = 64 * 1024;
constexpr int kAverageDecimals = 6;

const char* const kHeader =
    "block,tick,test_running,left_peak,right_peak,sum_peak,difference_peak,"
    "left_over_candidate,right_over_candidate,level,short_average1,short_average2,"
    "run_time_average,over_target_ms,under_target_ms,system_max,lamp\n";

// The digits of one number and the comma after it.
void AppendField(std::string& row, const char* digits, std::to_chars_result end) {
    row.append(digits, static_cast<size_t>(end.ptr - digits));
    row.push_back(',');
}

template <typename Number>
void AppendNumber(std::string& row, Number value) {
    char digits[32];
    AppendField(row, digits, std::to_chars(digits, digits + sizeof digits, value));
}

// Fixed notation with six decimals and a point, as "%.6f" in the C locale.
void AppendAverage(std::string& row, double value) {
    char digits[64];
    AppendField(row, digits,
                std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed,
                              kAverageDecimals));
}

}  // namespace

LevelLog::~LevelLog() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool LevelLog::Open(const std::string& path) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        return false;
    }
    pending_ = kHeader;
    return true;
}

void LevelLog::AddRow(uint64_t block, uint32_t tick, const MeterApp& app) {
    if (fd_ < 0 || !error_.empty()) {
        return;
    }
    const TBlockLevels& l = app.lastLevels();
    const TLevelStatistics& s = app.statistics();
    std::string& row = pending_;
    AppendNumber(row, block);
    AppendNumber(row, tick);
    AppendNumber(row, app.testRun().TestRunning ? 1 : 0);
    for (const int32_t value : {l.LeftPeak, l.RightPeak, l.SumPeak, l.DifferencePeak,
                                l.LeftOverCandidate, l.RightOverCandidate, l.Level}) {
        AppendNumber(row, value);
    }
    AppendAverage(row, s.ShortAverage1);
    AppendAverage(row, s.ShortAverage2);
    for (const int32_t value : {s.RunTimeAverage, s.OverTargetMs, s.UnderTargetMs, s.SystemMax}) {
        AppendNumber(row, value);
    }
    AppendNumber(row, app.view().tooHigh);
    row.back() = '\n';
    if (pending_.size() >= kWriteBytes) {
        Flush();
    }
}

void LevelLog::Flush() {
    if (fd_ < 0 || !error_.empty() || pending_.empty()) {
        return;
    }
    const int failure = WriteAll(fd_, pending_.data(), pending_.size());
    if (failure != 0) {
        // Keep the rows that reached the file whole, and take back the part of
        // the one that did not.
        struct stat now {};
        long long kept = written_;
        if (::fstat(fd_, &now) == 0 && now.st_size > written_) {
            const auto reached = static_cast<size_t>(now.st_size - written_);
            const size_t lastEnd = pending_.rfind('\n', std::min(reached, pending_.size()) - 1);
            kept += lastEnd == std::string::npos ? 0 : static_cast<long long>(lastEnd + 1);
        }
        while (::ftruncate(fd_, kept) != 0 && errno == EINTR) {
        }
        written_ = kept;
        error_ = std::strerror(failure);
    } else {
        written_ += static_cast<long long>(pending_.size());
    }
    pending_.clear();
}

bool LevelLog::Close() {
    Flush();
    if (fd_ >= 0 && ::close(fd_) != 0 && error_.empty()) {
        error_ = std::strerror(errno);
    }
    fd_ = -1;
    return error_.empty();
}

}  // namespace tarnwick
