#include "app/window_day_log.h"

namespace tarnwick {

WindowDayLog::WindowDayLog(MeterApp& app, IClock& clock, ITimerFactory& timers, IRowFiles& files,
                           IUserDialogs& dialogs)
    : app_(app), clock_(clock), files_(files), dialogs_(dialogs) {
    Follow();
    timer_ = timers.CreateTimer(kPollMs, [this] { Poll(); });
    timer_->Arm();
}

WindowDayLog::~WindowDayLog() {
    if (log_ != nullptr) {
        log_->Finish();
    }
}

void WindowDayLog::AddBlock() {
    Follow();  // a calibration's levels go to the file of their columns
    if (log_ != nullptr) {
        log_->AddBlock();
        log_->NoticeTest();
    }
}

void WindowDayLog::NoticeLimits() {
    const auto notice = [this](const LevelLimit* limit, LimitState& seen, const char* warn,
                               const char* red) {
        const LimitState now = limit != nullptr ? limit->Status().state : LimitState::kOk;
        if (now == seen) {
            return;
        }
        const auto name = [&](LimitState state) {
            return std::string(state == LimitState::kWarn ? warn : red);
        };
        if (seen != LimitState::kOk) {
            log_->AddEvent(name(seen) + " clear");
        }
        if (now != LimitState::kOk) {
            log_->AddEvent(name(now));
        }
        seen = now;
    };
    notice(app_.SoundLevelLimit(), aSeen_, "spl-warn", "spl-limit");
    notice(app_.SoundLevelLimitC(), cSeen_, "spl-c-warn", "spl-c-limit");
}

std::string WindowDayLog::Folder() const {
    return log_ != nullptr ? log_->Folder() : std::string();
}

void WindowDayLog::Poll() {
    Follow();
    if (log_ != nullptr) {
        NoticeLimits();
        log_->Poll();
    }
}

void WindowDayLog::Follow() {
    const TMeterSettings& s = app_.settings();
    const bool calibrated = s.SplSensitivity.has_value();
    if (followed_ && s.SplLogFolder == folder_ && calibrated == calibrated_) {
        return;
    }
    followed_ = true;
    folder_ = s.SplLogFolder;
    calibrated_ = calibrated;
    if (log_ != nullptr) {
        log_->Finish();
        log_.reset();  // the folder is free again
    }
    if (folder_.empty() || app_.SoundLevel() == nullptr) {
        return;
    }
    auto log = std::make_unique<SecondLog>(app_, clock_, files_, true,
                                           [this](const std::string& text, const std::string&) {
                                               dialogs_.Notice(text, kDayLogCaption);
                                           });
    if (const std::string error = log->Open(folder_); !error.empty()) {
        dialogs_.MessageBox("No sound level log is written: " + error +
                                ". Choose another folder in Sound Level Setup.",
                            kDayLogCaption);
        return;
    }
    log->Begin();
    log_ = std::move(log);
}

}  // namespace tarnwick
