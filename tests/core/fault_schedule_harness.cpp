#include "tests/core/fault_schedule_harness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <limits>
#include <memory>
#include <optional>
#include <sstream>
#include <tuple>

#include "app/daily_log.h"
#include "core/level_math.h"
#include "tests/core/fakes.h"
#include "tests/core/faulty_wave_input.h"
#include "tests/core/logger_fakes.h"
#include "tools/logger/logger_session.h"

namespace tarnwick {
namespace {

using fakes::FaultyWaveInput;

constexpr double kSensitivityDb = 100.0;
constexpr const char* kLogDir = "/var/log/tarnwick";
constexpr const char* kResultsPath = "/data/hall.csv";
// The session looks at the wall clock every 100 ms: a block may go into the
// row of the second before its own by that much.
constexpr int64_t kRowLateMs = LoggerSession::kSecondCheckMs + 20;
// How long after the last live block a window's figure may still show, and a
// gauge serve it (the row gathered now and the one written before it).
constexpr uint64_t kWindowLiveMs = kLiveFiguresMs + kLiveCheckMs + 5;
constexpr uint64_t kGaugeLiveMs = 2 * 1000 + kRowLateMs + 50;
// The longest the loop may go without telling the service manager it lives.
constexpr uint64_t kLongestPingGapMs = 1000 + LoggerSession::kSecondCheckMs + 20;
// And without a row, while the clock is not behind the rows written; the
// harness looks every 100 ms at least.
constexpr uint64_t kLongestRowGapMs = kLongestPingGapMs + 100;
// Figures of a steady signal read within this of its level, in dB (one
// decimal in rows and metrics); a peak figure never above it by more.
constexpr double kLevelToleranceDb = 0.15;
constexpr double kJoinToleranceDb = 0.1;
// Gauges of seconds have one decimal.
constexpr double kGaugeRoundingS = 0.051;

// The level of the steady sine as figures read it, from its amplitude alone.
struct Expected {
    int32_t peakAmplitude = 0;  // of the 16-bit samples
    double peakReadoutDb = 0.0;
    double laeqDb = 0.0;    // A at 1 kHz is 0 dB: the sine's own level
    double lcpeakDb = 0.0;  // its peak, 3.01 dB above its level
    double truePeakDb = 0.0;
    double momentaryLufs = 0.0;
};

bool IsNotLive(const std::string& text) {
    return text == kNotLiveReadout;
}

std::optional<double> Number(std::string text) {
    std::replace(text.begin(), text.end(), ',', '.');
    if (text.empty() || text == "NaN") {
        return std::nullopt;
    }
    if (text == "-inf" || text == "-Inf") {
        return -std::numeric_limits<double>::infinity();
    }
    try {
        return std::stod(text);
    } catch (...) {
        return std::nullopt;
    }
}

std::vector<std::string> Fields(const std::string& row) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream in(row);
    while (std::getline(in, field, ',')) {
        fields.push_back(field);
    }
    if (!row.empty() && row.back() == ',') {
        fields.emplace_back();
    }
    return fields;
}

// The value of a line "name value" of the metrics text; nullopt for NaN or
// none.
std::optional<double> Gauge(const std::string& metrics, const std::string& name) {
    const size_t at = metrics.find("\n" + name + " ");
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const size_t from = at + name.size() + 2;
    return Number(metrics.substr(from, metrics.find('\n', from) - from));
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class ScheduleRun {
public:
    explicit ScheduleRun(const FaultSchedule& schedule)
        : f_(schedule),
          clock_(5'000'000, fakes::At(2026, 12, 10, 13, 33, 50)),
          timers_(clock_),
          commands_(clock_),
          service_(&clock_) {}

    FaultScheduleResult Run() {
        Start();
        for (const FaultStep& step : f_.steps) {
            RunStep(step);
        }
        Finish();
        result_.simulatedMs = clock_.ElapsedMs();
        return result_;
    }

private:
    MeterApp& App() { return session_ != nullptr ? session_->app() : *app_; }
    bool Logger() const { return f_.program == ScheduledProgram::kLogger; }

    void Break(MeasurementRule rule, const std::string& what) {
        if (result_.breaks.size() < 20) {
            result_.breaks.push_back({rule, clock_.ElapsedMs(), what});
        }
    }

    // --- Running ------------------------------------------------------------

    TMeterSettings Settings() const {
        TMeterSettings s = fakes::PlainLevelSettings();
        s.Sweep = f_.sweepS;
        DeriveLoadedValues(s);
        s.DeviceName = FaultyWaveInput::kName;
        if (f_.calibrated) {
            s.SplSensitivity = kSensitivityDb;
        }
        return s;
    }

    void Start() {
        wave_.present = !f_.missingAtStart;
        wave_.nextPhase = f_.steps.empty() ? 0 : f_.steps.front().phase;
        commands_.onRun = [this](const AlarmChange& change) { CommandRan(change); };
        const TMeterSettings settings = Settings();
        if (Logger()) {
            LoggerOptions o;
            o.logDir = kLogDir;
            o.soundLevel = f_.soundLevel;
            if (f_.resultsFile) {
                o.resultsFile = kResultsPath;
            }
            session_ = std::make_unique<LoggerSession>(
                LoggerSessionPorts{MeterPorts{clock_, timers_, wave_, output_, formats_, dialogs_,
                                              process_, store_, files_, shell_, images_, nullptr},
                                   rows_, commands_, service_,
                                   [this](std::string text) {
                                       metrics_ = std::move(text);
                                       publishMs_.push_back(clock_.ElapsedMs());
                                   }},
                o);
            if (!session_->Start(1, settings)) {
                Break(MeasurementRule::kFreshOrEmpty, "the session did not start");
            }
        } else {
            app_ = std::make_unique<MeterApp>(MeterPorts{clock_, timers_, wave_, output_, formats_,
                                                         dialogs_, process_, store_, files_, shell_,
                                                         images_, nullptr});
            app_->KeepMeasuringThroughALostInput();
            app_->KeepNoTestAudio();  // nothing here is replayed
            app_->FormCreate(1, settings);
            app_->FormShow();
            std::string error;
            if (f_.loudness) {
                app_->MeasureLoudness(kSampleRate, true);
            }
            if (f_.soundLevel && !app_->MeasureSoundLevel(kSampleRate, 2, true, error)) {
                Break(MeasurementRule::kFreshOrEmpty, "sound level not measured: " + error);
            }
            app_->StartStopButtonClick();
        }
        const TMeterSettings& s = App().settings();
        blockMs_ = (s.BlockBytes / kBytesPerFrame) * 1000.0 / kSampleRate;
        nextDueMs_ = blockMs_;
        ComputeExpected();
        Observe();
    }

    void ComputeExpected() {
        const TMeterSettings& s = App().settings();
        int32_t peak = 0;
        for (int i = 0; i < FaultyWaveInput::kPeriodFrames; ++i) {
            const double v =
                std::sin(2.0 * std::numbers::pi * 10.0 * i / FaultyWaveInput::kPeriodFrames);
            peak = std::max(peak, static_cast<int32_t>(std::abs(
                                      std::lround(FaultyWaveInput::kAmplitude * 32767 * v))));
        }
        e_.peakAmplitude = peak;
        e_.peakReadoutDb = ReadoutDb(peak, s.Calibration, s.DisplayOffset);
        const double level = 20.0 * std::log10(FaultyWaveInput::kAmplitude);
        const double sensitivity = f_.calibrated ? kSensitivityDb : 0.0;
        e_.laeqDb = level + sensitivity;
        e_.lcpeakDb = level + 10.0 * std::log10(2.0) + sensitivity;
        e_.truePeakDb = 20.0 * std::log10(peak / 32768.0);
        e_.momentaryLufs = SteadyMomentaryLufs();
    }

    // Momentary loudness of the steady sine, measured once for every run.
    static double SteadyMomentaryLufs() {
        static const double lufs = [] {
            LoudnessMeter reference(kSampleRate);
            std::vector<float> x(2 * kSampleRate);
            for (size_t i = 0; i < kSampleRate; ++i) {
                const double v = FaultyWaveInput::kAmplitude *
                                 std::sin(2.0 * std::numbers::pi * 1000.0 * i / kSampleRate);
                x[2 * i] = x[2 * i + 1] = static_cast<float>(v);
            }
            reference.AddSamples(x.data(), kSampleRate);
            return reference.Momentary();
        }();
        return lufs;
    }

    void RunStep(const FaultStep& step) {
        wave_.nextPhase = step.phase;
        staleMs_ = step.staleMs;
        switch (step.kind) {
            case StepKind::kStall:
                suspended_ = true;
                break;
            case StepKind::kFail:
                wave_.Fail("the sound server went away");
                wave_.present = false;
                break;
            case StepKind::kRefuseOpen:
                wave_.Fail("the device was unplugged");
                wave_.refuseOpen = true;
                break;
            case StepKind::kBurst:
                holding_ = true;
                owed_ = 0;
                break;
            case StepKind::kSuspend:
                suspended_ = true;
                skipping_ = true;
                break;
            case StepKind::kClockBack:
            case StepKind::kClockForward: {
                const int64_t ms = step.kind == StepKind::kClockBack ? -step.clockMs : step.clockMs;
                clock_.JumpWallClock(ms);
                lastClockStepMs_ = clock_.ElapsedMs();
                if (step.kind == StepKind::kClockBack) {
                    ++clockBacks_;
                } else if (step.clockMs / 1000 - 1 > LoggerSession::kLongestFilledStepS) {
                    ++longClockForwards_;
                }
                break;
            }
            case StepKind::kSave:
                App().SaveResultsNow();
                saved_ = true;
                periodRestarted_ = true;
                break;
            case StepKind::kDeleteResults:
                files_.contents.erase(kResultsPath);
                resultsSeen_.clear();
                saved_ = false;
                break;
            case StepKind::kDeliver:
                break;
        }
        Observe();
        RunFor(step.ms);
        suspended_ = false;
        skipping_ = false;
        wave_.present = true;
        wave_.refuseOpen = false;
        if (holding_) {
            holding_ = false;
            const int64_t owed = owed_;
            const int64_t blockFrames = App().settings().BlockBytes / kBytesPerFrame;
            for (int64_t i = 0; i < owed && Deliver((owed - 1 - i) * blockFrames); ++i) {
            }
            Observe();
        }
    }

    void RunFor(uint32_t ms) {
        const double end = static_cast<double>(clock_.ElapsedMs()) + ms;
        for (;;) {
            const double next =
                std::min({nextDueMs_, static_cast<double>(clock_.ElapsedMs()) + 100.0, end});
            timers_.AdvanceTo(static_cast<uint64_t>(next));
            if (next >= nextDueMs_) {
                nextDueMs_ += blockMs_;
                if (holding_) {
                    ++owed_;
                } else if (skipping_) {
                    wave_.Skip(App().settings().BlockBytes / kBytesPerFrame);
                } else if (!suspended_) {
                    Deliver();
                }
            }
            DeliverStaleWhenDue();
            Observe();
            if (next >= end) {
                return;
            }
        }
    }

    // One block of the open stream, if it runs.
    bool Deliver(int64_t framesWaiting = 0) {
        const int streamBefore = wave_.streams;
        if (streamBefore != stream_) {
            stream_ = streamBefore;
            streamAudioMs_ = 0.0;
        }
        BlockSeen seen{clock_.NowZoned().utcMs, epoch_};
        if (!wave_.DeliverOne(framesWaiting)) {
            return false;
        }
        ++result_.audioBlocks;
        lastLiveBlockMs_ = clock_.ElapsedMs();
        // The meters settle on the audio of a stream, not on the time it
        // stood open: a stall or a suspension gives them nothing.
        streamAudioMs_ += blockMs_;
        longestStreamMs_ = std::max(longestStreamMs_, streamAudioMs_);
        blocks_.push_back(seen);
        if (blocks_.size() > 4000) {
            blocks_.pop_front();
        }
        return true;
    }

    void DeliverStaleWhenDue() {
        if (wave_.stale.empty()) {
            staleSinceMs_.reset();
            return;
        }
        if (!staleSinceMs_) {
            staleSinceMs_ = clock_.ElapsedMs();
        }
        if (clock_.ElapsedMs() - *staleSinceMs_ >= staleMs_) {
            wave_.DeliverStale();
            staleSinceMs_.reset();
        }
    }

    void Finish() {
        Observe();
        CheckJoinsLeftNoTrace();
        CheckUncalibratedSaysSo();
        if (session_ != nullptr) {
            session_->Stop();
        }
    }

    // --- Checks after every step --------------------------------------------

    void Observe() {
        const uint64_t now = clock_.ElapsedMs();
        const InputWatch* watch = App().inputWatch();
        // Back means audio: the owner takes the input for open only while it
        // is the stream it opened at the start, or a reopened one that
        // delivered.
        if (watch != nullptr && !watch->Lost() && lossSeen_ && wave_.streamBlocks == 0) {
            Break(MeasurementRule::kBackMeansAudio,
                  "the input reads open, yet its reopened stream delivered nothing");
        }
        if (watch != nullptr && watch->Lost()) {
            lossSeen_ = true;
        }
        ObserveMessages();
        if (Logger()) {
            ObserveRows();
            ObserveMetrics(now);
            ObserveLiveness(now);
            ObserveResultsFile();
        } else {
            ObserveWindow(now);
        }
    }

    void ObserveMessages() {
        const InputWatch* watch = App().inputWatch();
        for (; messagesSeen_ < dialogs_.messages.size(); ++messagesSeen_) {
            const fakes::FakeDialogs::Message& m = dialogs_.messages[messagesSeen_];
            if (!Logger() && m.text == kInputLostMessage) {
                Break(MeasurementRule::kMessagesEndWithTheirCause,
                      "the window told of a lost input with a message that holds the keys");
            }
            if (m.caption == "Input") {
                const bool lost = Contains(m.text, " lost (");
                if (lost == inputToldLost_) {
                    Break(MeasurementRule::kMessagesEndWithTheirCause,
                          "two input messages of one kind in a row: " + m.text);
                }
                inputToldLost_ = lost;
            } else if (m.caption == "Clock") {
                if (Contains(m.text, "set back")) {
                    ++clockBackMessages_;
                } else {
                    ++clockForwardMessages_;
                }
                clockMessageMs_ = clock_.ElapsedMs();
            }
        }
        if (Logger()) {
            if (watch != nullptr && !watch->Lost() && inputToldLost_) {
                Break(MeasurementRule::kMessagesEndWithTheirCause,
                      "the input is back, its last message still says lost");
            }
        } else if (watch != nullptr && watch->Lost() == dialogs_.notices.empty()) {
            Break(MeasurementRule::kMessagesEndWithTheirCause,
                  watch->Lost() ? "the input is lost without its notice"
                                : "the lost input's notice stands after the input is back");
        }
    }

    void CommandRan(const AlarmChange& change) {
        if (change.kind == AlarmKind::kInputLost && !change.set && wave_.streamBlocks == 0) {
            Break(MeasurementRule::kBackMeansAudio,
                  "input-lost cleared while the reopened stream delivered nothing");
        }
    }

    // Whether a live block came with a wall time in [fromMs, toMs] of the
    // timeline of `epoch`.
    bool BlockBetween(int64_t fromMs, int64_t toMs, int epoch) const {
        return std::any_of(blocks_.begin(), blocks_.end(), [&](const BlockSeen& b) {
            return b.epoch == epoch && b.wallMs >= fromMs && b.wallMs <= toMs;
        });
    }

    void ObserveRows() {
        const bool nearStep = clock_.ElapsedMs() - lastClockStepMs_ < 300 ||
                              clock_.ElapsedMs() - clockMessageMs_ < 300;
        for (; rowsSeen_ < rows_.appended.size(); ++rowsSeen_) {
            const std::string& row = rows_.appended[rowsSeen_];
            const std::vector<std::string> fields = Fields(row.substr(0, row.size() - 1));
            const std::optional<int64_t> second =
                fields.empty() ? std::nullopt : ParseRowSecond(fields[0], 0);
            if (!second) {
                Break(MeasurementRule::kTimeMovesOn, "a row without a time: " + row);
                continue;
            }
            if (lastRowSecond_) {
                if (*second <= *lastRowSecond_) {
                    Break(MeasurementRule::kTimeMovesOn,
                          "a second written twice or out of order: " + fields[0]);
                } else if (*second != *lastRowSecond_ + 1) {
                    // Each clock set forward beyond what is filled may leave
                    // one gap, and says so.
                    if (forwardGaps_ >= clockForwardMessages_) {
                        Break(MeasurementRule::kTimeMovesOn,
                              "seconds missing before " + fields[0] + " without a word");
                    }
                    ++forwardGaps_;
                }
            }
            lastRowSecond_ = second;
            lastRowMs_ = clock_.ElapsedMs();
            CheckRowFigures(*second, fields, nearStep);
        }
        // A clock set back is told the moment the session sees it, and the
        // timeline of blocks starts again with it.
        if (clockBackMessages_ != epochsTold_) {
            epochsTold_ = clockBackMessages_;
            ++epoch_;
        }
    }

    void CheckRowFigures(int64_t second, const std::vector<std::string>& fields, bool nearStep) {
        const bool soundLevel = f_.soundLevel;
        const size_t expected = soundLevel ? 13 : 9;
        if (fields.size() != expected) {
            Break(MeasurementRule::kFreshOrEmpty,
                  "a row of " + std::to_string(fields.size()) + " fields: " + fields[0]);
            return;
        }
        const bool figures = !fields[1].empty();
        const int64_t start = second * kMsPerSecond;
        if (!nearStep) {
            if (figures && !BlockBetween(start, start + kMsPerSecond + kRowLateMs, epoch_)) {
                Break(MeasurementRule::kFreshOrEmpty,
                      "row " + fields[0] + " has figures, yet no live block came in it");
            }
            if (!figures && BlockBetween(start + kRowLateMs, start + kMsPerSecond - 1, epoch_)) {
                Break(MeasurementRule::kFreshOrEmpty,
                      "row " + fields[0] + " is empty, yet live blocks came in it");
            }
        }
        if (!figures) {
            for (size_t i = 1; i + 2 < fields.size(); ++i) {
                if (!fields[i].empty()) {
                    Break(MeasurementRule::kFreshOrEmpty,
                          "row " + fields[0] + " mixes empty and given figures");
                }
            }
            return;
        }
        const auto near = [&](size_t i, double level, const char* name) {
            const std::optional<double> v = Number(fields[i]);
            if (!v || std::fabs(*v - level) > kLevelToleranceDb) {
                Break(MeasurementRule::kFreshOrEmpty,
                      std::string("row ") + fields[0] + " " + name + " " + fields[i] +
                          ", the input's level is " + std::to_string(level));
            }
        };
        const auto notAbove = [&](size_t i, double level, const char* name, MeasurementRule rule) {
            const std::optional<double> v = Number(fields[i]);
            if (!v || *v > level + kLevelToleranceDb) {
                Break(rule, std::string("row ") + fields[0] + " " + name + " " + fields[i] +
                                " above the input's " + std::to_string(level));
            }
        };
        near(1, e_.peakReadoutDb, "left peak");
        near(2, e_.peakReadoutDb, "right peak");
        notAbove(5, e_.momentaryLufs, "momentary", MeasurementRule::kFreshOrEmpty);
        if (soundLevel) {
            if (fields[7].empty()) {
                Break(MeasurementRule::kFreshOrEmpty,
                      "row " + fields[0] + " has blocks but no sound level");
                return;
            }
            notAbove(7, e_.laeqDb + 0.2, "LAeq", MeasurementRule::kFreshOrEmpty);
            notAbove(8, e_.laeqDb, "LAFmax", MeasurementRule::kJoinsLeaveNoTrace);
            notAbove(9, e_.lcpeakDb, "LCpeak", MeasurementRule::kJoinsLeaveNoTrace);
        }
    }

    void ObserveMetrics(uint64_t now) {
        if (metrics_.empty()) {
            return;
        }
        const bool recent = now - lastLiveBlockMs_ <= kGaugeLiveMs && lastLiveBlockMs_ > 0;
        if (const std::optional<double> peak = Gauge(metrics_, "tarnwick_peak_db")) {
            if (!recent) {
                Break(MeasurementRule::kFreshOrEmpty,
                      "the peak gauge serves " + std::to_string(*peak) +
                          " with no live block for " + std::to_string(now - lastLiveBlockMs_) +
                          " ms");
            } else if (std::fabs(*peak - e_.peakReadoutDb) > kLevelToleranceDb) {
                Break(MeasurementRule::kFreshOrEmpty,
                      "the peak gauge serves " + std::to_string(*peak));
            }
        }
        if (const std::optional<double> since =
                Gauge(metrics_, "tarnwick_seconds_since_last_block");
            since && lastLiveBlockMs_ > 0 && publishMs_.back() >= lastLiveBlockMs_ &&
            *since + kGaugeRoundingS < (publishMs_.back() - lastLiveBlockMs_) / 1000.0) {
            Break(MeasurementRule::kFreshOrEmpty,
                  "seconds since the last block read " + std::to_string(*since) + ", yet " +
                      std::to_string(publishMs_.back() - lastLiveBlockMs_) + " ms passed");
        }
        const InputWatch* watch = App().inputWatch();
        if (Gauge(metrics_, "tarnwick_input_open").value_or(0.0) == 1.0 && lossSeen_ &&
            wave_.streamBlocks == 0 && watch != nullptr) {
            Break(MeasurementRule::kBackMeansAudio,
                  "the input gauge reads open while the reopened stream delivered nothing");
        }
        if (f_.soundLevel) {
            const std::string key = "tarnwick_laeq_db{window=\"1s\"} ";
            const size_t at = metrics_.find(key);
            if (at != std::string::npos) {
                const size_t from = at + key.size();
                const std::optional<double> laeq =
                    Number(metrics_.substr(from, metrics_.find('\n', from) - from));
                if (laeq && (!recent || *laeq > e_.laeqDb + 0.2 + kLevelToleranceDb)) {
                    Break(MeasurementRule::kFreshOrEmpty,
                          "the LAeq gauge serves " + std::to_string(*laeq));
                }
            }
            const std::optional<double> lcpeak = Gauge(metrics_, "tarnwick_lcpeak_db");
            if (lcpeak && *lcpeak > e_.lcpeakDb + kLevelToleranceDb) {
                Break(MeasurementRule::kJoinsLeaveNoTrace,
                      "the LCpeak gauge serves " + std::to_string(*lcpeak));
            }
        }
    }

    void ObserveLiveness(uint64_t now) {
        const uint64_t lastPing = service_.pingMs.empty() ? 0 : service_.pingMs.back();
        if (now - lastPing > kLongestPingGapMs) {
            Break(MeasurementRule::kTimeMovesOn,
                  "no watchdog ping for " + std::to_string(now - lastPing) + " ms");
        }
        const uint64_t lastPublish = publishMs_.empty() ? 0 : publishMs_.back();
        if (now - lastPublish > kLongestPingGapMs) {
            Break(MeasurementRule::kTimeMovesOn,
                  "no metrics for " + std::to_string(now - lastPublish) + " ms");
        }
        // Rows come every second unless the clock stands behind the last one
        // written (set back), until it has caught up.
        const int64_t wallSecond = clock_.NowZoned().utcMs / kMsPerSecond;
        if (lastRowSecond_ && wallSecond <= *lastRowSecond_) {
            lastRowMs_ = now;  // behind: the gap counts from when it has caught up
        }
        if (lastRowMs_ > 0 && now - lastRowMs_ > kLongestRowGapMs) {
            Break(MeasurementRule::kTimeMovesOn,
                  "no row for " + std::to_string(now - lastRowMs_) + " ms");
        }
    }

    void ObserveResultsFile() {
        if (!f_.resultsFile) {
            return;
        }
        const auto it = files_.contents.find(kResultsPath);
        if (it == files_.contents.end()) {
            if (saved_) {
                Break(MeasurementRule::kFilesNeverEmptiedMixedOrShared,
                      "a record was saved, yet the results file is missing");
            }
            return;
        }
        const std::string& now = it->second;
        if (now.rfind(resultsSeen_, 0) != 0) {
            Break(MeasurementRule::kFilesNeverEmptiedMixedOrShared,
                  "the results file lost what it held");
        }
        if (now.rfind("Test Name", 0) != 0) {
            Break(MeasurementRule::kFilesNeverEmptiedMixedOrShared,
                  "the results file does not start with its header");
        }
        resultsSeen_ = now;
        const auto claim = files_.claims.find(kResultsPath);
        if (claim == files_.claims.end() || !claim->second) {
            Break(MeasurementRule::kFilesNeverEmptiedMixedOrShared,
                  "the logger writes its results file without a sole claim");
        }
    }

    void ObserveWindow(uint64_t now) {
        MeterApp& app = App();
        const bool stale = lastLiveBlockMs_ == 0 || now - lastLiveBlockMs_ > kWindowLiveMs;
        const TMainViewState& v = app.view();
        // The peak readout shows a block's peak; the short-term average
        // rises from silence after a start or a join, never above the level.
        for (const auto& [name, text, exact] :
             {std::tuple{"peak readout", &v.PeakDisplay, true},
              std::tuple{"short-term readout", &v.ShortAvglDisplay, false}}) {
            if (text->empty() || IsNotLive(*text)) {
                continue;
            }
            const std::optional<double> shown = Number(*text);
            if (stale) {
                Break(MeasurementRule::kFreshOrEmpty,
                      std::string("the ") + name + " shows " + *text + " with no live block for " +
                          std::to_string(now - lastLiveBlockMs_) + " ms");
            } else if (!shown || *shown > e_.peakReadoutDb + kLevelToleranceDb ||
                       (exact && *shown < e_.peakReadoutDb - kLevelToleranceDb)) {
                Break(MeasurementRule::kFreshOrEmpty,
                      std::string("the ") + name + " shows " + *text);
            }
        }
        if (app.InputLive() &&
            (lastLiveBlockMs_ == 0 || now - lastLiveBlockMs_ >= kLiveFiguresMs)) {
            Break(MeasurementRule::kFreshOrEmpty, "the input reads live without a live block");
        }
        if (app.Loudness() != nullptr && app.LoudnessLive() &&
            app.Loudness()->Momentary() > e_.momentaryLufs + kLevelToleranceDb) {
            Break(MeasurementRule::kFreshOrEmpty,
                  "momentary loudness reads " + std::to_string(app.Loudness()->Momentary()));
        }
        if (app.SoundLevel() != nullptr && app.SoundLevelLive() &&
            app.SoundLevel()->Laf() > e_.laeqDb + kLevelToleranceDb) {
            Break(MeasurementRule::kFreshOrEmpty,
                  "LAF reads " + std::to_string(app.SoundLevel()->Laf()));
        }
    }

    // --- Checks once ----------------------------------------------------------

    void CheckUncalibratedSaysSo() {
        if (!Logger() || !f_.soundLevel) {
            return;
        }
        const bool uncalibrated = !f_.calibrated;
        std::string startLine;
        for (const fakes::FakeDialogs::Message& m : dialogs_.messages) {
            if (m.caption == "Start") {
                startLine = m.text;
            }
        }
        if (Contains(startLine, "uncalibrated") != uncalibrated) {
            Break(MeasurementRule::kUncalibratedSaysSo, "the start-up line: " + startLine);
        }
        const size_t help = metrics_.find("# HELP tarnwick_laeq_db");
        if (help == std::string::npos ||
            Contains(metrics_.substr(help, metrics_.find('\n', help) - help), "uncalibrated") !=
                uncalibrated) {
            Break(MeasurementRule::kUncalibratedSaysSo, "the metrics' help of tarnwick_laeq_db");
        }
        for (const auto& [path, text] : rows_.contents) {
            if (Contains(text.substr(0, text.find('\n')), "uncalibrated") != uncalibrated) {
                Break(MeasurementRule::kUncalibratedSaysSo, "the day log's header of " + path);
            }
        }
    }

    void CheckJoinsLeftNoTrace() {
        MeterApp& app = App();
        const auto within = [&](double value, double expected, double longEnoughMs,
                                const char* name) {
            const bool settled = longestStreamMs_ >= longEnoughMs;
            if (value > expected + kJoinToleranceDb ||
                (settled && value < expected - kJoinToleranceDb)) {
                Break(MeasurementRule::kJoinsLeaveNoTrace,
                      std::string(name) + " " + std::to_string(value) + ", the signal's " +
                          std::to_string(expected) + " (" + std::to_string(wave_.streams) +
                          " streams)");
            }
        };
        if (result_.audioBlocks == 0) {
            return;
        }
        // The sample peak is the results period's: a save or a clock that
        // reached a save time starts it again.
        const bool periodWhole = !periodRestarted_ && clockBacks_ == 0 && lastClockStepMs_ == 0;
        within(AmplitudeToDb(app.statistics().SystemMax, 0.0), AmplitudeToDb(e_.peakAmplitude, 0.0),
               periodWhole ? 0.0 : 1e12, "the sample peak");
        if (const LoudnessMeter* loudness = app.Loudness()) {
            within(loudness->Test().truePeakMax, e_.truePeakDb, 300.0, "the true peak");
        }
        if (const SoundLevelMeter* spl = app.SoundLevel()) {
            const SoundLevelFigures test = spl->Test();
            within(test.lcpeak, e_.lcpeakDb, 300.0, "LCpeak");
            within(test.lafmax, e_.laeqDb, 1000.0, "LAFmax");
        }
    }

    struct BlockSeen {
        int64_t wallMs;
        int epoch;
    };

    const FaultSchedule& f_;
    FaultScheduleResult result_;
    Expected e_;

    FaultyWaveInput wave_;
    fakes::FakeWaveOutput output_;
    fakes::FixedRegionalFormats formats_;
    fakes::FakeDialogs dialogs_;
    fakes::RecordingProcess process_;
    MemorySettingsStore store_;
    fakes::FakeTextFiles files_;
    fakes::FakeShell shell_;
    fakes::FakeImages images_;
    fakes::FakeRowFiles rows_;
    SimulatedClock clock_;
    SimulatedTimers timers_;
    fakes::FakeCommands commands_;
    fakes::FakeService service_;
    std::string metrics_;
    std::vector<uint64_t> publishMs_;
    std::unique_ptr<LoggerSession> session_;
    std::unique_ptr<MeterApp> app_;

    // The input's side.
    double blockMs_ = 25.0;
    double nextDueMs_ = 25.0;
    bool suspended_ = false;
    bool holding_ = false;
    bool skipping_ = false;  // suspended, the source running on
    int64_t owed_ = 0;
    uint32_t staleMs_ = 0;
    std::optional<uint64_t> staleSinceMs_;
    uint64_t lastLiveBlockMs_ = 0;
    int stream_ = 0;
    double streamAudioMs_ = 0.0;    // of the stream now open
    double longestStreamMs_ = 0.0;  // the most audio one stream gave
    std::deque<BlockSeen> blocks_;
    bool lossSeen_ = false;
    // The clock's side.
    int epoch_ = 0;
    int epochsTold_ = 0;
    int clockBacks_ = 0;
    int longClockForwards_ = 0;
    uint64_t lastClockStepMs_ = 0;
    uint64_t clockMessageMs_ = 0;
    // What was seen of the outputs.
    size_t rowsSeen_ = 0;
    size_t messagesSeen_ = 0;
    std::optional<int64_t> lastRowSecond_;
    uint64_t lastRowMs_ = 0;
    int forwardGaps_ = 0;
    bool inputToldLost_ = false;
    int clockBackMessages_ = 0;
    int clockForwardMessages_ = 0;
    std::string resultsSeen_;
    bool saved_ = false;
    bool periodRestarted_ = false;
};

// The figures a float recording gives, for comparing two runs exactly.
struct RecordingFigures {
    LoudnessFigures loudness;
    double momentaryMax = 0.0;
    double shortTermMax = 0.0;
    uint64_t loudnessNonFinite = 0;
    SoundLevelFigures soundLevel;
    double la10 = 0.0;
    uint64_t soundLevelNonFinite = 0;
};

// The owner measures `samples` as the analyser does: loudness and sound
// level of the recording's own samples at its own rate.
RecordingFigures MeasureRecording(const FaultSchedule& f, const std::vector<float>& samples) {
    fakes::AppHarness h;
    h.app.KeepNoTestAudio();
    h.Create(fakes::PlainLevelSettings());
    MeterApp& app = h.app;
    const LoudnessChannels layout =
        f.channels == 2 ? LoudnessChannels::kStereo : LoudnessChannels::kMono;
    app.MeasureLoudness(f.rate, false, layout);
    if (f.calibrated) {
        app.settings().SplSensitivity = kSensitivityDb;
    }
    std::string error;
    app.MeasureSoundLevel(f.rate, f.channels, false, error);
    app.StartStopButtonClick();
    // In pieces, as the reader hands them over.
    const size_t piece = 4096;
    for (size_t at = 0; at < f.recordingFrames; at += piece) {
        const size_t n = std::min<size_t>(piece, f.recordingFrames - at);
        app.Loudness()->AddSamples(samples.data() + at * f.channels, n);
        app.SoundLevel()->AddFrames(samples.data() + at * f.channels, n);
    }
    app.Loudness()->EndProgramme();
    app.SoundLevel()->Finish();
    RecordingFigures r;
    r.loudness = app.Loudness()->Test();
    r.momentaryMax = app.Loudness()->MomentaryMax();
    r.shortTermMax = app.Loudness()->ShortTermMax();
    r.loudnessNonFinite = app.Loudness()->NonFiniteSamples();
    r.soundLevel = app.SoundLevel()->Test();
    r.la10 = app.SoundLevel()->TestLevelExceeded(10.0);
    r.soundLevelNonFinite = r.soundLevel.nonFiniteSamples;
    return r;
}

bool Same(double a, double b) {
    return a == b || (std::isnan(a) && std::isnan(b));
}

FaultScheduleResult RunRecordingSchedule(const FaultSchedule& f) {
    FaultScheduleResult result;
    // A step from -23 to -13 dBFS half way, so that loudness range and the
    // statistics have something to measure.
    std::vector<float> clean(static_cast<size_t>(f.recordingFrames) * f.channels);
    for (uint32_t i = 0; i < f.recordingFrames; ++i) {
        const double amplitude = i < f.recordingFrames / 2 ? 0.0708 : 0.2239;
        const double v =
            amplitude * std::sin(2.0 * std::numbers::pi * 997.0 * i / static_cast<double>(f.rate));
        for (unsigned c = 0; c < f.channels; ++c) {
            clean[i * f.channels + c] = static_cast<float>(v);
        }
    }
    std::vector<float> damaged = clean;
    uint64_t inserted = 0;
    for (const NonFiniteRun& run : f.nonFinite) {
        for (uint32_t i = run.frame; i < run.frame + run.frames; ++i) {
            const int kind = run.kind == 3 ? static_cast<int>(i % 3) : run.kind;
            const float bad = kind == 0   ? std::numeric_limits<float>::quiet_NaN()
                              : kind == 1 ? std::numeric_limits<float>::infinity()
                                          : -std::numeric_limits<float>::infinity();
            for (unsigned c = 0; c < f.channels; ++c) {
                float& sample = damaged[i * f.channels + c];
                inserted += std::isfinite(sample) ? 1 : 0;
                sample = bad;
                clean[i * f.channels + c] = 0.0f;
            }
        }
    }
    const RecordingFigures a = MeasureRecording(f, damaged);
    const RecordingFigures b = MeasureRecording(f, clean);
    result.simulatedMs = static_cast<uint64_t>(f.recordingFrames) * 1000 / f.rate;
    const auto compare = [&](double x, double y, const char* name) {
        if (!Same(x, y)) {
            result.breaks.push_back({MeasurementRule::kOnlyNumbersAreMeasured, 0,
                                     std::string(name) + " reads " + std::to_string(x) +
                                         " with samples that are no numbers, " + std::to_string(y) +
                                         " with silence in their place"});
        }
    };
    compare(a.loudness.integrated, b.loudness.integrated, "integrated loudness");
    compare(a.loudness.range, b.loudness.range, "loudness range");
    compare(a.loudness.truePeakMax, b.loudness.truePeakMax, "the true peak");
    compare(a.momentaryMax, b.momentaryMax, "momentary maximum");
    compare(a.shortTermMax, b.shortTermMax, "short-term maximum");
    compare(a.soundLevel.laeq, b.soundLevel.laeq, "LAeq");
    compare(a.soundLevel.lceq, b.soundLevel.lceq, "LCeq");
    compare(a.soundLevel.lzeq, b.soundLevel.lzeq, "LZeq");
    compare(a.soundLevel.lafmax, b.soundLevel.lafmax, "LAFmax");
    compare(a.soundLevel.lcpeak, b.soundLevel.lcpeak, "LCpeak");
    compare(a.la10, b.la10, "LA10");
    compare(static_cast<double>(a.soundLevel.overloadedSeconds),
            static_cast<double>(b.soundLevel.overloadedSeconds), "overloaded seconds");
    compare(static_cast<double>(a.loudnessNonFinite), static_cast<double>(inserted),
            "the loudness meter's count of samples that are no numbers");
    // Sound level reads the left channel alone.
    compare(static_cast<double>(a.soundLevelNonFinite), static_cast<double>(inserted / f.channels),
            "the sound level meter's count of samples that are no numbers");
    return result;
}

}  // namespace

FaultScheduleResult RunFaultSchedule(const FaultSchedule& schedule) {
    if (schedule.program == ScheduledProgram::kRecording) {
        return RunRecordingSchedule(schedule);
    }
    return ScheduleRun(schedule).Run();
}

std::string Describe(const RuleBreak& broken) {
    char at[32];
    std::snprintf(at, sizeof at, "%.3f", static_cast<double>(broken.atMs) / 1000.0);
    return std::string(RuleText(broken.rule).name) + " at " + at + " s: " + broken.what;
}

}  // namespace tarnwick
