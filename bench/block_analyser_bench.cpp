// Throughput of the analyser: frames per second on one core.

#include <benchmark/benchmark.h>

#include <vector>

#include "audio/test_signal.h"
#include "core/block_analyser.h"
#include "core/block_analyser_paths.h"

namespace tarnwick {
namespace {

// One second of the programme-like part of the test signal, with tones and bursts.
std::vector<uint8_t> Programme(int64_t frames) {
    TestSignal signal;
    std::vector<uint8_t> bytes(static_cast<size_t>(frames) * 4);
    std::vector<uint8_t> skip(44100 * 4);
    for (int s = 0; s < 5; ++s) {
        signal.Fill(skip.data(), 44100);  // past the silence at the start
    }
    signal.Fill(bytes.data(), frames);
    return bytes;
}

void BM_AnalyseBlock(benchmark::State& state) {
    const bool integrate = state.range(0) != 0;
    const int32_t frames = static_cast<int32_t>(state.range(1));
    const std::vector<uint8_t> bytes = Programme(frames);
    AnalyseBlockInput input;
    input.bytes = bytes.data();
    input.frameCount = frames;
    input.integrate = integrate;
    int32_t systemMax = 0;
    for (auto _ : state) {
        AnalyseBlockResult result = AnalyseBlock(input, SampleStoreAccess{}, systemMax);
        benchmark::DoNotOptimize(result);
    }
    state.counters["frames/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * frames, benchmark::Counter::kIsRate);
}

// Integrate off and on; blocks of 882 frames (the default sweep) and 16000 (the largest).
BENCHMARK(BM_AnalyseBlock)
    ->ArgNames({"integrate", "frames"})
    ->Args({0, 882})
    ->Args({1, 882})
    ->Args({0, 16000})
    ->Args({1, 16000});

// Each path on the default sweep's block: AnalyseBlock takes the fastest that
// runs, so the others are measured here only.
void BM_AnalyserPath(benchmark::State& state) {
    const auto path = static_cast<AnalyserPath>(state.range(0));
    if (!AnalyserPathRuns(path)) {
        state.SkipWithError("this processor does not run the path");
        return;
    }
    constexpr int32_t kFrames = 882;
    const std::vector<uint8_t> bytes = Programme(kFrames);
    AnalyseBlockInput input;
    input.bytes = bytes.data();
    input.frameCount = kFrames;
    input.integrate = state.range(1) != 0;
    int32_t systemMax = 0;
    for (auto _ : state) {
        AnalyseBlockResult result = AnalyseBlockOn(path, input, SampleStoreAccess{}, systemMax);
        benchmark::DoNotOptimize(result);
    }
    state.counters["frames/s"] = benchmark::Counter(
        static_cast<double>(state.iterations()) * kFrames, benchmark::Counter::kIsRate);
}

// Paths: 0 frame by frame, 1 SSE2, 2 AVX2.
BENCHMARK(BM_AnalyserPath)->ArgNames({"path", "integrate"})->ArgsProduct({{0, 1, 2}, {0, 1}});

}  // namespace
}  // namespace tarnwick
