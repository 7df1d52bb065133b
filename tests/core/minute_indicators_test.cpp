// The minute's screens on band levels given: the tonal rule's three ranges
// and their edges, the bands it leaves out, and the low-frequency difference
// from A and C weightings at the mid-band frequencies (IEC 61672-1 Table 3
// at 31.5 Hz: A -39.4, C -3.0).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bands/band_plan.h"
#include "bands/minute_indicators.h"

namespace tarnwick {
namespace {

std::vector<Band> Shown(BandWidth width) {
    std::vector<Band> shown;
    for (const Band& band : BandPlan(width, 48000.0)) {
        if (band.shown) {
            shown.push_back(band);
        }
    }
    return shown;
}

TEST(MinuteIndicators, TonesStandOutByTheirRangesRuleAndLowFrequencyByItsDifference) {
    const std::vector<Band> bands = Shown(BandWidth::kThirdOctave);
    const struct {
        const char* band;
        double aboveDb;  // over its neighbours, which lie at 40 dB
        bool tonal;
    } cases[] = {
        {"25", 30.0, false},  // the lowest band has one neighbour
        {"31.5", 15.1, true}, {"125", 15.1, true},    {"125", 14.9, false},
        {"160", 8.1, true},   {"400", 7.9, false},    {"500", 5.1, true},
        {"10000", 5.1, true}, {"12500", 30.0, false},  // above the rule's range
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.band) + " +" + std::to_string(c.aboveDb));
        std::vector<double> levels(bands.size(), 40.0);
        for (size_t b = 0; b < bands.size(); ++b) {
            if (bands[b].nominal == c.band) {
                levels[b] += c.aboveDb;
            }
        }
        MinuteIndicators minute(bands, BandWidth::kThirdOctave, {}, {});
        minute.Add(levels, 30.0);
        minute.Add(levels, 30.0);
        const std::optional<MinuteScreens> screens = minute.EndMinute();
        ASSERT_TRUE(screens);
        EXPECT_EQ(screens->Events(), c.tonal ? "tonal " + std::string(c.band) + " Hz" : "");
        EXPECT_FALSE(minute.EndMinute()) << "the next minute starts empty";
    }

    // 31.5 Hz alone: LCeq - LAeq is 36.4 dB, over 20 and under 40.
    const std::vector<Band> octaves = Shown(BandWidth::kOctave);
    std::vector<double> low(octaves.size(), -INFINITY);
    low[0] = 80.0;
    std::vector<double> a(octaves.size(), 0.0);
    std::vector<double> c(octaves.size(), 0.0);
    a[0] = -39.4;
    c[0] = -3.0;
    for (const double threshold : {20.0, 40.0}) {
        MinuteIndicators minute(octaves, BandWidth::kOctave, a, c, threshold);
        minute.Add(low, 60.0);
        const std::optional<MinuteScreens> screens = minute.EndMinute();
        ASSERT_TRUE(screens);
        EXPECT_NEAR(screens->lceqDb - screens->laeqDb, 36.4, 1e-9);
        EXPECT_EQ(screens->Events(), threshold == 20.0 ? "low-frequency" : "")
            << "an octave bank screens no tones";
    }
}

}  // namespace
}  // namespace tarnwick
