#pragma once
// One run of tarnwick-logger: the meter's owner on the real clock and a real
// input, without a window, until a signal ends it.

#include <string>
#include <vector>

namespace tarnwick {

constexpr int kLoggerOk = 0;
constexpr int kLoggerFailed = 1;
constexpr int kLoggerBadOptions = 2;

// Needs a QCoreApplication on this thread.
int RunLogger(const std::vector<std::string>& args);

}  // namespace tarnwick
