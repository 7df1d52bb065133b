#include "tools/logger/daily_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/posix_io.h"
#include "tools/common/headless_ports.h"

namespace tarnwick {
namespace {

int64_t DayOf(LocalDateTime at) {
    return at.ms >= 0 ? at.ms / kMsPerDay : (at.ms - kMsPerDay + 1) / kMsPerDay;
}

}  // namespace

DailyLog::~DailyLog() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::string DailyLog::PathFor(LocalDateTime at) const {
    const CivilDateTime c = ToCivil(at);
    char name[48];
    std::snprintf(name, sizeof name, "Tarnwick %04d-%02d-%02d.csv", c.year, c.month, c.day);
    return folder_ + "/" + name;
}

bool DailyLog::OpenFor(LocalDateTime at) {
    if (fd_ >= 0 && day_ == DayOf(at)) {
        return true;
    }
    Reopen();
    const std::string path = PathFor(at);
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error_ = path + ": " + std::strerror(errno);
        return false;
    }
    day_ = DayOf(at);
    struct stat info {};
    if (::fstat(fd_, &info) == 0 && info.st_size == 0) {
        if (const int failure = WriteAll(fd_, kDailyLogHeader)) {
            error_ = path + ": " + std::strerror(failure);
            while (::ftruncate(fd_, 0) != 0 && errno == EINTR) {
            }
            Reopen();
            return false;
        }
    }
    return true;
}

bool DailyLog::AddRow(LocalDateTime at, const std::string& row) {
    if (!OpenFor(at)) {
        return false;
    }
    struct stat before {};
    const bool sized = ::fstat(fd_, &before) == 0;
    const std::string line = StampOf(at) + "," + row;
    if (const int failure = WriteAll(fd_, line)) {
        // Take back the part of the row that reached the file.
        if (sized) {
            while (::ftruncate(fd_, before.st_size) != 0 && errno == EINTR) {
            }
        }
        error_ = PathFor(at) + ": " + std::strerror(failure);
        return false;
    }
    error_.clear();
    return true;
}

void DailyLog::Reopen() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    fd_ = -1;
    day_ = -1;
}

}  // namespace tarnwick
