// A day of unattended logging with sound level, on the simulated clock at
// full speed: the logger's session (rows, alarms, loudness, sound level with a
// rolling limit, metrics) fed by a scripted input of programme whose level
// changes every few seconds. Prints the resident memory after the first hour
// and at the end: it must stay within 1 MB, whatever the length of the test.
//
// Usage: tarnwick_logger_day [HOURS]   (default 24)

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>

#include "tests/core/fakes.h"
#include "tools/logger/logger_session.h"

namespace {

using tarnwick::fakes::Frame;

long ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Rows are counted, not kept: the day log's own memory is the file system's.
class CountedRows : public tarnwick::IRowFiles {
public:
    std::string MakeFolder(const std::string&) override { return {}; }
    Written Append(const std::string&, const std::string&, const std::string&) override {
        ++rows;
        return Written{true, false, {}};
    }
    std::string ClaimFolder(const std::string&) override { return {}; }
    void ReleaseFolder(const std::string&) override {}
    std::string LastRow(const std::string&) override { return {}; }
    std::string FirstRow(const std::string&) override { return {}; }
    long rows = 0;
};

class NoCommands : public tarnwick::IAlarmCommands {
public:
    bool Run(const tarnwick::AlarmChange&, tarnwick::LocalDateTime, std::string&) override {
        ++runs;
        return true;
    }
    void Reap() override {}
    void StopAll() override {}
    uint64_t Failures() const override { return 0; }
    long runs = 0;
};

class NoService : public tarnwick::IServiceNotifier {
public:
    void Ready() override {}
    void Watchdog() override {}
    void Stopping() override {}
    void Status(const std::string&) override {}
};

}  // namespace

int main(int argc, char** argv) {
    using namespace tarnwick;
    const int hours = argc > 1 ? std::atoi(argv[1]) : 24;
    fakes::ScriptedWaveInput wave;
    fakes::FakeWaveOutput output;
    fakes::FixedRegionalFormats formats;
    fakes::FakeDialogs dialogs;
    fakes::RecordingProcess process;
    MemorySettingsStore store;
    fakes::FakeTextFiles files;
    fakes::FakeShell shell;
    fakes::FakeImages images;
    CountedRows rows;
    NoCommands commands;
    NoService service;
    SimulatedClock clock(5'000'000, fakes::TestStartTime());
    SimulatedTimers timers(clock);
    size_t metricsBytes = 0;
    LoggerOptions options;
    options.logDir = "/var/log/tarnwick";
    options.soundLevel = true;
    options.alarms.silence = AlarmRule{-50.0, 10'000};
    LoggerSession session(
        LoggerSessionPorts{MeterPorts{clock, timers, wave, output, formats, dialogs, process, store,
                                      files, shell, images, nullptr},
                           rows, commands, service,
                           [&metricsBytes](std::string text) { metricsBytes = text.size(); }},
        options);
    TMeterSettings settings = DefaultSettings();
    settings.SplSensitivity = 120.0;
    settings.SplLimit = 100.0;
    settings.SplMinutes = 15;
    if (!session.Start(1, settings)) {
        std::fprintf(stderr, "the session did not start\n");
        return 1;
    }

    const int64_t framesPerBlock = session.app().settings().BlockBytes / kBytesPerFrame;
    std::mt19937 random(7);
    std::normal_distribution<double> noise(0.0, 1.0);
    double gain = 0.1;
    int64_t frames = 0;
    long residentAfterHour = 0;
    const auto started = std::chrono::steady_clock::now();
    for (int hour = 1; hour <= hours; ++hour) {
        const int64_t end = static_cast<int64_t>(hour) * 3600 * kSampleRate;
        while (frames < end) {
            if (frames % (5 * kSampleRate) < framesPerBlock) {
                // A new passage every 5 s, from near silence to near full scale.
                gain = std::pow(10.0, -(static_cast<double>(random() % 600) / 10.0) / 20.0) * 0.25;
            }
            timers.AdvanceTo(static_cast<uint64_t>((frames + framesPerBlock) * 1000 / kSampleRate));
            frames += framesPerBlock;
            wave.Deliver([&](int32_t) {
                const auto left = static_cast<int16_t>(std::lround(
                    std::clamp(noise(random) * gain, -1.0, 32767.0 / 32768.0) * 32767.0));
                return Frame{left, static_cast<int16_t>(left / 2)};
            });
        }
        if (hour == 1) {
            residentAfterHour = ResidentKb();
        }
    }
    session.Stop();
    const long residentEnd = ResidentKb();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf(
        "tarnwick-logger session with sound level, %d simulated hours in %.0f s (%.0f x real "
        "time): resident memory %ld KB after 1 h, %ld KB at the end (%+ld KB; target within "
        "1024 KB); %ld rows, %ld alarm commands, %zu bytes of metrics\n",
        hours, seconds, hours * 3600.0 / seconds, residentAfterHour, residentEnd,
        residentEnd - residentAfterHour, rows.rows, commands.runs, metricsBytes);
    return std::labs(residentEnd - residentAfterHour) <= 1024 ? 0 : 1;
}
