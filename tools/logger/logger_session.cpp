#include "tools/logger/logger_session.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/capture_format.h"
#include "core/level_math.h"
#include "core/version.h"

namespace tarnwick {
namespace {

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string OrNone(const std::string& text) {
    return text.empty() ? std::string("none") : text;
}

}  // namespace

LoggerSession::LoggerSession(const LoggerSessionPorts& ports, LoggerOptions options)
    : ports_(ports),
      options_(std::move(options)),
      files_(ports.meter.files, ports.meter.clock),
      app_(MeterPorts{ports.meter.clock, ports.meter.timers, ports.meter.waveInput,
                      ports.meter.waveOutput, ports.meter.formats, ports.meter.dialogs,
                      ports.meter.process, ports.meter.settingsStore, files_, ports.meter.shell,
                      ports.meter.images, ports.meter.text}),
      log_(app_, ports.meter.clock, ports.rows, options_.soundLevel,
           [this](const std::string& text, const std::string& caption) { Tell(text, caption); }),
      alarms_(options_.alarms),
      pacing_(ports.meter.clock, [this](const AlarmChange& change, LocalDateTime at) {
          std::string error;
          if (!ports_.commands.Run(change, at, error)) {
              Tell(error, "Alarm command");
          }
      }) {}

void LoggerSession::Tell(const std::string& text, const std::string& caption) {
    ports_.meter.dialogs.MessageBox(text, caption);
}

std::string LoggerSession::InputName() const {
    const std::string& name = app_.settings().DeviceName;
    return name.empty() ? std::string("the default input") : "input \"" + name + "\"";
}

std::string LoggerSession::StartUpLine() const {
    const InputWatch* watch = app_.inputWatch();
    const bool open = watch != nullptr && !watch->Lost();
    std::string soundLevel;
    if (options_.soundLevel) {
        const std::optional<double>& sensitivity = app_.settings().SplSensitivity;
        char text[64];
        std::snprintf(text, sizeof text, ", sound level sensitivity %.2f dB",
                      sensitivity.value_or(0.0));
        soundLevel = sensitivity ? std::string(text)
                                 : std::string(
                                       ", sound level uncalibrated (dB relative to a "
                                       "full-scale sine)");
        if (const MicResponse* response = app_.MicResponseInUse()) {
            soundLevel += ", microphone response " + app_.MicResponseName();
            if (response->sensFactorDb) {
                std::snprintf(text, sizeof text, ", sens factor %.2f dB", *response->sensFactorDb);
                soundLevel += text;
            }
        }
    }
    return std::string("Tarnwick ") + kVersion + ", " + InputName() + (open ? "" : " (not open)") +
           ", instance " + std::to_string(options_.instance) + ", results file " +
           OrNone(app_.settings().FileOpen ? app_.settings().Filename : "") + ", log folder " +
           OrNone(options_.logDir) + ", metrics " + OrNone(options_.metrics) + soundLevel;
}

bool LoggerSession::Start(int32_t instance, const TMeterSettings& settings) {
    app_.KeepNoTestAudio();  // nothing is replayed without a window
    app_.WriteResultsAlone();
    app_.RequireNamedInput();
    app_.WatchInput(
        {[this](const std::string& reason) { InputLost(reason); }, [this] { InputBack(); }});
    // The settings' results file is attached below, as one given is.
    TMeterSettings start = settings;
    start.FileOpen = false;
    if (!app_.FormCreate(instance, start)) {
        return false;
    }
    if (std::string error; !app_.UseMicResponse(error)) {
        Tell(error, "Microphone response");
        return false;
    }
    // A logger's one test runs for weeks; the loudness meter keeps it in
    // fixed memory.
    app_.MeasureLoudness(kSampleRate, true);
    if (options_.soundLevel) {
        std::string error;
        if (!app_.MeasureSoundLevel(kSampleRate, 2, true, error)) {
            Tell(error, "Sound level");
            return false;
        }
        app_.SetSoundLevelObserver(
            [this](const SoundLevelSecond& second, const LimitEvents& events) {
                OnSoundLevelSecond(second, events);
            });
    }
    app_.FormShow();

    // After the scale is drawn: a text header holds its full scale.
    const std::string results = !options_.resultsFile.empty() ? options_.resultsFile
                                : settings.FileOpen           ? settings.Filename
                                                              : std::string();
    if (!results.empty()) {
        const std::string folderError = ports_.rows.MakeFolder(FolderOf(results));
        if (!folderError.empty()) {
            Tell(folderError, "Results file");
            return false;
        }
        if (!app_.AttachResultsFileForAppend(results)) {
            return false;
        }
    }
    if (options_.bands) {
        app_.MeasureBands(*options_.bands);  // before the log names its columns
    }
    if (!options_.logDir.empty()) {
        if (const std::string error = log_.Open(options_.logDir); !error.empty()) {
            Tell(error, "Log folder");
            return false;
        }
    }

    IClock& clock = ports_.meter.clock;
    log_.ScreenMinutes(options_.lowFrequencyDb, [this](const MinuteScreens& screens) {
        for (const AlarmChange& change :
             alarms_.MinuteScreened(ports_.meter.clock.TickCount(), screens.lowFrequency,
                                    screens.lceqDb - screens.laeqDb, !screens.tonalBands.empty(),
                                    screens.tonalLeqDb)) {
            AlarmChanged(change);
        }
    });
    log_.Begin();
    lastPingTick_ = lastBlockTick_ = clock.TickCount();
    app_.SetBlockObserver([this] { OnBlock(); });
    secondTimer_ = ports_.meter.timers.CreateTimer(kSecondCheckMs, [this] { OnSecondCheck(); });
    secondTimer_->Arm();
    if (options_.snapshotEveryMin > 0) {
        snapshotTimer_ = ports_.meter.timers.CreateTimer(
            static_cast<uint32_t>(options_.snapshotEveryMin) * 60000,
            [this] { app_.TakeSnapshot(); });
        snapshotTimer_->Arm();
    }

    Tell(StartUpLine(), "Start");
    started_ = true;
    if (lossAtStart_) {
        InputLost(*lossAtStart_);
        lossAtStart_.reset();
    }
    if (!app_.settings().AutoStart) {
        app_.StartStopButtonClick();
    }
    if (const InputWatch* watch = app_.inputWatch(); watch == nullptr || !watch->Lost()) {
        ports_.service.Status("Measuring " + InputName());  // a loss has said its own
    }
    ports_.service.Ready();
    PublishMetrics();
    return true;
}

void LoggerSession::Stop() {
    if (!started_) {
        return;
    }
    if (app_.testRun().TestRunning) {
        app_.StartStopButtonClick();
    }
    log_.Finish();
    ports_.commands.StopAll();
    ports_.service.Stopping();
    PublishMetrics();
    started_ = false;
}

void LoggerSession::AddEvent(const std::string& what) {
    log_.AddEvent(what);
}

double LoggerSession::LevelDb(int32_t amplitude) const {
    const TMeterSettings& s = app_.settings();
    return amplitude >= 1 ? ReadoutDb(amplitude, s.Calibration, s.DisplayOffset) : -INFINITY;
}

void LoggerSession::OnBlock() {
    log_.AddBlock();
    log_.NoticeTest();
    ++metrics_.blocks;
    const uint32_t tick = ports_.meter.clock.TickCount();
    streamMs_ += static_cast<uint32_t>(tick - lastBlockTick_);
    lastBlockTick_ = tick;
    const int64_t lostMs =
        dropouts_.AddBlock(streamMs_, app_.settings().BlockBytes / kBytesPerFrame, kSampleRate,
                           app_.lastBlockBytesWaiting() / kBytesPerFrame);
    if (lostMs > 0) {
        log_.AddDropout();
        ++metrics_.dropouts;
        AddEvent("dropout " + std::to_string(lostMs) + " ms");
    }
    const TBlockLevels& levels = app_.lastLevels();
    const BlockDb block{LevelDb(levels.Level), LevelDb(levels.LeftPeak), LevelDb(levels.RightPeak),
                        levels.Level >= DbToAmplitude(app_.settings().UpperVol)};
    for (const AlarmChange& change : alarms_.AddBlock(tick, block)) {
        AlarmChanged(change);
    }
}

void LoggerSession::OnSoundLevelSecond(const SoundLevelSecond& second, const LimitEvents&) {
    // Each limit's alarms report its Leq,T, the second's own level until
    // there is one.
    const auto light = [](const LevelLimit* limit, double secondDb) {
        LimitLightDb l;
        l.levelDb = secondDb;
        if (limit != nullptr) {
            l.warn = limit->Status().state == LimitState::kWarn;
            l.limit = limit->Status().state == LimitState::kLimit;
            if (std::isfinite(limit->Status().leqWindow)) {
                l.levelDb = limit->Status().leqWindow;
            }
        }
        return l;
    };
    const LimitLightDb a = light(app_.SoundLevelLimit(), second.figures.laeq);
    for (const AlarmChange& change : alarms_.SoundLevelSecond(
             ports_.meter.clock.TickCount(), a, light(app_.SoundLevelLimitC(), second.figures.lceq),
             second.figures.Overloaded(), a.levelDb)) {
        AlarmChanged(change);
    }
}

void LoggerSession::OnSecondCheck() {
    pacing_.Poll();
    if (log_.Poll()) {
        ports_.commands.Reap();
        PublishMetrics();
    }
    // The loop is alive, whatever the wall clock does: rows may wait for a
    // clock set back, the service manager's watchdog must not.
    const uint32_t tick = ports_.meter.clock.TickCount();
    if (tick - lastPingTick_ >= kMsPerSecond) {
        lastPingTick_ = tick;
        ports_.service.Watchdog();
        PublishMetrics();
    }
}

void LoggerSession::AlarmChanged(const AlarmChange& change) {
    metrics_.alarms += change.set ? 1 : 0;
    const std::string name = AlarmName(change.kind);
    // A lost input has its own event and message; a minute's screen has its
    // event in the minute's row already.
    const bool screen = change.kind == AlarmKind::kLowFrequency || change.kind == AlarmKind::kTonal;
    if (change.kind != AlarmKind::kInputLost) {
        if (!(screen && change.set)) {
            AddEvent(change.set ? name : name + " clear");
        }
        Tell(change.set ? "set" : "clear", "Alarm " + name);
    }
    pacing_.Changed(change);
}

void LoggerSession::InputLost(const std::string& reason) {
    if (!started_) {
        lossAtStart_ = reason;
        return;
    }
    AddEvent("input lost");
    std::string name = InputName();
    name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    Tell(name + " lost (" + reason + "); trying again every 5 s.", "Input");
    ports_.service.Status("Input lost: " + reason + "; trying again every 5 s");
    AlarmChanged(alarms_.InputLost(true, -INFINITY));
    PublishMetrics();
}

void LoggerSession::InputBack() {
    dropouts_.Restart();
    AddEvent("input back");
    std::string name = InputName();
    name[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    Tell(name + " is back.", "Input");
    ports_.service.Status("Measuring " + InputName());
    AlarmChanged(alarms_.InputLost(false, -INFINITY));
    PublishMetrics();
}

void LoggerSession::PublishMetrics() {
    if (!ports_.publishMetrics) {
        return;
    }
    // Levels of a second without blocks are not live: they read NaN.
    const bool live = log_.LastRowHadBlocks() || log_.GatheringBlocks();
    const TLevelStatistics& st = app_.statistics();
    metrics_.peakDb = live ? LevelDb(app_.lastLevels().SelectedPeak) : NAN;
    metrics_.shortTermAverageDb = live ? LevelDb(static_cast<int32_t>(st.ShortAverage1)) : NAN;
    metrics_.runTimeAverageDb = LevelDb(st.RunTimeAverage);
    const LoudnessMeter* loudness = app_.Loudness();
    metrics_.momentaryLufs = live && loudness != nullptr ? loudness->Momentary() : NAN;
    metrics_.shortTermLufs = live && loudness != nullptr ? loudness->ShortTerm() : NAN;
    metrics_.testRunning = app_.testRun().TestRunning;
    for (const AlarmKind kind : kAlarmKinds) {
        metrics_.alarmActive[static_cast<size_t>(kind)] = alarms_.Active(kind);
    }
    const InputWatch* watch = app_.inputWatch();
    metrics_.inputOpen = watch != nullptr && !watch->Lost();
    metrics_.secondsSinceLastBlock =
        static_cast<double>(ports_.meter.clock.TickCount() - lastBlockTick_) / 1000.0;
    metrics_.recordsWritten = files_.written;
    metrics_.logWriteFailures = log_.WriteFailures();
    metrics_.failedSaves = files_.failed;
    metrics_.alarmCommandFailures = ports_.commands.Failures();
    metrics_.lastRecordUnixSeconds = files_.lastWrittenUtcMs / 1000;
    metrics_.nonFiniteSamples = loudness != nullptr ? loudness->NonFiniteSamples() : 0;
    if (const SoundLevelMeter* spl = app_.SoundLevel()) {
        // The second's figures are the last row's: of the frames of its
        // blocks, none when it had none.
        const SoundLevelFigures& second = log_.LastSoundLevel();
        const bool rowLive = log_.LastRowHadBlocks() && second.durationS > 0.0;
        metrics_.soundLevel = true;
        metrics_.soundLevelCalibrated = app_.settings().SplSensitivity.has_value();
        metrics_.laeqSecondDb = rowLive ? second.laeq : NAN;
        metrics_.laeqRollingDb = spl->SecondsDelivered() > 0 && live ? spl->RollingLaeq() : NAN;
        metrics_.lceqSecondDb = rowLive ? second.lceq : NAN;
        metrics_.lceqRollingDb = spl->SecondsDelivered() > 0 && live ? spl->RollingLceq() : NAN;
        metrics_.lafmaxDb = rowLive ? second.lafmax : NAN;
        metrics_.lcpeakDb = rowLive ? second.lcpeak : NAN;
        const LevelLimit* limit = app_.SoundLevelLimit();
        metrics_.splLimitState = limit != nullptr ? static_cast<int>(limit->Status().state) : -1;
        const LevelLimit* cLimit = app_.SoundLevelLimitC();
        metrics_.splCLimitState = cLimit != nullptr ? static_cast<int>(cLimit->Status().state) : -1;
        metrics_.splOverloads = spl->OverloadsTotal();
        metrics_.exposurePa2s = spl->ExposurePascalSquaredSeconds();
    }
    if (const BandMeter* bands = app_.Bands()) {
        const SecondRow& row = log_.Row();
        if (metrics_.bandNames.empty()) {
            for (const Band& band : bands->Bands()) {
                metrics_.bandNames.push_back(band.nominal);
            }
        }
        metrics_.bandCalibrated = app_.settings().SplSensitivity.has_value();
        metrics_.bandLeqDb = row.LastBands();
        if (!(log_.LastRowHadBlocks() && row.LastBandSeconds() > 0.0)) {
            metrics_.bandLeqDb.assign(metrics_.bandLeqDb.size(), NAN);
        }
        metrics_.bandExposurePa2s = row.BandExposurePa2s();
    }
    ports_.publishMetrics(FormatMetrics(metrics_));
}

}  // namespace tarnwick
