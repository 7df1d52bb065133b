// The per-block level log (--levels): its rows, its block clock, and the
// analyser's arithmetic seen through it.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "analyse/analyse_test_support.h"

namespace tarnwick::analyse_test {
namespace {

const std::vector<std::string> kCommon = {"--locale", "C", "--start", "2026-12-08T14:30:00"};

std::vector<std::vector<std::string>> LevelLog(const ScratchFolder& folder,
                                               const std::string& recording,
                                               std::vector<std::string> options = {}) {
    const std::string levels = folder.Path("levels.csv");
    options.insert(options.end(), kCommon.begin(), kCommon.end());
    options.insert(options.end(), {"--levels", levels, recording});
    const AnalyserRun run = Analyse(options);
    EXPECT_EQ(run.status, 0) << run.err;
    return LevelRows(levels);
}

// The columns from left_peak to lamp of a row, as numbers.
std::vector<long long> Measured(const std::vector<std::string>& row) {
    std::vector<long long> values;
    for (int c = kLeftPeak; c < kLevelColumns; ++c) {
        if (c != kShortAverage1 && c != kShortAverage2) {
            values.push_back(std::stoll(row.at(static_cast<size_t>(c))));
        }
    }
    return values;
}

TEST(AnalyserLevelLog, HeaderThenOneRowPerWholeBlock) {
    ScratchFolder folder;
    const std::string path = folder.Path("tone.wav");
    const std::string levels = folder.Path("levels.csv");
    WriteRecording(path, Signal().Square(kRate + 100, 10000, 10000));

    // An average time of 0.28 s is 14 blocks of 20 ms.
    const AnalyserRun run = Analyse(
        {"--levels", levels, "--average-time", "0.28", "--start", "2026-12-08T14:30:00", path});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> lines = Split(ReadFile(levels), "\n");
    ASSERT_EQ(lines.size(), 51u);
    EXPECT_EQ(lines[0],
              "block,tick,test_running,left_peak,right_peak,sum_peak,difference_peak,"
              "left_over_candidate,right_over_candidate,level,short_average1,short_average2,"
              "run_time_average,over_target_ms,under_target_ms,system_max,lamp");
    // Block 1: every peak of 10000 reads 9961; the first short-term average is one
    // entry of 9961 in a ring of 14 zeros (9961 / 14); the run-time average counts
    // its first block half: Trunc(9961 / sqrt 2).
    EXPECT_EQ(lines[1],
              "1,20,1,9961,9961,9961,0,9961,9961,9961,711.500000,711.500000,7043,0,0,10000,89");
    EXPECT_EQ(lines[50].substr(0, 8), "50,1000,");
}

TEST(AnalyserLevelLog, DefaultShortTermAverageSpansFourteenBlocks) {
    ScratchFolder folder;
    const std::string path = folder.Path("tone.wav");
    WriteRecording(path, Signal().Square(20 * kBlockFrames, 10000, 10000));

    // 0.3 s of 20 ms blocks comes out just short of 15 and is truncated to 14.
    const auto rows = LevelLog(folder, path);
    ASSERT_EQ(rows.size(), 20u);
    EXPECT_EQ(rows[0][kShortAverage1], "711.500000");
    EXPECT_EQ(rows[12][kShortAverage1], "9249.500000");
    EXPECT_EQ(rows[13][kShortAverage1], "9961.000000");
}

TEST(AnalyserLevelLog, TickColumnFollowsTheBlockClockAndWrapsAtTwoToThe32) {
    ScratchFolder folder;
    const std::string path = folder.Path("silence.wav");
    WriteRecording(path, Signal().Silence(kRate));

    struct Case {
        const char* sweep;
        uint64_t frames;  // per block
        uint64_t tickStart;
    };
    for (const Case c :
         {Case{"10", 882, 4294967290u}, Case{"1", 88, 4294967000u}, Case{"3", 264, 4294967295u}}) {
        const auto rows = LevelLog(
            folder, path, {"--sweep", c.sweep, "--tick-start", std::to_string(c.tickStart)});
        ASSERT_EQ(rows.size(), kRate / c.frames) << "sweep " << c.sweep;
        for (uint64_t i = 1; i <= rows.size(); ++i) {
            const uint64_t expected = (c.tickStart + i * c.frames * 1000 / kRate) % (1ull << 32);
            ASSERT_EQ(rows[i - 1][kBlock], std::to_string(i));
            ASSERT_EQ(rows[i - 1][kTick], std::to_string(expected))
                << "sweep " << c.sweep << ", block " << i;
        }
    }
}

TEST(AnalyserLevelLog, AnalyserArithmeticOnExactSamples) {
    ScratchFolder folder;
    const std::string path = folder.Path("samples.wav");
    WriteRecording(path, Signal()
                             .Constant(kBlockFrames, -32768, -32768)  // block 1
                             .Constant(kBlockFrames, 3, -4)           // block 2
                             .Constant(kBlockFrames, 32767, 0)        // block 3
                             .Constant(kBlockFrames / 2, 30000, 0)    // block 4: two maxima
                             .Constant(kBlockFrames - kBlockFrames / 2, 32767, 0));

    // Columns left, right, sum, difference, both over candidates, level, then
    // run-time average, over ms, under ms, system max, lamp.
    const auto plain = LevelLog(folder, path, {"--no-integrate"});
    ASSERT_EQ(plain.size(), 4u);
    // -32768 has magnitude 32768, and so has (L + R) div 2 of two of them.
    EXPECT_EQ(plain[0][kLeftPeak], "32768");
    EXPECT_EQ(plain[0][kRightPeak], "32768");
    EXPECT_EQ(plain[0][kSumPeak], "32768");
    EXPECT_EQ(plain[0][kDifferencePeak], "0");
    EXPECT_EQ(plain[0][kSystemMax], "32768");
    // (3 + -4) div 2 truncates to 0, not -1; (3 - -4) div 2 is 3.
    EXPECT_EQ(plain[1][kSumPeak], "0");
    EXPECT_EQ(plain[1][kDifferencePeak], "3");
    EXPECT_EQ(plain[1][kLevel], "4");
    // Full scale from the first frame never rises twice: no over.
    EXPECT_EQ(plain[2][kLeftOverCandidate], "0");
    EXPECT_EQ(plain[2][kSumPeak], "16383");
    EXPECT_EQ(plain[2][kLamp], "89");
    // 30000 then 32767: the second rise starts above -1 dBFS and lights the lamp.
    EXPECT_EQ(plain[3][kLeftOverCandidate], "30000");
    EXPECT_EQ(plain[3][kRightOverCandidate], "0");
    EXPECT_EQ(plain[3][kLamp], "255");

    const auto integrated = LevelLog(folder, path);
    ASSERT_EQ(integrated.size(), 4u);
    EXPECT_EQ(integrated[0][kLeftPeak], "32729");
    EXPECT_EQ(integrated[0][kSumPeak], "32729");
    EXPECT_EQ(integrated[0][kLeftOverCandidate], "32729");
    EXPECT_EQ(integrated[0][kLamp], "255");
    // Integration cannot close a gap below 40: magnitudes of 3 and 4 read 0.
    EXPECT_EQ(integrated[1][kLeftPeak], "0");
    EXPECT_EQ(integrated[1][kRightPeak], "0");
    EXPECT_EQ(integrated[1][kDifferencePeak], "0");
    EXPECT_EQ(integrated[1][kLamp], "255");  // still lit from block 1
}

TEST(AnalyserLevelLog, OverLampLightsForTheOverBlockAndNineMore) {
    ScratchFolder folder;
    const std::string path = folder.Path("bursts.wav");
    // Integrated, a full-scale burst lifts the over candidate past 29205 only from
    // its 89th frame on (the peak before frame 89 is 29220, before frame 88 29130).
    WriteRecording(path, Signal()
                             .Silence(4 * kBlockFrames)
                             .Constant(89, 32767, 32767)  // block 5
                             .Silence(15 * kBlockFrames - 89)
                             .Constant(88, 32767, 32767)  // block 20
                             .Silence(11 * kBlockFrames - 88));

    const auto rows = LevelLog(folder, path);
    ASSERT_EQ(rows.size(), 30u);
    EXPECT_EQ(rows[4][kLeftOverCandidate], "29220");
    EXPECT_EQ(rows[4][kRightOverCandidate], "29220");
    EXPECT_EQ(rows[19][kLeftOverCandidate], "29130");
    for (size_t i = 0; i < rows.size(); ++i) {
        const bool lit = i >= 4 && i <= 13;
        EXPECT_EQ(rows[i][kLamp], lit ? "255" : "89") << "block " << i + 1;
    }
}

TEST(AnalyserLevelLog, TheTickCounterAtTheFirstFrameDoesNotChangeTheMeasurement) {
    ScratchFolder folder;
    const std::string path = folder.Path("loud-quiet.wav");
    // One second above target 1, then one second under target 2 and above the
    // threshold: both target times count.
    WriteRecording(path, Signal().Square(kRate, 20000, 20000).Square(kRate, 2000, 2000));

    const auto reference = LevelLog(folder, path);
    ASSERT_EQ(reference.size(), 100u);
    EXPECT_EQ(reference[49][kOverTargetMs], "1000");
    EXPECT_EQ(reference[99][kUnderTargetMs], "1000");
    for (const char* tickStart : {"5000", "4294967000"}) {
        const auto rows = LevelLog(folder, path, {"--tick-start", tickStart});
        ASSERT_EQ(rows.size(), reference.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            ASSERT_EQ(Measured(rows[i]), Measured(reference[i]))
                << "--tick-start " << tickStart << ", block " << i + 1;
        }
    }
}

// In a German session the program's own locale writes decimal commas; the
// level log keeps its points, also when the picture is drawn, and the toolkit
// says nothing about the missing session folder.
TEST(AnalyserLevelLog, NumbersKeepTheirPointInAnyLocaleAndNothingElseIsSaid) {
    ScratchFolder folder;
    const std::string locales = folder.Path("locales");
    std::filesystem::create_directory(locales);
    const std::string make = "localedef -i de_DE -f UTF-8 " + locales + "/de_DE.UTF-8 2>/dev/null";
    if (std::system(make.c_str()) != 0) {
        GTEST_SKIP() << "no German locale can be made here";
    }
    const std::string path = folder.Path("tone.wav");
    const std::string levels = folder.Path("levels.csv");
    WriteRecording(path, Signal().Square(10 * kBlockFrames, 10000, 10000));
    const AnalyserRun run =
        RunProgram({"--snapshot", folder.Path("end.png"), "--levels", levels, path}, folder,
                   RLIM_INFINITY, {"LOCPATH=" + locales, "LC_ALL=de_DE.UTF-8", "XDG_RUNTIME_DIR"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto rows = LevelRows(levels);
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0].size(), static_cast<size_t>(kLevelColumns));
    EXPECT_EQ(rows[0][kShortAverage1], "711.500000");
}

TEST(AnalyserLevelLog, AFullDiskEndsTheLogAfterAWholeRow) {
    ScratchFolder folder;
    const std::string path = folder.Path("tone.wav");
    const std::string levels = folder.Path("levels.csv");
    WriteRecording(path, Signal().Square(kRate * 60, 10000, 10000));
    // Room for the header and about a hundred rows of the three thousand.
    const AnalyserRun run = RunProgram({"--levels", levels, path}, folder, 8000);
    EXPECT_EQ(run.status, kAnalyseFailed);
    EXPECT_NE(run.err.find("writing the level log failed"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    const std::string written = ReadFile(levels);
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written.back(), '\n');
    for (const std::vector<std::string>& row : LevelRows(levels)) {
        EXPECT_EQ(row.size(), static_cast<size_t>(kLevelColumns));
    }
}

}  // namespace
}  // namespace tarnwick::analyse_test
