#pragma once
// The rules that keep the figures honest under faults, for the meter window,
// the logger and the analyser alike: one line each. Silent failure is the
// worst failure of a measuring program (a stale figure shown as live, another
// input's audio, a file emptied or mixed, a corrupted signal measured as
// real), so each rule is kept on every path that shows, writes or serves a
// figure, and a fault-schedule harness checks all of them on seeded random
// schedules of faults (tests/core/fault_schedule_test.cpp). A fault found is
// mended for the class: every path that could break the same rule.

#include <array>
#include <cstddef>

namespace tarnwick {

enum class MeasurementRule {
    kFreshOrEmpty,
    kBackMeansAudio,
    kTimeMovesOn,
    kJoinsLeaveNoTrace,
    kOnlyNumbersAreMeasured,
    kFilesNeverEmptiedMixedOrShared,
    kUncalibratedSaysSo,
    kMessagesEndWithTheirCause,
};

struct MeasurementRuleText {
    MeasurementRule rule;
    const char* name;
    const char* statement;
};

inline constexpr std::array<MeasurementRuleText, 8> kMeasurementRules = {{
    {MeasurementRule::kFreshOrEmpty, "fresh or empty",
     "A figure shown, written or served comes from audio of the open stream captured in its own "
     "interval; where none came it is empty (row), NaN (gauge), blank or \"--\" (window)."},
    {MeasurementRule::kBackMeansAudio, "back means audio",
     "An input is back (event, alarm cleared, gauge) only when audio has arrived from the "
     "reopened stream; an open stream that delivers nothing stays lost, and retries go on."},
    {MeasurementRule::kTimeMovesOn, "time moves on",
     "One row a second while the clock moves forward, never a second twice; a clock set back is "
     "said once, liveness goes on and rows resume at the first new second; a step forward gets "
     "empty rows up to an hour, then a message."},
    {MeasurementRule::kJoinsLeaveNoTrace, "joins leave no trace",
     "The peak figures of a steady signal (sample, true peak, LCpeak, LAFmax) read the same "
     "within 0.1 dB after any number of losses and reopens at another phase, and after a fresh "
     "start: filters and oversamplers start clean, their settling counts in no maximum."},
    {MeasurementRule::kOnlyNumbersAreMeasured, "only numbers are measured",
     "A sample that is no number (NaN, infinity) reaches no accumulator: it is silence for every "
     "figure, and it is counted and reported."},
    {MeasurementRule::kFilesNeverEmptiedMixedOrShared, "files are never emptied, mixed or shared",
     "A results file given is appended to; one with other columns is never appended to (a "
     "numbered file instead); one writer per file; a deleted file or folder is made again; a "
     "program refused a file leaves the stored results settings as they were."},
    {MeasurementRule::kUncalibratedSaysSo, "uncalibrated says so",
     "Without a sensitivity every place that names sound level says uncalibrated, no limit is "
     "taken and no dose is given."},
    {MeasurementRule::kMessagesEndWithTheirCause, "messages end with their cause",
     "A message about a lost input is closed, or followed by one line, when the input is back; "
     "in the window it never holds the keys while measuring goes on."},
}};

constexpr const MeasurementRuleText& RuleText(MeasurementRule rule) {
    return kMeasurementRules[static_cast<size_t>(rule)];
}

}  // namespace tarnwick
