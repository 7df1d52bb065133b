// The logger's --on-alarm commands as real processes: the program is found
// at the start or named as missing, a command that hangs is killed with
// everything it started, a stopping logger ends what is still running even
// when it ignores SIGTERM, what the commands write to standard error comes
// back in whole lines, and a command that fails is named and counted.

#include "tools/logger/alarm_command.h"

#include <gtest/gtest.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstring>
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

// The members of `group` still alive once a signal sent to it has had up
// to 2 s to be delivered: a killed process dies when it is next scheduled,
// which on a busy machine is not at once.
std::vector<pid_t> MembersLeft(pid_t group) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    std::vector<pid_t> members = LiveMembers(group);
    while (!members.empty() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        members = LiveMembers(group);
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
    EXPECT_EQ(lines[2], "silence set: " + script +
                            " still running after 0.6 s: killed, with everything it started");
    EXPECT_EQ(command.Failures(), 1u);
    const std::vector<pid_t> groups = Groups(lines);
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(MembersLeft(groups[0]), std::vector<pid_t>{}) << "of group " << groups[0];
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
        EXPECT_EQ(MembersLeft(group), std::vector<pid_t>{}) << "of group " << group;
        EXPECT_EQ(commands[0]->Running() + commands[1]->Running(), 0u);
    }
    std::filesystem::remove(polite);
    std::filesystem::remove(stubborn);
}

// A name is looked for in the folders of PATH in order, past files of that
// name that cannot be run, as execvp would; a path is taken as it is.
TEST(AlarmCommand, TheProgramIsFoundAtTheStartOrNamedAsMissing) {
    const std::filesystem::path root =
        std::filesystem::path(testing::TempDir()) / ("alarm-path-" + std::to_string(getpid()));
    for (const char* folder : {"plain", "runnable", "empty"}) {
        std::filesystem::create_directories(root / folder);
    }
    std::ofstream(root / "plain" / "page-me") << "#!/bin/sh\n";
    std::ofstream(root / "runnable" / "page-me") << "#!/bin/sh\n";
    std::filesystem::permissions(root / "runnable" / "page-me", std::filesystem::perms::owner_all);
    const std::string plain = (root / "plain").string();
    const std::string runnable = (root / "runnable").string();
    const std::string empty = (root / "empty").string();

    struct Case {
        std::string command;
        std::string path;
        std::string program;  // expected; empty: none, and then
        std::string error;    // the start of the message
    };
    const std::vector<Case> cases = {
        {"page-me --loud", empty + ":" + plain + ":" + runnable, runnable + "/page-me", ""},
        {"page-me", empty, "", "page-me: not found in PATH (" + empty + ")"},
        {"page-me", plain, "", "page-me: " + plain + "/page-me: not executable"},
        {runnable + "/page-me", "", runnable + "/page-me", ""},
        {plain + "/page-me", runnable, "", plain + "/page-me: not executable"},
        {runnable, runnable, "", runnable + ": a folder, not a program"},
        {empty + "/page-me", runnable, "", empty + "/page-me: No such file or directory"},
    };
    for (const Case& c : cases) {
        AlarmCommand command(c.command, nullptr, {}, c.path.c_str());
        EXPECT_EQ(command.Program(), c.program) << c.command << " in " << c.path;
        EXPECT_EQ(command.ProgramError().rfind(c.error, 0), 0u)
            << c.command << " in " << c.path << ": " << command.ProgramError();
        EXPECT_EQ(command.ProgramError().empty(), c.error.empty()) << c.command;
        if (!c.error.empty()) {
            std::string error;
            EXPECT_FALSE(command.Run(kSilenceSet, LocalDateTime{0}, error));
            EXPECT_EQ(error, command.ProgramError());
        }
    }
    std::filesystem::remove_all(root);
}

// Three changes: one command succeeds, one ends with status 3, one is ended
// by a signal. Each failure is a line naming the alarm, its state and the
// status, and is counted; no command sees the service manager's variables.
TEST(AlarmCommand, AFailureIsNamedAndCountedAndTheServiceVariablesStayBehind) {
    const std::string script = Script("fails", R"(env | grep -c -e ^NOTIFY_SOCKET= -e ^WATCHDOG_ >&2
case "$TARNWICK_ALARM" in
spl-limit) exit 3 ;;
over-target) kill -TERM $$ ;;
esac
)");
    setenv("NOTIFY_SOCKET", "/run/user/1000/systemd/notify", 1);
    setenv("WATCHDOG_USEC", "30000000", 1);
    setenv("WATCHDOG_PID", std::to_string(getpid()).c_str(), 1);
    std::vector<std::string> lines;
    AlarmCommand command(script, [&lines](const std::string& line) { lines.push_back(line); });
    for (const AlarmChange& change : {kSilenceSet, AlarmChange{AlarmKind::kSplLimit, true, 80.0},
                                      AlarmChange{AlarmKind::kOverTarget, false, -12.0}}) {
        std::string error;
        ASSERT_TRUE(command.Run(change, LocalDateTime{0}, error)) << error;
    }
    unsetenv("NOTIFY_SOCKET");
    unsetenv("WATCHDOG_USEC");
    unsetenv("WATCHDOG_PID");
    const SteadyClock::time_point started = SteadyClock::now();
    while (command.Running() > 0 && SteadyClock::now() - started < milliseconds(3000)) {
        command.Reap();
        std::this_thread::sleep_for(milliseconds(20));
    }
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines,
              (std::vector<std::string>{"0", "0", "0",
                                        "over-target clear: " + script + " ended by signal 15 (" +
                                            strsignal(SIGTERM) + ")",
                                        "spl-limit set: " + script + " ended with status 3"}));
    EXPECT_EQ(command.Failures(), 2u);
    std::filesystem::remove(script);
}

}  // namespace
}  // namespace tarnwick::test
