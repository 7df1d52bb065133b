#include "platform/posix_text_files.h"

#include "platform/posix_io.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace tarnwick {
namespace {

// An exclusive advisory lock on the open file until it is closed. Two running
// copies may append to one results file: the cut-back of one's failed write
// must not race the append of the other.
void LockForAppend(int fd) {
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
}

// The file's absolute path, its folder resolved, so that two spellings of one
// file claim the same lock. The file itself may not exist yet.
std::string AbsolutePath(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    char resolved[PATH_MAX];
    if (::realpath(folder.c_str(), resolved) == nullptr) {
        return path;
    }
    return std::string(resolved) + "/" + name;
}

// FNV-1a of the path: a file-name-safe key of any length of path.
std::string LockName(const std::string& path) {
    uint64_t hash = 1469598103934665603ull;
    for (const char c : path) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ull;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%016llx.lock", static_cast<unsigned long long>(hash));
    return text;
}

}  // namespace

PosixTextFiles::PosixTextFiles(std::string claimFolder) : claimFolder_(std::move(claimFolder)) {}

PosixTextFiles::~PosixTextFiles() {
    for (const auto& [path, fd] : claims_) {
        ::close(fd);
    }
}

std::string PosixTextFiles::DefaultClaimFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/') {
        return std::string(runtime) + "/tarnwick-results";
    }
    std::error_code error;
    std::string base = std::filesystem::temp_directory_path(error).string();
    if (error || base.empty()) {
        base = "/tmp";
    }
    return base + "/tarnwick-results-" + std::to_string(::getuid());
}

bool PosixTextFiles::Exists(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

FileResult PosixTextFiles::Read(const std::string& path, std::string& content) {
    content.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return FileFailure(errno);
    }
    char buffer[16384];
    int error = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
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

FileResult PosixTextFiles::Claim(const std::string& path, bool sole) {
    Release(path);
    ::mkdir(claimFolder_.c_str(), 0700);
    const std::string lock = claimFolder_ + "/" + LockName(AbsolutePath(path));
    const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        // Without a place for claims the file is written unclaimed, as before
        // claims existed: refusing would stop the logging for want of a lock.
        return {};
    }
    while (::flock(fd, (sole ? LOCK_EX : LOCK_SH) | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK) {
            return {kFileClaimedError,
                    path + ": another Tarnwick program is writing this results file"};
        }
        return {};
    }
    claims_[path] = fd;
    return {};
}

void PosixTextFiles::Release(const std::string& path) {
    const auto it = claims_.find(path);
    if (it != claims_.end()) {
        ::close(it->second);
        claims_.erase(it);
    }
}

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
