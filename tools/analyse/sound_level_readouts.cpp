#include "tools/analyse/sound_level_readouts.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "settings/sound_level_settings.h"
#include "spl/sound_level_meter.h"
#include "tools/analyse/readout_figure.h"

namespace tarnwick {
namespace {

// A dose below 10 % has a decimal, as the window shows it.
constexpr double kWholeDosePercent = 10.0;
// No dose without a sensitivity: levels relative to full scale are no sound
// pressure to compare with the criterion.
constexpr const char* kNoDose = "-";

// "LA10", "LA12.5": the percentage as briefly as it can be written.
std::string StatisticName(double percent) {
    char digits[32];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, percent);
    return "LA" + std::string(digits, end.ptr);
}

void AddLine(std::string& text, const std::string& name, const std::string& figure) {
    text += name + "\t" + figure + "\n";
}

}  // namespace

std::string SoundLevelReadouts(const SoundLevelMeter& meter, const TMeterSettings& settings) {
    const SoundLevelFigures test = meter.Test();
    const ExposureFigures exposure =
        meter.TestExposure(settings.SplCriterion, settings.SplExchangeRate);
    std::string text;
    const std::pair<const char*, double> levels[] = {
        {"LAeq", test.laeq},     {"LCeq", test.lceq},     {"LZeq", test.lzeq},
        {"LAE", test.lae},       {"LAFmax", test.lafmax}, {"LASmax", test.lasmax},
        {"LAFmin", test.lafmin}, {"LCpeak", test.lcpeak}, {"LEX8h", exposure.lex8h},
    };
    for (const auto& [name, level] : levels) {
        AddLine(text, name, ReadoutFigure(level, "dB"));
    }
    // The settings' list was checked when it was set.
    for (const double percent :
         ParseStatisticsList(settings.SplStatistics).value_or(std::vector<double>{})) {
        AddLine(text, StatisticName(percent),
                ReadoutFigure(meter.TestLevelExceeded(percent), "dB"));
    }
    const double dose = exposure.dosePercent;
    AddLine(text, "Dose",
            settings.SplSensitivity
                ? ReadoutFigure(dose, "%", std::isfinite(dose) && dose < kWholeDosePercent ? 1 : 0)
                : std::string(kNoDose));
    AddLine(text, "Overload", std::to_string(test.overloadedSeconds) + " s");
    return text;
}

}  // namespace tarnwick
