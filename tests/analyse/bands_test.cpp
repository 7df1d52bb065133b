// The analyser's --bands on recordings it writes: the band of a tone reads the
// tone's level whatever the rate, the bank and the channel measured, the
// sensitivity is added, and the bands listed are the standard's, rising, up
// to the highest the rate reaches; --bands-log gives each second its row.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <string>
#include <vector>

#include "analyse/analyse_test_support.h"
#include "core/fft.h"
#include "spl/iec61672_tables.h"

namespace tarnwick::analyse_test {
namespace {

// Ten seconds of a 1 kHz sine at -20 dBFS in one channel (`right`), silence
// in the other: long enough that the filters' rise at the start is no
// hundredth of a dB of the Leq.
Signal Tone(int rate, bool right) {
    Signal s;
    const double amplitude = 32768.0 * std::pow(10.0, -20.0 / 20.0);
    for (int64_t n = 0; n < 10 * static_cast<int64_t>(rate); ++n) {
        const auto x = static_cast<int>(
            std::lround(amplitude * std::sin(2.0 * std::numbers::pi * 1000.0 * n / rate)));
        s.Constant(1, right ? 0 : x, right ? x : 0);
    }
    return s;
}

TEST(AnalyserBands, AToneReadsItsLevelInItsBandAtEveryRate) {
    ScratchFolder folder;
    const struct {
        int rate;
        const char* bands;
        bool right;               // the tone in the right channel, else the left
        const char* channel;      // --spl-channel
        const char* sensitivity;  // null: uncalibrated
        const char* reads;        // the 1 kHz band's line
        size_t lines;
        const char* highest;
    } cases[] = {
        {44100, "third", false, "left", nullptr, "1000\t-20.00", 29, "16000"},
        {48000, "octave", false, "left", "114", "1000\t94.00", 9, "8000"},
        {96000, "third", true, "right", nullptr, "1000\t-20.00", 30, "20000"},
        // Both channels' mean square: the tone in one of them, half of it.
        {44100, "octave", true, "both", nullptr, "1000\t-23.01", 9, "8000"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reads);
        const std::string path = folder.Path("tone-" + std::to_string(c.rate) + c.channel + ".wav");
        WriteRecording(path, Tone(c.rate, c.right), c.rate);
        std::vector<std::string> args = {"--bands", c.bands, "--spl-channel", c.channel};
        if (c.sensitivity != nullptr) {
            args.insert(args.end(), {"--spl-sensitivity", c.sensitivity});
        }
        const std::string log = folder.Path("bands-" + std::to_string(c.rate) + c.channel + ".csv");
        args.insert(args.end(), {"--bands-log", log, path});
        const AnalyserRun run = Analyse(args);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::vector<std::string> lines = Split(run.out, "\n");
        ASSERT_GE(lines.size(), c.lines);
        EXPECT_EQ(lines[0].substr(0, lines[0].find('\t')),
                  c.bands == std::string("third") ? "25" : "31.5");
        EXPECT_EQ(lines[c.lines - 1].substr(0, lines[c.lines - 1].find('\t')), c.highest);
        EXPECT_NE(std::find(lines.begin(), lines.end(), c.reads), lines.end()) << run.out;
        // The log: a row a second, each second's 1 kHz band the tone's.
        const std::vector<std::string> rows = Split(ReadFile(log), "\n");
        ASSERT_EQ(rows.size(), 11u);
        const std::vector<std::string> header = Split(rows[0], ",");
        const size_t column = static_cast<size_t>(
            std::find(header.begin(), header.end(), "leq_1000hz") - header.begin());
        ASSERT_LT(column, header.size()) << rows[0];
        EXPECT_EQ(Split(rows[5], ",")[0], "5");
        EXPECT_EQ(Split(rows[5], ",")[column],
                  std::string(c.reads).substr(std::string(c.reads).find('\t') + 1));
        // The recording's part of a minute is screened in its last row: the
        // tone stands out of its one-third-octave neighbours.
        EXPECT_EQ(header.back(), "event");
        EXPECT_EQ(rows[9].substr(rows[9].rfind(',') + 1), "");
        EXPECT_EQ(rows[10].substr(rows[10].rfind(',') + 1),
                  c.bands == std::string("third") ? "tonal 1000 Hz" : "");
    }
    // A-weighted bands: each band's level moves by A at its mid-band
    // frequency, 125 Hz by -16.1 dB (IEC 61672-1 Table 3).
    const auto band125 = [&](const std::vector<std::string>& weighting) {
        std::vector<std::string> args = {"--bands", "third"};
        args.insert(args.end(), weighting.begin(), weighting.end());
        args.push_back(folder.Path("tone-44100left.wav"));
        const std::string out = Analyse(args).out;
        const size_t at = out.find("\n125\t");
        return at == std::string::npos ? 0.0 : std::stod(out.substr(at + 5));
    };
    double a125 = 0.0;
    for (const iec61672::FrequencyWeightingRow& row : iec61672::kTable3) {
        if (row.nominalHz == 125) {
            a125 = row.aDb;
        }
    }
    EXPECT_NEAR(band125({"--bands-weighting", "A"}) - band125({}), a125, 0.05);
    EXPECT_EQ(Analyse({"--bands", "fifth", folder.Path("tone-44100left.wav")}).err,
              "tarnwick-analyse: --bands expects octave or third\n");
}

// --bands-table: a 200 ms burst at -20 dBFS in ten seconds of the same tone
// at -40. The F-weighted maximum is the burst's rise over 200 ms on a time
// constant of 125 ms, 10 lg(1 - 0.99 e^-1.6) = -0.97 dB below the burst;
// the tenths of a second give LN, the whole the Leq.
TEST(AnalyserBands, TheTableGivesEachBandItsMaximumAndStatistics) {
    ScratchFolder folder;
    constexpr int kRate = 44100;
    Signal s;
    for (int64_t n = 0; n < 10 * kRate; ++n) {
        const bool burst = n >= 5 * kRate && n < 5 * kRate + kRate / 5;
        const double amplitude = 32768.0 * std::pow(10.0, (burst ? -20.0 : -40.0) / 20.0);
        const auto x = static_cast<int>(
            std::lround(amplitude * std::sin(2.0 * std::numbers::pi * 1000.0 * n / kRate)));
        s.Constant(1, x, x);
    }
    const std::string path = folder.Path("burst.wav");
    WriteRecording(path, s, kRate);
    const std::string table = folder.Path("table.csv");
    const AnalyserRun run =
        Analyse({"--bands", "octave", "--spl-stats", "1,50", "--bands-table", table, path});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> rows = Split(ReadFile(table), "\n");
    ASSERT_EQ(rows.size(), 10u);
    EXPECT_EQ(rows[0], "band_hz,leq_db,lfmax_db,l1_db,l50_db");
    EXPECT_EQ(Split(rows[1], ",")[0], "31.5");
    const std::vector<std::string> band = Split(rows[6], ",");
    ASSERT_EQ(band.size(), 5u);
    EXPECT_EQ(band[0], "1000");
    const double leq = -20.0 + 10.0 * std::log10((0.2 + 9.8 * 0.01) / 10.0);
    EXPECT_NEAR(std::stod(band[1]), leq, 0.01);
    EXPECT_NEAR(std::stod(band[2]), -20.0 + 10.0 * std::log10(1.0 - 0.99 * std::exp(-1.6)), 0.03);
    EXPECT_EQ(band[3], "-20.00");
    EXPECT_EQ(band[4], "-40.00");
    EXPECT_EQ(Analyse({"--bands-table", table, path}).err,
              "tarnwick-analyse: --bands-table expects a file name, and --bands octave or third "
              "for its bands\n");
}

// A microphone response with a 3 dB step at 8 kHz: an 8 kHz tone reads 3 dB
// lower in its band and in the broadband LZeq, a 1 kHz tone as before; the
// file's factor adds to the sensitivity; a file that is no response is
// refused with its line, and nothing is measured.
TEST(AnalyserBands, AMicrophoneResponseCorrectsEveryLevel) {
    ScratchFolder folder;
    constexpr int kRate = 48000;
    Signal s;
    const double amplitude = 32768.0 * std::pow(10.0, -20.0 / 20.0);
    for (int64_t n = 0; n < 10 * kRate; ++n) {
        const double t = static_cast<double>(n) / kRate;
        const auto x = static_cast<int>(
            std::lround(amplitude * (std::sin(2.0 * std::numbers::pi * 1000.0 * t) +
                                     std::sin(2.0 * std::numbers::pi * 8000.0 * t))));
        s.Constant(1, x, x);
    }
    const std::string path = folder.Path("two-tones.wav");
    WriteRecording(path, s, kRate);
    const std::string response = folder.Path("mic.txt");
    WriteFile(response, "\"Sens Factor =-1.5dB, SERNO: 1\"\n20 0\n7900 0\n8000 3\n20000 3\n");
    const auto level = [](const std::string& out, const std::string& name) {
        const size_t at = out.find("\n" + name + "\t");
        return at == std::string::npos ? 0.0 : std::stod(out.substr(at + name.size() + 2));
    };
    const AnalyserRun plain =
        Analyse({"--bands", "third", "--spl", "--spl-sensitivity", "114", path});
    const AnalyserRun corrected = Analyse({"--bands", "third", "--spl", "--spl-sensitivity", "114",
                                           "--mic-response", response, path});
    ASSERT_EQ(corrected.status, 0) << corrected.err;
    EXPECT_NEAR(level(plain.out, "1000"), 94.0, 0.01);
    EXPECT_NEAR(level(plain.out, "8000"), 94.0, 0.01);
    EXPECT_NEAR(level(corrected.out, "1000"), 94.0 - 1.5, 0.05);
    EXPECT_NEAR(level(corrected.out, "8000"), 94.0 - 1.5 - 3.0, 0.1);
    EXPECT_NEAR(level(plain.out, "LZeq"), 97.0, 0.05);
    EXPECT_NEAR(level(corrected.out, "LZeq"),
                94.0 - 1.5 + 10.0 * std::log10(1.0 + std::pow(10.0, -0.3)), 0.1);

    WriteFile(response, "20 0\n1000 0\n800 1\n");
    const AnalyserRun refused = Analyse({"--bands", "third", "--mic-response", response, path});
    EXPECT_EQ(refused.status, kAnalyseBadInput);
    EXPECT_EQ(refused.err,
              "tarnwick-analyse: " + response + ": line 3: the frequencies do not rise\n");
    EXPECT_EQ(refused.out, "");
}

// A minute of pink noise from 20 Hz to 20 kHz (a periodic one, its spectrum
// exact, the phases random): every one-third-octave band from 31.5 Hz to
// 16 kHz holds the same energy and reads alike within 0.5 dB, and the
// bands' energies add up to the LZeq within 0.2 dB (what lies outside them,
// 3.7 % of the energy, and the filters' overlap, +0.11 dB, nearly cancel).
TEST(AnalyserBands, PinkNoiseReadsEqualBandsThatSumToTheLzeq) {
    constexpr int kRate = 44100;
    constexpr size_t kPeriod = size_t{1} << 20;
    std::vector<std::complex<double>> spectrum(kPeriod);
    uint32_t seed = 12345;
    for (size_t k = 1; k < kPeriod / 2; ++k) {
        const double hz = static_cast<double>(k) * kRate / kPeriod;
        if (hz < 20.0 || hz > 20000.0) {
            continue;
        }
        seed = seed * 1664525u + 1013904223u;
        const double phase = 2.0 * std::numbers::pi * seed / 4294967296.0;
        spectrum[k] = std::polar(1.0 / std::sqrt(hz), phase);
        spectrum[kPeriod - k] = std::conj(spectrum[k]);
    }
    Fft(kPeriod).Inverse(spectrum.data());
    double peak = 0.0;
    for (const std::complex<double>& x : spectrum) {
        peak = std::max(peak, std::fabs(x.real()));
    }
    Signal s;
    s.channels = 1;
    const double scale = 0.5 * 32767.0 / peak;
    for (int64_t n = 0; n < 60 * kRate; ++n) {
        s.samples.push_back(static_cast<int16_t>(
            std::lround(scale * spectrum[static_cast<size_t>(n) % kPeriod].real())));
    }
    ScratchFolder folder;
    const std::string path = folder.Path("pink.wav");
    WriteRecording(path, s, kRate);
    const AnalyserRun run = Analyse({"--bands", "third", "--spl", path});
    ASSERT_EQ(run.status, 0) << run.err;
    double lzeq = 0.0;
    double energy = 0.0;
    std::vector<double> levels;
    for (const std::string& line : Split(run.out, "\n")) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) {
            continue;
        }
        const std::string name = line.substr(0, tab);
        if (name == "LZeq") {
            lzeq = std::stod(line.substr(tab + 1));
        } else if (!name.empty() && std::isdigit(static_cast<unsigned char>(name[0]))) {
            const double level = std::stod(line.substr(tab + 1));
            energy += std::pow(10.0, level / 10.0);
            if (name != "25") {
                levels.push_back(level);
            }
        }
    }
    ASSERT_EQ(levels.size(), 28u) << run.out;
    const auto [lowest, highest] = std::minmax_element(levels.begin(), levels.end());
    EXPECT_LT(*highest - *lowest, 0.5) << run.out;
    EXPECT_NEAR(10.0 * std::log10(energy), lzeq, 0.2) << run.out;
}

// The self-test passes every check, each on a line of its own, and says so
// last; it runs alone.
TEST(AnalyserBands, TheSelfTestPassesAndSaysSo) {
    const AnalyserRun run = Analyse({"--bands-selftest"});
    EXPECT_EQ(run.status, 0) << run.out;
    const std::vector<std::string> lines = Split(run.out, "\n");
    ASSERT_GT(lines.size(), 200u);
    EXPECT_EQ(lines[lines.size() - 1], std::to_string(lines.size() - 1) + " of " +
                                           std::to_string(lines.size() - 1) + " checks passed");
    EXPECT_EQ(Analyse({"--bands-selftest", "x.wav"}).status, kAnalyseBadInput);
}

}  // namespace
}  // namespace tarnwick::analyse_test
