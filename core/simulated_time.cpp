#include "core/simulated_time.h"

#include <algorithm>
#include <utility>

namespace tarnwick {

LocalDateTime SimulatedClock::Now() {
    if (utcOffsetS_) {
        return NowZoned().Local();
    }
    return AddMs(start_, static_cast<int64_t>(elapsedMs_));
}

ZonedDateTime SimulatedClock::NowZoned() {
    if (!utcOffsetS_) {
        return ZonedDateTime{Now().ms, 0};
    }
    const int64_t utc =
        startUtcMs_ + static_cast<int64_t>(elapsedMs_) + (start_.ms - zoneStart_.ms);
    return ZonedDateTime{utc, utcOffsetS_(utc)};
}

void SimulatedClock::UseZone(int64_t nowUtcMs, std::function<int32_t(int64_t utcMs)> utcOffsetS) {
    startUtcMs_ = nowUtcMs - static_cast<int64_t>(elapsedMs_);
    zoneStart_ = start_;
    utcOffsetS_ = std::move(utcOffsetS);
}

class SimulatedTimers::Timer : public ITimer {
public:
    Timer(SimulatedTimers& owner, uint32_t interval, std::function<void()> onTimer)
        : owner_(&owner), interval_(interval), onTimer_(std::move(onTimer)) {}
    ~Timer() override {
        if (owner_ != nullptr) {
            auto& list = owner_->timers_;
            list.erase(std::remove(list.begin(), list.end(), this), list.end());
        }
    }

    void Arm() override {
        if (!armed_) {
            armed_ = true;
            dueAt_ = owner_->clock_.ElapsedMs() + interval_;
        }
    }
    void Disarm() override { armed_ = false; }
    bool Armed() const override { return armed_; }
    void SetInterval(uint32_t ms) override {
        if (armed_ && ms != interval_) {
            dueAt_ = owner_->clock_.ElapsedMs() + ms;
        }
        interval_ = ms;
    }
    uint32_t Interval() const override { return interval_; }

    bool Fires() const { return armed_ && interval_ > 0; }

    SimulatedTimers* owner_;
    bool armed_ = false;
    uint32_t interval_;
    uint64_t dueAt_ = 0;
    std::function<void()> onTimer_;
};

SimulatedTimers::~SimulatedTimers() {
    for (Timer* timer : timers_) {
        timer->owner_ = nullptr;
    }
}

std::unique_ptr<ITimer> SimulatedTimers::CreateTimer(uint32_t intervalMs,
                                                     std::function<void()> onTimer) {
    auto timer = std::make_unique<Timer>(*this, intervalMs, std::move(onTimer));
    timers_.push_back(timer.get());
    return timer;
}

void SimulatedTimers::AdvanceTo(uint64_t elapsedMs) {
    for (;;) {
        Timer* next = nullptr;
        for (Timer* timer : timers_) {
            if (timer->Fires() && timer->dueAt_ <= elapsedMs &&
                (next == nullptr || timer->dueAt_ < next->dueAt_)) {
                next = timer;
            }
        }
        if (next == nullptr) {
            break;
        }
        const uint64_t due = next->dueAt_;
        clock_.SetElapsedMs(due);
        next->onTimer_();
        // A handler may have removed, disarmed, re-armed or restarted the timer; a
        // timer left running as it was goes on one interval later.
        if (std::find(timers_.begin(), timers_.end(), next) != timers_.end() && next->Fires() &&
            next->dueAt_ == due) {
            next->dueAt_ = due + next->interval_;
        }
    }
    clock_.SetElapsedMs(elapsedMs);
}

}  // namespace tarnwick
