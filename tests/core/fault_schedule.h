#pragma once
// Schedules of faults for the fault-schedule harness, each made from a seed
// alone so that a schedule that breaks a rule can be run again: which program
// runs (the logger's session, the window's owner, or the owner measuring a
// float recording), with which options, and the steps its input and its wall
// clock go through.

#include <cstdint>
#include <string>
#include <vector>

namespace tarnwick {

enum class ScheduledProgram {
    kLogger,     // LoggerSession, with a day log and metrics
    kWindow,     // MeterApp as the window keeps it through a lost input
    kRecording,  // MeterApp measuring a float recording's own samples
};

enum class StepKind {
    kDeliver,        // blocks at the device's pace
    kStall,          // open, delivering nothing (a suspended source): lost after 5 s
    kFail,           // the device fails and is unlisted for the step
    kRefuseOpen,     // the device fails; listed, it refuses to open for the step
    kBurst,          // the device holds its blocks for the step, then hands all over
    kSuspend,        // open, delivering nothing for less than a stall; the source
                     // runs on meanwhile, so the stream resumes at another phase
    kClockBack,      // the wall clock is set back, then blocks at the device's pace
    kClockForward,   // the wall clock is set forward, likewise
    kSave,           // a results record is written, likewise
    kDeleteResults,  // the results file is deleted, likewise
};

struct FaultStep {
    StepKind kind = StepKind::kDeliver;
    uint32_t ms = 0;       // how long the step lasts
    int64_t clockMs = 0;   // kClockBack, kClockForward: how far
    uint32_t staleMs = 0;  // the blocks a reset gives back arrive this much later
    int phase = 0;         // the phase, in frames, of a stream opened in this step
};

// A stretch of a float recording holding samples that are no numbers.
struct NonFiniteRun {
    uint32_t frame = 0;
    uint32_t frames = 0;
    int kind = 0;  // 0 NaN, 1 +infinity, 2 -infinity, 3 a mix
};

struct FaultSchedule {
    uint64_t seed = 0;
    ScheduledProgram program = ScheduledProgram::kLogger;
    double sweepS = 12.5;  // the block size follows the sweep time
    bool loudness = true;
    bool soundLevel = false;
    bool calibrated = false;
    bool resultsFile = false;
    bool missingAtStart = false;
    std::vector<FaultStep> steps;
    // kRecording
    unsigned long rate = 44100;
    unsigned channels = 2;
    uint32_t recordingFrames = 0;
    std::vector<NonFiniteRun> nonFinite;

    std::string Describe() const;
};

FaultSchedule MakeFaultSchedule(uint64_t seed);

}  // namespace tarnwick
