#include "platform/reg_file_settings_store.h"

#include "platform/posix_io.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <optional>
#include <utility>
#include <vector>

#include "settings/reg_file_format.h"

namespace tarnwick {
namespace {

const char* const kHivePrefix = "HKEY_CURRENT_USER\\";
const char* const kStoreFolder = "/Hollowden";
const char* const kStoreFileName = "/Tarnwick.reg";
constexpr mode_t kPrivateFile = 0600;
constexpr mode_t kPrivateFolder = 0700;

// The paths the store uses beside one another in the one folder.
struct StoreFiles {
    explicit StoreFiles(const std::string& file)
        : path(file),
          lock(file + ".lock"),
          temporary(file + ".tmp"),
          bad(file + ".bad"),
          folder(FolderOf(file)) {}

    static std::string FolderOf(const std::string& file) {
        const size_t slash = file.find_last_of('/');
        if (slash == std::string::npos) {
            return ".";
        }
        return slash == 0 ? "/" : file.substr(0, slash);
    }

    std::string path;
    std::string lock;
    std::string temporary;
    std::string bad;
    std::string folder;
};

// Creates `folder` and its missing parents. True when it exists afterwards.
bool MakeFolders(const std::string& folder) {
    struct stat info {};
    if (::stat(folder.c_str(), &info) == 0) {
        return S_ISDIR(info.st_mode);
    }
    const size_t slash = folder.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash))) {
        return false;
    }
    return ::mkdir(folder.c_str(), kPrivateFolder) == 0 || errno == EEXIST;
}

// An exclusive flock held for the life of the object; none when `fd` is -1 or
// the lock cannot be taken.
class ExclusiveLock {
public:
    explicit ExclusiveLock(int fd) {
        if (fd < 0) {
            return;
        }
        int result = 0;
        do {
            result = ::flock(fd, LOCK_EX);
        } while (result != 0 && errno == EINTR);
        if (result == 0) {
            fd_ = fd;
        }
    }
    ~ExclusiveLock() {
        if (fd_ >= 0) {
            ::flock(fd_, LOCK_UN);
        }
    }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

int OpenLockFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kPrivateFile);
    if (fd >= 0) {
        return fd;
    }
    // A lock file left in a folder we may no longer write still serves readers.
    return ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
}

enum class ReadResult { kRead, kMissing, kFailed };

// The file's bytes, at most one byte beyond what the parser accepts, so that an
// oversized file is refused without being held in memory.
ReadResult ReadWholeFile(const std::string& path, std::string& content) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOENT ? ReadResult::kMissing : ReadResult::kFailed;
    }
    content.clear();
    char buffer[16384];
    while (content.size() <= kRegMaxFileBytes) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            return ReadResult::kFailed;
        }
        if (n == 0) {
            break;
        }
        content.append(buffer, static_cast<size_t>(n));
    }
    ::close(fd);
    return ReadResult::kRead;
}

// Replaces the file by `content` so that a crash at any moment leaves the old
// file or the new one whole. The caller holds the lock, so the temporary name
// is ours alone.
bool ReplaceFile(const StoreFiles& files, const std::string& content) {
    const int fd =
        ::open(files.temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kPrivateFile);
    if (fd < 0) {
        return false;
    }
    const bool written = WriteAll(fd, content) == 0 && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || ::rename(files.temporary.c_str(), files.path.c_str()) != 0) {
        ::unlink(files.temporary.c_str());
        return false;
    }
    // Makes the rename itself durable. Some file systems refuse to sync a folder;
    // the new file is in place for every reader either way.
    const int folder = ::open(files.folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

// Keeps a file that is no settings file under the first free name of
// "<file>.bad", "<file>.bad.2", "<file>.bad.3" ..., so that an earlier one is
// never overwritten. A hard link claims the name atomically; where the file
// system has none, the file is renamed to a name that was free a moment ago.
void MoveAside(const StoreFiles& files) {
    constexpr int kMostKeptAside = 1000;
    for (int n = 1; n <= kMostKeptAside; ++n) {
        const std::string name = n == 1 ? files.bad : files.bad + "." + std::to_string(n);
        if (::link(files.path.c_str(), name.c_str()) == 0) {
            ::unlink(files.path.c_str());
            return;
        }
        if (errno == EEXIST) {
            continue;
        }
        struct stat taken {};
        if (::lstat(name.c_str(), &taken) != 0 && errno == ENOENT) {
            ::rename(files.path.c_str(), name.c_str());
            return;
        }
    }
}

// The file as it stands; empty when missing. A file that does not parse is
// moved aside when `mayMoveAside` (the caller holds the lock) and read as empty;
// one that parses with lines it cannot read keeps every value it could.
// nullopt when the file cannot be read.
std::optional<RegFile> LoadFile(const StoreFiles& files, bool mayMoveAside) {
    std::string content;
    switch (ReadWholeFile(files.path, content)) {
        case ReadResult::kMissing:
            return RegFile{};
        case ReadResult::kFailed:
            return std::nullopt;
        case ReadResult::kRead:
            break;
    }
    std::optional<RegFile> file = ParseRegFile(content);
    if (!file) {
        if (mayMoveAside) {
            MoveAside(files);
        }
        return RegFile{};
    }
    return file;
}

class RegFileSettingsKey : public ISettingsKey {
public:
    RegFileSettingsKey(StoreFiles files, std::string keyPath, RegKey snapshot, int lockFd)
        : files_(std::move(files)),
          keyPath_(std::move(keyPath)),
          snapshot_(std::move(snapshot)),
          lockFd_(lockFd) {}
    ~RegFileSettingsKey() override {
        if (lockFd_ >= 0) {
            ::close(lockFd_);
        }
    }
    RegFileSettingsKey(const RegFileSettingsKey&) = delete;
    RegFileSettingsKey& operator=(const RegFileSettingsKey&) = delete;

    std::optional<StoredValue> Read(const std::string& name) override {
        const StoredValue* value = snapshot_.Find(name);
        if (value == nullptr) {
            return std::nullopt;
        }
        return *value;
    }

    bool Write(const std::string& name, const StoredValue& value) override {
        const ExclusiveLock lock(lockFd_);
        if (!lock.held()) {
            return false;
        }
        // Another copy may have written since: change only this one value of
        // the file as it is now.
        std::optional<RegFile> file = LoadFile(files_, true);
        if (!file) {
            return false;
        }
        RegKey* key = file->AddKey(keyPath_);
        if (key == nullptr) {
            return false;
        }
        const StoredValue* old = key->Find(name);
        // Most values written at close are unchanged; rewriting and syncing the
        // file for each would only cost time.
        const bool unchanged = old != nullptr && SameValue(*old, value);
        if (!unchanged && (!key->Set(name, value) || !ReplaceFile(files_, FormatRegFile(*file)))) {
            return false;
        }
        snapshot_ = *key;
        return true;
    }

private:
    StoreFiles files_;
    std::string keyPath_;
    RegKey snapshot_;
    int lockFd_;
};

}  // namespace

RegFileSettingsStore::RegFileSettingsStore(std::string filePath) : filePath_(std::move(filePath)) {}

std::unique_ptr<ISettingsKey> RegFileSettingsStore::OpenOrCreate(const std::string& path) {
    if (filePath_.empty()) {
        return nullptr;
    }
    StoreFiles files(filePath_);
    if (!MakeFolders(files.folder)) {
        return nullptr;
    }
    const int lockFd = OpenLockFile(files.lock);
    const std::string keyPath = kHivePrefix + path;
    std::optional<RegKey> snapshot;
    {
        const ExclusiveLock lock(lockFd);
        std::optional<RegFile> file = LoadFile(files, lock.held());
        if (file) {
            if (const RegKey* key = file->FindKey(keyPath)) {
                snapshot = *key;
            } else if (lock.held()) {
                RegKey* added = file->AddKey(keyPath);
                if (added != nullptr && ReplaceFile(files, FormatRegFile(*file))) {
                    snapshot = *added;
                }
            }
        }
    }
    if (!snapshot) {
        if (lockFd >= 0) {
            ::close(lockFd);
        }
        return nullptr;
    }
    return std::make_unique<RegFileSettingsKey>(std::move(files), keyPath, std::move(*snapshot),
                                                lockFd);
}

std::string SettingsFilePathFor(const char* xdgConfigHome, const char* home) {
    std::string config;
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
        config = xdgConfigHome;
    } else if (home != nullptr && home[0] != '\0') {
        config = std::string(home) + "/.config";
    } else {
        return std::string();
    }
    while (config.size() > 1 && config.back() == '/') {
        config.pop_back();
    }
    if (config == "/") {
        config.clear();
    }
    return config + kStoreFolder + kStoreFileName;
}

std::string DefaultSettingsFilePath() {
    const char* home = std::getenv("HOME");
    std::string fromDatabase;
    if (home == nullptr || home[0] == '\0') {
        long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
        std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
        passwd entry{};
        passwd* found = nullptr;
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
            found != nullptr && found->pw_dir != nullptr) {
            fromDatabase = found->pw_dir;
            home = fromDatabase.c_str();
        }
    }
    return SettingsFilePathFor(std::getenv("XDG_CONFIG_HOME"), home);
}

}  // namespace tarnwick
