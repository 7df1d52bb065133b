#include "app/sound_level_view.h"

#include <algorithm>
#include <cmath>

#include "core/number_format.h"
#include "settings/sound_level_settings.h"

namespace tarnwick {
namespace {

constexpr double kGraphGridDb = 10.0;
// Room above the loudest point or the limit, so that neither runs along the top.
constexpr double kGraphHeadroomDb = 5.0;

// "10" -> "LA10", "99.5" -> "LA99.5".
std::string StatisticCaption(double percent, char32_t separator) {
    const bool whole = percent == std::floor(percent);
    return "LA" + FormatFixed(percent, 15, whole ? 0 : 1, separator);
}

// m:ss, or h:mm:ss from an hour.
std::string Duration(double seconds) {
    const auto total = static_cast<long long>(std::max(0.0, std::round(seconds)));
    const long long h = total / 3600;
    const long long m = total / 60 % 60;
    const long long s = total % 60;
    const auto two = [](long long v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    return h > 0 ? std::to_string(h) + ":" + two(m) + ":" + two(s)
                 : std::to_string(m) + ":" + two(s);
}

}  // namespace

TSoundLevelView::TSoundLevelView(MeterApp& app, char32_t decimalSeparator)
    : app_(app), separator_(decimalSeparator) {
    app_.SetSoundLevelObserver(
        [this](const SoundLevelSecond& second, const LimitEvents&) { SecondDone(second); });
}

TSoundLevelView::~TSoundLevelView() {
    app_.SetSoundLevelObserver(nullptr);
}

void TSoundLevelView::SecondDone(const SoundLevelSecond& second) {
    if (second.index == 0) {
        history_.Clear();  // a new test, or a meter made afresh
    }
    const SoundLevelMeter* meter = app_.SoundLevel();
    const double sensitivity = meter != nullptr ? meter->Sensitivity() : 0.0;
    history_.Add(second.figures.laeq - sensitivity);
}

std::string TSoundLevelView::Level(double db) const {
    return std::isfinite(db) ? FormatFixed(db, 15, 1, separator_) : kNoLevelText;
}

const TSoundLevelViewState& TSoundLevelView::Update() {
    TSoundLevelViewState& s = state_;
    const SoundLevelMeter* meter = app_.SoundLevel();
    if (meter == nullptr) {
        s = TSoundLevelViewState{};
        s.problem = "Sound level is not measured.";
        ShowCalibration();
        Describe();
        return s;
    }
    if (meter->SecondsDelivered() < history_.Readings()) {
        history_.Clear();  // a test started; its first second is not in yet
    }
    s.problem = meter->Error();
    s.live = app_.SoundLevelLive();
    s.liveText = s.live ? std::string() : kNoInputText;
    ShowCalibration();
    s.unit = s.uncalibrated ? "dBFS" : "dB";

    const SoundLevelFigures test = meter->Test();
    ShowBigFigure(*meter);
    s.laeq = Level(test.laeq);
    s.overload = test.Overloaded();
    ShowLimit(*meter);
    ShowReadings(*meter);
    ShowGraph(meter->Sensitivity());
    Describe();
    return s;
}

void TSoundLevelView::ShowLimit(const SoundLevelMeter& meter) {
    TSoundLevelViewState& s = state_;
    const TMeterSettings& settings = app_.settings();
    const std::string minutes = std::to_string(settings.SplMinutes) + "min";
    const LevelLimit* limit = app_.SoundLevelLimit();
    const LevelLimit* cLimit = app_.SoundLevelLimitC();
    const bool fixed = settings.SplFixedWindows;
    s.rollingCaption = "LAeq," + minutes + (limit != nullptr && fixed ? " window" : "");
    s.rolling = Level(limit != nullptr && fixed ? limit->Status().leqWindow : meter.RollingLaeq());
    s.light = LimitLight::kOff;
    s.lightFrame = false;
    s.limit = limit == nullptr && cLimit == nullptr ? "No limit" : "";
    s.cLimit.clear();
    s.prediction.clear();
    s.budget.clear();
    s.limitLine.reset();
    // A light and a forecast of the past would read as the present: while
    // the figures are not live, only the limits themselves are shown.
    const auto budget = [&](const LimitStatus& status, const std::string& caption) {
        return std::isinf(status.budgetDb) && status.budgetDb < 0
                   ? std::string("No level keeps it under the limit")
                   : caption + Level(status.budgetDb) + " " + s.unit;
    };
    const auto windowEnd = [&](const LevelLimit& l) {
        return fixed ? ", window ends in " + Duration(l.Status().windowSecondsLeft) : std::string();
    };
    LimitState worst = LimitState::kOk;
    if (limit != nullptr) {
        s.limitLine = settings.SplLimit;
        s.limit = "Limit " + Level(settings.SplLimit) + " " + s.unit + windowEnd(*limit);
        if (s.live) {
            worst = limit->Status().state;
            s.prediction = "Predicted " + Level(limit->Status().predictedDb) + " " + s.unit;
            s.budget = budget(limit->Status(), "Budget ");
        }
    }
    if (cLimit != nullptr) {
        s.cLimit = "C limit " + Level(settings.SplCLimit) + " " + s.unit + " on LCeq," +
                   std::to_string(settings.SplCMinutes) + "min" + windowEnd(*cLimit);
        if (s.live) {
            worst = std::max(worst, cLimit->Status().state);
            s.cLimit += ": predicted " + Level(cLimit->Status().predictedDb) + " " + s.unit + ", " +
                        budget(cLimit->Status(), "budget ");
        }
    }
    if (!s.live) {
        return;
    }
    switch (worst) {
        case LimitState::kOk:
            s.light = LimitLight::kGreen;
            break;
        case LimitState::kWarn:
            s.light = LimitLight::kAmber;
            break;
        case LimitState::kLimit:
            s.light = LimitLight::kRed;
            break;
    }
    s.lightFrame = settings.SplLimitFill;
}

void TSoundLevelView::ShowBigFigure(const SoundLevelMeter& meter) {
    TSoundLevelViewState& s = state_;
    const std::string minutes = std::to_string(app_.settings().SplMinutes) + "min";
    // In the order of SplBigFigure.
    const struct {
        std::string caption;
        double level;
    } figures[kSplBigFigureCount] = {
        {"LAF", meter.Laf()},
        {"LAS", meter.Las()},
        {"LCF", meter.Lcf()},
        {"LZF", meter.Lzf()},
        {"LAeq," + minutes, meter.RollingLaeq()},
        {"LCeq," + minutes, meter.RollingLceq()},
        {"LCpeak", meter.LastSecond().figures.lcpeak},
    };
    const auto& chosen =
        figures[std::clamp(app_.settings().SplBigFigure, 0, kSplBigFigureCount - 1)];
    s.bigCaption = chosen.caption;
    s.big = s.live ? Level(chosen.level) : kNoLevelText;
}

void TSoundLevelView::ShowReadings(const SoundLevelMeter& meter) {
    TSoundLevelViewState& s = state_;
    const TMeterSettings& settings = app_.settings();
    const SoundLevelFigures test = meter.Test();
    s.readings.clear();
    s.readings.push_back({"LAFmax", Level(test.lafmax)});
    s.readings.push_back({"LCpeak", Level(test.lcpeak)});
    // The C-weighted levels a venue's bass is judged by, live beside the A.
    s.readings.push_back({"LCeq", Level(test.lceq)});
    s.readings.push_back(
        {"LCeq," + std::to_string(settings.SplMinutes) + "min", Level(meter.RollingLceq())});
    const std::vector<double> percents = ParseStatisticsList(settings.SplStatistics)
                                             .value_or(ParseStatisticsList("10,50,90").value());
    for (const double percent : percents) {
        s.readings.push_back(
            {StatisticCaption(percent, separator_), Level(meter.TestLevelExceeded(percent))});
    }
    const ExposureFigures exposure =
        meter.TestExposure(settings.SplCriterion, settings.SplExchangeRate);
    s.readings.push_back({"LEX,8h", Level(exposure.lex8h)});
    // A dose compares sound pressure with the criterion: levels re full scale
    // give none.
    s.readings.push_back(
        {"Dose", std::isfinite(exposure.dosePercent) && !s.uncalibrated
                     ? FormatFixed(exposure.dosePercent, 15, exposure.dosePercent < 10.0 ? 1 : 0,
                                   separator_) +
                           " %"
                     : kNoLevelText});
}

void TSoundLevelView::ShowCalibration() {
    TSoundLevelViewState& s = state_;
    const std::optional<double>& sensitivity = app_.settings().SplSensitivity;
    s.uncalibrated = !sensitivity.has_value();
    if (!sensitivity) {
        s.calibration = kUncalibratedText;
        return;
    }
    s.calibration = "Sensitivity " + FormatFixed(*sensitivity, 15, 2, separator_) + " dB";
    if (const std::optional<CalibrationRecord>& record = app_.SensitivityRecord()) {
        s.calibration += record->method == CalibrationMethod::kCalibrator
                             ? ", calibrated " + app_.ShortDateText(record->when)
                             : ", entered " + app_.ShortDateText(record->when);
    }
    if (app_.MicResponseInUse() != nullptr) {
        s.calibration += ", response " + app_.MicResponseName();
    }
}

void TSoundLevelView::ShowGraph(double sensitivityDb) {
    TSoundLevelViewState& s = state_;
    s.graphPoints = history_.Points();
    for (double& point : s.graphPoints) {
        point += sensitivityDb;
    }
    s.graphSeconds = history_.Readings();
    s.graphSecondsPerPoint = history_.ReadingsPerPoint();
    // Full scale, where nothing louder has been measured: the loudest level
    // the input can give.
    double loudest = sensitivityDb;
    bool any = false;
    for (const double point : s.graphPoints) {
        if (std::isfinite(point)) {
            loudest = any ? std::max(loudest, point) : point;
            any = true;
        }
    }
    if (s.limitLine) {
        loudest = std::max(loudest, *s.limitLine);
    }
    s.graphTop = std::ceil((loudest + kGraphHeadroomDb) / kGraphGridDb) * kGraphGridDb;
    s.graphBottom = s.graphTop - kSoundLevelGraphSpanDb;
}

void TSoundLevelView::Describe() {
    const TSoundLevelViewState& s = state_;
    std::string text;
    if (!s.problem.empty()) {
        text = s.problem + " ";
    }
    if (!s.live) {
        text += "No input. ";
    }
    text += s.bigCaption + " " + s.big + ", LAeq " + s.laeq + ", " + s.rollingCaption + " " +
            s.rolling + " " + s.unit;
    static const char* const kLights[] = {"", ", limit light green", ", limit light amber",
                                          ", limit light red"};
    text += kLights[static_cast<int>(s.light)];
    if (s.overload) {
        text += ", overload";
    }
    text += ", " + s.calibration + ".";
    state_.description = text;
}

}  // namespace tarnwick
