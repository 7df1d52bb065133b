#pragma once
// The --on-alarm command: run for a change of an alarm, without a shell and
// without waiting for it, so that the capture never stalls. Its words are
// split at blanks, and its program (the first word) is found once, at the
// start: a path as it is, a name in the folders of PATH. The change comes in
// its environment: TARNWICK_ALARM (the alarm's name, as AlarmName gives it),
// TARNWICK_STATE (set or clear), TARNWICK_LEVEL_DB and TARNWICK_TIME; the
// service manager's variables of the logger (NOTIFY_SOCKET, WATCHDOG_USEC,
// WATCHDOG_PID) are not passed on, so that no command speaks for the logger.
//
// Each command runs in a process group of its own, with the signals' default
// actions and none blocked, so that whatever it starts ends with it: a
// command's group still running after the time limit is killed whole, and
// StopAll ends every group still running. Its standard error comes back to
// the caller line by line, whole lines only; its standard input is /dev/null
// and its standard output is the logger's. A command that ends with a status
// other than 0, or by a signal, is counted and reported in a line naming the
// alarm, its state and the status.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
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
    // size), and a line of its own when a command fails or is killed at the
    // time limit. Called on the caller's thread, from Reap and StopAll only.
    using ErrorLine = std::function<void(const std::string& line)>;

    // Finds the command's program in the folders of `searchPath` (PATH, as
    // a colon-separated list; null: the system's default path). When there
    // is none, ProgramError says why and Run starts nothing.
    AlarmCommand(const std::string& commandLine, ErrorLine errorLine,
                 AlarmCommandLimits limits = {}, const char* searchPath = std::getenv("PATH"));
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
    // Commands that ended with a status other than 0 or by a signal, or were
    // killed at the time limit; not those StopAll ends.
    uint64_t Failures() const { return failures_; }
    // Empty, or why the program could not be found, naming it.
    const std::string& ProgramError() const { return programError_; }
    // The program run: the first word as found at the start.
    const std::string& Program() const { return program_; }

    static constexpr size_t kMaxLineBytes = 4096;

private:
    struct Started {
        pid_t group;          // the command's pid, and the id of its group
        std::string change;   // "silence set": what the command was run for
        bool reaped;          // the command itself has ended; its group may not have
        int status;           // the command's wait status, once reaped; -1 not known
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
    // Collects the command itself when it has ended, keeping its status;
    // `options` as waitpid's.
    static void Collect(Started& r, int options);
    // Counts and reports `r` when its status says it failed.
    void ReportStatus(const Started& r);

    std::vector<std::string> words_;
    std::string program_;
    std::string programError_;
    uint64_t failures_ = 0;
    ErrorLine errorLine_;
    AlarmCommandLimits limits_;
    std::vector<Started> running_;
};

}  // namespace tarnwick
