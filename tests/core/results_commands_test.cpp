// The results file commands of MeterApp: Save As, Close File, the stored file
// state and the records written at each save.

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/level_math.h"
#include "display/readout_format.h"
#include "results/numbered_file_name.h"
#include "settings/settings_store.h"
#include "settings/settings_values.h"
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
        // A dot in a regional date is no extension: the name keeps its type's.
        TypeCase{"/data/Results  08.12.2026 1430 ", 1, 1, "/data/Results  08.12.2026 1430 .txt", 1},
        TypeCase{"/data/Results  10. Dezember 2026 1249 ", 3, 1,
                 "/data/Results  10. Dezember 2026 1249 .csv", 2},
        TypeCase{"/data/Results 08.12.2026", 1, 2, "/data/Results 08.12.2026.csv", 2},
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

// Headers of files begun on another day by earlier runs, and a record.
const std::string kCsvStart =
    "Test Name,\"Results \"\r\nStart Date,\"01 December 2026\"\r\n"
    "Channel,Stereo (Max of L or R)\r\n";
const std::string kCsvColumns = "Time ,Duration ,Average,Over dB,Over % ,Under dB,Under %,Max dB";
const std::string kCsvPlain = kCsvStart + kCsvColumns + "\r\n";
const std::string kCsvLoudness =
    kCsvStart + kCsvColumns + ",Loudness LUFS,LRA LU,True Peak dBTP\r\n";
const std::string kCsvLeft =
    "Test Name,\"Results \"\r\nStart Date,\"01 December 2026\"\r\n"
    "Channel,Left\r\n" +
    kCsvColumns + "\r\n";
const std::string kCsvOtherTest =
    "Test Name,\"Hall B\"\r\nStart Date,\"01 December 2026\"\r\n"
    "Channel,Stereo (Max of L or R)\r\n" +
    kCsvColumns + "\r\n";
const std::string kTextPlain =
    "Test Name    Results \r\nStart Date   01 December 2026\r\n"
    "Channel      Stereo (Max of L or R)\r\nFull Scale   0dB\r\nTarget 1    -10dB\r\n"
    "Target 2    -20dB\r\n";
const std::string kTextFullScale95 =
    "Test Name    Results \r\nStart Date   01 December 2026\r\n"
    "Channel      Stereo (Max of L or R)\r\nFull Scale   95dB\r\nTarget 1    85dB\r\n"
    "Target 2    75dB\r\n";
const std::string kRecord = "14:45:00,00:15:00, -7.2,00:00:01,50.0,00:00:01,50.0,-4.3\r\n";

struct AppendCase {
    const char* what;
    std::map<std::string, std::string> existing;  // the files before the run
    bool loudnessInResults;
    const char* asked;
    const char* written;  // where the records go; null: the file is refused
    bool notice;          // a message names both files
    const char* claimedElsewhere = "";
};

class AppendAttach : public ::testing::TestWithParam<AppendCase> {};

// A logger or the analyser attaches its file: never emptied, and never
// appended to under another header, the start date aside.
TEST_P(AppendAttach, RecordsGoOnlyUnderTheirOwnHeader) {
    const AppendCase& c = GetParam();
    AppHarness h;
    h.files.contents = c.existing;
    if (*c.claimedElsewhere != 0) {
        h.files.claimedElsewhere[c.claimedElsewhere] = true;
    }
    TMeterSettings s = fakes::PlainLevelSettings();
    s.LoudnessInResults = c.loudnessInResults;
    h.app.WriteResultsAlone();
    h.Create(s);
    const bool attached = h.app.AttachResultsFileForAppend(c.asked);

    ASSERT_EQ(attached, c.written != nullptr);
    for (const auto& [path, content] : c.existing) {
        if (c.written == nullptr || path != c.written || !content.empty()) {
            EXPECT_EQ(h.files.contents[path], content) << path << " changed";
        }
    }
    if (!attached) {
        EXPECT_FALSE(h.app.settings().FileOpen);
        EXPECT_TRUE(h.files.claims.empty());
        ASSERT_EQ(h.dialogs.messages.size(), 1u);
        EXPECT_NE(h.dialogs.messages[0].text.find(*c.claimedElsewhere != 0 ? c.claimedElsewhere
                                                                           : c.asked),
                  std::string::npos)
            << h.dialogs.messages[0].text;
        return;
    }
    EXPECT_EQ(h.app.settings().Filename, c.written);
    EXPECT_EQ(h.files.claims, (std::map<std::string, bool>{{c.written, true}}));
    const std::string before = h.files.contents[c.written];
    EXPECT_EQ(before.rfind("Test Name,", 0) == 0 || before.rfind("Test Name    ", 0) == 0, true)
        << "no header: " << before;
    EXPECT_TRUE(h.dialogs.messages.empty()) << "the numbered file is told, no failure";
    if (c.notice) {
        ASSERT_EQ(h.dialogs.noticesShown.size(), 1u);
        const std::string& text = h.dialogs.noticesShown[0].text;
        EXPECT_NE(text.find(std::string("Records go to ") + c.written + ": "), std::string::npos)
            << text;
        EXPECT_NE(text.find(std::string(": ") + c.asked), std::string::npos) << text;
    } else {
        EXPECT_TRUE(h.dialogs.noticesShown.empty());
    }
    h.app.SaveResultsNow();
    const std::string after = h.files.contents[c.written];
    ASSERT_EQ(after.substr(0, before.size()), before);
    const std::string record = after.substr(before.size());
    EXPECT_EQ(record.find("\r\n"), record.size() - 2) << "one record: " << record;
}

std::map<std::string, std::string> EveryNumberedNameTaken() {
    std::map<std::string, std::string> files;
    for (int n = 1; n <= kLastFileNumber; ++n) {
        files[NumberedFileName("/data/hall.csv", n)] = kCsvLeft;
    }
    return files;
}

INSTANTIATE_TEST_SUITE_P(
    ResultsCommands, AppendAttach,
    ::testing::Values(
        AppendCase{"a new file", {}, false, "/data/hall.csv", "/data/hall.csv", false},
        AppendCase{"an empty file",
                   {{"/data/hall.csv", ""}},
                   false,
                   "/data/hall.csv",
                   "/data/hall.csv",
                   false},
        AppendCase{"a file begun on another day",
                   {{"/data/hall.csv", kCsvPlain + kRecord}},
                   false,
                   "/data/hall.csv",
                   "/data/hall.csv",
                   false},
        AppendCase{"loudness columns added",
                   {{"/data/hall.csv", kCsvPlain + kRecord}},
                   true,
                   "/data/hall.csv",
                   "/data/hall (2).csv",
                   true},
        AppendCase{"loudness columns left out",
                   {{"/data/hall.csv", kCsvLoudness}},
                   false,
                   "/data/hall.csv",
                   "/data/hall (2).csv",
                   true},
        AppendCase{"another channel",
                   {{"/data/hall.csv", kCsvLeft}},
                   false,
                   "/data/hall.csv",
                   "/data/hall (2).csv",
                   true},
        AppendCase{"another test",
                   {{"/data/hall.csv", kCsvOtherTest}},
                   false,
                   "/data/hall.csv",
                   "/data/hall (2).csv",
                   true},
        AppendCase{"no results file at all",
                   {{"/data/hall.csv", "notes\r\n"}},
                   false,
                   "/data/hall.csv",
                   "/data/hall (2).csv",
                   true},
        AppendCase{"a header cut short",
                   {{"/data/hall.csv", "Test Name,\"Results \"\r\nStart Da"}},
                   false,
                   "/data/hall.csv",
                   "/data/hall (2).csv",
                   true},
        AppendCase{"the numbered file of this header goes on",
                   {{"/data/hall.csv", kCsvPlain}, {"/data/hall (2).csv", kCsvLoudness + kRecord}},
                   true,
                   "/data/hall.csv",
                   "/data/hall (2).csv",
                   true},
        AppendCase{"a numbered file of a third header is skipped",
                   {{"/data/hall.csv", kCsvLoudness}, {"/data/hall (2).csv", kCsvLeft}},
                   false,
                   "/data/hall.csv",
                   "/data/hall (3).csv",
                   true},
        AppendCase{"a text file begun on another day",
                   {{"/data/hall.txt", kTextPlain}},
                   false,
                   "/data/hall.txt",
                   "/data/hall.txt",
                   false},
        AppendCase{"a text file of another full scale, in a folder with a dot",
                   {{"/data/v1.2/hall.txt", kTextFullScale95}},
                   false,
                   "/data/v1.2/hall.txt",
                   "/data/v1.2/hall (2).txt",
                   true},
        AppendCase{"a name without extension takes the type's",
                   {{"/data/hall.txt", kTextFullScale95}},
                   false,
                   "/data/hall",
                   "/data/hall (2).txt",
                   true},
        AppendCase{"the numbered file of this header is another program's",
                   {{"/data/hall.csv", kCsvLeft}, {"/data/hall (2).csv", kCsvPlain}},
                   false,
                   "/data/hall.csv",
                   nullptr,
                   false,
                   "/data/hall (2).csv"},
        AppendCase{"every numbered name taken", EveryNumberedNameTaken(), false, "/data/hall.csv",
                   nullptr, false}),
    [](const ::testing::TestParamInfo<AppendCase>& p) {
        std::string name;
        for (const char* c = p.param.what; *c != 0; ++c) {
            if (std::isalnum(static_cast<unsigned char>(*c))) {
                name += *c;
            }
        }
        return name;
    });

struct LossCase {
    const char* what;
    bool alone;        // a logger's file; else the window's
    bool folder;       // the folder went, not only the file
    const char* told;  // the message of the first save after
};

class ResultsFileLost : public ::testing::TestWithParam<LossCase> {};

// A results file or its folder deleted while attached: a logger makes them
// again with the header and one message, and claims the new file; the
// window says at every save that it cannot write.
TEST_P(ResultsFileLost, ALoggerBeginsItAgainTheWindowSaysSo) {
    const LossCase& c = GetParam();
    AppHarness h;
    TMeterSettings s = fakes::PlainLevelSettings();
    s.FileTypes = 2;
    if (c.alone) {
        h.app.WriteResultsAlone();
    }
    h.Create(s);
    if (c.alone) {
        ASSERT_TRUE(h.app.AttachResultsFileForAppend("/data/hall.csv"));
    } else {
        h.SaveAs("/data/hall.csv");
    }
    if (c.folder) {
        h.files.DeleteFolder("/data");
    } else {
        h.files.contents.erase("/data/hall.csv");
    }
    h.files.claims.clear();  // the claim went with the file

    h.app.SaveResultsNow();
    h.app.SaveResultsNow();
    std::vector<std::string> told;
    for (const auto& m : h.dialogs.messages) {
        told.push_back(m.text);
    }
    if (!c.alone) {
        EXPECT_EQ(told, std::vector<std::string>(2, c.told)) << "once a save";
        EXPECT_FALSE(h.files.Exists("/data/hall.csv"));
        EXPECT_EQ(h.files.foldersMade, 0);
        return;
    }
    EXPECT_EQ(told, std::vector<std::string>{c.told}) << "once";
    EXPECT_EQ(h.files.foldersMade, c.folder ? 1 : 0);
    const std::vector<std::string> lines = h.files.Lines("/data/hall.csv");
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[0], "Test Name,\"Results \"");
    EXPECT_EQ(lines[3], kCsvColumns);
    EXPECT_EQ(h.files.claims, (std::map<std::string, bool>{{"/data/hall.csv", true}}));
}

INSTANTIATE_TEST_SUITE_P(
    ResultsCommands, ResultsFileLost,
    ::testing::Values(
        LossCase{"LoggersFile", true, false,
                 "/data/hall.csv was missing: created again with its header."},
        LossCase{"LoggersFolder", true, true,
                 "/data/hall.csv and its folder were missing: made again with its header."},
        LossCase{"WindowsFile", false, false,
                 "/data/hall.csv  -   Saving results failed. File may be open elsewhere. Error 2"},
        LossCase{"WindowsFolder", false, true,
                 "/data/hall.csv  -   Saving results failed. File may be open elsewhere. Error 2"}),
    [](const ::testing::TestParamInfo<LossCase>& p) { return std::string(p.param.what); });

// What the window stores of its results file when it closes or its setup is
// confirmed: only a state this run made its own. A run refused the stored
// file, or that never had one, leaves the stored state to the program that
// set it (a logger started next takes it from there).
TEST(ResultsFileState, OnlyARunThatHeldItsFileStoresItsState) {
    struct Case {
        const char* what;
        bool storedOpen;        // File Open at the start
        bool claimedElsewhere;  // the stored file is a logger's
        const char* meanwhile;  // another copy stores this file while this one runs
        std::function<void(AppHarness&)> user;
        bool open;  // File Open stored after closing
        const char* filename;
    };
    const auto nothing = [](AppHarness&) {};
    const Case cases[] = {
        {"refused at the start", true, true, nullptr, nothing, true, "/data/hall.csv"},
        {"never had a file", false, false, "/data/other.csv", nothing, true, "/data/other.csv"},
        {"restored at the start", true, false, nullptr, nothing, true, "/data/hall.csv"},
        // The run holds its file: closing last, it stores it.
        {"restored, another stored meanwhile", true, false, "/data/other.csv", nothing, true,
         "/data/hall.csv"},
        {"closed by the user", true, false, nullptr, [](AppHarness& h) { h.app.CloseFile1Click(); },
         false, "/data/hall.csv"},
        {"refused, then another chosen", true, true, nullptr,
         [](AppHarness& h) { h.SaveAs("/data/mine.csv"); }, true, "/data/mine.csv"},
    };
    for (const Case& c : cases) {
        AppHarness h;
        TMeterSettings s = fakes::PlainLevelSettings();
        s.FileOpen = c.storedOpen;
        s.Filename = c.storedOpen ? "/data/hall.csv" : "";
        std::unique_ptr<ISettingsKey> key = h.store.OpenOrCreate(kKey);
        key->Write("File Open", BoolValue(s.FileOpen));
        key->Write("Filename", StringValue(s.Filename));
        h.files.contents["/data/hall.csv"] = kCsvPlain;
        if (c.claimedElsewhere) {
            h.files.claimedElsewhere["/data/hall.csv"] = true;
        }
        h.Create(s);
        if (c.meanwhile != nullptr) {
            key->Write("File Open", BoolValue(true));
            key->Write("Filename", StringValue(c.meanwhile));
        }
        c.user(h);
        TSettingsStore store(h.store, h.dialogs);
        store.SaveSettings(h.app.settings(), TWindowPlacement{});
        store.SaveWindowState(h.app.settings(), TWindowPlacement{});

        ASSERT_TRUE(h.store.Value(kKey, "File Open").has_value()) << c.what;
        EXPECT_EQ(h.store.Value(kKey, "File Open")->dword, c.open ? 1 : 0) << c.what;
        EXPECT_EQ(h.store.Value(kKey, "Filename")->text, c.filename) << c.what;
    }
}

}  // namespace
}  // namespace tarnwick
