// A week of programme through the loudness meter at full speed, as a logger
// feeds it (16-bit stereo at 44100 Hz): what reading the figures costs after a
// minute, a day and a week (the integrated loudness and range are read at every
// repaint of the Loudness window and every row of a loudness log), and the
// resident memory at each point. The reading must cost no more after a week
// than after a minute (at most 1.2 times), and the memory must not grow.
//
// Usage: tarnwick_loudness_week [DAYS]   (default 7)

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <numbers>
#include <random>
#include <vector>

#include "core/capture_format.h"
#include "loudness/loudness_meter.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSecondsPerDay = 86400;
constexpr int kReads = 20000;  // figures read at each point, for a steady mean

long ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// A minute of programme: noise whose level changes every 3 s over 30 dB, the
// channels a little apart, so that the blocks fill many bins.
std::vector<int16_t> Programme() {
    std::mt19937 random(1);
    std::uniform_real_distribution<double> noise(-1.0, 1.0);
    std::uniform_real_distribution<double> level(-45.0, -15.0);
    std::vector<int16_t> frames(static_cast<size_t>(60 * tarnwick::kSampleRate) * 2);
    double gain = 0.0;
    for (size_t i = 0; i < frames.size() / 2; ++i) {
        if (i % (3 * tarnwick::kSampleRate) == 0) {
            gain = 32767.0 * std::pow(10.0, level(random) / 20.0);
        }
        frames[2 * i] = static_cast<int16_t>(std::lround(gain * noise(random)));
        frames[2 * i + 1] = static_cast<int16_t>(std::lround(0.7 * gain * noise(random)));
    }
    return frames;
}

// The cost of reading what a repaint of the Loudness window reads, in
// microseconds: the mean of many reads, the least of a few rounds, so that
// another program's moment on the processor does not count.
double ReadingCost(const tarnwick::LoudnessMeter& meter) {
    constexpr int kRounds = 5;
    double least = 0.0;
    double sink = 0.0;
    for (int round = 0; round < kRounds; ++round) {
        const Clock::time_point start = Clock::now();
        for (int i = 0; i < kReads; ++i) {
            const tarnwick::LoudnessFigures test = meter.Test();
            sink += test.integrated + test.range + test.truePeakMax + meter.Momentary() +
                    meter.ShortTerm();
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        least = round == 0 ? seconds : std::min(least, seconds);
    }
    if (sink == 12345.678) {
        std::puts("");  // keeps the reads from being optimised away
    }
    return least / kReads * 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    const int days = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const std::vector<int16_t> minute = Programme();
    const size_t minuteFrames = minute.size() / 2;
    tarnwick::LoudnessMeter meter(tarnwick::kSampleRate);

    struct Point {
        const char* name;
        long minutes;
    };
    const Point points[] = {{"1 minute", 1},
                            {"1 day", kSecondsPerDay / 60},
                            {days == 1 ? "1 day" : "the week", days * (kSecondsPerDay / 60L)}};
    double afterMinute = 0.0;
    long minuteKb = 0;
    long fed = 0;
    const Clock::time_point start = Clock::now();
    for (const Point& point : points) {
        for (; fed < point.minutes; ++fed) {
            meter.AddFrames(minute.data(), minuteFrames);
        }
        const double cost = ReadingCost(meter);
        const long kb = ResidentKb();
        if (point.minutes == 1) {
            afterMinute = cost;
            minuteKb = kb;
        }
        const tarnwick::LoudnessFigures test = meter.Test();
        std::printf(
            "loudness meter after %-8s: figures read in %.2f us (%.2f x the first minute), "
            "resident %ld KB (%+ld KB), I %.2f LUFS, LRA %.2f LU\n",
            point.name, cost, cost / afterMinute, kb, kb - minuteKb, test.integrated, test.range);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf(
        "%d days of 44100 Hz stereo fed in %.0f s: %.0f x real time (target: reading "
        "after the week at most 1.2 x the first minute)\n",
        days, seconds, days * static_cast<double>(kSecondsPerDay) / seconds);
    return 0;
}
