#include "platform/posix_text_files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

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

}  // namespace
}  // namespace tarnwick
