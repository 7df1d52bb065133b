#pragma once
// TConfigDialog: the program setup dialog ("Ombrix Setup") without its window.
// It holds the state of every control as plain data and exposes each handler
// under its control's name. Most handlers change the settings at once, so the
// running meter follows them while the dialog is open; the rest are taken by
// Close(true) ("Save and Close"), which then saves all settings.
//
// One object lives for the whole run and is reused for every showing: the
// controls keep their texts between showings, and a field whose text is set to
// the text it already holds does not run its change rule.
//
// The window calls, in this order: Open() (which ends with FormShow), the
// handlers while the user works, Close(ok). Everything runs on the event-loop
// thread; blocks and timers go on between the calls.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/meter_app.h"
#include "core/meter_settings.h"
#include "core/ports/user_dialogs.h"

namespace tarnwick {

inline const std::string kConfigDialogCaption = "Ombrix Setup";
inline const std::string kUnlockCaption = "Unlock Settings";
inline const std::string kUnlockPrompt = "Enter password to unlock";
inline const std::string kLockCaption = "LOCK Settings";
inline const std::string kLockPrompt = "Enter password required to unlock";

// The dialog opens this far right of the main window's left edge (the width of
// the graph image, 582, plus a margin of 56) and this far below its top edge.
constexpr int32_t kConfigDialogOffsetX = 582 + 56;
constexpr int32_t kConfigDialogOffsetY = 56;

// Fill of the calibration field while its text is not a number (0x00BBGGRR).
constexpr Colour kInvalidFieldColour = 0x0000FF;

// Limits of the target and threshold buttons, in dB below the top of the scale.
constexpr int32_t kTargetFloor = -40;
constexpr int32_t kThresholdFloor = -99;
// The sweep field keeps the sweep time within these seconds.
constexpr double kMinSweep = 1.0;
constexpr double kMaxSweep = 60.0;
// Average times the dialog takes into AverageLength: above 0, below this.
constexpr double kAverageTimeLimit = 11.0;

// Values a field takes when its text is not a number.
constexpr double kSweepIfUnreadable = 10.0;
constexpr double kAverageTimeIfUnreadable = 0.3;
constexpr double kCalibrationIfUnreadable = 0.0;
constexpr double kCalibrationIfUnreadableOnSave = -2.0;
constexpr int32_t kFullScaleIfUnreadable = 95;
constexpr int32_t kAutoLevelIfUnreadableOnSave = -30;

// The "Loudness" group: the target's presets, as the list shows them. A typed
// value is taken too; the number that starts the text is the target in LUFS.
inline const std::string kLoudnessGroupCaption = "Loudness";
inline const std::vector<std::string> kLoudnessTargetPresets = {
    "-23.0 LUFS  EBU R 128", "-24.0 LKFS  ATSC A/85", "-16.0 LUFS", "-14.0 LUFS"};

// Backspace as the sweep field's key filter sees it.
constexpr char kBackspaceKey = '\b';

struct TConfigViewState {
    // Panel4: input and channel
    std::vector<std::string> ComboBox1Items;
    int32_t ComboBox1Index = -1;                    // -1: nothing selected
    std::string ComboBox1Text = "No Input Device";  // the selected item once there is one
    int32_t ComboBox2Index = 0;

    // Panel1: calibration and timing. The texts start as the form was designed.
    std::string Edit1 = " 0";
    bool Edit1Red = false;  // else the normal window colour
    std::string Label14;    // headroom: the negated calibration + " dB"
    bool CBintegrateChecked = true;
    std::string EditAvgTime = "20";
    std::string Edit3 = "10";

    // Panel2: meter scale, targets, threshold, auto start
    int32_t scaleSelectIndex = kDefaultScale;
    std::string EditFullScale = "0";
    bool EditFullScaleEnabled = false;   // with its two labels
    std::string Label25;                 // Target 1, shown level
    std::string Label27;                 // Target 2
    std::string Label16;                 // threshold
    bool ThresholdLabelsEnabled = true;  // "Threshold", Label16 and its "dB"
    bool Shape3Visible = true;
    Colour Shape2 = 0;  // frame of Target 1
    Colour Shape1 = 0;  // frame of Target 2
    Colour Shape3 = 0;  // frame of the threshold
    bool cbignorethresholdChecked = true;
    bool CheckBox5Checked = false;  // "Auto Start"
    std::string EditAutoStart;

    // Panel7: graph options and colour blocks
    bool cbShowAverageChecked = true;
    bool cbShowPeaksChecked = true;
    bool cbFillAverageChecked = false;
    bool cbFillPeaksChecked = false;
    bool cbFifthOptionChecked = false;
    bool cbShowGridChecked = false;
    Colour Abar = 0;
    Colour Bbar = 0;
    Colour CBar = 0;
    Colour Sbar = 0;
    Colour Mbar = 0;
    Colour RBar = 0;
    Colour LavgBar = 0;
    Colour RavgBar = 0;

    // The "Loudness" group: the target, a preset or a typed value
    std::string LoudnessTarget;

    // Outside the panels
    bool CheckBox2Checked = true;  // "Always on top"
    bool LockSetChecked = false;
    // Panel1, Panel2, Panel4, Panel7 and "Always on top"; LockSet and "Save and
    // Close" are always usable.
    bool PanelsEnabled = true;
    bool StaticText4Visible = false;  // "Settings are locked"
};

class TConfigDialog {
public:
    // `saveSettings` writes every setting to the store; the window layer
    // supplies it. `decimalSeparator` is the user's, for the number fields.
    TConfigDialog(MeterApp& app, IUserDialogs& dialogs, std::function<void()> saveSettings,
                  char32_t decimalSeparator);

    const TConfigViewState& view() const { return view_; }

    // --- Showing and closing ------------------------------------------------------

    // Everything before the dialog appears, FormShow included: starts a test if
    // none runs, lists the devices and fills every control from the settings.
    // Filling a field whose text changes re-applies it (see the handlers).
    void Open();
    // The dialog closed: `ok` for "Save and Close", false for the close box.
    // Either way the chosen input device takes over; with `ok` the values of
    // the confirmed controls are taken and the settings saved. Placing the main
    // window on top and dropping its focus are the window's part.
    void Close(bool ok);

    // --- Fields (each sets the text; the rule runs only if the text differs) ----

    // Calibration (dB) at once; the field turns red while it is not a number.
    void Edit1Change(const std::string& text);
    // Sweep seconds, clamped to 1..60: block size, average length, rings cleared.
    void Edit3Change(const std::string& text);
    // Only digits, "." and backspace reach the sweep field; false drops the key.
    static bool Edit3KeyPress(char key);
    // Average Time seconds: the average length (only for 0 < t < 11), the main
    // window's effective time, rings cleared.
    void EditAvgTimeChange(const std::string& text);
    // Full Scale dB of the user full-scale meter: shown levels and the meter.
    void EditFullScaleChange(const std::string& text);
    // The level, in dB of the scale chosen in the dialog, at which a test
    // starts by itself; taken only at "Save and Close". While the dialog is
    // open the field follows a change of scale or of User Full Scale, so that
    // it always means the same level.
    void EditAutoStartChange(const std::string& text) { view_.EditAutoStart = text; }

    // --- Lists ----------------------------------------------------------------------

    void scaleSelectChange(int32_t index);
    void ComboBox2Change(int32_t index);
    // The device is switched when the dialog closes.
    void ComboBox1Change(int32_t index);

    // --- Target and threshold buttons: 1 dB per press ------------------------------

    void IncUpperVolClick();
    void DecUpperVolClick();
    void IncVolClick();
    void DecVolClick();
    void IncThresholdClick();
    void DecThresholdClick();

    // --- Check boxes (`checked`: the box's state after the click) ------------------

    void CBintegrateClick(bool checked);
    void cbignorethresholdClick(bool checked);
    void cbShowAverageClick(bool checked);
    void cbShowPeaksClick(bool checked);
    void cbFillAverageClick(bool checked);
    void cbFillPeaksClick(bool checked);
    // Checking it clears the four boxes above; unchecking it changes nothing else.
    void cbFifthOptionClick(bool checked);
    void cbShowGridClick(bool checked);
    // Taken only at "Save and Close".
    void CheckBox2Click(bool checked) { view_.CheckBox2Checked = checked; }
    // The loudness target's text, chosen or typed; taken at "Save and Close".
    void LoudnessTargetChange(const std::string& text) { view_.LoudnessTarget = text; }
    void CheckBox5Click(bool checked) { view_.CheckBox5Checked = checked; }

    // --- Colour blocks ----------------------------------------------------------------

    // The target-line colours: the colour dialog opens at the block's colour.
    void AbarClick();
    void BbarClick();
    void CBarClick();
    // The graph colours: the colour dialog opens at the colour it last held.
    void SbarClick();
    void MbarClick();
    void RBarClick();
    void LavgBarClick();
    void RavgBarClick();

    // --- Settings lock --------------------------------------------------------------

    // The mouse was released over LockSet: asks for the password that locks or
    // unlocks. Afterwards LockSet shows whether the settings are locked, so a
    // toggle by the keyboard is undone by rendering the view again.
    void LockSetMouseUp();

private:
    void SetText(std::string& field, const std::string& text, void (TConfigDialog::*rule)());
    void ApplyEdit1();
    void ApplyEdit3();
    void ApplyEditAvgTime();
    void ApplyEditFullScale();
    void FormShow();
    void FormClose();
    void ButtonOk();
    void TakeAverageTime(double seconds);
    void ShowLevels();
    // Moves a number in the Auto Start field from the scale offset
    // `previousOffset` to the one now in force.
    void ShiftAutoStartField(int32_t previousOffset);
    void SetLocked(bool locked);
    void AfterLevelButton();
    void PickColour(Colour& block, bool preset);
    std::string General(double value, int precision) const;

    MeterApp& app_;
    IUserDialogs& dialogs_;
    std::function<void()> saveSettings_;
    char32_t separator_;
    TConfigViewState view_;
    // The colour dialog keeps the colour it last showed between openings.
    std::optional<Colour> colourDialogColour_;
};

// A decimal number in the user's notation: optional blanks around, a sign, digits
// with at most one `separator`, an optional exponent. nullopt otherwise.
std::optional<double> ParseLocalNumber(const std::string& text, char32_t separator);
// A whole number within the 32-bit range, optional blanks around; else nullopt.
std::optional<int32_t> ParseWholeNumber(const std::string& text);

}  // namespace tarnwick
