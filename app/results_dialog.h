#pragma once
// TResultsDialog: the results setup dialog (TForm4, "Results Setup") without a
// toolkit. It edits the test name, the default file type, the save schedule
// and the figures added to each record (loudness, sound level) of MeterApp's
// settings, and opens the results folder.
//
// The controls are plain data in `controls()`. The window renders them, writes
// what the user types back into them before calling a handler, and closes itself
// when `closed()` turns true. The dialog is created once and reused; every
// showing starts with FormShow, which reloads the controls from the settings.
//
// The two period rows act at once: releasing any key in one of their boxes
// (Tab and the arrow keys included) applies that row to the settings and
// re-schedules its save from now. Everything else waits for OK. The close box
// closes without OK: the window just hides, the period rows' changes stay.

#include <functional>
#include <string>

#include "app/meter_app.h"
#include "core/ports/desktop_shell.h"

namespace tarnwick {

// Captions of the dialog's labels and buttons. The leading blanks are part of
// them: they set the radio buttons' and check boxes' text off from the mark.
inline const std::string kResultsDialogCaption = "Results Setup";
inline const std::string kResultsLabel1 = "Test Name";
inline const std::string kResultsLabel2 = "Default File Type";
inline const std::string kResultsRBcsv = "  CSV";
inline const std::string kResultsRBtxt = "  Text";
inline const std::string kResultsCBSaveOnStop = "   Save results with Stop Button";
inline const std::string kResultsCBSaveOnMinutes = "   Save results every";
inline const std::string kResultsCBSaveOnHours = "   Save results every";
inline const std::string kResultsLabel4 = "hours";
inline const std::string kResultsLabel3 = "minutes from start of test ";
inline const std::string kResultsLabel6 = "24 hours Max";
inline const std::string kResultsLabel5 = "hours, by the clock, on the hour";
inline const std::string kResultsLabel7 = "24 hours Max";
inline const std::string kResultsCBLoudness = "   Add loudness to the results";
inline const std::string kResultsCBSoundLevel = "   Add sound level to the results";
inline const std::string kResultsCBOctaves = "   with its octave bands";
inline const std::string kResultsButton3 = "Explore Folder";
inline const std::string kResultsButton2 = "OK";

// Backspace as the key-press filter sees it.
constexpr char kBackspaceChar = 8;

// The widest step of the hourly saves, in hours.
constexpr int32_t kMaxSaveHours = 24;

// The dialog's controls. The start values are the form's design values; they
// are never seen, since FormShow overwrites them.
struct TResultsControls {
    std::string EditName = "Level Test";
    bool RBcsvChecked = false;
    bool RBtxtChecked = true;
    bool CBSaveOnStopChecked = false;
    bool CBSaveOnMinutesChecked = false;
    bool CBSaveOnHoursChecked = false;
    std::string EditHours = "0";
    std::string EditMinutes = "10";
    std::string EditOnTheHour = "1";
    bool CBLoudnessChecked = false;
    bool CBSoundLevelChecked = false;
    bool CBOctavesChecked = false;  // with the sound level: 63 Hz to 8 kHz
};

class TResultsDialog {
public:
    // `saveSettings` writes the settings record to the store; OK calls it once.
    TResultsDialog(MeterApp& app, IDesktopShell& shell, std::function<void()> saveSettings);

    // Loads the controls from the settings and opens the dialog (closed() false).
    void FormShow();

    // The typing filter of the three period boxes: true lets `key` through (the
    // digits 0 to 9 and backspace), false drops it. EditHours shares
    // EditMinutesKeyPress.
    bool EditMinutesKeyPress(char key) const;
    bool EditOnTheHourKeyPress(char key) const { return EditMinutesKeyPress(key); }

    // A key released in one of the minutes row's boxes.
    void EditMinutesKeyUp() { ApplySaveInterval(); }
    void EditHoursKeyUp() { ApplySaveInterval(); }

    // Applies EditOnTheHour to `Save Hours` (1 to 24) and moves the hourly save
    // to the next whole hour, whether or not hourly saves are on. Text that is
    // not a whole number keeps `Save Hours`.
    void EditOnTheHourKeyUp();

    // Applies the minutes row to `Save Mins` (hours x 60 + minutes, 1 to 1440) and
    // schedules the minutes save that many minutes from now. Text in EditMinutes
    // that is not a whole number changes nothing; in EditHours it counts as 0.
    void ApplySaveInterval();

    // OK: applies every control, schedules both saves from now, stores the
    // settings and closes the dialog.
    void Button2Click();

    // Explore Folder: shows `Folder` in the file browser. A missing folder is not
    // reported; the browser's result is ignored.
    void Button3Click();

    TResultsControls& controls() { return controls_; }
    const TResultsControls& controls() const { return controls_; }
    // True once OK has closed the dialog; FormShow lowers it.
    bool closed() const { return closed_; }

private:
    MeterApp& app_;
    IDesktopShell& shell_;
    std::function<void()> saveSettings_;
    TResultsControls controls_;
    bool closed_ = false;
};

}  // namespace tarnwick
