// Sound level beside the meter's own figures: measured from the same capture
// (or a recording at its own rate), restarted with a test and with each
// results period, and held to the limit of the settings.

#include "app/meter_app.h"
#include "core/capture_format.h"
#include "settings/settings_store.h"
#include "settings/sound_level_settings.h"
#include "spl/weighting_design_goal.h"

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
    setup.sensitivityDb = MeasuringSensitivity().value_or(0.0);
    setup.rollingMinutes = settings_.SplMinutes;
    setup.response = micResponse_;
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
    bands_->SetResponse(micResponse_.get());
}

void MeterApp::FollowResultsOctaves() {
    if (!settings_.SplInResults || !settings_.SplOctavesInResults) {
        resultsOctaves_.reset();
        return;
    }
    const unsigned channels = settings_.SplChannel == 2 ? 2 : 1;
    if (resultsOctaves_ == nullptr || resultsOctaves_->Channels() != channels) {
        resultsOctaves_ = std::make_unique<BandMeter>(BandWidth::kOctave,
                                                      static_cast<double>(kSampleRate), channels);
        resultsOctaves_->SetResponse(micResponse_.get());
    }
}

void MeterApp::MeasureSpectrum() {
    const BandWidth width =
        settings_.SpectrumBands == static_cast<int32_t>(SpectrumBandsChoice::kOctave)
            ? BandWidth::kOctave
            : BandWidth::kThirdOctave;
    const unsigned channels = settings_.SplChannel == 2 ? 2 : 1;
    if (spectrum_ == nullptr || spectrum_->Channels() != channels ||
        spectrumBands_ != settings_.SpectrumBands) {
        spectrum_ = std::make_unique<BandMeter>(width, static_cast<double>(kSampleRate), channels);
        spectrum_->SetResponse(micResponse_.get());
        spectrum_->KeepTimeWeighting();
        spectrumBands_ = settings_.SpectrumBands;
        spectrumWeighting_ = -1;  // none set yet
    }
    if (spectrumWeighting_ == settings_.SpectrumWeighting) {
        return;
    }
    spectrumWeighting_ = settings_.SpectrumWeighting;
    std::vector<double> weighting;
    if (spectrumWeighting_ != static_cast<int32_t>(SpectrumWeighting::kZ)) {
        const FrequencyWeighting curve =
            spectrumWeighting_ == static_cast<int32_t>(SpectrumWeighting::kA)
                ? FrequencyWeighting::kA
                : FrequencyWeighting::kC;
        for (const Band& band : spectrum_->Bands()) {
            weighting.push_back(WeightingDesignGoalDb(curve, band.midHz));
        }
    }
    spectrum_->SetWeightingDb(std::move(weighting));
}

bool MeterApp::UseMicResponse(std::string& error) {
    const std::string& path = settings_.SplResponseFile;
    std::shared_ptr<const MicResponse> response;
    if (!path.empty()) {
        std::string text;
        const FileResult read = ports_.files.ReadStart(path, kLargestMicResponseFile + 1, text);
        if (!read.ok()) {
            error = path + ": " + read.message;
            return false;
        }
        if (text.size() > kLargestMicResponseFile) {
            error = path + ": larger than a microphone response file (1 MB)";
            return false;
        }
        std::optional<MicResponse> parsed = ParseMicResponse(text, error);
        if (!parsed) {
            error = path + ": " + error;
            return false;
        }
        response = std::make_shared<const MicResponse>(std::move(*parsed));
    }
    const bool same = (response == nullptr) == (micResponse_ == nullptr) &&
                      (response == nullptr ||
                       (response->crc32 == micResponse_->crc32 && path == micResponseFile_));
    micResponse_ = std::move(response);
    micResponseFile_ = path;
    if (same) {
        return true;
    }
    // The meters start again with the new correction.
    if (soundLevel_ != nullptr) {
        std::string ignored;
        MeasureSoundLevel(soundLevelRate_, soundLevelChannels_, soundLevelFromBlocks_, ignored);
    }
    if (bands_ != nullptr) {
        bands_->SetResponse(micResponse_.get());
    }
    if (spectrum_ != nullptr) {
        spectrum_->SetResponse(micResponse_.get());
    }
    if (resultsOctaves_ != nullptr) {
        resultsOctaves_->SetResponse(micResponse_.get());
    }
    return true;
}

std::string MeterApp::MicResponseName() const {
    if (micResponse_ == nullptr) {
        return {};
    }
    const size_t slash = micResponseFile_.find_last_of('/');
    return (slash == std::string::npos ? micResponseFile_ : micResponseFile_.substr(slash + 1)) +
           " (crc " + micResponse_->Checksum() + ")";
}

std::optional<double> MeterApp::MeasuringSensitivity() const {
    if (!settings_.SplSensitivity) {
        return std::nullopt;
    }
    return *settings_.SplSensitivity +
           (micResponse_ != nullptr ? micResponse_->sensFactorDb.value_or(0.0) : 0.0);
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
    const double sensitivity = MeasuringSensitivity().value_or(0.0);
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
    if (spectrum_ != nullptr) {
        MeasureSpectrum();  // the channel may have changed
    }
    FollowResultsOctaves();
    if (soundLevel_ == nullptr) {
        return;
    }
    if (settings_.SplChannel != soundLevelChannel_) {
        std::string error;
        MeasureSoundLevel(soundLevelRate_, soundLevelChannels_, soundLevelFromBlocks_, error);
        return;
    }
    soundLevel_->SetSensitivity(MeasuringSensitivity().value_or(0.0));
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
