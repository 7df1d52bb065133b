#include "app/config_dialog.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <system_error>
#include <utility>

#include "core/number_format.h"

namespace tarnwick {

namespace {

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const size_t last = text.find_last_not_of(' ');
    return text.substr(first, last - first + 1);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Significant digits of the calibration field and the headroom label.
constexpr int kCalibrationDigits = 15;
// Significant digits of the average time as the first fill writes it.
constexpr int kAverageTimeDigits = 2;
// Sweep and average time as FormShow writes them: one decimal, at most three
// significant digits.
constexpr int kTimeFieldPrecision = 3;
constexpr int kTimeFieldDecimals = 1;

}  // namespace

std::optional<double> ParseLocalNumber(const std::string& text, char32_t separator) {
    const std::string separatorText = DecimalSeparatorText(separator);
    std::string_view rest = Trimmed(text);
    // Rewritten in the notation from_chars reads, checking the shape on the way.
    std::string plain;
    if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
        if (rest.front() == '-') {
            plain += '-';
        }
        rest.remove_prefix(1);
    }
    int digits = 0;
    bool point = false;
    while (!rest.empty()) {
        if (IsDigit(rest.front())) {
            plain += rest.front();
            ++digits;
            rest.remove_prefix(1);
        } else if (!point && !separatorText.empty() && rest.starts_with(separatorText)) {
            plain += '.';
            point = true;
            rest.remove_prefix(separatorText.size());
        } else {
            break;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    if (!rest.empty() && (rest.front() == 'e' || rest.front() == 'E')) {
        plain += 'e';
        rest.remove_prefix(1);
        if (!rest.empty() && (rest.front() == '+' || rest.front() == '-')) {
            plain += rest.front();
            rest.remove_prefix(1);
        }
        int exponentDigits = 0;
        while (!rest.empty() && IsDigit(rest.front())) {
            plain += rest.front();
            ++exponentDigits;
            rest.remove_prefix(1);
        }
        if (exponentDigits == 0) {
            return std::nullopt;
        }
    }
    if (!rest.empty()) {
        return std::nullopt;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(plain.data(), plain.data() + plain.size(), value);
    if (error != std::errc() || end != plain.data() + plain.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<int32_t> ParseWholeNumber(const std::string& text) {
    std::string_view rest = Trimmed(text);
    if (!rest.empty() && rest.front() == '+') {
        rest.remove_prefix(1);
        if (!rest.empty() && rest.front() == '-') {
            return std::nullopt;
        }
    }
    int32_t value = 0;
    const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
    if (rest.empty() || error != std::errc() || end != rest.data() + rest.size()) {
        return std::nullopt;
    }
    return value;
}

TConfigDialog::TConfigDialog(MeterApp& app, IUserDialogs& dialogs,
                             std::function<void()> saveSettings, char32_t decimalSeparator)
    : app_(app),
      dialogs_(dialogs),
      saveSettings_(std::move(saveSettings)),
      separator_(decimalSeparator) {}

std::string TConfigDialog::General(double value, int precision) const {
    return FormatGeneral(value, precision, separator_);
}

void TConfigDialog::SetText(std::string& field, const std::string& text,
                            void (TConfigDialog::*rule)()) {
    if (field == text) {
        return;
    }
    field = text;
    (this->*rule)();
}

// --- Showing and closing ----------------------------------------------------------

void TConfigDialog::Open() {
    // A test always runs while the dialog is open.
    if (!app_.testRun().TestRunning) {
        app_.StartStopButtonClick();
    }
    TMeterSettings& s = app_.settings();

    view_.ComboBox1Items = app_.ListInputDevices();
    if (view_.ComboBox1Items.size() < 2) {
        s.DeviceIndex = 0;
    }
    // The device in use is marked by its name, not by the position it had when
    // it was opened: the server's default source comes first, so positions
    // shift when the user picks another default. With the same name twice the
    // last is taken, as when the device was looked up.
    const auto inUse =
        std::find(view_.ComboBox1Items.rbegin(), view_.ComboBox1Items.rend(), s.DeviceName);
    if (!s.DeviceName.empty() && inUse != view_.ComboBox1Items.rend()) {
        s.DeviceIndex = static_cast<int32_t>(view_.ComboBox1Items.rend() - inUse) - 1;
    }
    const bool listed =
        s.DeviceIndex >= 0 && static_cast<size_t>(s.DeviceIndex) < view_.ComboBox1Items.size();
    view_.ComboBox1Index = listed ? s.DeviceIndex : -1;
    if (listed) {
        view_.ComboBox1Text = view_.ComboBox1Items[static_cast<size_t>(s.DeviceIndex)];
    }

    view_.Shape2 = s.Topcolor;
    view_.Shape1 = s.Midcolor;
    view_.Shape3 = s.Lowcolor;
    ShowLevels();
    SetText(view_.Edit1, General(s.Calibration, kCalibrationDigits), &TConfigDialog::ApplyEdit1);
    SetText(view_.EditFullScale, std::to_string(s.FullScale), &TConfigDialog::ApplyEditFullScale);
    view_.EditFullScaleEnabled = s.Scale == kUserFullScale;

    view_.cbFillAverageChecked = s.FillAverage;
    view_.cbFillPeaksChecked = s.FillPeaks;
    view_.cbShowPeaksChecked = s.ShowPeaks;
    view_.cbShowGridChecked = s.ShowGrid;
    view_.cbShowAverageChecked = s.ShowAverage;
    view_.cbignorethresholdChecked = !s.ThresholdIgnore;
    view_.ThresholdLabelsEnabled = !s.ThresholdIgnore;
    view_.Shape3Visible = !s.ThresholdIgnore;

    view_.scaleSelectIndex = s.Scale;
    view_.CheckBox2Checked = s.OnTop;
    view_.CBintegrateChecked = s.Integrate;
    view_.CheckBox5Checked = s.AutoStart;
    app_.ShowAutoStart();
    view_.EditAutoStart = std::to_string(s.AutoLevel + s.DisplayOffset);
    SetText(view_.EditAvgTime, General(s.AverageTime, kAverageTimeDigits),
            &TConfigDialog::ApplyEditAvgTime);

    view_.Abar = s.Lowcolor;
    view_.Bbar = s.Topcolor;
    view_.CBar = s.Midcolor;
    view_.Mbar = s.Mcolor;
    view_.RBar = s.Rcolor;
    view_.Sbar = s.Scolor;
    view_.LavgBar = s.Lavcolor;
    view_.RavgBar = s.Ravcolor;

    if (s.Locked) {
        view_.LockSetChecked = true;
        view_.StaticText4Visible = true;
    }
    FormShow();
}

void TConfigDialog::FormShow() {
    const TMeterSettings& s = app_.settings();
    view_.ComboBox2Index = s.Channel;
    // The times are written again with one decimal: an average time the first
    // fill wrote with more (0.025) is re-applied as shown ("0.0").
    SetText(view_.Edit3, FormatFixed(s.Sweep, kTimeFieldPrecision, kTimeFieldDecimals, separator_),
            &TConfigDialog::ApplyEdit3);
    SetText(view_.EditAvgTime,
            FormatFixed(s.AverageTime, kTimeFieldPrecision, kTimeFieldDecimals, separator_),
            &TConfigDialog::ApplyEditAvgTime);
    SetLocked(s.Locked);
    view_.cbFifthOptionChecked = !s.ShowAverage && !s.ShowPeaks && !s.FillPeaks && !s.FillAverage;
    const std::string target = FormatFixed(s.LoudnessTarget, 15, 1, separator_);
    const auto preset =
        std::find_if(kLoudnessTargetPresets.begin(), kLoudnessTargetPresets.end(),
                     [&](const std::string& p) { return p.starts_with(target + " "); });
    view_.LoudnessTarget = preset != kLoudnessTargetPresets.end() ? *preset : target;
}

void TConfigDialog::Close(bool ok) {
    FormClose();
    if (ok) {
        ButtonOk();
    } else {
        SetText(view_.Edit1, General(app_.settings().Calibration, kCalibrationDigits),
                &TConfigDialog::ApplyEdit1);
    }
}

void TConfigDialog::FormClose() {
    // With no device listed there is nothing to switch to; the settings keep
    // the device they name.
    const int32_t index = view_.ComboBox1Index;
    if (index < 0 || static_cast<size_t>(index) >= view_.ComboBox1Items.size()) {
        return;
    }
    // Switches only when the index differs; takes the name in any case.
    app_.SwitchInputDevice(index, view_.ComboBox1Items[static_cast<size_t>(index)]);
}

void TConfigDialog::ButtonOk() {
    TMeterSettings& s = app_.settings();
    s.Calibration =
        ParseLocalNumber(view_.Edit1, separator_).value_or(kCalibrationIfUnreadableOnSave);
    s.ShowAverage = view_.cbShowAverageChecked;
    s.ShowPeaks = view_.cbShowPeaksChecked;
    s.ShowGrid = view_.cbShowGridChecked;
    s.FillPeaks = view_.cbFillPeaksChecked;
    s.FillAverage = view_.cbFillAverageChecked;
    s.ThresholdIgnore = !view_.cbignorethresholdChecked;
    s.OnTop = view_.CheckBox2Checked;
    s.Integrate = view_.CBintegrateChecked;
    s.AutoStart = view_.CheckBox5Checked;
    app_.ShowAutoStart();
    s.Scale = view_.scaleSelectIndex;
    // The field shows the level in the scale now in force (see
    // ShiftAutoStartField): less that scale's offset, it is the stored level.
    const std::optional<int32_t> autoLevel = ParseWholeNumber(view_.EditAutoStart);
    s.AutoLevel = autoLevel ? *autoLevel - s.DisplayOffset : kAutoLevelIfUnreadableOnSave;
    s.DisplayOffset = DisplayOffsetFor(s.Scale, s.FullScale);
    s.AverageTime =
        ParseLocalNumber(view_.EditAvgTime, separator_).value_or(kAverageTimeIfUnreadable);
    TakeAverageTime(s.AverageTime);
    app_.ShowEffectiveAverageTime();
    app_.ShowThresholdIndicator();
    s.Lowcolor = view_.Abar;
    s.Topcolor = view_.Bbar;
    s.Midcolor = view_.CBar;
    view_.Shape2 = s.Topcolor;
    view_.Shape1 = s.Midcolor;
    // A target that is not a number, or beyond any programme, keeps the last.
    const std::string& text = view_.LoudnessTarget;
    const std::optional<double> target =
        ParseLocalNumber(text.substr(0, text.find_first_of(" \tLl")), separator_);
    if (target && *target >= kLowestLoudnessTarget && *target <= kHighestLoudnessTarget) {
        s.LoudnessTarget = *target;
    }
    if (saveSettings_) {
        saveSettings_();
    }
}

// --- Fields -------------------------------------------------------------------------

void TConfigDialog::Edit1Change(const std::string& text) {
    SetText(view_.Edit1, text, &TConfigDialog::ApplyEdit1);
}

void TConfigDialog::ApplyEdit1() {
    TMeterSettings& s = app_.settings();
    view_.Edit1Red = false;
    if (const std::optional<double> value = ParseLocalNumber(view_.Edit1, separator_)) {
        s.Calibration = *value;
        // 0.0 - value rather than -value: a calibration of 0 shows as "0", not "-0".
        view_.Label14 = General(0.0 - *value, kCalibrationDigits) + " dB";
    } else {
        view_.Edit1Red = true;
        s.Calibration = kCalibrationIfUnreadable;
    }
    view_.Label25 = std::to_string(s.UpperVol + s.DisplayOffset);
    view_.Label27 = std::to_string(s.LowerVol + s.DisplayOffset);
}

void TConfigDialog::Edit3Change(const std::string& text) {
    SetText(view_.Edit3, text, &TConfigDialog::ApplyEdit3);
}

bool TConfigDialog::Edit3KeyPress(char key) {
    return IsDigit(key) || key == '.' || key == kBackspaceKey;
}

void TConfigDialog::ApplyEdit3() {
    TMeterSettings& s = app_.settings();
    const double sweep = ParseLocalNumber(view_.Edit3, separator_).value_or(kSweepIfUnreadable);
    s.Sweep = std::clamp(sweep, kMinSweep, kMaxSweep);
    s.BlockBytes = BlockBytesForSweep(s.Sweep);
    // The dialog's cap of 500 is not applied here, only on the average field.
    s.AverageLength = AverageLengthFor(s.AverageTime, s.BlockBytes);
    app_.ClearShortTermAverage();
}

void TConfigDialog::EditAvgTimeChange(const std::string& text) {
    SetText(view_.EditAvgTime, text, &TConfigDialog::ApplyEditAvgTime);
}

void TConfigDialog::TakeAverageTime(double seconds) {
    if (seconds > 0.0 && seconds < kAverageTimeLimit) {
        TMeterSettings& s = app_.settings();
        s.AverageLength =
            std::clamp(AverageLengthFor(seconds, s.BlockBytes), 1, kDialogAverageLengthCap);
    }
}

void TConfigDialog::ApplyEditAvgTime() {
    TMeterSettings& s = app_.settings();
    s.AverageTime =
        ParseLocalNumber(view_.EditAvgTime, separator_).value_or(kAverageTimeIfUnreadable);
    TakeAverageTime(s.AverageTime);
    app_.ShowEffectiveAverageTime();
    app_.ClearShortTermAverage();
}

void TConfigDialog::EditFullScaleChange(const std::string& text) {
    SetText(view_.EditFullScale, text, &TConfigDialog::ApplyEditFullScale);
}

void TConfigDialog::ApplyEditFullScale() {
    TMeterSettings& s = app_.settings();
    const int32_t offset = s.DisplayOffset;
    s.FullScale = ParseWholeNumber(view_.EditFullScale).value_or(kFullScaleIfUnreadable);
    s.DisplayOffset = DisplayOffsetFor(s.Scale, s.FullScale);
    ShiftAutoStartField(offset);
    ShowLevels();
    app_.RedrawMeter();
}

void TConfigDialog::ShiftAutoStartField(int32_t previousOffset) {
    const int64_t offset = app_.settings().DisplayOffset;
    const std::optional<int32_t> shown = ParseWholeNumber(view_.EditAutoStart);
    if (offset == previousOffset || !shown) {
        return;  // text that is no number is taken as unreadable at "Save and Close"
    }
    const int64_t moved = int64_t{*shown} - previousOffset + offset;
    if (moved >= std::numeric_limits<int32_t>::min() &&
        moved <= std::numeric_limits<int32_t>::max()) {
        view_.EditAutoStart = std::to_string(moved);
    }
}

void TConfigDialog::ShowLevels() {
    const TMeterSettings& s = app_.settings();
    view_.Label25 = std::to_string(s.UpperVol + s.DisplayOffset);
    view_.Label27 = std::to_string(s.LowerVol + s.DisplayOffset);
    view_.Label16 = std::to_string(s.Threshold + s.DisplayOffset);
}

// --- Lists --------------------------------------------------------------------------

void TConfigDialog::scaleSelectChange(int32_t index) {
    TMeterSettings& s = app_.settings();
    const int32_t offset = s.DisplayOffset;
    view_.scaleSelectIndex = index;
    s.Scale = index;
    view_.EditFullScaleEnabled = index == kUserFullScale;
    s.DisplayOffset = DisplayOffsetFor(s.Scale, s.FullScale);
    ShiftAutoStartField(offset);
    ShowLevels();
    app_.RedrawMeter();
}

void TConfigDialog::ComboBox2Change(int32_t index) {
    view_.ComboBox2Index = index;
    app_.settings().Channel = index;
    app_.RedrawMeter();
}

void TConfigDialog::ComboBox1Change(int32_t index) {
    view_.ComboBox1Index = index;
    if (index >= 0 && static_cast<size_t>(index) < view_.ComboBox1Items.size()) {
        view_.ComboBox1Text = view_.ComboBox1Items[static_cast<size_t>(index)];
    }
}

// --- Target and threshold buttons ---------------------------------------------------

void TConfigDialog::AfterLevelButton() {
    ShowLevels();
    // A running test keeps its graph; otherwise the new line is drawn on a clean one.
    if (!app_.testRun().TestRunning) {
        app_.ClearScreen1Click();
    }
}

void TConfigDialog::IncUpperVolClick() {
    int32_t& level = app_.settings().UpperVol;
    if (level < 0) {
        ++level;
    }
    AfterLevelButton();
}

void TConfigDialog::DecUpperVolClick() {
    int32_t& level = app_.settings().UpperVol;
    if (level > kTargetFloor) {
        --level;
    }
    AfterLevelButton();
}

void TConfigDialog::IncVolClick() {
    int32_t& level = app_.settings().LowerVol;
    if (level < 0) {
        ++level;
    }
    AfterLevelButton();
}

void TConfigDialog::DecVolClick() {
    int32_t& level = app_.settings().LowerVol;
    if (level > kTargetFloor) {
        --level;
    }
    AfterLevelButton();
}

void TConfigDialog::IncThresholdClick() {
    int32_t& level = app_.settings().Threshold;
    if (level < 0) {
        ++level;
    }
    AfterLevelButton();
}

void TConfigDialog::DecThresholdClick() {
    int32_t& level = app_.settings().Threshold;
    if (level > kThresholdFloor) {
        --level;
    }
    AfterLevelButton();
}

// --- Check boxes --------------------------------------------------------------------

void TConfigDialog::CBintegrateClick(bool checked) {
    view_.CBintegrateChecked = checked;
    app_.settings().Integrate = checked;
}

void TConfigDialog::cbShowGridClick(bool checked) {
    view_.cbShowGridChecked = checked;
    app_.settings().ShowGrid = checked;
}

void TConfigDialog::cbignorethresholdClick(bool checked) {
    view_.cbignorethresholdChecked = checked;
    app_.settings().ThresholdIgnore = !checked;
    view_.ThresholdLabelsEnabled = checked;
    view_.Shape3Visible = checked;
}

void TConfigDialog::cbShowAverageClick(bool checked) {
    view_.cbShowAverageChecked = checked;
    app_.settings().ShowAverage = checked;
    if (checked) {
        view_.cbFifthOptionChecked = false;
    }
}

void TConfigDialog::cbShowPeaksClick(bool checked) {
    view_.cbShowPeaksChecked = checked;
    app_.settings().ShowPeaks = checked;
    if (checked) {
        view_.cbFifthOptionChecked = false;
    }
}

void TConfigDialog::cbFillAverageClick(bool checked) {
    view_.cbFillAverageChecked = checked;
    app_.settings().FillAverage = checked;
    if (checked) {
        view_.cbFifthOptionChecked = false;
    }
}

void TConfigDialog::cbFillPeaksClick(bool checked) {
    view_.cbFillPeaksChecked = checked;
    app_.settings().FillPeaks = checked;
    if (checked) {
        view_.cbFifthOptionChecked = false;
    }
}

void TConfigDialog::cbFifthOptionClick(bool checked) {
    view_.cbFifthOptionChecked = checked;
    if (checked) {
        cbShowAverageClick(false);
        cbShowPeaksClick(false);
        cbFillPeaksClick(false);
        cbFillAverageClick(false);
    }
}

// --- Colour blocks ------------------------------------------------------------------

void TConfigDialog::PickColour(Colour& block, bool preset) {
    if (preset) {
        colourDialogColour_ = block;
    }
    if (const std::optional<Colour> chosen = dialogs_.ChooseColour(colourDialogColour_)) {
        colourDialogColour_ = *chosen;
        block = *chosen;
    }
}

void TConfigDialog::AbarClick() {
    PickColour(view_.Abar, true);
    app_.settings().Lowcolor = view_.Abar;
}

void TConfigDialog::BbarClick() {
    PickColour(view_.Bbar, true);
    app_.settings().Topcolor = view_.Bbar;
}

void TConfigDialog::CBarClick() {
    PickColour(view_.CBar, true);
    app_.settings().Midcolor = view_.CBar;
}

void TConfigDialog::SbarClick() {
    PickColour(view_.Sbar, false);
    app_.settings().Scolor = view_.Sbar;
}

void TConfigDialog::MbarClick() {
    PickColour(view_.Mbar, false);
    app_.settings().Mcolor = view_.Mbar;
}

void TConfigDialog::RBarClick() {
    PickColour(view_.RBar, false);
    app_.settings().Rcolor = view_.RBar;
}

void TConfigDialog::LavgBarClick() {
    PickColour(view_.LavgBar, false);
    app_.settings().Lavcolor = view_.LavgBar;
}

void TConfigDialog::RavgBarClick() {
    PickColour(view_.RavgBar, false);
    app_.settings().Ravcolor = view_.RavgBar;
}

// --- Settings lock ------------------------------------------------------------------

void TConfigDialog::SetLocked(bool locked) {
    view_.PanelsEnabled = !locked;
    view_.StaticText4Visible = locked;
    view_.LockSetChecked = locked;
}

void TConfigDialog::LockSetMouseUp() {
    TMeterSettings& s = app_.settings();
    if (s.Locked) {
        const std::string answer =
            dialogs_.InputBox(kUnlockCaption, kUnlockPrompt, "").value_or("");
        // The letter case counts: anything but the exact password leaves the lock.
        if (!answer.empty() && answer == s.password) {
            s.Locked = false;
            s.password.clear();
        }
    } else {
        const std::string answer = dialogs_.InputBox(kLockCaption, kLockPrompt, "").value_or("");
        if (!answer.empty()) {
            s.Locked = true;
            s.password = answer;
        }
    }
    SetLocked(s.Locked);
}

}  // namespace tarnwick
