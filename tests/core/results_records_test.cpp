#include "results/results_records.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

// The test "Hall A" on the user full-scale meter (95) at calibration -2, saved
// once at 14:45:00 after a period of 15 minutes.
TResultsHeader HallAHeader() {
    TResultsHeader h;
    h.testName = "Hall A";
    h.longDate = "08 December 2026";
    h.channel = 0;
    h.displayOffset = 95;
    h.upperVol = -10;
    h.lowerVol = -20;
    return h;
}

TResultsRecord HallARecord() {
    TResultsRecord r;
    r.timeOfDay = "14:45:00";
    r.periodMs = 900000;
    r.overTargetMs = 83000;
    r.underTargetMs = 10500;
    r.average = " 78.4";
    r.systemMax = 22000;  // -3.46 dB
    r.displayOffset = 95;
    r.calibration = -2.0;
    r.separator = U'.';
    return r;
}

TEST(ResultsRecords, TextFileOfTheHallATest) {
    EXPECT_EQ(TextHeader(HallAHeader()),
              "Test Name    Hall A\r\n"
              "Start Date   08 December 2026\r\n"
              "Channel      Stereo (Max of L or R)\r\n"
              "Full Scale   95dB\r\n"
              "Target 1    85dB\r\n"
              "Target 2    75dB\r\n");
    EXPECT_EQ(TextRecord(HallARecord()),
              "Time 14:45:00  Duration 00:15:00  Average 78.4dB  Over 00:01:23 =9.2%  "
              "Under 00:00:10 =1.2%  Max Peak 89.5dB\r\n");
}

TEST(ResultsRecords, CsvFileOfTheHallATest) {
    EXPECT_EQ(CsvHeader(HallAHeader()),
              "Test Name,\"Hall A\"\r\n"
              "Start Date,\"08 December 2026\"\r\n"
              "Channel,Stereo (Max of L or R)\r\n"
              "Time ,Duration ,Average,Over dB,Over % ,Under dB,Under %,Max dB\r\n");
    EXPECT_EQ(CsvRecord(HallARecord()),
              "14:45:00,00:15:00, 78.4,00:01:23,9.2,00:00:10,1.2,-3.5\r\n");
}

TEST(ResultsRecords, AverageTextIsCopiedAsShown) {
    TResultsRecord empty = HallARecord();
    empty.average = "";
    EXPECT_NE(TextRecord(empty).find("  AveragedB  Over "), std::string::npos);
    EXPECT_EQ(CsvRecord(empty), "14:45:00,00:15:00,,00:01:23,9.2,00:00:10,1.2,-3.5\r\n");

    TResultsRecord low = HallARecord();
    low.average = "low ";
    EXPECT_NE(TextRecord(low).find("  Averagelow dB  Over "), std::string::npos);
    EXPECT_EQ(CsvRecord(low), "14:45:00,00:15:00,low ,00:01:23,9.2,00:00:10,1.2,-3.5\r\n");
}

TEST(ResultsRecords, HeaderWithoutDisplayOffset) {
    TResultsHeader h = HallAHeader();
    h.displayOffset = 0;
    h.channel = 3;
    EXPECT_EQ(TextHeader(h),
              "Test Name    Hall A\r\n"
              "Start Date   08 December 2026\r\n"
              "Channel      Sum\r\n"
              "Full Scale   0dB\r\n"
              "Target 1    -10dB\r\n"
              "Target 2    -20dB\r\n");
    const char* names[] = {"Stereo (Max of L or R)", "Left", "Right", "Sum", "Difference"};
    for (int32_t c = 0; c < 5; ++c) {
        EXPECT_EQ(ChannelName(c), names[c]);
    }
}

TEST(ResultsRecords, SilentPeriodAndEmptyPeriod) {
    // SystemMax 0 (a period without a running test): -99 plus offset and calibration.
    TResultsRecord silent = HallARecord();
    silent.systemMax = 0;
    silent.displayOffset = 0;
    EXPECT_NE(TextRecord(silent).find("  Max Peak -101.0dB\r\n"), std::string::npos);
    EXPECT_EQ(CsvRecord(silent).substr(CsvRecord(silent).rfind(',')), ",-99.0\r\n");

    // Two saves at the same block: a period of 0 ms has nothing over or under.
    TResultsRecord zero = HallARecord();
    zero.periodMs = 0;
    zero.overTargetMs = 0;
    zero.underTargetMs = 0;
    EXPECT_EQ(TextRecord(zero),
              "Time 14:45:00  Duration 00:00:00  Average 78.4dB  Over 00:00:00 =0.0%  "
              "Under 00:00:00 =0.0%  Max Peak 89.5dB\r\n");
    EXPECT_EQ(CsvRecord(zero), "14:45:00,00:00:00, 78.4,00:00:00,0.0,00:00:00,0.0,-3.5\r\n");

    // A whole period over target 1.
    TResultsRecord all = HallARecord();
    all.overTargetMs = 900000;
    EXPECT_NE(TextRecord(all).find("Over 00:15:00 =100.0%"), std::string::npos);
}

TEST(ResultsRecords, LongPeriodsKeepTheirHours) {
    TResultsRecord r = HallARecord();
    r.periodMs = 100u * 3600000u;
    r.overTargetMs = 36000000;
    EXPECT_EQ(CsvRecord(r), "14:45:00,100:00:00, 78.4,10:00:00,10.0,00:00:10,0.0,-3.5\r\n");
}

TEST(ResultsRecords, DecimalCommaQuotesTheCsvFields) {
    TResultsRecord r = HallARecord();
    r.separator = U',';
    r.average = " 78,4";
    EXPECT_EQ(CsvRecord(r),
              "14:45:00,00:15:00,\" 78,4\",00:01:23,\"9,2\",00:00:10,\"1,2\",\"-3,5\"\r\n");
    EXPECT_EQ(TextRecord(r),
              "Time 14:45:00  Duration 00:15:00  Average 78,4dB  Over 00:01:23 =9,2%  "
              "Under 00:00:10 =1,2%  Max Peak 89,5dB\r\n");
}

TEST(ResultsRecords, CsvQuoting) {
    EXPECT_EQ(CsvField("plain text"), "plain text");
    EXPECT_EQ(CsvField(""), "");
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("say \"hi\""), "\"say \"\"hi\"\"\"");
    EXPECT_EQ(CsvField("\""), "\"\"\"\"");

    TResultsHeader h = HallAHeader();
    h.testName = "Hall \"A\", east";
    h.longDate = "Tuesday, 8 December 2026";
    EXPECT_EQ(CsvHeader(h),
              "Test Name,\"Hall \"\"A\"\", east\"\r\n"
              "Start Date,\"Tuesday, 8 December 2026\"\r\n"
              "Channel,Stereo (Max of L or R)\r\n"
              "Time ,Duration ,Average,Over dB,Over % ,Under dB,Under %,Max dB\r\n");
    // The text header writes the name unchanged.
    EXPECT_EQ(TextHeader(h).substr(0, 29), "Test Name    Hall \"A\", east\r\n");

    TResultsRecord r = HallARecord();
    r.timeOfDay = "2,45,00 pm";
    EXPECT_EQ(CsvRecord(r).substr(0, 13), "\"2,45,00 pm\",");
}

}  // namespace
}  // namespace tarnwick
