#pragma once
// The sound level settings in the settings key: read with their defaults and
// their ranges, and written back. The sensitivity belongs to an input (a
// calibration holds for one microphone on one interface), so it is stored
// per input name.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/meter_settings.h"
#include "core/ports/settings_key.h"

namespace tarnwick {

// The times T a limit and the rolling LAeq may take, in minutes.
inline constexpr int32_t kSplMinutesChoices[] = {1, 5, 15, 30, 60};

// The figures the Sound Level window may show largest, in the order of the
// stored `SPL Big Figure`: the F- and S-weighted A level, the F-weighted C
// and Z levels, the rolling LAeq,T and LCeq,T, and the LCpeak of the last
// second.
enum class SplBigFigure : int32_t { kLaf, kLas, kLcf, kLzf, kLaeqT, kLceqT, kLcpeak };
inline constexpr int32_t kSplBigFigureCount = 7;

// What the Spectrum window shows, in the order of the stored `Spectrum
// Bands`, `Spectrum Reading` and `Spectrum Weighting`.
enum class SpectrumBandsChoice : int32_t { kThirdOctave, kOctave };
enum class SpectrumReading : int32_t { kFast, kSlow, kLeq };
enum class SpectrumWeighting : int32_t { kZ, kA, kC };
inline constexpr int32_t kSpectrumBandsCount = 2;
inline constexpr int32_t kSpectrumReadingCount = 3;
inline constexpr int32_t kSpectrumWeightingCount = 3;

// The ranges the settings keep to; a stored value outside its range reads as
// the default. A sensitivity beyond its range is no microphone on any
// interface; a limit beyond its range no sound level anyone regulates.
inline constexpr double kLowestSensitivity = 40.0;  // dB SPL of a full-scale sine
inline constexpr double kHighestSensitivity = 200.0;
inline constexpr double kLowestSplLimit = 30.0;  // dB, LAeq, LCpeak and LAFmax limits
inline constexpr double kHighestSplLimit = 200.0;
inline constexpr double kWidestSplWarnMargin = 20.0;  // dB under the limit
inline constexpr double kLowestSplCriterion = 40.0;   // dB(A) of 100 % dose
inline constexpr double kHighestSplCriterion = 140.0;

constexpr bool IsSensitivityLevel(double db) {
    return db >= kLowestSensitivity && db <= kHighestSensitivity;
}
constexpr bool IsSplLimitLevel(double db) {
    return db >= kLowestSplLimit && db <= kHighestSplLimit;
}

// "SPL Sensitivity <input name>".
std::string SensitivityValueName(const std::string& inputName);
std::optional<double> ReadSensitivity(ISettingsKey& key, const std::string& inputName);
// Stores the sensitivity of input `inputName`; none (uncalibrated) is stored
// as 0, which ReadSensitivity reads as none. False when the write failed.
bool WriteSensitivity(ISettingsKey& key, const std::string& inputName,
                      std::optional<double> sensitivityDb);

// Reads every sound level setting into `s`, the sensitivity for
// s.DeviceName, and the Spectrum window's; a value out of its range gives
// that setting its default.
void ReadSoundLevelSettings(ISettingsKey& key, TMeterSettings& s);
// Writes them (the sensitivity only when there is one) through `write`.
void WriteSoundLevelSettings(const std::function<void(const char*, const StoredValue&)>& write,
                             const TMeterSettings& s);
// Writes what the Spectrum window's keys choose (bands, reading, weighting,
// max hold): with the window's state too, as they change without a dialog.
void WriteSpectrumSettings(const std::function<void(const char*, const StoredValue&)>& write,
                           const TMeterSettings& s);

// "10,50,90" into the percentages, each above 0 and below 100, in the order
// given; nullopt when the text is not such a list.
std::optional<std::vector<double>> ParseStatisticsList(const std::string& text);

}  // namespace tarnwick
