#include "spl/class1_limits.h"

#include <cmath>
#include <cstddef>
#include <limits>

namespace tarnwick {
namespace {

constexpr double kNone = -std::numeric_limits<double>::infinity();

struct Row {
    double key;  // Hz or ms
    AcceptanceLimits limits;
};

constexpr Row kFrequencyTable[] = {
    {10, {kNone, 3.0}},    {12.5, {kNone, 2.5}},  {16, {-4.0, 2.0}},    {20, {-2.0, 2.0}},
    {25, {-1.5, 2.0}},     {31.5, {-1.5, 1.5}},   {40, {-1.0, 1.0}},    {50, {-1.0, 1.0}},
    {63, {-1.0, 1.0}},     {80, {-1.0, 1.0}},     {100, {-1.0, 1.0}},   {125, {-1.0, 1.0}},
    {160, {-1.0, 1.0}},    {200, {-1.0, 1.0}},    {250, {-1.0, 1.0}},   {315, {-1.0, 1.0}},
    {400, {-1.0, 1.0}},    {500, {-1.0, 1.0}},    {630, {-1.0, 1.0}},   {800, {-1.0, 1.0}},
    {1000, {-0.7, 0.7}},   {1250, {-1.0, 1.0}},   {1600, {-1.0, 1.0}},  {2000, {-1.0, 1.0}},
    {2500, {-1.0, 1.0}},   {3150, {-1.0, 1.0}},   {4000, {-1.0, 1.0}},  {5000, {-1.5, 1.5}},
    {6300, {-2.0, 1.5}},   {8000, {-2.5, 1.5}},   {10000, {-3.0, 2.0}}, {12500, {-5.0, 2.0}},
    {16000, {-16.0, 2.5}}, {20000, {kNone, 3.0}},
};

// F and the sound exposure level.
constexpr Row kFastBurstTable[] = {
    {1000, {-0.5, 0.5}}, {500, {-0.5, 0.5}}, {200, {-0.5, 0.5}}, {100, {-1.0, 1.0}},
    {50, {-1.0, 1.0}},   {20, {-1.0, 1.0}},  {10, {-1.0, 1.0}},  {5, {-1.0, 1.0}},
    {2, {-1.5, 1.0}},    {1, {-2.0, 1.0}},   {0.5, {-2.5, 1.0}}, {0.25, {-3.0, 1.0}},
};

constexpr Row kSlowBurstTable[] = {
    {1000, {-0.5, 0.5}}, {500, {-0.5, 0.5}}, {200, {-0.5, 0.5}},
    {100, {-1.0, 1.0}},  {50, {-1.0, 1.0}},  {20, {-1.5, 1.0}},
    {10, {-2.0, 1.0}},   {5, {-2.5, 1.0}},   {2, {-3.0, 1.0}},
};

constexpr Row kPeakCTable[] = {
    {31.5, {-2.0, 2.0}},
    {500, {-1.0, 1.0}},
    {8000, {-2.0, 2.0}},
};

// The limits of the row whose key lies nearest `value` on a logarithmic
// scale.
template <size_t N>
AcceptanceLimits Nearest(const Row (&table)[N], double value) {
    const Row* best = &table[0];
    for (const Row& row : table) {
        if (std::fabs(std::log(row.key / value)) < std::fabs(std::log(best->key / value))) {
            best = &row;
        }
    }
    return best->limits;
}

}  // namespace

AcceptanceLimits FrequencyWeightingLimits(double nominalHz) {
    return Nearest(kFrequencyTable, nominalHz);
}

AcceptanceLimits ToneBurstLimits(ToneBurstResponse response, double durationMs) {
    return response == ToneBurstResponse::kSlow ? Nearest(kSlowBurstTable, durationMs)
                                                : Nearest(kFastBurstTable, durationMs);
}

AcceptanceLimits PeakCLimits(double nominalHz) {
    return Nearest(kPeakCTable, nominalHz);
}

}  // namespace tarnwick
