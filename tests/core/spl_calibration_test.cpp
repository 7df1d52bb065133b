// Calibration from a calibrator's tone: accepted with the sensitivity it
// implies, refused with the reason when the tone cannot be trusted; and the
// history file's rows read back as written.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "spl/calibration.h"
#include "spl/calibration_history.h"

namespace tarnwick {
namespace {

constexpr unsigned long kRate = 48000;

struct Tone {
    double hz = 1000.0;
    double db = -26.0;  // re a full-scale sine
    double seconds = 5.0;
    double wobbleDb = 0.0;  // peak level change, at 2 Hz
    bool clip = false;      // one sample at full scale
};

std::vector<float> Record(const Tone& t) {
    std::vector<float> x(static_cast<size_t>(t.seconds * kRate));
    for (size_t i = 0; i < x.size(); ++i) {
        const double s = static_cast<double>(i) / kRate;
        const double db = t.db + t.wobbleDb * std::sin(2.0 * std::numbers::pi * 2.0 * s);
        x[i] = static_cast<float>(std::pow(10.0, db / 20.0) *
                                  std::sin(2.0 * std::numbers::pi * t.hz * s));
    }
    if (t.clip) {
        x[3 * kRate] = -1.0f;
    }
    return x;
}

TEST(SoundLevelCalibration, AcceptsACalibratorAndRefusesWhatIsNotOne) {
    struct Case {
        const char* what;
        Tone tone;
        std::optional<double> previous;
        const char* refusal;  // a word of the reason, or null when accepted
        const char* warning;
    };
    const Case cases[] = {
        {"94 dB at -26 dB re full scale", {}, std::nullopt, nullptr, nullptr},
        {"close to the last calibration", {}, 119.7, nullptr, nullptr},
        {"0.6 dB from the last one", {}, 119.4, nullptr, "differs by 0.6 dB"},
        {"1.9 % off 1 kHz", {.hz = 1019.0}, std::nullopt, nullptr, nullptr},
        {"3 % off 1 kHz", {.hz = 1030.0}, std::nullopt, "1030.0 Hz", nullptr},
        {"a 250 Hz pistonphone", {.hz = 250.0}, std::nullopt, "Hz", nullptr},
        {"clipping", {.clip = true}, std::nullopt, "clips", nullptr},
        {"moving by 0.3 dB", {.wobbleDb = 0.15}, std::nullopt, "varied", nullptr},
        {"at -65 dB", {.db = -65.0}, std::nullopt, "too quiet", nullptr},
        {"only 4 s", {.seconds = 4.0}, std::nullopt, "5 s", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::vector<float> x = Record(c.tone);
        CalibrationRequest request;
        request.frames = x;
        request.sampleRate = kRate;
        request.referenceDb = 94.0;
        request.previousSensitivityDb = c.previous;
        const CalibrationResult result = AnalyseCalibration(request);
        if (c.refusal != nullptr) {
            EXPECT_FALSE(result.accepted);
            EXPECT_NE(result.refusal.find(c.refusal), std::string::npos) << result.refusal;
            continue;
        }
        ASSERT_TRUE(result.accepted) << result.refusal;
        EXPECT_NEAR(result.sensitivityDb, 120.0, 0.02);
        EXPECT_EQ(result.warning.empty(), c.warning == nullptr) << result.warning;
        if (c.warning != nullptr) {
            EXPECT_NE(result.warning.find(c.warning), std::string::npos) << result.warning;
        }
    }
}

TEST(SoundLevelCalibration, HistoryRowsReadBackAsWritten) {
    CalibrationRecord calibrated;
    calibrated.when = ToLocalDateTime({2024, 5, 1, 14, 3, 27});
    calibrated.input = "USB \"Measurement\" Mic, left";
    calibrated.referenceDb = 114.0;
    calibrated.sensitivityDb = 120.374;
    CalibrationRecord manual;
    manual.when = ToLocalDateTime({2024, 5, 2, 9, 0, 0});
    manual.input = "Built-in Audio Analog Stereo";
    manual.sensitivityDb = 118.0;
    manual.method = CalibrationMethod::kManual;
    manual.response = "mic, 1.txt (crc 0badf00d)";

    const std::string text = CalibrationHistoryHeader() + FormatCalibrationRow(calibrated) +
                             "not a calibration\n" + FormatCalibrationRow(manual);
    EXPECT_EQ(text,
              "date,input,reference_db,sensitivity_db,method,response\n"
              "2024-05-01 14:03:27,\"USB \"\"Measurement\"\" Mic, left\",114.0,120.37,calibrator\n"
              "not a calibration\n"
              "2024-05-02 09:00:00,Built-in Audio Analog Stereo,,118.00,manual,"
              "\"mic, 1.txt (crc 0badf00d)\"\n");

    const CalibrationHistory history = ParseCalibrationHistory(text);
    ASSERT_EQ(history.records.size(), 2u);
    EXPECT_EQ(history.badLines, std::vector<size_t>{3});
    EXPECT_EQ(history.records[0].when, calibrated.when);
    EXPECT_EQ(history.records[0].input, calibrated.input);
    EXPECT_EQ(history.records[0].referenceDb, 114.0);
    EXPECT_EQ(history.records[0].sensitivityDb, 120.37);
    EXPECT_EQ(history.records[1].method, CalibrationMethod::kManual);
    EXPECT_FALSE(history.records[1].referenceDb);
    EXPECT_EQ(history.records[1].response, manual.response);
    EXPECT_EQ(history.records[0].response, "");
    EXPECT_EQ(LastCalibrationOf(history, manual.input)->sensitivityDb, 118.0);
    EXPECT_FALSE(LastCalibrationOf(history, "Monitor of Built-in Audio"));
}

}  // namespace
}  // namespace tarnwick
