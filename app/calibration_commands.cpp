// Calibration of the input in use: 5 s of a calibrator's tone measured from
// the live blocks, the sensitivity it gives stored for that input, and every
// new sensitivity recorded in the calibration history beside the settings.

#include <cmath>

#include "app/meter_app.h"
#include "core/capture_format.h"
#include "core/number_format.h"
#include "settings/settings_store.h"
#include "settings/sound_level_settings.h"

namespace tarnwick {
namespace {

// The history holds the sensitivity to 0.01 dB; a row within this of the
// sensitivity in use is the record of it.
constexpr double kRecordedSensitivityTolerance = 0.006;

std::string Decimals(double value, int decimals) {
    return FormatFixed(value, 15, decimals, U'.');
}

// Sentences one after the other, a blank line between them.
std::string Paragraphs(const std::string& first, const std::string& second) {
    return first.empty() || second.empty() ? first + second : first + "\n\n" + second;
}

}  // namespace

bool MeterApp::StartCalibration(double referenceDb, MeasuredChannel channel, std::string& error) {
    calibration_.reset();
    lastCalibration_.reset();
    if (!(referenceDb >= kLowestCalibratorDb && referenceDb <= kHighestCalibratorDb)) {
        error = "A calibrator gives between " + Decimals(kLowestCalibratorDb, 0) + " and " +
                Decimals(kHighestCalibratorDb, 0) + " dB; " + Decimals(referenceDb, 1) +
                " dB is no calibrator's level.";
        return false;
    }
    if (inputWatch_ != nullptr && inputWatch_->Lost()) {
        error = "The input \"" + settings_.DeviceName +
                "\" is lost: calibrate once it delivers sound again.";
        return false;
    }
    calibration_ = std::make_unique<CalibrationCapture>(kSampleRate, referenceDb,
                                                        settings_.DeviceName, channel);
    return true;
}

double MeterApp::CalibrationProgress() const {
    return calibration_ != nullptr ? calibration_->Progress() : 0.0;
}

void MeterApp::AbandonCalibration(const std::string& why) {
    if (calibration_ == nullptr) {
        return;
    }
    calibration_.reset();
    ports_.dialogs.MessageBox("Calibration stopped: " + why + " The sensitivity stays as it was.",
                              kCalibrationCaption);
}

void MeterApp::CalibrationFramesArrived(const uint8_t* bytes, size_t frames) {
    calibration_->AddCaptureFrames(bytes, frames);
    if (!calibration_->Complete()) {
        return;
    }
    const std::unique_ptr<CalibrationCapture> capture = std::move(calibration_);
    CalibrationRequest request;
    request.frames = capture->Frames();
    request.channels = 2;
    request.channel = capture->Channel();
    request.sampleRate = capture->SampleRate();
    request.referenceDb = capture->ReferenceDb();
    request.previousSensitivityDb = settings_.SplSensitivity;
    lastCalibration_ = AnalyseCalibration(request);
    const CalibrationResult& result = *lastCalibration_;
    if (!result.accepted) {
        ports_.dialogs.MessageBox(
            "Not calibrated: " + result.refusal + " The sensitivity stays as it was.",
            kCalibrationCaption);
        return;
    }
    std::string message = "Calibrated \"" + capture->Input() + "\": a full-scale sine reads " +
                          Decimals(result.sensitivityDb, 2) + " dB SPL (the calibrator's " +
                          Decimals(capture->ReferenceDb(), 1) + " dB read " +
                          Decimals(result.levelDb, 2) + " dB re full scale).";
    message = Paragraphs(message, result.warning);
    CalibrationRecord record;
    record.when = ports_.clock.Now();
    record.input = capture->Input();
    record.referenceDb = capture->ReferenceDb();
    record.sensitivityDb = result.sensitivityDb;
    record.method = CalibrationMethod::kCalibrator;
    if (micResponse_ != nullptr) {
        // The capture heard the microphone uncorrected: the sensitivity
        // stored is the one with which the corrected meter reads the
        // calibrator's level at 1 kHz, the response's factor added.
        record.sensitivityDb =
            micResponse_->SensitivityFromCalibrator(record.sensitivityDb, kCalibratorHz);
        message = Paragraphs(message, "The microphone response " + MicResponseName() +
                                          " is allowed for: the sensitivity stored is " +
                                          Decimals(record.sensitivityDb, 2) + " dB.");
    }
    ports_.dialogs.MessageBox(Paragraphs(message, StoreSensitivity(record)), kCalibrationCaption);
}

void MeterApp::EnterSensitivity(std::optional<double> sensitivityDb) {
    if (sensitivityDb == settings_.SplSensitivity) {
        return;
    }
    std::string trouble;
    if (sensitivityDb) {
        CalibrationRecord record;
        record.when = ports_.clock.Now();
        record.input = settings_.DeviceName;
        record.sensitivityDb = *sensitivityDb;
        record.method = CalibrationMethod::kManual;
        trouble = StoreSensitivity(record);
    } else {
        settings_.SplSensitivity.reset();
        ApplySoundLevelSettings();
        sensitivityRecord_.reset();
        trouble = WriteSensitivityValue(std::nullopt);
    }
    if (!trouble.empty()) {
        ports_.dialogs.MessageBox(trouble, kCalibrationCaption);
    }
}

std::string MeterApp::StoreSensitivity(const CalibrationRecord& record) {
    settings_.SplSensitivity = record.sensitivityDb;
    ApplySoundLevelSettings();
    sensitivityRecord_ = record;
    const std::string trouble = WriteSensitivityValue(record.sensitivityDb);
    if (calibrationHistoryPath_.empty()) {
        return Paragraphs(trouble,
                          "No calibration history is kept: the settings folder is unknown.");
    }
    CalibrationRecord kept = record;
    kept.response = MicResponseName();
    const std::string row = FormatCalibrationRow(kept);
    FileResult written = ports_.files.Append(calibrationHistoryPath_, row);
    if (written.error == kFileMissingError) {
        written =
            ports_.files.CreateWith(calibrationHistoryPath_, CalibrationHistoryHeader() + row);
    }
    if (!written.ok()) {
        return Paragraphs(trouble, "This calibration could not be added to the history \"" +
                                       calibrationHistoryPath_ + "\": " + written.message + ".");
    }
    return trouble;
}

std::string MeterApp::WriteSensitivityValue(std::optional<double> sensitivityDb) {
    std::unique_ptr<ISettingsKey> key =
        ports_.settingsStore.OpenOrCreate(SettingsKeyPathFor(settings_.InstanceNumber));
    if (key == nullptr || !WriteSensitivity(*key, settings_.DeviceName, sensitivityDb)) {
        return "The sensitivity could not be stored in the settings: it holds until Tarnwick "
               "closes.";
    }
    return std::string();
}

void MeterApp::ReadSensitivityRecord() {
    sensitivityRecord_.reset();
    if (!settings_.SplSensitivity || calibrationHistoryPath_.empty()) {
        return;
    }
    std::string text;
    if (!ports_.files.Read(calibrationHistoryPath_, text).ok()) {
        return;
    }
    std::optional<CalibrationRecord> last =
        LastCalibrationOf(ParseCalibrationHistory(text), settings_.DeviceName);
    if (last && std::fabs(last->sensitivityDb - *settings_.SplSensitivity) <=
                    kRecordedSensitivityTolerance) {
        sensitivityRecord_ = std::move(last);
    }
}

}  // namespace tarnwick
