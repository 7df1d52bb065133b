#include "app/meter_app.h"

#include <algorithm>

#include "core/version.h"
#include "results/save_schedule.h"
#include "settings/settings_store.h"
#include "settings/settings_values.h"

namespace tarnwick {

MeterApp::MeterApp(const MeterPorts& ports)
    : ports_(ports),
      capture_(
          ports.waveInput, ports.waveOutput, ports.dialogs, ports.process,
          [this] { return settings_.BlockBytes; }, [this] { ResetDeviceSettings(); }) {
    secondTimer_ = ports_.timers.CreateTimer(kSecondTimerMs, [this] { SecondTimerTimer(); });
    autoStartTimer_ =
        ports_.timers.CreateTimer(kAutoStartTimerMs, [this] { AutoStartTimerTimer(); });
    autoStopTimer_ = ports_.timers.CreateTimer(kAutoStopTimerMs, [this] { AutoStopTimerTimer(); });
    replayTimer_ = ports_.timers.CreateTimer(kReplayTimerInitialMs, [this] { ReplayTimerTimer(); });
    liveTimer_ = ports_.timers.CreateTimer(kLiveCheckMs, [this] { BlankStaleFigures(); });
    if (ports_.text != nullptr) {
        bitmap_ = std::make_unique<MeterBitmap>(*ports_.text);
    }
}

char32_t MeterApp::DecimalSeparator() {
    return ports_.formats.DecimalSeparator();
}

bool MeterApp::FormCreate(int32_t instanceNumber, const TMeterSettings& stored) {
    ClearShortRings(stats_);
    // Both default folders lie in the user's documents folder. Without one the
    // meter still runs; snapshots then report the missing folder.
    std::string defaultFolder;
    if (const std::optional<std::string> documents = ports_.shell.DocumentsPath()) {
        defaultFolder = *documents + "/Tarnwick/";
    } else {
        ports_.dialogs.MessageBox("Could not find MyDocuments folder location.", kApplicationTitle);
    }
    snapshotFolder_ = defaultFolder;
    // The first interval over or under a target is measured from the start of
    // the program, not from whenever the machine's tick counter began.
    stats_.OverMarkTick = ports_.clock.TickCount();
    stats_.UnderMarkTick = stats_.OverMarkTick;
    graph_ = TSweepGraph{};
    // The scale is built for the start value of Scale; the loaded one is drawn
    // when the window shows.
    settings_.DisplayOffset = BuildScale(scale_, settings_.Scale, settings_.FullScale);
    settings_ = stored;
    ApplyLoudnessSettings();
    settings_.InstanceNumber = instanceNumber;
    if (settings_.Folder.empty()) {
        settings_.Folder = defaultFolder;
    }
    ApplyLoadedSettings(stored);
    FollowResultsOctaves();
    secondTimer_->Arm();
    liveTimer_->Arm();
    if (requireNamedInput_ && inputWatch_ != nullptr) {
        wantedInput_ = settings_.DeviceName;
        std::string failure;
        if (ReopenInput(failure)) {
            inputWatch_->Opened();
        } else {
            inputWatch_->StartLost(failure);
        }
    } else {
        const std::string storedInput = settings_.DeviceName;
        capture_.FindInputDevice(settings_);
        if (settings_.DeviceName != storedInput) {
            // Another input than the stored one: a calibration holds for its
            // own input only.
            settings_.SplSensitivity = StoredSensitivity(settings_.DeviceName);
        }
        if (!OpenCapture()) {
            return false;
        }
        if (inputWatch_ != nullptr) {
            inputWatch_->Opened();
        }
    }
    ReadSensitivityRecord();
    view_.CheckBox1Checked = settings_.AutoStart;
    view_.Caption = instanceNumber == 1 ? std::string("Tarnwick  V.") + kVersion
                                        : std::string("Tarnwick - 2   V.") + kVersion;
    return true;
}

void MeterApp::FormShow() {
    RedrawMeter();
}

void MeterApp::ShowEffectiveAverageTime() {
    const double seconds = static_cast<double>(settings_.AverageLength) *
                           (settings_.BlockBytes / kBytesPerFrame) / kSampleRate;
    view_.Label6 = FormatAverageTime(seconds, DecimalSeparator());
}

void MeterApp::ApplyLoadedSettings(const TMeterSettings& stored) {
    view_.Label6 = FormatAverageTime(stored.AverageTime, DecimalSeparator());
    view_.Label14Visible = !stored.ThresholdIgnore;
    if (settings_.FileOpen) {
        askedResultsFile_ = settings_.Filename;
        const FileResult claimed =
            ports_.files.Claim(settings_.Filename, writeResultsAlone_, /*create=*/false);
        resultsClaimed_ = claimed.ok();
        if (claimed.error == kFileClaimedError) {
            // Another program keeps its records there (a logger): this run
            // does not write into them. The stored setting stays, for the
            // next start.
            ports_.dialogs.MessageBox(claimed.message, kApplicationTitle);
            settings_.FileOpen = false;
        }
        // A file missing now stays attached: each save says so until it is
        // back, and claims it then.
    }
    settings_.StoresFileState = settings_.FileOpen;
    if (settings_.FileOpen) {
        view_.CloseFile1Enabled = true;
        view_.TBcloseEnabled = true;
        view_.SaveAs1Enabled = false;
        view_.TBopenEnabled = false;
        ScheduleSaves();
        AttachResultsFile(settings_.Filename);
    }
}

bool MeterApp::OpenCapture() {
    streamStarting_ = true;
    return capture_.OpenCapture(
        settings_.DeviceIndex, store_,
        [this](CaptureBlockPtr block) { BlockFilled(std::move(block)); },
        [this](const std::string& reason) { DeviceFailed(reason); });
}

void MeterApp::WatchInput(InputWatch::Events events) {
    InputWatch::Actions actions;
    actions.reopen = [this](std::string& failure) { return ReopenInput(failure); };
    actions.close = [this] {
        capture_.CloseInput();
        AbandonCalibration("the input was lost.");
    };
    actions.tickWhileLost = [this] { TestTick(); };
    inputWatch_ = std::make_unique<InputWatch>(ports_.clock, ports_.timers, std::move(actions));
    inputWatch_->SetEvents(std::move(events));
}

void MeterApp::KeepMeasuringThroughALostInput() {
    // The message tells; it holds no keys while measuring goes on, and it
    // goes when its cause does.
    WatchInput({[this](const std::string&) {
                    ports_.dialogs.Notice(kInputLostMessage, kTarnwickErrorCaption);
                    savedLabel2_ = view_.Label2;
                    savedLabel3_ = view_.Label3;
                    view_.Label2 = kInputLostLabel;
                    view_.Label3 = "\"" + settings_.DeviceName + "\" - " + kInputRetryText;
                },
                [this] {
                    ports_.dialogs.WithdrawNotice(kInputLostMessage, kTarnwickErrorCaption);
                    view_.Label2 = savedLabel2_;
                    view_.Label3 = savedLabel3_;
                    nextSaveLabelKey_ = NextSaveLabelKey{};
                }});
}

bool MeterApp::ReopenInput(std::string& failure) {
    const std::string wanted = requireNamedInput_ ? wantedInput_ : settings_.DeviceName;
    if (!capture_.ReopenInput(
            settings_, wanted, store_,
            [this](CaptureBlockPtr block) { BlockFilled(std::move(block)); },
            [this](const std::string& reason) { DeviceFailed(reason); }, failure)) {
        return false;
    }
    // The time without input counts as neither over nor under a target.
    restartMarks_ = true;
    streamStarting_ = true;
    return true;
}

void MeterApp::BlockFilled(CaptureBlockPtr block) {
    if (!capture_.IsCurrent(*block)) {
        // Handed back by a stream closed since (a reset, a lost input): what
        // it holds is not audio of the input now, and it counts for nothing.
        return;
    }
    lastBytesWaiting_ = block->bytesWaiting;
    const uint32_t now = ports_.clock.TickCount();
    // The audio that came since the last block: this block and what the
    // device holds behind it.
    const int64_t heldMs =
        static_cast<int64_t>(std::max(block->bytesWaiting, 0) + std::max(block->bufferLength, 0)) /
        kBytesPerFrame * kMsPerSecond / kSampleRate;
    if (blockArrived_ && now - lastBlockTick_ > heldMs + kStreamGapToleranceMs) {
        // More time passed than audio came: the source was suspended and
        // resumed, or the server dropped what it held (a late loop or server
        // hands over a backlog that fills the time). The audio does not
        // continue the last block's.
        streamStarting_ = true;
    }
    lastBlockTick_ = now;
    blockArrived_ = true;
    if (inputWatch_ != nullptr) {
        inputWatch_->BlockArrived();  // may say the input is back
    }
    if (streamStarting_) {
        StartStream();
    }
    MMWimData(std::move(block));
    if (blockObserver_) {
        blockObserver_();
    }
}

void MeterApp::StartStream() {
    streamStarting_ = false;
    // No reading mixes the audio before a join with the audio after it. The
    // ring's position stays: it paces the run-time average's readout.
    stats_.ShortRing1.fill(0);
    stats_.ShortRing2.fill(0);
    if (loudness_ != nullptr && loudnessFromBlocks_) {
        loudness_->StartStream();
    }
    if (soundLevel_ != nullptr && soundLevelFromBlocks_) {
        soundLevel_->StartStream();
    }
    if (bands_ != nullptr) {
        bands_->StartStream();
    }
    if (resultsOctaves_ != nullptr) {
        resultsOctaves_->StartStream();
    }
    if (spectrum_ != nullptr) {
        spectrum_->StartStream();
    }
}

bool MeterApp::InputLive() {
    if (!blockArrived_ || (inputWatch_ != nullptr && inputWatch_->Lost())) {
        return false;
    }
    return ports_.clock.TickCount() - lastBlockTick_ < kLiveFiguresMs;
}

bool MeterApp::LoudnessLive() {
    return loudness_ != nullptr && loudnessFromBlocks_ && InputLive();
}

void MeterApp::SwitchInputDevice(int32_t index, const std::string& name) {
    const std::string before = settings_.DeviceName;
    if (index != settings_.DeviceIndex) {
        streamStarting_ = true;
    }
    capture_.SwitchInputDevice(
        settings_, index, name, store_,
        [this](CaptureBlockPtr block) { BlockFilled(std::move(block)); },
        [this](const std::string& reason) { DeviceFailed(reason); });
    if (settings_.DeviceName != before) {
        // A calibration holds for its own input only.
        AbandonCalibration("another input was chosen.");
        settings_.SplSensitivity = StoredSensitivity(settings_.DeviceName);
        ApplySoundLevelSettings();
        ReadSensitivityRecord();
    }
}

void MeterApp::FormClose() {
    capture_.output().Reset();
}

void MeterApp::DeviceFailed(const std::string& reason) {
    if (inputWatch_ != nullptr) {
        inputWatch_->Failed(reason);
        return;
    }
    // The meter cannot go on without its input, but nothing measured is lost:
    // the window closes the normal way, keeping the settings and the attached
    // results file.
    ports_.dialogs.MessageBox(kInputLostMessage, kTarnwickErrorCaption);
    ports_.process.CloseMainWindow();
}

void MeterApp::ResetDeviceSettings() {
    std::unique_ptr<ISettingsKey> key =
        ports_.settingsStore.OpenOrCreate(SettingsKeyPathFor(settings_.InstanceNumber));
    if (key == nullptr) {
        return;
    }
    ports_.dialogs.MessageBox("The configured device will be reset to the default.",
                              kTarnwickErrorCaption);
    key->Write("Device", IntValue(0));
    key->Write("Volume", IntValue(32000));
    key->Write("Mixer Channel", IntValue(0));
}

}  // namespace tarnwick
