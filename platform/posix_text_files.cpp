#include "platform/posix_text_files.h"

#include "platform/posix_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <limits>

namespace tarnwick {
namespace {

// How long a write waits for another program's write to end before it goes
// ahead without the lock. Another Tarnwick program holds the lock for one
// write of a record; only a file system that makes flock a byte-range lock
// (NFS) keeps it longer, for as long as a claim stands.
constexpr int kWriteLockWaitMs = 2000;

// The write lock of the whole file, held until the descriptor closes. It is
// an open file description lock, not a flock: a program's own claim (a
// flock on another descriptor) never blocks its writes, and two programs
// sharing a file wait for each other, so that the cut-back of one's failed
// write never races the append of the other. Where the lock cannot be had
// (a file system without such locks, or one that makes flock a byte-range
// lock, so that the claims themselves stand in the way) the write goes
// ahead without it, as it would without locks, rather than never.
void LockForWriting(int fd) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    for (int waitedMs = 0; waitedMs < kWriteLockWaitMs;) {
        if (::fcntl(fd, F_OFD_SETLK, &whole) == 0 ||
            (errno != EAGAIN && errno != EACCES && errno != EINTR)) {
            return;
        }
        if (errno != EINTR) {
            ::usleep(1000);
            ++waitedMs;
        }
    }
}

bool SameFile(int a, int b) {
    struct stat first {};
    struct stat second {};
    return ::fstat(a, &first) == 0 && ::fstat(b, &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

// Up to `limit` bytes of the file at `path`.
FileResult ReadUpTo(const std::string& path, size_t limit, std::string& content) {
    content.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return FileFailure(errno);
    }
    char buffer[16384];
    int error = 0;
    while (content.size() < limit) {
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - content.size()));
        if (n > 0) {
            content.append(buffer, static_cast<size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            error = errno;
            break;
        }
    }
    ::close(fd);
    if (error != 0) {
        content.clear();
        return FileFailure(error);
    }
    return {};
}

}  // namespace

PosixTextFiles::~PosixTextFiles() {
    for (const auto& [path, claim] : claims_) {
        ::close(claim.fd);
    }
}

bool PosixTextFiles::Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

FileResult PosixTextFiles::Read(const std::string& path, std::string& content) {
    return ReadUpTo(path, std::numeric_limits<size_t>::max(), content);
}

FileResult PosixTextFiles::ReadStart(const std::string& path, size_t bytes, std::string& content) {
    return ReadUpTo(path, bytes, content);
}

FileResult PosixTextFiles::MakeFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return error ? FileFailure(error.value()) : FileResult{};
}

FileResult PosixTextFiles::Claim(const std::string& path, bool sole, bool create) {
    Release(path);
    const int fd =
        ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC | (create ? O_CREAT : 0), 0666);
    if (fd < 0) {
        return FileFailure(errno);
    }
    while (::flock(fd, (sole ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        if (errno == EWOULDBLOCK) {
            ::close(fd);
            return {kFileClaimedError,
                    path + ": another Tarnwick program is writing this results file"};
        }
        // A file system without flock: the file is written unclaimed, as
        // before claims existed, rather than not at all. The descriptor
        // still tells whether the path names the same file.
        break;
    }
    claims_[path] = Claimed{fd, sole};
    return {};
}

void PosixTextFiles::Release(const std::string& path) {
    const auto it = claims_.find(path);
    if (it != claims_.end()) {
        ::close(it->second.fd);
        claims_.erase(it);
    }
}

int PosixTextFiles::OpenForWriting(const std::string& path, int flags, FileResult& result) {
    const auto claim = claims_.find(path);
    if (claim != claims_.end()) {
        flags &= ~O_CREAT;  // the file claimed exists, or it is gone for good
    }
    const int fd = ::open(path.c_str(), flags | O_WRONLY | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0) {
        result = FileFailure(errno);
        return -1;
    }
    if (claim != claims_.end() && !SameFile(fd, claim->second.fd)) {
        // The file claimed was deleted or replaced: the one at the path now
        // is someone else's.
        ::close(fd);
        result = FileFailure(ENOENT);
        return -1;
    }
    // A sole claim keeps every other Tarnwick program from writing: there is
    // nobody to wait for.
    if (claim == claims_.end() || !claim->second.sole) {
        LockForWriting(fd);
    }
    return fd;
}

FileResult PosixTextFiles::CreateWith(const std::string& path, const std::string& content) {
    FileResult result;
    const int fd = OpenForWriting(path, O_CREAT, result);
    if (fd < 0) {
        return result;
    }
    // Emptied under the lock, so that no other program's line is cut.
    int writeError = 0;
    while (::ftruncate(fd, 0) != 0) {
        if (errno != EINTR) {
            writeError = errno;
            break;
        }
    }
    if (writeError == 0) {
        writeError = WriteAll(fd, content);
    }
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
    FileResult result;
    const int fd = OpenForWriting(path, O_APPEND, result);
    if (fd < 0) {
        return result;
    }
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

FileResult PosixTextFiles::StartWith(const std::string& path, const std::string& header) {
    FileResult result;
    const int fd = OpenForWriting(path, O_APPEND, result);
    if (fd < 0) {
        return result;
    }
    struct stat info {};
    int error = ::fstat(fd, &info) != 0 ? errno : 0;
    if (error == 0 && info.st_size == 0) {
        error = WriteAll(fd, header);
        if (error != 0) {
            // Part of a header is no header: the file stays empty, to be
            // begun again.
            while (::ftruncate(fd, 0) != 0 && errno == EINTR) {
            }
        }
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    return error == 0 ? FileResult{} : FileFailure(error);
}

}  // namespace tarnwick
