#pragma once
// TSpectrumView: what the "Spectrum" window shows, as texts and numbers, free
// of any toolkit: a bar for each band of the owner's spectrum bands
// (MeterApp::SpectrumBands), rising in frequency, at the reading the
// settings choose (F, S, or the Leq since the window opened or was reset),
// the highest F of each band under max hold, the level axis, and the band in
// focus (or under the pointer) read out. Its commands are the window's keys:
// they change the settings, and the bands measured with them.
//
// Levels are dB SPL with a sensitivity; without one they are dB re a
// full-scale sine and every text that gives one says "uncalibrated". F and
// S follow the input only while it is live: otherwise they are blanked and
// the state says why, as the Sound Level window does.
//
// One lives for the whole run, beside the window. Update is called whenever
// the window is about to show the state; everything runs on the event-loop
// thread.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "app/meter_app.h"
#include "settings/sound_level_settings.h"

namespace tarnwick {

// The level axis spans this many dB, its top on a 10 dB line at least 5 dB
// above what a full-scale sine reads.
constexpr double kSpectrumSpanDb = 100.0;
constexpr double kSpectrumGridDb = 10.0;

struct SpectrumBar {
    int index = 0;        // the band's number from 1 kHz (bands/band_plan.h)
    std::string nominal;  // "31.5", "1000"
    double midHz = 1000.0;
    // The reading, in dB; minus infinity where the band heard nothing, or
    // F and S while the input is not live.
    double level = 0.0;
    // The highest F since the window opened or was reset, in dB; minus
    // infinity without max hold.
    double maxHold = 0.0;
    bool operator==(const SpectrumBar&) const = default;
};

struct TSpectrumViewState {
    // Why there are no bars ("The spectrum is not measured."); empty while
    // all is well.
    std::string problem;
    bool live = false;  // F and S follow the input
    bool uncalibrated = true;
    bool maxHold = false;
    std::vector<SpectrumBar> bars;
    size_t focus = 0;  // the bar the keys move, an index into `bars`
    // The bar under the pointer, read out instead of the focus while there.
    std::optional<size_t> pointed;
    // The bar read out: "1000 Hz: 72.4 dB(A) F, max 80.1"; " (uncalibrated)"
    // after it without a sensitivity.
    std::string readout;
    // What the bars are: "1/3 octave, Fast (F), A-weighted, max hold, dB
    // SPL"; "Leq over 1:05" for the Leq; "dB re full scale, uncalibrated"
    // without a sensitivity.
    std::string caption;
    // "Loudest band 63 Hz, 85.2 dB(A)", of the reading.
    std::string loudest;
    double top = 0.0;  // of the axis, in dB
    double bottom = 0.0;
    // The readout, the loudest band and the caption, as a screen reader
    // says them.
    std::string description;
    bool operator==(const TSpectrumViewState&) const = default;
};

// The step between labelled bars: the least of 1, 2, 3, 6 and 12 at which
// labels `widestPixels` wide, `gapPixels` apart, fit under bars
// `pitchPixels` apart (12 where none does).
int SpectrumLabelStep(double widestPixels, double pitchPixels, double gapPixels);
// A bar is labelled when its band's index is a multiple of the step, so that
// 1 kHz and its octaves keep their labels.
constexpr bool SpectrumBarLabelled(int index, int step) {
    return step > 0 && ((index % step) + step) % step == 0;
}

class TSpectrumView {
public:
    // `decimalSeparator` is the user's, for the figures.
    TSpectrumView(MeterApp& app, char32_t decimalSeparator);

    // The state as it stands now.
    const TSpectrumViewState& Update();
    const TSpectrumViewState& state() const { return state_; }

    // The window's keys. Each changes the settings of the same name (the
    // bands and weighting measured with them), or the focus, which keeps to
    // the bars: moved past the first or last it stays there. A new width
    // keeps the focus on the band nearest in frequency.
    void ChooseReading(SpectrumReading reading);
    void ChooseWeighting(SpectrumWeighting weighting);
    void SwitchBands();  // one-third octaves <-> octaves
    void SwitchMaxHold();
    // The Leq and the maxima start again from now.
    void Reset();
    void MoveFocus(int bars);
    void FocusEnd(bool highest);
    // The bar under the pointer; none once it left the bars.
    void PointAt(std::optional<size_t> bar) { pointed_ = bar; }

private:
    std::string Level(double db) const;
    std::string Unit() const;
    void Describe();

    MeterApp& app_;
    char32_t separator_;
    // The focus as a frequency, so that it survives a change of width.
    double focusHz_ = 1000.0;
    std::optional<size_t> pointed_;
    TSpectrumViewState state_;
};

}  // namespace tarnwick
