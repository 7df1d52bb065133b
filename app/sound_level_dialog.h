#pragma once
// TSoundLevelDialog: the "Sound Level Setup" dialog without its window. It
// edits the sound level settings: the channel measured, the input's
// sensitivity (typed, or measured with a calibrator), the limit with its
// window and warning margin, the LCpeak and LAFmax limits, the limit on LCeq
// with its own time and margin, the folder of the per-second log, the statistical
// levels shown, and the exposure criterion with its exchange rate.
//
// The controls are plain data in `controls()`: the window fills its widgets
// from them after FormShow and writes the widgets back before a handler.
// Nothing applies until OK. OK checks every entry: one that is not valid gets
// the last value back in its field, and one message says why for each, the
// dialog staying open; with every entry valid it applies them
// (ApplySoundLevelSettings; a new sensitivity as one entered by hand, with
// its row in the calibration history), saves the settings and closes.
//
// A field left as FormShow wrote it keeps the setting's own value, whatever
// rounding the field shows. Everything runs on the event-loop thread.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/meter_app.h"
#include "core/ports/user_dialogs.h"

namespace tarnwick {

inline const std::string kSoundLevelDialogCaption = "Sound Level Setup";
// The channel list, in the order of `SPL Channel`.
inline const std::string kSplChannelNames[] = {"Left", "Right", "Both"};
inline const std::string kCalibratorLevelCaption = "Calibrate";
inline const std::string kLogFolderCaption = "Write a row every second to";
inline const std::string kResponseFileCaption = "Microphone response";
inline const std::string kCalibratorLevelPrompt =
    "Level of the calibrator on the microphone, dB SPL (94 or 114):";

struct TSoundLevelControls {
    int32_t Channel = 0;       // index into kSplChannelNames
    std::string Sensitivity;   // dB SPL of a full-scale sine; empty: uncalibrated
    std::string Limit;         // dB(A) on LAeq,T; empty: none
    int32_t MinutesIndex = 2;  // into kSplMinutesChoices
    bool FixedWindows = false;
    bool LimitFill = true;      // the window framed in the limit's light
    int32_t BigFigure = 0;      // SplBigFigure
    std::string WarnMargin;     // dB under the limit
    std::string PeakLimit;      // LCpeak, dB(C); empty: none
    std::string MaxLimit;       // LAFmax, dB(A); empty: none
    std::string CLimit;         // dB(C) on LCeq,T; empty: none
    int32_t CMinutesIndex = 2;  // its T, into kSplMinutesChoices
    std::string CWarnMargin;    // dB under the C limit
    std::string LogFolder;      // a row every second goes there; empty: none
    std::string ResponseFile;   // the microphone's response file; empty: none
    std::string Statistics;     // the LN shown: "10,50,90"
    std::string Criterion;      // dB(A) of a 100 % dose
    int32_t ExchangeRate = 3;   // 3 or 5 dB
};

class TSoundLevelDialog {
public:
    // `saveSettings` writes the settings record to the store; OK calls it
    // once. `decimalSeparator` is the user's, for the number fields.
    TSoundLevelDialog(MeterApp& app, IUserDialogs& dialogs, std::function<void()> saveSettings,
                      char32_t decimalSeparator);

    // Loads the controls from the settings and opens the dialog.
    void FormShow();
    // OK, as above. closed() tells whether the dialog is done.
    void OKClick();
    bool closed() const { return closed_; }

    // "Calibrate...": asks for the calibrator's level (offering the last one
    // given, at first 94 dB) and starts measuring the input for the channel
    // chosen in the dialog. False when the user cancelled, or after a
    // message saying why it cannot start.
    bool CalibrateClick();
    // "Choose folder...": the folder dialog for the per-second log, opened at
    // the folder in the field; the one chosen goes into the field.
    void ChooseLogFolderClick();
    // "Choose file...": the file dialog for the microphone response, opened
    // at the file's folder; the file chosen goes into the field.
    void ChooseResponseFileClick();
    // The calibration ended (the owner has told the user how): an accepted
    // one shows its sensitivity in the field.
    void CalibrationEnded();

    TSoundLevelControls& controls() { return controls_; }
    const TSoundLevelControls& controls() const { return controls_; }

private:
    std::string Number(double value, int decimals) const;
    std::string SensitivityText() const;

    MeterApp& app_;
    IUserDialogs& dialogs_;
    std::function<void()> saveSettings_;
    char32_t separator_;
    TSoundLevelControls controls_;
    TSoundLevelControls shown_;  // as FormShow (or a calibration) filled them
    std::string calibratorLevel_;
    bool closed_ = false;
};

}  // namespace tarnwick
