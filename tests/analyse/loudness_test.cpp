// Loudness from tarnwick-analyse: a broadcast recording at 48 kHz measured at
// its own rate for loudness, converted to 44100 Hz for the meter, with the
// loudness in the readouts, both results formats and the loudness log.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
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

// A recording of `seconds` at `rate` in `channels` identical channels and
// libsndfile's `format`, sample n holding value(n) (1.0 being full scale).
void WriteSignal(const std::string& path, int rate, int channels, int format, double seconds,
                 const std::function<double(int64_t)>& value) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    const auto frames = static_cast<int64_t>(std::llround(seconds * rate));
    std::vector<double> samples;
    for (int64_t n = 0; n < frames; ++n) {
        samples.insert(samples.end(), static_cast<size_t>(channels), value(n));
    }
    ASSERT_EQ(sf_writef_double(file, samples.data(), frames), frames);
    sf_close(file);
}

// A sine of `hz` whose peak is `dbfs`.
std::function<double(int64_t)> Sine(double hz, double dbfs, int rate) {
    const double amplitude = std::pow(10.0, dbfs / 20.0);
    return [=](int64_t n) { return amplitude * std::sin(2.0 * std::numbers::pi * hz * n / rate); };
}

// Loudness at the edges of the input, each row a recording and the figures
// it must give: --loudness alone prints them, and the last record of a
// results file with loudness gives a period's. The figures are within
// `below` and `above` of the value they must read (one decimal printed).
TEST(AnalyserLoudness, MeasuresTheRecordingAtItsEdges) {
    struct Expect {
        std::string name;  // a --loudness line, or "Record" for the last record
        double value;
        double below = 0.05;
        double above = 0.05;
    };
    struct Row {
        std::string name;
        int rate;
        int channels;
        int format;
        double seconds;
        std::function<double(int64_t)> signal;
        std::vector<std::string> options;
        std::vector<Expect> expected;
        std::string recordEnding = "";  // of the last results record, when given
    };
    // BS.1770's true-peak tolerance for a sine: +0.2 / -0.4 dB, printed to 0.1.
    const double tpBelow = 0.45;
    const double tpAbove = 0.25;
    const double halfScale = 20.0 * std::log10(0.5);  // -6.02 dBFS
    const double inf = std::numeric_limits<double>::infinity();
    const int stereo = 2;
    const int mono = 1;
    const std::vector<Row> rows = {
        {"a sine at the top of the band at 44.1 kHz",
         44100,
         stereo,
         SF_FORMAT_PCM_16,
         1.0,
         Sine(21500.0, halfScale, 44100),
         {},
         {{"TruePeak", halfScale, tpBelow, tpAbove}}},
        {"a sine at the top of the band at 48 kHz",
         48000,
         stereo,
         SF_FORMAT_PCM_16,
         1.0,
         Sine(23000.0, halfScale, 48000),
         {},
         {{"TruePeak", halfScale, tpBelow, tpAbove}}},
        {"floating point 3 dB above full scale",
         44100,
         stereo,
         SF_FORMAT_FLOAT,
         5.0,
         Sine(1000.0, 3.0, 44100),
         {},
         {{"Integrated", 3.0}, {"TruePeak", 3.0}}},
        {"a burst in the last 2 ms",
         44100,
         stereo,
         SF_FORMAT_PCM_16,
         1.0,
         [](int64_t n) { return n >= 44100 - 88 ? Sine(1000.0, -3.0, 44100)(n) : 0.0; },
         {},
         {{"TruePeak", -3.0}}},
        {"mono, one channel",
         44100,
         mono,
         SF_FORMAT_PCM_16,
         5.0,
         Sine(1000.0, -20.0, 44100),
         {},
         {{"Integrated", -23.0}}},
        {"mono heard from two loudspeakers",
         44100,
         mono,
         SF_FORMAT_PCM_16,
         5.0,
         Sine(1000.0, -20.0, 44100),
         {"--dual-mono"},
         {{"Integrated", -20.0}}},
        {"a 32-bit tone at -80 dBFS",
         44100,
         stereo,
         SF_FORMAT_PCM_32,
         1.0,
         Sine(1000.0, -80.0, 44100),
         {},
         {{"TruePeak", -80.0}, {"MomentaryMax", -80.0}}},
        {"2 s, shorter than the short-term window",
         44100,
         stereo,
         SF_FORMAT_PCM_16,
         2.0,
         Sine(1000.0, -23.0, 44100),
         {},
         {{"Integrated", -23.0}, {"MomentaryMax", -23.0}, {"ShortTermMax", -inf}}},
        // The second period starts 60.02 s in (the first block after the
        // minute); from there the tone is 3 s at -20 dBFS and 3 s at -40 in
        // turn: every 3 s block of the range is one or the other, 20 LU apart.
        {"a period's range at 48 kHz",
         48000,
         stereo,
         SF_FORMAT_PCM_16,
         90.0,
         [](int64_t n) {
             const double t = static_cast<double>(n) / 48000.0 - 60.02;
             const double dbfs = t < 0.0                                  ? -60.0
                                 : static_cast<int64_t>(t / 3.0) % 2 == 0 ? -20.0
                                                                          : -40.0;
             return Sine(1000.0, dbfs, 48000)(n);
         },
         {"--loudness-in-results", "--save-mins", "1"},
         {},
         ",-20.4,20.0,-20.0"},
    };
    ScratchFolder folder;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string recording = folder.Path("recording.wav");
        const std::string results = folder.Path("results.csv");
        std::filesystem::remove(results);
        WriteSignal(recording, row.rate, row.channels, row.format, row.seconds, row.signal);
        std::vector<std::string> args = {"--loudness",          "--locale",  "C",    "--start",
                                         "2026-12-08T14:30:00", "--results", results};
        args.insert(args.end(), row.options.begin(), row.options.end());
        args.push_back(recording);
        const AnalyserRun run = Analyse(args);
        EXPECT_EQ(run.status, 0) << run.err;
        const auto figures = Readouts(run.out);
        EXPECT_EQ(figures.size(), 5u) << run.out;
        for (const Expect& e : row.expected) {
            if (figures.count(e.name) == 0) {
                ADD_FAILURE() << e.name << " not printed";
                continue;
            }
            const double got = std::strtod(figures.at(e.name).c_str(), nullptr);
            if (std::isinf(e.value)) {
                EXPECT_EQ(got, e.value) << e.name;
                continue;
            }
            EXPECT_GE(got, e.value - e.below) << e.name << " " << figures.at(e.name);
            EXPECT_LE(got, e.value + e.above) << e.name << " " << figures.at(e.name);
        }
        if (!row.recordEnding.empty()) {
            const std::vector<std::string> records = Split(ReadFile(results), "\r\n");
            EXPECT_TRUE(!records.empty() && records.back().ends_with(row.recordEnding))
                << ReadFile(results);
        }
    }
}

}  // namespace
}  // namespace tarnwick::analyse_test
