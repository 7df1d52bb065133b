#pragma once
// The --on-alarm command: run once for every change of an alarm, without a
// shell and without waiting for it, so that the capture never stalls. Its
// words are split at blanks; the change comes in its environment:
// TARNWICK_ALARM (the alarm's name, as AlarmName gives it), TARNWICK_STATE
// (set or clear), TARNWICK_LEVEL_DB and TARNWICK_TIME.
//
// Each command runs in a process group of its own, with the signals' default
// actions and none blocked, so that whatever it starts ends with it: a
// command's group still running after the time limit is killed whole, and
// StopAll ends every group still running. Its standard error comes back to
// the caller line by line, whole lines only; its standard input is /dev/null
// and its standard output is the logger's.

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "core/local_time.h"
#include "tools/logger/alarms.h"

namespace tarnwick {

struct AlarmCommandLimits {
    // From a command's start until its group is killed (SIGKILL).
    std::chrono::milliseconds timeLimit{30000};
    // At StopAll, from SIGTERM to the groups until SIGKILL to those left.
    std::chrono::milliseconds stopGrace{2000};
};

class AlarmCommand {
public:
    // Receives a line that a command wrote to its standard error, without its
    // line end (a line longer than kMaxLineBytes comes in pieces of that
    // size), and a line of its own when a command is killed at the time
    // limit. Called on the caller's thread, from Reap and StopAll only.
    using ErrorLine = std::function<void(const std::string& line)>;

    AlarmCommand(const std::string& commandLine, ErrorLine errorLine,
                 AlarmCommandLimits limits = {});
    // Ends the commands still running, as StopAll.
    ~AlarmCommand();
    AlarmCommand(const AlarmCommand&) = delete;
    AlarmCommand& operator=(const AlarmCommand&) = delete;

    // Starts the command for `change` at `at`. False, with `error` saying why,
    // when it could not be started. True without starting anything when there
    // is no command.
    bool Run(const AlarmChange& change, LocalDateTime at, std::string& error);
    // Passes on the lines of standard error that have come, collects the
    // commands whose groups have ended and kills the groups past the time
    // limit. Never blocks; meant to be called about once a second.
    void Reap();
    // Ends every command still running, with its group: SIGTERM, then SIGKILL
    // to the groups left after the grace time. Blocks for the grace time at
    // most; for a logger that stops.
    void StopAll();
    // Commands whose group has not ended yet.
    size_t Running() const { return running_.size(); }

    static constexpr size_t kMaxLineBytes = 4096;

private:
    struct Started {
        pid_t group;          // the command's pid, and the id of its group
        bool reaped;          // the command itself has ended; its group may not have
        int errorPipe;        // read end of its standard error; -1 at its end
        std::string partial;  // a line begun, not ended yet
        std::chrono::steady_clock::time_point started;
    };
    // Passes on what `r`'s standard error holds now; at its end, the last
    // unfinished line too.
    void ReadErrors(Started& r);
    // Splits `size` bytes of `r`'s standard error into lines and passes them on.
    void PassOn(Started& r, const char* data, size_t size);
    // True, with its last lines passed on and its pipe closed, when the
    // command itself has ended and no process of its group is left.
    bool Ended(Started& r);
    // Passes on what `r`'s pipe still holds, without waiting for writers that
    // escaped the group, and the unfinished line; closes the pipe.
    void Finish(Started& r);
    // Sends `signal` to `r`'s group and to the command itself.
    static void Signal(const Started& r, int signal);

    std::vector<std::string> words_;
    ErrorLine errorLine_;
    AlarmCommandLimits limits_;
    std::vector<Started> running_;
};

}  // namespace tarnwick
