#include "app/config_dialog.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "fakes.h"

namespace tarnwick {
namespace {

using fakes::AppHarness;
using fakes::Frame;

class ConfigDialogTest : public ::testing::Test {
protected:
    // A created and shown main window with `stored` as the loaded settings.
    void Start(const TMeterSettings& stored = DefaultSettings()) { h.Create(stored); }

    TMeterSettings& settings() { return h.app.settings(); }
    const TConfigViewState& view() const { return dialog.view(); }

    // Puts some level into both short-term rings.
    void FillRings() {
        h.Blocks(5, Frame{8000, 8000});
        ASSERT_NE(h.app.statistics().RingPosition, 0);
    }

    bool RingsCleared() const {
        const TLevelStatistics& stats = h.app.statistics();
        auto zero = [](int32_t v) { return v == 0; };
        return stats.RingPosition == 0 &&
               std::all_of(stats.ShortRing1.begin(), stats.ShortRing1.end(), zero) &&
               std::all_of(stats.ShortRing2.begin(), stats.ShortRing2.end(), zero);
    }

    AppHarness h;
    int saves = 0;
    TConfigDialog dialog{h.app, h.dialogs, [this] { ++saves; }, U'.'};
};

TEST_F(ConfigDialogTest, OpeningStartsATestOnceAndItOutlivesTheDialog) {
    Start();
    ASSERT_FALSE(h.app.testRun().TestRunning);
    dialog.Open();
    EXPECT_TRUE(h.app.testRun().TestRunning);
    dialog.Close(false);
    EXPECT_TRUE(h.app.testRun().TestRunning);
    // A second opening must not toggle the running test off.
    dialog.Open();
    dialog.Close(true);
    EXPECT_TRUE(h.app.testRun().TestRunning);
}

TEST_F(ConfigDialogTest, FirstOpeningReappliesTheFieldsOnlyWhenTheirTextChanges) {
    Start();
    // A stale length shows whether the fields were applied.
    settings().AverageLength = 99;
    FillRings();
    dialog.Open();
    EXPECT_EQ(view().Edit3, "10.0");
    EXPECT_EQ(view().EditAvgTime, "0.3");
    EXPECT_EQ(settings().BlockBytes, 3528);
    EXPECT_EQ(settings().AverageLength, 14);
    EXPECT_EQ(h.app.view().Label6, "Time 0.28 Secs");
    EXPECT_TRUE(RingsCleared());
    EXPECT_EQ(view().Edit1, "-2");
    EXPECT_EQ(view().Label14, "2 dB");
    EXPECT_EQ(view().EditFullScale, "95");
    EXPECT_EQ(view().EditAutoStart, "-40");
    EXPECT_EQ(view().Label25, "-10");
    EXPECT_EQ(view().Label27, "-20");
    EXPECT_EQ(view().Label16, "-30");
    EXPECT_FALSE(view().EditFullScaleEnabled);
    dialog.Close(false);

    // Same texts at the next opening: nothing is re-applied, the rings stay.
    settings().AverageLength = 99;
    FillRings();
    dialog.Open();
    EXPECT_EQ(settings().AverageLength, 99);
    EXPECT_FALSE(RingsCleared());
}

TEST_F(ConfigDialogTest, OpeningFillsChecksListsAndColoursFromTheSettings) {
    h.wave.names = {"Built-in Audio Analog Stereo", "USB Microphone"};
    TMeterSettings stored = DefaultSettings();
    stored.DeviceName = "USB Microphone";
    stored.Channel = kChannelRight;
    stored.ThresholdIgnore = true;
    stored.OnTop = false;
    stored.AutoStart = true;
    stored.Scolor = 0x123456;
    stored.Lowcolor = 0x00AA00;
    Start(stored);
    settings().BlockBytes = 4400;
    dialog.Open();
    EXPECT_EQ(settings().BlockBytes, 3528) << "the sweep is re-applied";
    EXPECT_EQ(view().ComboBox1Items, h.wave.names);
    EXPECT_EQ(view().ComboBox1Index, 1);
    EXPECT_EQ(view().ComboBox1Text, "USB Microphone");
    EXPECT_EQ(view().ComboBox2Index, kChannelRight);
    EXPECT_EQ(view().scaleSelectIndex, kDefaultScale);
    EXPECT_FALSE(view().cbignorethresholdChecked);
    EXPECT_FALSE(view().ThresholdLabelsEnabled);
    EXPECT_FALSE(view().Shape3Visible);
    EXPECT_FALSE(view().CheckBox2Checked);
    EXPECT_TRUE(view().CheckBox5Checked);
    EXPECT_TRUE(h.app.view().CheckBox1Checked);
    EXPECT_EQ(view().Sbar, 0x123456u);
    EXPECT_EQ(view().Abar, 0x00AA00u);
    EXPECT_EQ(view().Shape3, 0x00AA00u);
    EXPECT_EQ(view().Shape2, stored.Topcolor);
    EXPECT_FALSE(view().cbFifthOptionChecked);
}

TEST_F(ConfigDialogTest, AverageTimeFieldTakesOnlyTimesBetweenZeroAndEleven) {
    TMeterSettings stored = DefaultSettings();
    stored.AverageTime = 0.025;
    Start(stored);
    settings().AverageLength = 7;
    dialog.Open();
    // Written as "0.025" first (one block), then as "0.0", which is 0 and out
    // of range: the length stays where 0.025 put it.
    EXPECT_EQ(view().EditAvgTime, "0.0");
    EXPECT_EQ(settings().AverageTime, 0.0);
    EXPECT_EQ(settings().AverageLength, 1);

    dialog.EditAvgTimeChange("0.5");
    EXPECT_EQ(settings().AverageLength, 25);
    EXPECT_EQ(h.app.view().Label6, "Time 0.5 Secs");
    FillRings();
    dialog.EditAvgTimeChange("100");
    EXPECT_EQ(settings().AverageTime, 100.0);
    EXPECT_EQ(settings().AverageLength, 25);
    EXPECT_TRUE(RingsCleared()) << "cleared whether or not the time was taken";
    dialog.EditAvgTimeChange("soon");
    EXPECT_EQ(settings().AverageTime, 0.3);
    EXPECT_EQ(settings().AverageLength, 14);
}

TEST_F(ConfigDialogTest, SweepFieldFiltersKeysClampsAndResizesBlocks) {
    EXPECT_TRUE(TConfigDialog::Edit3KeyPress('7'));
    EXPECT_TRUE(TConfigDialog::Edit3KeyPress('.'));
    EXPECT_TRUE(TConfigDialog::Edit3KeyPress(kBackspaceKey));
    EXPECT_FALSE(TConfigDialog::Edit3KeyPress('-'));
    EXPECT_FALSE(TConfigDialog::Edit3KeyPress(','));
    EXPECT_FALSE(TConfigDialog::Edit3KeyPress('e'));

    Start();
    dialog.Open();
    FillRings();
    dialog.Edit3Change("0.5");
    EXPECT_EQ(settings().Sweep, 1.0);
    EXPECT_EQ(settings().BlockBytes, 352);
    EXPECT_TRUE(RingsCleared());
    dialog.Edit3Change("120");
    EXPECT_EQ(settings().Sweep, 60.0);
    EXPECT_EQ(settings().BlockBytes, 21168);
    dialog.Edit3Change("");
    EXPECT_EQ(settings().Sweep, 10.0);
    EXPECT_EQ(settings().BlockBytes, 3528);

    // The sweep field recomputes the average length without the dialog's cap of
    // 500; the average field applies it.
    dialog.EditAvgTimeChange("1");
    EXPECT_EQ(settings().AverageLength, 50);
    dialog.Edit3Change("1");
    EXPECT_EQ(settings().AverageLength, 501);
    dialog.EditAvgTimeChange("1.0");
    EXPECT_EQ(settings().AverageLength, 500);
}

TEST_F(ConfigDialogTest, UnreadableCalibrationTurnsRedAndSavesAsMinusTwo) {
    Start();
    dialog.Open();
    dialog.Edit1Change("-4");
    EXPECT_EQ(settings().Calibration, -4.0);
    EXPECT_EQ(view().Label14, "4 dB");
    dialog.Edit1Change("-4x");
    EXPECT_TRUE(view().Edit1Red);
    EXPECT_EQ(settings().Calibration, 0.0);
    EXPECT_EQ(view().Label14, "4 dB");
    dialog.Edit1Change("-1.5");
    EXPECT_FALSE(view().Edit1Red);
    EXPECT_EQ(view().Label14, "1.5 dB");
    dialog.Edit1Change("abc");
    dialog.Close(true);
    EXPECT_EQ(settings().Calibration, -2.0);
    EXPECT_EQ(saves, 1);
}

TEST_F(ConfigDialogTest, CancelRefillsTheCalibrationFieldFromTheSetting) {
    Start();
    dialog.Open();
    dialog.Edit1Change("abc");
    dialog.Close(false);
    EXPECT_EQ(view().Edit1, "0");
    EXPECT_FALSE(view().Edit1Red);
    EXPECT_EQ(saves, 0);
}

TEST(ConfigDialogNumbers, FollowTheUsersDecimalSeparator) {
    EXPECT_EQ(ParseLocalNumber(" -3,5 ", U','), -3.5);
    EXPECT_EQ(ParseLocalNumber("-3.5", U','), std::nullopt);
    EXPECT_EQ(ParseLocalNumber("10.0", U'.'), 10.0);
    EXPECT_EQ(ParseLocalNumber("1E2", U'.'), 100.0);
    EXPECT_EQ(ParseLocalNumber("1.2.3", U'.'), std::nullopt);
    EXPECT_EQ(ParseLocalNumber(".", U'.'), std::nullopt);
    EXPECT_EQ(ParseLocalNumber("1e", U'.'), std::nullopt);
    EXPECT_EQ(ParseWholeNumber(" -40"), -40);
    EXPECT_EQ(ParseWholeNumber("+95"), 95);
    EXPECT_EQ(ParseWholeNumber("9.5"), std::nullopt);
    EXPECT_EQ(ParseWholeNumber("99999999999"), std::nullopt);
    EXPECT_EQ(ParseWholeNumber("+-1"), std::nullopt);
}

TEST(ConfigDialogSeparator, FractionalSweepCannotBeTypedWithADecimalComma) {
    AppHarness h;
    h.Create(DefaultSettings());
    TConfigDialog dialog(
        h.app, h.dialogs, [] {}, U',');
    dialog.Open();
    EXPECT_EQ(dialog.view().Edit3, "10,0");
    EXPECT_EQ(dialog.view().EditAvgTime, "0,3");
    dialog.Edit3Change("2.5");
    EXPECT_EQ(h.app.settings().Sweep, 10.0);
    dialog.Edit3Change("2,5");
    EXPECT_EQ(h.app.settings().Sweep, 2.5);
}

TEST_F(ConfigDialogTest, LevelButtonsStopAtTheirLimits) {
    TMeterSettings stored = DefaultSettings();
    stored.Threshold = -98;
    stored.UpperVol = 0;
    stored.LowerVol = -40;
    Start(stored);
    dialog.Open();
    dialog.DecThresholdClick();
    EXPECT_EQ(settings().Threshold, -99);
    dialog.DecThresholdClick();
    EXPECT_EQ(settings().Threshold, -99);
    EXPECT_EQ(view().Label16, "-99");
    dialog.IncUpperVolClick();
    EXPECT_EQ(settings().UpperVol, 0);
    dialog.DecUpperVolClick();
    EXPECT_EQ(settings().UpperVol, -1);
    EXPECT_EQ(view().Label25, "-1");
    dialog.DecVolClick();
    EXPECT_EQ(settings().LowerVol, -40);
    dialog.IncVolClick();
    EXPECT_EQ(view().Label27, "-39");
    // No order is kept between the targets.
    for (int i = 0; i < 50; ++i) {
        dialog.DecUpperVolClick();
    }
    EXPECT_EQ(settings().UpperVol, -40);
    EXPECT_LT(settings().UpperVol, settings().LowerVol);
}

TEST_F(ConfigDialogTest, UserFullScaleShiftsTheShownLevelsButNotTheStoredOnes) {
    TMeterSettings stored = DefaultSettings();
    stored.Scale = kUserFullScale;
    Start(stored);
    dialog.Open();
    EXPECT_TRUE(view().EditFullScaleEnabled);
    EXPECT_EQ(view().Label16, "65");
    EXPECT_EQ(view().Label25, "85");
    EXPECT_EQ(view().EditAutoStart, "55");

    dialog.EditFullScaleChange("100");
    EXPECT_EQ(settings().DisplayOffset, 100);
    EXPECT_EQ(view().Label25, "90");
    EXPECT_EQ(view().Label27, "80");
    dialog.EditFullScaleChange("loud");
    EXPECT_EQ(settings().FullScale, 95);
    EXPECT_EQ(view().Label16, "65");

    dialog.scaleSelectChange(3);
    EXPECT_EQ(settings().Scale, 3);
    EXPECT_FALSE(view().EditFullScaleEnabled);
    EXPECT_EQ(view().Label25, "-10");
    EXPECT_EQ(settings().UpperVol, -10);
    EXPECT_EQ(settings().DisplayOffset, 0);
}

TEST_F(ConfigDialogTest, TheAutoStartFieldFollowsTheScaleAndKeepsItsLevel) {
    Start();
    dialog.Open();
    EXPECT_EQ(view().EditAutoStart, "-40");
    dialog.scaleSelectChange(kUserFullScale);  // Full Scale 95
    EXPECT_EQ(view().EditAutoStart, "55");
    dialog.EditFullScaleChange("100");
    EXPECT_EQ(view().EditAutoStart, "60");
    dialog.EditAutoStartChange("70");  // typed in the scale shown: 30 dB below the top
    dialog.scaleSelectChange(2);       // "0 to - 24 dB"
    EXPECT_EQ(view().EditAutoStart, "-30");
    dialog.Close(true);
    EXPECT_EQ(settings().AutoLevel, -30);

    // Saved while the user scale shows: less its offset.
    dialog.Open();
    dialog.scaleSelectChange(kUserFullScale);
    EXPECT_EQ(view().EditAutoStart, "70");
    dialog.EditAutoStartChange("65");
    dialog.Close(true);
    EXPECT_EQ(settings().AutoLevel, -35);

    dialog.Open();
    dialog.EditAutoStartChange("quiet");
    dialog.Close(true);
    EXPECT_EQ(settings().AutoLevel, -30);
}

TEST_F(ConfigDialogTest, FifthOptionStandsForAllFourGraphBoxesOff) {
    Start();
    dialog.Open();
    dialog.cbFillPeaksClick(true);
    dialog.cbFillAverageClick(true);
    dialog.cbFifthOptionClick(true);
    EXPECT_FALSE(settings().ShowAverage || settings().ShowPeaks || settings().FillPeaks ||
                 settings().FillAverage);
    EXPECT_FALSE(view().cbShowAverageChecked || view().cbShowPeaksChecked ||
                 view().cbFillPeaksChecked || view().cbFillAverageChecked);
    dialog.cbFifthOptionClick(false);
    EXPECT_FALSE(settings().ShowPeaks);
    dialog.cbFifthOptionClick(true);
    dialog.cbShowPeaksClick(true);
    EXPECT_FALSE(view().cbFifthOptionChecked);
    EXPECT_TRUE(settings().ShowPeaks);

    dialog.cbShowPeaksClick(false);
    dialog.Close(true);
    dialog.Open();
    EXPECT_TRUE(view().cbFifthOptionChecked);
}

TEST_F(ConfigDialogTest, LockNeedsTheExactPasswordToLift) {
    Start();
    dialog.Open();
    h.dialogs.inputAnswers = {std::nullopt};
    dialog.LockSetMouseUp();
    EXPECT_FALSE(settings().Locked);
    EXPECT_FALSE(view().LockSetChecked);

    h.dialogs.inputAnswers = {"Secret", "secret", std::string(), "Secret"};
    dialog.LockSetMouseUp();
    EXPECT_EQ(h.dialogs.inputRequests.back().caption, kLockCaption);
    EXPECT_TRUE(settings().Locked);
    EXPECT_EQ(settings().password, "Secret");
    EXPECT_TRUE(view().LockSetChecked);
    EXPECT_FALSE(view().PanelsEnabled);
    EXPECT_TRUE(view().StaticText4Visible);

    dialog.LockSetMouseUp();  // wrong case
    EXPECT_EQ(h.dialogs.inputRequests.back().caption, kUnlockCaption);
    EXPECT_EQ(h.dialogs.inputRequests.back().prompt, kUnlockPrompt);
    EXPECT_TRUE(settings().Locked);
    EXPECT_TRUE(view().LockSetChecked);
    dialog.LockSetMouseUp();  // empty answer
    EXPECT_TRUE(settings().Locked);
    EXPECT_TRUE(view().LockSetChecked);

    // The lock survives closing and reopening.
    dialog.Close(false);
    dialog.Open();
    EXPECT_FALSE(view().PanelsEnabled);

    dialog.LockSetMouseUp();  // exact password
    EXPECT_FALSE(settings().Locked);
    EXPECT_EQ(settings().password, "");
    EXPECT_FALSE(view().LockSetChecked);
    EXPECT_TRUE(view().PanelsEnabled);
    EXPECT_FALSE(view().StaticText4Visible);
}

TEST_F(ConfigDialogTest, CloseBoxSwitchesTheDeviceButSavesNothing) {
    h.wave.names = {"Built-in Audio Analog Stereo", "USB Microphone"};
    Start();
    ASSERT_EQ(h.wave.openedDevice, 0);
    dialog.Open();
    dialog.CheckBox2Click(false);
    dialog.ComboBox1Change(1);
    dialog.Close(false);
    EXPECT_EQ(settings().DeviceIndex, 1);
    EXPECT_EQ(settings().DeviceName, "USB Microphone");
    EXPECT_EQ(h.wave.openedDevice, 1);
    EXPECT_EQ(saves, 0);
    EXPECT_TRUE(settings().OnTop) << "taken only with Save and Close";
}

TEST_F(ConfigDialogTest, SaveAndCloseTakesTheConfirmedControlsAndSavesOnce) {
    Start();
    dialog.Open();
    dialog.CheckBox2Click(false);
    dialog.CheckBox5Click(true);
    dialog.cbignorethresholdClick(false);
    EXPECT_TRUE(settings().ThresholdIgnore) << "applied at once";
    EXPECT_FALSE(view().Shape3Visible);
    dialog.CBintegrateClick(false);
    dialog.ComboBox2Change(kChannelSum);
    EXPECT_EQ(settings().Channel, kChannelSum);
    dialog.Close(true);
    EXPECT_EQ(saves, 1);
    EXPECT_FALSE(settings().OnTop);
    EXPECT_TRUE(settings().AutoStart);
    EXPECT_TRUE(h.app.view().CheckBox1Checked);
    EXPECT_FALSE(settings().Integrate);
    EXPECT_FALSE(h.app.view().Label14Visible);
    EXPECT_EQ(h.app.view().Label6, "Time 0.28 Secs");
}

TEST_F(ConfigDialogTest, ColourBlocksOpenTheDialogAtTheRightColour) {
    Start();
    dialog.Open();
    // Graph colours: the dialog opens at what it last held, nothing at first.
    h.dialogs.colourAnswers = {0x0000AA, std::nullopt, 0x00BB00, std::nullopt};
    dialog.SbarClick();
    EXPECT_EQ(h.dialogs.colourPresets.back(), std::nullopt);
    EXPECT_EQ(settings().Scolor, 0x0000AAu);
    dialog.MbarClick();  // cancelled
    EXPECT_EQ(h.dialogs.colourPresets.back(), 0x0000AAu);
    EXPECT_EQ(settings().Mcolor, DefaultSettings().Mcolor);
    // Target colours: preset to the block's own colour.
    dialog.AbarClick();
    EXPECT_EQ(h.dialogs.colourPresets.back(), DefaultSettings().Lowcolor);
    EXPECT_EQ(settings().Lowcolor, 0x00BB00u);
    dialog.RavgBarClick();  // cancelled, but opened at the Abar preset's answer
    EXPECT_EQ(h.dialogs.colourPresets.back(), 0x00BB00u);

    dialog.Close(true);
    EXPECT_EQ(view().Shape2, settings().Topcolor);
}

}  // namespace
}  // namespace tarnwick
