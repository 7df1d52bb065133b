// Sound level from tarnwick-analyse: a 1 kHz step from 70 to 50 dB through
// the readouts and the per-second log, calibrators' tones accepted and
// refused, an overloaded recording flagged, recordings below 40 kHz told
// which bands of the weightings they lack, and the self-test; then the
// logger's session on the same file through the file-backed input, whose
// seconds must be the analyser's.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>

#include "analyse/analyse_test_support.h"
#include "core/fakes.h"
#include "tools/analyse/file_wave_input.h"
#include "tools/analyse/recording_reader.h"
#include "tools/common/headless_ports.h"
#include "tools/logger/logger_session.h"

namespace tarnwick::analyse_test {
namespace {

constexpr double kFullScale = 32768.0;

// `seconds` of a sine of `hz` at `amplitude` (1.0 a full-scale sine) in every
// channel, its phase running on from the frames before; clipped to 16 bits.
Signal& AddTone(Signal& s, double seconds, double amplitude, double hz = 1000.0) {
    const int64_t first = s.Frames();
    const auto frames = static_cast<int64_t>(seconds * kRate);
    for (int64_t n = first; n < first + frames; ++n) {
        const double v = amplitude * kFullScale * std::sin(2.0 * std::numbers::pi * hz * n / kRate);
        const auto sample = static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
        for (int c = 0; c < s.channels; ++c) {
            s.samples.push_back(sample);
        }
    }
    return s;
}

double Amplitude(double dbReFullScale) {
    return std::pow(10.0, dbReFullScale / 20.0);
}

// The rows of a CSV file after its header, each split into its fields (an
// empty last field kept).
std::vector<std::vector<std::string>> CsvRows(const std::string& path) {
    std::vector<std::vector<std::string>> rows;
    const std::vector<std::string> lines = Split(ReadFile(path), "\n");
    for (size_t i = 1; i < lines.size(); ++i) {
        rows.push_back(Split(lines[i] + ",", ","));
    }
    return rows;
}

TEST(AnalyserSoundLevel, ReadoutsLogCalibrationAndSelfTest) {
    ScratchFolder folder;
    // 9 s at 70 dB, then 51 s at 50 dB: with a sensitivity of 80 dB, -10 and
    // -30 dB re a full-scale sine. LAeq = 10 lg((9 x 10^7 + 51 x 10^5) / 60)
    // = 62.0 dB; LAE = LAeq + 10 lg 60 = 79.8 dB.
    Signal step = Mono();
    AddTone(AddTone(step, 9, Amplitude(-10)), 51, Amplitude(-30));
    const std::string stepFile = folder.Path("step.wav");
    WriteRecording(stepFile, step);
    // A calibrator's 94 dB at -20 dB re full scale reads a sensitivity of
    // 114 dB; the same tone 3.5 dB above full scale clips.
    Signal calibrator = Mono();
    WriteRecording(folder.Path("94dB.wav"), AddTone(calibrator, 6, Amplitude(-20)));
    Signal clipped = Mono();
    WriteRecording(folder.Path("clipped.wav"), AddTone(clipped, 6, Amplitude(3.5)));
    // The same tone at rates that hold the weightings' one-third-octave bands
    // up to 10 kHz, up to 16 kHz, and all of them: 40 kHz is the lowest rate
    // that carries 20 kHz.
    Signal tone = Mono();
    AddTone(tone, 2, Amplitude(-20));
    for (int rate : {22050, 38000, 40000}) {
        WriteRecording(folder.Path(std::to_string(rate) + ".wav"), tone, rate);
    }
    const std::string log = folder.Path("spl.csv");
    const std::string mic = folder.Path("mic.txt");
    WriteFile(mic, "\"Sens Factor =-1.0dB\"\n100 0.5\n10000 0.5\n");
    const std::string results = folder.Path("results.csv");

    const std::vector<std::string> stepLines = {
        "LAeq\t62.0 dB",   "LCeq\t62.0 dB",   "LZeq\t62.0 dB",  "LAE\t79.8 dB",
        "LAFmax\t70.0 dB", "LAFmin\t50.0 dB", "LEX8h\t35.2 dB", "LA10\t70.0 dB",
        "LA50\t50.0 dB",   "LA90\t50.0 dB",   "Dose\t0.0 %",    "Overload\t0 s"};
    struct Case {
        std::string what;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> lines;  // each a whole line of standard output
        std::string errorHas;            // empty: nothing on standard error
        std::string outHas;
    };
    const std::vector<Case> cases = {
        {"the step",
         {"--spl", "--spl-sensitivity", "80", "--spl-limit", "68.9:1:3", "--spl-log", log,
          stepFile},
         kAnalyseOk,
         stepLines,
         "",
         ""},
        {"uncalibrated, the statistics asked for",
         {"--spl", "--spl-stats", "5,99.5", stepFile},
         kAnalyseOk,
         {"LAeq\t-18.0 dB", "LA5\t-10.0 dB", "LA99.5\t-30.0 dB", "Dose\t-", "Overload\t0 s"},
         "uncalibrated",
         ""},
        {"a calibrator's tone",
         {"--spl-calibrate", "94", folder.Path("94dB.wav")},
         kAnalyseOk,
         {"Sensitivity\t114.00 dB"},
         "",
         ""},
        // The microphone reads 0.5 dB high at 1 kHz and its factor is -1 dB:
        // the corrected meter reads 94 dB with 115.50 dB stored.
        {"a calibrator's tone through a microphone response",
         {"--spl-calibrate", "94", "--mic-response", mic, folder.Path("94dB.wav")},
         kAnalyseOk,
         {"Sensitivity\t115.50 dB"},
         "",
         "Response\tmic.txt (crc "},
        {"a clipped calibrator's tone",
         {"--spl-calibrate", "94", folder.Path("clipped.wav")},
         kAnalyseFailed,
         {},
         "clips",
         ""},
        {"an overloaded recording",
         {"--spl", "--spl-sensitivity", "100", folder.Path("clipped.wav")},
         kAnalyseOk,
         {"Overload\t6 s"},
         "6 s of the recording held a sample at full scale",
         ""},
        {"the results alone",
         {"--spl-octaves-in-results", "--spl-sensitivity", "80", "--results", results, "--locale",
          "C", stepFile},
         kAnalyseOk,
         {},
         "",
         ""},
        {"a recording at 22.05 kHz",
         {"--spl", "--spl-sensitivity", "80", folder.Path("22050.wav")},
         kAnalyseOk,
         {},
         "22050.wav: warning: its sound levels lack the frequency weightings' one-third-octave "
         "bands of 12.5 kHz and up: at 22050 Hz a recording holds no frequency above 11025 Hz\n",
         ""},
        {"a recording at 38 kHz",
         {"--spl", "--spl-sensitivity", "80", folder.Path("38000.wav")},
         kAnalyseOk,
         {},
         "bands of 20 kHz and up: at 38000 Hz",
         ""},
        {"a recording at 40 kHz",
         {"--spl", "--spl-sensitivity", "80", folder.Path("40000.wav")},
         kAnalyseOk,
         {},
         "",
         ""},
        {"the self-test", {"--spl-selftest"}, kAnalyseOk, {}, "", " checks passed\n"},
    };
    for (const Case& c : cases) {
        const AnalyserRun run = Analyse(c.args);
        EXPECT_EQ(run.status, c.status) << c.what << ": " << run.err;
        const std::vector<std::string> lines = Split(run.out, "\n");
        for (const std::string& line : c.lines) {
            EXPECT_NE(std::find(lines.begin(), lines.end(), line), lines.end())
                << c.what << ": " << line << " not in\n"
                << run.out;
        }
        EXPECT_NE(run.out.find(c.outHas), std::string::npos) << c.what << ": " << run.out;
        if (c.errorHas.empty()) {
            EXPECT_EQ(run.err, "") << c.what;
        } else {
            EXPECT_NE(run.err.find(c.errorHas), std::string::npos) << c.what << ": " << run.err;
        }
    }

    // The record of the step: LAeq, LAFmax, LCpeak (the tone's own peak: the
    // C filter's ring as the recording starts counts in no maximum), LA10 and
    // LA90, and no note; then its octave bands, the tone's Leq in the 1 kHz
    // band and at least the class 1 attenuation of 40.5 dB two octaves off.
    const std::vector<std::string> records = Split(ReadFile(results), "\r\n");
    ASSERT_GE(records.size(), 5u);
    EXPECT_TRUE(
        records[3].ends_with(",Sound Level Note,63 Hz dB,125 Hz dB,250 Hz dB,500 Hz dB,"
                             "1 kHz dB,2 kHz dB,4 kHz dB,8 kHz dB"))
        << records[3];
    const std::vector<std::string> fields = Split(records.back(), ",");
    ASSERT_EQ(fields.size(), 8u + 6u + 8u) << records.back();
    EXPECT_NE(records.back().find(",62.0,70.0,73.0,70.0,50.0,,"), std::string::npos);
    EXPECT_EQ(fields[8 + 6 + 4], "62.0") << records.back();
    EXPECT_LT(std::stod(fields[8 + 6 + 2]), 62.0 - 40.5) << records.back();

    // A row a second. Within the first minute the state follows the
    // prediction of the first whole window: the level of the last 10 s held
    // to the minute's end reads 70.0 dB at first, within 3 dB of the limit of
    // 68.9 dB (a warning; no breach is certain, as 9 s at 70 dB spread over
    // the minute give 61.8 dB), and falls below 65.9 dB at 16 s (65.76 dB)
    // as the 50 dB of the step fill the last 10 s. A state is an event only
    // where it is entered.
    EXPECT_EQ(Split(ReadFile(log), "\n").front(),
              "time_s,LAeq,LAFmax,LCpeak,LCeq,LAeq_rolling,limit_state,event");
    const auto rows = CsvRows(log);
    ASSERT_EQ(rows.size(), 60u);
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::vector<std::string>& row = rows[i];
        ASSERT_EQ(row.size(), 8u) << i;
        EXPECT_EQ(row[0], std::to_string(i + 1));
        const double level = i < 9 ? 70.0 : 50.0;
        if (i != 9) {  // the second of the step
            EXPECT_NEAR(std::stod(row[1]), level, 0.02) << i;
            EXPECT_NEAR(std::stod(row[3]), level + 3.01, 0.02) << i;
            EXPECT_NEAR(std::stod(row[4]), level, 0.02) << i;
        }
        const char* state = i < 15 ? "warn" : "ok";
        EXPECT_EQ(row[6], state) << i;
        EXPECT_EQ(row[7], i == 0 || i == 15 ? state : "") << i;
    }
    EXPECT_NEAR(std::stod(rows[59][5]), 62.0, 0.02);
}

// The ports of the logger's session that this comparison does not look at.
class NoRowFiles : public IRowFiles {
public:
    std::string MakeFolder(const std::string&) override { return {}; }
    Written Append(const std::string&, const std::string&, const std::string&) override {
        return {true, false, {}};
    }
    std::string ClaimFolder(const std::string&) override { return {}; }
    void ReleaseFolder(const std::string&) override {}
    std::string LastRow(const std::string&) override { return {}; }
    std::string FirstRow(const std::string&) override { return {}; }
};
class NoAlarmCommands : public IAlarmCommands {
public:
    bool Run(const AlarmChange&, LocalDateTime, std::string&) override { return true; }
    void Reap() override {}
    void StopAll() override {}
    uint64_t Failures() const override { return 0; }
};
class NoServiceManager : public IServiceNotifier {
public:
    void Ready() override {}
    void Watchdog() override {}
    void Stopping() override {}
    void Status(const std::string&) override {}
};

// The seconds of sound level of the logger's session on `path`, its blocks
// delivered on the simulated clock as the analyser delivers them.
std::vector<SoundLevelFigures> LoggerSeconds(const std::string& path, double sensitivityDb) {
    RecordingReader reader(path);
    SimulatedClock clock(0, TestNow());
    SimulatedTimers timers(clock);
    FileWaveInput wave(reader);
    SilentWaveOutput output;
    fakes::FixedRegionalFormats formats;
    fakes::FakeDialogs dialogs;
    fakes::RecordingProcess process;
    MemorySettingsStore store;
    fakes::FakeTextFiles files;
    fakes::FakeShell shell;
    fakes::FakeImages images;
    NoRowFiles rows;
    NoAlarmCommands commands;
    NoServiceManager service;
    LoggerOptions options;
    options.soundLevel = true;
    LoggerSession session(
        LoggerSessionPorts{MeterPorts{clock, timers, wave, output, formats, dialogs, process, store,
                                      files, shell, images, nullptr},
                           rows, commands, service, nullptr},
        options);
    TMeterSettings settings = DefaultSettings();
    settings.SplSensitivity = sensitivityDb;
    std::vector<SoundLevelFigures> seconds;
    if (!session.Start(1, settings)) {
        ADD_FAILURE() << "the logger did not start";
        return seconds;
    }
    const SoundLevelMeter& meter = *session.app().SoundLevel();
    const auto framesPerBlock =
        static_cast<uint64_t>(session.app().settings().BlockBytes / kBytesPerFrame);
    for (uint64_t block = 1; wave.FillNext(); ++block) {
        timers.AdvanceTo(block * framesPerBlock * 1000 / kSampleRate);
        wave.DeliverFilled();
        // A block of 20 ms ends one second at most.
        EXPECT_LE(meter.SecondsDelivered(), seconds.size() + 1);
        if (meter.SecondsDelivered() > seconds.size()) {
            seconds.push_back(meter.LastSecond().figures);
        }
    }
    session.Stop();
    return seconds;
}

TEST(AnalyserSoundLevel, TheLoggerOnTheRecordingGivesTheAnalysersSeconds) {
    // 12 s of 16-bit stereo at 44.1 kHz: on the left a tone of 1 kHz and
    // 6 kHz whose level changes every 0.37 s, so that seconds out of step
    // differ; on the right, which is not measured, a loud 300 Hz tone.
    ScratchFolder folder;
    Signal s;
    uint32_t seed = 12345;
    double level = 0.0;
    for (int64_t n = 0; n < 12 * kRate; ++n) {
        if (n % 16317 == 0) {
            seed = seed * 1664525u + 1013904223u;
            level = 0.02 + 0.4 * static_cast<double>(seed >> 8) / 16777216.0;
        }
        const double t = static_cast<double>(n) / kRate;
        const double left = level * (std::sin(2.0 * std::numbers::pi * 1000.0 * t) +
                                     0.5 * std::sin(2.0 * std::numbers::pi * 6000.0 * t));
        const double right = 0.7 * std::sin(2.0 * std::numbers::pi * 300.0 * t);
        s.samples.push_back(static_cast<int16_t>(std::lround(left * 32767.0)));
        s.samples.push_back(static_cast<int16_t>(std::lround(right * 32767.0)));
    }
    const std::string recording = folder.Path("varied.wav");
    WriteRecording(recording, s);
    const std::string log = folder.Path("spl.csv");
    const AnalyserRun run =
        Analyse({"--spl-sensitivity", "94", "--spl-log", log, "--locale", "C", recording});
    ASSERT_EQ(run.status, 0) << run.err;
    const auto rows = CsvRows(log);
    ASSERT_EQ(rows.size(), 12u);

    const std::vector<SoundLevelFigures> live = LoggerSeconds(recording, 94.0);
    // The logger ends without the seconds that wait for the C-weighted peak.
    ASSERT_GE(live.size(), 11u);
    for (size_t i = 0; i < live.size(); ++i) {
        const SoundLevelFigures& f = live[i];
        EXPECT_EQ(f.durationS, 1.0) << i;
        const double figures[] = {f.laeq, f.lafmax, f.lcpeak, f.lceq};
        for (size_t k = 0; k < 4; ++k) {
            EXPECT_NEAR(figures[k], std::stod(rows[i][k + 1]), 0.01)
                << "second " << i << ", column " << k + 1;
        }
    }
}

}  // namespace
}  // namespace tarnwick::analyse_test
