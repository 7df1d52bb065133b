#include "tools/logger/alarms.h"

#include <cmath>

#include "core/local_time.h"
#include "tools/common/command_line.h"

namespace tarnwick {

const char* AlarmName(AlarmKind kind) {
    switch (kind) {
        case AlarmKind::kSilence:
            return "silence";
        case AlarmKind::kChannelMissing:
            return "channel-missing";
        case AlarmKind::kOverTarget:
            return "over-target";
        case AlarmKind::kInputLost:
            return "input-lost";
        case AlarmKind::kSplWarn:
            return "spl-warn";
        case AlarmKind::kSplLimit:
            return "spl-limit";
        case AlarmKind::kSplOverload:
            return "spl-overload";
        case AlarmKind::kSplCWarn:
            return "spl-c-warn";
        case AlarmKind::kSplCLimit:
            return "spl-c-limit";
        case AlarmKind::kLowFrequency:
            return "low-frequency";
        case AlarmKind::kTonal:
            return "tonal";
    }
    return "";
}

void Alarms::Judge(AlarmKind kind, bool condition, uint32_t heldMs, uint32_t tickMs, double levelDb,
                   std::vector<AlarmChange>& changes) {
    State& s = state_[static_cast<size_t>(kind)];
    if (condition != s.holding) {
        s.holding = condition;
        s.since = tickMs;
    }
    if (s.active != condition && tickMs - s.since >= (condition ? heldMs : clearHoldMs)) {
        s.active = condition;
        changes.push_back({kind, condition, levelDb});
    }
}

std::vector<AlarmChange> Alarms::AddBlock(uint32_t tickMs, const BlockDb& block) {
    std::vector<AlarmChange> changes;
    if (silence) {
        Judge(AlarmKind::kSilence, !(block.level >= silence->db), silence->heldMs, tickMs,
              block.level, changes);
    }
    if (channelMissing) {
        // A silent channel beside a sounding one is missing; two silent ones
        // are silence, not a missing channel.
        const double quieter = std::min(block.left, block.right);
        const double louder = std::max(block.left, block.right);
        const bool missing = std::isfinite(louder) && !(quieter >= louder - channelMissing->db);
        Judge(AlarmKind::kChannelMissing, missing, channelMissing->heldMs, tickMs, quieter,
              changes);
    }
    if (overTargetMs) {
        Judge(AlarmKind::kOverTarget, block.overTarget1, *overTargetMs, tickMs, block.level,
              changes);
    }
    return changes;
}

AlarmChange Alarms::InputLost(bool lost, double levelDb) {
    state_[static_cast<size_t>(AlarmKind::kInputLost)].active = lost;
    return {AlarmKind::kInputLost, lost, levelDb};
}

std::vector<AlarmChange> Alarms::MinuteScreened(uint32_t tickMs, bool lowFrequency,
                                                double differenceDb, bool tonal, double tonalDb) {
    std::vector<AlarmChange> changes;
    // A minute's screen holds from its beginning to its end: set with the
    // first minute, cleared with the first minute without.
    constexpr uint32_t kMinuteMs = 60000;
    for (const uint32_t at : {tickMs - kMinuteMs, tickMs}) {
        Judge(AlarmKind::kLowFrequency, lowFrequency, 0, at, differenceDb, changes);
        Judge(AlarmKind::kTonal, tonal, 0, at, tonalDb, changes);
    }
    return changes;
}

std::vector<AlarmChange> Alarms::SoundLevelSecond(uint32_t tickMs, const LimitLightDb& a,
                                                  const LimitLightDb& c, bool overloaded,
                                                  double levelDb) {
    std::vector<AlarmChange> changes;
    // A second's figures hold from its beginning: two seconds judged false
    // are a clear hold of 2 s.
    const uint32_t begun = tickMs - static_cast<uint32_t>(kMsPerSecond);
    struct Judged {
        AlarmKind kind;
        bool on;
        double db;
    };
    for (const Judged& j : {Judged{AlarmKind::kSplWarn, a.warn, a.levelDb},
                            Judged{AlarmKind::kSplLimit, a.limit, a.levelDb},
                            Judged{AlarmKind::kSplOverload, overloaded, levelDb},
                            Judged{AlarmKind::kSplCWarn, c.warn, c.levelDb},
                            Judged{AlarmKind::kSplCLimit, c.limit, c.levelDb}}) {
        // Judged on whole seconds: set with the first.
        Judge(j.kind, j.on, 0, begun, j.db, changes);
    }
    return changes;
}

std::optional<AlarmRule> ParseAlarmRule(const std::string& text) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    const std::optional<double> db = ParseDouble(text.substr(0, colon));
    const std::optional<double> seconds = ParseDouble(text.substr(colon + 1));
    if (!db || !seconds || *seconds < 0.0 || *seconds > 86400.0) {
        return std::nullopt;
    }
    return AlarmRule{*db, static_cast<uint32_t>(std::lround(*seconds * 1000.0))};
}

}  // namespace tarnwick
