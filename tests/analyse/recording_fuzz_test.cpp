// Robustness of everything the analyser reads from outside: corrupted,
// truncated and random recordings, and random command lines. Deterministic
// seeds keep failures reproducible.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "analyse/analyse_test_support.h"

namespace tarnwick::analyse_test {
namespace {

constexpr int kRecordingCases = 400;
constexpr int kCommandLineCases = 3000;

// Small valid recordings in the containers and sample formats libsndfile writes.
std::vector<std::string> SeedRecordings(const ScratchFolder& folder) {
    Signal stereo = Signal().Square(3 * kBlockFrames + 100, 12000, 30000);
    Signal mono = Mono().Square(2 * kBlockFrames, 32767, 0);
    struct Seed {
        const Signal* signal;
        int format;
    };
    const Seed seeds[] = {
        {&stereo, SF_FORMAT_WAV | SF_FORMAT_PCM_16},  {&mono, SF_FORMAT_WAV | SF_FORMAT_PCM_U8},
        {&stereo, SF_FORMAT_WAV | SF_FORMAT_FLOAT},   {&stereo, SF_FORMAT_AIFF | SF_FORMAT_PCM_16},
        {&mono, SF_FORMAT_AU | SF_FORMAT_PCM_24},     {&stereo, SF_FORMAT_CAF | SF_FORMAT_PCM_16},
        {&stereo, SF_FORMAT_W64 | SF_FORMAT_PCM_16},  {&stereo, SF_FORMAT_FLAC | SF_FORMAT_PCM_16},
        {&mono, SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM},
    };
    std::vector<std::string> bytes;
    for (const Seed& seed : seeds) {
        const std::string path = folder.Path("seed");
        WriteRecording(path, *seed.signal, kRate, seed.format);
        bytes.push_back(ReadFile(path));
    }
    return bytes;
}

std::string Corrupt(std::string bytes, std::mt19937& random) {
    auto below = [&random](size_t n) { return n == 0 ? 0 : static_cast<size_t>(random() % n); };
    switch (random() % 5) {
        case 0:  // a few bytes of the header
            for (size_t k = 1 + below(4); k > 0 && !bytes.empty(); --k) {
                bytes[below(std::min<size_t>(bytes.size(), 128))] = static_cast<char>(random());
            }
            break;
        case 1:  // bytes anywhere
            for (size_t k = 1 + below(32); k > 0 && !bytes.empty(); --k) {
                bytes[below(bytes.size())] ^= static_cast<char>(1 + below(255));
            }
            break;
        case 2:  // cut short
            bytes.resize(below(bytes.size()));
            break;
        case 3:  // a 32-bit field of the header set to an extreme value
            if (bytes.size() >= 64) {
                const size_t at = below(60);
                const uint32_t extreme[] = {0, 1, 0x7fffffff, 0x80000000, 0xffffffff, 44100};
                const uint32_t v = extreme[below(6)];
                for (size_t b = 0; b < 4; ++b) {
                    bytes[at + b] = static_cast<char>((v >> (8 * b)) & 0xff);
                }
            }
            break;
        default: {  // random bytes, sometimes behind the seed's first 12 bytes
            std::string noise(below(4096), '\0');
            for (char& c : noise) {
                c = static_cast<char>(random());
            }
            bytes = (random() % 2 == 0 ? bytes.substr(0, 12) : std::string()) + noise;
            break;
        }
    }
    return bytes;
}

TEST(AnalyserFuzz, CorruptRecordingsNeverCrashTheAnalyser) {
    ScratchFolder folder;
    const std::vector<std::string> seeds = SeedRecordings(folder);
    const std::string input = folder.Path("input.wav");
    const std::string results = folder.Path("r.csv");
    const std::string levels = folder.Path("l.csv");
    std::mt19937 random(20261208);
    std::FILE* sink = std::fopen("/dev/null", "w");
    ASSERT_NE(sink, nullptr);

    int measured = 0;
    for (int i = 0; i < kRecordingCases; ++i) {
        WriteFile(input, Corrupt(seeds[random() % seeds.size()], random));
        std::filesystem::remove(results);
        std::filesystem::remove(levels);
        const char* sweeps[] = {"1", "10", "60"};
        const ParsedOptions parsed = ParseAnalyserOptions(
            {"--locale", "C", "--start", "2026-12-08T14:30:00", "--sweep", sweeps[random() % 3],
             "--results", results, "--levels", levels, "--readouts", input});
        ASSERT_TRUE(std::holds_alternative<AnalyserOptions>(parsed));

        const int status = RunAnalyser(std::get<AnalyserOptions>(parsed), TestNow(), sink, sink);
        ASSERT_TRUE(status == kAnalyseOk || status == kAnalyseFailed || status == kAnalyseBadInput)
            << "case " << i << ": " << status;
        if (status == kAnalyseBadInput) {
            ASSERT_FALSE(Exists(results)) << "case " << i;
            ASSERT_FALSE(Exists(levels)) << "case " << i;
        } else {
            ++measured;
        }
    }
    std::fclose(sink);
    RecordProperty("measured", measured);
    // The corruptions must leave enough readable files to exercise the measuring.
    EXPECT_GT(measured, kRecordingCases / 10);
}

TEST(AnalyserFuzz, RandomCommandLinesParseOrFailInOneLine) {
    const std::vector<std::string> words = {"--channel",
                                            "stereo",
                                            "difference",
                                            "foo",
                                            "--sweep",
                                            "0",
                                            "1",
                                            "60",
                                            "60.0001",
                                            "1e308",
                                            "nan",
                                            "inf",
                                            "-5",
                                            "0x10",
                                            " 5",
                                            "--scale",
                                            "7",
                                            "-1",
                                            "--full-scale",
                                            "--start",
                                            "2026-12-08T14:30:00",
                                            "2024-02-29T23:59:59",
                                            "2026-13-01T00:00:00",
                                            "2026-12-08T14:30",
                                            "--tick-start",
                                            "4294967295",
                                            "--locale",
                                            "C",
                                            "",
                                            "--",
                                            "-",
                                            "=",
                                            "--sweep=",
                                            "--sweep=5",
                                            "--integrate=1",
                                            "--no-integrate",
                                            "--results",
                                            "--levels",
                                            "--test-name",
                                            "in.wav",
                                            "x y",
                                            "--save-mins",
                                            "1440",
                                            "--save-hours",
                                            "24",
                                            "--calibration",
                                            "-60",
                                            "--average-time",
                                            "0.001",
                                            "--auto-level",
                                            "-99",
                                            "--readouts",
                                            "--auto-start",
                                            "--no-save-on-stop"};
    std::mt19937 random(42);
    for (int i = 0; i < kCommandLineCases; ++i) {
        std::vector<std::string> args(random() % 9);
        for (std::string& a : args) {
            a = words[random() % words.size()];
        }
        const ParsedOptions parsed = ParseAnalyserOptions(args);
        if (const auto* error = std::get_if<std::string>(&parsed)) {
            ASSERT_FALSE(error->empty());
            ASSERT_EQ(error->find('\n'), std::string::npos) << *error;
        } else if (const auto* o = std::get_if<AnalyserOptions>(&parsed)) {
            ASSERT_GE(o->settings.Sweep, 1.0);
            ASSERT_LE(o->settings.Sweep, 60.0);
            ASSERT_GE(o->settings.Channel, 0);
            ASSERT_LE(o->settings.Channel, 4);
            ASSERT_GT(o->settings.BlockBytes, 0);
            ASSERT_GE(o->settings.AverageLength, 1);
        }
    }
}

}  // namespace
}  // namespace tarnwick::analyse_test
