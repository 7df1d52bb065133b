#include "results/save_schedule.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "results/test_run.h"
#include "tests/core/fakes.h"

namespace tarnwick {
namespace {

using fakes::AppHarness;
using fakes::At;
using fakes::Frame;

constexpr int64_t kMinute = 60 * 1000;
constexpr int64_t kHour = 60 * kMinute;

TEST(SaveSchedule, NextWholeHour) {
    EXPECT_EQ(NextWholeHour(At(2026, 12, 8, 10, 20)), At(2026, 12, 8, 11, 0));
    EXPECT_EQ(NextWholeHour(At(2026, 12, 8, 10, 0)), At(2026, 12, 8, 11, 0));
    EXPECT_EQ(NextWholeHour(At(2026, 12, 8, 10, 59, 59, 999)), At(2026, 12, 8, 11, 0));
    EXPECT_EQ(NextWholeHour(At(2026, 12, 8, 23, 40)), At(2026, 12, 9, 0, 0));
    EXPECT_EQ(NextWholeHour(At(2026, 12, 31, 23, 0)), At(2027, 1, 1, 0, 0));
    EXPECT_EQ(NextWholeHour(At(2028, 2, 28, 23, 5)), At(2028, 2, 29, 0, 0));
}

TEST(SaveSchedule, MinutesFromNowAndHourSteps) {
    const LocalDateTime now = At(2026, 12, 8, 14, 30, 12, 345);
    EXPECT_EQ(MinutesFromNow(now, 15), AddMs(now, 15 * kMinute));
    EXPECT_EQ(MinutesFromNow(now, 90), AddMs(now, 90 * kMinute));
    EXPECT_EQ(MinutesFromNow(now, 1439), AddMs(now, 1439 * kMinute));
    EXPECT_EQ(MinutesFromNow(now, 1440), AddMs(now, 24 * kHour));
    EXPECT_EQ(MinutesFromNow(now, 5000), AddMs(now, 24 * kHour));
    EXPECT_EQ(HourSaveStepMs(1), kHour);
    EXPECT_EQ(HourSaveStepMs(3), 3 * kHour);
    EXPECT_EQ(HourSaveStepMs(23), 23 * kHour);
    EXPECT_EQ(HourSaveStepMs(24), 24 * kHour);
    EXPECT_EQ(HourSaveStepMs(30), 24 * kHour);

    TTestRun run;
    ScheduleSaves(run, now, 15);
    EXPECT_EQ(run.NextHourSaveTime, At(2026, 12, 8, 15, 0));
    EXPECT_EQ(run.NextMinuteSaveTime, AddMs(now, 15 * kMinute));
}

// A test with a results file attached, on the simulated clock.
class ScheduledSaves : public ::testing::Test {
protected:
    void Create(LocalDateTime start, bool hours, int32_t saveHours, bool minutes,
                int32_t saveMins) {
        h_ = std::make_unique<AppHarness>(start);
        TMeterSettings s = fakes::PlainLevelSettings();
        s.SaveOnHours = hours;
        s.SaveHours = saveHours;
        s.SaveOnMinutes = minutes;
        s.SaveMins = saveMins;
        s.SaveOnStop = false;
        h_->Create(s);
        h_->SaveAs(kPath);
        ASSERT_TRUE(h_->app.settings().FileOpen);
    }

    // Delivers one block at `elapsedMs` since the start.
    void Block(int64_t elapsedMs) {
        h_->BlockAt(static_cast<uint64_t>(elapsedMs), Frame{1000, 1000});
    }

    // The records written so far (the lines after the six-line header).
    std::vector<std::string> Records() const {
        std::vector<std::string> lines = h_->files.Lines(kPath);
        EXPECT_GE(lines.size(), 6u);
        return lines.size() > 6 ? std::vector<std::string>(lines.begin() + 6, lines.end())
                                : std::vector<std::string>();
    }

    static std::string TimeOf(const std::string& record) { return record.substr(5, 8); }
    static std::string DurationOf(const std::string& record) { return record.substr(24, 8); }

    AppHarness& h() { return *h_; }

    static constexpr const char* kPath = "/results/schedule.txt";
    std::unique_ptr<AppHarness> h_;
};

TEST_F(ScheduledSaves, HourlySavesKeepTheirPhase) {
    Create(At(2026, 12, 8, 10, 20), true, 3, false, 15);
    h().app.StartStopButtonClick();
    EXPECT_EQ(h().app.testRun().NextHourSaveTime, At(2026, 12, 8, 11, 0));

    // Due strictly after 11:00:00.000.
    Block(40 * kMinute);
    EXPECT_TRUE(Records().empty());
    Block(40 * kMinute + 20);
    ASSERT_EQ(Records().size(), 1u);
    EXPECT_EQ(TimeOf(Records()[0]), "11:00:00");
    EXPECT_EQ(DurationOf(Records()[0]), "00:40:00");

    // Then one block a minute: the first block after 14:00 and after 17:00.
    for (int64_t t = 41 * kMinute; t <= 6 * kHour + 50 * kMinute; t += kMinute) {
        Block(t);
    }
    const std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(TimeOf(records[1]), "14:01:00");
    EXPECT_EQ(TimeOf(records[2]), "17:01:00");
    EXPECT_EQ(DurationOf(records[2]), "03:00:00");
    EXPECT_EQ(h().app.testRun().NextHourSaveTime, At(2026, 12, 8, 20, 0));
}

TEST_F(ScheduledSaves, MinutesSaveOfADay) {
    Create(At(2026, 12, 8, 14, 30), false, 1, true, 1440);
    h().app.StartStopButtonClick();
    EXPECT_EQ(h().app.testRun().NextMinuteSaveTime, At(2026, 12, 9, 14, 30));
    Block(24 * kHour);
    EXPECT_TRUE(Records().empty());
    Block(24 * kHour + 20);
    ASSERT_EQ(Records().size(), 1u);
    EXPECT_EQ(DurationOf(Records()[0]), "24:00:00");
    // Re-based on the moment of the save.
    EXPECT_EQ(h().app.testRun().NextMinuteSaveTime, At(2026, 12, 10, 14, 30, 0, 20));
}

TEST_F(ScheduledSaves, MinutesSavesAreMeasuredFromEachSave) {
    Create(At(2026, 12, 8, 14, 30), false, 1, true, 15);
    h().app.StartStopButtonClick();
    Block(15 * kMinute);
    EXPECT_TRUE(Records().empty());
    Block(15 * kMinute + 150);
    ASSERT_EQ(Records().size(), 1u);
    EXPECT_EQ(h().app.testRun().NextMinuteSaveTime, At(2026, 12, 8, 15, 0, 0, 150));
    // Not on a fixed grid: nothing at 15:00:00.100, nor at the due moment itself.
    Block(30 * kMinute + 100);
    Block(30 * kMinute + 150);
    EXPECT_EQ(Records().size(), 1u);
    Block(30 * kMinute + 200);
    ASSERT_EQ(Records().size(), 2u);
    EXPECT_EQ(TimeOf(Records()[1]), "15:00:00");
    EXPECT_EQ(DurationOf(Records()[1]), "00:15:00");
}

TEST_F(ScheduledSaves, BothDueOnTheSameBlock) {
    Create(At(2026, 12, 8, 14, 30), true, 1, true, 30);
    h().app.StartStopButtonClick();
    Block(30 * kMinute + 20);
    const std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 2u);
    // The hourly save first, then the minutes save over a period of 0 ms.
    EXPECT_EQ(DurationOf(records[0]), "00:30:00");
    EXPECT_EQ(records[1], "Time 15:00:00  Duration 00:00:00  Average" +
                              h().app.view().LongAvgDisplay +
                              "dB  Over 00:00:00 =0.0%  Under 00:00:00 =0.0%  Max Peak -101.0dB");
    EXPECT_EQ(h().app.testRun().NextHourSaveTime, At(2026, 12, 8, 16, 0));
    EXPECT_EQ(h().app.testRun().NextMinuteSaveTime, At(2026, 12, 8, 15, 30, 0, 20));
}

TEST_F(ScheduledSaves, ClockJumpMakesOneHourlySavePerBlock) {
    Create(At(2026, 12, 8, 10, 20), true, 1, true, 15);
    h().app.StartStopButtonClick();
    Block(5 * kMinute);
    EXPECT_TRUE(Records().empty());

    // The wall clock is set three hours forward: it reads 13:25:00.020 next.
    h().clock.JumpWallClock(3 * kHour);
    Block(5 * kMinute + 20);
    ASSERT_EQ(Records().size(), 2u);  // the 11:00 save and the minutes save
    EXPECT_EQ(TimeOf(Records()[0]), "13:25:00");
    EXPECT_EQ(h().app.testRun().NextHourSaveTime, At(2026, 12, 8, 12, 0));
    EXPECT_EQ(h().app.testRun().NextMinuteSaveTime, At(2026, 12, 8, 13, 40, 0, 20));

    Block(5 * kMinute + 40);
    EXPECT_EQ(Records().size(), 3u);  // 12:00
    Block(5 * kMinute + 60);
    EXPECT_EQ(Records().size(), 4u);  // 13:00
    EXPECT_EQ(h().app.testRun().NextHourSaveTime, At(2026, 12, 8, 14, 0));
    Block(5 * kMinute + 80);
    Block(5 * kMinute + 100);
    EXPECT_EQ(Records().size(), 4u);
    // The periods are measured on the tick, which did not jump.
    EXPECT_EQ(DurationOf(Records()[0]), "00:05:00");
    EXPECT_EQ(DurationOf(Records()[3]), "00:00:00");
}

TEST_F(ScheduledSaves, ClockSetBackPastTheLastSaveSchedulesFromTheNewTime) {
    // The night daylight saving time ends: 03:00 becomes 02:00 again.
    Create(At(2026, 10, 25, 2, 50), true, 1, true, 10);
    h().app.StartStopButtonClick();
    Block(10 * kMinute + 20);
    ASSERT_EQ(Records().size(), 2u);  // the 03:00 hourly save and the minutes save

    h().clock.JumpWallClock(-kHour);
    Block(10 * kMinute + 40);
    EXPECT_EQ(h().app.testRun().NextMinuteSaveTime, At(2026, 10, 25, 2, 10, 0, 40));
    EXPECT_EQ(h().app.testRun().NextHourSaveTime, At(2026, 10, 25, 3, 0));
    Block(20 * kMinute + 60);
    ASSERT_EQ(Records().size(), 3u);
    EXPECT_EQ(TimeOf(Records()[2]), "02:10:00");
    EXPECT_EQ(DurationOf(Records()[2]), "00:10:00");
}

TEST_F(ScheduledSaves, NoSaveWhileNoTestRuns) {
    Create(At(2026, 12, 8, 14, 30), true, 1, true, 15);
    h().app.StartStopButtonClick();
    Block(5 * kMinute);
    h().app.StartStopButtonClick();  // stop, SaveOnStop off
    EXPECT_FALSE(h().app.testRun().TestRunning);
    for (int64_t t = 6 * kMinute; t <= 70 * kMinute; t += kMinute) {
        Block(t);
    }
    EXPECT_TRUE(Records().empty());

    // The next start schedules afresh: the missed saves are dropped.
    h().app.StartStopButtonClick();
    EXPECT_EQ(h().app.testRun().NextMinuteSaveTime, At(2026, 12, 8, 15, 55));
    EXPECT_EQ(h().app.testRun().NextHourSaveTime, At(2026, 12, 8, 16, 0));
    Block(70 * kMinute + 20);
    EXPECT_TRUE(Records().empty());
}

TEST_F(ScheduledSaves, AcrossMidnight) {
    Create(At(2026, 12, 8, 23, 40), true, 1, false, 15);
    h().app.StartStopButtonClick();
    EXPECT_EQ(h().app.testRun().NextHourSaveTime, At(2026, 12, 9, 0, 0));
    Block(20);
    // A save time at midnight is shown without its time.
    EXPECT_EQ(h().app.view().Label3, "09/12/2026    23:40:00");
    Block(20 * kMinute);
    EXPECT_TRUE(Records().empty());
    Block(20 * kMinute + 20);
    ASSERT_EQ(Records().size(), 1u);
    EXPECT_EQ(TimeOf(Records()[0]), "00:00:00");
    EXPECT_EQ(DurationOf(Records()[0]), "00:20:00");
    EXPECT_EQ(h().app.testRun().NextHourSaveTime, At(2026, 12, 9, 1, 0));
    // The label is set before the saves of a block, so the next block shows the new time.
    EXPECT_EQ(h().app.view().Label3, "09/12/2026    00:00:00");
    Block(21 * kMinute);
    EXPECT_EQ(h().app.view().Label3, "09/12/2026 01:00:00    00:01:00");
}

TEST_F(ScheduledSaves, NextSaveLabel) {
    Create(At(2026, 12, 8, 14, 30), true, 1, true, 15);
    EXPECT_EQ(h().app.view().Label3, kNotScheduled);
    Block(20);  // no test: the label is left alone
    EXPECT_EQ(h().app.view().Label3, kNotScheduled);

    h().app.StartStopButtonClick();
    Block(1020);
    // The earlier of the two: the minutes save at 14:45.
    EXPECT_EQ(h().app.view().Label3, "08/12/2026 14:45:00    14:30:01");

    h().app.settings().SaveOnMinutes = false;
    Block(2020);
    EXPECT_EQ(h().app.view().Label3, "08/12/2026 15:00:00    14:30:02");

    h().app.settings().SaveOnHours = false;
    Block(3020);
    EXPECT_EQ(h().app.view().Label3, kNotScheduled);

    // The hourly save when it is the earlier one.
    h().app.settings().SaveOnHours = true;
    h().app.settings().SaveOnMinutes = true;
    h().app.settings().SaveMins = 45;
    h().app.StartStopButtonClick();
    h().app.StartStopButtonClick();
    Block(4020);
    EXPECT_EQ(h().app.view().Label3, "08/12/2026 15:00:00    14:30:04");

    // Closing the file leaves the label as it was.
    h().app.CloseFile1Click();
    Block(5020);
    EXPECT_EQ(h().app.view().Label3, "08/12/2026 15:00:00    14:30:04");
}

}  // namespace
}  // namespace tarnwick
