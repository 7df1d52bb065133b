// Sound level beside the meter's own figures: measured from the same capture
// (or a recording at its own rate), restarted with a test and with each
// results period, and held to the limit of the settings.

#include "app/meter_app.h"
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
    soundLevelLimit_.reset();  // a new meter: its limit starts with it
    MakeSoundLevelLimit();
    return true;
}

void MeterApp::MakeSoundLevelLimit() {
    if (settings_.SplLimit <= 0.0) {
        soundLevelLimit_.reset();
        return;
    }
    LimitSetup setup;
    setup.limitDb = settings_.SplLimit;
    setup.minutes = settings_.SplMinutes;
    setup.window = settings_.SplFixedWindows ? LimitWindow::kFixed : LimitWindow::kRolling;
    setup.warnMarginDb = settings_.SplWarnMargin;
    if (settings_.SplPeakLimit > 0.0) {
        setup.lcpeakLimitDb = settings_.SplPeakLimit;
    }
    if (settings_.SplMaxLimit > 0.0) {
        setup.lafmaxLimitDb = settings_.SplMaxLimit;
    }
    // The limit's window holds levels at the sensitivity they were measured
    // at; it starts again only for a new limit or a new sensitivity, never
    // because the settings were confirmed unchanged.
    const double sensitivity = settings_.SplSensitivity.value_or(0.0);
    if (soundLevelLimit_ != nullptr && setup == soundLevelLimitSetup_ &&
        sensitivity == soundLevelLimitSensitivity_) {
        return;
    }
    soundLevelLimit_.reset();
    if (LevelLimit::SetupError(setup).empty()) {
        soundLevelLimit_ = std::make_unique<LevelLimit>(setup);
        soundLevelLimitSetup_ = setup;
        soundLevelLimitSensitivity_ = sensitivity;
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
    std::optional<LimitEvent> event;
    if (soundLevelLimit_ != nullptr) {
        event = soundLevelLimit_->AddSecond(second, ports_.clock.Now());
    }
    if (soundLevelObserver_) {
        soundLevelObserver_(second, event);
    }
}

}  // namespace tarnwick
