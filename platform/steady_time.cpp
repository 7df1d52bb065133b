#include "platform/steady_time.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <thread>

namespace tarnwick {
namespace {

class QtTimer : public ITimer {
public:
    QtTimer(uint32_t interval, std::function<void()> onTimer) : interval_(interval) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(static_cast<int>(interval));
        QObject::connect(&timer_, &QTimer::timeout, std::move(onTimer));
    }

    void Arm() override {
        if (armed_) {
            return;  // the countdown goes on
        }
        armed_ = true;
        if (interval_ > 0) {
            timer_.start();
        }
    }
    void Disarm() override {
        armed_ = false;
        timer_.stop();
    }
    bool Armed() const override { return armed_; }
    void SetInterval(uint32_t ms) override {
        if (ms == interval_) {
            return;
        }
        interval_ = ms;
        timer_.setInterval(static_cast<int>(ms));  // restarts an active timer
        if (armed_ && ms > 0 && !timer_.isActive()) {
            timer_.start();
        } else if (ms == 0) {
            timer_.stop();
        }
    }
    uint32_t Interval() const override { return interval_; }

private:
    QTimer timer_;
    uint32_t interval_;
    bool armed_ = false;
};

}  // namespace

uint32_t SteadyClock::TickCount() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<uint32_t>(ms.count());
}

LocalDateTime SteadyClock::Now() {
    // Read on every block: the C library's conversion with its cached zone
    // rules costs a fraction of QDateTime's.
    const auto now = std::chrono::system_clock::now();
    const auto sinceEpoch = now.time_since_epoch();
    const std::time_t seconds =
        std::chrono::duration_cast<std::chrono::seconds>(sinceEpoch).count();
    std::tm local{};
    localtime_r(&seconds, &local);
    CivilDateTime c;
    c.year = local.tm_year + 1900;
    c.month = local.tm_mon + 1;
    c.day = local.tm_mday;
    c.hour = local.tm_hour;
    c.minute = local.tm_min;
    c.second = std::min(local.tm_sec, 59);  // a leap second reads as :59
    c.millisecond = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count() % 1000);
    return ToLocalDateTime(c);
}

ZonedDateTime SteadyClock::NowZoned() {
    const auto sinceEpoch = std::chrono::system_clock::now().time_since_epoch();
    const int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(sinceEpoch).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    return ZonedDateTime{ms, static_cast<int32_t>(local.tm_gmtoff)};
}

void SteadyClock::Sleep(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::unique_ptr<ITimer> QtTimers::CreateTimer(uint32_t intervalMs, std::function<void()> onTimer) {
    return std::make_unique<QtTimer>(intervalMs, std::move(onTimer));
}

}  // namespace tarnwick
