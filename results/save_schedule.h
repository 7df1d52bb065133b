#pragma once
// The moments at which results are saved: every N minutes from the last save,
// and every N hours on the hour of the clock.

#include <cstdint>

#include "core/local_time.h"

namespace tarnwick {

// Minutes saves are at most a day apart.
constexpr int32_t kMinutesPerDay = 1440;

// The next whole hour of the clock: today at (hour + 1):00:00.000; after 23:xx,
// midnight of the next day.
LocalDateTime NextWholeHour(LocalDateTime now);

// now + (minutes div 60) hours + (minutes mod 60) minutes; at least 1440 gives
// now + 24 hours. Below 1 counts as 1.
LocalDateTime MinutesFromNow(LocalDateTime now, int32_t minutes);

// The step of the hourly schedule: `Save Hours` hours, 24 hours at 24 or more,
// 1 hour below 1.
int64_t HourSaveStepMs(int32_t saveHours);

}  // namespace tarnwick
