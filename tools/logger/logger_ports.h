#pragma once
// The ports a logging session needs beyond the meter's own and the files of
// rows (core/ports/row_files.h): the alarm commands it starts, and the service manager it reports
// to. The real ones are POSIX files, posix_spawn and sd_notify; tests bring fakes.

#include <cstdint>
#include <string>

#include "core/local_time.h"
#include "core/ports/row_files.h"
#include "tools/logger/alarms.h"

namespace tarnwick {

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
