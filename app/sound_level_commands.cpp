// Sound level beside the meter's own figures: measured from the same capture
// (or a recording at its own rate), restarted with a test and with each
// results period, and held to the limit of the settings.

#include "app/meter_app.h"
#include "core/capture_format.h"
#include "settings/settings_store.h"
#include "settings/sound_level_settings.h"

namespace tarnwick {

MeasuredChannel SplChannelOf(int32_t setting) {
    switch (setting) {
        case 1:
            return MeasuredChannel::kRight;
        case 2:
            return MeasuredChannel::kBoth;
        default:
            return MeasuredChannel::kLeft;
    }
}

bool MeterApp::MeasureSoundLevel(unsigned long sampleRate, unsigned channels, bool fromBlocks,
                                 std::string& error) {
    SoundLevelSetup setup;
    setup.sampleRate = sampleRate;
    setup.channels = channels;
    setup.channel = SplChannelOf(settings_.SplChannel);
    setup.sensitivityDb = settings_.SplSensitivity.value_or(0.0);
    setup.rollingMinutes = settings_.SplMinutes;
    std::unique_ptr<SoundLevelMeter> meter = SoundLevelMeter::Create(setup, error);
    if (meter == nullptr) {
        return false;
    }
    soundLevel_ = std::move(meter);
    soundLevelFromBlocks_ = fromBlocks;
    soundLevelRate_ = sampleRate;
    soundLevelChannels_ = channels;
    soundLevelChannel_ = settings_.SplChannel;
    soundLevel_->SetSecondObserver(
        [this](const SoundLevelSecond& second) { SoundLevelSecondDone(second); });
    // A new meter: its limits start with it.
    soundLevelLimit_.limit.reset();
    soundLevelLimitC_.limit.reset();
    MakeSoundLevelLimit();
    return true;
}

void MeterApp::MeasureBands(BandWidth width) {
    bands_ = std::make_unique<BandMeter>(width, static_cast<double>(kSampleRate),
                                         settings_.SplChannel == 2 ? 2 : 1);
}

void MeterApp::MakeSoundLevelLimit() {
    std::optional<LimitSetup> a;
    if (settings_.SplLimit > 0.0) {
        a.emplace();
        a->limitDb = settings_.SplLimit;
        a->minutes = settings_.SplMinutes;
        a->window = settings_.SplFixedWindows ? LimitWindow::kFixed : LimitWindow::kRolling;
        a->warnMarginDb = settings_.SplWarnMargin;
        if (settings_.SplPeakLimit > 0.0) {
            a->lcpeakLimitDb = settings_.SplPeakLimit;
        }
        if (settings_.SplMaxLimit > 0.0) {
            a->lafmaxLimitDb = settings_.SplMaxLimit;
        }
    }
    std::optional<LimitSetup> c;
    if (settings_.SplCLimit > 0.0) {
        c.emplace();
        c->limitDb = settings_.SplCLimit;
        c->weighting = LimitWeighting::kC;
        c->minutes = settings_.SplCMinutes;
        c->window = settings_.SplFixedWindows ? LimitWindow::kFixed : LimitWindow::kRolling;
        c->warnMarginDb = settings_.SplCWarnMargin;
    }
    HoldLimit(soundLevelLimit_, a);
    HoldLimit(soundLevelLimitC_, c);
}

void MeterApp::HoldLimit(HeldLimit& held, const std::optional<LimitSetup>& setup) {
    // The window starts again only for a new limit or a new sensitivity,
    // never because the settings were confirmed unchanged.
    const double sensitivity = settings_.SplSensitivity.value_or(0.0);
    if (setup && held.limit != nullptr && *setup == held.setup && sensitivity == held.sensitivity) {
        return;
    }
    held.limit.reset();
    if (setup && LevelLimit::SetupError(*setup).empty()) {
        held.limit = std::make_unique<LevelLimit>(*setup);
        held.setup = *setup;
        held.sensitivity = sensitivity;
    }
}

void MeterApp::ApplySoundLevelSettings() {
    if (soundLevel_ == nullptr) {
        return;
    }
    if (settings_.SplChannel != soundLevelChannel_) {
        std::string error;
        MeasureSoundLevel(soundLevelRate_, soundLevelChannels_, soundLevelFromBlocks_, error);
        return;
    }
    soundLevel_->SetSensitivity(settings_.SplSensitivity.value_or(0.0));
    soundLevel_->SetRollingMinutes(settings_.SplMinutes);
    MakeSoundLevelLimit();
}

std::optional<double> MeterApp::StoredSensitivity(const std::string& name) {
    std::unique_ptr<ISettingsKey> key =
        ports_.settingsStore.OpenOrCreate(SettingsKeyPathFor(settings_.InstanceNumber));
    return key != nullptr ? ReadSensitivity(*key, name) : std::nullopt;
}

bool MeterApp::SoundLevelLive() {
    return soundLevel_ != nullptr && soundLevelFromBlocks_ && InputLive();
}

void MeterApp::SoundLevelSecondDone(const SoundLevelSecond& second) {
    LimitEvents events;
    const LocalDateTime end = ports_.clock.Now();
    if (soundLevelLimit_.limit != nullptr) {
        events.a = soundLevelLimit_.limit->AddSecond(second, end);
    }
    if (soundLevelLimitC_.limit != nullptr) {
        events.c = soundLevelLimitC_.limit->AddSecond(second, end);
    }
    if (soundLevelObserver_) {
        soundLevelObserver_(second, events);
    }
}

}  // namespace tarnwick
