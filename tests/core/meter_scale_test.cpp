#include "display/meter_scale.h"

#include <gtest/gtest.h>

#include <string>

#include "core/meter_settings.h"

namespace tarnwick {
namespace {

class EveryScale : public ::testing::TestWithParam<int32_t> {};

TEST_P(EveryScale, TableRisesFromZeroTo382) {
    TMeterScale scale;
    scale.heights.fill(-1);
    BuildScale(scale, GetParam(), 95);
    EXPECT_EQ(scale.heights[0], 0);
    EXPECT_EQ(scale.heights[3276], 382);
    EXPECT_EQ(scale.heights[3277], 382);
    for (size_t i = 1; i < scale.heights.size(); ++i) {
        ASSERT_GE(scale.heights[i], scale.heights[i - 1]) << "index " << i;
    }
}

TEST_P(EveryScale, MarksLieOnTheScale) {
    TMeterScale scale;
    BuildScale(scale, GetParam(), 95);
    for (const ScaleLabel& tick : scale.marks.major) {
        EXPECT_GE(tick.position, 0);
        EXPECT_LE(tick.position, 382);
        if (tick.position == 0) {
            EXPECT_TRUE(tick.text.empty());
        }
    }
    for (int32_t minor : scale.marks.minor) {
        EXPECT_GE(minor, 0);
        EXPECT_LE(minor, 382);
    }
    // The top tick of every scale sits at the top of the table.
    EXPECT_EQ(scale.marks.major[GetParam() == 0 ? 9 : 0].position, 382);
}

INSTANTIATE_TEST_SUITE_P(MeterScale, EveryScale, ::testing::Range(0, 8));

int32_t Height(int32_t scaleIndex, int index) {
    TMeterScale scale;
    BuildScale(scale, scaleIndex, 0);
    return scale.heights[static_cast<size_t>(index)];
}

TEST(MeterScale, TableEntriesOfTheScales) {
    struct Entry {
        int32_t scale;
        int index;
        int32_t height;
    };
    const Entry entries[] = {
        {2, 0, 0},      {2, 1, 0},      {2, 2, 1},      {2, 10, 3},     {2, 100, 26},
        {2, 1000, 240}, {2, 1638, 298}, {2, 3277, 382}, {1, 1000, 240},  // scale 1 as 2
        {0, 1037, 246}, {0, 2598, 354}, {0, 1638, 300}, {0, 166, 30},    //
        {3, 1, 5},      {3, 2, 10},     {3, 3, 15},     {3, 1000, 284}, {7, 1000, 284},
        {5, 183, 33},   {5, 184, 33},   {5, 185, 33},   {5, 1000, 154},
    };
    for (const Entry& e : entries) {
        EXPECT_EQ(Height(e.scale, e.index), e.height)
            << "scale " << e.scale << " index " << e.index;
    }
}

TEST(MeterScale, FillHeightSegmentRoundsTheRunningSumHalfToEven) {
    HeightTable table{};
    table.fill(-1);
    // 0 to 3 pixels over 6 steps: 0, 0.5, 1, 1.5, 2, 2.5, 3.
    FillHeightSegment(table, 10, 16, 0, 2);
    const int32_t expected[] = {0, 0, 1, 2, 2, 2, 3};
    for (int k = 0; k < 7; ++k) {
        EXPECT_EQ(table[static_cast<size_t>(10 + k)], expected[k]) << "index " << 10 + k;
    }
    EXPECT_EQ(table[9], -1);
    EXPECT_EQ(table[17], -1);

    // Units become pixels by x 3 div 2 before the segment is filled.
    FillHeightSegment(table, 0, 1, 1, 255);
    EXPECT_EQ(table[0], 1);
    EXPECT_EQ(table[1], 382);
}

TEST(MeterScale, PpmMarks) {
    TMeterScale scale;
    EXPECT_EQ(BuildScale(scale, 0, 95), 0);
    const ScaleMarks& m = scale.marks;
    EXPECT_EQ(m.unit.text, "ppm");
    EXPECT_EQ(m.unit.position, 9);
    const char* labels[] = {"7", "6", "5", "4", "3", "2", "1"};
    const int32_t positions[] = {354, 300, 246, 192, 138, 84, 30};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(m.major[static_cast<size_t>(i)].text, labels[i]);
        EXPECT_EQ(m.major[static_cast<size_t>(i)].position, positions[i]);
    }
    EXPECT_EQ(m.major[7].position, 0);
    EXPECT_EQ(m.major[8].position, 0);
    EXPECT_EQ(m.major[9].position, 382);  // a tick without a label
    EXPECT_TRUE(m.major[9].text.empty());
    for (int32_t minor : m.minor) {
        EXPECT_EQ(minor, 0);
    }
}

TEST(MeterScale, DecibelMarks) {
    TMeterScale scale;
    BuildScale(scale, 2, 95);
    const ScaleMarks& m = scale.marks;
    EXPECT_EQ(m.unit.text, "dB");
    EXPECT_EQ(m.unit.position, 9);
    EXPECT_EQ(m.major[0].text, "0");
    EXPECT_EQ(m.major[6].text, "-24");
    EXPECT_EQ(m.major[6].position, 54);
    EXPECT_EQ(m.major[7].position, 1);  // a bare tick just above the baseline
    EXPECT_TRUE(m.major[7].text.empty());
    const int32_t minor[] = {355, 300, 246, 192, 136, 82, 36, 22};
    for (int i = 0; i < kMinorTicks; ++i) {
        EXPECT_EQ(m.minor[static_cast<size_t>(i)], minor[i]);
    }

    BuildScale(scale, 1, 95);
    EXPECT_EQ(scale.marks.major[0].text, "+12");
    EXPECT_EQ(scale.marks.major[3].text, "0");

    BuildScale(scale, 5, 95);
    const int32_t minor5[] = {360, 337, 294, 273, 60, 0, 0, 0};
    for (int i = 0; i < kMinorTicks; ++i) {
        EXPECT_EQ(scale.marks.minor[static_cast<size_t>(i)], minor5[i]);
    }

    BuildScale(scale, 3, 95);
    EXPECT_TRUE(scale.marks.unit.text.empty());
    EXPECT_EQ(scale.marks.unit.position, 3);
    EXPECT_EQ(scale.marks.major[9].text, "-60");
    EXPECT_EQ(scale.marks.major[9].position, 15);
}

TEST(MeterScale, UserFullScaleKeepsTheMarksOfScale3AndSetsTheOffset) {
    TMeterScale user;
    TMeterScale db60;
    EXPECT_EQ(BuildScale(user, kUserFullScale, 95), 95);
    BuildScale(db60, 3, 95);
    EXPECT_EQ(user.heights, db60.heights);
    for (int i = 0; i < kMajorTicks; ++i) {
        EXPECT_EQ(user.marks.major[static_cast<size_t>(i)].position,
                  db60.marks.major[static_cast<size_t>(i)].position);
        EXPECT_EQ(user.marks.major[static_cast<size_t>(i)].text,
                  db60.marks.major[static_cast<size_t>(i)].text);
    }
    EXPECT_EQ(BuildScale(user, kUserFullScale, 0), 0);
    EXPECT_EQ(BuildScale(user, kUserFullScale, -12), -12);
    for (int32_t other = 0; other < kUserFullScale; ++other) {
        EXPECT_EQ(BuildScale(user, other, 95), 0) << "scale " << other;
        EXPECT_EQ(DisplayOffsetFor(other, 95), 0);
    }
    EXPECT_EQ(DisplayOffsetFor(kUserFullScale, 95), 95);
}

TEST(MeterScale, UnknownScaleBuildsTheDefaultScale) {
    TMeterScale fallback;
    TMeterScale db24;
    BuildScale(db24, kDefaultScale, 95);
    for (int32_t bad : {8, 12, -1}) {
        fallback.heights.fill(-1);
        EXPECT_EQ(BuildScale(fallback, bad, 95), 0) << "scale " << bad;
        EXPECT_EQ(fallback.heights, db24.heights);
        EXPECT_EQ(fallback.marks.major[0].text, "0");
    }
}

TEST(MeterScale, RebuildingReplacesEveryEntryAndMark) {
    TMeterScale scale;
    BuildScale(scale, 0, 0);
    BuildScale(scale, 2, 0);
    TMeterScale fresh;
    BuildScale(fresh, 2, 0);
    EXPECT_EQ(scale.heights, fresh.heights);
    for (int i = 0; i < kMajorTicks; ++i) {
        EXPECT_EQ(scale.marks.major[static_cast<size_t>(i)].position,
                  fresh.marks.major[static_cast<size_t>(i)].position);
        EXPECT_EQ(scale.marks.major[static_cast<size_t>(i)].text,
                  fresh.marks.major[static_cast<size_t>(i)].text);
    }
    EXPECT_EQ(scale.marks.minor, fresh.marks.minor);
    EXPECT_EQ(scale.marks.unit.text, fresh.marks.unit.text);
}

}  // namespace
}  // namespace tarnwick
