// Loudness from tarnwick-analyse: a broadcast recording at 48 kHz measured at
// its own rate for loudness, converted to 44100 Hz for the meter, with the
// loudness in the readouts, both results formats and the loudness log.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "analyse/analyse_test_support.h"

namespace tarnwick::analyse_test {
namespace {

// 20 s of 1 kHz at -23 dBFS in both channels: -23.0 LUFS, its true peak
// -23.0 dBTP, no range.
Signal LineUpTone(int rate) {
    Signal s;
    const double amplitude = 32767.0 * std::pow(10.0, -23.0 / 20.0);
    for (int64_t n = 0; n < 20 * rate; ++n) {
        const auto v = static_cast<int16_t>(
            std::lround(amplitude * std::sin(2.0 * std::numbers::pi * 1000.0 * n / rate)));
        s.samples.push_back(v);
        s.samples.push_back(v);
    }
    return s;
}

TEST(AnalyserLoudness, ARecordingAt48kHzIsMeasuredAtItsOwnRateAndInTheResults) {
    ScratchFolder folder;
    WriteRecording(folder.Path("tone48.wav"), LineUpTone(48000), 48000);
    WriteRecording(folder.Path("tone44.wav"), LineUpTone(kRate), kRate);
    const std::vector<std::string> common = {"--locale", "C", "--start", "2026-12-08T14:30:00",
                                             "--readouts"};

    std::vector<std::string> args = common;
    args.insert(args.end(),
                {"--loudness", "--loudness-in-results", "--results", folder.Path("r.csv"),
                 "--loudness-log", folder.Path("loud.csv"), folder.Path("tone48.wav")});
    const AnalyserRun run = Analyse(args);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto readouts = Readouts(run.out);
    EXPECT_EQ(readouts.at("Integrated"), "-23.0 LUFS");
    EXPECT_EQ(readouts.at("Range"), "0.0 LU");
    EXPECT_EQ(readouts.at("TruePeak"), "-23.0 dBTP");
    EXPECT_EQ(readouts.at("MomentaryMax"), "-23.0 LUFS");
    EXPECT_EQ(readouts.at("ShortTermMax"), "-23.0 LUFS");

    // The meter sees the converted tone as it sees the same tone at 44100 Hz.
    args = common;
    args.push_back(folder.Path("tone44.wav"));
    const auto twin = Readouts(Analyse(args).out);
    for (const char* name : {"PeakDisplay", "ShortAvglDisplay", "LongAvgDisplay", "Label11"}) {
        EXPECT_EQ(readouts.at(name), twin.at(name)) << name;
    }

    const std::vector<std::string> csv = Split(ReadFile(folder.Path("r.csv")), "\r\n");
    ASSERT_EQ(csv.size(), 5u);
    EXPECT_EQ(csv[3],
              "Time ,Duration ,Average,Over dB,Over % ,Under dB,Under %,Max dB,Loudness LUFS,"
              "LRA LU,True Peak dBTP");
    EXPECT_TRUE(csv[4].ends_with(",-23.0,0.0,-23.0")) << csv[4];

    const std::vector<std::string> log = Split(ReadFile(folder.Path("loud.csv")), "\n");
    ASSERT_EQ(log.size(), 201u);  // a header and a row every 100 ms
    EXPECT_EQ(log[0], "time_s,momentary,short_term,integrated,true_peak_max");
    EXPECT_TRUE(log[3].starts_with("0.3,") && log[3].ends_with(",-inf,-23.0")) << log[3];
    EXPECT_EQ(log[4].substr(0, 10), "0.4,-23.0,");  // the first whole 400 ms
    EXPECT_EQ(log[200], "20.0,-23.0,-23.0,-23.0,-23.0");

    args = common;
    args.insert(args.end(), {"--loudness-in-results", "--results", folder.Path("r.txt"),
                             folder.Path("tone48.wav")});
    ASSERT_EQ(Analyse(args).status, 0);
    const std::vector<std::string> text = Split(ReadFile(folder.Path("r.txt")), "\r\n");
    ASSERT_EQ(text.size(), 7u);
    EXPECT_TRUE(text[6].ends_with("  Loudness -23.0LUFS  LRA 0.0LU  TP -23.0dBTP")) << text[6];
}

}  // namespace
}  // namespace tarnwick::analyse_test
