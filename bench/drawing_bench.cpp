// The drawing cost of one block: the bars with their hold marks and one graph
// column, the scroll included, as the pipeline draws them during a test.

#include <benchmark/benchmark.h>

#include <cmath>

#include "display/bar_meter.h"
#include "display/meter_bitmap.h"
#include "display/meter_frame.h"
#include "display/meter_scale.h"
#include "display/sweep_graph.h"

namespace tarnwick {
namespace {

// The per-block drawing draws no text; the frame's labels need none measured
// to any precision either.
class NoText : public ITextRasteriser {
public:
    TextSize Measure(const TFont& font, const std::string& text) override {
        return {font.pointSize * static_cast<int32_t>(text.size()) / 2, font.pointSize};
    }
    void Draw(const RasterImage&, int32_t, int32_t, const TFont&, const std::string&,
              std::optional<uint32_t>) override {}
};

void BM_DrawBlock(benchmark::State& state) {
    NoText text;
    MeterBitmap bitmap(text);
    TMeterSettings settings = DefaultSettings();
    settings.Sweep = static_cast<double>(state.range(0));
    settings.Channel = static_cast<int32_t>(state.range(1));
    TMeterScale scale;
    settings.DisplayOffset = BuildScale(scale, settings.Scale, settings.FullScale);
    DrawMeterFrame(bitmap, scale, settings.Scale, settings.DisplayOffset);
    ClearGraph(bitmap, settings, scale.heights);
    TBarState bars;
    TSweepGraph graph;
    ResetForTestStart(graph);
    bool secondElapsed = false;
    const TGraphContext context{settings, scale.marks, true, false, 0};
    int64_t block = 0;
    for (auto _ : state) {
        ++block;
        // A programme-like wander of the levels, with a second mark every 50 blocks.
        const auto left = static_cast<int32_t>(200 + 150 * std::sin(block * 0.05));
        const auto right = static_cast<int32_t>(180 + 120 * std::sin(block * 0.031));
        secondElapsed = block % 50 == 0;
        const TBarFrame frame = UpdateBarMeters(bars, settings.Channel == 0, settings.Sweep,
                                                std::max(left, right), left, right);
        DrawBars(bitmap, frame, 240, 298, settings);
        const TSweepColumn column{left, right, 240, left - 30, right - 30, 298, 150};
        PlotSweepColumn(&bitmap, graph, column, context, secondElapsed);
    }
    benchmark::DoNotOptimize(bitmap.Pixel(509, 200));
    state.counters["us/block"] = benchmark::Counter(
        static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert, benchmark::Counter::kIs1000);
}

// Laying the graph out into the picture, as showing or saving it does.
void BM_LayOutPicture(benchmark::State& state) {
    NoText text;
    MeterBitmap bitmap(text);
    for (auto _ : state) {
        bitmap.ScrollGraphLeft();
        benchmark::DoNotOptimize(bitmap.Picture());
    }
}

// Stereo and one channel, at the default sweep (10 s) and at 1 s.
BENCHMARK(BM_DrawBlock)
    ->ArgNames({"sweep_s", "channel"})
    ->Args({10, 0})
    ->Args({1, 0})
    ->Args({10, 1});
BENCHMARK(BM_LayOutPicture);

}  // namespace
}  // namespace tarnwick
