// Sound level as the window's user meets it, through the owner on the
// scripted device: calibration from the live blocks, the setup dialog's
// entries, and what the Sound Level window shows of live and stale figures.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>
#include <regex>
#include <sstream>
#include <string>

#include "app/daily_log.h"
#include "app/sound_level_dialog.h"
#include "app/sound_level_view.h"
#include "app/spectrum_view.h"
#include "app/window_day_log.h"
#include "core/capture_format.h"
#include "core/fakes.h"
#include "core/logger_fakes.h"
#include "settings/settings_store.h"
#include "settings/sound_level_settings.h"

namespace tarnwick {
namespace {

const std::string kHistory = "/config/Hollowden/Tarnwick calibrations.csv";
const std::string kInput = "Built-in Audio Analog Stereo";

// A 1 kHz sine in both channels, block after block, its phase running on.
class Tone {
public:
    explicit Tone(fakes::AppHarness& h, double hz = 1000.0) : h_(h), hz_(hz) {}

    // Blocks of the tone at `db` re a full-scale sine for `seconds`, or
    // while `until` holds; with `clipAt`, that frame is at full scale.
    void Play(double db, double seconds, std::function<bool()> until = nullptr,
              int64_t clipAt = -1) {
        const int32_t perBlock = h_.app.settings().BlockBytes / kBytesPerFrame;
        const auto blocks = static_cast<int>(std::ceil(seconds * kSampleRate / perBlock));
        const double amplitude = 32768.0 * std::pow(10.0, db / 20.0);
        for (int b = 0; until ? until() : b < blocks; ++b) {
            h_.AdvanceTo(h_.Elapsed() + 1000 * perBlock / kSampleRate);
            h_.wave.Deliver([&](int32_t i) {
                const int64_t n = frame_ + i;
                const auto s = static_cast<int16_t>(
                    n == clipAt
                        ? 32767
                        : std::lround(amplitude * std::sin(2.0 * std::numbers::pi * hz_ *
                                                           static_cast<double>(n) / kSampleRate)));
                return fakes::Frame{s, s};
            });
            frame_ += perBlock;
        }
    }
    int64_t frame() const { return frame_; }

private:
    fakes::AppHarness& h_;
    double hz_;
    int64_t frame_ = 0;
};

std::optional<double> StoredSensitivity(fakes::AppHarness& h) {
    const std::optional<StoredValue> value =
        h.store.Value(SettingsKeyPathFor(1), SensitivityValueName(kInput));
    if (!value) {
        return std::nullopt;
    }
    double db = 0.0;
    std::memcpy(&db, value->bytes.data(), sizeof db);
    return db;
}

TEST(SoundLevelDesktop, CalibrationFromTheLiveInputIsStoredRefusedOrStopped) {
    fakes::AppHarness h;
    h.app.KeepMeasuringThroughALostInput();
    h.app.KeepCalibrationHistoryIn(kHistory);
    h.Create(fakes::PlainLevelSettings());
    std::string error;
    ASSERT_TRUE(h.app.MeasureSoundLevel(kSampleRate, 2, true, error)) << error;
    Tone tone(h);

    struct Step {
        const char* what;
        double db;           // the calibrator's tone, re a full-scale sine
        bool clip;           // one sample reaches full scale
        bool loseInput;      // the input fails half-way
        const char* said;    // in the message
        double sensitivity;  // in use afterwards
        size_t historyRows;  // below the header
    };
    const Step steps[] = {
        {"a 94 dB calibrator", -26.0, false, false, "reads 120.00 dB SPL", 120.0, 1},
        {"a clipping input", -26.0, true, false, "Not calibrated: The input clips", 120.0, 1},
        {"0.6 dB quieter", -26.6, false, false, "differs by 0.6 dB", 120.6, 2},
        {"the input lost", -30.0, false, true, "Calibration stopped: the input was lost", 120.6, 2},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        h.dialogs.messages.clear();
        ASSERT_TRUE(h.app.StartCalibration(94.0, MeasuredChannel::kLeft, error)) << error;
        if (step.loseInput) {
            tone.Play(step.db, 2.0);
            h.wave.Fail("unplugged");
        } else {
            const int64_t clipAt = step.clip ? tone.frame() + 3 * kSampleRate : -1;
            tone.Play(
                step.db, 0.0, [&] { return h.app.Calibrating(); }, clipAt);
        }
        EXPECT_FALSE(h.app.Calibrating());
        const auto said = [&](const fakes::FakeDialogs::Message& m) {
            return m.text.find(step.said) != std::string::npos;
        };
        EXPECT_TRUE(std::any_of(h.dialogs.messages.begin(), h.dialogs.messages.end(), said));
        // In use, in the meter, in the store and in the history, alike.
        ASSERT_TRUE(h.app.settings().SplSensitivity.has_value());
        EXPECT_NEAR(*h.app.settings().SplSensitivity, step.sensitivity, 0.05);
        EXPECT_EQ(h.app.SoundLevel()->Sensitivity(), *h.app.settings().SplSensitivity);
        EXPECT_EQ(StoredSensitivity(h), h.app.settings().SplSensitivity);
        const CalibrationHistory history = ParseCalibrationHistory(h.files.contents[kHistory]);
        EXPECT_TRUE(history.badLines.empty());
        ASSERT_EQ(history.records.size(), step.historyRows);
        EXPECT_EQ(h.files.contents[kHistory].find(CalibrationHistoryHeader()), 0u);
        const CalibrationRecord& last = history.records.back();
        EXPECT_EQ(last.input, kInput);
        EXPECT_EQ(last.referenceDb, 94.0);
        EXPECT_NEAR(last.sensitivityDb, step.sensitivity, 0.05);
        ASSERT_TRUE(h.app.SensitivityRecord().has_value());
        EXPECT_EQ(h.app.SensitivityRecord()->when.ms / 1000, last.when.ms / 1000);
    }
}

TEST(SoundLevelDesktop, SetupEntriesAreTakenOrKeptWithTheReason) {
    fakes::AppHarness h;
    h.app.KeepCalibrationHistoryIn(kHistory);
    h.Create(fakes::PlainLevelSettings());
    int saves = 0;
    TSoundLevelDialog dialog(
        h.app, h.dialogs, [&] { ++saves; }, U'.');
    using Field = std::string TSoundLevelControls::*;
    struct Entry {
        Field field;
        const char* text;
        const char* reason;  // null: taken
    };
    h.files.contents["/mics/bad.txt"] = "100 0\n50 1\n";
    h.files.contents["/mics/good.txt"] = "20 0\n20000 1\n";
    const Entry entries[] = {
        {&TSoundLevelControls::Sensitivity, "250", "Sensitivity: \"250\" is not a level from 40"},
        {&TSoundLevelControls::Limit, "loud", "Limit: \"loud\" is not a level from 30 to 200 dB"},
        {&TSoundLevelControls::WarnMargin, "", "Warning margin: \"\" is not a level"},
        {&TSoundLevelControls::Statistics, "10,50,100", "Statistical levels: \"10,50,100\""},
        {&TSoundLevelControls::LogFolder, "shows",
         "Write a row every second to: \"shows\" is not a folder's full path"},
        {&TSoundLevelControls::Limit, "99.5", nullptr},
        {&TSoundLevelControls::Limit, " none ", nullptr},
        {&TSoundLevelControls::Criterion, "90", nullptr},
        {&TSoundLevelControls::LogFolder, " /shows ", nullptr},
        {&TSoundLevelControls::ResponseFile, "mic.txt",
         "Microphone response: \"mic.txt\" is not a file's full path"},
        {&TSoundLevelControls::ResponseFile, "/mics/bad.txt",
         "Microphone response: /mics/bad.txt: line 2: the frequencies do not rise; it stays "
         "none."},
        {&TSoundLevelControls::ResponseFile, "/mics/good.txt", nullptr},
        {&TSoundLevelControls::Sensitivity, "114.5", nullptr},
        {&TSoundLevelControls::Sensitivity, "", nullptr},
    };
    for (const Entry& e : entries) {
        SCOPED_TRACE(e.text);
        dialog.FormShow();
        const TSoundLevelControls shown = dialog.controls();
        const TMeterSettings before = h.app.settings();
        h.dialogs.messages.clear();
        dialog.controls().*e.field = e.text;
        dialog.OKClick();
        if (e.reason != nullptr) {
            EXPECT_FALSE(dialog.closed());
            ASSERT_EQ(h.dialogs.messages.size(), 1u);
            EXPECT_NE(h.dialogs.messages[0].text.find(e.reason), std::string::npos)
                << h.dialogs.messages[0].text;
            EXPECT_EQ(dialog.controls().*e.field, shown.*e.field) << "the last value is back";
            EXPECT_EQ(h.app.settings().SplLimit, before.SplLimit);
            EXPECT_EQ(h.app.settings().SplSensitivity, before.SplSensitivity);
            EXPECT_EQ(h.app.settings().SplResponseFile, before.SplResponseFile);
            continue;
        }
        EXPECT_TRUE(dialog.closed());
        EXPECT_TRUE(h.dialogs.messages.empty());
    }
    EXPECT_EQ(saves, 7);
    EXPECT_EQ(h.app.settings().SplLimit, 0.0);
    EXPECT_EQ(h.app.settings().SplLogFolder, "/shows");
    EXPECT_EQ(h.app.settings().SplResponseFile, "/mics/good.txt");
    ASSERT_NE(h.app.MicResponseInUse(), nullptr);
    EXPECT_EQ(h.app.MicResponseInUse()->points.size(), 2u);
    EXPECT_EQ(h.app.settings().SplCriterion, 90.0);
    // Emptied, the sensitivity stays empty in the store too.
    EXPECT_FALSE(h.app.settings().SplSensitivity.has_value());
    EXPECT_EQ(StoredSensitivity(h), 0.0);
    EXPECT_FALSE(ReadSensitivity(*h.store.OpenOrCreate(SettingsKeyPathFor(1)), kInput));
    const CalibrationHistory history = ParseCalibrationHistory(h.files.contents[kHistory]);
    ASSERT_EQ(history.records.size(), 1u);
    EXPECT_EQ(history.records[0].method, CalibrationMethod::kManual);
    EXPECT_EQ(history.records[0].sensitivityDb, 114.5);

    // A field left as shown keeps the setting as it is, finer than it shows.
    h.app.settings().SplSensitivity = 120.3712;
    dialog.FormShow();
    EXPECT_EQ(dialog.controls().Sensitivity, "120.37");
    dialog.OKClick();
    EXPECT_EQ(h.app.settings().SplSensitivity, 120.3712);
    EXPECT_EQ(ParseCalibrationHistory(h.files.contents[kHistory]).records.size(), 1u);
}

// The window's big figure is the one the settings choose: on a 63 Hz tone at
// -20 dBFS each reads the tone through its own weighting (IEC 61672-1 Table 3:
// A -26.2 dB, C -0.8 dB), the peak 3 dB above the C-weighted level.
TEST(SoundLevelDesktop, TheBigFigureIsTheChosenOne) {
    constexpr double kA = -26.2;
    constexpr double kC = -0.8;
    constexpr double kPeak = 3.0;
    const struct {
        SplBigFigure figure;
        const char* caption;
        double reads;
    } figures[] = {
        {SplBigFigure::kLaf, "LAF", -20.0 + kA},
        {SplBigFigure::kLas, "LAS", -20.0 + kA},
        {SplBigFigure::kLcf, "LCF", -20.0 + kC},
        {SplBigFigure::kLzf, "LZF", -20.0},
        {SplBigFigure::kLaeqT, "LAeq,15min", -20.0 + kA},
        {SplBigFigure::kLceqT, "LCeq,15min", -20.0 + kC},
        {SplBigFigure::kLcpeak, "LCpeak", -20.0 + kC + kPeak},
    };
    for (const auto& f : figures) {
        fakes::AppHarness h;
        TMeterSettings stored = fakes::PlainLevelSettings();
        stored.SplBigFigure = static_cast<int32_t>(f.figure);
        h.Create(stored);
        std::string error;
        ASSERT_TRUE(h.app.MeasureSoundLevel(kSampleRate, 2, true, error)) << error;
        TSoundLevelView view(h.app, U'.');
        Tone(h, 63.0).Play(-20.0, 6.0);
        const TSoundLevelViewState& s = view.Update();
        EXPECT_EQ(s.bigCaption, f.caption);
        EXPECT_NEAR(std::stod(s.big), f.reads, 0.3) << f.caption;
        EXPECT_EQ(s.description.rfind(std::string(f.caption) + " " + s.big, 0), 0u)
            << s.description;
    }
}

// Bass a venue is held to: a 63 Hz tone reads 73.8 dB(A) and 99.2 dB(C) at
// this sensitivity. Under an LAeq limit of 90 dB the light is green; an LCeq
// limit of 100 dB, 3 dB of warning, turns it amber and says so.
TEST(SoundLevelDesktop, TheLightIsTheWorseOfTheLaeqAndLceqLimits) {
    for (const double cLimit : {0.0, 100.0}) {
        fakes::AppHarness h;
        TMeterSettings stored = fakes::PlainLevelSettings();
        stored.SplSensitivity = 120.0;
        stored.SplLimit = 90.0;
        stored.SplCLimit = cLimit;
        h.Create(stored);
        h.app.EnterSensitivity(120.0);
        std::string error;
        ASSERT_TRUE(h.app.MeasureSoundLevel(kSampleRate, 2, true, error)) << error;
        TSoundLevelView view(h.app, U'.');
        Tone(h, 63.0).Play(-20.0, 6.0);
        const TSoundLevelViewState& s = view.Update();
        EXPECT_EQ(s.light, cLimit > 0.0 ? LimitLight::kAmber : LimitLight::kGreen);
        EXPECT_EQ(
            s.cLimit.rfind(cLimit > 0.0 ? "C limit 100.0 dB on LCeq,15min: predicted 99." : "", 0),
            0u)
            << s.cLimit;
    }
}

TEST(SoundLevelDesktop, TheWindowShowsLiveFiguresOnlyWhileTheInputDelivers) {
    fakes::AppHarness h;
    h.app.KeepCalibrationHistoryIn(kHistory);
    // Stored for a microphone that is not there: the input opened instead
    // has no calibration of its own.
    TMeterSettings stored = fakes::PlainLevelSettings();
    stored.DeviceName = "USB measurement microphone";
    stored.SplSensitivity = 110.0;
    stored.SplLimit = 90.0;
    h.Create(stored);
    ASSERT_EQ(h.app.settings().DeviceName, kInput);
    std::string error;
    ASSERT_TRUE(h.app.MeasureSoundLevel(kSampleRate, 2, true, error)) << error;
    TSoundLevelView view(h.app, U'.');
    EXPECT_FALSE(view.Update().live) << "nothing measured yet";

    Tone(h).Play(-26.0, 3.1);
    TSoundLevelViewState s = view.Update();
    EXPECT_TRUE(s.live);
    EXPECT_EQ(s.calibration, kUncalibratedText);
    EXPECT_EQ(s.unit, "dBFS");
    EXPECT_NEAR(std::stod(s.big), -26.0, 0.1);
    EXPECT_EQ(s.readings.back().figure, kNoLevelText) << "a dose needs a calibration";
    ASSERT_EQ(s.graphPoints.size(), 3u);
    EXPECT_NEAR(s.graphPoints[1], -26.0, 0.1);

    h.app.EnterSensitivity(120.0);
    s = view.Update();
    EXPECT_EQ(s.calibration, "Sensitivity 120.00 dB, entered 08/12/2026");
    EXPECT_NEAR(std::stod(s.big), 94.0, 0.1);
    EXPECT_NEAR(s.graphPoints[1], 94.0, 0.1) << "the whole test moves with the sensitivity";
    Tone(h).Play(-26.0, 1.0);
    // 94 dB against 90 dB: within the first 15 minutes a warning, as a
    // breach is likely but not yet certain.
    EXPECT_EQ(view.Update().light, LimitLight::kAmber);
    // Settings confirmed unchanged leave the limit's window as it stands.
    h.app.ApplySoundLevelSettings();
    s = view.Update();
    EXPECT_EQ(s.light, LimitLight::kAmber);
    EXPECT_FALSE(s.prediction.empty());
    EXPECT_TRUE(s.lightFrame) << "a limit frames the window in its light by default";

    h.AdvanceTo(h.Elapsed() + kLiveFiguresMs + 100);
    s = view.Update();
    EXPECT_FALSE(s.live);
    EXPECT_EQ(s.liveText, kNoInputText);
    EXPECT_EQ(s.big, kNoLevelText);
    EXPECT_EQ(s.light, LimitLight::kOff);
    EXPECT_FALSE(s.lightFrame) << "no frame of a light that is off";
    EXPECT_TRUE(s.prediction.empty());
    EXPECT_NEAR(std::stod(s.laeq), 94.0, 0.1) << "the test's figures stay, marked stale";
}

// The window's per-second log is the logger's day log, in a folder it holds
// alone: refused while another program holds it, written once it is free
// (a row a second, its LAeq that of the tone), into a file of other columns
// once a calibration makes the levels sound pressure levels, with the
// limits' lights as the logger's alarms name them, and the folder let go
// when no log is asked for.
TEST(SoundLevelDesktop, TheWindowWritesTheLoggersDayLogInAFolderItHoldsAlone) {
    fakes::AppHarness h;
    TMeterSettings stored = fakes::PlainLevelSettings();
    stored.SplLogFolder = "/shows";
    h.Create(stored);
    std::string error;
    ASSERT_TRUE(h.app.MeasureSoundLevel(kSampleRate, 2, true, error)) << error;
    fakes::FakeRowFiles rows;
    rows.claimed.insert("/shows");  // a logger writes there
    WindowDayLog log(h.app, h.clock, h.timers, rows, h.dialogs);
    h.app.SetBlockObserver([&log] { log.AddBlock(); });  // as the main window gives them
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].text.rfind("No sound level log is written: /shows", 0), 0u);
    Tone tone(h);
    tone.Play(-20.0, 2.0);
    EXPECT_TRUE(rows.contents.empty());

    rows.claimed.clear();  // the logger has stopped
    h.app.settings().SplLogFolder = "/shows/tonight";
    tone.Play(-20.0, 4.0);
    EXPECT_EQ(log.Folder(), "/shows/tonight");
    EXPECT_EQ(rows.claimed.count("/shows/tonight"), 1u);
    ASSERT_EQ(rows.contents.size(), 1u);
    const std::string day = rows.contents.begin()->first;
    std::vector<std::string> lines = rows.Lines(day);
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[0] + "\n", kDailyLogHeaderWithUncalibratedSoundLevel);
    for (size_t i = 2; i < lines.size(); ++i) {  // the first row is part of a second
        std::vector<std::string> fields;
        std::stringstream in(lines[i]);
        for (std::string f; std::getline(in, f, ',');) {
            fields.push_back(f);
        }
        ASSERT_GE(fields.size(), 8u) << lines[i];
        EXPECT_NEAR(std::stod(fields[7]), -20.0, 0.1) << lines[i];
    }

    h.app.EnterSensitivity(100.0);
    h.app.settings().SplCLimit = 82.0;  // the tone's 80 dB is within its 3 dB warning
    h.app.ApplySoundLevelSettings();
    tone.Play(-20.0, 3.0);
    ASSERT_EQ(rows.contents.size(), 2u) << "sound pressure levels never join a file of others";
    for (const auto& [path, text] : rows.contents) {
        if (path != day) {
            EXPECT_EQ(text.rfind(kDailyLogHeaderWithSoundLevel, 0), 0u) << path;
            EXPECT_NE(text.find(",80.0,"), std::string::npos) << text;
            EXPECT_NE(text.find(",spl-c-warn\n"), std::string::npos) << text;
        }
    }

    h.app.settings().SplLogFolder.clear();
    tone.Play(-20.0, 0.5);
    EXPECT_TRUE(rows.claimed.empty());
    EXPECT_EQ(log.Folder(), "");
}

// The Spectrum window's bars as its keys choose them: each tone stands in its
// own band, at its level through the chosen weighting (IEC 61672-1 Table 3:
// A -16.1 dB at 125 Hz, C -0.8 dB at 63 Hz), and the band the focus was
// moved to is read out with the reading, the maximum under max hold, and
// "uncalibrated" where there is no sensitivity. The bands are the window's
// own: those the day log writes are not made.
TEST(SoundLevelDesktop, TheSpectrumShowsEachToneInItsBandAsTheKeysChoose) {
    const struct {
        bool octaves;
        SpectrumWeighting weighting;
        SpectrumReading reading;
        std::optional<double> sensitivity;
        bool maxHold;
        double hz;
        int moves;  // from 1 kHz
        const char* bar;
        double reads;
        const char* readout;  // every figure with a decimal point as #
        const char* caption;
    } cases[] = {
        {false, SpectrumWeighting::kZ, SpectrumReading::kFast, std::nullopt, false, 1000.0, 0,
         "1000", -20.0, "1000 Hz: # dB(Z) F (uncalibrated)",
         "1/3 octave, Fast (F), Z-weighted, dB re full scale, uncalibrated"},
        {true, SpectrumWeighting::kA, SpectrumReading::kSlow, 120.0, false, 125.0, -3, "125",
         100.0 - 16.1, "125 Hz: # dB(A) S", "Octave, Slow (S), A-weighted, dB SPL"},
        {false, SpectrumWeighting::kC, SpectrumReading::kLeq, 100.0, true, 63.0, -12, "63",
         80.0 - 0.8, "63 Hz: # dB(C) Leq, max #",
         "1/3 octave, Leq over 0:06, C-weighted, max hold, dB SPL"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        fakes::AppHarness h;
        h.Create(fakes::PlainLevelSettings());
        if (c.sensitivity) {
            h.app.EnterSensitivity(*c.sensitivity);
        }
        h.app.MeasureSpectrum();
        TSpectrumView view(h.app, U'.');
        if (c.octaves) {
            view.SwitchBands();
        }
        view.ChooseWeighting(c.weighting);
        view.ChooseReading(c.reading);
        if (c.maxHold) {
            view.SwitchMaxHold();
        }
        Tone(h, c.hz).Play(-20.0, 6.0);
        view.MoveFocus(c.moves);
        const TSpectrumViewState& s = view.Update();
        EXPECT_EQ(h.app.Bands(), nullptr);
        ASSERT_FALSE(s.bars.empty());
        const SpectrumBar& bar = s.bars[s.focus];
        EXPECT_EQ(bar.nominal, c.bar);
        EXPECT_NEAR(bar.level, c.reads, 0.3);
        EXPECT_EQ(s.loudest.rfind("Loudest band " + std::string(c.bar) + " Hz, ", 0), 0u)
            << s.loudest;
        EXPECT_EQ(std::regex_replace(s.readout, std::regex("-?[0-9]+\\.[0-9]"), "#"), c.readout)
            << s.readout;
        EXPECT_NEAR(std::stod(s.readout.substr(s.readout.find(": ") + 2)), c.reads, 0.3);
        if (c.maxHold) {
            EXPECT_NEAR(bar.maxHold, c.reads, 0.3);
        }
        EXPECT_EQ(s.caption, c.caption);
        EXPECT_NE(s.description.find(s.readout), std::string::npos) << s.description;
        EXPECT_NE(s.description.find(s.loudest), std::string::npos) << s.description;
    }
}

// The focus keeps to the bars and to its frequency across a change of
// width; the pointer reads out its own bar; F stands blank once the input
// is lost; a reset starts the Leq again; and the window's bands go when it
// closes.
TEST(SoundLevelDesktop, TheSpectrumFocusKeepsToTheBarsAndTheFiguresToTheInput) {
    fakes::AppHarness h;
    h.Create(fakes::PlainLevelSettings());
    h.app.MeasureSpectrum();
    TSpectrumView view(h.app, U'.');
    Tone tone(h);
    tone.Play(-20.0, 2.0);
    const struct {
        std::function<void()> key;
        const char* focus;  // the bar in focus after it
    } steps[] = {
        {[] {}, "1000"},
        {[&] { view.MoveFocus(1); }, "1250"},
        {[&] { view.SwitchBands(); }, "1000"},
        {[&] { view.MoveFocus(100); }, "8000"},
        {[&] { view.MoveFocus(1); }, "8000"},
        {[&] { view.FocusEnd(false); }, "31.5"},
        {[&] { view.MoveFocus(-1); }, "31.5"},
        {[&] { view.SwitchBands(); }, "31.5"},
        {[&] { view.MoveFocus(-100); }, "25"},
    };
    for (const auto& step : steps) {
        step.key();
        const TSpectrumViewState& s = view.Update();
        ASSERT_LT(s.focus, s.bars.size());
        EXPECT_EQ(s.bars[s.focus].nominal, step.focus);
        EXPECT_EQ(s.readout.rfind(std::string(step.focus) + " Hz: ", 0), 0u) << s.readout;
    }
    view.PointAt(2);
    EXPECT_EQ(view.Update().readout.rfind(view.state().bars[2].nominal + " Hz: ", 0), 0u);
    view.PointAt(std::nullopt);
    view.FocusEnd(false);
    view.MoveFocus(16);  // 1 kHz

    tone.Play(-20.0, 2.0);
    EXPECT_NEAR(view.Update().bars[view.state().focus].level, -20.0, 0.3);
    h.AdvanceTo(h.Elapsed() + kLiveFiguresMs + 100);
    TSpectrumViewState s = view.Update();
    EXPECT_FALSE(s.live);
    EXPECT_EQ(s.readout.rfind("1000 Hz: " + kNoLevelText + " dB(Z) F", 0), 0u) << s.readout;
    EXPECT_EQ(s.description.rfind("No input. ", 0), 0u) << s.description;

    view.ChooseReading(SpectrumReading::kLeq);
    EXPECT_NEAR(view.Update().bars[view.state().focus].level, -20.0, 0.3)
        << "the Leq of what was measured stays";
    view.Reset();
    s = view.Update();
    EXPECT_EQ(s.bars[s.focus].level, -INFINITY);
    EXPECT_NE(s.caption.find("Leq over 0:00"), std::string::npos) << s.caption;

    h.app.StopSpectrum();
    s = view.Update();
    EXPECT_TRUE(s.bars.empty());
    EXPECT_EQ(s.description, "The spectrum is not measured.");
}

}  // namespace
}  // namespace tarnwick
