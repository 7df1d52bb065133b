#include "platform/posix_text_files.h"

#include "platform/posix_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarnwick {
namespace {

// An exclusive advisory lock on the open file until it is closed. Two running
// copies may append to one results file: the cut-back of one's failed write
// must not race the append of the other.
void LockForAppend(int fd) {
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

}  // namespace

FileResult PosixTextFiles::CreateWith(const std::string& path, const std::string& content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return FileFailure(errno);
    }
    LockForAppend(fd);
    const int writeError = WriteAll(fd, content);
    const int closeError = ::close(fd) != 0 ? errno : 0;
    const int error = writeError != 0 ? writeError : closeError;
    if (error != 0) {
        // A file without its whole header is no results file; an existing one
        // was emptied already, as the user had agreed to replace it.
        ::unlink(path.c_str());
        return FileFailure(error);
    }
    return {};
}

FileResult PosixTextFiles::Append(const std::string& path, const std::string& line) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0) {
        return FileFailure(errno);
    }
    LockForAppend(fd);
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    int error = 0;
    const ssize_t n = ::write(fd, line.data(), line.size());
    if (n < 0) {
        error = errno;
    } else if (static_cast<size_t>(n) != line.size()) {
        error = ENOSPC;  // a short write: the device is full
    }
    if (error != 0 && n > 0 && sized) {
        // Take the partial line back, so the file holds whole records only.
        while (::ftruncate(fd, before.st_size) != 0 && errno == EINTR) {
        }
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error == 0 ? FileResult{} : FileFailure(error);
}

}  // namespace tarnwick
