// The save schedule and the automatic start and stop, end to end on the
// simulated clock of a recording.

#include <gtest/gtest.h>

#include "analyse/analyse_test_support.h"

namespace tarnwick::analyse_test {
namespace {

// A steady 10000 (reads 9961) lies between the targets; every record then reads
// the same apart from its time and duration.
std::string ToneRecord(const std::string& time, const std::string& duration,
                       const std::string& average = "-10.3") {
    return "Time " + time + "  Duration " + duration + "  Average " + average +
           "dB  Over 00:00:00 =0.0%  Under 00:00:00 =0.0%  Max Peak -12.3dB";
}

struct ScheduledRun {
    AnalyserRun run;
    std::vector<std::string> records;  // the lines after the six header lines
    std::map<std::string, std::string> readouts;
};

ScheduledRun RunScheduled(const ScratchFolder& folder, const std::string& recording,
                          const std::string& start, std::vector<std::string> options) {
    const std::string results = folder.Path("results.txt");
    std::filesystem::remove(results);
    options.insert(options.end(), {"--readouts", "--locale", "en_GB", "--start", start, "--results",
                                   results, "--levels", folder.Path("levels.csv"), recording});
    ScheduledRun s;
    s.run = Analyse(options);
    EXPECT_EQ(s.run.status, 0) << s.run.err;
    const std::vector<std::string> lines = Split(ReadFile(results), "\r\n");
    EXPECT_GE(lines.size(), 6u);
    if (lines.size() > 6) {
        s.records.assign(lines.begin() + 6, lines.end());
    }
    s.readouts = Readouts(s.run.out);
    return s;
}

TEST(AnalyserSaveSchedule, MinuteSavesFallAtTheFirstBlockAfterEachInterval) {
    ScratchFolder folder;
    const std::string path = folder.Path("three-minutes.wav");
    WriteRecording(path, Mono().Square(180 * kRate, 10000, 0));

    // Due after 14:31:00 (block 3001, 14:31:00.020), then one minute after that
    // save (block 6002); the stop at the end closes a period of 59.96 s.
    const ScheduledRun s = RunScheduled(folder, path, "2026-12-08T14:30:00", {"--save-mins", "1"});
    EXPECT_EQ(s.records, (std::vector<std::string>{ToneRecord("14:31:00", "00:01:00"),
                                                   ToneRecord("14:32:00", "00:01:00"),
                                                   ToneRecord("14:33:00", "00:00:59")}));
    EXPECT_EQ(s.readouts.at("Label3"), "08/12/2026 14:33:00    14:33:00");

    // Each save begins a period: the block after it counts half in the run-time
    // average again, Trunc(9961 / sqrt 2).
    const auto rows = LevelRows(folder.Path("levels.csv"));
    ASSERT_EQ(rows.size(), 9000u);
    EXPECT_NE(rows[3000][kRunTimeAverage], "7043");
    EXPECT_EQ(rows[3001][kRunTimeAverage], "7043");
    EXPECT_EQ(rows[6002][kRunTimeAverage], "7043");

    const ScheduledRun once = RunScheduled(folder, path, "2026-12-08T14:30:00",
                                           {"--save-mins", "1", "--no-save-minutes"});
    EXPECT_EQ(once.records, (std::vector<std::string>{ToneRecord("14:33:00", "00:03:00")}));
    EXPECT_EQ(once.readouts.at("Label3"), "Not scheduled");
}

TEST(AnalyserSaveSchedule, HourSavesFallOnTheHourOfTheClock) {
    ScratchFolder folder;
    const std::string path = folder.Path("forty-seconds.wav");
    WriteRecording(path, Mono().Square(40 * kRate, 10000, 0));

    const ScheduledRun s = RunScheduled(folder, path, "2026-12-08T10:59:30", {"--save-hours", "1"});
    ASSERT_EQ(s.records.size(), 2u);
    EXPECT_EQ(s.records[0], ToneRecord("11:00:00", "00:00:30"));
    EXPECT_EQ(s.records[1].substr(0, 15), "Time 11:00:10  ");
    // The minutes save (15 minutes from the start) is earlier than the next hour.
    EXPECT_EQ(s.readouts.at("Label3"), "08/12/2026 11:14:30    11:00:10");
}

TEST(AnalyserSaveSchedule, HourSavesCrossMidnight) {
    ScratchFolder folder;
    const std::string twenty = folder.Path("twenty-seconds.wav");
    const std::string five = folder.Path("five-seconds.wav");
    WriteRecording(twenty, Mono().Square(20 * kRate, 10000, 0));
    WriteRecording(five, Mono().Square(5 * kRate, 10000, 0));
    const std::vector<std::string> hoursOnly = {"--save-hours", "1", "--no-save-minutes"};

    const ScheduledRun s = RunScheduled(folder, twenty, "2026-12-08T23:59:50", hoursOnly);
    ASSERT_EQ(s.records.size(), 2u);
    // The run-time average last shown at block 490: Trunc(9961 x sqrt(490 / 491))
    // = 9950, -10.35 dB.
    EXPECT_EQ(s.records[0], ToneRecord("00:00:00", "00:00:10", "-10.4"));

    // Before it falls due, the label shows the save at midnight by its date alone.
    const ScheduledRun before = RunScheduled(folder, five, "2026-12-08T23:59:50", hoursOnly);
    EXPECT_EQ(before.readouts.at("Label3"), "09/12/2026    23:59:55");
}

TEST(AnalyserSaveSchedule, BothSavesDueAtOneBlockWriteTheHourFirst) {
    ScratchFolder folder;
    const std::string path = folder.Path("loud-minute.wav");
    // 20000 reads 19961, above target 1: all of the first period is over target.
    WriteRecording(path, Mono().Square(61 * kRate, 20000, 0));

    // Both saves fall due after 11:00:00, at block 3001. The minutes save that
    // follows the hourly one closes a period of 0 ms, and a period spent outside
    // a test keeps a system maximum of 0 (-99 dB, -101 with the calibration).
    const ScheduledRun s = RunScheduled(folder, path, "2026-12-08T10:59:00",
                                        {"--save-hours", "1", "--save-mins", "1"});
    ASSERT_EQ(s.records.size(), 3u);
    EXPECT_EQ(s.records[0],
              "Time 11:00:00  Duration 00:01:00  Average -4.3dB  Over 00:01:00 =100.0%  Under "
              "00:00:00 =0.0%  Max Peak -6.3dB");
    EXPECT_EQ(s.records[1],
              "Time 11:00:00  Duration 00:00:00  Average -4.3dB  Over 00:00:00 =0.0%  Under "
              "00:00:00 =0.0%  Max Peak -101.0dB");
}

TEST(AnalyserSaveSchedule, AutoStartAndStopFollowTheLevel) {
    ScratchFolder folder;
    const std::string path = folder.Path("silence-loud-silence.wav");
    // Blocks 1-50 silent, 51-100 at 10000, 101-200 silent.
    WriteRecording(path, Signal().Silence(kRate).Square(kRate, 10000, 10000).Silence(2 * kRate));

    const ScheduledRun s = RunScheduled(folder, path, "2026-12-08T14:30:00", {"--auto-start"});
    // Block 51 (tick 1020) arms the start; it fires at 1120, before block 56.
    // Block 101 (tick 2020) arms the stop; it fires at 2520, before block 126.
    const auto rows = LevelRows(folder.Path("levels.csv"));
    ASSERT_EQ(rows.size(), 200u);
    for (size_t i = 0; i < rows.size(); ++i) {
        const bool running = i + 1 >= 56 && i + 1 <= 125;
        ASSERT_EQ(rows[i][kTestRunning], running ? "1" : "0") << "block " << i + 1;
    }
    // One record, from the stop at 14:30:02.520: a period of 1400 ms. Its average
    // counts the 45 loud blocks of the test, the first one half.
    EXPECT_EQ(s.records, (std::vector<std::string>{ToneRecord("14:30:02", "00:00:01", "-10.4")}));
    EXPECT_EQ(s.readouts.at("ElapTimeDisplay"), "0:00:01");
    EXPECT_EQ(s.readouts.at("Label11"), "System Max -10.3");
}

TEST(AnalyserSaveSchedule, AutoStartWaitsForTheLevel) {
    ScratchFolder folder;
    const std::string path = folder.Path("quiet.wav");
    WriteRecording(path, Signal().Square(kRate, 2000, 2000));

    // 1961 stays below -20 dBFS (3277): no test, no record, no time readouts.
    const ScheduledRun s =
        RunScheduled(folder, path, "2026-12-08T14:30:00", {"--auto-start", "--auto-level", "-20"});
    EXPECT_TRUE(s.records.empty());
    EXPECT_EQ(s.readouts.at("ElapTimeDisplay"), "");
    EXPECT_EQ(s.readouts.at("LongAvgDisplay"), "");
    EXPECT_EQ(s.readouts.at("Label11"), "System Max");
    for (const auto& row : LevelRows(folder.Path("levels.csv"))) {
        ASSERT_EQ(row[kTestRunning], "0");
    }
}

}  // namespace
}  // namespace tarnwick::analyse_test
