#include "tools/analyse/row_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/posix_io.h"

namespace tarnwick {
namespace {

// Rows are written in pieces of about this size.
constexpr size_t kWriteBytes = 64 * 1024;

}  // namespace

RowFile::~RowFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool RowFile::Open(const std::string& path, const std::string& header) {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        return false;
    }
    pending_ = header;
    return true;
}

void RowFile::RowAdded() {
    if (pending_.size() >= kWriteBytes) {
        Flush();
    }
}

void RowFile::Flush() {
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

bool RowFile::Close() {
    Flush();
    if (fd_ >= 0 && ::close(fd_) != 0 && error_.empty()) {
        error_ = std::strerror(errno);
    }
    fd_ = -1;
    return error_.empty();
}

}  // namespace tarnwick
