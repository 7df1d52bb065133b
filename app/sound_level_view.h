#pragma once
// TSoundLevelView: what the "Sound Level" window shows, as texts and numbers,
// free of any toolkit. It reads the owner's sound level meter, its limit and
// the calibration in use, and keeps the graph of the test: the LAeq of each
// second, in fixed memory (two points merge into one when it is full, as the
// loudness graph does), so that minutes and weeks both fit.
//
// Figures that do not follow the input (no block for a second, a lost input)
// are never shown as live: LAF and the prediction are blanked, the light is
// off, and the state says why.
//
// One lives for the whole run: it becomes the owner's sound level observer
// when made, and stops being it when destroyed. Update is called whenever the
// window is about to show the state; everything runs on the event-loop
// thread.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "app/meter_app.h"
#include "loudness/loudness_history.h"

namespace tarnwick {

// The limit's light: off without a limit or while the figures are not live.
enum class LimitLight { kOff, kGreen, kAmber, kRed };

// The figure shown where there is no level: silence, or nothing measured.
inline const std::string kNoLevelText = "--.-";
inline const std::string kUncalibratedText = "uncalibrated";
inline const std::string kNoInputText = "NO INPUT";
inline const std::string kOverloadText = "OVERLOAD";

// The graph's points hold this much of the test before two merge into one.
constexpr size_t kSoundLevelGraphPoints = 1024;
// The graph spans this many dB, its top on a 10 dB line above the loudest
// point and the limit.
constexpr double kSoundLevelGraphSpanDb = 60.0;

struct SoundLevelReading {
    std::string caption;  // "LAFmax"
    std::string figure;   // "93.4", kNoLevelText
    bool operator==(const SoundLevelReading&) const = default;
};

struct TSoundLevelViewState {
    // Why sound level is not measured, or measured only in part; empty while
    // all is well.
    std::string problem;
    // The figures follow the input; else `liveText` says so (kNoInputText).
    bool live = false;
    std::string liveText;
    std::string unit;  // "dB", or "dBFS" while uncalibrated

    // The figure shown largest, as the settings choose it: "LAF" by default,
    // "LCeq,15min"; kNoLevelText while not live.
    std::string bigCaption;
    std::string big;
    std::string laeq;            // of the test
    std::string rollingCaption;  // "LAeq,15min", "LAeq,15min window" for fixed windows
    std::string rolling;
    // The window is framed in the light's colour, to be seen across a room.
    bool lightFrame = false;
    LimitLight light = LimitLight::kOff;  // the worse of the two limits' states
    std::string limit;                    // "Limit 100.0 dB", "No limit"; empty with only a C limit
    // "C limit 110.0 dB on LCeq,15min: predicted 104.2 dB, budget 108.0 dB";
    // empty without a C limit.
    std::string cLimit;
    std::string prediction;  // "Predicted 98.2 dB"; empty without a limit or while not live
    std::string budget;      // "Budget 96.1 dB"; empty likewise
    // LAFmax, LCpeak, the LN of the settings' list, LEX,8h and the dose.
    std::vector<SoundLevelReading> readings;

    bool uncalibrated = true;
    std::string calibration;  // kUncalibratedText, or the sensitivity and its date
    bool overload = false;    // the test's figures include clipped seconds

    // LAeq of each second of the test, in `unit`, oldest first; each point
    // covers graphSecondsPerPoint seconds. Minus infinity: silence.
    std::vector<double> graphPoints;
    size_t graphSeconds = 0;
    size_t graphSecondsPerPoint = 1;
    std::optional<double> limitLine;  // in `unit`
    double graphTop = 0.0;
    double graphBottom = 0.0;

    // The figures in one sentence, as a screen reader says them.
    std::string description;

    bool operator==(const TSoundLevelViewState&) const = default;
};

class TSoundLevelView {
public:
    // `decimalSeparator` is the user's, for the figures.
    TSoundLevelView(MeterApp& app, char32_t decimalSeparator);
    ~TSoundLevelView();
    TSoundLevelView(const TSoundLevelView&) = delete;
    TSoundLevelView& operator=(const TSoundLevelView&) = delete;

    // The state as it stands now.
    const TSoundLevelViewState& Update();
    const TSoundLevelViewState& state() const { return state_; }

private:
    void SecondDone(const SoundLevelSecond& second);
    std::string Level(double db) const;
    void ShowLimit(const SoundLevelMeter& meter);
    void ShowReadings(const SoundLevelMeter& meter);
    void ShowBigFigure(const SoundLevelMeter& meter);
    void ShowCalibration();
    void ShowGraph(double sensitivityDb);
    void Describe();

    MeterApp& app_;
    char32_t separator_;
    // Each second's LAeq re full scale, so that a new sensitivity moves the
    // whole graph, as it moves every other figure of the test.
    LoudnessHistory history_{kSoundLevelGraphPoints};
    TSoundLevelViewState state_;
};

}  // namespace tarnwick
