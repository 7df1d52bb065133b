// The results setup dialog's model, driven on a real MeterApp: the period rows
// acting on key release, the typing filter, OK and the close box.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/results_dialog.h"
#include "tests/core/fakes.h"

namespace tarnwick {
namespace {

using fakes::AppHarness;
using fakes::At;
using fakes::Frame;

// Moments after the 14:30:00 start, in ms.
constexpr uint64_t kAt14_37_30 = 450'000;
constexpr uint64_t kAt15_27_30 = 3'450'000;

class ResultsDialog : public ::testing::Test {
protected:
    void SetUp() override {
        settings.Folder = "/home/op/Results/";
        h.Create(settings);
        dialog.FormShow();
    }
    TMeterSettings& s() { return h.app.settings(); }
    TResultsControls& c() { return dialog.controls(); }

    TMeterSettings settings = fakes::PlainLevelSettings();
    AppHarness h;
    int saves = 0;
    int32_t fileTypesWhenSaved = 0;
    TResultsDialog dialog{h.app, h.shell, [this] {
                              ++saves;
                              fileTypesWhenSaved = h.app.settings().FileTypes;
                          }};
};

TEST_F(ResultsDialog, ShowingLoadsEveryControlFromTheSettings) {
    s().TestName = "Hall A";
    s().FileTypes = 2;
    s().SaveOnStop = false;
    s().SaveOnMinutes = true;
    s().SaveOnHours = true;
    s().SaveMins = 125;
    s().SaveHours = 6;
    dialog.FormShow();
    EXPECT_EQ(c().EditName, "Hall A");
    EXPECT_TRUE(c().RBcsvChecked);
    EXPECT_FALSE(c().RBtxtChecked);
    EXPECT_FALSE(c().CBSaveOnStopChecked);
    EXPECT_TRUE(c().CBSaveOnMinutesChecked);
    EXPECT_TRUE(c().CBSaveOnHoursChecked);
    EXPECT_EQ(c().EditHours, "2");
    EXPECT_EQ(c().EditMinutes, "5");
    EXPECT_EQ(c().EditOnTheHour, "6");

    // Both bits set is not "CSV" to the dialog.
    s().FileTypes = 3;
    dialog.FormShow();
    EXPECT_FALSE(c().RBcsvChecked);
    EXPECT_TRUE(c().RBtxtChecked);
}

struct PeriodCase {
    const char* hours;
    const char* minutes;
    int32_t saveMins;
    LocalDateTime next;  // released at 14:37:30
};

class MinutesRow : public ResultsDialog, public ::testing::WithParamInterface<PeriodCase> {};

TEST_P(MinutesRow, KeyReleaseSetsThePeriodAndSchedulesFromNow) {
    const PeriodCase& p = GetParam();
    h.AdvanceTo(kAt14_37_30);
    c().EditHours = p.hours;
    c().EditMinutes = p.minutes;
    dialog.EditMinutesKeyUp();
    EXPECT_EQ(s().SaveMins, p.saveMins);
    EXPECT_EQ(h.app.testRun().NextMinuteSaveTime, p.next);
    EXPECT_EQ(saves, 0);
    // The boxes keep what was typed until the dialog is shown again.
    EXPECT_EQ(c().EditHours, p.hours);
}

INSTANTIATE_TEST_SUITE_P(Boxes, MinutesRow,
                         ::testing::Values(PeriodCase{"0", "0", 1, At(2026, 12, 8, 14, 38, 30)},
                                           PeriodCase{"30", "0", 1440, At(2026, 12, 9, 14, 37, 30)},
                                           PeriodCase{"1", "30", 90, At(2026, 12, 8, 16, 7, 30)},
                                           PeriodCase{"0", "90", 90, At(2026, 12, 8, 16, 7, 30)},
                                           PeriodCase{"", "45", 45, At(2026, 12, 8, 15, 22, 30)},
                                           PeriodCase{"1x", "5", 5, At(2026, 12, 8, 14, 42, 30)},
                                           PeriodCase{"-2", "30", 30, At(2026, 12, 8, 15, 7, 30)},
                                           PeriodCase{"99999", "0", 1440,
                                                      At(2026, 12, 9, 14, 37, 30)}));

TEST_F(ResultsDialog, ReopeningShowsTheAppliedPeriodSplitIntoHoursAndMinutes) {
    c().EditHours = "1";
    c().EditMinutes = "30";
    dialog.EditHoursKeyUp();
    dialog.FormShow();
    EXPECT_EQ(c().EditHours, "1");
    EXPECT_EQ(c().EditMinutes, "30");
}

TEST_F(ResultsDialog, EveryKeyReleaseReschedulesEvenWithoutAChange) {
    ASSERT_EQ(s().SaveMins, 15);
    h.AdvanceTo(5 * 60'000);
    dialog.EditMinutesKeyUp();  // Tab out of the box
    EXPECT_EQ(h.app.testRun().NextMinuteSaveTime, At(2026, 12, 8, 14, 50));
    h.AdvanceTo(20 * 60'000);
    dialog.EditHoursKeyUp();
    EXPECT_EQ(h.app.testRun().NextMinuteSaveTime, At(2026, 12, 8, 15, 5));
    EXPECT_EQ(s().SaveMins, 15);
}

TEST_F(ResultsDialog, MinutesThatAreNotAWholeNumberChangeNothing) {
    dialog.EditMinutesKeyUp();
    const LocalDateTime scheduled = h.app.testRun().NextMinuteSaveTime;
    h.AdvanceTo(kAt14_37_30);
    for (const char* text : {"", "-5", "5 ", "99999999999"}) {
        c().EditHours = "2";
        c().EditMinutes = text;
        dialog.EditMinutesKeyUp();
        EXPECT_EQ(s().SaveMins, 15) << text;
        EXPECT_EQ(h.app.testRun().NextMinuteSaveTime, scheduled) << text;
    }
}

struct OnTheHourCase {
    const char* text;
    int32_t saveHours;
};

class OnTheHourRow : public ResultsDialog, public ::testing::WithParamInterface<OnTheHourCase> {};

TEST_P(OnTheHourRow, KeyReleaseSetsHoursAndMovesTheSaveToTheNextWholeHour) {
    s().SaveHours = 3;
    ASSERT_FALSE(s().SaveOnHours);
    h.AdvanceTo(kAt15_27_30);
    c().EditOnTheHour = GetParam().text;
    dialog.EditOnTheHourKeyUp();
    EXPECT_EQ(s().SaveHours, GetParam().saveHours);
    EXPECT_EQ(h.app.testRun().NextHourSaveTime, At(2026, 12, 8, 16, 0));
}

INSTANTIATE_TEST_SUITE_P(Box, OnTheHourRow,
                         ::testing::Values(OnTheHourCase{"25", 24}, OnTheHourCase{"0", 1},
                                           OnTheHourCase{"24", 24}, OnTheHourCase{"7", 7},
                                           OnTheHourCase{"", 3}, OnTheHourCase{"-3", 3}));

TEST_F(ResultsDialog, TypingFilterAdmitsDigitsAndBackspaceOnly) {
    std::string admitted;
    for (int i = -128; i < 128; ++i) {
        const char key = static_cast<char>(i);
        EXPECT_EQ(dialog.EditMinutesKeyPress(key), dialog.EditOnTheHourKeyPress(key));
        if (dialog.EditMinutesKeyPress(key)) {
            admitted += key;
        }
    }
    EXPECT_EQ(admitted, std::string("\b0123456789"));
}

TEST_F(ResultsDialog, OkAppliesEverythingStoresOnceAndCloses) {
    h.AdvanceTo(kAt14_37_30);
    c().EditName = "";
    c().CBSaveOnStopChecked = false;
    c().CBSaveOnMinutesChecked = false;
    c().CBSaveOnHoursChecked = true;
    c().EditHours = "0";
    c().EditMinutes = "20";   // no key released: OK applies the row
    c().EditOnTheHour = "5";  // no key released: stays unapplied
    c().RBcsvChecked = true;
    c().RBtxtChecked = false;
    ASSERT_FALSE(dialog.closed());
    dialog.Button2Click();

    EXPECT_EQ(s().TestName, "");
    EXPECT_FALSE(s().SaveOnStop);
    EXPECT_FALSE(s().SaveOnMinutes);
    EXPECT_TRUE(s().SaveOnHours);
    EXPECT_EQ(s().SaveMins, 20);
    EXPECT_EQ(s().SaveHours, 1);
    EXPECT_EQ(s().FileTypes, 2);
    EXPECT_EQ(h.app.testRun().NextMinuteSaveTime, At(2026, 12, 8, 14, 57, 30));
    EXPECT_EQ(h.app.testRun().NextHourSaveTime, At(2026, 12, 8, 15, 0));
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(fileTypesWhenSaved, 2);  // the file type is set before the store writes
    EXPECT_TRUE(dialog.closed());

    dialog.FormShow();
    EXPECT_FALSE(dialog.closed());
    EXPECT_EQ(c().EditName, "");
    c().RBcsvChecked = false;
    c().RBtxtChecked = true;
    dialog.Button2Click();
    EXPECT_EQ(s().FileTypes, 1);
    EXPECT_EQ(saves, 2);
}

TEST_F(ResultsDialog, CloseBoxKeepsThePeriodRowsOnly) {
    const TMeterSettings before = s();
    c().EditName = "Changed";
    c().CBSaveOnStopChecked = !before.SaveOnStop;
    c().CBSaveOnHoursChecked = !before.SaveOnHours;
    c().RBcsvChecked = true;
    c().RBtxtChecked = false;
    c().EditMinutes = "20";
    dialog.EditMinutesKeyUp();
    c().EditOnTheHour = "3";
    dialog.EditOnTheHourKeyUp();
    // The close box: the window hides, and the next showing reloads.
    dialog.FormShow();

    EXPECT_EQ(s().SaveMins, 20);
    EXPECT_EQ(s().SaveHours, 3);
    EXPECT_EQ(s().TestName, before.TestName);
    EXPECT_EQ(s().SaveOnStop, before.SaveOnStop);
    EXPECT_EQ(s().SaveOnHours, before.SaveOnHours);
    EXPECT_EQ(s().FileTypes, before.FileTypes);
    EXPECT_EQ(saves, 0);
    EXPECT_EQ(c().EditName, before.TestName);
    EXPECT_EQ(c().EditMinutes, "20");
    EXPECT_FALSE(c().RBcsvChecked);
}

TEST_F(ResultsDialog, CsvChosenWhileAFileIsAttachedWritesCsvIntoThatFile) {
    ASSERT_EQ(s().FileTypes, 1);
    h.SaveAs("/data/hall.txt");
    ASSERT_EQ(h.files.Lines("/data/hall.txt").size(), 6u);
    dialog.FormShow();
    c().RBcsvChecked = true;
    c().RBtxtChecked = false;
    dialog.Button2Click();

    h.app.StartStopButtonClick();
    h.Blocks(10, Frame{0, 0});
    h.app.StartStopButtonClick();
    const std::vector<std::string> lines = h.files.Lines("/data/hall.txt");
    ASSERT_EQ(lines.size(), 7u);
    EXPECT_EQ(lines[6].substr(0, 18), "14:30:00,00:00:00,");
    EXPECT_EQ(h.files.contents.size(), 1u);
    EXPECT_EQ(s().Filename, "/data/hall.txt");
}

TEST_F(ResultsDialog, ExploreOpensTheFolderWithoutCheckingIt) {
    ASSERT_FALSE(h.shell.DirectoryExists("/home/op/Results/"));
    dialog.Button3Click();
    EXPECT_EQ(h.shell.explored, std::vector<std::string>{"/home/op/Results/"});
    EXPECT_TRUE(h.dialogs.messages.empty());
}

}  // namespace
}  // namespace tarnwick
