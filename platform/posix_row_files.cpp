#include "platform/posix_row_files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "platform/posix_io.h"

namespace tarnwick {
namespace {

// Enough for any row: the last whole row is found in the file's tail.
constexpr off_t kTailBytes = 4096;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

}  // namespace

std::string PosixRowFiles::MakeFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        return folder + ": " + error.message();
    }
    if (::access(folder.c_str(), W_OK | X_OK) != 0) {
        return folder + ": " + std::strerror(errno);
    }
    return {};
}

PosixRowFiles::~PosixRowFiles() {
    for (const auto& [folder, fd] : claims_) {
        ::close(fd);
    }
}

std::string PosixRowFiles::ClaimFolder(const std::string& folder) {
    ReleaseFolder(folder);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return folder + ": " + std::strerror(errno);
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) {
            continue;
        }
        if (errno == EWOULDBLOCK) {
            ::close(fd);
            return folder +
                   ": another Tarnwick program writes its rows in this folder (a logger, or a "
                   "meter window's sound level log); give each its own folder";
        }
        // A file system without flock: rows are written unclaimed rather
        // than not at all.
        break;
    }
    claims_[folder] = fd;
    return {};
}

void PosixRowFiles::ReleaseFolder(const std::string& folder) {
    const auto it = claims_.find(folder);
    if (it != claims_.end()) {
        ::close(it->second);
        claims_.erase(it);
    }
}

IRowFiles::Written PosixRowFiles::Append(const std::string& path, const std::string& header,
                                         const std::string& row) {
    Written result;
    int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0 && errno == ENOENT) {
        if (std::string folderError = MakeFolder(FolderOf(path)); !folderError.empty()) {
            result.error = folderError;
            return result;
        }
        fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        result.created = fd >= 0;
    }
    if (fd < 0) {
        result.error = path + ": " + std::strerror(errno);
        return result;
    }
    struct stat before {};
    const bool sized = ::fstat(fd, &before) == 0;
    const std::string text = sized && before.st_size == 0 ? header + row : row;
    const int failure = WriteAll(fd, text);
    if (failure != 0 && sized) {
        // Take back the part of the row that reached the file.
        while (::ftruncate(fd, before.st_size) != 0 && errno == EINTR) {
        }
    }
    const int closeFailure = ::close(fd) != 0 ? errno : 0;
    const int error = failure != 0 ? failure : closeFailure;
    if (error != 0) {
        result.error = path + ": " + std::strerror(error);
        return result;
    }
    result.ok = true;
    return result;
}

std::string PosixRowFiles::FirstRow(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::string head(kTailBytes, '\0');
    const ssize_t n = ::pread(fd, head.data(), head.size(), 0);
    ::close(fd);
    head.resize(n > 0 ? static_cast<size_t>(n) : 0);
    const size_t end = head.find('\n');
    if (end == std::string::npos) {
        return {};
    }
    head.resize(end > 0 && head[end - 1] == '\r' ? end - 1 : end);
    return head;
}

std::string PosixRowFiles::LastRow(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    struct stat info {};
    std::string tail;
    if (::fstat(fd, &info) == 0 && info.st_size > 0) {
        const off_t from = info.st_size > kTailBytes ? info.st_size - kTailBytes : 0;
        tail.resize(static_cast<size_t>(info.st_size - from));
        const ssize_t n = ::pread(fd, tail.data(), tail.size(), from);
        tail.resize(n > 0 ? static_cast<size_t>(n) : 0);
    }
    ::close(fd);
    // Only a row that ends in its line end is whole.
    const size_t end = tail.rfind('\n');
    if (end == std::string::npos) {
        return {};
    }
    const size_t previous = end == 0 ? std::string::npos : tail.rfind('\n', end - 1);
    const size_t start = previous == std::string::npos ? 0 : previous + 1;
    std::string row = tail.substr(start, end - start);
    if (!row.empty() && row.back() == '\r') {
        row.pop_back();
    }
    return row;
}

}  // namespace tarnwick
