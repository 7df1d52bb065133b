#include "spl/level_limit.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace tarnwick {
namespace {

constexpr size_t kHistorySeconds = static_cast<size_t>(kLongestLimitMinutes) * 60;

double EnergyOf(double db) {
    return std::isfinite(db) ? std::pow(10.0, db / 10.0) : 0.0;
}

double DbOf(double energy) {
    return energy > 0.0 ? 10.0 * std::log10(energy) : kNoLevel;
}

// The state a level reads against a limit and its warning margin.
LimitState StateOf(double db, double limitDb, double marginDb) {
    return db >= limitDb              ? LimitState::kLimit
           : db >= limitDb - marginDb ? LimitState::kWarn
                                      : LimitState::kOk;
}

}  // namespace

std::string_view LimitStateName(LimitState state) {
    switch (state) {
        case LimitState::kWarn:
            return "warn";
        case LimitState::kLimit:
            return "limit";
        case LimitState::kOk:
            break;
    }
    return "ok";
}

std::optional<LimitState> WorseState(const LevelLimit* a, const LevelLimit* c) {
    std::optional<LimitState> worse;
    for (const LevelLimit* limit : {a, c}) {
        if (limit != nullptr) {
            worse = std::max(worse.value_or(LimitState::kOk), limit->Status().state);
        }
    }
    return worse;
}

std::string LevelLimit::SetupError(const LimitSetup& setup) {
    if (!std::isfinite(setup.limitDb)) {
        return "The limit is not a number of dB.";
    }
    if (setup.minutes < 1 || setup.minutes > kLongestLimitMinutes) {
        return "The limit's window needs from 1 to 60 minutes.";
    }
    if (!(setup.warnMarginDb >= 0.0) || !std::isfinite(setup.warnMarginDb)) {
        return "The warning margin needs 0 dB or more.";
    }
    if ((setup.lcpeakLimitDb && !std::isfinite(*setup.lcpeakLimitDb)) ||
        (setup.lafmaxLimitDb && !std::isfinite(*setup.lafmaxLimitDb))) {
        return "The peak and maximum limits need a number of dB.";
    }
    return {};
}

LevelLimit::LevelLimit(const LimitSetup& setup)
    : setup_(setup),
      limitEnergy_(EnergyOf(setup.limitDb)),
      energy_(kHistorySeconds, 0.0),
      duration_(kHistorySeconds, 0.0) {
    Restart();
}

void LevelLimit::Restart() {
    next_ = 0;
    count_ = 0;
    windowStartMs_ = -1;
    windowEndMs_ = -1;
    windowEnergy_ = 0.0;
    windowDuration_ = 0.0;
    status_ = LimitStatus{};
    status_.windowSecondsLeft = setup_.minutes * 60.0;
}

double LevelLimit::RecentEnergy(size_t seconds, double& duration) const {
    double energy = 0.0;
    duration = 0.0;
    for (size_t k = 1; k <= std::min(seconds, count_); ++k) {
        const size_t at = (next_ + kHistorySeconds - k) % kHistorySeconds;
        energy += energy_[at];
        duration += duration_[at];
    }
    return energy;
}

std::optional<LimitEvent> LevelLimit::AddSecond(const SoundLevelSecond& second, LocalDateTime end) {
    const double duration = second.figures.durationS;
    const bool cWeighted = setup_.weighting == LimitWeighting::kC;
    energy_[next_] = EnergyOf(cWeighted ? second.figures.lceq : second.figures.laeq) * duration;
    duration_[next_] = duration;
    next_ = (next_ + 1) % kHistorySeconds;
    count_ = std::min(count_ + 1, kHistorySeconds);
    lastEndMs_ = end.ms;

    double recentDuration = 0.0;
    const double recent = RecentEnergy(kCurrentLevelSeconds, recentDuration);
    const double current = recentDuration > 0.0 ? recent / recentDuration : 0.0;
    if (setup_.window == LimitWindow::kRolling) {
        UpdateRolling(current);
    } else {
        UpdateFixed(current);
    }

    const LimitState before = status_.state;
    LimitState state = StateOf(status_.predictedDb, setup_.limitDb, setup_.warnMarginDb);
    if (setup_.window == LimitWindow::kRolling) {
        const size_t window = static_cast<size_t>(setup_.minutes) * 60;
        if (count_ >= window) {
            state = StateOf(status_.leqWindow, setup_.limitDb, setup_.warnMarginDb);
        } else if (state == LimitState::kLimit && !BreachCertain()) {
            state = LimitState::kWarn;
        }
    }
    LimitCriterion cause = cWeighted ? LimitCriterion::kLceq : LimitCriterion::kLaeq;
    const auto secondCriterion = [&](const std::optional<double>& limit, double db,
                                     LimitCriterion which) {
        if (limit) {
            const LimitState s = StateOf(db, *limit, setup_.warnMarginDb);
            if (s > state) {
                state = s;
                cause = which;
            }
        }
    };
    secondCriterion(setup_.lcpeakLimitDb, second.figures.lcpeak, LimitCriterion::kLcpeak);
    secondCriterion(setup_.lafmaxLimitDb, second.figures.lafmax, LimitCriterion::kLafmax);
    status_.state = state;
    status_.cause = cause;
    if (state == before) {
        return std::nullopt;
    }
    return LimitEvent{second.index, before, state, cause};
}

bool LevelLimit::BreachCertain() const {
    double duration = 0.0;
    const double energy = RecentEnergy(static_cast<size_t>(setup_.minutes) * 60, duration);
    return energy >= limitEnergy_ * setup_.minutes * 60.0;
}

void LevelLimit::UpdateRolling(double current) {
    const size_t window = static_cast<size_t>(setup_.minutes) * 60;
    double duration = 0.0;
    const double energy = RecentEnergy(window, duration);
    status_.leqWindow = duration > 0.0 ? DbOf(energy / duration) : kNoLevel;
    status_.windowSecondsLeft = static_cast<double>(window);

    // Over the next k seconds at a steady level, the window holds the newest
    // min(window - k, measured) seconds of the past and the k to come. Only
    // whole windows are judged: none before the test has run T.
    double highest = 0.0;
    double budget = std::numeric_limits<double>::infinity();
    double pastEnergy = energy;
    double pastDuration = duration;
    size_t kept = std::min(window, count_);
    const size_t firstWhole = window - kept;
    for (size_t k = 1; k <= window; ++k) {
        if (kept > window - k) {
            // The oldest second kept leaves the window.
            const size_t at = (next_ + kHistorySeconds - kept) % kHistorySeconds;
            pastEnergy -= energy_[at];
            pastDuration -= duration_[at];
            --kept;
        }
        if (k < firstWhole) {
            continue;
        }
        const double span = pastDuration + static_cast<double>(k);
        highest = std::max(highest, (pastEnergy + current * static_cast<double>(k)) / span);
        budget = std::min(budget, (limitEnergy_ * span - pastEnergy) / static_cast<double>(k));
    }
    status_.predictedDb = DbOf(highest);
    status_.budgetDb = DbOf(budget);
}

void LevelLimit::UpdateFixed(double current) {
    const int64_t length = static_cast<int64_t>(setup_.minutes) * kMsPerMinute;
    // A second that ends on a boundary belongs to the window before it.
    const int64_t inside = lastEndMs_ - 1;
    const int64_t start = (inside >= 0 ? inside / length : (inside - length + 1) / length) * length;
    if (start != windowStartMs_) {
        windowStartMs_ = start;
        windowEndMs_ = start + length;
        windowEnergy_ = 0.0;
        windowDuration_ = 0.0;
    }
    const size_t newest = (next_ + kHistorySeconds - 1) % kHistorySeconds;
    windowEnergy_ += energy_[newest];
    windowDuration_ += duration_[newest];
    const double left = static_cast<double>(windowEndMs_ - lastEndMs_) / kMsPerSecond;
    status_.windowSecondsLeft = left;
    status_.leqWindow = windowDuration_ > 0.0 ? DbOf(windowEnergy_ / windowDuration_) : kNoLevel;
    const double span = windowDuration_ + left;
    status_.predictedDb = span > 0.0 ? DbOf((windowEnergy_ + current * left) / span) : kNoLevel;
    // With no time left, the next window starts empty: its budget is the limit.
    status_.budgetDb =
        left > 0.0 ? DbOf((limitEnergy_ * span - windowEnergy_) / left) : setup_.limitDb;
}

}  // namespace tarnwick
