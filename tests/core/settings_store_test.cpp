// The settings store: what LoadSettings makes of each stored value, what the
// two writers store and in which order, and how failures reach the user.

#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "settings/settings_values.h"
#include "tests/core/fakes.h"

namespace tarnwick {
namespace {

using fakes::Binary;
using fakes::ExpandString;

const std::string kFirstKey = "Software\\Hollowden\\Tarnwick";
const std::string kSecondKey = "Software\\Hollowden\\Tarnwick 2";
const std::string kDocuments = "/home/op/Documents";
const std::string kDefaultFolder = "/home/op/Documents/Tarnwick/";
// The main window's stored edges, where a numeric window never placed opens.
constexpr int32_t kMainLeft = 120;
constexpr int32_t kMainTop = 80;

// Passes everything to a MemorySettingsStore and records the names written, as
// spelt, in order (failed writes included).
class RecordingStore : public ISettingsStore {
public:
    std::unique_ptr<ISettingsKey> OpenOrCreate(const std::string& path) override {
        opened.push_back(path);
        std::unique_ptr<ISettingsKey> key = memory.OpenOrCreate(path);
        if (key == nullptr) {
            return nullptr;
        }
        return std::make_unique<Key>(*this, std::move(key));
    }

    MemorySettingsStore memory;
    std::vector<std::string> opened;
    std::vector<std::string> written;

private:
    class Key : public ISettingsKey {
    public:
        Key(RecordingStore& owner, std::unique_ptr<ISettingsKey> key)
            : owner_(owner), key_(std::move(key)) {}
        std::optional<StoredValue> Read(const std::string& name) override {
            return key_->Read(name);
        }
        bool Write(const std::string& name, const StoredValue& value) override {
            owner_.written.push_back(name);
            return key_->Write(name, value);
        }

    private:
        RecordingStore& owner_;
        std::unique_ptr<ISettingsKey> key_;
    };
};

// Every field, derived values included.
void ExpectSameSettings(const TMeterSettings& a, const TMeterSettings& b) {
#define TARNWICK_EXPECT_FIELD(f) EXPECT_EQ(a.f, b.f) << #f
    TARNWICK_EXPECT_FIELD(DeviceName);
    TARNWICK_EXPECT_FIELD(Channel);
    TARNWICK_EXPECT_FIELD(Calibration);
    TARNWICK_EXPECT_FIELD(Integrate);
    TARNWICK_EXPECT_FIELD(Sweep);
    TARNWICK_EXPECT_FIELD(AverageTime);
    TARNWICK_EXPECT_FIELD(UpperVol);
    TARNWICK_EXPECT_FIELD(LowerVol);
    TARNWICK_EXPECT_FIELD(Threshold);
    TARNWICK_EXPECT_FIELD(ThresholdIgnore);
    TARNWICK_EXPECT_FIELD(AutoStart);
    TARNWICK_EXPECT_FIELD(AutoLevel);
    TARNWICK_EXPECT_FIELD(Scale);
    TARNWICK_EXPECT_FIELD(FullScale);
    TARNWICK_EXPECT_FIELD(ShowAverage);
    TARNWICK_EXPECT_FIELD(ShowPeaks);
    TARNWICK_EXPECT_FIELD(FillPeaks);
    TARNWICK_EXPECT_FIELD(FillAverage);
    TARNWICK_EXPECT_FIELD(ShowGrid);
    TARNWICK_EXPECT_FIELD(Lowcolor);
    TARNWICK_EXPECT_FIELD(Midcolor);
    TARNWICK_EXPECT_FIELD(Topcolor);
    TARNWICK_EXPECT_FIELD(Mcolor);
    TARNWICK_EXPECT_FIELD(Rcolor);
    TARNWICK_EXPECT_FIELD(Lavcolor);
    TARNWICK_EXPECT_FIELD(Ravcolor);
    TARNWICK_EXPECT_FIELD(Scolor);
    TARNWICK_EXPECT_FIELD(TestName);
    TARNWICK_EXPECT_FIELD(FileTypes);
    TARNWICK_EXPECT_FIELD(SaveOnStop);
    TARNWICK_EXPECT_FIELD(SaveOnMinutes);
    TARNWICK_EXPECT_FIELD(SaveMins);
    TARNWICK_EXPECT_FIELD(SaveOnHours);
    TARNWICK_EXPECT_FIELD(SaveHours);
    TARNWICK_EXPECT_FIELD(Folder);
    TARNWICK_EXPECT_FIELD(OnTop);
    TARNWICK_EXPECT_FIELD(View);
    TARNWICK_EXPECT_FIELD(left);
    TARNWICK_EXPECT_FIELD(top);
    TARNWICK_EXPECT_FIELD(width);
    TARNWICK_EXPECT_FIELD(height);
    TARNWICK_EXPECT_FIELD(BigNumbers);
    TARNWICK_EXPECT_FIELD(NumWidth);
    TARNWICK_EXPECT_FIELD(NumHeight);
    TARNWICK_EXPECT_FIELD(NumLeft);
    TARNWICK_EXPECT_FIELD(NumTop);
    TARNWICK_EXPECT_FIELD(FileOpen);
    TARNWICK_EXPECT_FIELD(Filename);
    TARNWICK_EXPECT_FIELD(Locked);
    TARNWICK_EXPECT_FIELD(password);
    TARNWICK_EXPECT_FIELD(Version);
    TARNWICK_EXPECT_FIELD(Over);
    TARNWICK_EXPECT_FIELD(dbScale);
    TARNWICK_EXPECT_FIELD(BlockBytes);
    TARNWICK_EXPECT_FIELD(AverageLength);
    TARNWICK_EXPECT_FIELD(CalibrationFactor);
    TARNWICK_EXPECT_FIELD(DisplayOffset);
    TARNWICK_EXPECT_FIELD(DeviceIndex);
    TARNWICK_EXPECT_FIELD(InstanceNumber);
#undef TARNWICK_EXPECT_FIELD
}

TWindowPlacement Windows(bool numericVisible) {
    TWindowPlacement windows;
    windows.main = TWindowBounds{31, 42, 700, 810};
    windows.numericVisible = numericVisible;
    windows.numeric = TWindowBounds{900, 20, 640, 300};
    return windows;
}

class SettingsStoreTest : public ::testing::Test {
protected:
    TMeterSettings Load(int32_t instance = 1) { return store.LoadSettings(instance, kDocuments); }

    // Loads from a first-copy key holding only `values`.
    TMeterSettings LoadWith(const std::vector<std::pair<std::string, StoredValue>>& values) {
        MemorySettingsStore memory;
        std::unique_ptr<ISettingsKey> key = memory.OpenOrCreate(kFirstKey);
        for (const auto& [name, value] : values) {
            key->Write(name, value);
        }
        return TSettingsStore(memory, dialogs).LoadSettings(1, kDocuments);
    }

    std::optional<StoredValue> Stored(const std::string& name, const std::string& key = kFirstKey) {
        return recording.memory.Value(key, name);
    }

    void Put(const std::string& name, const StoredValue& value,
             const std::string& key = kFirstKey) {
        recording.memory.OpenOrCreate(key)->Write(name, value);
    }

    RecordingStore recording;
    fakes::FakeDialogs dialogs;
    TSettingsStore store{recording, dialogs};
};

TEST_F(SettingsStoreTest, FreshProfileLoadsEveryDefaultAndWritesNothing) {
    const TMeterSettings loaded = Load();

    TMeterSettings expected = DefaultSettings();
    expected.Folder = kDefaultFolder;
    ExpectSameSettings(loaded, expected);
    EXPECT_EQ(loaded.BlockBytes, 3528);
    EXPECT_EQ(loaded.AverageLength, 14);
    EXPECT_NEAR(loaded.CalibrationFactor, 7.943, 0.001);
    EXPECT_EQ(recording.opened, std::vector<std::string>{kFirstKey});
    EXPECT_TRUE(recording.written.empty());
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SettingsStoreTest, KeyThatCannotBeOpenedLeavesTheStartValuesSilently) {
    recording.memory.refuseOpen = true;
    const TMeterSettings loaded = Load(2);

    TMeterSettings expected = StartSettings();
    expected.InstanceNumber = 2;
    expected.Folder = kDefaultFolder;
    ExpectSameSettings(loaded, expected);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SettingsStoreTest, EverySettingSurvivesBothWritersAndReadsBack) {
    TMeterSettings s = DefaultSettings();
    s.InstanceNumber = 1;
    s.DeviceName = "USB Audio \"Pro\" \\ 2";
    s.Channel = kChannelDifference;
    s.Calibration = -4.25;
    s.Integrate = false;
    s.Sweep = 20.5;
    s.AverageTime = 1.5;
    s.UpperVol = -6;
    s.LowerVol = -26;
    s.Threshold = -44;
    s.ThresholdIgnore = true;
    s.AutoStart = true;
    s.AutoLevel = -99;
    s.Scale = kUserFullScale;
    s.FullScale = 110;
    s.ShowAverage = false;
    s.ShowPeaks = false;
    s.FillPeaks = true;
    s.FillAverage = true;
    s.ShowGrid = true;
    s.Lowcolor = 0x010203;
    s.Midcolor = 0x040506;
    s.Topcolor = 0x070809;
    s.Mcolor = 0x0A0B0C;
    s.Rcolor = 0x0D0E0F;
    s.Lavcolor = 0x101112;
    s.Ravcolor = 0x131415;
    s.Scolor = 0x161718;
    s.TestName = "Night shift";
    s.FileTypes = 2;
    s.SaveOnStop = false;
    s.SaveOnMinutes = false;
    s.SaveMins = 1440;
    s.SaveOnHours = true;
    s.SaveHours = 24;
    s.Folder = "/srv/logs/";
    s.OnTop = false;
    s.View = 1;
    s.FileOpen = true;
    s.Filename = "/srv/logs/Night shift.csv";
    s.StoresFileState = true;
    s.Locked = true;
    s.password = "open sesame";
    s.Version = 12;
    s.Over = -3.5;
    s.dbScale = false;
    const TWindowPlacement windows = Windows(true);

    store.SaveSettings(s, windows);
    store.SaveWindowState(s, windows);
    const TMeterSettings loaded = Load();

    TMeterSettings expected = s;
    expected.Version = 40;
    expected.left = windows.main.left;
    expected.top = windows.main.top;
    expected.width = windows.main.width;
    expected.height = windows.main.height;
    expected.BigNumbers = true;
    expected.NumLeft = windows.numeric.left;
    expected.NumTop = windows.numeric.top;
    expected.NumWidth = windows.numeric.width;
    expected.NumHeight = windows.numeric.height;
    DeriveLoadedValues(expected);
    ExpectSameSettings(loaded, expected);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SettingsStoreTest, WritersStoreTheirNamesInOrderAsTheySpellThem) {
    TMeterSettings s = DefaultSettings();
    s.StoresFileState = true;
    store.SaveSettings(s, Windows(true));
    EXPECT_EQ(recording.written, (std::vector<std::string>{"Version",
                                                           "Device Name",
                                                           "Calibration",
                                                           "Sweep",
                                                           "ontop",
                                                           "Integrate",
                                                           "dbScale",
                                                           "Over",
                                                           "AutoStart",
                                                           "Auto Level",
                                                           "Threshold",
                                                           "ThresholdIgnore",
                                                           "LowColor",
                                                           "MidColor",
                                                           "TopColor",
                                                           "MColor",
                                                           "RColor",
                                                           "LavColor",
                                                           "RavColor",
                                                           "SColor",
                                                           "Show Average",
                                                           "Show Peaks",
                                                           "Show Grid",
                                                           "Fill Peaks",
                                                           "Fill Average",
                                                           "SaveOnStop",
                                                           "SaveOnMinutes",
                                                           "SaveOnHours",
                                                           "Save Mins",
                                                           "Save Hours",
                                                           "Test Name",
                                                           "File Types",
                                                           "View",
                                                           "Channel",
                                                           "Average TIme",
                                                           "password",
                                                           "Locked",
                                                           "left",
                                                           "top",
                                                           "File Open",
                                                           "Filename",
                                                           "BigNumbers",
                                                           "NumWidth",
                                                           "NumHeight",
                                                           "NumLeft",
                                                           "NumTop",
                                                           "Loudness Target",
                                                           "Loudness In Results",
                                                           "Loudness Window",
                                                           "SPL Window",
                                                           "Spectrum Window",
                                                           "Spectrum Bands",
                                                           "Spectrum Reading",
                                                           "Spectrum Weighting",
                                                           "Spectrum Max Hold",
                                                           "SPL Channel",
                                                           "SPL Limit",
                                                           "SPL Minutes",
                                                           "SPL Fixed Windows",
                                                           "SPL Limit Fill",
                                                           "SPL Big Figure",
                                                           "SPL Warning Margin",
                                                           "SPL Peak Limit",
                                                           "SPL Max Limit",
                                                           "SPL C Limit",
                                                           "SPL C Minutes",
                                                           "SPL C Warning Margin",
                                                           "SPL Statistics",
                                                           "SPL Criterion",
                                                           "SPL Exchange Rate",
                                                           "SPL Log Folder",
                                                           "SPL Response File",
                                                           "SPL In Results",
                                                           "SPL Octaves In Results"}));

    recording.written.clear();
    store.SaveWindowState(s, Windows(true));
    EXPECT_EQ(recording.written, (std::vector<std::string>{"left",
                                                           "top",
                                                           "width",
                                                           "height",
                                                           "Upper Vol",
                                                           "Lower Vol",
                                                           "Full Scale",
                                                           "Autostart",
                                                           "Scale",
                                                           "Folder",
                                                           "View",
                                                           "File Open",
                                                           "Filename",
                                                           "BigNumbers",
                                                           "NumWidth",
                                                           "NumHeight",
                                                           "NumLeft",
                                                           "NumTop",
                                                           "Loudness Window",
                                                           "SPL Window",
                                                           "Spectrum Window",
                                                           "Spectrum Bands",
                                                           "Spectrum Reading",
                                                           "Spectrum Weighting",
                                                           "Spectrum Max Hold"}));
    EXPECT_EQ(recording.opened, (std::vector<std::string>{kFirstKey, kFirstKey}));
}

TEST_F(SettingsStoreTest, ValuesAreStoredInTheirKinds) {
    TMeterSettings s = DefaultSettings();
    s.DeviceName = " \t\x01 Line In 2 ";
    s.Calibration = -4.5;
    s.Version = 7;
    s.ShowGrid = true;
    s.Lowcolor = 0x00A400;
    store.SaveSettings(s, Windows(false));

    // Leading blanks and control characters go; trailing ones stay.
    EXPECT_EQ(Stored("Device Name")->text, "Line In 2 ");
    EXPECT_EQ(Stored("Device Name")->kind, ValueKind::kString);
    // -4.5 as a little-endian IEEE 754 double.
    EXPECT_EQ(Stored("Calibration")->kind, ValueKind::kBinary);
    EXPECT_EQ(Stored("Calibration")->bytes,
              (std::vector<uint8_t>{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x12, 0xC0}));
    EXPECT_EQ(Stored("Version")->dword, 40);
    EXPECT_EQ(Stored("Show Grid")->kind, ValueKind::kDword);
    EXPECT_EQ(Stored("Show Grid")->dword, 1);
    EXPECT_EQ(Stored("Show Peaks")->dword, 1);
    EXPECT_EQ(Stored("Fill Peaks")->dword, 0);
    EXPECT_EQ(Stored("LowColor")->dword, 0x00A400);
}

// --- Reading rules ---------------------------------------------------------------

TEST_F(SettingsStoreTest, NumbersOfTheWrongKindOrSizeTakeTheirDefaults) {
    // A dword where a double belongs.
    TMeterSettings s = LoadWith({{"Calibration", IntValue(-4)}});
    EXPECT_EQ(s.Calibration, -2.0);
    EXPECT_NEAR(s.CalibrationFactor, 7.943, 0.001);
    // A double must be exactly 8 bytes.
    s = LoadWith({{"Sweep", Binary({0, 0, 0x20, 0x41})}});
    EXPECT_EQ(s.Sweep, 10.0);
    EXPECT_EQ(s.BlockBytes, 3528);
    s = LoadWith({{"Average Time", Binary({0, 0, 0, 0, 0, 0, 0xF0, 0x3F, 0})}});
    EXPECT_EQ(s.AverageTime, 0.3);
    s = LoadWith({{"Average Time", StringValue("1.0")}});
    EXPECT_EQ(s.AverageTime, 0.3);
    // Ints and bools must be dwords.
    s = LoadWith({{"Upper Vol", StringValue("-5")},
                  {"Lower Vol", Binary({0xFB, 0xFF, 0xFF, 0xFF})},
                  {"Integrate", Binary({0})},
                  {"NumLeft", StringValue("7")},
                  {"left", IntValue(kMainLeft)},
                  {"top", IntValue(kMainTop)}});
    EXPECT_EQ(s.UpperVol, -10);
    EXPECT_EQ(s.LowerVol, -20);
    EXPECT_TRUE(s.Integrate);
    EXPECT_EQ(s.NumLeft, kMainLeft);
    EXPECT_EQ(s.NumTop, kMainTop);
}

TEST_F(SettingsStoreTest, AnyNonZeroDwordIsTrue) {
    const TMeterSettings s = LoadWith({{"Show Grid", IntValue(7)},
                                       {"Fill Peaks", IntValue(-1)},
                                       {"Show Average", IntValue(0)},
                                       {"AutoStart", IntValue(0x100)}});
    EXPECT_TRUE(s.ShowGrid);
    EXPECT_TRUE(s.FillPeaks);
    EXPECT_FALSE(s.ShowAverage);
    EXPECT_TRUE(s.AutoStart);
}

TEST_F(SettingsStoreTest, StringsReadEmptyWhenMissingAndFailOnlyOnAnotherKind) {
    TMeterSettings s = LoadWith({{"Device Name", IntValue(3)},
                                 {"password", Binary({'p', 'w'})},
                                 {"Test Name", IntValue(1)}});
    EXPECT_EQ(s.DeviceName, "");
    EXPECT_EQ(s.password, "");
    EXPECT_EQ(s.TestName, "Results ");

    // Empty Test Name and Folder take the defaults too.
    s = LoadWith({{"Test Name", StringValue("")}, {"Folder", StringValue("")}});
    EXPECT_EQ(s.TestName, "Results ");
    EXPECT_EQ(s.Folder, kDefaultFolder);
    s = LoadWith({{"Folder", IntValue(0)}});
    EXPECT_EQ(s.Folder, kDefaultFolder);

    // Expandable strings are taken as they stand.
    s = LoadWith({{"Folder", ExpandString("$HOME/logs/")}, {"Test Name", ExpandString("Hall")}});
    EXPECT_EQ(s.Folder, "$HOME/logs/");
    EXPECT_EQ(s.TestName, "Hall");
}

TEST_F(SettingsStoreTest, AResultsFileIsReattachedOnlyWithAReadableName) {
    TMeterSettings s =
        LoadWith({{"File Open", IntValue(1)}, {"Filename", StringValue("/srv/r.txt")}});
    EXPECT_TRUE(s.FileOpen);
    EXPECT_EQ(s.Filename, "/srv/r.txt");

    s = LoadWith({{"File Open", IntValue(1)}, {"Filename", IntValue(5)}});
    EXPECT_FALSE(s.FileOpen);
    EXPECT_EQ(s.Filename, "");

    // A missing name reads as empty without failing, so the file stays open.
    s = LoadWith({{"File Open", IntValue(1)}});
    EXPECT_TRUE(s.FileOpen);
    EXPECT_EQ(s.Filename, "");
}

TEST_F(SettingsStoreTest, NamesMatchWithoutRegardToCase) {
    const TMeterSettings s = LoadWith({{"LOWCOLOR", IntValue(0x123456)},
                                       {"scolor", IntValue(0x00FF00)},
                                       {"ONTOP", IntValue(0)},
                                       {"autostart", IntValue(1)},
                                       {"Average TIme", DoubleValue(1.0)},
                                       {"FILENAME", StringValue("/r.csv")}});
    EXPECT_EQ(s.Lowcolor, 0x123456u);
    EXPECT_EQ(s.Scolor, 0x00FF00u);
    EXPECT_FALSE(s.OnTop);
    EXPECT_TRUE(s.AutoStart);
    EXPECT_EQ(s.AverageTime, 1.0);
    EXPECT_EQ(s.AverageLength, 50);
    EXPECT_EQ(s.Filename, "/r.csv");
}

TEST_F(SettingsStoreTest, DerivedValuesFollowWhatWasRead) {
    // The loader does not clamp long sweeps.
    TMeterSettings s = LoadWith({{"Sweep", DoubleValue(300.0)}});
    EXPECT_EQ(s.Sweep, 300.0);
    EXPECT_EQ(s.BlockBytes, 64000);
    // Above the rings' capacity the length falls back to 1020.
    s = LoadWith({{"Average Time", DoubleValue(100.0)}});
    EXPECT_EQ(s.AverageLength, 1020);
    // The dialog's cap of 500 does not apply at load; the length uses the
    // block size of the sweep just read.
    s = LoadWith({{"Sweep", DoubleValue(1.0)}, {"Average Time", DoubleValue(1.0)}});
    EXPECT_EQ(s.BlockBytes, 352);
    EXPECT_EQ(s.AverageLength, 501);
    s = LoadWith({{"Calibration", DoubleValue(-20.0)}});
    EXPECT_NEAR(s.CalibrationFactor, 1.0, 1e-12);
}

TEST_F(SettingsStoreTest, ShortSweepsAndUnknownChannelsAreMended) {
    for (const double sweep : {0.5, 0.0, -3.0, std::numeric_limits<double>::quiet_NaN(),
                               -std::numeric_limits<double>::infinity()}) {
        const TMeterSettings s =
            LoadWith({{"Sweep", DoubleValue(sweep)}, {"Average Time", DoubleValue(1.0)}});
        EXPECT_EQ(s.Sweep, 1.0) << sweep;
        EXPECT_EQ(s.BlockBytes, 352) << sweep;
        EXPECT_EQ(s.AverageLength, 501) << sweep;
    }
    EXPECT_EQ(LoadWith({{"Sweep", DoubleValue(1.0)}}).Sweep, 1.0);
    EXPECT_EQ(LoadWith({{"Sweep", DoubleValue(1.5)}}).Sweep, 1.5);

    for (const int32_t channel : {9, 5, -1, std::numeric_limits<int32_t>::min()}) {
        EXPECT_EQ(LoadWith({{"Channel", IntValue(channel)}}).Channel, kChannelStereo) << channel;
    }
    for (const int32_t channel : {0, 1, 2, 3, 4}) {
        EXPECT_EQ(LoadWith({{"Channel", IntValue(channel)}}).Channel, channel);
    }
}

// --- Keys of the running copies ------------------------------------------------------

TEST_F(SettingsStoreTest, FurtherCopiesShareTheSecondKey) {
    Put("Upper Vol", IntValue(-5));
    EXPECT_EQ(Load(1).UpperVol, -5);
    // A second copy starts from the defaults the first time.
    EXPECT_EQ(Load(2).UpperVol, -10);
    Put("Upper Vol", IntValue(-7), kSecondKey);
    EXPECT_EQ(Load(2).UpperVol, -7);
    EXPECT_EQ(Load(3).UpperVol, -7);
    EXPECT_EQ(recording.opened,
              (std::vector<std::string>{kFirstKey, kSecondKey, kSecondKey, kSecondKey}));

    TMeterSettings second = Load(2);
    second.UpperVol = -3;
    recording.opened.clear();
    store.SaveSettings(second, Windows(false));
    store.SaveWindowState(second, Windows(false));
    EXPECT_EQ(recording.opened, (std::vector<std::string>{kSecondKey, kSecondKey}));
    EXPECT_EQ(Stored("Upper Vol", kSecondKey)->dword, -3);
    EXPECT_EQ(Stored("Upper Vol", kFirstKey)->dword, -5);
}

// --- The settings lock ---------------------------------------------------------------

TEST_F(SettingsStoreTest, APasswordIsStoredOnlyWhileTheSettingsAreLocked) {
    TMeterSettings s = DefaultSettings();
    s.password = "secret";
    s.Locked = false;
    store.SaveSettings(s, Windows(false));
    EXPECT_EQ(Stored("password")->text, "");
    EXPECT_EQ(s.password, "");
    EXPECT_EQ(Stored("Locked")->dword, 0);

    s.password = "secret";
    s.Locked = true;
    store.SaveSettings(s, Windows(false));
    EXPECT_EQ(Stored("password")->text, "secret");
    EXPECT_EQ(s.password, "secret");
    EXPECT_EQ(Stored("Locked")->dword, 1);
}

TEST_F(SettingsStoreTest, ConfirmingResultsSetupKeepsTheLockOfTheLastRun) {
    Put("Locked", IntValue(1));
    Put("password", StringValue("pw"));
    // The program setup dialog is never opened; the results setup dialog is
    // confirmed with the record as loaded.
    TMeterSettings s = Load();
    s.SaveMins = 30;
    store.SaveSettings(s, Windows(false));

    const TMeterSettings next = Load();
    EXPECT_TRUE(next.Locked);
    EXPECT_EQ(next.password, "pw");
    EXPECT_EQ(next.SaveMins, 30);
}

// --- The numeric window ----------------------------------------------------------------

TEST_F(SettingsStoreTest, AClosedNumericWindowKeepsItsLastBounds) {
    TMeterSettings s = DefaultSettings();
    store.SaveSettings(s, Windows(true));
    TWindowPlacement closed = Windows(false);
    closed.numeric = TWindowBounds{1, 2, 3, 4};  // not shown: must not be written

    store.SaveSettings(s, closed);
    TMeterSettings loaded = Load();
    EXPECT_FALSE(loaded.BigNumbers);
    EXPECT_EQ(loaded.NumLeft, 900);
    EXPECT_EQ(loaded.NumTop, 20);
    EXPECT_EQ(loaded.NumWidth, 640);
    EXPECT_EQ(loaded.NumHeight, 300);

    store.SaveWindowState(s, Windows(true));
    store.SaveWindowState(s, closed);
    loaded = Load();
    EXPECT_FALSE(loaded.BigNumbers);
    EXPECT_EQ(loaded.NumWidth, 640);
    EXPECT_EQ(loaded.NumLeft, 900);
}

// --- Failures ---------------------------------------------------------------------------

TEST_F(SettingsStoreTest, AKeyThatCannotBeCreatedIsReportedBySaveSettingsOnly) {
    recording.memory.refuseOpen = true;
    TMeterSettings s = DefaultSettings();
    store.SaveSettings(s, Windows(false));
    s.InstanceNumber = 2;
    store.SaveSettings(s, Windows(false));
    store.SaveWindowState(s, Windows(false));

    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0].text, "Unable to create Registry Key ");
    EXPECT_EQ(dialogs.messages[0].caption, "\\Tarnwick Error");
    EXPECT_EQ(dialogs.messages[1].text, "Unable to create Registry Key ");
    EXPECT_EQ(dialogs.messages[1].caption, "\\Tarnwick 2 Error");
}

TEST_F(SettingsStoreTest, SaveSettingsStopsAtTheFirstFailedWrite) {
    recording.memory.writesAllowed = 4;
    TMeterSettings s = DefaultSettings();
    s.Sweep = 30.0;
    store.SaveSettings(s, Windows(true));

    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Unable to write value to Registry ");
    EXPECT_EQ(dialogs.messages[0].caption, "\\Tarnwick Error");
    // Four written, the fifth failed, nothing tried after it.
    EXPECT_EQ(recording.written, (std::vector<std::string>{"Version", "Device Name", "Calibration",
                                                           "Sweep", "ontop"}));
    EXPECT_EQ(ReadDouble(*recording.memory.OpenOrCreate(kFirstKey), "Sweep"), 30.0);
    EXPECT_FALSE(Stored("ontop").has_value());
}

TEST_F(SettingsStoreTest, SaveWindowStateWritesWhatItCanAndReportsFailureOnce) {
    recording.memory.writesAllowed = 2;
    TMeterSettings s = DefaultSettings();
    s.InstanceNumber = 2;
    s.StoresFileState = true;
    store.SaveWindowState(s, Windows(true));

    EXPECT_EQ(recording.written.size(), 25u);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Unable to write value to Registry ");
    EXPECT_EQ(dialogs.messages[0].caption, "\\Tarnwick 2 Error");
    EXPECT_EQ(Stored("left", kSecondKey)->dword, 31);
    EXPECT_EQ(Stored("top", kSecondKey)->dword, 42);
}

}  // namespace
}  // namespace tarnwick
