#pragma once
// TSettingsStore: keeps TMeterSettings between runs in the per-user settings key
// "Software\Hollowden\Tarnwick" (the first running copy) or
// "Software\Hollowden\Tarnwick 2" (every further copy, all sharing it). No key is
// held between calls: each operation opens or creates the key, reads or writes,
// and lets it go.
//
// All calls come from the event-loop thread: LoadSettings once while the main
// window is created, SaveSettings when a setup dialog is confirmed,
// SaveWindowState from the main window's close handler.

#include <cstdint>
#include <string>

#include "core/meter_settings.h"
#include "core/ports/settings_key.h"
#include "core/ports/user_dialogs.h"

namespace tarnwick {

inline constexpr const char* kCannotCreateKeyMessage = "Unable to create Registry Key ";
inline constexpr const char* kCannotWriteValueMessage = "Unable to write value to Registry ";

// Outer bounds of a window, in pixels.
struct TWindowBounds {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
};

// The windows as they stand when the settings are written.
struct TWindowPlacement {
    TWindowBounds main;
    bool numericVisible = false;     // the numeric display window is shown
    TWindowBounds numeric;           // written only while that window is shown
    bool loudnessVisible = false;    // the loudness window is shown
    TWindowBounds loudness;          // written only while that window is shown
    bool soundLevelVisible = false;  // the sound level window is shown
    TWindowBounds soundLevel;        // written only while that window is shown
    bool spectrumVisible = false;    // the spectrum window is shown
    TWindowBounds spectrum;          // written only while that window is shown
};

// "\Tarnwick" for instance 1, "\Tarnwick 2" for any other. Also the start of the
// captions of the store's messages (sub-key + " Error").
std::string SettingsSubKeyFor(int32_t instanceNumber);
// "Software\Hollowden" followed by the sub-key.
std::string SettingsKeyPathFor(int32_t instanceNumber);
// The default results folder: `documentsFolder` + "/Tarnwick/"; empty when the
// documents folder is unknown (empty).
std::string DefaultResultsFolder(const std::string& documentsFolder);

class TSettingsStore {
public:
    TSettingsStore(ISettingsStore& store, IUserDialogs& dialogs);

    // The record as stored under the key of `instanceNumber`. Every value missing
    // or of the wrong kind takes its default; `NumLeft` and `NumTop` default to
    // the main window's stored `left` and `top`, `LoudLeft` and `LoudTop` to its
    // right edge and `top` (NumPlaceStored and LoudPlaceStored say whether
    // both of a pair were read), an empty `Folder` to
    // DefaultResultsFolder(`documentsFolder`). The derived values BlockBytes,
    // AverageLength and CalibrationFactor are computed from what was read;
    // DisplayOffset keeps its start value until the scale is first drawn.
    // When the key cannot be opened nothing is read and no message is shown: the
    // result is StartSettings() with the instance number and that Folder.
    // Two values are mended: a `Sweep` below 1 s (or not a number) becomes 1 s,
    // and a `Channel` outside 0..4 becomes 0 (Stereo).
    TMeterSettings LoadSettings(int32_t instanceNumber, const std::string& documentsFolder);

    // Writes the settings the setup dialogs change, into the key of
    // settings.InstanceNumber, stopping at the first failed write with the
    // message kCannotWriteValueMessage (values written before it stay written);
    // kCannotCreateKeyMessage when the key cannot be opened. When the settings
    // are not Locked, the password is cleared in `settings` and stored empty.
    // `File Open` and `Filename` are written only when the run StoresFileState,
    // here and in SaveWindowState.
    void SaveSettings(TMeterSettings& settings, const TWindowPlacement& windows);

    // Writes the window state and the settings changed only at close. Silent when
    // the key cannot be opened; a failed write does not stop the others and is
    // reported once with kCannotWriteValueMessage, so that as much as possible is
    // kept and the window still closes after the user's OK.
    void SaveWindowState(const TMeterSettings& settings, const TWindowPlacement& windows);

private:
    ISettingsStore& store_;
    IUserDialogs& dialogs_;
};

}  // namespace tarnwick
