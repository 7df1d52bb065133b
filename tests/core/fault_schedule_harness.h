#pragma once
// The fault-schedule harness: runs one schedule (tests/core/fault_schedule.h)
// on the simulated clock, against the real logger session or the real owner
// of the window, with an input that fails as the schedule says
// (tests/core/faulty_wave_input.h), and checks every rule of
// app/measurement_rules.h on every output after every step: the day log's
// rows, /metrics, alarm commands, messages and notices, the watchdog, the
// results file, the window's readouts and live figures, and at the end the
// peak figures of the test. A recording schedule feeds the owner a float
// recording holding samples that are no numbers, and checks that every figure
// reads as it does with silence in their place.
//
// What it knows it knows from the input's side (which blocks of which stream
// came when, at what level), never from the code it checks.

#include <cstdint>
#include <string>
#include <vector>

#include "app/measurement_rules.h"
#include "tests/core/fault_schedule.h"

namespace tarnwick {

struct RuleBreak {
    MeasurementRule rule;
    uint64_t atMs = 0;  // simulated time since the schedule's start
    std::string what;
};

struct FaultScheduleResult {
    std::vector<RuleBreak> breaks;
    uint64_t simulatedMs = 0;
    uint64_t audioBlocks = 0;  // of live streams, delivered
};

FaultScheduleResult RunFaultSchedule(const FaultSchedule& schedule);

// "rule name at 12.345 s: what".
std::string Describe(const RuleBreak& broken);

}  // namespace tarnwick
