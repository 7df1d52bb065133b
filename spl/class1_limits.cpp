#include "spl/class1_limits.h"

#include <cmath>
#include <cstddef>
#include <limits>

namespace tarnwick {
namespace {

constexpr double kNone = -std::numeric_limits<double>::infinity();

struct FrequencyRow {
    double hz;
    AcceptanceLimits limits;
};

constexpr FrequencyRow kFrequencyTable[] = {
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

struct BurstRow {
    double ms;
    AcceptanceLimits limits;
};

constexpr BurstRow kBurstTable[] = {
    {1000, {-0.5, 0.5}}, {500, {-0.5, 0.5}}, {200, {-0.5, 0.5}}, {100, {-1.0, 1.0}},
    {50, {-1.5, 1.0}},   {20, {-2.0, 1.0}},  {10, {-2.0, 1.0}},  {5, {-2.5, 1.0}},
    {2, {-2.5, 1.0}},    {1, {-3.0, 1.0}},   {0.5, {-4.0, 1.0}}, {0.25, {-5.0, 1.0}},
};

// The row whose key lies nearest `value` on a logarithmic scale.
template <class Row, size_t N, class Key>
const Row& Nearest(const Row (&table)[N], double value, Key key) {
    const Row* best = &table[0];
    for (const Row& row : table) {
        if (std::fabs(std::log(key(row) / value)) < std::fabs(std::log(key(*best) / value))) {
            best = &row;
        }
    }
    return *best;
}

}  // namespace

AcceptanceLimits FrequencyWeightingLimits(double nominalHz) {
    return Nearest(kFrequencyTable, nominalHz, [](const FrequencyRow& r) { return r.hz; }).limits;
}

AcceptanceLimits ToneBurstLimits(double durationMs) {
    return Nearest(kBurstTable, durationMs, [](const BurstRow& r) { return r.ms; }).limits;
}

}  // namespace tarnwick
