// The results file commands of MeterApp: Save As, Close File, the stored file
// state and the records written at each save.

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/level_math.h"
#include "display/readout_format.h"
#include "tests/core/fakes.h"

namespace tarnwick {
namespace {

using fakes::AppHarness;
using fakes::Frame;

const std::string kKey = "Software\\Hollowden\\Tarnwick";

class ResultsCommands : public ::testing::Test {
protected:
    void SetUp() override {
        settings.Folder = "/home/op/Documents/Tarnwick/";
        settings.SaveOnStop = true;
    }
    void Create() { h.Create(settings); }

    std::optional<StoredValue> Stored(const std::string& name) const {
        return h.store.Value(kKey, name);
    }

    TMeterSettings settings = fakes::PlainLevelSettings();
    AppHarness h;
};

TEST_F(ResultsCommands, SaveDialogIsPreparedAndCancelChangesNothing) {
    Create();
    h.app.SaveAs1Click();  // no scripted answer: the user cancels
    ASSERT_EQ(h.dialogs.saveRequests.size(), 1u);
    const SaveFileRequest& request = h.dialogs.saveRequests[0];
    EXPECT_EQ(request.filter,
              "All results files (*.csv,*.txt)|*.CSV;*.TXT|Text files (*.txt)|*.TXT|CSV files "
              "(*.csv)|*.CSV|");
    EXPECT_EQ(request.filterIndex, 2);  // File Types 1 + 1
    EXPECT_EQ(request.proposedName, "Results  08 December 2026 1430 ");
    EXPECT_EQ(request.initialFolder, "/home/op/Documents/Tarnwick/");
    EXPECT_TRUE(request.promptOverwrite);

    EXPECT_FALSE(h.app.settings().FileOpen);
    EXPECT_EQ(h.app.settings().Filename, "");
    EXPECT_EQ(h.app.settings().Folder, "/home/op/Documents/Tarnwick/");
    EXPECT_TRUE(h.files.contents.empty());
    EXPECT_EQ(h.app.view().Label1, kNoFileOpen);
    EXPECT_TRUE(h.app.view().SaveAs1Enabled);
    EXPECT_FALSE(h.app.view().CloseFile1Enabled);
    EXPECT_FALSE(Stored("File Open").has_value());
    EXPECT_TRUE(h.dialogs.messages.empty());
}

struct TypeCase {
    const char* chosen;
    int filterIndex;
    int32_t fileTypesBefore;
    const char* written;
    int32_t fileTypes;
};

class SaveAsTypes : public ::testing::TestWithParam<TypeCase> {};

TEST_P(SaveAsTypes, ExtensionAndFilterChooseTheFormat) {
    const TypeCase& c = GetParam();
    AppHarness h;
    TMeterSettings s = fakes::PlainLevelSettings();
    s.FileTypes = c.fileTypesBefore;
    h.Create(s);
    h.SaveAs(c.chosen, c.filterIndex);
    EXPECT_EQ(h.app.settings().Filename, c.written);
    EXPECT_EQ(h.app.settings().FileTypes, c.fileTypes);
    const std::string chosen = c.chosen;
    EXPECT_EQ(h.app.settings().Folder, chosen.substr(0, chosen.rfind('/') + 1));
    ASSERT_TRUE(h.files.Exists(c.written));
    EXPECT_EQ(h.files.contents.size(), 1u);
    const std::vector<std::string> lines = h.files.Lines(c.written);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], c.fileTypes == 2 ? "Test Name,\"Results \"" : "Test Name    Results ");
    EXPECT_EQ(lines.size(), c.fileTypes == 2 ? 4u : 6u);
}

INSTANTIATE_TEST_SUITE_P(
    ResultsCommands, SaveAsTypes,
    ::testing::Values(
        TypeCase{"/data/a.txt", 1, 2, "/data/a.txt", 1},
        TypeCase{"/data/a.TXT", 1, 2, "/data/a.TXT", 1},
        TypeCase{"/data/a.csv", 2, 1, "/data/a.csv", 2},  // the CSV rule wins
        TypeCase{"/data/a.txt", 3, 1, "/data/a.txt", 2},
        TypeCase{"/data/a.CsV", 1, 1, "/data/a.CsV", 2},
        TypeCase{"/data/a", 1, 1, "/data/a.txt", 1}, TypeCase{"/data/a", 1, 2, "/data/a.csv", 2},
        TypeCase{"/data/a", 2, 2, "/data/a.txt", 1}, TypeCase{"/data/a", 3, 1, "/data/a.csv", 2},
        TypeCase{"/data/a.log", 1, 2, "/data/a.log", 2},
        TypeCase{"/data/a.log", 2, 2, "/data/a.log", 1},
        // A dot in the date makes the rest of the name an extension.
        TypeCase{"/data/Results  08.12.2026 1430 ", 1, 1, "/data/Results  08.12.2026 1430 ", 1},
        TypeCase{"/data/v1.2/a", 3, 1, "/data/v1.2/a.csv", 2}));

TEST_F(ResultsCommands, SaveAsAttachesAndStoresTheFile) {
    Create();
    h.SaveAs("/data/hall.txt");
    EXPECT_TRUE(h.app.settings().FileOpen);
    EXPECT_EQ(h.app.view().Label1, "Log File:   hall.txt");
    EXPECT_FALSE(h.app.view().SaveAs1Enabled);
    EXPECT_FALSE(h.app.view().TBopenEnabled);
    EXPECT_TRUE(h.app.view().CloseFile1Enabled);
    EXPECT_TRUE(h.app.view().TBcloseEnabled);
    ASSERT_TRUE(Stored("File Open").has_value());
    EXPECT_EQ(Stored("File Open")->kind, ValueKind::kDword);
    EXPECT_EQ(Stored("File Open")->dword, 1);
    ASSERT_TRUE(Stored("Filename").has_value());
    EXPECT_EQ(Stored("Filename")->kind, ValueKind::kString);
    EXPECT_EQ(Stored("Filename")->text, "/data/hall.txt");
    EXPECT_EQ(h.app.testRun().NextMinuteSaveTime, fakes::At(2026, 12, 8, 14, 45));
    EXPECT_EQ(h.app.testRun().NextHourSaveTime, fakes::At(2026, 12, 8, 15, 0));
    EXPECT_TRUE(h.dialogs.messages.empty());

    // Save As does nothing while a file is attached.
    h.app.SaveAs1Click();
    EXPECT_EQ(h.dialogs.saveRequests.size(), 1u);

    h.app.CloseFile1Click();
    EXPECT_FALSE(h.app.settings().FileOpen);
    EXPECT_EQ(h.app.settings().Filename, "/data/hall.txt");
    EXPECT_EQ(h.app.view().Label1, "No File Open  ");
    EXPECT_TRUE(h.app.view().SaveAs1Enabled);
    EXPECT_TRUE(h.app.view().TBopenEnabled);
    EXPECT_FALSE(h.app.view().CloseFile1Enabled);
    EXPECT_FALSE(h.app.view().TBcloseEnabled);
    EXPECT_EQ(Stored("File Open")->dword, 0);
    EXPECT_EQ(Stored("Filename")->text, "/data/hall.txt");
    // Closing writes no record.
    EXPECT_EQ(h.files.Lines("/data/hall.txt").size(), 6u);
}

TEST_F(ResultsCommands, SecondCopyStoresUnderItsOwnKey) {
    h.app.FormCreate(2, settings);
    h.app.FormShow();
    h.SaveAs("/data/two.txt");
    EXPECT_FALSE(h.store.Value(kKey, "File Open").has_value());
    ASSERT_TRUE(h.store.Value(kKey + " 2", "File Open").has_value());
    EXPECT_EQ(h.store.Value(kKey + " 2", "Filename")->text, "/data/two.txt");

    h.store.refuseOpen = true;
    h.app.CloseFile1Click();
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].caption, "\\Tarnwick 2 Error");
}

TEST_F(ResultsCommands, StoreFailuresAreReported) {
    Create();
    h.store.refuseOpen = true;
    h.SaveAs("/data/hall.txt");
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].text, "Unable to create Registry Key ");
    EXPECT_EQ(h.dialogs.messages[0].caption, "\\Tarnwick Error");
    // The state in memory stays as set.
    EXPECT_TRUE(h.app.settings().FileOpen);

    h.store.refuseOpen = false;
    h.store.writesAllowed = 0;
    h.app.CloseFile1Click();
    ASSERT_EQ(h.dialogs.messages.size(), 2u);
    EXPECT_EQ(h.dialogs.messages[1].text, "Unable to write value to Registry ");
    EXPECT_EQ(h.dialogs.messages[1].caption, "\\Tarnwick Error");
    EXPECT_FALSE(h.app.settings().FileOpen);
    EXPECT_EQ(h.app.view().Label1, "No File Open  ");

    // The second value failing is reported too.
    h.store.writesAllowed = 1;
    h.SaveAs("/data/next.txt");
    ASSERT_GE(h.dialogs.messages.size(), 3u);
    EXPECT_EQ(h.dialogs.messages[2].text, "Unable to write value to Registry ");
    EXPECT_EQ(h.store.Value(kKey, "File Open")->dword, 1);
}

TEST_F(ResultsCommands, FailedCreateLeavesNoFileAttached) {
    Create();
    h.files.createFailure = {13, "Permission denied"};
    h.SaveAs("/locked/hall.csv", 1);
    EXPECT_FALSE(h.app.settings().FileOpen);
    EXPECT_EQ(h.app.settings().Filename, "/locked/hall.csv");
    EXPECT_EQ(h.app.settings().Folder, "/locked/");
    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_NE(h.dialogs.messages[0].text.find("Permission denied"), std::string::npos);
    EXPECT_TRUE(h.app.view().SaveAs1Enabled);
    EXPECT_EQ(h.app.view().Label1, kNoFileOpen);
    EXPECT_FALSE(Stored("File Open").has_value());
}

TEST_F(ResultsCommands, FailedWriteIsReportedAndThePeriodStillEnds) {
    settings.SaveOnMinutes = false;
    Create();
    h.SaveAs("/data/hall.txt");
    h.files.contents.erase("/data/hall.txt");  // deleted while attached
    h.BlockAt(20, Frame{1000, 1000});
    h.app.StartStopButtonClick();
    h.Blocks(50, Frame{20000, 20000});
    ASSERT_GT(h.app.statistics().OverTargetMs, 0);
    h.app.StartStopButtonClick();  // stop: the save on stop fails

    ASSERT_EQ(h.dialogs.messages.size(), 1u);
    EXPECT_EQ(h.dialogs.messages[0].text,
              "/data/hall.txt  -   Saving results failed. File may be open elsewhere. Error 2");
    EXPECT_EQ(h.dialogs.messages[0].caption, "Tarnwick");
    EXPECT_TRUE(h.app.settings().FileOpen);
    EXPECT_EQ(h.app.statistics().OverTargetMs, 0);
    EXPECT_EQ(h.app.statistics().SystemMax, 0);
    EXPECT_EQ(h.app.testRun().PeriodStartTick, h.clock.TickCount());

    // Every later save tries again, with the error of that attempt.
    h.files.appendFailure = {32, "Device or resource busy"};
    h.app.StartStopButtonClick();
    h.Blocks(5, Frame{20000, 20000});
    h.app.StartStopButtonClick();
    ASSERT_EQ(h.dialogs.messages.size(), 2u);
    EXPECT_EQ(h.dialogs.messages[1].text,
              "/data/hall.txt  -   Saving results failed. File may be open elsewhere. Error 32");
}

TEST_F(ResultsCommands, StopWithoutFileStillEndsThePeriod) {
    Create();
    h.BlockAt(20, Frame{1000, 1000});
    h.app.StartStopButtonClick();
    h.Blocks(30, Frame{20000, 20000});
    h.Blocks(30, Frame{2000, 2000});
    ASSERT_GT(h.app.statistics().OverTargetMs, 0);
    ASSERT_GT(h.app.statistics().UnderTargetMs, 0);
    ASSERT_GT(h.app.statistics().SquareCount, 1);
    ASSERT_EQ(h.app.statistics().SystemMax, 20000);
    h.app.StartStopButtonClick();
    EXPECT_EQ(h.app.statistics().OverTargetMs, 0);
    EXPECT_EQ(h.app.statistics().UnderTargetMs, 0);
    EXPECT_EQ(h.app.statistics().SumOfSquares, 0.0);
    EXPECT_EQ(h.app.statistics().SquareCount, 1);
    EXPECT_EQ(h.app.statistics().SystemMax, 0);
    EXPECT_EQ(h.files.appendCalls, 0);
    EXPECT_TRUE(h.dialogs.messages.empty());

    // Without SaveOnStop the period's figures stay until the next start.
    AppHarness other;
    TMeterSettings s = settings;
    s.SaveOnStop = false;
    other.Create(s);
    other.BlockAt(20, Frame{1000, 1000});
    other.app.StartStopButtonClick();
    other.Blocks(30, Frame{20000, 20000});
    other.app.StartStopButtonClick();
    EXPECT_EQ(other.app.statistics().OverTargetMs, 600);
    EXPECT_EQ(other.app.statistics().SystemMax, 20000);
}

// The Hall A test run through the whole program: 83 s over target 1, 10 s under
// target 2, saved on stop after 15 minutes.
TEST_F(ResultsCommands, RecordOfAWholeTest) {
    settings.TestName = "Hall A";
    settings.Scale = kUserFullScale;
    settings.FullScale = 95;
    settings.Calibration = -2.0;
    Create();
    ASSERT_EQ(h.app.settings().DisplayOffset, 95);
    h.SaveAs("/data/hall.txt");
    h.BlockAt(0, Frame{5000, 5000});
    h.app.StartStopButtonClick();
    int64_t t = 0;
    // The first loud block holds the period's largest (L + R) div 2.
    h.BlockAt(static_cast<uint64_t>(t += 1000), Frame{-22000, -22000});
    for (int i = 1; i < 83; ++i) {
        h.BlockAt(static_cast<uint64_t>(t += 1000), Frame{20000, -20000});
    }
    for (int i = 0; i < 10; ++i) {
        h.BlockAt(static_cast<uint64_t>(t += 1000), Frame{2000, 2000});
    }
    while (t < 900000) {
        h.BlockAt(static_cast<uint64_t>(t += 1000), Frame{5000, 5000});
    }
    EXPECT_EQ(h.app.view().OverTimeDisplay, "0:01:23.0");
    EXPECT_EQ(h.app.view().Undertimedisplay, "0:00:10.0");
    EXPECT_EQ(h.app.view().ElapTimeDisplay, "0:15:00");
    EXPECT_EQ(h.app.view().Label11, "System Max -3.5");
    const std::string average = h.app.view().LongAvgDisplay;
    EXPECT_FALSE(average.empty());
    h.app.StartStopButtonClick();

    const std::vector<std::string> lines = h.files.Lines("/data/hall.txt");
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[0], "Test Name    Hall A");
    EXPECT_EQ(lines[1], "Start Date   08 December 2026");
    EXPECT_EQ(lines[2], "Channel      Stereo (Max of L or R)");
    EXPECT_EQ(lines[3], "Full Scale   95dB");
    EXPECT_EQ(lines[4], "Target 1    85dB");
    EXPECT_EQ(lines[5], "Target 2    75dB");
    EXPECT_EQ(lines[6], "Time 14:45:00  Duration 00:15:00  Average" + average +
                            "dB  Over 00:01:23 =9.2%  Under 00:00:10 =1.1%  Max Peak 89.5dB");
    const std::string& content = h.files.contents["/data/hall.txt"];
    EXPECT_EQ(content.substr(content.size() - 2), "\r\n");
}

TEST_F(ResultsCommands, CsvRecordsWithADecimalComma) {
    h.formats.separator = U',';
    settings.FileTypes = 2;
    Create();
    h.SaveAs("/data/hall.csv", 1);
    h.BlockAt(0, Frame{5000, 5000});
    h.app.StartStopButtonClick();
    h.Blocks(100, Frame{-22000, -22000});
    h.app.StartStopButtonClick();
    const std::vector<std::string> lines = h.files.Lines("/data/hall.csv");
    ASSERT_EQ(lines.size(), 5u);
    const std::string average = h.app.view().LongAvgDisplay;
    ASSERT_NE(average.find(','), std::string::npos);
    EXPECT_EQ(lines[4],
              "14:30:02,00:00:02,\"" + average + "\",00:00:02,\"100,0\",00:00:00,\"0,0\",\"-3,5\"");
}

TEST_F(ResultsCommands, BothFormatsWhenBothBitsAreSet) {
    Create();
    h.SaveAs("/data/both.txt");
    h.app.settings().FileTypes = 3;
    h.app.StartStopButtonClick();
    h.Blocks(10, Frame{0, 0});
    h.app.StartStopButtonClick();
    const std::vector<std::string> lines = h.files.Lines("/data/both.txt");
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_EQ(lines[6].substr(0, 5), "Time ");
    EXPECT_EQ(lines[7].substr(0, 9), "14:30:00,");
}

TEST_F(ResultsCommands, SaveAsDuringATestKeepsThePeriod) {
    Create();
    h.app.StartStopButtonClick();
    h.Blocks(3, Frame{1000, 1000});
    h.AdvanceTo(5 * 60000);
    h.SaveAs("/data/late.csv", 3);
    // The schedule restarts from now; the period does not.
    EXPECT_EQ(h.app.testRun().NextMinuteSaveTime, fakes::At(2026, 12, 8, 14, 50));
    EXPECT_EQ(h.app.testRun().PeriodStartTick, 5'000'000u);
    h.BlockAt(6 * 60000, Frame{1000, 1000});
    h.app.StartStopButtonClick();
    const std::vector<std::string> lines = h.files.Lines("/data/late.csv");
    ASSERT_EQ(lines.size(), 5u);
    // Right after the start the run-time average readout is still empty.
    EXPECT_EQ(lines[4], "14:36:00,00:06:00,,00:00:00,0.0,00:00:00,0.0,-30.3");
}

TEST_F(ResultsCommands, StartEmptiesTheRunTimeAverage) {
    settings.AverageLength = 14;
    Create();
    h.app.StartStopButtonClick();
    h.Blocks(28, Frame{3000, 3000});
    EXPECT_EQ(h.app.view().LongAvgDisplay,
              FormatLevelReadout(ReadoutDb(h.app.statistics().RunTimeAverage, -2.0, 0), U'.'));
    h.app.StartStopButtonClick();
    // Stopping keeps the text; starting empties it until the ring next wraps.
    EXPECT_FALSE(h.app.view().LongAvgDisplay.empty());
    h.Blocks(3, Frame{3000, 3000});
    h.app.StartStopButtonClick();
    EXPECT_EQ(h.app.view().LongAvgDisplay, "");
    h.Blocks(10, Frame{3000, 3000});
    EXPECT_EQ(h.app.view().LongAvgDisplay, "");
    h.Blocks(1, Frame{3000, 3000});
    EXPECT_FALSE(h.app.view().LongAvgDisplay.empty());

    // A period in which no block reaches the gate reads "low ".
    h.app.StartStopButtonClick();
    h.app.StartStopButtonClick();
    h.Blocks(14, Frame{100, 100});
    EXPECT_EQ(h.app.view().LongAvgDisplay, "low ");
}

TEST_F(ResultsCommands, APeriodNeverCountsTimeFromBeforeItsStart) {
    settings.SaveOnStop = false;
    Create();
    const Frame loud{30000, 30000};  // over target 1
    const Frame band{1500, 1500};    // under target 2, above the threshold
    // Each time the loop stalls for two seconds just before START.
    h.Blocks(5, band);
    h.AdvanceTo(h.Elapsed() + 2000);
    h.app.StartStopButtonClick();
    h.Blocks(1, loud);
    EXPECT_EQ(h.app.statistics().OverTargetMs, 20);

    h.app.StartStopButtonClick();
    h.Blocks(5, band);
    h.AdvanceTo(h.Elapsed() + 2000);
    h.app.StartStopButtonClick();
    h.Blocks(1, band);
    EXPECT_EQ(h.app.statistics().UnderTargetMs, 20);
}

}  // namespace
}  // namespace tarnwick
