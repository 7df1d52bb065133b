#include "tests/core/fault_schedule.h"

#include <algorithm>

namespace tarnwick {
namespace {

// SplitMix64: the same draws from a seed on every platform and library.
class Draws {
public:
    explicit Draws(uint64_t seed) : state_(seed) {}
    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // From `low` to `high`, both included.
    int64_t Between(int64_t low, int64_t high) {
        return low + static_cast<int64_t>(Next() % static_cast<uint64_t>(high - low + 1));
    }
    bool Chance(int percent) { return Between(1, 100) <= percent; }

private:
    uint64_t state_;
};

const char* StepName(StepKind kind) {
    switch (kind) {
        case StepKind::kDeliver:
            return "deliver";
        case StepKind::kStall:
            return "stall";
        case StepKind::kFail:
            return "fail";
        case StepKind::kRefuseOpen:
            return "refuse-open";
        case StepKind::kBurst:
            return "burst";
        case StepKind::kSuspend:
            return "suspend";
        case StepKind::kClockBack:
            return "clock-back";
        case StepKind::kClockForward:
            return "clock-forward";
        case StepKind::kSave:
            return "save";
        case StepKind::kDeleteResults:
            return "delete-results";
    }
    return "?";
}

FaultStep Step(Draws& d, bool logger, bool results) {
    FaultStep s;
    s.staleMs = static_cast<uint32_t>(d.Between(0, 400));
    s.phase = static_cast<int>(d.Between(0, 440));
    const int64_t roll = d.Between(1, 100);
    if (roll <= 30) {
        s.kind = StepKind::kDeliver;
        s.ms = static_cast<uint32_t>(d.Between(200, 1500));
    } else if (roll <= 42) {
        // Long enough to be a lost input, sometimes long enough for a
        // reopened stream to stay silent through a retry.
        s.kind = StepKind::kStall;
        s.ms = static_cast<uint32_t>(d.Between(5600, 16000));
    } else if (roll <= 52) {
        s.kind = StepKind::kFail;
        s.ms = static_cast<uint32_t>(d.Between(200, 12000));
    } else if (roll <= 58) {
        s.kind = StepKind::kRefuseOpen;
        s.ms = static_cast<uint32_t>(d.Between(200, 12000));
    } else if (roll <= 64) {
        // Shorter than a stall: the stream goes on, late.
        s.kind = StepKind::kBurst;
        s.ms = static_cast<uint32_t>(d.Between(300, 3000));
    } else if (roll <= 68) {
        s.kind = StepKind::kSuspend;
        s.ms = static_cast<uint32_t>(d.Between(300, 4500));
    } else if (roll <= 78 && logger) {
        s.kind = StepKind::kClockBack;
        s.clockMs = d.Between(1, 900) * 1000;
        s.ms = static_cast<uint32_t>(d.Between(300, 2000));
    } else if (roll <= 88 && logger) {
        s.kind = StepKind::kClockForward;
        s.clockMs = (d.Chance(25) ? d.Between(3601, 7200) : d.Between(1, 120)) * 1000;
        s.ms = static_cast<uint32_t>(d.Between(300, 2000));
    } else if (roll <= 94 && results) {
        s.kind = StepKind::kSave;
        s.ms = static_cast<uint32_t>(d.Between(300, 1500));
    } else if (results) {
        s.kind = StepKind::kDeleteResults;
        s.ms = static_cast<uint32_t>(d.Between(300, 1500));
    } else {
        s.kind = StepKind::kDeliver;
        s.ms = static_cast<uint32_t>(d.Between(200, 1500));
    }
    return s;
}

}  // namespace

FaultSchedule MakeFaultSchedule(uint64_t seed) {
    Draws d(seed);
    FaultSchedule f;
    f.seed = seed;
    const int64_t kind = d.Between(1, 100);
    f.program = kind <= 50   ? ScheduledProgram::kLogger
                : kind <= 90 ? ScheduledProgram::kWindow
                             : ScheduledProgram::kRecording;
    if (f.program == ScheduledProgram::kRecording) {
        f.rate = d.Chance(50) ? 44100 : 48000;
        f.channels = d.Chance(50) ? 2 : 1;
        f.calibrated = d.Chance(50);
        f.recordingFrames = static_cast<uint32_t>(d.Between(f.rate / 4, f.rate));
        const int64_t runs = d.Between(1, 4);
        for (int64_t i = 0; i < runs; ++i) {
            NonFiniteRun r;
            r.frame = static_cast<uint32_t>(d.Between(0, f.recordingFrames - 1));
            r.frames = static_cast<uint32_t>(std::min<int64_t>(d.Chance(70) ? 1 : d.Between(2, 500),
                                                               f.recordingFrames - r.frame));
            r.kind = static_cast<int>(d.Between(0, 3));
            f.nonFinite.push_back(r);
        }
        return f;
    }
    const bool logger = f.program == ScheduledProgram::kLogger;
    const double sweeps[] = {12.5, 25.0, 60.0};
    f.sweepS = sweeps[d.Between(0, 2)];
    f.loudness = logger || d.Chance(30);
    f.soundLevel = d.Chance(logger ? 30 : 20);
    f.calibrated = d.Chance(50);
    f.resultsFile = logger && d.Chance(40);
    f.missingAtStart = logger && d.Chance(10);
    const int64_t steps = d.Between(3, 9);
    for (int64_t i = 0; i < steps; ++i) {
        f.steps.push_back(Step(d, logger, f.resultsFile));
    }
    // A last stretch of audio, so that every schedule ends measuring.
    FaultStep last;
    last.ms = static_cast<uint32_t>(d.Between(1200, 2000));
    last.phase = static_cast<int>(d.Between(0, 440));
    f.steps.push_back(last);
    return f;
}

std::string FaultSchedule::Describe() const {
    std::string text = "seed " + std::to_string(seed) + ": ";
    if (program == ScheduledProgram::kRecording) {
        text += "recording at " + std::to_string(rate) + " Hz, " + std::to_string(channels) +
                " channel(s), " + std::to_string(recordingFrames) + " frames, non-finite runs";
        for (const NonFiniteRun& r : nonFinite) {
            text += " [" + std::to_string(r.frame) + "+" + std::to_string(r.frames) + " kind " +
                    std::to_string(r.kind) + "]";
        }
        return text;
    }
    text += program == ScheduledProgram::kLogger ? "logger" : "window";
    text += ", sweep " + std::to_string(sweepS) + " s";
    text += loudness ? ", loudness" : "";
    text +=
        soundLevel ? (calibrated ? ", sound level calibrated" : ", sound level uncalibrated") : "";
    text += resultsFile ? ", results file" : "";
    text += missingAtStart ? ", input missing at the start" : "";
    text += "; steps:";
    for (const FaultStep& s : steps) {
        text += std::string(" ") + StepName(s.kind) + " " + std::to_string(s.ms) + " ms";
        if (s.clockMs != 0) {
            text += " (" + std::to_string(s.clockMs / 1000) + " s)";
        }
    }
    return text;
}

}  // namespace tarnwick
