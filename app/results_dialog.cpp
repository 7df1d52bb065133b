#include "app/results_dialog.h"

#include <cstdint>
#include <optional>
#include <utility>

#include "results/save_schedule.h"

namespace tarnwick {
namespace {

// `File Types` as the dialog sets it (the writer reads the value as bits).
constexpr int32_t kFileTypeText = 1;
constexpr int32_t kFileTypeCsv = 2;

// The box's text as a whole number: optional leading blanks, an optional '+',
// then digits and nothing else, within int32. Typing admits only digits, so
// anything else got there by pasting.
//
// A negative number is not taken as a whole number either. Both periods are
// added to the clock, so they must stay positive; treating "-5" like any other
// text that does not read as a number keeps `Save Mins` within 1..1440 and
// `Save Hours` within 1..24 (the current value stays), and a negative hours box
// counts as 0 like an empty one.
std::optional<int32_t> ReadWholeNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') {
        ++i;
    }
    if (i < text.size() && text[i] == '+') {
        ++i;
    }
    if (i == text.size()) {
        return std::nullopt;
    }
    int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
        if (value > INT32_MAX) {
            return std::nullopt;
        }
    }
    return static_cast<int32_t>(value);
}

}  // namespace

TResultsDialog::TResultsDialog(MeterApp& app, IDesktopShell& shell,
                               std::function<void()> saveSettings)
    : app_(app), shell_(shell), saveSettings_(std::move(saveSettings)) {}

void TResultsDialog::FormShow() {
    const TMeterSettings& s = app_.settings();
    controls_.EditName = s.TestName;
    controls_.EditHours = std::to_string(s.SaveMins / 60);
    controls_.EditMinutes = std::to_string(s.SaveMins % 60);
    controls_.EditOnTheHour = std::to_string(s.SaveHours);
    controls_.CBSaveOnStopChecked = s.SaveOnStop;
    controls_.CBSaveOnMinutesChecked = s.SaveOnMinutes;
    controls_.CBSaveOnHoursChecked = s.SaveOnHours;
    controls_.RBcsvChecked = s.FileTypes == kFileTypeCsv;
    controls_.RBtxtChecked = !controls_.RBcsvChecked;
    controls_.CBLoudnessChecked = s.LoudnessInResults;
    controls_.CBSoundLevelChecked = s.SplInResults;
    controls_.CBOctavesChecked = s.SplOctavesInResults;
    closed_ = false;
}

bool TResultsDialog::EditMinutesKeyPress(char key) const {
    return (key >= '0' && key <= '9') || key == kBackspaceChar;
}

void TResultsDialog::ApplySaveInterval() {
    const std::optional<int32_t> minutes = ReadWholeNumber(controls_.EditMinutes);
    if (!minutes) {
        return;
    }
    const int64_t hours = ReadWholeNumber(controls_.EditHours).value_or(0);
    int64_t total = hours * 60 + *minutes;
    if (total == 0) {
        total = 1;
    }
    if (total > kMinutesPerDay) {
        total = kMinutesPerDay;
    }
    app_.settings().SaveMins = static_cast<int32_t>(total);
    app_.RescheduleMinuteSave();
}

void TResultsDialog::EditOnTheHourKeyUp() {
    TMeterSettings& s = app_.settings();
    if (const std::optional<int32_t> hours = ReadWholeNumber(controls_.EditOnTheHour)) {
        s.SaveHours = *hours > kMaxSaveHours ? kMaxSaveHours : (*hours == 0 ? 1 : *hours);
    }
    app_.RescheduleHourSave();
}

void TResultsDialog::Button2Click() {
    TMeterSettings& s = app_.settings();
    s.TestName = controls_.EditName;
    s.SaveOnStop = controls_.CBSaveOnStopChecked;
    s.SaveOnMinutes = controls_.CBSaveOnMinutesChecked;
    s.SaveOnHours = controls_.CBSaveOnHoursChecked;
    // `Save Hours` is not read here: its box applies itself on every key release.
    ApplySaveInterval();
    app_.ScheduleSaves();
    s.FileTypes = controls_.RBcsvChecked ? kFileTypeCsv : kFileTypeText;
    s.LoudnessInResults = controls_.CBLoudnessChecked;
    app_.ApplyLoudnessSettings();
    s.SplInResults = controls_.CBSoundLevelChecked;
    s.SplOctavesInResults = controls_.CBOctavesChecked;
    app_.FollowResultsOctaves();
    if (saveSettings_) {
        saveSettings_();
    }
    closed_ = true;
}

void TResultsDialog::Button3Click() {
    shell_.Explore(app_.settings().Folder);
}

}  // namespace tarnwick
