// Automatic start and stop of a test, driven by blocks through a real MeterApp on
// the simulated clock, and the timer rules the decisions rely on.

#include <gtest/gtest.h>

#include <vector>

#include "core/level_math.h"
#include "core/simulated_time.h"
#include "tests/core/fakes.h"

namespace tarnwick {
namespace {

using fakes::AppHarness;
using fakes::Frame;

// Auto Level -40: A = 328. Integration off, so a block's level is its sample.
constexpr int16_t kA = 328;

class AutoStartStop : public ::testing::Test {
protected:
    void SetUp() override {
        TMeterSettings s = fakes::PlainLevelSettings();
        s.AutoStart = true;
        s.AutoLevel = -40;
        s.SaveOnStop = false;
        settings_ = s;
    }
    void Create() { h.Create(settings_); }
    bool Running() const { return h.app.testRun().TestRunning; }
    // Delivers blocks of `level` every 20 ms until `untilMs` (inclusive).
    void BlocksUntil(uint64_t untilMs, int16_t level) {
        while (h.Elapsed() + 20 <= untilMs) {
            h.BlockAt(h.Elapsed() + 20, Frame{level, 0});
        }
    }

    TMeterSettings settings_;
    AppHarness h;
};

TEST_F(AutoStartStop, StartsOneHundredMsAfterTheFirstBlockAtTheLevel) {
    ASSERT_EQ(DbToAmplitude(-40), kA);
    Create();
    BlocksUntil(200, 100);
    EXPECT_FALSE(Running());
    EXPECT_FALSE(h.app.autoStartTimer().Armed());

    h.BlockAt(220, Frame{kA, 0});  // exactly at A arms the start
    EXPECT_TRUE(h.app.autoStartTimer().Armed());
    // Later blocks below A do not disarm it.
    h.BlockAt(240, Frame{0, 0});
    h.BlockAt(260, Frame{kA - 1, 0});
    h.AdvanceTo(319);
    EXPECT_FALSE(Running());
    h.AdvanceTo(320);
    EXPECT_TRUE(Running());
    EXPECT_EQ(h.app.testRun().PeriodStartTick, h.clock.TickCount());
    EXPECT_FALSE(h.app.autoStartTimer().Armed());
    EXPECT_TRUE(h.app.view().StartStopButtonDown);
    EXPECT_EQ(h.app.view().StartStopPicture, 1);
    EXPECT_EQ(h.app.view().StartStopHint, kStartStopHintRunning);

    // The right channel counts in Stereo too.
    AppHarness other;
    other.Create(settings_);
    other.BlockAt(20, Frame{0, kA});
    other.AdvanceTo(120);
    EXPECT_TRUE(other.app.testRun().TestRunning);
}

TEST_F(AutoStartStop, RearmingWhileArmedKeepsTheCountdown) {
    Create();
    h.BlockAt(20, Frame{1000, 0});
    h.BlockAt(40, Frame{1000, 0});
    h.BlockAt(60, Frame{1000, 0});
    h.BlockAt(100, Frame{1000, 0});
    h.AdvanceTo(119);
    EXPECT_FALSE(Running());
    h.AdvanceTo(120);
    EXPECT_TRUE(Running());
}

TEST_F(AutoStartStop, StopsAfter500MsBelowTheLevel) {
    Create();
    h.app.StartStopButtonClick();
    BlocksUntil(1000, 2000);
    EXPECT_TRUE(Running());

    h.BlockAt(1020, Frame{100, 0});  // first block below A arms the stop
    EXPECT_TRUE(h.app.autoStopTimer().Armed());
    BlocksUntil(1500, 100);
    h.AdvanceTo(1519);
    EXPECT_TRUE(Running());
    h.AdvanceTo(1520);
    EXPECT_FALSE(Running());
    EXPECT_FALSE(h.app.autoStopTimer().Armed());
    EXPECT_FALSE(h.app.view().StartStopButtonDown);
    EXPECT_EQ(h.app.view().StartStopPicture, 0);
    EXPECT_EQ(h.app.view().StartStopHint, kStartStopHintStopped);
}

TEST_F(AutoStartStop, BlockAboveTheLevelRestartsTheWait) {
    Create();
    h.app.StartStopButtonClick();
    h.BlockAt(20, Frame{100, 0});      // arms: due at 520
    BlocksUntil(300, 100);             //
    h.BlockAt(320, Frame{kA + 1, 0});  // above A: disarms
    EXPECT_FALSE(h.app.autoStopTimer().Armed());
    h.BlockAt(340, Frame{100, 0});  // arms again: due at 840
    BlocksUntil(820, 100);
    EXPECT_TRUE(Running());
    h.AdvanceTo(840);
    EXPECT_FALSE(Running());
}

TEST_F(AutoStartStop, BlockExactlyAtTheLevelNeitherArmsNorDisarms) {
    Create();
    h.app.StartStopButtonClick();
    // At A only: nothing arms the stop, the test runs on.
    BlocksUntil(2000, kA);
    EXPECT_FALSE(h.app.autoStopTimer().Armed());
    EXPECT_TRUE(Running());

    // Below A once, then at A: the countdown from the block below runs out.
    h.BlockAt(2020, Frame{kA - 1, 0});
    BlocksUntil(2500, kA);
    EXPECT_TRUE(h.app.autoStopTimer().Armed());
    h.AdvanceTo(2520);
    EXPECT_FALSE(Running());
}

TEST_F(AutoStartStop, NothingHappensWithAutoStartOff) {
    settings_.AutoStart = false;
    Create();
    BlocksUntil(1000, 20000);
    EXPECT_FALSE(Running());
    h.app.StartStopButtonClick();
    BlocksUntil(3000, 0);
    EXPECT_TRUE(Running());

    // The Auto-Start box turns it on.
    h.app.CheckBox1Click(true);
    EXPECT_TRUE(h.app.settings().AutoStart);
    EXPECT_TRUE(h.app.view().CheckBox1Checked);
    BlocksUntil(3600, 0);
    EXPECT_FALSE(Running());
}

TEST_F(AutoStartStop, AutoLevelSilenceStartsAtOnceAndStopsOnlyOnZeroLevel) {
    settings_.AutoLevel = kAutoLevelSilence;
    Create();
    h.BlockAt(20, Frame{0, 0});  // level 0 >= A = 0
    h.AdvanceTo(120);
    EXPECT_TRUE(Running());

    // Quiet but not silent: every block disarms the stop again.
    BlocksUntil(2000, 1);
    EXPECT_TRUE(Running());
    EXPECT_FALSE(h.app.autoStopTimer().Armed());

    h.BlockAt(2020, Frame{0, 0});
    BlocksUntil(2500, 0);
    h.AdvanceTo(2519);
    EXPECT_TRUE(Running());
    h.AdvanceTo(2520);
    EXPECT_FALSE(Running());

    // Stopped, the next block restarts it 100 ms later.
    h.BlockAt(2540, Frame{0, 0});
    h.AdvanceTo(2640);
    EXPECT_TRUE(Running());
}

TEST_F(AutoStartStop, AutomaticStopSavesWithSaveOnStop) {
    settings_.SaveOnStop = true;
    Create();
    h.SaveAs("/results/auto.txt");
    h.BlockAt(20, Frame{1000, 0});
    h.AdvanceTo(120);
    ASSERT_TRUE(Running());
    BlocksUntil(1000, 1000);
    BlocksUntil(1600, 0);
    EXPECT_FALSE(Running());
    const std::vector<std::string> lines = h.files.Lines("/results/auto.txt");
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[6].rfind("Time 14:30:01  Duration 00:00:01  ", 0), 0u) << lines[6];
}

// The timer rules of the ports, on the simulated wheel.
TEST(SimulatedTimers, FollowTheTimerRules) {
    SimulatedClock clock(0, LocalDateTime{});
    SimulatedTimers timers(clock);
    std::vector<uint64_t> fired;
    std::unique_ptr<ITimer> timer =
        timers.CreateTimer(100, [&] { fired.push_back(clock.ElapsedMs()); });
    EXPECT_FALSE(timer->Armed());
    timers.AdvanceTo(1000);
    EXPECT_TRUE(fired.empty());

    // Arming an armed timer keeps its countdown.
    timer->Arm();
    timers.AdvanceTo(1050);
    timer->Arm();
    timers.AdvanceTo(1100);
    EXPECT_EQ(fired, (std::vector<uint64_t>{1100}));
    // It fires every interval while armed.
    timers.AdvanceTo(1350);
    EXPECT_EQ(fired, (std::vector<uint64_t>{1100, 1200, 1300}));

    // Disarming stops it; arming again starts a full interval.
    timer->Disarm();
    timers.AdvanceTo(2000);
    EXPECT_EQ(fired.size(), 3u);
    timer->Arm();
    timers.AdvanceTo(2099);
    EXPECT_EQ(fired.size(), 3u);
    timers.AdvanceTo(2100);
    EXPECT_EQ(fired.back(), 2100u);
    timer->Disarm();

    // An interval change while disarmed is only stored.
    timer->SetInterval(500);
    EXPECT_EQ(timer->Interval(), 500u);
    EXPECT_FALSE(timer->Armed());
    timers.AdvanceTo(5000);
    EXPECT_EQ(fired.size(), 4u);
    timer->Arm();
    timers.AdvanceTo(5500);
    EXPECT_EQ(fired.back(), 5500u);

    // A different interval on an armed timer restarts the countdown from now.
    timers.AdvanceTo(5700);
    timer->SetInterval(200);
    timers.AdvanceTo(5899);
    EXPECT_EQ(fired.back(), 5500u);
    timers.AdvanceTo(5900);
    EXPECT_EQ(fired.back(), 5900u);
    // The same interval again changes nothing.
    timers.AdvanceTo(6000);
    timer->SetInterval(200);
    timers.AdvanceTo(6100);
    EXPECT_EQ(fired.back(), 6100u);

    // An interval of 0 never fires, armed or not.
    timer->SetInterval(0);
    const size_t count = fired.size();
    timers.AdvanceTo(20000);
    EXPECT_EQ(fired.size(), count);
    timer->Disarm();
    timer->Arm();
    timers.AdvanceTo(30000);
    EXPECT_EQ(fired.size(), count);
    EXPECT_EQ(clock.ElapsedMs(), 30000u);
}

TEST(SimulatedTimers, HandlersSeeTheirOwnMomentInOrder) {
    SimulatedClock clock(0xFFFFFF00u, LocalDateTime{});
    SimulatedTimers timers(clock);
    std::vector<std::pair<char, uint32_t>> fired;
    auto a = timers.CreateTimer(300, [&] { fired.push_back({'a', clock.TickCount()}); });
    auto b = timers.CreateTimer(200, [&] { fired.push_back({'b', clock.TickCount()}); });
    a->Arm();
    b->Arm();
    timers.AdvanceTo(600);
    // Ties go to the timer created first; ticks wrap past 2^32.
    const std::vector<std::pair<char, uint32_t>> expected = {{'b', 0xFFFFFFC8u},
                                                             {'a', 0x0000002Cu},
                                                             {'b', 0x00000090u},
                                                             {'a', 0x00000158u},
                                                             {'b', 0x00000158u}};
    EXPECT_EQ(fired, expected);

    // A handler that disarms its own timer is not fired again.
    std::unique_ptr<ITimer> once;
    int onceCount = 0;
    once = timers.CreateTimer(50, [&] {
        ++onceCount;
        once->Disarm();
    });
    once->Arm();
    timers.AdvanceTo(2000);
    EXPECT_EQ(onceCount, 1);
}

}  // namespace
}  // namespace tarnwick
