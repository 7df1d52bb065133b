// Results files written by the analyser, byte for byte: headers, records, the
// regional formats, and how Save As picks the type from the name.

#include <gtest/gtest.h>

#include <algorithm>

#include "analyse/analyse_test_support.h"

namespace tarnwick::analyse_test {
namespace {

// Runs the analyser with a results file attached; returns the file's bytes.
std::string ResultsOf(const std::string& recording, const std::string& results,
                      std::vector<std::string> options = {}) {
    if (std::find(options.begin(), options.end(), "--locale") == options.end()) {
        options.insert(options.end(), {"--locale", "en_GB"});
    }
    options.insert(options.end(),
                   {"--start", "2026-12-08T14:30:00", "--results", results, recording});
    const AnalyserRun run = Analyse(options);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    return ReadFile(results);
}

const std::string kTextHeaderResults = Joined(
    {
        "Test Name    Results ",
        "Start Date   08 December 2026",
        "Channel      Stereo (Max of L or R)",
        "Full Scale   0dB",
        "Target 1    -10dB",
        "Target 2    -20dB",
    },
    "\r\n");

const std::string kCsvColumns = "Time ,Duration ,Average,Over dB,Over % ,Under dB,Under %,Max dB";

// One second above target 1 (20000, reading 19961), then one second under
// target 2 and above the threshold (2000, reading 1961). With a 14-block average
// the run-time average last refreshes at block 98:
// Trunc(sqrt((50 x 19961^2 + 48 x 1961^2) / 99)) = 14251, -7.2 dB. The system
// maximum is 20000: -4.3 dB raw, -6.3 dB with the Calibration of -2.
Signal LoudThenQuiet() {
    return Signal().Square(kRate, 20000, 20000).Square(kRate, 2000, 2000);
}

TEST(AnalyserResultsFiles, BothFormatsByteForByte) {
    ScratchFolder folder;
    const std::string path = folder.Path("loud-quiet.wav");
    WriteRecording(path, LoudThenQuiet());
    const std::vector<std::string> options = {"--test-name", "Hall A", "--average-time", "0.28"};

    EXPECT_EQ(ResultsOf(path, folder.Path("hall.txt"), options),
              Joined(
                  {
                      "Test Name    Hall A",
                      "Start Date   08 December 2026",
                      "Channel      Stereo (Max of L or R)",
                      "Full Scale   0dB",
                      "Target 1    -10dB",
                      "Target 2    -20dB",
                      "Time 14:30:02  Duration 00:00:02  Average -7.2dB  Over 00:00:01 =50.0%  "
                      "Under 00:00:01 =50.0%  Max Peak -6.3dB",
                  },
                  "\r\n"));
    EXPECT_EQ(ResultsOf(path, folder.Path("hall.csv"), options),
              Joined(
                  {
                      "Test Name,\"Hall A\"",
                      "Start Date,\"08 December 2026\"",
                      "Channel,Stereo (Max of L or R)",
                      kCsvColumns,
                      "14:30:02,00:00:02, -7.2,00:00:01,50.0,00:00:01,50.0,-4.3",
                  },
                  "\r\n"));
}

TEST(AnalyserResultsFiles, TheTestEndsWithTheLastMeasuredBlock) {
    ScratchFolder folder;
    const std::string path = folder.Path("loud.wav");
    // Every one of the 50 blocks lies above target 1, so the whole second of the
    // recording is over target: the record must not count time after its end.
    WriteRecording(path, Signal().Square(kRate, 20000, 20000));

    const std::vector<std::string> lines =
        Split(ResultsOf(path, folder.Path("loud.csv"), {"--locale", "C"}), "\r\n");
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[4], "14:30:01,00:00:01, -4.4,00:00:01,100.0,00:00:00,0.0,-4.3");
}

TEST(AnalyserResultsFiles, FieldsWithTheSeparatorOrQuotesAreQuotedInCsvOnly) {
    ScratchFolder folder;
    const std::string path = folder.Path("tone.wav");
    // 10000 (reads 9961) stays between the targets: no over or under time.
    WriteRecording(path, Signal().Square(kRate, 10000, 10000));
    const std::string name = "Hall \"A\", east";

    EXPECT_EQ(ResultsOf(path, folder.Path("de.csv"), {"--locale", "de_DE", "--test-name", name}),
              Joined(
                  {
                      "Test Name,\"Hall \"\"A\"\", east\"",
                      "Start Date,\"08. Dezember 2026\"",
                      "Channel,Stereo (Max of L or R)",
                      kCsvColumns,
                      "14:30:01,00:00:01,\" -10,4\",00:00:00,\"0,0\",00:00:00,\"0,0\",\"-10,3\"",
                  },
                  "\r\n"));
    const std::vector<std::string> text = Split(
        ResultsOf(path, folder.Path("de.txt"), {"--locale", "de_DE", "--test-name", name}), "\r\n");
    ASSERT_EQ(text.size(), 7u);
    EXPECT_EQ(text[0], "Test Name    Hall \"A\", east");
    EXPECT_EQ(text[6],
              "Time 14:30:01  Duration 00:00:01  Average -10,4dB  Over 00:00:00 =0,0%  Under "
              "00:00:00 =0,0%  Max Peak -12,3dB");

    // With a decimal point nothing but the name needs quotes.
    const std::vector<std::string> csv = Split(
        ResultsOf(path, folder.Path("c.csv"), {"--locale", "C", "--test-name", name}), "\r\n");
    ASSERT_EQ(csv.size(), 5u);
    EXPECT_EQ(csv[4], "14:30:01,00:00:01, -10.4,00:00:00,0.0,00:00:00,0.0,-10.3");
}

TEST(AnalyserResultsFiles, AverageIsCopiedAsTheReadoutShowsIt) {
    ScratchFolder folder;
    const std::string silence = folder.Path("silence.wav");
    const std::string shortTone = folder.Path("short.wav");
    WriteRecording(silence, Signal().Silence(kRate));
    // Ten blocks: the test stops before the run-time average is first shown.
    WriteRecording(shortTone, Signal().Square(10 * kBlockFrames, 10000, 10000));

    // A period whose system maximum stayed 0 reads -99 dB, -101 with the calibration.
    EXPECT_EQ(Split(ResultsOf(silence, folder.Path("silence.txt")), "\r\n").at(6),
              "Time 14:30:01  Duration 00:00:01  Averagelow dB  Over 00:00:00 =0.0%  Under "
              "00:00:00 =0.0%  Max Peak -101.0dB");
    EXPECT_EQ(Split(ResultsOf(silence, folder.Path("silence.csv")), "\r\n").at(4),
              "14:30:01,00:00:01,low ,00:00:00,0.0,00:00:00,0.0,-99.0");
    EXPECT_EQ(Split(ResultsOf(shortTone, folder.Path("short.txt")), "\r\n").at(6),
              "Time 14:30:00  Duration 00:00:00  AveragedB  Over 00:00:00 =0.0%  Under 00:00:00 "
              "=0.0%  Max Peak -12.3dB");
    EXPECT_EQ(Split(ResultsOf(shortTone, folder.Path("short.csv")), "\r\n").at(4),
              "14:30:00,00:00:00,,00:00:00,0.0,00:00:00,0.0,-10.3");
}

TEST(AnalyserResultsFiles, UserFullScaleOffsetsTheHeaderAndTheTextMaximumOnly) {
    ScratchFolder folder;
    const std::string path = folder.Path("tone.wav");
    WriteRecording(path, Signal().Square(kRate, 10000, 10000));
    const std::vector<std::string> options = {"--scale", "7", "--full-scale", "95"};

    const std::vector<std::string> text =
        Split(ResultsOf(path, folder.Path("fs.txt"), options), "\r\n");
    ASSERT_EQ(text.size(), 7u);
    EXPECT_EQ(text[3], "Full Scale   95dB");
    EXPECT_EQ(text[4], "Target 1    85dB");
    EXPECT_EQ(text[5], "Target 2    75dB");
    // -10.31 dB + 95 - 2 = 82.69
    EXPECT_EQ(text[6],
              "Time 14:30:01  Duration 00:00:01  Average 84.6dB  Over 00:00:00 =0.0%  Under "
              "00:00:00 =0.0%  Max Peak 82.7dB");
    const std::vector<std::string> csv =
        Split(ResultsOf(path, folder.Path("fs.csv"), options), "\r\n");
    ASSERT_EQ(csv.size(), 5u);
    EXPECT_EQ(csv[4], "14:30:01,00:00:01, 84.6,00:00:00,0.0,00:00:00,0.0,-10.3");
}

TEST(AnalyserResultsFiles, SaveAsTakesTheTypeFromTheExtension) {
    ScratchFolder folder;
    const std::string path = folder.Path("silence.wav");
    WriteRecording(path, Signal().Silence(10 * kBlockFrames));

    // No extension: the default type, text, and its extension added.
    ResultsOf(path, folder.Path("plain"));
    EXPECT_FALSE(Exists(folder.Path("plain")));
    EXPECT_EQ(ReadFile(folder.Path("plain.txt")).substr(0, kTextHeaderResults.size()),
              kTextHeaderResults);
    // The extension's case does not matter.
    EXPECT_EQ(Split(ResultsOf(path, folder.Path("upper.CSV")), "\r\n").at(0),
              "Test Name,\"Results \"");
    // Another extension stays, with the default type.
    const std::string log = ResultsOf(path, folder.Path("run.log"), {"--channel", "difference"});
    EXPECT_EQ(Split(log, "\r\n").at(2), "Channel      Difference");
    EXPECT_EQ(Split(log, "\r\n").size(), 7u);
}

TEST(AnalyserResultsFiles, NoSaveOnStopLeavesTheHeaderAlone) {
    ScratchFolder folder;
    const std::string path = folder.Path("tone.wav");
    const std::string results = folder.Path("r.txt");
    WriteRecording(path, Signal().Square(kRate, 10000, 10000));

    const AnalyserRun run = Analyse({"--no-save-on-stop", "--readouts", "--locale", "en_GB",
                                     "--start", "2026-12-08T14:30:00", "--results", results, path});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(results), kTextHeaderResults);
    auto r = Readouts(run.out);
    EXPECT_EQ(r["Label1"], "Log File:   r.txt");
    // The next minutes save, 15 minutes after the start, and the time of the last block.
    EXPECT_EQ(r["Label3"], "08/12/2026 14:45:00    14:30:01");
}

// Runs on one file append to it while they write its header, the start date
// aside; a run of other columns writes to the numbered file beside it and
// says so on standard error: its records are kept, and it ends with status 0.
TEST(AnalyserResultsFiles, RunsAppendUnderTheirOwnHeaderOnly) {
    ScratchFolder folder;
    const std::string path = folder.Path("tone.wav");
    WriteRecording(path, Signal().Square(kRate, 10000, 10000));
    const std::string results = folder.Path("hall.csv");
    const std::string numbered = folder.Path("hall (2).csv");
    struct Step {
        const char* what;
        const char* start;
        bool loudness;
        int status;
        size_t plainRecords;  // in hall.csv after the run
        size_t loudRecords;   // in hall (2).csv
    };
    const Step steps[] = {
        {"a new file", "2026-12-08T14:30:00", false, 0, 1, 0},
        {"the next day: appended", "2026-12-09T09:00:00", false, 0, 2, 0},
        {"loudness columns: beside it", "2026-12-09T10:00:00", true, 0, 2, 1},
        {"loudness again: appended beside it", "2026-12-09T11:00:00", true, 0, 2, 2},
        {"without loudness: the first file again", "2026-12-09T12:00:00", false, 0, 3, 2},
    };
    for (const Step& step : steps) {
        std::vector<std::string> options = {"--locale",  "en_GB", "--start", step.start,
                                            "--results", results, path};
        if (step.loudness) {
            options.insert(options.begin(), "--loudness-in-results");
        }
        const AnalyserRun run = Analyse(options);
        EXPECT_EQ(run.status, step.status) << step.what << ": " << run.err;
        if (step.loudness) {
            EXPECT_NE(run.err.find("Records go to " + numbered + ": " + results + " has \"" +
                                   kCsvColumns + "\" where this run writes \"" + kCsvColumns +
                                   ",Loudness LUFS,LRA LU,True Peak dBTP\"."),
                      std::string::npos)
                << step.what << ": " << run.err;
        } else {
            EXPECT_EQ(run.err, "") << step.what;
        }
        const std::vector<std::string> plain = Split(ReadFile(results), "\r\n");
        ASSERT_EQ(plain.size(), 4 + step.plainRecords) << step.what;
        EXPECT_EQ(plain[1], "Start Date,\"08 December 2026\"") << step.what;
        EXPECT_EQ(plain[3], kCsvColumns) << step.what;
        if (step.loudRecords > 0) {
            const std::vector<std::string> loud = Split(ReadFile(numbered), "\r\n");
            ASSERT_EQ(loud.size(), 4 + step.loudRecords) << step.what;
            EXPECT_EQ(loud[1], "Start Date,\"09 December 2026\"") << step.what;
        } else {
            EXPECT_FALSE(Exists(numbered)) << step.what;
        }
    }
}

}  // namespace
}  // namespace tarnwick::analyse_test
