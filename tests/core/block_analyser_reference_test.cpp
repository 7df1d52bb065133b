// The analyser passes over whole chunks of a block that cannot move its peaks,
// on each of its paths. These tests hold every path this processor runs to the
// plain frame-by-frame rules on many kinds of blocks.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <utility>
#include <vector>

#include "core/block_analyser.h"
#include "core/block_analyser_paths.h"

namespace tarnwick {
namespace {

struct Reference {
    TBlockLevels levels;
    int32_t systemMax = 0;
    int32_t position = 0;
    std::vector<uint8_t> store;
};

// The rules, one frame at a time, without any shortcut.
Reference Analyse(const std::vector<int16_t>& samples, bool integrate, bool recording,
                  int32_t systemMax, int32_t position, std::vector<uint8_t> store) {
    Reference out;
    TBlockLevels& v = out.levels;
    auto rise = [integrate](int32_t& peak, int32_t x) {
        if (x > peak) {
            peak = integrate ? peak + (x - peak) / 40 : x;
        }
    };
    for (size_t f = 0; f + 1 < samples.size(); f += 2) {
        const int32_t l = samples[f];
        const int32_t r = samples[f + 1];
        const int32_t m = std::abs((l + r) / 2);
        const int32_t s = std::abs((l - r) / 2);
        const int32_t a = std::abs(l);
        const int32_t b = std::abs(r);
        if (a > v.LeftPeak)
            v.LeftOverCandidate = v.LeftPeak;
        if (b > v.RightPeak)
            v.RightOverCandidate = v.RightPeak;
        rise(v.LeftPeak, a);
        rise(v.RightPeak, b);
        rise(v.SumPeak, m);
        rise(v.DifferencePeak, s);
        if (recording) {
            systemMax = std::max(systemMax, m);
            if (position < static_cast<int32_t>(store.size())) {
                for (int k = 0; k < 2; ++k) {
                    const auto u = static_cast<uint16_t>(samples[f + static_cast<size_t>(k)]);
                    store[static_cast<size_t>(position + 2 * k)] = static_cast<uint8_t>(u & 0xFF);
                    store[static_cast<size_t>(position + 2 * k + 1)] = static_cast<uint8_t>(u >> 8);
                }
                position += 4;
            }
        }
    }
    out.systemMax = systemMax;
    out.position = position;
    out.store = std::move(store);
    return out;
}

std::vector<uint8_t> Bytes(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> bytes;
    for (int16_t s : samples) {
        const auto u = static_cast<uint16_t>(s);
        bytes.push_back(static_cast<uint8_t>(u & 0xFF));
        bytes.push_back(static_cast<uint8_t>(u >> 8));
    }
    return bytes;
}

// Blocks of many shapes: noise at random levels, tones, bursts in silence,
// full-scale patterns and channels far apart.
std::vector<int16_t> MakeBlock(std::mt19937& rng, int frames) {
    std::vector<int16_t> samples(static_cast<size_t>(frames) * 2);
    const int kind = static_cast<int>(rng() % 6);
    const double level = std::pow(10.0, -static_cast<double>(rng() % 90) / 20.0) * 32767.0;
    const double frequency = 20.0 + static_cast<double>(rng() % 8000);
    std::uniform_int_distribution<int> any(-32768, 32767);
    for (int f = 0; f < frames; ++f) {
        double l = 0, r = 0;
        switch (kind) {
            case 0:
                l = any(rng) * level / 32768.0;
                r = any(rng) * level / 32768.0;
                break;
            case 1:
                l = level * std::sin(2 * M_PI * frequency * f / 44100.0);
                r = l * 0.5;
                break;
            case 2:
                l = (rng() % 200 == 0) ? any(rng) : 0;
                r = (rng() % 300 == 0) ? any(rng) : 0;
                break;
            case 3:
                l = (f % 3 == 0) ? -32768 : 32767;
                r = (f % 5 == 0) ? -32768 : -32767;
                break;
            case 4:
                l = level * std::sin(2 * M_PI * frequency * f / 44100.0);
                r = -l;
                break;
            default:
                l = f * level / std::max(frames, 1);  // a slow ramp
                r = level - l;
                break;
        }
        samples[static_cast<size_t>(2 * f)] = static_cast<int16_t>(std::lround(l));
        samples[static_cast<size_t>(2 * f + 1)] = static_cast<int16_t>(std::lround(r));
    }
    return samples;
}

struct Case {
    std::vector<int16_t> samples;
    bool integrate = false;
    bool recording = false;
    int32_t capacity = 0;  // bytes of the store
    int32_t startPosition = 0;
    int32_t systemMaxBefore = 0;
};

// Blocks at the edges of the vector paths: lengths about their groups of 8 and
// 16 frames and their batches of 64, silence, full scale (-32768 has magnitude
// 32768, the sum of two of them too), one loud frame about a batch's edge, and
// values within a step of their integrated peak, where a chunk changes nothing
// only while the candidate holds the peak.
std::vector<Case> EdgeCases() {
    std::vector<Case> cases;
    auto add = [&cases](std::vector<int16_t> samples) {
        for (const bool integrate : {false, true}) {
            for (const bool recording : {false, true}) {
                cases.push_back({samples, integrate, recording, 4 * 100, 4 * 37, 0});
            }
        }
    };
    auto frames = [](int count, auto sample) {
        std::vector<int16_t> samples;
        for (int f = 0; f < count; ++f) {
            const std::pair<int, int> lr = sample(f);
            samples.push_back(static_cast<int16_t>(lr.first));
            samples.push_back(static_cast<int16_t>(lr.second));
        }
        return samples;
    };
    for (const int count : {0, 1, 7, 8, 9, 15, 16, 17, 63, 64, 65, 127, 128, 129, 882}) {
        add(frames(count, [](int) { return std::pair{0, 0}; }));
        add(frames(count, [](int) { return std::pair{-32768, -32768}; }));
        add(frames(count, [](int f) {
            return f % 2 == 0 ? std::pair{-32768, 32767} : std::pair{32767, -32768};
        }));
    }
    for (const int at : {0, 7, 8, 62, 63, 64, 65, 127, 128, 881}) {
        add(frames(882, [at](int f) {
            return f == at ? std::pair{-32768, 20000} : std::pair{30, -30};
        }));
    }
    // With integration 80 raises a peak of 0 to 2 at the end of a batch; in the
    // next, 41 (39 above) only sets the candidate to the peak, 42 (40 above)
    // raises the peak, after a 41 has already set the candidate.
    add(frames(128, [](int f) {
        const int v = f < 63 ? 0 : f == 63 ? 80 : 41;
        return std::pair{v, v};
    }));
    add(frames(128, [](int f) {
        const int v = f < 62 ? 0 : f == 62 ? 80 : f == 63 ? 41 : 42;
        return std::pair{v, v};
    }));
    for (const int slope : {1, 2, 3, 40}) {
        add(frames(882, [slope](int f) { return std::pair{1000 + f / slope, 500}; }));
    }
    return cases;
}

TEST(BlockAnalyserReference, AgreesWithTheFrameByFrameRules) {
    std::vector<Case> cases = EdgeCases();
    std::mt19937 rng(20261209);
    for (int run = 0; run < 3000; ++run) {
        const int frames =
            run % 10 == 0 ? static_cast<int>(rng() % 16001) : static_cast<int>(rng() % 1200);
        Case c;
        c.samples = MakeBlock(rng, frames);
        c.integrate = (rng() & 1) != 0;
        c.recording = (rng() & 1) != 0;
        c.capacity = 4 * static_cast<int32_t>(rng() % 2000);
        c.startPosition =
            c.capacity == 0 ? 0 : 4 * static_cast<int32_t>(rng() % (c.capacity / 4 + 1));
        c.systemMaxBefore = static_cast<int32_t>(rng() % 20000);
        cases.push_back(std::move(c));
    }

    const std::pair<AnalyserPath, const char*> paths[] = {
        {AnalyserPath::kFrameByFrame, "frame by frame"},
        {AnalyserPath::kSse2, "SSE2"},
        {AnalyserPath::kAvx2, "AVX2"},
    };
    for (const auto& [path, name] : paths) {
        if (!AnalyserPathRuns(path)) {
            std::printf("The %s path does not run here: not checked.\n", name);
            continue;
        }
        for (size_t n = 0; n < cases.size(); ++n) {
            const Case& c = cases[n];
            const int32_t frames = static_cast<int32_t>(c.samples.size() / 2);
            const std::vector<uint8_t> bytes = Bytes(c.samples);
            // Canaries around the store catch writes past its end.
            std::vector<uint8_t> storage(static_cast<size_t>(c.capacity) + 64, 0xA5);
            const Reference expected = Analyse(
                c.samples, c.integrate, c.recording, c.systemMaxBefore, c.startPosition,
                std::vector<uint8_t>(storage.begin() + 32, storage.begin() + 32 + c.capacity));

            AnalyseBlockInput input;
            input.bytes = bytes.data();
            input.frameCount = frames;
            input.integrate = c.integrate;
            input.testRunning = c.recording;
            int32_t position = c.startPosition;
            int32_t systemMax = c.systemMaxBefore;
            const AnalyseBlockResult got = AnalyseBlockOn(
                path, input, SampleStoreAccess{storage.data() + 32, c.capacity, &position},
                systemMax);

            SCOPED_TRACE(testing::Message()
                         << name << " path, case " << n << " frames " << frames << " integrate "
                         << c.integrate << " recording " << c.recording);
            ASSERT_EQ(got.levels.LeftPeak, expected.levels.LeftPeak);
            ASSERT_EQ(got.levels.RightPeak, expected.levels.RightPeak);
            ASSERT_EQ(got.levels.SumPeak, expected.levels.SumPeak);
            ASSERT_EQ(got.levels.DifferencePeak, expected.levels.DifferencePeak);
            ASSERT_EQ(got.levels.LeftOverCandidate, expected.levels.LeftOverCandidate);
            ASSERT_EQ(got.levels.RightOverCandidate, expected.levels.RightOverCandidate);
            ASSERT_EQ(systemMax, expected.systemMax);
            ASSERT_EQ(got.systemMaxRose, c.recording && expected.systemMax > c.systemMaxBefore);
            ASSERT_EQ(position, expected.position);
            ASSERT_TRUE(
                std::equal(expected.store.begin(), expected.store.end(), storage.begin() + 32));
            for (int k = 0; k < 32; ++k) {
                ASSERT_EQ(storage[static_cast<size_t>(k)], 0xA5);
                ASSERT_EQ(storage[storage.size() - 1 - static_cast<size_t>(k)], 0xA5);
            }
        }
    }
}

}  // namespace
}  // namespace tarnwick
