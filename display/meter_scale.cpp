#include "display/meter_scale.h"

#include <utility>
#include <vector>

#include "core/meter_settings.h"

namespace tarnwick {

const std::array<const char*, 8> kScaleNames = {
    "BBC PPM 1 to 7", "+12 to -12 dB", "0 to - 24 dB",  "0 to - 60 dB",
    "+5 to - 50 dB",  "+3  to -20 dB", "+12 to -40 dB", "User Full Scale",
};

namespace {

struct Breakpoint {
    int index;
    int32_t units;
};

struct Tick {
    int32_t units;  // 0: off
    const char* text;
};

struct ScaleDefinition {
    std::vector<Breakpoint> table;
    Tick unit;
    std::array<Tick, kMajorTicks> major;
    std::array<int32_t, kMinorTicks> minor;
};

constexpr Tick kOff{0, ""};

const std::vector<Breakpoint> kTableDb24 = {{0, 0},     {205, 36},   {333, 73},   {512, 109},
                                            {819, 146}, {1293, 182}, {2061, 219}, {3277, 255}};
const std::vector<Breakpoint> kTableDb60 = {{0, 0},      {3, 10},    {10, 28},   {33, 56},
                                            {104, 92},   {328, 128}, {576, 160}, {1037, 192},
                                            {1843, 224}, {3277, 255}};
constexpr std::array<int32_t, kMinorTicks> kMinorDb24 = {237, 200, 164, 128, 91, 55, 24, 15};
constexpr std::array<Tick, kMajorTicks> kMajorDb60 = {
    Tick{255, "0"}, {233, "-3"}, {216, "-6"}, {192, "-10"}, {160, "-15"},
    {128, "-20"},   {92, "-30"}, {56, "-40"}, {28, "-50"},  {10, "-60"}};

const ScaleDefinition& Definition(int32_t scale) {
    static const ScaleDefinition kScales[8] = {
        // 0 "BBC PPM 1 to 7"
        {{{0, 0},
          {166, 20},
          {260, 56},
          {410, 92},
          {653, 128},
          {1037, 164},
          {1638, 200},
          {2598, 236},
          {3277, 255}},
         {6, "ppm"},
         {Tick{236, "7"},
          {200, "6"},
          {164, "5"},
          {128, "4"},
          {92, "3"},
          {56, "2"},
          {20, "1"},
          kOff,
          kOff,
          {255, ""}},
         {}},
        // 1 "+12 to -12 dB"
        {kTableDb24,
         {6, "dB"},
         {Tick{255, "+12"},
          {219, "+8"},
          {182, "+4"},
          {146, "0"},
          {109, "-4"},
          {73, "-8"},
          {36, "-12"},
          {1, ""},
          kOff,
          kOff},
         kMinorDb24},
        // 2 "0 to - 24 dB"
        {kTableDb24,
         {6, "dB"},
         {Tick{255, "0"},
          {219, "-4"},
          {182, "-8"},
          {146, "-12"},
          {109, "-16"},
          {73, "-20"},
          {36, "-24"},
          {1, ""},
          kOff,
          kOff},
         kMinorDb24},
        // 3 "0 to - 60 dB"
        {kTableDb60, {2, ""}, kMajorDb60, {}},
        // 4 "+5 to - 50 dB"
        {{{0, 0},
          {6, 14},
          {18, 32},
          {58, 48},
          {184, 64},
          {328, 85},
          {576, 127},
          {1037, 169},
          {1843, 212},
          {3277, 255}},
         {2, "dB"},
         {Tick{255, "+5"},
          {212, "0"},
          {169, "-5"},
          {127, "-10"},
          {85, "-15"},
          {64, "-20"},
          {48, "-30"},
          {32, "-40"},
          {14, "-50"},
          kOff},
         {176, 185, 194, 203, 221, 229, 238, 246}},
        // 5 "+3  to -20 dB"
        {{{0, 0},
          {184, 22},
          {729, 65},
          {1036, 108},
          {1292, 138},
          {1638, 167},
          {2316, 212},
          {3277, 255}},
         {6, "dB"},
         {Tick{255, "+3"},
          {212, "0"},
          {167, "-3"},
          {138, "-5"},
          {108, "-7"},
          {65, "-10"},
          {22, "-20"},
          kOff,
          kOff,
          kOff},
         {240, 225, 196, 182, 40, 0, 0, 0}},
        // 6 "+12 to -40 dB"
        {{{0, 0},
          {9, 12},
          {12, 39},
          {25, 66},
          {51, 93},
          {102, 120},
          {207, 147},
          {410, 174},
          {823, 201},
          {1651, 228},
          {3277, 255}},
         {2, "dB"},
         {Tick{255, "+12"},
          {228, "+6"},
          {201, "0"},
          {174, "-6"},
          {147, "-12"},
          {120, "-18"},
          {93, "-24"},
          {66, "-30"},
          {39, "-36"},
          {12, "-40"}},
         {}},
        // 7 "User Full Scale": the table and marks of scale 3; the labels are drawn
        // as their values plus DisplayOffset and the unit label is not drawn.
        {kTableDb60, {2, ""}, kMajorDb60, {}},
    };
    return kScales[scale];
}

int32_t UnitsToPixels(int32_t units) {
    return units * 3 / 2;
}

}  // namespace

void FillHeightSegment(HeightTable& heights, int first, int last, int32_t startUnits,
                       int32_t endUnits) {
    const int32_t low = UnitsToPixels(startUnits);
    const int32_t high = UnitsToPixels(endUnits);
    const double step = static_cast<double>(high - low) / (last - first);
    double acc = low;
    for (int k = first; k <= last; ++k) {
        heights[static_cast<size_t>(k)] = static_cast<int32_t>(RoundHalfEven(acc));
        acc += step;
    }
}

int32_t EffectiveScale(int32_t scale) {
    // Only an edited settings store can hold another value; keep the meter usable.
    return scale >= 0 && scale <= kUserFullScale ? scale : kDefaultScale;
}

int32_t BuildScale(TMeterScale& meterScale, int32_t scale, int32_t fullScale) {
    const int32_t used = EffectiveScale(scale);
    const ScaleDefinition& def = Definition(used);

    const Breakpoint* previous = nullptr;
    for (const Breakpoint& point : def.table) {
        if (previous != nullptr) {
            FillHeightSegment(meterScale.heights, previous->index, point.index, previous->units,
                              point.units);
        }
        previous = &point;
    }

    ScaleMarks& marks = meterScale.marks;
    marks.unit = {UnitsToPixels(def.unit.units), def.unit.text};
    for (int i = 0; i < kMajorTicks; ++i) {
        marks.major[i] = {UnitsToPixels(def.major[i].units), def.major[i].text};
    }
    for (int i = 0; i < kMinorTicks; ++i) {
        marks.minor[i] = UnitsToPixels(def.minor[i]);
    }
    return DisplayOffsetFor(used, fullScale);
}

}  // namespace tarnwick
