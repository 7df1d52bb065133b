#include "settings/settings_store.h"

#include <memory>

#include "core/level_math.h"
#include "settings/settings_values.h"
#include "settings/sound_level_settings.h"

namespace tarnwick {
namespace {

const char* const kKeyRoot = "Software\\Hollowden";
const char* const kResultsSubfolder = "Tarnwick/";
constexpr int32_t kWrittenVersion = 40;
// The shortest sweep the setup dialog allows. A stored sweep below it would
// shrink capture blocks towards nothing (0 bytes at 0 s), so loading raises it.
constexpr double kShortestSweep = 1.0;

// Device names are stored without leading blanks or control characters.
std::string TrimLeadingBlanks(const std::string& text) {
    size_t first = 0;
    while (first < text.size() && static_cast<unsigned char>(text[first]) <= ' ') {
        ++first;
    }
    return text.substr(first);
}

// Writes values in order until one fails; after that it writes nothing.
class StoppingWriter {
public:
    explicit StoppingWriter(ISettingsKey& key) : key_(key) {}
    void operator()(const char* name, const StoredValue& value) {
        if (ok_) {
            ok_ = key_.Write(name, value);
        }
    }
    bool ok() const { return ok_; }

private:
    ISettingsKey& key_;
    bool ok_ = true;
};

// Writes every value and remembers whether any failed.
class ContinuingWriter {
public:
    explicit ContinuingWriter(ISettingsKey& key) : key_(key) {}
    void operator()(const char* name, const StoredValue& value) {
        if (!key_.Write(name, value)) {
            ok_ = false;
        }
    }
    bool ok() const { return ok_; }

private:
    ISettingsKey& key_;
    bool ok_ = true;
};

// Whether a side window is shown (under `shownName`), and its bounds, under
// `prefix` + "Width", "Height", "Left" and "Top", only while it is shown: a
// closed window keeps the bounds it had when last written.
template <typename Writer>
void WriteSideWindow(Writer& write, const char* shownName, const std::string& prefix, bool shown,
                     const TWindowBounds& bounds) {
    write(shownName, BoolValue(shown));
    if (shown) {
        write((prefix + "Width").c_str(), IntValue(bounds.width));
        write((prefix + "Height").c_str(), IntValue(bounds.height));
        write((prefix + "Left").c_str(), IntValue(bounds.left));
        write((prefix + "Top").c_str(), IntValue(bounds.top));
    }
}

template <typename Writer>
void WriteNumericWindow(Writer& write, const TWindowPlacement& windows) {
    WriteSideWindow(write, "BigNumbers", "Num", windows.numericVisible, windows.numeric);
}

template <typename Writer>
void WriteLoudnessWindow(Writer& write, const TWindowPlacement& windows) {
    WriteSideWindow(write, "Loudness Window", "Loud", windows.loudnessVisible, windows.loudness);
}

template <typename Writer>
void WriteSoundLevelWindow(Writer& write, const TWindowPlacement& windows) {
    WriteSideWindow(write, "SPL Window", "SPL", windows.soundLevelVisible, windows.soundLevel);
}

// The spectrum window's state and what its keys chose.
template <typename Writer>
void WriteSpectrumWindow(Writer& write, const TMeterSettings& s, const TWindowPlacement& windows) {
    WriteSideWindow(write, "Spectrum Window", "Spectrum", windows.spectrumVisible,
                    windows.spectrum);
    WriteSpectrumSettings(
        [&write](const char* name, const StoredValue& value) { write(name, value); }, s);
}

StoredValue ColourValue(Colour colour) {
    return IntValue(static_cast<int32_t>(colour));
}

}  // namespace

std::string SettingsSubKeyFor(int32_t instanceNumber) {
    return instanceNumber == 1 ? "\\Tarnwick" : "\\Tarnwick 2";
}

std::string SettingsKeyPathFor(int32_t instanceNumber) {
    return kKeyRoot + SettingsSubKeyFor(instanceNumber);
}

std::string DefaultResultsFolder(const std::string& documentsFolder) {
    if (documentsFolder.empty()) {
        return std::string();
    }
    return documentsFolder.back() == '/' ? documentsFolder + kResultsSubfolder
                                         : documentsFolder + "/" + kResultsSubfolder;
}

TSettingsStore::TSettingsStore(ISettingsStore& store, IUserDialogs& dialogs)
    : store_(store), dialogs_(dialogs) {}

TMeterSettings TSettingsStore::LoadSettings(int32_t instanceNumber,
                                            const std::string& documentsFolder) {
    TMeterSettings s = StartSettings();
    s.InstanceNumber = instanceNumber;
    const std::string defaultFolder = DefaultResultsFolder(documentsFolder);
    s.Folder = defaultFolder;
    const std::unique_ptr<ISettingsKey> opened =
        store_.OpenOrCreate(SettingsKeyPathFor(instanceNumber));
    if (opened == nullptr) {
        return s;
    }
    ISettingsKey& key = *opened;
    const TMeterSettings d;  // every setting at its default

    // Read one by one, in this order: a failed read gives that one setting its
    // default, and each derived value is computed as soon as its source is known.
    s.Version = ReadInt(key, "Version").value_or(d.Version);
    s.DeviceName = ReadString(key, "Device Name").value_or(d.DeviceName);
    s.Calibration = ReadDouble(key, "Calibration").value_or(d.Calibration);
    s.CalibrationFactor = CalibrationFactorFor(s.Calibration);
    s.Over = ReadDouble(key, "Over").value_or(d.Over);
    s.Sweep = ReadDouble(key, "Sweep").value_or(d.Sweep);
    if (!(s.Sweep >= kShortestSweep)) {
        s.Sweep = kShortestSweep;
    }
    s.BlockBytes = BlockBytesForSweep(s.Sweep);
    s.AverageTime = ReadDouble(key, "Average Time").value_or(d.AverageTime);
    s.AverageLength = AverageLengthFor(s.AverageTime, s.BlockBytes);
    s.password = ReadString(key, "password").value_or(d.password);
    s.OnTop = ReadBool(key, "OnTop").value_or(d.OnTop);
    s.Integrate = ReadBool(key, "Integrate").value_or(d.Integrate);
    s.dbScale = ReadBool(key, "dbScale").value_or(d.dbScale);
    s.AutoStart = ReadBool(key, "AutoStart").value_or(d.AutoStart);
    s.SaveOnStop = ReadBool(key, "SaveOnStop").value_or(d.SaveOnStop);
    s.SaveOnMinutes = ReadBool(key, "SaveOnMinutes").value_or(d.SaveOnMinutes);
    s.SaveOnHours = ReadBool(key, "SaveOnHours").value_or(d.SaveOnHours);
    s.SaveMins = ReadInt(key, "Save Mins").value_or(d.SaveMins);
    s.SaveHours = ReadInt(key, "Save Hours").value_or(d.SaveHours);
    s.TestName = ReadString(key, "Test Name").value_or(d.TestName);
    if (s.TestName.empty()) {
        s.TestName = d.TestName;
    }
    s.Folder = ReadString(key, "Folder").value_or(defaultFolder);
    if (s.Folder.empty()) {
        s.Folder = defaultFolder;
    }
    s.FileTypes = ReadInt(key, "File Types").value_or(d.FileTypes);
    s.View = ReadInt(key, "View").value_or(d.View);
    s.Channel = ReadInt(key, "Channel").value_or(d.Channel);
    if (s.Channel < kChannelStereo || s.Channel > kChannelDifference) {
        s.Channel = kChannelStereo;
    }
    s.AutoLevel = ReadInt(key, "Auto Level").value_or(d.AutoLevel);
    s.Threshold = ReadInt(key, "Threshold").value_or(d.Threshold);
    s.ThresholdIgnore = ReadBool(key, "ThresholdIgnore").value_or(d.ThresholdIgnore);
    s.Locked = ReadBool(key, "Locked").value_or(d.Locked);

    // The writers spell the colour names with a capital C; names match without
    // regard to case, so these find them.
    s.Lowcolor = static_cast<Colour>(ReadInt(key, "Lowcolor").value_or(d.Lowcolor));
    s.Midcolor = static_cast<Colour>(ReadInt(key, "Midcolor").value_or(d.Midcolor));
    s.Topcolor = static_cast<Colour>(ReadInt(key, "Topcolor").value_or(d.Topcolor));
    s.Mcolor = static_cast<Colour>(ReadInt(key, "Mcolor").value_or(d.Mcolor));
    s.Rcolor = static_cast<Colour>(ReadInt(key, "Rcolor").value_or(d.Rcolor));
    s.Lavcolor = static_cast<Colour>(ReadInt(key, "Lavcolor").value_or(d.Lavcolor));
    s.Ravcolor = static_cast<Colour>(ReadInt(key, "Ravcolor").value_or(d.Ravcolor));
    s.Scolor = static_cast<Colour>(ReadInt(key, "Scolor").value_or(d.Scolor));

    s.ShowAverage = ReadBool(key, "Show Average").value_or(d.ShowAverage);
    s.ShowPeaks = ReadBool(key, "Show Peaks").value_or(d.ShowPeaks);
    s.FillPeaks = ReadBool(key, "Fill Peaks").value_or(d.FillPeaks);
    s.FillAverage = ReadBool(key, "Fill Average").value_or(d.FillAverage);
    s.ShowGrid = ReadBool(key, "Show Grid").value_or(d.ShowGrid);
    s.left = ReadInt(key, "left").value_or(d.left);
    s.top = ReadInt(key, "top").value_or(d.top);
    s.width = ReadInt(key, "width").value_or(d.width);
    s.height = ReadInt(key, "height").value_or(d.height);
    s.FullScale = ReadInt(key, "Full Scale").value_or(d.FullScale);
    s.UpperVol = ReadInt(key, "Upper Vol").value_or(d.UpperVol);
    s.LowerVol = ReadInt(key, "Lower Vol").value_or(d.LowerVol);
    s.Scale = ReadInt(key, "Scale").value_or(d.Scale);
    s.BigNumbers = ReadBool(key, "BigNumbers").value_or(d.BigNumbers);
    s.NumWidth = ReadInt(key, "NumWidth").value_or(d.NumWidth);
    s.NumHeight = ReadInt(key, "NumHeight").value_or(d.NumHeight);
    // A numeric window never opened before has the main window's place here;
    // the window opens at a first place of its own.
    const std::optional<int32_t> numLeft = ReadInt(key, "NumLeft");
    const std::optional<int32_t> numTop = ReadInt(key, "NumTop");
    s.NumLeft = numLeft.value_or(s.left);
    s.NumTop = numTop.value_or(s.top);
    s.NumPlaceStored = numLeft && numTop;
    s.LoudnessTarget = ReadDouble(key, "Loudness Target").value_or(d.LoudnessTarget);
    if (!(s.LoudnessTarget >= kLowestLoudnessTarget &&
          s.LoudnessTarget <= kHighestLoudnessTarget)) {
        s.LoudnessTarget = d.LoudnessTarget;  // not a number, or beyond any programme
    }
    s.LoudnessInResults = ReadBool(key, "Loudness In Results").value_or(d.LoudnessInResults);
    s.LoudnessWindow = ReadBool(key, "Loudness Window").value_or(d.LoudnessWindow);
    s.LoudWidth = ReadInt(key, "LoudWidth").value_or(d.LoudWidth);
    s.LoudHeight = ReadInt(key, "LoudHeight").value_or(d.LoudHeight);
    // A loudness window never placed has the place beside the main window
    // here; the window opens at a first place of its own.
    const std::optional<int32_t> loudLeft = ReadInt(key, "LoudLeft");
    const std::optional<int32_t> loudTop = ReadInt(key, "LoudTop");
    s.LoudLeft = loudLeft.value_or(s.left + s.width);
    s.LoudTop = loudTop.value_or(s.top);
    s.LoudPlaceStored = loudLeft && loudTop;
    ReadSoundLevelSettings(key, s);
    s.FileOpen = ReadBool(key, "File Open").value_or(d.FileOpen);
    const std::optional<std::string> filename = ReadString(key, "Filename");
    s.Filename = filename.value_or(d.Filename);
    if (!filename) {
        // Without a readable name there is no file to re-attach.
        s.FileOpen = false;
    }
    return s;
}

void TSettingsStore::SaveSettings(TMeterSettings& s, const TWindowPlacement& windows) {
    const std::string caption = SettingsSubKeyFor(s.InstanceNumber) + " Error";
    const std::unique_ptr<ISettingsKey> key =
        store_.OpenOrCreate(SettingsKeyPathFor(s.InstanceNumber));
    if (key == nullptr) {
        dialogs_.MessageBox(kCannotCreateKeyMessage, caption);
        return;
    }
    StoppingWriter write(*key);
    write("Version", IntValue(kWrittenVersion));
    write("Device Name", StringValue(TrimLeadingBlanks(s.DeviceName)));
    write("Calibration", DoubleValue(s.Calibration));
    write("Sweep", DoubleValue(s.Sweep));
    write("ontop", BoolValue(s.OnTop));
    write("Integrate", BoolValue(s.Integrate));
    write("dbScale", BoolValue(s.dbScale));
    write("Over", DoubleValue(s.Over));
    write("AutoStart", BoolValue(s.AutoStart));
    write("Auto Level", IntValue(s.AutoLevel));
    write("Threshold", IntValue(s.Threshold));
    write("ThresholdIgnore", BoolValue(s.ThresholdIgnore));
    write("LowColor", ColourValue(s.Lowcolor));
    write("MidColor", ColourValue(s.Midcolor));
    write("TopColor", ColourValue(s.Topcolor));
    write("MColor", ColourValue(s.Mcolor));
    write("RColor", ColourValue(s.Rcolor));
    write("LavColor", ColourValue(s.Lavcolor));
    write("RavColor", ColourValue(s.Ravcolor));
    write("SColor", ColourValue(s.Scolor));
    write("Show Average", BoolValue(s.ShowAverage));
    write("Show Peaks", BoolValue(s.ShowPeaks));
    write("Show Grid", BoolValue(s.ShowGrid));
    write("Fill Peaks", BoolValue(s.FillPeaks));
    write("Fill Average", BoolValue(s.FillAverage));
    write("SaveOnStop", BoolValue(s.SaveOnStop));
    write("SaveOnMinutes", BoolValue(s.SaveOnMinutes));
    write("SaveOnHours", BoolValue(s.SaveOnHours));
    write("Save Mins", IntValue(s.SaveMins));
    write("Save Hours", IntValue(s.SaveHours));
    write("Test Name", StringValue(s.TestName));
    write("File Types", IntValue(s.FileTypes));
    write("View", IntValue(s.View));
    write("Channel", IntValue(s.Channel));
    write("Average TIme", DoubleValue(s.AverageTime));
    if (write.ok() && !s.Locked) {
        // A password is kept only while it locks something.
        s.password.clear();
    }
    write("password", StringValue(s.password));
    write("Locked", BoolValue(s.Locked));
    write("left", IntValue(windows.main.left));
    write("top", IntValue(windows.main.top));
    if (s.StoresFileState) {
        write("File Open", BoolValue(s.FileOpen));
        write("Filename", StringValue(s.Filename));
    }
    WriteNumericWindow(write, windows);
    write("Loudness Target", DoubleValue(s.LoudnessTarget));
    write("Loudness In Results", BoolValue(s.LoudnessInResults));
    WriteLoudnessWindow(write, windows);
    WriteSoundLevelWindow(write, windows);
    WriteSpectrumWindow(write, s, windows);
    WriteSoundLevelSettings(
        [&write](const char* name, const StoredValue& value) { write(name, value); }, s);
    if (!write.ok()) {
        dialogs_.MessageBox(kCannotWriteValueMessage, caption);
    }
}

void TSettingsStore::SaveWindowState(const TMeterSettings& s, const TWindowPlacement& windows) {
    const std::unique_ptr<ISettingsKey> key =
        store_.OpenOrCreate(SettingsKeyPathFor(s.InstanceNumber));
    if (key == nullptr) {
        return;
    }
    ContinuingWriter write(*key);
    write("left", IntValue(windows.main.left));
    write("top", IntValue(windows.main.top));
    write("width", IntValue(windows.main.width));
    write("height", IntValue(windows.main.height));
    write("Upper Vol", IntValue(s.UpperVol));
    write("Lower Vol", IntValue(s.LowerVol));
    write("Full Scale", IntValue(s.FullScale));
    write("Autostart", BoolValue(s.AutoStart));
    write("Scale", IntValue(s.Scale));
    write("Folder", StringValue(s.Folder));
    write("View", IntValue(s.View));
    if (s.StoresFileState) {
        write("File Open", BoolValue(s.FileOpen));
        write("Filename", StringValue(s.Filename));
    }
    WriteNumericWindow(write, windows);
    WriteLoudnessWindow(write, windows);
    WriteSoundLevelWindow(write, windows);
    WriteSpectrumWindow(write, s, windows);
    if (!write.ok()) {
        dialogs_.MessageBox(kCannotWriteValueMessage,
                            SettingsSubKeyFor(s.InstanceNumber) + " Error");
    }
}

}  // namespace tarnwick
