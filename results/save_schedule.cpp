#include "results/save_schedule.h"

namespace tarnwick {

LocalDateTime NextWholeHour(LocalDateTime now) {
    CivilDateTime c = ToCivil(now);
    c.minute = 0;
    c.second = 0;
    c.millisecond = 0;
    return AddMs(ToLocalDateTime(c), kMsPerHour);
}

LocalDateTime MinutesFromNow(LocalDateTime now, int32_t minutes) {
    // The results dialog keeps the interval at one minute or more; a hand-edited
    // store could hold less, which would save on every block.
    if (minutes < 1) {
        minutes = 1;
    }
    if (minutes >= kMinutesPerDay) {
        return AddMs(now, kMsPerDay);
    }
    // Integer division truncates toward zero, as the schedule always has.
    return AddMs(now, (minutes / 60) * kMsPerHour + (minutes % 60) * kMsPerMinute);
}

int64_t HourSaveStepMs(int32_t saveHours) {
    if (saveHours < 1) {  // as for the minutes: never a save on every block
        saveHours = 1;
    }
    return saveHours >= 24 ? kMsPerDay : static_cast<int64_t>(saveHours) * kMsPerHour;
}

}  // namespace tarnwick
