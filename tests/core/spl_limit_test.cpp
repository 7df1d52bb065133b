// Noise limits driven by the meter's seconds: the rolling window's light
// changes at the seconds the energy average gives, and a fixed clock-aligned
// window predicts and budgets from the energy so far.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "spl/level_limit.h"
#include "spl/sound_level_meter.h"

namespace tarnwick {
namespace {

constexpr unsigned long kRate = 44100;
constexpr double kSensitivity = 120.0;

// Feeds `seconds` of a 1 kHz tone at `db` through `meter`, and has it deliver
// them all.
void Play(SoundLevelMeter& meter, double db, int seconds) {
    std::vector<float> x(kRate);
    const double amplitude = std::pow(10.0, (db - kSensitivity) / 20.0);
    for (int s = 0; s < seconds; ++s) {
        for (size_t i = 0; i < kRate; ++i) {
            x[i] = static_cast<float>(amplitude *
                                      std::sin(2.0 * std::numbers::pi * 1000.0 * i / kRate));
        }
        meter.AddFrames(x.data(), kRate);
    }
    meter.Finish();
}

std::unique_ptr<SoundLevelMeter> Meter() {
    SoundLevelSetup setup;
    setup.channels = 1;
    setup.sensitivityDb = kSensitivity;
    std::string error;
    return SoundLevelMeter::Create(setup, error);
}

TEST(SoundLevelLimit, RollingMinuteWarnsThenReachesTheLimitOnAStep) {
    // 100 dB over a rolling minute, warning 3 dB below; a minute at 95 dB,
    // then 105 dB. After k seconds at 105 the window holds
    // ((60 - k) 10^9.5 + k 10^10.5) / 60: it reaches 97 dB after
    // k = 60 (10^0.2 - 1) / 9 = 3.9 s and 100 dB after 60 (10^0.5 - 1) / 9 =
    // 14.4 s, so in the 4th and the 15th second of the step.
    LimitSetup setup;
    setup.limitDb = 100.0;
    setup.minutes = 1;
    ASSERT_EQ(LevelLimit::SetupError(setup), "");
    LevelLimit limit(setup);
    auto meter = Meter();
    const LocalDateTime start = ToLocalDateTime({2024, 6, 1, 20, 0, 0});
    std::vector<LimitEvent> events;
    meter->SetSecondObserver([&](const SoundLevelSecond& s) {
        const LocalDateTime end = AddMs(start, static_cast<int64_t>(s.index + 1) * kMsPerSecond);
        if (const std::optional<LimitEvent> e = limit.AddSecond(s, end)) {
            events.push_back(*e);
        }
    });
    Play(*meter, 95.0, 60);
    EXPECT_EQ(limit.Status().state, LimitState::kOk);
    EXPECT_NEAR(limit.Status().leqWindow, 95.0, 0.01);
    // At 95 dB the window can take 100 dB from now on: it holds exactly the
    // seconds to come after a minute.
    EXPECT_NEAR(limit.Status().budgetDb, 100.0, 0.01);
    Play(*meter, 105.0, 20);

    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].second, 60u + 4 - 1);
    EXPECT_EQ(events[0].to, LimitState::kWarn);
    EXPECT_EQ(events[1].second, 60u + 15 - 1);
    EXPECT_EQ(events[1].from, LimitState::kWarn);
    EXPECT_EQ(events[1].to, LimitState::kLimit);
    EXPECT_EQ(LimitStateName(limit.Status().state), "limit");
}

TEST(SoundLevelLimit, TheFirstRollingWindowWarnsOnItsPredictionAndIsReachedOnlyWhenCertain) {
    // A rolling minute against 100 dB, warning from 97, in its first minute:
    // the first whole window is the test's first 60 s. After n seconds at L,
    // holding L gives it L; a steady level from now keeps it under the limit
    // up to 10 lg((60 x 10^10 - n 10^(L/10)) / (60 - n)), and every later
    // window up to 100 dB (none when the first is past saving); the limit is
    // certain once n 10^(L/10) >= 60 x 10^10.
    struct Case {
        double db;
        int seconds;
        LimitState state;
    };
    const Case cases[] = {
        {90.0, 20, LimitState::kOk},
        {98.0, 20, LimitState::kWarn},
        {105.0, 18, LimitState::kWarn},   // 18 x 10^10.5 < 60 x 10^10: not yet
        {105.0, 19, LimitState::kLimit},  // 19 x 10^10.5 >= 60 x 10^10
    };
    for (const Case& c : cases) {
        LimitSetup setup;
        setup.limitDb = 100.0;
        setup.minutes = 1;
        LevelLimit limit(setup);
        auto meter = Meter();
        const LocalDateTime start = ToLocalDateTime({2024, 6, 1, 20, 0, 0});
        meter->SetSecondObserver([&](const SoundLevelSecond& s) {
            limit.AddSecond(s, AddMs(start, static_cast<int64_t>(s.index + 1) * kMsPerSecond));
        });
        Play(*meter, c.db, c.seconds);
        const std::string what = std::to_string(c.seconds) + " s at " + std::to_string(c.db);
        EXPECT_EQ(limit.Status().state, c.state) << what;
        EXPECT_NEAR(limit.Status().predictedDb, c.db, 0.01) << what;
        const double n = c.seconds;
        const double room = 60.0 * 1e10 - n * std::pow(10.0, c.db / 10.0);
        if (room <= 0.0) {
            EXPECT_EQ(limit.Status().budgetDb, kNoLevel) << what;
        } else {
            EXPECT_NEAR(limit.Status().budgetDb,
                        std::min(100.0, 10.0 * std::log10(room / (60.0 - n))), 0.01)
                << what;
        }
    }
}

TEST(SoundLevelLimit, FixedWindowPredictsAndBudgetsFromItsEnergy) {
    // Minute windows on the clock; the test starts at 12:00:30 and plays
    // 98 dB. At 12:00:45 the window holds 15 s and 15 s remain; with no
    // signal before the test counted, 98 dB holding ends it at 98 dB, and
    // the steady level that ends it at 100 dB is 10 lg(2 10^10 - 10^9.8).
    LimitSetup setup;
    setup.limitDb = 100.0;
    setup.minutes = 1;
    setup.window = LimitWindow::kFixed;
    setup.lcpeakLimitDb = 120.0;
    LevelLimit limit(setup);
    auto meter = Meter();
    const LocalDateTime start = ToLocalDateTime({2024, 6, 1, 12, 0, 30});
    meter->SetSecondObserver([&](const SoundLevelSecond& s) {
        limit.AddSecond(s, AddMs(start, static_cast<int64_t>(s.index + 1) * kMsPerSecond));
    });
    Play(*meter, 98.0, 15);
    EXPECT_DOUBLE_EQ(limit.Status().windowSecondsLeft, 15.0);
    EXPECT_NEAR(limit.Status().predictedDb, 98.0, 0.01);
    EXPECT_NEAR(limit.Status().budgetDb, 10.0 * std::log10(2e10 - std::pow(10.0, 9.8)), 0.01);
    EXPECT_EQ(limit.Status().state, LimitState::kWarn);

    // From 12:01:00 a new window.
    Play(*meter, 98.0, 16);
    EXPECT_DOUBLE_EQ(limit.Status().windowSecondsLeft, 59.0);
    EXPECT_NEAR(limit.Status().leqWindow, 98.0, 0.01);

    // One cycle at 0.9 of full scale on the tone peaks near 122 dB(C): above
    // the peak limit, while the window's average stays in the warning band.
    std::vector<float> x(kRate);
    const double amplitude = std::pow(10.0, (98.0 - kSensitivity) / 20.0);
    for (size_t i = 0; i < kRate; ++i) {
        const double phase = 2.0 * std::numbers::pi * 1000.0 * i / kRate;
        x[i] = static_cast<float>(amplitude * std::sin(phase) +
                                  (i < 44 ? 0.9 * std::sin(phase) : 0.0));
    }
    meter->AddFrames(x.data(), kRate);
    meter->Finish();
    EXPECT_NEAR(limit.Status().predictedDb, 98.0, 1.0);
    EXPECT_EQ(limit.Status().state, LimitState::kLimit);
    EXPECT_EQ(limit.Status().cause, LimitCriterion::kLcpeak);
}

TEST(SoundLevelLimit, AnLceqLimitJudgesTheBassAnLaeqLimitDoesNotHear) {
    // A minute of bass: 70 dB(A), 100 dB(C). Of two limits of 95 dB over a
    // rolling minute, the one on LCeq is reached and names LCeq; the one on
    // LAeq stays ok.
    const LocalDateTime start = ToLocalDateTime({2024, 6, 1, 20, 0, 0});
    for (const LimitWeighting weighting : {LimitWeighting::kA, LimitWeighting::kC}) {
        LimitSetup setup;
        setup.limitDb = 95.0;
        setup.minutes = 1;
        setup.weighting = weighting;
        LevelLimit limit(setup);
        for (uint64_t i = 0; i < 60; ++i) {
            SoundLevelSecond second;
            second.index = i;
            second.figures.durationS = 1.0;
            second.figures.laeq = 70.0;
            second.figures.lceq = 100.0;
            limit.AddSecond(second, AddMs(start, static_cast<int64_t>(i + 1) * kMsPerSecond));
        }
        const bool c = weighting == LimitWeighting::kC;
        EXPECT_NEAR(limit.Status().leqWindow, c ? 100.0 : 70.0, 0.01);
        EXPECT_EQ(limit.Status().state, c ? LimitState::kLimit : LimitState::kOk);
        EXPECT_EQ(limit.Status().cause, c ? LimitCriterion::kLceq : LimitCriterion::kLaeq);
    }
}

}  // namespace
}  // namespace tarnwick
