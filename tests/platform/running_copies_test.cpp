#include "platform/running_copies.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick {
namespace {

class RunningCopiesTest : public testing::Test {
protected:
    void SetUp() override {
        folder = std::filesystem::temp_directory_path() /
                 ("tarnwick-copies-test-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder);
    }
    void TearDown() override {
        for (pid_t child : children) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        std::filesystem::remove_all(folder);
    }

    // A copy in another process, holding its place until killed; returns once
    // it has joined the list.
    pid_t StartCopy(const std::string& program) {
        int ready[2];
        EXPECT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(ready[0]);
            RunningCopies copy(folder.string(), program);
            const char byte = 1;
            (void)!::write(ready[1], &byte, 1);
            for (;;) {
                ::pause();
            }
        }
        ::close(ready[1]);
        char byte = 0;
        EXPECT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        children.push_back(child);
        return child;
    }

    std::filesystem::path folder;
    std::vector<pid_t> children;
};

TEST_F(RunningCopiesTest, CountsTheCopiesOfTheSameProgramOnly) {
    RunningCopies alone(folder.string(), "/usr/bin/tarnwick");
    EXPECT_EQ(alone.Count(), 1);
    EXPECT_EQ(InstanceNumberFor(alone.Count()), 1);

    StartCopy("/usr/bin/tarnwick");
    EXPECT_EQ(alone.Count(), 2);
    EXPECT_EQ(InstanceNumberFor(alone.Count()), 2);
    // The path is compared without regard to case; another program is not counted.
    StartCopy("/USR/BIN/Tarnwick");
    StartCopy("/opt/other/tarnwick");
    EXPECT_EQ(alone.Count(), 3);
    EXPECT_EQ(InstanceNumberFor(alone.Count()), 2);
}

TEST_F(RunningCopiesTest, AKilledCopyLeavesTheList) {
    RunningCopies first(folder.string(), "/usr/bin/tarnwick");
    const pid_t second = StartCopy("/usr/bin/tarnwick");
    ASSERT_EQ(first.Count(), 2);
    ::kill(second, SIGKILL);
    ::waitpid(second, nullptr, 0);
    children.clear();
    EXPECT_EQ(first.Count(), 1);
    // Its lock file was removed as well.
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files += entry.path().extension() == ".lock" && entry.path().filename() != "list.lock";
    }
    EXPECT_EQ(files, 1);
}

TEST_F(RunningCopiesTest, ACopyThatEndsNormallyTakesItsFileAway) {
    {
        RunningCopies earlier(folder.string(), "/usr/bin/tarnwick");
        EXPECT_EQ(earlier.Count(), 1);
    }
    RunningCopies later(folder.string(), "/usr/bin/tarnwick");
    EXPECT_EQ(later.Count(), 1);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        files += entry.path().filename() != "list.lock";
    }
    EXPECT_EQ(files, 1);
}

}  // namespace
}  // namespace tarnwick
