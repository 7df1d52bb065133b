// A microphone's response file, read and refused, and the filter that
// corrects by it: sines through the filter as it runs, in blocks of any
// length, read the curve inverted within 0.3 dB from 20 Hz to 16 kHz.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "core/mic_response.h"
#include "core/response_correction.h"

namespace tarnwick {
namespace {

TEST(MicResponse, ReadsPointsAndFactorAndRefusesWhatIsNoResponse) {
    std::string error;
    const auto read = ParseMicResponse(
        "\"Sens Factor =-1.378dB, SERNO: 8000123\"\n"
        "* measured in the free field\n"
        "\n"
        "20\t-0.5\t3.1\n"
        "1000, 0.0\n"
        "8000 +3\r\n",
        error);
    ASSERT_TRUE(read) << error;
    ASSERT_EQ(read->points.size(), 3u);
    EXPECT_DOUBLE_EQ(*read->sensFactorDb, -1.378);
    EXPECT_DOUBLE_EQ(read->points[2].db, 3.0);
    // Straight over the logarithm of the frequency, held beyond the ends.
    EXPECT_NEAR(read->DeviationDb(std::sqrt(1000.0 * 8000.0)), 1.5, 1e-12);
    EXPECT_DOUBLE_EQ(read->DeviationDb(10.0), -0.5);
    EXPECT_DOUBLE_EQ(read->DeviationDb(20000.0), 3.0);
    // zlib's crc32 of the same bytes.
    EXPECT_EQ(Crc32("123456789"), 0xCBF43926u);

    const struct {
        const char* text;
        const char* error;
    } refused[] = {
        {"# nothing\n\n", "no two lines of a frequency in Hz and a correction in dB"},
        {"100 0\n200\n", "line 2: not a frequency in Hz and a correction in dB"},
        {"100 0\n# x\nfreq dB\n", "line 3: not a frequency in Hz and a correction in dB"},
        {"100 0\n200 1\n150 0\n", "line 3: the frequencies do not rise"},
        {"100 0\n200 21\n", "line 2: the correction jumps by more than 20 dB"},
        {"0 0\n200 1\n", "line 1: the frequency is not above 0 Hz"},
        {"100 nan\n200 1\n", "line 1: not a frequency in Hz and a correction in dB"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.text);
        EXPECT_FALSE(ParseMicResponse(r.text, error));
        EXPECT_EQ(error, r.error);
    }
}

// Each curve at each rate: every sine from 20 Hz to 16 kHz, a sixth of an
// octave apart, in stereo (the second channel 6 dB down) through the filter
// in pieces of 100 frames, reads the curve inverted.
TEST(MicResponse, TheCorrectionFollowsTheCurveInverted) {
    const struct {
        const char* name;
        const char* text;
    } curves[] = {
        {"step at 8 kHz", "20 0\n7950 0\n8000 3\n20000 3\n"},
        {"rolled off", "10 -6\n40 -1\n200 0\n10000 0\n16000 4\n"},
        {"flat", "20 0\n20000 0\n"},
    };
    for (const auto& curve : curves) {
        std::string error;
        const auto response = ParseMicResponse(curve.text, error);
        ASSERT_TRUE(response) << error;
        for (const double rate : {44100.0, 48000.0, 96000.0}) {
            SCOPED_TRACE(std::string(curve.name) + " at " + std::to_string(rate));
            double worst = 0.0;
            double worstHz = 0.0;
            ResponseCorrection filter(*response, rate, 2);
            for (double hz = 20.0; hz <= 16000.0; hz *= std::pow(2.0, 1.0 / 6.0)) {
                filter.Reset();
                const size_t settle = filter.Taps() + ResponseCorrection::kBlockFrames;
                const auto measure = static_cast<size_t>(
                    std::round(std::max(20.0, std::ceil(0.2 * hz)) * rate / hz));
                std::vector<double> x(2 * (settle + measure));
                for (size_t n = 0; n < settle + measure; ++n) {
                    const double s = std::sin(2.0 * std::numbers::pi * hz * n / rate);
                    x[2 * n] = s;
                    x[2 * n + 1] = 0.5 * s;
                }
                for (size_t at = 0; at < settle + measure; at += 100) {
                    filter.Process(x.data() + 2 * at, std::min<size_t>(100, settle + measure - at));
                }
                double sum0 = 0.0;
                double sum1 = 0.0;
                for (size_t n = settle; n < settle + measure; ++n) {
                    sum0 += x[2 * n] * x[2 * n];
                    sum1 += x[2 * n + 1] * x[2 * n + 1];
                }
                const double gain = 10.0 * std::log10(sum0 / (0.5 * measure));
                const double gain1 = 10.0 * std::log10(sum1 / (0.125 * measure));
                const double err = std::max(std::fabs(gain + response->DeviationDb(hz)),
                                            std::fabs(gain1 + response->DeviationDb(hz)));
                if (err > worst) {
                    worst = err;
                    worstHz = hz;
                }
            }
            EXPECT_LT(worst, 0.3) << "at " << worstHz << " Hz";
        }
    }
}

}  // namespace
}  // namespace tarnwick
