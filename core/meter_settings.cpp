#include "core/meter_settings.h"

#include <cmath>

#include "core/level_math.h"

namespace tarnwick {

TMeterSettings StartSettings() {
    TMeterSettings s;
    s.Calibration = 0.0;
    s.Over = 0.0;
    s.dbScale = false;
    s.AutoStart = true;
    s.SaveOnStop = false;
    s.SaveOnMinutes = false;
    s.SaveMins = 1;
    s.TestName = "Test Name";
    s.AutoLevel = -30;
    s.Threshold = -35;
    s.Lowcolor = 0x008000;
    s.Midcolor = 0x00FFFF;
    s.Mcolor = 0x40FF00;
    s.Rcolor = 0x0000FF;
    s.left = 0;
    s.top = 0;
    s.width = 1024;
    s.height = 768;
    s.FullScale = 0;
    s.Scale = 0;
    s.NumLeft = 0;
    s.NumTop = 0;
    s.AverageLength = 10;
    s.BlockBytes = 4400;
    s.DisplayOffset = 0;
    s.CalibrationFactor = CalibrationFactorFor(s.Calibration);
    return s;
}

TMeterSettings DefaultSettings() {
    TMeterSettings s;
    s.NumLeft = s.left;
    s.NumTop = s.top;
    DeriveLoadedValues(s);
    return s;
}

int32_t BlockBytesForSweep(double sweepSeconds) {
    const double q = sweepSeconds * kBytesPerFrame * kSampleRate / kSweepColumns;
    // A hand-edited store can hold any double; keep the conversion defined.
    if (!(q < static_cast<double>(kMaxBlockBytes) + kBytesPerFrame)) {
        return kMaxBlockBytes;
    }
    if (!(q > 0.0)) {
        return 0;
    }
    const auto t = static_cast<int32_t>(std::trunc(q));
    const int32_t bytes = kBytesPerFrame * (t / kBytesPerFrame);
    return bytes > kMaxBlockBytes ? kMaxBlockBytes : bytes;
}

int32_t AverageLengthFor(double averageSeconds, int32_t blockBytes) {
    // In extended precision: the quotient of the defaults, 0.3 s over 20 ms
    // blocks, falls just short of 15 there and gives 14 blocks, where double
    // arithmetic would round it up to exactly 15.
    const long double blockSeconds =
        static_cast<long double>(blockBytes / kBytesPerFrame) / kSampleRate;
    const long double n = static_cast<long double>(averageSeconds) / blockSeconds;
    if (!(n >= 1.0L)) {  // also a zero-length block (n is NaN or infinite)
        return std::isinf(n) && n > 0 ? kAverageLengthOverflow : 1;
    }
    if (n > kShortRingCapacity) {
        return n >= kShortRingCapacity + 1 ? kAverageLengthOverflow : kShortRingCapacity;
    }
    return static_cast<int32_t>(std::trunc(n));
}

int32_t DisplayOffsetFor(int32_t scale, int32_t fullScale) {
    return scale == kUserFullScale ? fullScale : 0;
}

void DeriveLoadedValues(TMeterSettings& settings) {
    settings.CalibrationFactor = CalibrationFactorFor(settings.Calibration);
    settings.BlockBytes = BlockBytesForSweep(settings.Sweep);
    settings.AverageLength = AverageLengthFor(settings.AverageTime, settings.BlockBytes);
}

}  // namespace tarnwick
