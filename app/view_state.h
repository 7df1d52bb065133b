#pragma once
// The state of the main window's controls as data: texts, visibility, colours,
// enabled and checked states. Owned by MeterApp; the window renders it and tests
// read it.

#include <cstdint>
#include <string>

#include "core/over_lamp.h"
#include "display/readout_format.h"

namespace tarnwick {

inline const std::string kStartStopHintAtStart =
    "Start or Stop recording data - Can also press SPACE";
inline const std::string kStartStopHintRunning = "Stop the exercise";
inline const std::string kStartStopHintStopped = "Start recording data";
inline const std::string kNoFileOpen = "No File Open";
inline const std::string kNoFileOpenAfterClose = "No File Open  ";
inline const std::string kLogFilePrefix = "Log File:   ";
inline const std::string kNotScheduled = "Not scheduled";
// The next-save line while the input is lost.
inline const std::string kInputLostLabel = "Input lost:";
inline const std::string kInputRetryText = "trying again every 5 s";

struct TMainViewState {
    std::string Caption;

    // Readouts of Panel5
    std::string PeakDisplay;
    std::string ShortAvglDisplay;
    std::string LongAvgDisplay;
    std::string OverTimeDisplay;
    std::string Undertimedisplay;
    std::string ElapTimeDisplay;
    std::string Label11 = kSystemMaxCaption;
    std::string Label6;          // effective short-term average time
    bool Label14Visible = true;  // "THRESHOLD ENABLED"
    Colour tooHigh = kLampDark;  // the over lamp's brush

    // Results file and schedule
    std::string Label1 = kNoFileOpen;
    std::string Label2 = "Next Save:";
    std::string Label3 = kNotScheduled;
    bool SaveAs1Enabled = true;
    bool TBopenEnabled = true;
    bool CloseFile1Enabled = false;
    bool TBcloseEnabled = false;

    // Test controls
    bool StartStopButtonDown = false;
    int32_t StartStopPicture = 0;  // 0 Start, 1 Stop
    std::string StartStopHint = kStartStopHintAtStart;
    bool CheckBox1Checked = false;  // " Auto-Start"
    int32_t TBreplayImage = 2;      // 2 while no replay runs, 7 during one
};

}  // namespace tarnwick
