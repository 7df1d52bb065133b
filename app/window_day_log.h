#pragma once
// WindowDayLog: the meter window's per-second day log. With a folder in the
// sound level settings ("Write a row every second to", `SPL Log Folder`),
// the window writes the logger's own day log there: the same columns with
// sound level, the same files (one per local day, "Tarnwick YYYY-MM-DD.csv"),
// the same rules for every second and for a clock that steps (SecondLog), so
// that a show is documented without a second program. The folder is the
// window's alone while it writes there: a logger (or another window) given
// it is refused, and so is the window when another program has it.
//
// The limits' lights are events of the rows, named as the logger's alarms:
// "spl-warn" when the limit on LAeq turns amber, "spl-limit" when it turns
// red, "spl-c-warn" and "spl-c-limit" for the limit on LCeq, each followed by
// its " clear" when the light leaves that colour.
//
// It follows the settings: a new folder, none, or a calibration that turns
// the columns from levels relative to full scale into sound pressure levels
// (or back) close the log and open it again. A folder that cannot be made or
// is claimed is told once, and no rows are written until the settings
// change. Toolkit-free; its timer and every call run on the event-loop
// thread.

#include <cstdint>
#include <memory>
#include <string>

#include "app/meter_app.h"
#include "app/second_log.h"
#include "core/ports/row_files.h"

namespace tarnwick {

inline const std::string kDayLogCaption = "Sound level log";

class WindowDayLog {
public:
    // How often it looks whether a second of the wall clock passed.
    static constexpr uint32_t kPollMs = 100;

    // Starts following the settings at once.
    WindowDayLog(MeterApp& app, IClock& clock, ITimerFactory& timers, IRowFiles& files,
                 IUserDialogs& dialogs);
    // The row of the second being gathered is written.
    ~WindowDayLog();
    WindowDayLog(const WindowDayLog&) = delete;
    WindowDayLog& operator=(const WindowDayLog&) = delete;

    // Each block the meter processed.
    void AddBlock();
    // The folder rows go to now; empty while none are written.
    std::string Folder() const;

private:
    void Poll();
    // Opens, closes or opens again for the settings as they are now.
    void Follow();
    // The limits' changes of light since the last look, as events.
    void NoticeLimits();

    MeterApp& app_;
    IClock& clock_;
    IRowFiles& files_;
    IUserDialogs& dialogs_;
    std::unique_ptr<SecondLog> log_;
    std::unique_ptr<ITimer> timer_;
    std::string folder_;       // as the settings gave it when last followed
    bool calibrated_ = false;  // likewise
    bool followed_ = false;
    LimitState aSeen_ = LimitState::kOk;
    LimitState cSeen_ = LimitState::kOk;
};

}  // namespace tarnwick
