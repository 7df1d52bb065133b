// The window's timers on the Qt event loop keep the rules the meter relies on,
// and the clock reads the local wall-clock time.

#include <gtest/gtest.h>

#include <QDateTime>
#include <cstdlib>
#include <ctime>

#include "platform/steady_time.h"
#include "tests/audio/audio_test_support.h"

namespace tarnwick {
namespace {

using std::chrono::milliseconds;

TEST(SteadyClock, NowIsTheLocalWallClockInAnOddZone) {
    // A zone 13 h 45 min ahead of UTC catches a clock that reads UTC or drops
    // the minutes of the offset.
    const char* saved = std::getenv("TZ");
    const std::string previous = saved != nullptr ? saved : "";
    setenv("TZ", "Pacific/Chatham", 1);
    tzset();
    SteadyClock clock;
    const LocalDateTime now = clock.Now();
    const QDateTime qt = QDateTime::currentDateTime();
    const qint64 wall = qt.toMSecsSinceEpoch() + qt.offsetFromUtc() * 1000LL;
    EXPECT_LT(std::llabs(now.ms - wall), 1000) << "offset " << qt.offsetFromUtc() << " s";
    if (saved != nullptr) {
        setenv("TZ", previous.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

TEST(QtTimers, ArmingAnArmedTimerKeepsItsCountdown) {
    QtTimers timers;
    SteadyClock clock;
    int fired = 0;
    uint32_t firedAt = 0;
    const uint32_t start = clock.TickCount();
    std::unique_ptr<ITimer> timer = timers.CreateTimer(150, [&] {
        ++fired;
        firedAt = clock.TickCount();
    });
    EXPECT_FALSE(timer->Armed());
    timer->Arm();
    // Armed again and again before it falls due: it still fires 150 ms after
    // the first arming, not after the last.
    for (int i = 0; i < 10; ++i) {
        test::RunEventLoopFor(milliseconds(10));
        timer->Arm();
    }
    ASSERT_TRUE(test::RunEventLoopUntil([&] { return fired > 0; }, milliseconds(2000)));
    EXPECT_LT(firedAt - start, 230u);
    timer->Disarm();
    const int count = fired;
    test::RunEventLoopFor(milliseconds(300));
    EXPECT_EQ(fired, count);
}

TEST(QtTimers, IntervalsAreStoredWhileDisarmedAndZeroNeverFires) {
    QtTimers timers;
    int fired = 0;
    std::unique_ptr<ITimer> timer = timers.CreateTimer(2000, [&] { ++fired; });
    timer->SetInterval(40);
    EXPECT_EQ(timer->Interval(), 40u);
    EXPECT_FALSE(timer->Armed());
    test::RunEventLoopFor(milliseconds(100));
    EXPECT_EQ(fired, 0);
    timer->Arm();
    ASSERT_TRUE(test::RunEventLoopUntil([&] { return fired >= 2; }, milliseconds(1000)));

    timer->Disarm();
    timer->SetInterval(0);
    timer->Arm();
    EXPECT_TRUE(timer->Armed());
    fired = 0;
    test::RunEventLoopFor(milliseconds(150));
    EXPECT_EQ(fired, 0);
}

}  // namespace
}  // namespace tarnwick
