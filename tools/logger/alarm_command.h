#pragma once
// The --on-alarm command: run once for every change of an alarm, without a
// shell and without waiting for it, so that the capture never stalls. Its
// words are split at blanks; the change comes in its environment:
// TARNWICK_ALARM (silence, channel-missing, over-target, input-lost),
// TARNWICK_STATE (set or clear), TARNWICK_LEVEL_DB and TARNWICK_TIME. A command
// still running after 30 s is killed.

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/local_time.h"
#include "tools/logger/alarms.h"

namespace tarnwick {

class AlarmCommand {
public:
    explicit AlarmCommand(const std::string& commandLine);

    // Starts the command for `change` at `at`. False, with `error` saying why,
    // when it could not be started.
    bool Run(const AlarmChange& change, LocalDateTime at, std::string& error);
    // Collects the commands that ended and kills those past their time. Call
    // it now and then.
    void Reap();

    static constexpr std::chrono::seconds kTimeLimit{30};

private:
    struct Running {
        pid_t pid;
        std::chrono::steady_clock::time_point started;
    };
    std::vector<std::string> words_;
    std::vector<Running> running_;
};

}  // namespace tarnwick
