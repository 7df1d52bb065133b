#pragma once
// LevelLimit: a noise limit on the A- or C-weighted time average over T
// minutes, as venues and workplaces are held to (100 dB LAeq,15min; 99 dB(A)
// over 30 min with 135 dB(C) peak; bass held by a limit on LCeq,15min), with
// a traffic light: ok, warn (within the margin below the limit) and limit.
//
// The window is either rolling (the last T minutes, or the whole test while
// it is shorter) or fixed and aligned to the clock (T = 15: :00, :15, :30,
// :45, counted from midnight).
//   - Rolling: once the test has run T minutes, the state follows the
//     rolling LAeq,T now. The prediction is the highest the rolling LAeq,T
//     will reach over the next T minutes if the current level holds; the
//     budget is the highest steady level that keeps it under the limit all
//     that time. Both look at whole windows only: during the first T minutes
//     the first whole window is still to come, and the rolling LAeq over the
//     part measured is no LAeq,T. Then the state is warn when the prediction
//     reaches the warning, and limit only when a breach is certain: when the
//     energy measured so far, spread over T, already reaches the limit, so
//     that not even silence from now on keeps the first whole window under
//     it.
//   - Fixed: the state follows the prediction, the window's LAeq at its end
//     if the current level holds (the window is regulated only as a whole).
//     The budget is the steady level for the rest of the window that ends it
//     exactly at the limit. The part of a window before the test started is
//     not counted.
// The current level is the Leq of the last 10 s, in the limit's weighting. LCpeak and LAFmax
// limits, when set, are second criteria, each second on its own, with the same margin; the worst
// criterion sets the state.
//
// Driven by the meter's seconds and the local time at each second's end; no
// clock of its own. Memory is fixed: one hour of seconds.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/local_time.h"
#include "spl/sound_level_meter.h"

namespace tarnwick {

enum class LimitState { kOk, kWarn, kLimit };
enum class LimitWindow { kRolling, kFixed };
// The weighting of the time average a limit is on.
enum class LimitWeighting { kA, kC };
// What set the state: the time average, or a second criterion.
enum class LimitCriterion { kLaeq, kLceq, kLcpeak, kLafmax };

constexpr double kDefaultWarnMarginDb = 3.0;
constexpr int kLongestLimitMinutes = 60;
constexpr int kCurrentLevelSeconds = 10;

struct LimitSetup {
    double limitDb = 100.0;  // dB, on LAeq,T or LCeq,T
    LimitWeighting weighting = LimitWeighting::kA;
    int minutes = 15;  // T, 1..kLongestLimitMinutes
    LimitWindow window = LimitWindow::kRolling;
    double warnMarginDb = kDefaultWarnMarginDb;  // >= 0
    std::optional<double> lcpeakLimitDb;         // dB(C)
    std::optional<double> lafmaxLimitDb;         // dB(A)
    bool operator==(const LimitSetup&) const = default;
};

struct LimitStatus {
    LimitState state = LimitState::kOk;
    LimitCriterion cause = LimitCriterion::kLaeq;
    // Rolling: the rolling Leq,T. Fixed: the Leq of the window so far.
    double leqWindow = kNoLevel;
    double predictedDb = kNoLevel;
    // Minus infinity: no level keeps the window under the limit any more.
    double budgetDb = kNoLevel;
    double windowSecondsLeft = 0.0;  // fixed windows; T for rolling ones
};

struct LimitEvent {
    uint64_t second = 0;  // the meter's second index
    LimitState from = LimitState::kOk;
    LimitState to = LimitState::kOk;
    LimitCriterion cause = LimitCriterion::kLaeq;
};

class LevelLimit;

// The changes of state in one second of the limits a program holds: the
// A-weighted one (with its second criteria) and the C-weighted one.
struct LimitEvents {
    std::optional<LimitEvent> a;
    std::optional<LimitEvent> c;
};

// The worse state of two limits, either of them null; none when both are.
std::optional<LimitState> WorseState(const LevelLimit* a, const LevelLimit* c);

// "ok", "warn", "limit", as logs write the state.
std::string_view LimitStateName(LimitState state);

class LevelLimit {
public:
    // Why `setup` is no usable limit, as a sentence; empty when it is.
    static std::string SetupError(const LimitSetup& setup);
    // `setup` must be usable.
    explicit LevelLimit(const LimitSetup& setup);

    // Each second of the test as the meter delivers it, in order, with the
    // local wall-clock time at its end. The event when the state changed.
    std::optional<LimitEvent> AddSecond(const SoundLevelSecond& second, LocalDateTime end);
    const LimitStatus& Status() const { return status_; }
    // A test starts: the window starts empty, the state is ok.
    void Restart();

private:
    void UpdateRolling(double currentEnergy);
    void UpdateFixed(double currentEnergy);
    double RecentEnergy(size_t seconds, double& duration) const;
    // A rolling window not yet whole: the energy measured so far, spread
    // over T, reaches the limit.
    bool BreachCertain() const;

    LimitSetup setup_;
    double limitEnergy_;
    LimitStatus status_;
    // Each second's energy (10^(L/10) x its duration) and duration, newest
    // last, in a ring of an hour.
    std::vector<double> energy_;
    std::vector<double> duration_;
    size_t next_ = 0;
    size_t count_ = 0;
    // The fixed window.
    int64_t windowStartMs_ = -1;
    int64_t windowEndMs_ = -1;
    double windowEnergy_ = 0.0;
    double windowDuration_ = 0.0;
    int64_t lastEndMs_ = 0;
};

}  // namespace tarnwick
