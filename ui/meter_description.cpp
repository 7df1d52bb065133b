#include "ui/meter_description.h"

#include "app/meter_app.h"

namespace tarnwick {

std::string PeakDescription(const std::string& peakReadout) {
    const size_t first = peakReadout.find_first_not_of(' ');
    const size_t last = peakReadout.find_last_not_of(' ');
    const std::string level =
        first == std::string::npos ? "" : peakReadout.substr(first, last - first + 1);
    // "low" stands for no level at all, "--" for no live input; a figure is
    // in dB, whatever the scale.
    const bool notLive = level == kNotLiveReadout;
    const bool figure = !level.empty() && level != "low" && !notLive;
    const std::string shown = level.empty() ? "none" : notLive ? "not live, no input" : level;
    return "Peak level " + shown + (figure ? " dB" : "");
}

std::string MeterDescription(const std::string& peakReadout, bool overLampLit) {
    return PeakDescription(peakReadout) + ", over lamp " + (overLampLit ? "lit" : "off");
}

std::optional<std::string> DescriptionPacer::Offer(int64_t nowMs, const std::string& text) {
    if (text == given_ && givenAt_) {
        return std::nullopt;
    }
    if (givenAt_ && nowMs - *givenAt_ < intervalMs_) {
        return std::nullopt;
    }
    givenAt_ = nowMs;
    given_ = text;
    return text;
}

}  // namespace tarnwick
