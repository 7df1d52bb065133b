#include "platform/running_copies.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tarnwick {
namespace {

// FNV-1a of the lower-cased path: a file-name-safe key for the program.
std::string KeyFor(const std::string& programPath) {
    uint64_t hash = 1469598103934665603ull;
    for (char c : programPath) {
        hash ^= static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c)));
        hash *= 1099511628211ull;
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

// Holds the lock on the list for as long as it lives.
class ListLock {
public:
    explicit ListLock(const std::string& folder)
        : fd_(::open((folder + "/list.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (fd_ >= 0) {
            while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
            }
        }
    }
    ~ListLock() {
        if (fd_ >= 0) {
            ::close(fd_);  // releases the lock
        }
    }
    ListLock(const ListLock&) = delete;
    ListLock& operator=(const ListLock&) = delete;

private:
    int fd_;
};

bool IsCopyFile(const std::string& name, const std::string& key) {
    return name.size() > key.size() + 1 && name.compare(0, key.size(), key) == 0 &&
           name[key.size()] == '-' && name.size() > 5 &&
           name.compare(name.size() - 5, 5, ".lock") == 0;
}

}  // namespace

std::string RunningCopies::DefaultFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string base;
    if (runtime != nullptr && runtime[0] == '/') {
        base = runtime;
    } else {
        std::error_code error;
        base = std::filesystem::temp_directory_path(error).string();
        if (error || base.empty()) {
            base = "/tmp";
        }
    }
    return base + "/tarnwick-copies";
}

RunningCopies::RunningCopies(const std::string& folder, const std::string& programPath)
    : folder_(folder), key_(KeyFor(programPath)) {
    ::mkdir(folder_.c_str(), 0700);
    ListLock lock(folder_);
    file_ = folder_ + "/" + key_ + "-" + std::to_string(::getpid()) + ".lock";
    fd_ = ::open(file_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

RunningCopies::~RunningCopies() {
    if (fd_ < 0) {
        return;
    }
    ListLock lock(folder_);
    ::unlink(file_.c_str());
    ::close(fd_);
}

int RunningCopies::Count() const {
    ListLock lock(folder_);
    int count = 0;
    DIR* dir = ::opendir(folder_.c_str());
    if (dir == nullptr) {
        return 1;
    }
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (!IsCopyFile(name, key_)) {
            continue;
        }
        const std::string path = folder_ + "/" + name;
        if (path == file_ && fd_ >= 0) {
            ++count;
            continue;
        }
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            ::unlink(path.c_str());  // its process has ended
        } else {
            ++count;
        }
        ::close(fd);
    }
    ::closedir(dir);
    return std::max(count, 1);
}

}  // namespace tarnwick
