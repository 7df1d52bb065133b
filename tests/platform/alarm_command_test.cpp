// The logger's --on-alarm commands as real processes: a command that hangs
// is killed with everything it started, a stopping logger ends what is still
// running even when it ignores SIGTERM, and what the commands write to
// standard error comes back in whole lines.

#include "tools/logger/alarm_command.h"

#include <gtest/gtest.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tarnwick::test {
namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

// The processes of group `group` that have not ended (zombies have).
std::vector<pid_t> LiveMembers(pid_t group) {
    std::vector<pid_t> members;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;  // not a process
        }
        std::ifstream stat(entry.path() / "stat");
        std::string line;
        if (!std::getline(stat, line) || line.rfind(')') == std::string::npos) {
            continue;
        }
        // pid (comm) state ppid pgrp ...
        std::istringstream after(line.substr(line.rfind(')') + 2));
        char state = 0;
        pid_t parent = 0;
        pid_t pgrp = 0;
        after >> state >> parent >> pgrp;
        if (pgrp == group && state != 'Z' && state != 'X') {
            members.push_back(std::stoi(name));
        }
    }
    return members;
}

std::string Script(const std::string& name, const std::string& body) {
    const std::filesystem::path path =
        std::filesystem::path(testing::TempDir()) / (name + "-" + std::to_string(getpid()));
    std::ofstream(path) << "#!/bin/sh\n" << body;
    std::filesystem::permissions(path, std::filesystem::perms::owner_all);
    return path.string();
}

// A script's first line: the process group it runs in, "group N".
const std::string kSayGroup =
    "read -r _ _ _ _ group _ < /proc/$$/stat\necho \"group $group\" >&2\n";

// The group ids the commands announced.
std::vector<pid_t> Groups(const std::vector<std::string>& lines) {
    std::vector<pid_t> groups;
    for (const std::string& line : lines) {
        if (line.rfind("group ", 0) == 0) {
            groups.push_back(std::stoi(line.substr(6)));
        }
    }
    return groups;
}

const AlarmChange kSilenceSet{AlarmKind::kSilence, true, -INFINITY};

TEST(AlarmCommand, AHungCommandIsKilledWithWhatItStartedAndItsLinesComeWhole) {
    // Forks a sleeping child, writes one line in two pieces, and hangs.
    const std::string script = Script("hangs", kSayGroup + R"(printf 'half a line, ' >&2
sleep 0.2
echo 'then the rest' >&2
sleep 300 &
sleep 300
)");
    std::vector<std::string> lines;
    AlarmCommandLimits limits;
    limits.timeLimit = milliseconds(600);
    AlarmCommand command(
        script, [&lines](const std::string& line) { lines.push_back(line); }, limits);
    std::string error;
    ASSERT_TRUE(command.Run(kSilenceSet, LocalDateTime{0}, error)) << error;
    const SteadyClock::time_point started = SteadyClock::now();
    while (command.Running() > 0 && SteadyClock::now() - started < milliseconds(3000)) {
        command.Reap();
        std::this_thread::sleep_for(milliseconds(50));
    }
    EXPECT_EQ(command.Running(), 0u);
    EXPECT_GE(SteadyClock::now() - started, limits.timeLimit);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1], "half a line, then the rest");
    EXPECT_EQ(lines[2], script + " still running after 0.6 s: killed, with everything it started");
    const std::vector<pid_t> groups = Groups(lines);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(LiveMembers(groups[0]), std::vector<pid_t>{}) << "of group " << groups[0];
    std::filesystem::remove(script);
}

TEST(AlarmCommand, StoppingEndsEveryCommandEvenOneThatIgnoresTerm) {
    const std::string polite = Script("polite", kSayGroup + "sleep 300 &\nsleep 300\n");
    const std::string stubborn =
        Script("stubborn", "trap '' TERM\n" + kSayGroup + "sleep 300 &\nsleep 300\n");
    std::vector<std::string> lines;
    AlarmCommandLimits limits;
    limits.stopGrace = milliseconds(300);
    std::vector<std::unique_ptr<AlarmCommand>> commands;
    for (const std::string& script : {polite, stubborn}) {
        commands.push_back(std::make_unique<AlarmCommand>(
            script, [&lines](const std::string& line) { lines.push_back(line); }, limits));
        std::string error;
        ASSERT_TRUE(commands.back()->Run(kSilenceSet, LocalDateTime{0}, error)) << error;
    }
    // Both have said which group they are, and started their children.
    const SteadyClock::time_point started = SteadyClock::now();
    while (Groups(lines).size() < 2 && SteadyClock::now() - started < milliseconds(3000)) {
        for (auto& c : commands) {
            c->Reap();
        }
        std::this_thread::sleep_for(milliseconds(20));
    }
    const std::vector<pid_t> groups = Groups(lines);
    ASSERT_EQ(groups.size(), 2u);
    std::this_thread::sleep_for(milliseconds(100));

    const SteadyClock::time_point stopping = SteadyClock::now();
    commands[0]->StopAll();  // ends at SIGTERM
    EXPECT_LT(SteadyClock::now() - stopping, limits.stopGrace);
    commands[1]->StopAll();  // needs SIGKILL after the grace time
    EXPECT_GE(SteadyClock::now() - stopping, limits.stopGrace);
    for (const pid_t group : groups) {
        EXPECT_EQ(LiveMembers(group), std::vector<pid_t>{}) << "of group " << group;
        EXPECT_EQ(commands[0]->Running() + commands[1]->Running(), 0u);
    }
    std::filesystem::remove(polite);
    std::filesystem::remove(stubborn);
}

}  // namespace
}  // namespace tarnwick::test
