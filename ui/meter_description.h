#pragma once
// What the meter picture says to a screen reader: the level the peak readout
// shows and the state of the over lamp. A screen reader reads each change of
// a description aloud, and the level changes with every block, so the
// description changes at most once a second.
//
// Pure text and arithmetic on milliseconds of a steady clock, so that its
// rule can be checked on a clock of the test's own.

#include <cstdint>
#include <optional>
#include <string>

namespace tarnwick {

// "Peak level -20.2 dB" from the peak readout's text (" -20.2", or "low "
// where there is no level), as the numeric window says it.
std::string PeakDescription(const std::string& peakReadout);
// "Peak level -20.2 dB, over lamp off": the same, and whether the over lamp
// is lit.
std::string MeterDescription(const std::string& peakReadout, bool overLampLit);

class DescriptionPacer {
public:
    explicit DescriptionPacer(int64_t intervalMs) : intervalMs_(intervalMs) {}

    // The description to give at `nowMs`: `text` when it differs from the
    // one given last and that one is at least the interval old (the first
    // at once); nullopt otherwise. A change held back is given by a later
    // call, so call it at every refresh.
    std::optional<std::string> Offer(int64_t nowMs, const std::string& text);
    // Whether Offer at `nowMs` may give a text: a caller builds its text only
    // then, not at every refresh.
    bool Due(int64_t nowMs) const { return !givenAt_ || nowMs - *givenAt_ >= intervalMs_; }

private:
    int64_t intervalMs_;
    std::optional<int64_t> givenAt_;
    std::string given_;
};

}  // namespace tarnwick
