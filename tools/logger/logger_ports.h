#pragma once
// The ports a logging session needs beyond the meter's own: files of rows, the
// alarm commands it starts, and the service manager it reports to. The real
// ones are POSIX files, posix_spawn and sd_notify; tests bring fakes.

#include <cstdint>
#include <string>

#include "core/local_time.h"
#include "tools/logger/alarms.h"

namespace tarnwick {

// Appends rows to CSV files, each file starting with its header.
class IRowFiles {
public:
    struct Written {
        bool ok = false;
        bool created = false;  // the file was not there: it was made, header first
        std::string error;     // why not, naming the path
    };

    virtual ~IRowFiles() = default;
    // Makes `folder` and the folders above it when missing, and checks that
    // files can be made in it. Empty, or the reason naming the folder.
    virtual std::string MakeFolder(const std::string& folder) = 0;
    // Appends `row` to `path` whole or not at all. A file that is missing,
    // or whose folder is, is made first (folders included) and starts with
    // `header`.
    virtual Written Append(const std::string& path, const std::string& header,
                           const std::string& row) = 0;
    // The last whole row of `path`; empty when there is none.
    virtual std::string LastRow(const std::string& path) = 0;
    // The first row of `path` (its header); empty when there is none.
    virtual std::string FirstRow(const std::string& path) = 0;
};

// The --on-alarm command, started for the changes of the alarms that the
// pacing lets through.
class IAlarmCommands {
public:
    virtual ~IAlarmCommands() = default;
    // Starts the command for `change` at `at`. False, with `error` saying
    // why, when it could not be started; true when there is no command.
    virtual bool Run(const AlarmChange& change, LocalDateTime at, std::string& error) = 0;
    // Collects the commands that ended and ends those past their time.
    // Called every second.
    virtual void Reap() = 0;
    // The logger stops: the commands still running are ended.
    virtual void StopAll() = 0;
    // Commands that ended with a status other than 0 or by a signal (killed
    // at their time limit among them), since the start; those the logger
    // ends when it stops are not counted.
    virtual uint64_t Failures() const = 0;
};

// The service manager (systemd), when the logger runs as a service.
class IServiceNotifier {
public:
    virtual ~IServiceNotifier() = default;
    // Once: the input is open, or its loss has been reported.
    virtual void Ready() = 0;
    // The loop is alive and writing rows; a loop that stops pinging is
    // restarted by the service manager.
    virtual void Watchdog() = 0;
    virtual void Stopping() = 0;
    // One line of how the logger is now, which the service manager shows
    // (systemctl status): the input measured, or why it is not.
    virtual void Status(const std::string& line) = 0;
};

}  // namespace tarnwick
