#pragma once
// Texts of millisecond counts: the time readouts and the results records.

#include <cstdint>
#include <string>

namespace tarnwick {

// The readouts: hours (as many digits as the count needs) ":" minutes ":" seconds,
// with tenths "." digit when asked: 0:15:00, 1:00:00.0, 100:00:00.
std::string FormatDuration(uint32_t ms, bool withTenths);

// The results records: the same fields, hours with at least two digits: 00:15:00.
std::string FormatRecordDuration(uint32_t ms);

}  // namespace tarnwick
