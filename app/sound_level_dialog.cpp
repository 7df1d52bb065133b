#include "app/sound_level_dialog.h"

#include <algorithm>
#include <iterator>
#include <vector>

#include "app/config_dialog.h"
#include "core/number_format.h"
#include "settings/sound_level_settings.h"

namespace tarnwick {
namespace {

constexpr int kSensitivityDecimals = 2;
constexpr int kLevelDecimals = 1;
// The level most calibrators give, offered until another is given.
constexpr double kUsualCalibratorDb = 94.0;

// What a number field takes.
struct FieldRule {
    const char* name;
    double lowest;
    double highest;
    const char* unit;
    bool noneAllowed;  // an empty field (or "none") means none
};

constexpr FieldRule kSensitivityRule = {"Sensitivity", kLowestSensitivity, kHighestSensitivity,
                                        "dB", true};
constexpr FieldRule kLimitRule = {"Limit", kLowestSplLimit, kHighestSplLimit, "dB", true};
constexpr FieldRule kMarginRule = {"Warning margin", 0.0, kWidestSplWarnMargin, "dB", false};
constexpr FieldRule kPeakRule = {"LCpeak limit", kLowestSplLimit, kHighestSplLimit, "dB", true};
constexpr FieldRule kMaxRule = {"LAFmax limit", kLowestSplLimit, kHighestSplLimit, "dB", true};
constexpr FieldRule kCLimitRule = {"C limit", kLowestSplLimit, kHighestSplLimit, "dB", true};
constexpr FieldRule kCMarginRule = {"C warning margin", 0.0, kWidestSplWarnMargin, "dB", false};
constexpr FieldRule kCriterionRule = {"Criterion", kLowestSplCriterion, kHighestSplCriterion, "dB",
                                      false};

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SaysNone(const std::string& text) {
    std::string lower = Trimmed(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.empty() || lower == "none";
}

// The choice of kSplMinutesChoices that `minutes` is; 15 min for another.
int32_t MinutesIndexOf(int32_t minutes) {
    const auto* choice =
        std::find(std::begin(kSplMinutesChoices), std::end(kSplMinutesChoices), minutes);
    return choice != std::end(kSplMinutesChoices)
               ? static_cast<int32_t>(choice - std::begin(kSplMinutesChoices))
               : 2;
}

int32_t MinutesOfIndex(int32_t index) {
    return kSplMinutesChoices[std::clamp<size_t>(static_cast<size_t>(index), 0,
                                                 std::size(kSplMinutesChoices) - 1)];
}

// A limit setting holds 0 for none.
std::optional<double> LimitOf(double setting) {
    return setting > 0.0 ? std::optional<double>(setting) : std::nullopt;
}

}  // namespace

TSoundLevelDialog::TSoundLevelDialog(MeterApp& app, IUserDialogs& dialogs,
                                     std::function<void()> saveSettings, char32_t decimalSeparator)
    : app_(app),
      dialogs_(dialogs),
      saveSettings_(std::move(saveSettings)),
      separator_(decimalSeparator),
      calibratorLevel_(Number(kUsualCalibratorDb, kLevelDecimals)) {}

std::string TSoundLevelDialog::Number(double value, int decimals) const {
    return FormatFixed(value, 15, decimals, separator_);
}

std::string TSoundLevelDialog::SensitivityText() const {
    const std::optional<double>& sensitivity = app_.settings().SplSensitivity;
    return sensitivity ? Number(*sensitivity, kSensitivityDecimals) : std::string();
}

void TSoundLevelDialog::FormShow() {
    const TMeterSettings& s = app_.settings();
    TSoundLevelControls& c = controls_;
    c.Channel = std::clamp(s.SplChannel, 0, 2);
    c.Sensitivity = SensitivityText();
    const auto level = [this](double setting) {
        return setting > 0.0 ? Number(setting, kLevelDecimals) : std::string();
    };
    c.Limit = level(s.SplLimit);
    c.MinutesIndex = MinutesIndexOf(s.SplMinutes);
    c.FixedWindows = s.SplFixedWindows;
    c.LimitFill = s.SplLimitFill;
    c.BigFigure = s.SplBigFigure;
    c.WarnMargin = Number(s.SplWarnMargin, kLevelDecimals);
    c.PeakLimit = level(s.SplPeakLimit);
    c.MaxLimit = level(s.SplMaxLimit);
    c.CLimit = level(s.SplCLimit);
    c.CMinutesIndex = MinutesIndexOf(s.SplCMinutes);
    c.CWarnMargin = Number(s.SplCWarnMargin, kLevelDecimals);
    c.LogFolder = s.SplLogFolder;
    c.ResponseFile = s.SplResponseFile;
    c.Statistics = s.SplStatistics;
    c.Criterion = Number(s.SplCriterion, kLevelDecimals);
    c.ExchangeRate = s.SplExchangeRate == 5 ? 5 : 3;
    shown_ = c;
    closed_ = false;
}

void TSoundLevelDialog::OKClick() {
    TMeterSettings& s = app_.settings();
    TSoundLevelControls& c = controls_;
    std::vector<std::string> why;
    // A field's value: the setting's own while the field is as shown; none
    // for an empty field where none is allowed; else a number in the rule's
    // range. Anything else is noted and the field gets its last text back.
    const auto take = [&](std::string& text, const std::string& shown, const FieldRule& rule,
                          std::optional<double> current, std::optional<double>& value) -> bool {
        if (text == shown) {
            value = current;
            return true;
        }
        if (rule.noneAllowed && SaysNone(text)) {
            value.reset();
            return true;
        }
        const std::optional<double> number = ParseLocalNumber(text, separator_);
        if (number && *number >= rule.lowest && *number <= rule.highest) {
            value = number;
            return true;
        }
        why.push_back(std::string(rule.name) + ": \"" + Trimmed(text) + "\" is not a level from " +
                      Number(rule.lowest, 0) + " to " + Number(rule.highest, 0) + " " + rule.unit +
                      (rule.noneAllowed ? " (or empty for none)" : "") + "; it stays " +
                      (shown.empty() ? std::string("none") : shown + " " + rule.unit) + ".");
        text = shown;
        return false;
    };

    std::optional<double> sensitivity;
    std::optional<double> limit;
    std::optional<double> margin;
    std::optional<double> peak;
    std::optional<double> max;
    std::optional<double> criterion;
    std::optional<double> cLimit;
    std::optional<double> cMargin;
    bool valid =
        take(c.Sensitivity, shown_.Sensitivity, kSensitivityRule, s.SplSensitivity, sensitivity);
    valid = take(c.Limit, shown_.Limit, kLimitRule, LimitOf(s.SplLimit), limit) && valid;
    valid = take(c.WarnMargin, shown_.WarnMargin, kMarginRule, s.SplWarnMargin, margin) && valid;
    valid = take(c.PeakLimit, shown_.PeakLimit, kPeakRule, LimitOf(s.SplPeakLimit), peak) && valid;
    valid = take(c.MaxLimit, shown_.MaxLimit, kMaxRule, LimitOf(s.SplMaxLimit), max) && valid;
    valid = take(c.CLimit, shown_.CLimit, kCLimitRule, LimitOf(s.SplCLimit), cLimit) && valid;
    valid =
        take(c.CWarnMargin, shown_.CWarnMargin, kCMarginRule, s.SplCWarnMargin, cMargin) && valid;
    valid = take(c.Criterion, shown_.Criterion, kCriterionRule, s.SplCriterion, criterion) && valid;
    const std::string statistics = Trimmed(c.Statistics);
    if (!ParseStatisticsList(statistics)) {
        why.push_back("Statistical levels: \"" + statistics +
                      "\" is not a list of up to 10 percentages above 0 and below 100, such as "
                      "10,50,90; it stays " +
                      shown_.Statistics + ".");
        c.Statistics = shown_.Statistics;
        valid = false;
    }
    const std::string logFolder = Trimmed(c.LogFolder);
    if (!logFolder.empty() && logFolder.front() != '/') {
        // A folder relative to wherever the program was started is no
        // place anyone would look for the log.
        why.push_back(kLogFolderCaption + ": \"" + logFolder +
                      "\" is not a folder's full path, such as /home/me/Shows; it stays " +
                      (shown_.LogFolder.empty() ? std::string("none") : shown_.LogFolder) + ".");
        c.LogFolder = shown_.LogFolder;
        valid = false;
    }
    const std::string responseFile = Trimmed(c.ResponseFile);
    if (!responseFile.empty() && responseFile.front() != '/') {
        why.push_back(kResponseFileCaption + ": \"" + responseFile +
                      "\" is not a file's full path, such as /home/me/mic.txt; it stays " +
                      (shown_.ResponseFile.empty() ? std::string("none") : shown_.ResponseFile) +
                      ".");
        c.ResponseFile = shown_.ResponseFile;
        valid = false;
    }
    if (valid) {
        // Read and checked before anything else is taken: a file that is no
        // response leaves every setting as it was.
        const std::string before = s.SplResponseFile;
        s.SplResponseFile = responseFile;
        if (std::string error; !app_.UseMicResponse(error)) {
            s.SplResponseFile = before;
            why.push_back(kResponseFileCaption + ": " + error + "; it stays " +
                          (before.empty() ? std::string("none") : before) + ".");
            c.ResponseFile = shown_.ResponseFile;
            valid = false;
        }
    }
    if (!valid) {
        std::string message;
        for (const std::string& sentence : why) {
            message += (message.empty() ? "" : "\n") + sentence;
        }
        dialogs_.MessageBox(message, kSoundLevelDialogCaption);
        return;
    }

    s.SplChannel = std::clamp(c.Channel, 0, 2);
    s.SplLimit = limit.value_or(0.0);
    s.SplMinutes = MinutesOfIndex(c.MinutesIndex);
    s.SplFixedWindows = c.FixedWindows;
    s.SplLimitFill = c.LimitFill;
    s.SplBigFigure = std::clamp(c.BigFigure, 0, kSplBigFigureCount - 1);
    s.SplWarnMargin = *margin;
    s.SplPeakLimit = peak.value_or(0.0);
    s.SplMaxLimit = max.value_or(0.0);
    s.SplCLimit = cLimit.value_or(0.0);
    s.SplCMinutes = MinutesOfIndex(c.CMinutesIndex);
    s.SplCWarnMargin = *cMargin;
    s.SplLogFolder = logFolder;
    s.SplStatistics = statistics;
    s.SplCriterion = *criterion;
    s.SplExchangeRate = c.ExchangeRate == 5 ? 5 : 3;
    app_.ApplySoundLevelSettings();
    app_.EnterSensitivity(sensitivity);
    if (saveSettings_) {
        saveSettings_();
    }
    closed_ = true;
}

void TSoundLevelDialog::ChooseResponseFileClick() {
    const std::string start = Trimmed(controls_.ResponseFile);
    if (const std::optional<std::string> file = dialogs_.OpenFile(
            kResponseFileCaption, start.empty() ? app_.settings().Folder : start)) {
        controls_.ResponseFile = *file;
    }
}

void TSoundLevelDialog::ChooseLogFolderClick() {
    const std::string start = Trimmed(controls_.LogFolder);
    if (const std::optional<std::string> folder = dialogs_.ChooseFolder(
            kLogFolderCaption, start.empty() ? app_.settings().Folder : start)) {
        controls_.LogFolder = *folder;
    }
}

bool TSoundLevelDialog::CalibrateClick() {
    const std::optional<std::string> levelText =
        dialogs_.InputBox(kCalibratorLevelCaption, kCalibratorLevelPrompt, calibratorLevel_);
    if (!levelText) {
        return false;
    }
    calibratorLevel_ = Trimmed(*levelText);
    const std::optional<double> level = ParseLocalNumber(calibratorLevel_, separator_);
    std::string error;
    if (!level) {
        error = "\"" + calibratorLevel_ +
                "\" is no level: type the calibrator's level in dB SPL, such as 94 or 114.";
    } else if (app_.StartCalibration(*level, SplChannelOf(std::clamp(controls_.Channel, 0, 2)),
                                     error)) {
        return true;
    }
    dialogs_.MessageBox(error, kCalibrationCaption);
    return false;
}

void TSoundLevelDialog::CalibrationEnded() {
    const std::optional<CalibrationResult>& result = app_.LastCalibration();
    if (result && result->accepted) {
        controls_.Sensitivity = SensitivityText();
        shown_.Sensitivity = controls_.Sensitivity;
    }
}

}  // namespace tarnwick
