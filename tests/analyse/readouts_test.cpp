// The readouts a recording leaves behind (--readouts), for reference signals
// with exact peaks. A steady magnitude x reads x - 39 with integration on; the
// default Calibration of -2 cancels out of every level readout.

#include <gtest/gtest.h>

#include <algorithm>

#include "analyse/analyse_test_support.h"

namespace tarnwick::analyse_test {
namespace {

std::string ReadoutsOf(const std::string& recording, std::vector<std::string> options = {}) {
    options.insert(options.end(), {"--readouts", "--locale", "en_GB", "--start",
                                   "2026-12-08T14:30:00", recording});
    const AnalyserRun run = Analyse(options);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    return run.out;
}

// One second (50 blocks) of 16384 in both channels: the peaks read 16345
// (-6.04 dB), the system maximum 16384 (-6.02 dB), and the run-time average at
// its last refresh, block 42, where the period's first block counts half:
// 16345 x sqrt(42 / 43) = 16153 (-6.14 dB).
const std::string kSteadyToneReadouts = Joined(
    {
        "PeakDisplay\t -6.0",
        "ShortAvglDisplay\t -6.0",
        "LongAvgDisplay\t -6.1",
        "OverTimeDisplay\t0:00:01.0",
        "Undertimedisplay\t0:00:00.0",
        "ElapTimeDisplay\t0:00:01",
        "Label11\tSystem Max -6.0",
        "Label6\tTime 0.3 Secs",
        "Label3\tNot scheduled",
        "Label1\tNo File Open",
        "tooHigh\t89",
    },
    "\n");

// A floating-point WAV of `signal`, each sample divided by 32768 and
// multiplied by `gain`, as other programs write them (1.0 is full scale).
void WriteFloatRecording(const std::string& path, const Signal& signal, int encoding,
                         double gain = 1.0) {
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = signal.channels;
    info.format = SF_FORMAT_WAV | encoding;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<double> samples;
    for (const int16_t sample : signal.samples) {
        samples.push_back(sample / 32768.0 * gain);
    }
    EXPECT_EQ(sf_writef_double(file, samples.data(), signal.Frames()), signal.Frames());
    sf_close(file);
}

TEST(AnalyserReadouts, SilenceReadsLowAndCountsNoTargetTime) {
    ScratchFolder folder;
    const std::string path = folder.Path("silence.wav");
    WriteRecording(path, Signal().Silence(kRate));

    // Below the threshold a block counts neither over target 1 nor under target 2;
    // the system maximum never rises, so Label11 keeps its caption.
    EXPECT_EQ(ReadoutsOf(path), Joined(
                                    {
                                        "PeakDisplay\tlow ",
                                        "ShortAvglDisplay\tlow ",
                                        "LongAvgDisplay\tlow ",
                                        "OverTimeDisplay\t0:00:00.0",
                                        "Undertimedisplay\t0:00:00.0",
                                        "ElapTimeDisplay\t0:00:01",
                                        "Label11\tSystem Max",
                                        "Label6\tTime 0.3 Secs",
                                        "Label3\tNot scheduled",
                                        "Label1\tNo File Open",
                                        "tooHigh\t89",
                                    },
                                    "\n"));
}

TEST(AnalyserReadouts, SteadyToneReadsTheSameFromEveryContainerAndFromMono) {
    ScratchFolder folder;
    const std::string wav = folder.Path("tone.wav");
    const std::string flac = folder.Path("tone.flac");
    const std::string aiff = folder.Path("tone.aiff");
    const std::string mono = folder.Path("tone-mono.wav");
    const std::string floats = folder.Path("tone-float.wav");
    const std::string doubles = folder.Path("tone-double.wav");
    const Signal stereo = Signal().Square(kRate, 16384, 16384);
    WriteRecording(wav, stereo);
    WriteRecording(flac, stereo, kRate, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    WriteRecording(aiff, stereo, kRate, SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
    WriteRecording(mono, Mono().Square(kRate, 16384, 0));
    // Floating point, 0.5 where the 16-bit recording holds 16384.
    WriteFloatRecording(floats, stereo, SF_FORMAT_FLOAT);
    WriteFloatRecording(doubles, stereo, SF_FORMAT_DOUBLE);

    for (const std::string& path : {wav, flac, aiff, mono, floats, doubles}) {
        EXPECT_EQ(ReadoutsOf(path), kSteadyToneReadouts) << path;
    }
}

TEST(AnalyserReadouts, FloatsBeyondFullScaleClipAndACutRecordingIsMeasuredWithAWarning) {
    ScratchFolder folder;
    const std::string loud = folder.Path("loud.wav");
    const std::string clipped = folder.Path("clipped.wav");
    WriteRecording(loud, Signal().Constant(kRate, 32767, 32767));
    WriteFloatRecording(clipped, Signal().Constant(kRate, 32767, 32767), SF_FORMAT_FLOAT, 1.5);
    // The meter's levels clip, and the user is told once how many samples.
    const AnalyserRun overs =
        Analyse({"--readouts", "--locale", "en_GB", "--start", "2026-12-08T14:30:00", clipped});
    EXPECT_EQ(overs.status, 0) << overs.err;
    EXPECT_EQ(overs.out, ReadoutsOf(loud));
    EXPECT_EQ(overs.err, "tarnwick-analyse: " + clipped +
                             ": warning: 88200 samples lie above full scale; the meter's levels "
                             "clip them, loudness and true peak measure them as they are\n");

    // Half a second of the file's one second is gone, its header unchanged.
    std::filesystem::resize_file(loud, std::filesystem::file_size(loud) - kRate * 2);
    const AnalyserRun run = Analyse({"--readouts", loud});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Readouts(run.out)["ElapTimeDisplay"], "0:00:00");
    EXPECT_NE(run.err.find("warning"), std::string::npos) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
}

TEST(AnalyserReadouts, TargetTimesCountTheBlocksOverAndUnderTheTargets) {
    ScratchFolder folder;
    const std::string path = folder.Path("loud-quiet.wav");
    // 50 blocks above target 1 (reading 19961), then 50 under target 2 but above
    // the threshold (reading 1961): each block adds the 20 ms since the one before.
    WriteRecording(path, Signal().Square(kRate, 20000, 20000).Square(kRate, 2000, 2000));

    auto r = Readouts(ReadoutsOf(path));
    EXPECT_EQ(r["OverTimeDisplay"], "0:00:01.0");
    EXPECT_EQ(r["Undertimedisplay"], "0:00:01.0");
    EXPECT_EQ(r["ElapTimeDisplay"], "0:00:02");
    EXPECT_EQ(r["PeakDisplay"], " -24.5");
}

TEST(AnalyserReadouts, EachChannelModeFollowsItsOwnSignal) {
    ScratchFolder folder;
    const std::string path = folder.Path("left-silent.wav");
    // Left silent, right 20000 (reads 19961, -4.31 dB). Sum and difference are
    // both |R| div 2 = 10000 (reads 9961, -10.34 dB).
    WriteRecording(path, Signal().Square(kRate, 0, 20000));

    // Stereo: the peak and short-term readouts follow the left channel, the
    // run-time average and the target times the louder one.
    auto stereo = Readouts(ReadoutsOf(path));
    EXPECT_EQ(stereo["PeakDisplay"], "low ");
    EXPECT_EQ(stereo["ShortAvglDisplay"], "low ");
    EXPECT_EQ(stereo["LongAvgDisplay"], " -4.4");
    EXPECT_EQ(stereo["OverTimeDisplay"], "0:00:01.0");
    EXPECT_EQ(stereo["Label11"], "System Max -10.3");

    auto left = Readouts(ReadoutsOf(path, {"--channel", "left"}));
    EXPECT_EQ(left["PeakDisplay"], "low ");
    EXPECT_EQ(left["LongAvgDisplay"], "low ");
    EXPECT_EQ(left["OverTimeDisplay"], "0:00:00.0");

    auto right = Readouts(ReadoutsOf(path, {"--channel", "right"}));
    EXPECT_EQ(right["PeakDisplay"], " -4.3");
    EXPECT_EQ(right["ShortAvglDisplay"], " -4.3");
    EXPECT_EQ(right["LongAvgDisplay"], " -4.4");
    EXPECT_EQ(right["OverTimeDisplay"], "0:00:01.0");

    for (const char* mode : {"sum", "difference"}) {
        auto r = Readouts(ReadoutsOf(path, {"--channel", mode}));
        EXPECT_EQ(r["PeakDisplay"], " -10.3") << mode;
        EXPECT_EQ(r["ShortAvglDisplay"], " -10.3") << mode;
        EXPECT_EQ(r["LongAvgDisplay"], " -10.4") << mode;
        EXPECT_EQ(r["OverTimeDisplay"], "0:00:00.0") << mode;
        // The system maximum follows (L + R) div 2 whatever the mode.
        EXPECT_EQ(r["Label11"], "System Max -10.3") << mode;
    }
}

TEST(AnalyserReadouts, FramesShortOfAWholeBlockAtTheEndAreNotMeasured) {
    ScratchFolder folder;
    const std::string path = folder.Path("tail.wav");
    const std::string levels = folder.Path("levels.csv");
    // 50 silent blocks, then a full-scale tail one frame short of a block.
    WriteRecording(path,
                   Signal().Silence(50 * kBlockFrames).Constant(kBlockFrames - 1, 32767, 32767));

    const auto r = Readouts(ReadoutsOf(path, {"--levels", levels}));
    EXPECT_EQ(r.at("PeakDisplay"), "low ");
    EXPECT_EQ(r.at("Label11"), "System Max");
    EXPECT_EQ(r.at("tooHigh"), "89");
    EXPECT_EQ(LevelRows(levels).size(), 50u);
}

TEST(AnalyserReadouts, UserFullScaleAddsItsOffsetToLevelsButNotToTheSystemMaximum) {
    ScratchFolder folder;
    const std::string path = folder.Path("tone.wav");
    WriteRecording(path, Signal().Square(kRate, 16384, 16384));

    auto r = Readouts(ReadoutsOf(path, {"--scale", "7", "--full-scale", "95"}));
    EXPECT_EQ(r["PeakDisplay"], " 89.0");
    EXPECT_EQ(r["ShortAvglDisplay"], " 89.0");
    EXPECT_EQ(r["LongAvgDisplay"], " 88.9");
    EXPECT_EQ(r["Label11"], "System Max -6.0");
}

TEST(AnalyserReadouts, RegionalDecimalSeparatorAppearsInEveryNumber) {
    ScratchFolder folder;
    const std::string path = folder.Path("tone.wav");
    WriteRecording(path, Signal().Square(kRate, 16384, 16384));

    const AnalyserRun run =
        Analyse({"--readouts", "--locale", "de_DE", "--start", "2026-12-08T14:30:00", path});
    ASSERT_EQ(run.status, 0) << run.err;
    auto r = Readouts(run.out);
    EXPECT_EQ(r["PeakDisplay"], " -6,0");
    EXPECT_EQ(r["LongAvgDisplay"], " -6,1");
    EXPECT_EQ(r["Label11"], "System Max -6,0");
    EXPECT_EQ(r["Label6"], "Time 0,3 Secs");
    // Durations are not regional numbers.
    EXPECT_EQ(r["OverTimeDisplay"], "0:00:01.0");
}

}  // namespace
}  // namespace tarnwick::analyse_test
