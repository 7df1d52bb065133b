#pragma once
// The logger's alarms, judged block by block on the meter's display scale:
//   silence          the level stays below a level for a time;
//   channel-missing  one channel stays more than some dB below the other for
//                    a time;
//   over-target      the level stays at or above target 1 for a time;
//   input-lost       the input is lost, until it is back;
//   spl-warn, spl-limit, spl-overload
//                    the sound level's limit and full scale, second by second;
//   spl-c-warn, spl-c-limit
//                    the limit on LCeq, second by second;
//   low-frequency, tonal
//                    the bands' screens, minute by minute.
// An alarm is set once its condition has held for its whole time, and cleared
// once its condition has been false for the clear hold: a level that hovers at
// a threshold keeps its alarm set instead of setting and clearing it with
// every block. The input-lost alarm is no judged level: it follows the input,
// which is tried again every 5 s at most. Toolkit-free: the caller gives the
// clock's ticks.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarnwick {

enum class AlarmKind {
    kSilence,
    kChannelMissing,
    kOverTarget,
    kInputLost,
    kSplWarn,
    kSplLimit,
    kSplOverload,
    kSplCWarn,
    kSplCLimit,
    kLowFrequency,
    kTonal
};

// Every kind, in the order of the enum: the one list that names them all, so
// that a new kind is added here (and in AlarmName) and nowhere else. Arrays
// kept by kind are indexed with static_cast<size_t>(kind).
inline constexpr std::array kAlarmKinds = {
    AlarmKind::kSilence,      AlarmKind::kChannelMissing, AlarmKind::kOverTarget,
    AlarmKind::kInputLost,    AlarmKind::kSplWarn,        AlarmKind::kSplLimit,
    AlarmKind::kSplOverload,  AlarmKind::kSplCWarn,       AlarmKind::kSplCLimit,
    AlarmKind::kLowFrequency, AlarmKind::kTonal};
inline constexpr size_t kAlarmKindCount = kAlarmKinds.size();
static_assert(
    [] {
        for (size_t i = 0; i < kAlarmKindCount; ++i) {
            if (static_cast<size_t>(kAlarmKinds[i]) != i) {
                return false;
            }
        }
        return true;
    }(),
    "kAlarmKinds lists every kind once, in the order of the enum");

// "silence", "channel-missing", "over-target", "input-lost", "spl-warn",
// "spl-limit", "spl-overload", "spl-c-warn", "spl-c-limit", "low-frequency",
// "tonal".
const char* AlarmName(AlarmKind kind);

// How long an alarm's condition must have been false before it clears.
inline constexpr uint32_t kDefaultClearHoldMs = 2000;

struct AlarmRule {
    double db = 0.0;      // the level (silence) or the difference (channel-missing)
    uint32_t heldMs = 0;  // how long the condition must hold
};

struct AlarmChange {
    AlarmKind kind;
    bool set;        // else cleared
    double levelDb;  // the level when it changed
};

// A sound level limit's light in one second, and the level its alarms
// report (the limit's Leq,T).
struct LimitLightDb {
    bool warn = false;   // amber
    bool limit = false;  // red
    double levelDb = 0.0;
};

// What one block shows, in dB on the display scale (minus infinity for none).
struct BlockDb {
    double level;
    double left;
    double right;
    bool overTarget1;
};

class Alarms {
public:
    std::optional<AlarmRule> silence;
    std::optional<AlarmRule> channelMissing;
    std::optional<uint32_t> overTargetMs;
    uint32_t clearHoldMs = kDefaultClearHoldMs;  // 0: an alarm clears with its condition

    // One block at `tickMs`; the alarms that changed with it.
    std::vector<AlarmChange> AddBlock(uint32_t tickMs, const BlockDb& block);
    // The input was lost or is back.
    AlarmChange InputLost(bool lost, double levelDb);
    // A second of sound level, delivered at `tickMs`: spl-warn is set while
    // the LAeq limit's light is amber, spl-limit while it is red, likewise
    // spl-c-warn and spl-c-limit for the LCeq limit; spl-overload while the
    // second held a sample at full scale, reporting `levelDb`.
    std::vector<AlarmChange> SoundLevelSecond(uint32_t tickMs, const LimitLightDb& a,
                                              const LimitLightDb& c, bool overloaded,
                                              double levelDb);

    // A minute screened, ending at `tickMs`: low-frequency is set while its
    // minutes are (reporting LCeq - LAeq), tonal while a band stands out
    // (reporting its Leq); each clears with the first minute without.
    std::vector<AlarmChange> MinuteScreened(uint32_t tickMs, bool lowFrequency, double differenceDb,
                                            bool tonal, double tonalDb);

    bool Active(AlarmKind kind) const { return state_[static_cast<size_t>(kind)].active; }

private:
    struct State {
        bool holding = false;  // the condition holds now
        uint32_t since = 0;    // tick at which it began to hold, or (active) to fail
        bool active = false;
    };
    // Judges one alarm; appends its change, if any.
    void Judge(AlarmKind kind, bool condition, uint32_t heldMs, uint32_t tickMs, double levelDb,
               std::vector<AlarmChange>& changes);

    std::array<State, kAlarmKindCount> state_{};
};

// "-20:60" into a level (or difference) in dB and a time; nullopt when it is
// not that.
std::optional<AlarmRule> ParseAlarmRule(const std::string& text);

}  // namespace tarnwick
