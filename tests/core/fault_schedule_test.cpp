// The rules of app/measurement_rules.h on seeded random schedules of faults:
// lost, stalled, refused and failing inputs, bursts, stale blocks, clocks set
// back and forward, deleted results files, and float recordings holding
// samples that are no numbers, against the logger's session, the window's
// owner and the owner measuring a recording.
//
// A thousand schedules a run, in four parts that run side by side. A schedule
// that breaks a rule prints its seed and what it did; run it again alone with
// TARNWICK_FAULT_SEED=<seed> (every part then runs that one).
// TARNWICK_FAULT_SCHEDULES=<n> runs n schedules in each part instead, from
// TARNWICK_FAULT_FIRST (default: the part's own first seed).

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/core/fault_schedule_harness.h"

namespace tarnwick {
namespace {

constexpr uint64_t kSchedulesPerPart = 250;
constexpr uint64_t kParts = 4;

uint64_t FromEnvironment(const char* name, uint64_t fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 10) : fallback;
}

class FaultSchedules : public testing::TestWithParam<uint64_t> {};

TEST_P(FaultSchedules, EveryRuleHoldsOnEverySchedule) {
    uint64_t first = FromEnvironment("TARNWICK_FAULT_FIRST", 1 + GetParam() * kSchedulesPerPart);
    uint64_t count = FromEnvironment("TARNWICK_FAULT_SCHEDULES", kSchedulesPerPart);
    if (const uint64_t seed = FromEnvironment("TARNWICK_FAULT_SEED", 0); seed != 0) {
        first = seed;
        count = 1;
    }
    uint64_t broken = 0;
    uint64_t simulatedMs = 0;
    uint64_t blocks = 0;
    for (uint64_t seed = first; seed < first + count; ++seed) {
        const FaultSchedule schedule = MakeFaultSchedule(seed);
        const FaultScheduleResult result = RunFaultSchedule(schedule);
        simulatedMs += result.simulatedMs;
        blocks += result.audioBlocks;
        if (result.breaks.empty()) {
            continue;
        }
        ++broken;
        std::string what = schedule.Describe();
        for (const RuleBreak& b : result.breaks) {
            what += "\n  " + Describe(b);
        }
        ADD_FAILURE() << what << "\n  (run it alone: TARNWICK_FAULT_SEED=" << seed << ")";
        if (broken >= 5) {
            break;  // the first few say enough
        }
    }
    RecordProperty("schedules", static_cast<int>(count));
    RecordProperty("simulated_seconds", static_cast<int>(simulatedMs / 1000));
    EXPECT_EQ(broken, 0u) << "of " << count << " schedules";
    std::printf("%llu schedules, %llu s simulated, %llu blocks of audio\n",
                static_cast<unsigned long long>(count),
                static_cast<unsigned long long>(simulatedMs / 1000),
                static_cast<unsigned long long>(blocks));
}

INSTANTIATE_TEST_SUITE_P(Seeds, FaultSchedules, testing::Range<uint64_t>(0, kParts));

}  // namespace
}  // namespace tarnwick
