#include "core/block_analyser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "core/level_math.h"
#include "core/over_lamp.h"
#include "tests/core/fakes.h"

namespace tarnwick {
namespace {

using fakes::Frame;
using fakes::PutFrame;

// Bytes with guard zones on both sides. The guards hold a loud pattern (0x7F7F is
// a magnitude of 32639), so a read past either end shows up in the levels and a
// write past either end shows up in GuardsIntact.
class GuardedBytes {
public:
    static constexpr size_t kGuard = 256;
    static constexpr uint8_t kGuardByte = 0x7F;

    explicit GuardedBytes(size_t size) : raw_(size + 2 * kGuard, kGuardByte), size_(size) {
        std::fill(data(), data() + size, uint8_t{0});
    }

    uint8_t* data() { return raw_.data() + kGuard; }
    size_t size() const { return size_; }

    bool GuardsIntact() const {
        const auto isGuard = [](uint8_t b) { return b == kGuardByte; };
        return std::all_of(raw_.begin(), raw_.begin() + kGuard, isGuard) &&
               std::all_of(raw_.begin() + static_cast<long>(kGuard + size_), raw_.end(), isGuard);
    }

    void PutFrames(const std::vector<Frame>& frames) {
        for (size_t i = 0; i < frames.size(); ++i) {
            PutFrame(data() + 4 * i, frames[i]);
        }
    }

private:
    std::vector<uint8_t> raw_;
    size_t size_;
};

// A block of `count` frames, all `frame`.
GuardedBytes SteadyBlock(int32_t count, Frame frame) {
    GuardedBytes block(4 * static_cast<size_t>(count));
    block.PutFrames(std::vector<Frame>(static_cast<size_t>(count), frame));
    return block;
}

GuardedBytes BlockOf(const std::vector<Frame>& frames) {
    GuardedBytes block(4 * frames.size());
    block.PutFrames(frames);
    return block;
}

struct Run {
    bool integrate = true;
    bool testRunning = false;
    bool replaying = false;
};

AnalyseBlockResult Analyse(GuardedBytes& block, Run run, SampleStoreAccess store = {},
                           int32_t* systemMax = nullptr) {
    AnalyseBlockInput input;
    input.bytes = block.data();
    input.frameCount = static_cast<int32_t>(block.size() / 4);
    input.integrate = run.integrate;
    input.testRunning = run.testRunning;
    input.replaying = run.replaying;
    int32_t unused = 0;
    const AnalyseBlockResult result =
        AnalyseBlock(input, store, systemMax != nullptr ? *systemMax : unused);
    EXPECT_TRUE(block.GuardsIntact());
    return result;
}

// The default sweep's block: 882 frames.
constexpr int32_t kFrames = 882;

TEST(BlockAnalyser, SilenceGivesZeroEverywhere) {
    for (bool integrate : {true, false}) {
        GuardedBytes block = SteadyBlock(kFrames, Frame{});
        const TBlockLevels levels = Analyse(block, {integrate}).levels;
        EXPECT_EQ(levels.LeftPeak, 0);
        EXPECT_EQ(levels.RightPeak, 0);
        EXPECT_EQ(levels.SumPeak, 0);
        EXPECT_EQ(levels.DifferencePeak, 0);
        EXPECT_EQ(levels.LeftOverCandidate, 0);
        EXPECT_EQ(levels.RightOverCandidate, 0);

        TOverLamp lamp;
        UpdateOverLamp(lamp, levels);
        EXPECT_EQ(lamp.colour, kLampDark);
    }
}

TEST(BlockAnalyser, NegativeFullScaleHasMagnitude32768) {
    GuardedBytes left = SteadyBlock(kFrames, Frame{-32768, 0});
    const TBlockLevels leftOnly = Analyse(left, {false}).levels;
    EXPECT_EQ(leftOnly.LeftPeak, 32768);
    EXPECT_EQ(leftOnly.RightPeak, 0);
    EXPECT_EQ(leftOnly.SumPeak, 16384);
    EXPECT_EQ(leftOnly.DifferencePeak, 16384);

    GuardedBytes both = SteadyBlock(kFrames, Frame{-32768, -32768});
    const TBlockLevels plain = Analyse(both, {false}).levels;
    EXPECT_EQ(plain.SumPeak, 32768);
    EXPECT_EQ(plain.LeftPeak, 32768);
    EXPECT_EQ(plain.RightPeak, 32768);
    EXPECT_EQ(plain.DifferencePeak, 0);
    const TBlockLevels integrated = Analyse(both, {true}).levels;
    EXPECT_EQ(integrated.SumPeak, 32729);
    EXPECT_EQ(integrated.LeftPeak, 32729);
}

TEST(BlockAnalyser, SumAndDifferenceTruncateTowardZero) {
    GuardedBytes block = SteadyBlock(8, Frame{3, -4});
    const TBlockLevels levels = Analyse(block, {false}).levels;
    EXPECT_EQ(levels.SumPeak, 0);  // (3 - 4) div 2 is 0, not -1
    EXPECT_EQ(levels.DifferencePeak, 3);
    EXPECT_EQ(levels.LeftPeak, 3);
    EXPECT_EQ(levels.RightPeak, 4);

    GuardedBytes mirrored = SteadyBlock(8, Frame{-3, 4});
    EXPECT_EQ(Analyse(mirrored, {false}).levels.SumPeak, 0);
    EXPECT_EQ(Analyse(mirrored, {false}).levels.DifferencePeak, 3);

    GuardedBytes extremes = SteadyBlock(8, Frame{32767, -32768});
    EXPECT_EQ(Analyse(extremes, {false}).levels.SumPeak, 0);
    EXPECT_EQ(Analyse(extremes, {false}).levels.DifferencePeak, 32767);
}

TEST(BlockAnalyser, OverCandidatesWithoutIntegration) {
    // Full scale from the first frame: one rise, from 0, so no over.
    GuardedBytes steady = SteadyBlock(kFrames, Frame{32767, 32767});
    const TBlockLevels flat = Analyse(steady, {false}).levels;
    EXPECT_EQ(flat.LeftPeak, 32767);
    EXPECT_EQ(flat.LeftOverCandidate, 0);
    EXPECT_EQ(flat.RightOverCandidate, 0);
    TOverLamp lamp;
    UpdateOverLamp(lamp, flat);
    EXPECT_EQ(lamp.colour, kLampDark);

    // Two successive maxima above -1 dB: the candidate is the first of them.
    GuardedBytes rising = BlockOf({{1000, 0}, {30000, 0}, {29000, 0}, {32767, 0}, {100, 0}});
    const TBlockLevels twice = Analyse(rising, {false}).levels;
    EXPECT_EQ(twice.LeftPeak, 32767);
    EXPECT_EQ(twice.LeftOverCandidate, 30000);
    EXPECT_EQ(twice.RightOverCandidate, 0);
    UpdateOverLamp(lamp, twice);
    EXPECT_EQ(lamp.colour, kLampLit);

    // Each channel counts alike; a candidate of exactly 29205 is not over.
    for (const bool left : {true, false}) {
        auto frame = [left](int16_t v) { return left ? Frame{v, 0} : Frame{0, v}; };
        GuardedBytes atThreshold = BlockOf({frame(kOverThreshold), frame(32000)});
        const TBlockLevels at = Analyse(atThreshold, {false}).levels;
        EXPECT_EQ(left ? at.LeftOverCandidate : at.RightOverCandidate, kOverThreshold);
        TOverLamp fresh;
        UpdateOverLamp(fresh, at);
        EXPECT_EQ(fresh.colour, kLampDark) << (left ? "left" : "right");
        GuardedBytes aboveThreshold = BlockOf({frame(kOverThreshold + 1), frame(32000)});
        UpdateOverLamp(fresh, Analyse(aboveThreshold, {false}).levels);
        EXPECT_EQ(fresh.colour, kLampLit) << (left ? "left" : "right");
    }
}

TEST(BlockAnalyser, IntegrationBallistics) {
    struct Case {
        int32_t frames;
        int16_t sample;
        int32_t peak;
        int32_t candidate;
    };
    const Case cases[] = {
        {kFrames, 1000, 961, 961},                         // steady x reads x - 39
        {kFrames, 32767, 32728, 32728},                    //
        {88, 32767, 29220, 29130},                         // sweep 1 s: about -1 dB, no over
        {89, 32767, 29220 + (32767 - 29220) / 40, 29220},  // over from the 89th frame
        {176, 32767, 32367, 32357},                        // sweep 2 s
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.frames << " frames of " << c.sample);
        GuardedBytes block = SteadyBlock(c.frames, Frame{c.sample, c.sample});
        const TBlockLevels levels = Analyse(block, {true}).levels;
        EXPECT_EQ(levels.LeftPeak, c.peak);
        EXPECT_EQ(levels.RightPeak, c.peak);
        EXPECT_EQ(levels.SumPeak, c.peak);
        EXPECT_EQ(levels.LeftOverCandidate, c.candidate);
    }

    // A block that stays at full scale lights the lamp with integration on.
    GuardedBytes full = SteadyBlock(kFrames, Frame{32767, 0});
    TOverLamp lamp;
    UpdateOverLamp(lamp, Analyse(full, {true}).levels);
    EXPECT_EQ(lamp.colour, kLampLit);
    GuardedBytes short88 = SteadyBlock(88, Frame{32767, 0});
    TOverLamp dark;
    UpdateOverLamp(dark, Analyse(short88, {true}).levels);
    EXPECT_EQ(dark.colour, kLampDark);

    // One full-scale frame in silence closes 1/40 of the gap once.
    std::vector<Frame> click(kFrames);
    click[300] = Frame{32767, -32768};
    GuardedBytes single = BlockOf(click);
    const TBlockLevels one = Analyse(single, {true}).levels;
    EXPECT_EQ(one.LeftPeak, 819);
    EXPECT_EQ(one.RightPeak, 819);
    EXPECT_EQ(one.LeftOverCandidate, 0);
}

TEST(BlockAnalyser, NothingCarriesOverBetweenBlocks) {
    GuardedBytes loud = SteadyBlock(kFrames, Frame{20000, 20000});
    GuardedBytes quiet = SteadyBlock(kFrames, Frame{100, 100});
    Analyse(loud, {true});
    const TBlockLevels after = Analyse(quiet, {true}).levels;
    EXPECT_EQ(after.LeftPeak, 100 - 39);
    EXPECT_EQ(after.LeftOverCandidate, 100 - 39);
}

TEST(BlockAnalyser, SystemMaxFollowsTheRawSumOnlyDuringATest) {
    GuardedBytes block = BlockOf({{1000, 3000}, {-5000, -3001}, {200, 100}});
    int32_t systemMax = 0;
    AnalyseBlockResult idle = Analyse(block, {true, false}, {}, &systemMax);
    EXPECT_EQ(systemMax, 0);
    EXPECT_FALSE(idle.systemMaxRose);

    // |(-5000 + -3001) div 2| = 4000, whatever the integration.
    AnalyseBlockResult running = Analyse(block, {true, true}, {}, &systemMax);
    EXPECT_EQ(systemMax, 4000);
    EXPECT_TRUE(running.systemMaxRose);
    EXPECT_LT(running.levels.SumPeak, 4000);

    AnalyseBlockResult again = Analyse(block, {false, true}, {}, &systemMax);
    EXPECT_EQ(systemMax, 4000);
    EXPECT_FALSE(again.systemMaxRose);

    GuardedBytes quieter = SteadyBlock(kFrames, Frame{2000, 2000});
    systemMax = 5000;
    EXPECT_FALSE(Analyse(quieter, {true, true}, {}, &systemMax).systemMaxRose);
    EXPECT_EQ(systemMax, 5000);
}

TEST(BlockAnalyser, RecordsIntoTheStoreWhileATestRuns) {
    constexpr int32_t kStoreFrames = 8;
    GuardedBytes store(4 * kStoreFrames);
    int32_t position = 0;
    const SampleStoreAccess access{store.data(), 4 * kStoreFrames, &position};

    std::vector<Frame> frames;
    for (int16_t i = 1; i <= 5; ++i) {
        frames.push_back(Frame{static_cast<int16_t>(100 * i), static_cast<int16_t>(-i)});
    }
    GuardedBytes block = BlockOf(frames);

    // Not recorded while no test runs.
    Analyse(block, {true, false}, access);
    EXPECT_EQ(position, 0);
    EXPECT_TRUE(
        std::all_of(store.data(), store.data() + store.size(), [](uint8_t b) { return b == 0; }));

    Analyse(block, {true, true}, access);
    EXPECT_EQ(position, 20);
    // The second block fills the store; the rest of the test is not stored.
    Analyse(block, {true, true}, access);
    EXPECT_EQ(position, 32);
    Analyse(block, {true, true}, access);
    EXPECT_EQ(position, 32);
    EXPECT_TRUE(store.GuardsIntact());

    GuardedBytes expected(4 * kStoreFrames);
    std::vector<Frame> stored = frames;
    stored.insert(stored.end(), frames.begin(), frames.begin() + 3);
    expected.PutFrames(stored);
    EXPECT_TRUE(std::equal(store.data(), store.data() + store.size(), expected.data()));
}

TEST(BlockAnalyser, RecordingFillsTheStoreExactlyToItsEnd) {
    // Blocks longer than the store's remaining room, in lengths that do not divide
    // evenly into groups of frames.
    for (int32_t blockFrames : {1, 15, 16, 17, 33, 88, 100}) {
        SCOPED_TRACE(::testing::Message() << blockFrames << " frames a block");
        constexpr int32_t kStoreFrames = 150;
        GuardedBytes store(4 * kStoreFrames);
        int32_t position = 0;
        const SampleStoreAccess access{store.data(), 4 * kStoreFrames, &position};
        std::vector<Frame> all;
        int16_t next = 1;
        int32_t systemMax = 0;
        while (position < 4 * kStoreFrames) {
            std::vector<Frame> frames;
            for (int32_t i = 0; i < blockFrames; ++i, ++next) {
                frames.push_back(Frame{next, static_cast<int16_t>(-next)});
            }
            all.insert(all.end(), frames.begin(), frames.end());
            GuardedBytes block = BlockOf(frames);
            const int32_t before = position;
            Analyse(block, {blockFrames % 2 == 0, true}, access, &systemMax);
            EXPECT_EQ(position, std::min(before + 4 * blockFrames, 4 * kStoreFrames));
        }
        EXPECT_TRUE(store.GuardsIntact());
        GuardedBytes expected(4 * kStoreFrames);
        expected.PutFrames(std::vector<Frame>(all.begin(), all.begin() + kStoreFrames));
        EXPECT_TRUE(std::equal(store.data(), store.data() + store.size(), expected.data()));
        EXPECT_EQ(systemMax, 0);  // (n + -n) div 2
    }
}

TEST(BlockAnalyser, LoudFrameAnywhereInALongBlock) {
    // A quiet block with one loud frame at every position of its first 48 frames
    // and at its end: the peaks and the system maximum find it wherever it lies.
    for (int32_t at = 0; at < 50; ++at) {
        const int32_t where = at < 48 ? at : kFrames - (50 - at);
        std::vector<Frame> frames(kFrames, Frame{50, -50});
        frames[static_cast<size_t>(where)] = Frame{-20000, -10000};
        GuardedBytes block = BlockOf(frames);
        int32_t systemMax = 0;
        const TBlockLevels plain = Analyse(block, {false, true}, {}, &systemMax).levels;
        EXPECT_EQ(plain.LeftPeak, 20000) << where;
        EXPECT_EQ(plain.RightPeak, 10000) << where;
        EXPECT_EQ(plain.SumPeak, 15000) << where;
        EXPECT_EQ(plain.DifferencePeak, 5000) << where;
        EXPECT_EQ(plain.LeftOverCandidate, where == 0 ? 0 : 50) << where;
        EXPECT_EQ(systemMax, 15000) << where;
        const TBlockLevels integrated = Analyse(block, {true}).levels;
        // The quiet frames before it rise one step a frame until within 40 of 50.
        const int32_t quiet = std::min(where, 11);
        EXPECT_EQ(integrated.LeftPeak, quiet + (20000 - quiet) / 40) << where;
        EXPECT_EQ(integrated.LeftOverCandidate, where == 0 ? 0 : quiet) << where;
    }
}

TEST(BlockAnalyser, ReplayReadsTheStoreInsteadOfTheInput) {
    constexpr int32_t kStoreFrames = 6;
    GuardedBytes store(4 * kStoreFrames);
    store.PutFrames({{10, 20}, {-1000, 30}, {40, 50}, {60, -2000}, {70, 80}, {90, 100}});
    int32_t position = 0;
    const SampleStoreAccess access{store.data(), 4 * kStoreFrames, &position};

    GuardedBytes input = SteadyBlock(4, Frame{25000, 25000});  // ignored during a replay
    int32_t systemMax = 0;
    const TBlockLevels first = Analyse(input, {false, false, true}, access, &systemMax).levels;
    EXPECT_EQ(first.LeftPeak, 1000);
    EXPECT_EQ(first.RightPeak, 2000);
    EXPECT_EQ(position, 16);
    EXPECT_EQ(systemMax, 0);  // the system maximum waits for a test

    // The read position stops at the end of the store and nothing past it is read.
    const TBlockLevels second = Analyse(input, {false, false, true}, access).levels;
    EXPECT_EQ(position, 24);
    EXPECT_EQ(second.LeftPeak, 90);
    EXPECT_EQ(second.RightPeak, 100);
    const TBlockLevels past = Analyse(input, {false, false, true}, access).levels;
    EXPECT_EQ(position, 24);
    EXPECT_LT(past.LeftPeak, 32639);
    EXPECT_LT(past.RightPeak, 32639);
    EXPECT_TRUE(store.GuardsIntact());
}

}  // namespace
}  // namespace tarnwick
