// Cost of sound level: the live meter's blocks (one channel of the 16-bit
// stereo capture at 44.1 kHz; goal: at most 0.5 % of a core, so 200 x real
// time or more) and a recording's seconds (48 kHz stereo float, as the
// analyser feeds them; goal: 300 x real time or more).

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

#include "audio/test_signal.h"
#include "spl/sound_level_meter.h"

namespace tarnwick {
namespace {

constexpr unsigned long kLiveRate = 44100;
constexpr int64_t kLiveBlockFrames = 882;  // 20 ms, the default sweep
constexpr unsigned long kRecordingRate = 48000;
constexpr size_t kRecordingChunkFrames = 4096;

std::unique_ptr<SoundLevelMeter> Meter(unsigned long rate, MeasuredChannel channel) {
    SoundLevelSetup setup;
    setup.sampleRate = rate;
    setup.channels = 2;
    setup.channel = channel;
    setup.sensitivityDb = 114.0;
    std::string error;
    return SoundLevelMeter::Create(setup, error);
}

void BM_SoundLevelLiveBlock(benchmark::State& state) {
    // Ten seconds of the programme-like test signal, past its silent start.
    TestSignal signal;
    std::vector<uint8_t> skip(kLiveRate * 4);
    for (int s = 0; s < 5; ++s) {
        signal.Fill(skip.data(), kLiveRate);
    }
    std::vector<uint8_t> programme(10 * kLiveRate * 4);
    signal.Fill(programme.data(), 10 * kLiveRate);
    auto meter = Meter(kLiveRate, MeasuredChannel::kLeft);
    size_t at = 0;
    for (auto _ : state) {
        meter->AddCaptureFrames(programme.data() + at * 4, kLiveBlockFrames);
        at = (at + kLiveBlockFrames) % (10 * kLiveRate - kLiveBlockFrames);
    }
    benchmark::DoNotOptimize(meter->Test());
    state.counters["x_real_time"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kLiveBlockFrames / kLiveRate,
                           benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SoundLevelLiveBlock);

void BM_SoundLevelRecordingSecond(benchmark::State& state) {
    const auto channel = static_cast<MeasuredChannel>(state.range(0));
    std::minstd_rand random(7);
    std::normal_distribution<float> noise(0.0f, 0.1f);
    std::vector<float> second(kRecordingRate * 2);
    for (float& v : second) {
        v = noise(random);
    }
    auto meter = Meter(kRecordingRate, channel);
    for (auto _ : state) {
        for (size_t at = 0; at < kRecordingRate; at += kRecordingChunkFrames) {
            const size_t n = std::min(kRecordingChunkFrames, kRecordingRate - at);
            meter->AddFrames(second.data() + at * 2, n);
        }
    }
    benchmark::DoNotOptimize(meter->Test());
    state.counters["x_real_time"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_SoundLevelRecordingSecond)
    ->ArgName("channel")
    ->Arg(static_cast<int>(MeasuredChannel::kLeft))
    ->Arg(static_cast<int>(MeasuredChannel::kBoth));

}  // namespace
}  // namespace tarnwick
