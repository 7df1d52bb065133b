#include "app/spectrum_view.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/sound_level_view.h"
#include "core/capture_format.h"
#include "core/number_format.h"

namespace tarnwick {
namespace {

constexpr double kNone = -std::numeric_limits<double>::infinity();
// Room above what a full-scale sine reads: A and C weightings add up to
// 1.3 dB in some bands.
constexpr double kHeadroomDb = 5.0;
constexpr int kLabelSteps[] = {1, 2, 3, 6, 12};

// m:ss, or h:mm:ss from an hour.
std::string Duration(double seconds) {
    const auto total = static_cast<long long>(std::max(0.0, std::floor(seconds)));
    const long long h = total / 3600;
    const auto two = [](long long v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    const std::string ms = std::to_string(total / 60 % 60) + ":" + two(total % 60);
    return h > 0 ? std::to_string(h) + ":" + two(total / 60 % 60) + ":" + two(total % 60) : ms;
}

SpectrumReading ReadingOf(const TMeterSettings& s) {
    return static_cast<SpectrumReading>(
        std::clamp(s.SpectrumReading, 0, kSpectrumReadingCount - 1));
}

// "A", "C", "Z".
const char* WeightingLetter(int32_t weighting) {
    switch (static_cast<SpectrumWeighting>(weighting)) {
        case SpectrumWeighting::kA:
            return "A";
        case SpectrumWeighting::kC:
            return "C";
        case SpectrumWeighting::kZ:
            break;
    }
    return "Z";
}

}  // namespace

int SpectrumLabelStep(double widestPixels, double pitchPixels, double gapPixels) {
    for (const int step : kLabelSteps) {
        if (widestPixels + gapPixels <= step * pitchPixels) {
            return step;
        }
    }
    return kLabelSteps[std::size(kLabelSteps) - 1];
}

TSpectrumView::TSpectrumView(MeterApp& app, char32_t decimalSeparator)
    : app_(app), separator_(decimalSeparator) {}

std::string TSpectrumView::Level(double db) const {
    return std::isfinite(db) ? FormatFixed(db, 15, 1, separator_) : kNoLevelText;
}

std::string TSpectrumView::Unit() const {
    return std::string("dB(") + WeightingLetter(app_.settings().SpectrumWeighting) + ")";
}

const TSpectrumViewState& TSpectrumView::Update() {
    TSpectrumViewState& s = state_;
    const TMeterSettings& settings = app_.settings();
    const std::optional<double> sensitivity = app_.MeasuringSensitivity();
    const double sensitivityDb = sensitivity.value_or(0.0);
    s.uncalibrated = !sensitivity.has_value();
    s.maxHold = settings.SpectrumMaxHold;
    s.live = app_.InputLive();
    s.top = std::ceil((sensitivityDb + kHeadroomDb) / kSpectrumGridDb) * kSpectrumGridDb;
    s.bottom = s.top - kSpectrumSpanDb;
    s.bars.clear();

    const BandMeter* meter = app_.SpectrumBands();
    const SpectrumReading reading = ReadingOf(settings);
    std::vector<double> levels;
    std::vector<double> maxima;
    if (meter != nullptr) {
        // F and S of an input that went are the past shown as the present.
        levels = reading == SpectrumReading::kLeq ? meter->TestLeqDb(sensitivityDb)
                 : !s.live ? std::vector<double>(meter->Bands().size(), kNone)
                           : meter->TimeWeightedDb(reading == SpectrumReading::kFast
                                                       ? BandMeter::Reading::kFast
                                                       : BandMeter::Reading::kSlow,
                                                   sensitivityDb);
        maxima = meter->TimeWeightedDb(BandMeter::Reading::kFastMax, sensitivityDb);
        for (size_t b = 0; b < meter->Bands().size(); ++b) {
            const Band& band = meter->Bands()[b];
            s.bars.push_back(
                {band.index, band.nominal, band.midHz, levels[b], s.maxHold ? maxima[b] : kNone});
        }
    }
    s.problem = meter == nullptr ? "The spectrum is not measured." : "";

    // The focus on the band nearest the focus's frequency, on a log scale.
    s.focus = 0;
    for (size_t b = 1; b < s.bars.size(); ++b) {
        if (std::abs(std::log(s.bars[b].midHz / focusHz_)) <
            std::abs(std::log(s.bars[s.focus].midHz / focusHz_))) {
            s.focus = b;
        }
    }
    s.pointed = pointed_ && *pointed_ < s.bars.size() ? pointed_ : std::nullopt;

    static const char* const kReadingNames[] = {"F", "S", "Leq"};
    const char* readingName = kReadingNames[static_cast<int>(reading)];
    const std::string unit = Unit();
    s.readout.clear();
    if (!s.bars.empty()) {
        const SpectrumBar& bar = s.bars[s.pointed.value_or(s.focus)];
        s.readout = bar.nominal + " Hz: " + Level(bar.level) + " " + unit + " " + readingName;
        if (s.maxHold) {
            s.readout += ", max " + Level(bar.maxHold);
        }
        if (s.uncalibrated) {
            s.readout += " (" + kUncalibratedText + ")";
        }
    }

    const SpectrumBar* loudest = nullptr;
    for (const SpectrumBar& bar : s.bars) {
        if (std::isfinite(bar.level) && (loudest == nullptr || bar.level > loudest->level)) {
            loudest = &bar;
        }
    }
    s.loudest = loudest != nullptr ? "Loudest band " + loudest->nominal + " Hz, " +
                                         Level(loudest->level) + " " + unit
                                   : "No band heard";

    const bool octaves =
        settings.SpectrumBands == static_cast<int32_t>(SpectrumBandsChoice::kOctave);
    s.caption = octaves ? "Octave" : "1/3 octave";
    switch (reading) {
        case SpectrumReading::kFast:
            s.caption += ", Fast (F)";
            break;
        case SpectrumReading::kSlow:
            s.caption += ", Slow (S)";
            break;
        case SpectrumReading::kLeq:
            s.caption +=
                ", Leq over " + Duration(meter != nullptr
                                             ? static_cast<double>(meter->Samples()) / kSampleRate
                                             : 0.0);
            break;
    }
    s.caption += std::string(", ") + WeightingLetter(settings.SpectrumWeighting) + "-weighted";
    if (s.maxHold) {
        s.caption += ", max hold";
    }
    s.caption += s.uncalibrated ? ", dB re full scale, " + kUncalibratedText : ", dB SPL";
    Describe();
    return s;
}

void TSpectrumView::Describe() {
    TSpectrumViewState& s = state_;
    if (!s.problem.empty()) {
        s.description = s.problem;
        return;
    }
    s.description =
        (s.live ? "" : "No input. ") + s.readout + ". " + s.loudest + ". " + s.caption + ".";
}

void TSpectrumView::ChooseReading(SpectrumReading reading) {
    app_.settings().SpectrumReading = static_cast<int32_t>(reading);
}

void TSpectrumView::ChooseWeighting(SpectrumWeighting weighting) {
    app_.settings().SpectrumWeighting = static_cast<int32_t>(weighting);
    app_.MeasureSpectrum();
}

void TSpectrumView::SwitchBands() {
    int32_t& bands = app_.settings().SpectrumBands;
    bands = bands == static_cast<int32_t>(SpectrumBandsChoice::kOctave)
                ? static_cast<int32_t>(SpectrumBandsChoice::kThirdOctave)
                : static_cast<int32_t>(SpectrumBandsChoice::kOctave);
    app_.MeasureSpectrum();
}

void TSpectrumView::SwitchMaxHold() {
    app_.settings().SpectrumMaxHold = !app_.settings().SpectrumMaxHold;
}

void TSpectrumView::Reset() {
    if (BandMeter* meter = app_.SpectrumBands()) {
        meter->Restart();
    }
}

void TSpectrumView::MoveFocus(int bars) {
    const BandMeter* meter = app_.SpectrumBands();
    if (meter == nullptr || meter->Bands().empty()) {
        return;
    }
    Update();  // the focus as it stands
    const auto last = static_cast<long>(meter->Bands().size()) - 1;
    const long to = std::clamp(static_cast<long>(state_.focus) + bars, 0L, last);
    focusHz_ = meter->Bands()[static_cast<size_t>(to)].midHz;
}

void TSpectrumView::FocusEnd(bool highest) {
    MoveFocus(highest ? std::numeric_limits<int>::max() / 2 : -std::numeric_limits<int>::max() / 2);
}

}  // namespace tarnwick
