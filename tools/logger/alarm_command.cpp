#include "tools/logger/alarm_command.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>

#include "tools/common/headless_ports.h"

extern char** environ;

namespace tarnwick {

AlarmCommand::AlarmCommand(const std::string& commandLine) {
    std::istringstream in(commandLine);
    for (std::string word; in >> word;) {
        words_.push_back(word);
    }
}

bool AlarmCommand::Run(const AlarmChange& change, LocalDateTime at, std::string& error) {
    if (words_.empty()) {
        return true;
    }
    char level[32];
    if (std::isfinite(change.levelDb)) {
        std::snprintf(level, sizeof level, "%.1f", change.levelDb);
    } else {
        std::snprintf(level, sizeof level, "-inf");
    }
    std::vector<std::string> variables = {
        std::string("TARNWICK_ALARM=") + AlarmName(change.kind),
        std::string("TARNWICK_STATE=") + (change.set ? "set" : "clear"),
        std::string("TARNWICK_LEVEL_DB=") + level, "TARNWICK_TIME=" + StampOf(at)};
    for (char** v = environ; *v != nullptr; ++v) {
        if (std::strncmp(*v, "TARNWICK_", 9) != 0) {
            variables.emplace_back(*v);
        }
    }
    std::vector<char*> envp;
    for (std::string& v : variables) {
        envp.push_back(v.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> words = words_;
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        error = words_.front() + ": " + std::strerror(spawned);
        return false;
    }
    running_.push_back({pid, std::chrono::steady_clock::now()});
    return true;
}

void AlarmCommand::Reap() {
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(running_, [now](const Running& r) {
        int status = 0;
        if (waitpid(r.pid, &status, WNOHANG) != 0) {
            return true;  // ended, or not ours any more
        }
        if (now - r.started < kTimeLimit) {
            return false;
        }
        kill(r.pid, SIGKILL);
        waitpid(r.pid, &status, 0);
        return true;
    });
}

}  // namespace tarnwick
