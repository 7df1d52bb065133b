#include "platform/posix_text_files.h"
#include "platform/posix_row_files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <vector>

namespace tarnwick {
namespace {

class PosixTextFilesTest : public ::testing::Test {
protected:
    PosixTextFilesTest() {
        static std::atomic<int> counter{0};
        folder_ = std::filesystem::temp_directory_path() /
                  ("tarnwick-text-files-test-" + std::to_string(::getpid()) + "-" +
                   std::to_string(counter++));
        std::filesystem::create_directories(folder_);
    }
    ~PosixTextFilesTest() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    std::string Path(const std::string& name) const { return (folder_ / name).string(); }

    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    PosixTextFiles files_;
    std::filesystem::path folder_;
};

TEST_F(PosixTextFilesTest, CreateWithCreatesThenEmptiesAnExistingFile) {
    const std::string path = Path("r.txt");
    ASSERT_TRUE(files_.CreateWith(path, "Test Name    Long header\r\n").ok());
    EXPECT_EQ(Contents(path), "Test Name    Long header\r\n");
    ASSERT_TRUE(files_.CreateWith(path, "short\r\n").ok());
    EXPECT_EQ(Contents(path), "short\r\n");
}

TEST_F(PosixTextFilesTest, CreateWithReportsTheSystemError) {
    const FileResult missingFolder = files_.CreateWith(Path("no-folder/r.txt"), "x");
    EXPECT_EQ(missingFolder.error, ENOENT);
    EXPECT_FALSE(missingFolder.message.empty());
    const FileResult folder = files_.CreateWith(folder_.string(), "x");
    EXPECT_EQ(folder.error, EISDIR);
}

TEST(PosixTextFiles, AppendToAMissingFileFailsWithErrorTwo) {
    PosixTextFiles files;
    const FileResult result = files.Append("/nonexistent-folder/results.txt", "line\r\n");
    EXPECT_EQ(result.error, ENOENT);
    EXPECT_EQ(result.error, 2);
}

TEST_F(PosixTextFilesTest, AppendNeverCreatesTheFile) {
    const std::string path = Path("deleted.txt");
    const FileResult result = files_.Append(path, "Time 14:45:00\r\n");
    EXPECT_EQ(result.error, 2);
    EXPECT_FALSE(result.message.empty());
    EXPECT_FALSE(std::filesystem::exists(path));
    std::string content = "stale";
    EXPECT_EQ(files_.Read(path, content).error, 2);
    EXPECT_EQ(content, "");
}

TEST_F(PosixTextFilesTest, AppendedLinesStayWholeAndInOrder) {
    const std::string path = Path("r.csv");
    ASSERT_TRUE(files_.CreateWith(path, "header\r\n").ok());
    std::string expected = "header\r\n";
    for (int i = 0; i < 200; ++i) {
        const std::string line = "14:45:00,00:15:00, 78.4," + std::to_string(i) + "\r\n";
        ASSERT_TRUE(files_.Append(path, line).ok()) << i;
        expected += line;
    }
    EXPECT_EQ(Contents(path), expected);
    std::string read;
    ASSERT_TRUE(files_.Read(path, read).ok());
    EXPECT_EQ(read, expected);
}

TEST(PosixTextFiles, AppendToAFullDeviceFailsWithNoSpace) {
    PosixTextFiles files;
    const FileResult result = files.Append("/dev/full", "Time 14:45:00\r\n");
    EXPECT_EQ(result.error, ENOSPC);
    EXPECT_EQ(result.error, 28);
    EXPECT_FALSE(result.message.empty());
}

// Runs `write` in a child process whose files may not grow beyond `limit`
// bytes; returns the error it reported.
int WithFileSizeLimit(rlim_t limit, const std::function<FileResult(PosixTextFiles&)>& write) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails with EFBIG instead
        const rlimit l{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &l);
        PosixTextFiles files;
        ::_exit(write(files).error);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

int AppendWithFileSizeLimit(const std::string& path, const std::string& line, rlim_t limit) {
    return WithFileSizeLimit(limit, [&](PosixTextFiles& f) { return f.Append(path, line); });
}

TEST_F(PosixTextFilesTest, AFailedAppendLeavesNoPartialLine) {
    const std::string path = Path("r.txt");
    const std::string header = "Test Name    Results \r\n";
    const std::string record = "Time 14:45:00  Duration 00:15:00  Average 78.4dB\r\n";
    ASSERT_TRUE(files_.CreateWith(path, header).ok());

    // Room for part of the record: the write comes up short and is taken back.
    EXPECT_EQ(AppendWithFileSizeLimit(path, record, header.size() + 10), ENOSPC);
    EXPECT_EQ(Contents(path), header);
    // No room at all.
    EXPECT_EQ(AppendWithFileSizeLimit(path, record, header.size()), EFBIG);
    EXPECT_EQ(Contents(path), header);
    // Room enough: the file goes on growing after the failures.
    EXPECT_EQ(AppendWithFileSizeLimit(path, record, header.size() + record.size()), 0);
    EXPECT_EQ(Contents(path), header + record);

    // A header that does not fit leaves no empty results file behind.
    const std::string other = Path("other.txt");
    EXPECT_EQ(WithFileSizeLimit(10, [&](PosixTextFiles& f) { return f.CreateWith(other, header); }),
              EFBIG);
    EXPECT_FALSE(std::filesystem::exists(other));
}

// Another program holding a claim on `path` until it is killed.
class ClaimingProgram {
public:
    ClaimingProgram(const std::string& path, bool sole) {
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            PosixTextFiles files;
            const char claimed = files.Claim(path, sole, true).ok() ? 1 : 0;
            (void)!::write(ready[1], &claimed, 1);
            for (;;) {
                ::pause();
            }
        }
        ::close(ready[1]);
        char claimed = 0;
        EXPECT_EQ(::read(ready[0], &claimed, 1), 1);
        EXPECT_EQ(claimed, 1) << path;
        ::close(ready[0]);
    }
    ~ClaimingProgram() {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }

private:
    pid_t pid_ = -1;
};

// $XDG_RUNTIME_DIR set to `value` (unset for nullopt) until the end of scope.
class RuntimeDir {
public:
    explicit RuntimeDir(const std::optional<std::string>& value) {
        if (const char* old = std::getenv("XDG_RUNTIME_DIR")) {
            old_ = old;
        }
        if (value) {
            ::setenv("XDG_RUNTIME_DIR", value->c_str(), 1);
        } else {
            ::unsetenv("XDG_RUNTIME_DIR");
        }
    }
    ~RuntimeDir() {
        if (old_) {
            ::setenv("XDG_RUNTIME_DIR", old_->c_str(), 1);
        } else {
            ::unsetenv("XDG_RUNTIME_DIR");
        }
    }

private:
    std::optional<std::string> old_;
};

TEST_F(PosixTextFilesTest, EverySpellingOfAFileMeetsItsSoleClaim) {
    const std::string path = Path("hall.csv");
    std::ofstream(path, std::ios::binary) << "header\r\n";
    std::filesystem::create_directories(Path("other/sub"));
    std::filesystem::create_symlink(path, Path("other/link.csv"));
    std::filesystem::create_hard_link(path, Path("other/hard.csv"));
    struct Spelling {
        const char* what;
        std::string path;
        std::optional<std::string> runtimeDir;  // the claimant's $XDG_RUNTIME_DIR
    };
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::optional<std::string> here =
        runtime != nullptr ? std::optional<std::string>(runtime) : std::nullopt;
    const Spelling spellings[] = {
        {"the same path", path, here},
        {"a symbolic link", Path("other/link.csv"), here},
        {"a hard link", Path("other/hard.csv"), here},
        {"a relative path", std::filesystem::relative(path).string(), here},
        {"a path through ..", Path("other/sub/../../hall.csv"), here},
        {"another XDG_RUNTIME_DIR", path, Path("other")},
        {"no XDG_RUNTIME_DIR", path, std::nullopt},
        {"XDG_RUNTIME_DIR set", path, Path("")},
    };
    {
        ClaimingProgram logger(path, /*sole=*/true);
        for (const Spelling& s : spellings) {
            RuntimeDir environment(s.runtimeDir);
            PosixTextFiles files;
            for (const bool sole : {false, true}) {
                const FileResult claimed = files.Claim(s.path, sole, true);
                EXPECT_EQ(claimed.error, kFileClaimedError) << s.what << (sole ? ", sole" : "");
                EXPECT_NE(claimed.message.find(s.path), std::string::npos) << s.what;
            }
        }
    }
    // Once the claim ends, any spelling claims the file.
    PosixTextFiles files;
    for (const Spelling& s : spellings) {
        EXPECT_TRUE(files.Claim(s.path, true, true).ok()) << s.what;
        files.Release(s.path);
    }
    // A shared claim admits other shared ones only.
    ClaimingProgram window(path, /*sole=*/false);
    EXPECT_TRUE(files.Claim(Path("other/link.csv"), false, false).ok());
    EXPECT_EQ(files.Claim(Path("other/hard.csv"), true, false).error, kFileClaimedError);
}

// Day logs: one program's rows to a folder, however the folder is named; the
// next may write there once the first has let go.
TEST_F(PosixTextFilesTest, ADayLogFolderHasOneWriterWhateverItsSpelling) {
    const std::string logs = Path("logs");
    std::filesystem::create_directories(logs);
    std::filesystem::create_directory_symlink(logs, Path("link"));
    PosixRowFiles window;
    PosixRowFiles logger;
    ASSERT_EQ(window.ClaimFolder(logs), "");
    const std::string refused = logger.ClaimFolder(Path("link") + "/.");
    EXPECT_NE(refused.find("another Tarnwick program writes its rows in this folder"),
              std::string::npos)
        << refused;
    window.ReleaseFolder(logs);
    EXPECT_EQ(logger.ClaimFolder(Path("link")), "");
}

TEST_F(PosixTextFilesTest, AClaimMakesAMissingFileOnlyWhenAskedTo) {
    PosixTextFiles files;
    const std::string path = Path("new.csv");
    EXPECT_EQ(files.Claim(path, true, false).error, kFileMissingError);
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_TRUE(files.Claim(path, true, true).ok());
    EXPECT_EQ(Contents(path), "");
    // The header goes into the empty file once; a file that holds anything
    // keeps it.
    ASSERT_TRUE(files.StartWith(path, "header\r\n").ok());
    ASSERT_TRUE(files.StartWith(path, "other\r\n").ok());
    EXPECT_EQ(Contents(path), "header\r\n");
    EXPECT_EQ(files.StartWith(Path("missing.csv"), "header\r\n").error, kFileMissingError);
    EXPECT_FALSE(std::filesystem::exists(Path("missing.csv")));
}

TEST_F(PosixTextFilesTest, AClaimedFileDeletedOrReplacedIsNeverWrittenUnderItsName) {
    PosixTextFiles files;
    const std::string path = Path("hall.csv");
    ASSERT_TRUE(files.Claim(path, true, true).ok());
    ASSERT_TRUE(files.Append(path, "mine\r\n").ok());

    std::filesystem::remove(path);
    EXPECT_EQ(files.Append(path, "record\r\n").error, kFileMissingError);
    EXPECT_FALSE(std::filesystem::exists(path)) << "an append made the file again";
    // Another program begins a file of the same name: it is not the one
    // claimed.
    std::ofstream(path, std::ios::binary) << "theirs\r\n";
    EXPECT_EQ(files.Append(path, "record\r\n").error, kFileMissingError);
    EXPECT_EQ(files.StartWith(path, "header\r\n").error, kFileMissingError);
    EXPECT_EQ(files.CreateWith(path, "header\r\n").error, kFileMissingError);
    EXPECT_EQ(Contents(path), "theirs\r\n");
    // Claimed again, it is written.
    ASSERT_TRUE(files.Claim(path, true, true).ok());
    ASSERT_TRUE(files.Append(path, "record\r\n").ok());
    EXPECT_EQ(Contents(path), "theirs\r\nrecord\r\n");
}

// Two window copies share one file: each holds a shared claim and appends
// under it. Neither waits on the other's claim or on its own, and every
// line arrives whole, each copy's in its order.
TEST_F(PosixTextFilesTest, TwoClaimantsAppendWithoutWaitingOrInterleaving) {
    const std::string path = Path("shared.csv");
    constexpr int kLines = 100;
    constexpr size_t kLineBytes = 16384;
    ASSERT_TRUE(files_.CreateWith(path, "header\r\n").ok());
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    const auto copy = [&](char id) {
        return [&, id] {
            PosixTextFiles files;
            if (!files.Claim(path, false, false).ok()) {
                return 2;
            }
            char byte = 0;
            (void)!::read(go[0], &byte, 1);
            for (int i = 0; i < kLines; ++i) {
                std::string line = std::string(1, id) + std::to_string(i) + " ";
                line.resize(kLineBytes - 2, id);
                if (!files.Append(path, line + "\r\n").ok()) {
                    return 3;
                }
            }
            return 0;
        };
    };
    std::vector<pid_t> copies;
    for (const char id : {'a', 'b'}) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::alarm(20);
            ::_exit(copy(id)());
        }
        copies.push_back(pid);
    }
    ::close(go[0]);
    const char bytes[2] = {1, 1};
    ASSERT_EQ(::write(go[1], bytes, 2), 2);
    ::close(go[1]);
    for (const pid_t pid : copies) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << "a copy failed or waited for good (status " << status << ")";
    }

    std::istringstream text(Contents(path));
    std::string line;
    std::getline(text, line);
    EXPECT_EQ(line, "header\r");
    int next[2] = {0, 0};
    while (std::getline(text, line)) {
        ASSERT_EQ(line.size(), kLineBytes - 1) << "a line cut or interleaved";
        const char id = line[0];
        ASSERT_TRUE(id == 'a' || id == 'b');
        EXPECT_EQ(line.find_first_not_of(id, line.find(' ') + 1), kLineBytes - 2);
        EXPECT_EQ(std::stoi(line.substr(1)), next[id - 'a']++);
    }
    EXPECT_EQ(next[0], kLines);
    EXPECT_EQ(next[1], kLines);
}

// Where the claims themselves take the write lock's place (NFS makes a flock
// a lock of the whole file's bytes), the lock is never had: the records go
// on without it after a short wait, instead of the program waiting for good.
TEST_F(PosixTextFilesTest, AWriteLockNeverFreedDelaysTheRecordOnly) {
    const std::string path = Path("nfs.csv");
    ASSERT_TRUE(files_.CreateWith(path, "header\r\n").ok());
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const int fd = ::open(path.c_str(), O_RDWR);
        struct flock whole {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        const char locked = ::fcntl(fd, F_OFD_SETLK, &whole) == 0 ? 1 : 0;
        (void)!::write(ready[1], &locked, 1);
        for (;;) {
            ::pause();
        }
    }
    char locked = 0;
    ASSERT_EQ(::read(ready[0], &locked, 1), 1);
    ASSERT_EQ(locked, 1);
    const int status = [&] {
        const pid_t writer = ::fork();
        if (writer == 0) {
            ::alarm(10);
            PosixTextFiles files;
            ::_exit(files.Claim(path, false, false).ok() && files.Append(path, "record\r\n").ok()
                        ? 0
                        : 1);
        }
        int s = 0;
        ::waitpid(writer, &s, 0);
        return s;
    }();
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(Contents(path), "header\r\nrecord\r\n");
}

}  // namespace
}  // namespace tarnwick
