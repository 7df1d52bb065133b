#pragma once
// TMeterSettings: every user setting of the program, plus the six derived values
// that are never stored. One instance, owned by MeterApp, touched on the event-loop
// thread only. Fields carry the names under which the settings are stored.

#include <cstdint>
#include <optional>
#include <string>

#include "core/capture_format.h"

namespace tarnwick {

// Colours are 0x00BBGGRR: red in the low byte.
using Colour = uint32_t;

// Channel modes: how the two channels of a block make one level.
enum ChannelMode : int32_t {
    kChannelStereo = 0,
    kChannelLeft = 1,
    kChannelRight = 2,
    kChannelSum = 3,
    kChannelDifference = 4,
};

// Stereo draws and measures both channels. A mode outside 0..4, which only an
// edited settings store can hold, counts as Stereo.
constexpr bool IsStereoChannel(int32_t channel) {
    return channel < kChannelLeft || channel > kChannelDifference;
}

// Meter scale index of "User Full Scale", whose labels carry `Full Scale`.
constexpr int32_t kUserFullScale = 7;
constexpr int32_t kDefaultScale = 2;

// Largest block, and the storage every capture block has (one byte more).
constexpr int32_t kMaxBlockBytes = 64000;
// The short-term rings have room for this many blocks.
constexpr int32_t kShortRingCapacity = 1024;
// A computed average length above the ring's capacity falls back to this.
constexpr int32_t kAverageLengthOverflow = 1020;
// The setup dialog keeps the average length at or below this.
constexpr int32_t kDialogAverageLengthCap = 500;

// The loudness targets the setup accepts, in LUFS.
constexpr double kLowestLoudnessTarget = -70.0;
constexpr double kHighestLoudnessTarget = 0.0;

struct TMeterSettings {
    // Input and measurement
    std::string DeviceName;  // `Device Name`
    int32_t Channel = kChannelStereo;
    double Calibration = -2.0;
    bool Integrate = true;
    double Sweep = 10.0;       // seconds
    double AverageTime = 0.3;  // `Average Time`, seconds

    // Levels and meter scale (dB relative to the top of the scale)
    int32_t UpperVol = -10;  // `Upper Vol`: target 1
    int32_t LowerVol = -20;  // `Lower Vol`: target 2
    int32_t Threshold = -30;
    bool ThresholdIgnore = false;
    bool AutoStart = false;
    int32_t AutoLevel = -40;  // `Auto Level`; -99 has a meaning of its own
    int32_t Scale = kDefaultScale;
    int32_t FullScale = 95;  // `Full Scale`

    // Graph options and colours
    bool ShowAverage = true;
    bool ShowPeaks = true;
    bool FillPeaks = false;
    bool FillAverage = false;
    bool ShowGrid = false;
    Colour Lowcolor = 0x00A400;
    Colour Midcolor = 0x10DCFF;
    Colour Topcolor = 0x0000FF;
    Colour Mcolor = 0x64FA5A;
    Colour Rcolor = 0x64FA5A;
    Colour Lavcolor = 0xFFFFFF;
    Colour Ravcolor = 0xFFFFFF;
    Colour Scolor = 0x000000;

    // Results and save schedule
    std::string TestName = "Results ";  // `Test Name`
    int32_t FileTypes = 1;              // `File Types`: bit 0 text, bit 1 CSV
    bool SaveOnStop = true;
    bool SaveOnMinutes = true;
    int32_t SaveMins = 15;  // `Save Mins`
    bool SaveOnHours = false;
    int32_t SaveHours = 1;  // `Save Hours`
    std::string Folder;     // results folder, ending in a separator

    // Windows and restored state
    bool OnTop = true;
    int32_t View = 3;
    int32_t left = 200;
    int32_t top = 200;
    int32_t width = 680;
    int32_t height = 770;
    bool BigNumbers = false;
    int32_t NumWidth = 512;
    int32_t NumHeight = 256;
    int32_t NumLeft = 0;
    int32_t NumTop = 0;
    bool FileOpen = false;  // `File Open`
    std::string Filename;
    // Not stored: whether this run writes `File Open` and `Filename` with the
    // other settings. It does once it restored the stored file, or the user
    // attached or closed one; a run refused the stored file (another program
    // writes it), or that never had one, leaves them as they were stored.
    bool StoresFileState = false;

    // Loudness (older readers ignore these values)
    double LoudnessTarget = -23.0;   // `Loudness Target`, LUFS
    bool LoudnessInResults = false;  // `Loudness In Results`
    bool LoudnessWindow = false;     // `Loudness Window`: the loudness window is shown
    int32_t LoudWidth = 360;
    int32_t LoudHeight = 300;
    int32_t LoudLeft = 0;
    int32_t LoudTop = 0;

    // Sound level (older readers ignore these values)
    // dB SPL that a full-scale sine reads on the input in use, stored per
    // input as `SPL Sensitivity <input name>`; none: uncalibrated.
    std::optional<double> SplSensitivity;
    int32_t SplChannel = 0;        // `SPL Channel`: 0 left, 1 right, 2 both
    double SplLimit = 0.0;         // `SPL Limit`, dB(A) on LAeq,T; 0: none
    int32_t SplMinutes = 15;       // `SPL Minutes`: T of the limit and rolling LAeq
    bool SplFixedWindows = false;  // `SPL Fixed Windows`: clock-aligned, not rolling
    bool SplLimitFill = true;      // `SPL Limit Fill`: the window framed in the light
    int32_t SplBigFigure = 0;      // `SPL Big Figure`: index into kSplBigFigures, LAF by default
    double SplWarnMargin = 3.0;    // `SPL Warning Margin`, dB under the limit
    double SplPeakLimit = 0.0;     // `SPL Peak Limit`, LCpeak dB(C); 0: none
    double SplMaxLimit = 0.0;      // `SPL Max Limit`, LAFmax dB(A); 0: none
    double SplCLimit = 0.0;        // `SPL C Limit`, dB(C) on LCeq,T; 0: none
    int32_t SplCMinutes = 15;      // `SPL C Minutes`: T of the C limit
    double SplCWarnMargin = 3.0;   // `SPL C Warning Margin`, dB under the C limit
    // `SPL Log Folder`: the window writes a row every second there, in the
    // logger's day log; empty: none.
    std::string SplLogFolder;
    // `SPL Response File`: the microphone's response, corrected in every
    // sound level and band (core/mic_response.h); empty: none.
    std::string SplResponseFile;
    std::string SplStatistics = "10,50,90";  // `SPL Statistics`: the LN shown
    double SplCriterion = 85.0;              // `SPL Criterion`, dB(A) of 100 % dose
    int32_t SplExchangeRate = 3;             // `SPL Exchange Rate`: 3 or 5 dB
    bool SplInResults = false;               // `SPL In Results`
    // `SPL Octaves In Results`: with the sound level, each record's octave
    // bands, 63 Hz to 8 kHz.
    bool SplOctavesInResults = false;
    bool SplWindow = false;  // `SPL Window`: the sound level window is shown
    int32_t SPLWidth = 420;
    int32_t SPLHeight = 380;
    int32_t SPLLeft = 0;
    int32_t SPLTop = 0;

    // Spectrum window: band levels of the sound level's channel
    bool SpectrumWindow = false;    // `Spectrum Window`: the spectrum window is shown
    int32_t SpectrumBands = 0;      // `Spectrum Bands`: 0 one-third octaves, 1 octaves
    int32_t SpectrumReading = 0;    // `Spectrum Reading`: 0 F, 1 S, 2 Leq
    int32_t SpectrumWeighting = 0;  // `Spectrum Weighting`: 0 Z, 1 A, 2 C
    bool SpectrumMaxHold = false;   // `Spectrum Max Hold`: the highest F of each band shown
    int32_t SpectrumWidth = 480;
    int32_t SpectrumHeight = 340;
    int32_t SpectrumLeft = 0;
    int32_t SpectrumTop = 0;

    // Settings lock
    bool Locked = false;
    std::string password;

    // Kept values: read and written back, used by nothing else
    int32_t Version = 0;
    double Over = -1.0;
    bool dbScale = true;

    // Derived values (never stored)
    int32_t BlockBytes = 4400;
    int32_t AverageLength = 10;
    double CalibrationFactor = 10.0;
    int32_t DisplayOffset = 0;
    int32_t DeviceIndex = 0;
    int32_t InstanceNumber = 1;
    // The store held a place for the numeric window (NumLeft and NumTop) and
    // for the loudness window (LoudLeft and LoudTop), for the sound level
    // window (SPLLeft and SPLTop) and for the spectrum window (SpectrumLeft
    // and SpectrumTop). A window without one opens at a first place
    // of its own, clear of the main window's menus.
    bool NumPlaceStored = false;
    bool LoudPlaceStored = false;
    bool SPLPlaceStored = false;
    bool SpectrumPlaceStored = false;
};

// The record as it stands before anything is loaded (the values that survive
// only when the store cannot be opened at all).
TMeterSettings StartSettings();
// The record of a first start: every setting at its default, derived values
// computed as loading computes them.
TMeterSettings DefaultSettings();

// Bytes of one capture block for a sweep time in seconds: 1/500 of the sweep in
// whole frames, at most kMaxBlockBytes, no lower limit (10 s -> 3528, 1 s -> 352).
int32_t BlockBytesForSweep(double sweepSeconds);

// Whole blocks of `blockBytes` in `averageSeconds`: at least 1; above 1024 it is
// 1020. The dialog's extra cap of 500 is the caller's.
int32_t AverageLengthFor(double averageSeconds, int32_t blockBytes);

// `Full Scale` on the user full-scale scale, else 0.
int32_t DisplayOffsetFor(int32_t scale, int32_t fullScale);

// Recomputes the derived values as loading does: CalibrationFactor (no floor),
// BlockBytes from Sweep, AverageLength from Average Time (no 500 cap).
void DeriveLoadedValues(TMeterSettings& settings);

}  // namespace tarnwick
