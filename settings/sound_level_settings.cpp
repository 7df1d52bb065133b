#include "settings/sound_level_settings.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

#include "settings/settings_values.h"

namespace tarnwick {
namespace {

constexpr size_t kMostStatistics = 10;

bool IsMinutesChoice(int32_t minutes) {
    return std::find(std::begin(kSplMinutesChoices), std::end(kSplMinutesChoices), minutes) !=
           std::end(kSplMinutesChoices);
}

// A limit of 0 is none; anything else must be a sound level.
double LimitOrNone(std::optional<double> stored, double fallback) {
    if (!stored) {
        return fallback;
    }
    return *stored == 0.0 || IsSplLimitLevel(*stored) ? *stored : fallback;
}

}  // namespace

std::string SensitivityValueName(const std::string& inputName) {
    return "SPL Sensitivity " + inputName;
}

std::optional<double> ReadSensitivity(ISettingsKey& key, const std::string& inputName) {
    const std::optional<double> db = ReadDouble(key, SensitivityValueName(inputName));
    if (db && IsSensitivityLevel(*db)) {
        return db;
    }
    return std::nullopt;
}

std::optional<std::vector<double>> ParseStatisticsList(const std::string& text) {
    std::vector<double> percents;
    std::stringstream in(text);
    for (std::string item; std::getline(in, item, ',');) {
        const size_t first = item.find_first_not_of(' ');
        const size_t last = item.find_last_not_of(' ');
        if (first == std::string::npos) {
            return std::nullopt;
        }
        item = item.substr(first, last - first + 1);
        char* end = nullptr;
        const double percent = std::strtod(item.c_str(), &end);
        if (end != item.c_str() + item.size() || !(percent > 0.0 && percent < 100.0)) {
            return std::nullopt;
        }
        percents.push_back(percent);
    }
    if (percents.empty() || percents.size() > kMostStatistics) {
        return std::nullopt;
    }
    return percents;
}

void ReadSoundLevelSettings(ISettingsKey& key, TMeterSettings& s) {
    const TMeterSettings d;
    s.SplSensitivity = ReadSensitivity(key, s.DeviceName);
    s.SplChannel = ReadInt(key, "SPL Channel").value_or(d.SplChannel);
    if (s.SplChannel < 0 || s.SplChannel > 2) {
        s.SplChannel = d.SplChannel;
    }
    s.SplLimit = LimitOrNone(ReadDouble(key, "SPL Limit"), d.SplLimit);
    s.SplMinutes = ReadInt(key, "SPL Minutes").value_or(d.SplMinutes);
    if (!IsMinutesChoice(s.SplMinutes)) {
        s.SplMinutes = d.SplMinutes;
    }
    s.SplFixedWindows = ReadBool(key, "SPL Fixed Windows").value_or(d.SplFixedWindows);
    s.SplLimitFill = ReadBool(key, "SPL Limit Fill").value_or(d.SplLimitFill);
    s.SplBigFigure = ReadInt(key, "SPL Big Figure").value_or(d.SplBigFigure);
    if (s.SplBigFigure < 0 || s.SplBigFigure >= kSplBigFigureCount) {
        s.SplBigFigure = d.SplBigFigure;
    }
    s.SplWarnMargin = ReadDouble(key, "SPL Warning Margin").value_or(d.SplWarnMargin);
    if (!(s.SplWarnMargin >= 0.0 && s.SplWarnMargin <= kWidestSplWarnMargin)) {
        s.SplWarnMargin = d.SplWarnMargin;
    }
    s.SplPeakLimit = LimitOrNone(ReadDouble(key, "SPL Peak Limit"), d.SplPeakLimit);
    s.SplMaxLimit = LimitOrNone(ReadDouble(key, "SPL Max Limit"), d.SplMaxLimit);
    s.SplCLimit = LimitOrNone(ReadDouble(key, "SPL C Limit"), d.SplCLimit);
    s.SplCMinutes = ReadInt(key, "SPL C Minutes").value_or(d.SplCMinutes);
    if (!IsMinutesChoice(s.SplCMinutes)) {
        s.SplCMinutes = d.SplCMinutes;
    }
    s.SplCWarnMargin = ReadDouble(key, "SPL C Warning Margin").value_or(d.SplCWarnMargin);
    if (!(s.SplCWarnMargin >= 0.0 && s.SplCWarnMargin <= kWidestSplWarnMargin)) {
        s.SplCWarnMargin = d.SplCWarnMargin;
    }
    const std::string statistics = ReadString(key, "SPL Statistics").value_or("");
    s.SplStatistics = ParseStatisticsList(statistics) ? statistics : d.SplStatistics;
    s.SplCriterion = ReadDouble(key, "SPL Criterion").value_or(d.SplCriterion);
    if (!(s.SplCriterion >= kLowestSplCriterion && s.SplCriterion <= kHighestSplCriterion)) {
        s.SplCriterion = d.SplCriterion;
    }
    s.SplExchangeRate = ReadInt(key, "SPL Exchange Rate").value_or(d.SplExchangeRate);
    if (s.SplExchangeRate != 3 && s.SplExchangeRate != 5) {
        s.SplExchangeRate = d.SplExchangeRate;
    }
    s.SplLogFolder = ReadString(key, "SPL Log Folder").value_or(d.SplLogFolder);
    s.SplResponseFile = ReadString(key, "SPL Response File").value_or(d.SplResponseFile);
    s.SplInResults = ReadBool(key, "SPL In Results").value_or(d.SplInResults);
    s.SplOctavesInResults = ReadBool(key, "SPL Octaves In Results").value_or(d.SplOctavesInResults);
    s.SplWindow = ReadBool(key, "SPL Window").value_or(d.SplWindow);
    s.SPLWidth = ReadInt(key, "SPLWidth").value_or(d.SPLWidth);
    s.SPLHeight = ReadInt(key, "SPLHeight").value_or(d.SPLHeight);
    // A sound level window never placed has the place beside the main window
    // here; the window opens at a first place of its own.
    const std::optional<int32_t> left = ReadInt(key, "SPLLeft");
    const std::optional<int32_t> top = ReadInt(key, "SPLTop");
    s.SPLLeft = left.value_or(s.left + s.width);
    s.SPLTop = top.value_or(s.top);
    s.SPLPlaceStored = left && top;

    const auto choice = [&key](const char* name, int32_t count, int32_t fallback) {
        const int32_t stored = ReadInt(key, name).value_or(fallback);
        return stored >= 0 && stored < count ? stored : fallback;
    };
    s.SpectrumBands = choice("Spectrum Bands", kSpectrumBandsCount, d.SpectrumBands);
    s.SpectrumReading = choice("Spectrum Reading", kSpectrumReadingCount, d.SpectrumReading);
    s.SpectrumWeighting =
        choice("Spectrum Weighting", kSpectrumWeightingCount, d.SpectrumWeighting);
    s.SpectrumMaxHold = ReadBool(key, "Spectrum Max Hold").value_or(d.SpectrumMaxHold);
    s.SpectrumWindow = ReadBool(key, "Spectrum Window").value_or(d.SpectrumWindow);
    s.SpectrumWidth = ReadInt(key, "SpectrumWidth").value_or(d.SpectrumWidth);
    s.SpectrumHeight = ReadInt(key, "SpectrumHeight").value_or(d.SpectrumHeight);
    const std::optional<int32_t> spectrumLeft = ReadInt(key, "SpectrumLeft");
    const std::optional<int32_t> spectrumTop = ReadInt(key, "SpectrumTop");
    s.SpectrumLeft = spectrumLeft.value_or(s.left + s.width);
    s.SpectrumTop = spectrumTop.value_or(s.top);
    s.SpectrumPlaceStored = spectrumLeft && spectrumTop;
}

void WriteSoundLevelSettings(const std::function<void(const char*, const StoredValue&)>& write,
                             const TMeterSettings& s) {
    if (s.SplSensitivity) {
        write(SensitivityValueName(s.DeviceName).c_str(), DoubleValue(*s.SplSensitivity));
    }
    write("SPL Channel", IntValue(s.SplChannel));
    write("SPL Limit", DoubleValue(s.SplLimit));
    write("SPL Minutes", IntValue(s.SplMinutes));
    write("SPL Fixed Windows", BoolValue(s.SplFixedWindows));
    write("SPL Limit Fill", BoolValue(s.SplLimitFill));
    write("SPL Big Figure", IntValue(s.SplBigFigure));
    write("SPL Warning Margin", DoubleValue(s.SplWarnMargin));
    write("SPL Peak Limit", DoubleValue(s.SplPeakLimit));
    write("SPL Max Limit", DoubleValue(s.SplMaxLimit));
    write("SPL C Limit", DoubleValue(s.SplCLimit));
    write("SPL C Minutes", IntValue(s.SplCMinutes));
    write("SPL C Warning Margin", DoubleValue(s.SplCWarnMargin));
    write("SPL Statistics", StringValue(s.SplStatistics));
    write("SPL Criterion", DoubleValue(s.SplCriterion));
    write("SPL Exchange Rate", IntValue(s.SplExchangeRate));
    write("SPL Log Folder", StringValue(s.SplLogFolder));
    write("SPL Response File", StringValue(s.SplResponseFile));
    write("SPL In Results", BoolValue(s.SplInResults));
    write("SPL Octaves In Results", BoolValue(s.SplOctavesInResults));
}

void WriteSpectrumSettings(const std::function<void(const char*, const StoredValue&)>& write,
                           const TMeterSettings& s) {
    write("Spectrum Bands", IntValue(s.SpectrumBands));
    write("Spectrum Reading", IntValue(s.SpectrumReading));
    write("Spectrum Weighting", IntValue(s.SpectrumWeighting));
    write("Spectrum Max Hold", BoolValue(s.SpectrumMaxHold));
}

bool WriteSensitivity(ISettingsKey& key, const std::string& inputName,
                      std::optional<double> sensitivityDb) {
    return key.Write(SensitivityValueName(inputName), DoubleValue(sensitivityDb.value_or(0.0)));
}

}  // namespace tarnwick
