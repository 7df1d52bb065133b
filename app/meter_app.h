#pragma once
// MeterApp: the main window's state and commands, free of any toolkit. It owns
// the settings record, the statistics, the test run, the capture engine, the
// meter scale and the view state, and exposes every command as a method named
// after its handler. The window forwards its events here; a headless program or
// a test drives the very same object.
//
// Everything runs on one thread: blocks, timers and commands are called one at a
// time by the event loop.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/calibration_capture.h"
#include "app/input_watch.h"
#include "app/view_state.h"
#include "audio/capture_engine.h"
#include "audio/sample_store.h"
#include "bands/band_meter.h"
#include "core/block_analyser.h"
#include "core/level_statistics.h"
#include "core/meter_settings.h"
#include "core/over_lamp.h"
#include "core/ports/clock.h"
#include "core/ports/desktop_shell.h"
#include "core/ports/image_writer.h"
#include "core/ports/process_control.h"
#include "core/ports/regional_formats.h"
#include "core/ports/settings_key.h"
#include "core/ports/text_files.h"
#include "core/ports/text_rasteriser.h"
#include "core/ports/timers.h"
#include "core/ports/user_dialogs.h"
#include "core/ports/wave_device.h"
#include "display/bar_meter.h"
#include "display/meter_bitmap.h"
#include "display/meter_scale.h"
#include "display/sweep_graph.h"
#include "loudness/loudness_meter.h"
#include "results/test_run.h"
#include "spl/calibration.h"
#include "spl/calibration_history.h"
#include "spl/level_limit.h"
#include "spl/sound_level_meter.h"

namespace tarnwick {

inline const std::string kApplicationTitle = "Tarnwick";
// The folder dialog's title, after the menu item that opens it.
inline const std::string kChooseSnapshotFolderCaption = "Choose Snapshot Folder";

// The machine as the system sees it.
struct MeterPorts {
    IClock& clock;
    ITimerFactory& timers;
    IWaveInput& waveInput;
    IWaveOutput& waveOutput;
    IRegionalFormats& formats;
    IUserDialogs& dialogs;
    IProcessControl& process;
    ISettingsStore& settingsStore;
    ITextFiles& files;
    IDesktopShell& shell;
    IImageWriter& images;
    // Draws the text of the meter picture. Without one there is no picture: a
    // headless run that shows nothing measures without drawing.
    ITextRasteriser* text;
};

// JPEG quality of snapshots, on the 1 to 100 scale.
constexpr int kSnapshotJpegQuality = 85;

// Timer intervals of the main window, in milliseconds.
constexpr uint32_t kSecondTimerMs = 1000;
constexpr uint32_t kAutoStartTimerMs = 100;
constexpr uint32_t kAutoStopTimerMs = 500;
constexpr uint32_t kReplayTimerInitialMs = 2000;

// The user guide beside the program.
std::string HelpPagePath(const std::string& programFolder);

// The figures that follow the input (the peak and short-term readouts, the
// bars, momentary and short-term loudness, the live sound level) are live
// while blocks of the open stream come at least this often, in milliseconds.
// The longest block lasts 0.36 s. How often the owner looks, and blanks what
// is no longer live.
constexpr uint32_t kLiveFiguresMs = 1000;
constexpr uint32_t kLiveCheckMs = 250;
// A block that comes this much later than the audio it and the backlog
// behind it hold comes after a gap in the audio: the stream resumed, a join.
constexpr uint32_t kStreamGapToleranceMs = 250;
// What a live readout shows while it is not live.
inline const std::string kNotLiveReadout = "--";

// The levels a sound calibrator gives, in dB SPL (94 and 114 are usual).
constexpr double kLowestCalibratorDb = 70.0;
constexpr double kHighestCalibratorDb = 140.0;
inline const std::string kCalibrationCaption = "Calibration";

// `SPL Channel` as the meter takes it: 0 left, 1 right, 2 both.
MeasuredChannel SplChannelOf(int32_t setting);

// The maker's web site, opened by the Help menu.
inline constexpr char kWebSiteAddress[] = "https://www.hollowden.example/tarnwick/";

class MeterApp {
public:
    explicit MeterApp(const MeterPorts& ports);
    MeterApp(const MeterApp&) = delete;
    MeterApp& operator=(const MeterApp&) = delete;

    // --- Start-up -------------------------------------------------------------

    // Creation of the main window: clears the rings and the graph state, sets
    // the default folders, builds the start scale, takes the instance number,
    // applies the stored settings (`stored` is the record the settings loader
    // read), finds the input device by `Device Name` and opens capture, sets the
    // Auto-Start box and the caption. False when the program was ended on the
    // way.
    bool FormCreate(int32_t instanceNumber, const TMeterSettings& stored);

    // Showing the main window: draws the loaded scale (which sets DisplayOffset)
    // and clears the graph.
    void FormShow();

    // --- The meter picture --------------------------------------------------------

    // Repaints the fixed parts of the picture for the current Scale, Full Scale
    // and Channel, zeroes the held peaks and clears the graph.
    void RedrawMeter();
    void ClearScreen1Click();
    // Stamps the date and time on the picture and saves it as a JPEG in the
    // snapshot folder.
    void TakeSnapshot();
    // Saves `picture`, the loudness window as shown, as a JPEG in the snapshot
    // folder, named as the meter's snapshots with "Loudness " in front.
    void TakeLoudnessSnapshot(const RasterImage& picture);
    void ChooseSnapshotFolder1Click();
    void ExploreFolder1Click();
    void ExploreResultsFolder1Click();
    // False, after telling the user, when the snapshot folder does not exist.
    bool CheckSnapshotFolder();

    // What the settings loader does to the window besides filling the record:
    // Label6, Label14 and the restore of an attached results file.
    void ApplyLoadedSettings(const TMeterSettings& stored);

    // --- The block pipeline ----------------------------------------------------

    // One filled capture block: measures it, updates statistics, readouts, test
    // clock and display, and queues a fresh block.
    void MMWimData(CaptureBlockPtr block);
    // Whether each block draws its bars and graph column (the default). A run
    // that keeps only the final picture need not draw the blocks before its
    // last sweep: the graph scrolls them out and the bars are painted again,
    // and what a block leaves for good (a hold mark's top row) is still drawn.
    void DrawEveryBlock(bool draw) { drawBlocks_ = draw; }
    // Called after each block from the device has been processed, so that a
    // window can show the new state as it comes instead of polling for it.
    // Null: nobody is told.
    void SetBlockObserver(std::function<void()> observer) { blockObserver_ = std::move(observer); }

    // --- Test commands and timers -----------------------------------------------

    void StartStopButtonClick();
    void SecondTimerTimer();
    void AutoStartTimerTimer();
    void AutoStopTimerTimer();
    void CheckBox1Click(bool checked);

    // --- Replay -----------------------------------------------------------------

    // Starts a replay of the stored test audio (stopping a running test first),
    // or ends the one that runs.
    void ToggleReplay();
    void TBreplayClick() { ToggleReplay(); }
    void ReplayTimerTimer() { ToggleReplay(); }

    // --- Loudness -------------------------------------------------------------------

    // Measures loudness from now, at `sampleRate`: from every captured block
    // (`fromBlocks`, stereo), or from the frames the caller adds to Loudness()
    // itself, a recording at its own rate with its own `channels`. Off until
    // asked for: it costs about half a point of one core.
    void MeasureLoudness(unsigned long sampleRate, bool fromBlocks,
                         LoudnessChannels channels = LoudnessChannels::kStereo);
    // Null while loudness is not measured.
    const LoudnessMeter* Loudness() const { return loudness_.get(); }
    LoudnessMeter* Loudness() { return loudness_.get(); }
    // `Loudness In Results` changed: the period's figures are kept from now.
    void ApplyLoudnessSettings();

    // --- Sound level -----------------------------------------------------------------

    // Measures sound level from now, at `sampleRate` with `channels`
    // interleaved channels: from every captured block (`fromBlocks`, the
    // capture format), or from the frames the caller adds to SoundLevel()
    // itself, a recording at its own rate and precision. The channel, the
    // input's sensitivity and the limit come from the settings. False, with
    // `error` saying why, when it cannot be measured.
    bool MeasureSoundLevel(unsigned long sampleRate, unsigned channels, bool fromBlocks,
                           std::string& error);
    // Null while sound level is not measured.
    const SoundLevelMeter* SoundLevel() const { return soundLevel_.get(); }
    SoundLevelMeter* SoundLevel() { return soundLevel_.get(); }
    // Band levels from every captured block, of the sound level's channel
    // or both, octave or one-third octave.
    void MeasureBands(BandWidth width);
    // Null while bands are not measured.
    BandMeter* Bands() { return bands_.get(); }
    const BandMeter* Bands() const { return bands_.get(); }
    // The Spectrum window's bands, apart from Bands() (whose columns and
    // intervals the day log and the logger write): from every captured
    // block, the channel Bands() would take, with F, S and the F maximum,
    // of the width and weighting of `Spectrum Bands` and `Spectrum
    // Weighting`. Made afresh (the Leq and maxima start again) when none are
    // measured or the width or the channels changed; otherwise only the
    // weighting follows the settings. Called when the window shows and
    // whenever one of those settings changed.
    void MeasureSpectrum();
    // The window closed: its bands are measured no longer.
    void StopSpectrum() { spectrum_.reset(); }
    // The octave bands of the records, measured from every captured block
    // while the settings ask for them (SplInResults and
    // SplOctavesInResults), of the sound level's channel; made when they
    // come to be asked for, dropped when no more.
    void FollowResultsOctaves();
    // Null while the spectrum is not measured.
    BandMeter* SpectrumBands() { return spectrum_.get(); }
    const BandMeter* SpectrumBands() const { return spectrum_.get(); }
    // The limits of the settings: on LAeq (with the LCpeak and LAFmax
    // criteria), null without one (SplLimit 0); on LCeq, null without one
    // (SplCLimit 0).
    const LevelLimit* SoundLevelLimit() const { return soundLevelLimit_.limit.get(); }
    const LevelLimit* SoundLevelLimitC() const { return soundLevelLimitC_.limit.get(); }
    // The sound level settings changed (the setup dialog, a calibration, the
    // input): they apply from now. A new channel starts the figures afresh.
    void ApplySoundLevelSettings();
    // Told of every second of sound level, with the limits' changes of state
    // in that second. Null: nobody is told.
    void SetSoundLevelObserver(
        std::function<void(const SoundLevelSecond&, const LimitEvents&)> observer) {
        soundLevelObserver_ = std::move(observer);
    }
    // The microphone response of the settings (SplResponseFile) read and
    // checked: from now on every sound level and band corrects by it, and
    // its factor adds to the sensitivity. An empty name: none. False, with
    // `error` naming the file and the line at fault, when it is no
    // response; the one in use before stays.
    bool UseMicResponse(std::string& error);
    // The response in use; null: none.
    const MicResponse* MicResponseInUse() const { return micResponse_.get(); }
    // "mic.txt (crc 1a2b3c4d)": the response in use as the history and the
    // logs name it; empty without one.
    std::string MicResponseName() const;
    // The sensitivity the levels are measured with: the input's, plus the
    // response's factor. None: uncalibrated.
    std::optional<double> MeasuringSensitivity() const;
    // The sensitivity stored for input `name`, if it was ever calibrated.
    std::optional<double> StoredSensitivity(const std::string& name);
    // The sound level figures follow the input now: a meter runs on the
    // captured blocks and the input is live (InputLive). Otherwise they are
    // what was measured until then.
    bool SoundLevelLive();
    // Likewise momentary and short-term loudness.
    bool LoudnessLive();
    // Blocks of the stream now open are arriving: the input is not lost and
    // one came within kLiveFiguresMs. While it is not, the peak and
    // short-term readouts read kNotLiveReadout and the bars stand empty
    // (within kLiveCheckMs).
    bool InputLive();

    // --- Calibration -------------------------------------------------------------

    // The calibration history file, "Tarnwick calibrations.csv" beside the
    // settings file (spl/calibration_history.h). Before FormCreate; without
    // it no history is read or kept.
    void KeepCalibrationHistoryIn(const std::string& path) { calibrationHistoryPath_ = path; }
    // Starts measuring kCalibrationSeconds of `channel` of the current
    // input, with a calibrator of `referenceDb` dB SPL on its microphone; one
    // under way is dropped. False, with `error` saying why, when the level is no
    // calibrator's or the input is lost. When the 5 s are in, the block that
    // completes them decides: refused with the reason, or the sensitivity
    // stored for that input (the setting, its value in the settings store
    // and a row of the history), with a warning when it is more than
    // kCalibrationChangeDb from the sensitivity it replaces; either way a
    // message says what happened. The calibration stops, storing nothing,
    // when the input is lost or another input is chosen.
    bool StartCalibration(double referenceDb, MeasuredChannel channel, std::string& error);
    // Stops the calibration under way; nothing is stored.
    void CancelCalibration() { calibration_.reset(); }
    bool Calibrating() const { return calibration_ != nullptr; }
    // Of the calibration under way: 0 at its start, towards 1.
    double CalibrationProgress() const;
    // The outcome of the last calibration that measured its 5 s; none since
    // one started.
    const std::optional<CalibrationResult>& LastCalibration() const { return lastCalibration_; }
    // A sensitivity entered by hand for the current input (none: the input
    // is uncalibrated from now): applied and stored as a calibration is,
    // the history's row marked as entered by hand. Nothing happens when it
    // is the sensitivity in use.
    void EnterSensitivity(std::optional<double> sensitivityDb);
    // The history's record of the sensitivity in use: the latest row of the
    // current input when it holds that sensitivity; none while the input is
    // uncalibrated or the history does not record its sensitivity.
    const std::optional<CalibrationRecord>& SensitivityRecord() const { return sensitivityRecord_; }
    // `t` in the user's short date format.
    std::string ShortDateText(LocalDateTime t) { return ports_.formats.ShortDate(t); }

    // --- View menu ----------------------------------------------------------------

    // One of the three view modes (1 Compact, 2 Graph and Status, 3 Full
    // Display) chosen from the menu.
    void ViewModeClick(int32_t mode) { settings_.View = mode; }
    // The tool button steps through the three modes.
    void ToolButton1Click() { settings_.View = settings_.View + 1 > 3 ? 1 : settings_.View + 1; }
    // "Numeric Display" shows or hides the numeric window; true when it is now
    // to be shown.
    bool NumericDisplay1Click() {
        settings_.BigNumbers = !settings_.BigNumbers;
        return settings_.BigNumbers;
    }
    // The numeric window was closed by other means than the menu: the setting
    // follows. True when the menu item must be unchecked.
    bool NumericFormClose() {
        const bool wasShown = settings_.BigNumbers;
        settings_.BigNumbers = false;
        return wasShown;
    }
    // "Loudness Meter" shows or hides the loudness window; true when it is now
    // to be shown.
    bool LoudnessMeter1Click() {
        settings_.LoudnessWindow = !settings_.LoudnessWindow;
        return settings_.LoudnessWindow;
    }
    // The loudness window was closed by other means than the menu: the setting
    // follows. True when the menu item must be unchecked.
    bool LoudnessFormClose() {
        const bool wasShown = settings_.LoudnessWindow;
        settings_.LoudnessWindow = false;
        return wasShown;
    }

    // "Sound Level Meter" shows or hides the sound level window; true when it
    // is now to be shown.
    bool SoundLevelMeter1Click() {
        settings_.SplWindow = !settings_.SplWindow;
        return settings_.SplWindow;
    }
    // The sound level window was closed by other means than the menu: the
    // setting follows. True when the menu item must be unchecked.
    bool SoundLevelFormClose() {
        const bool wasShown = settings_.SplWindow;
        settings_.SplWindow = false;
        return wasShown;
    }

    // "Spectrum" shows or hides the spectrum window; true when it is now to
    // be shown.
    bool Spectrum1Click() {
        settings_.SpectrumWindow = !settings_.SpectrumWindow;
        return settings_.SpectrumWindow;
    }
    // The spectrum window was closed by other means than the menu: the
    // setting follows. True when the menu item must be unchecked.
    bool SpectrumFormClose() {
        const bool wasShown = settings_.SpectrumWindow;
        settings_.SpectrumWindow = false;
        return wasShown;
    }

    // --- A lost input ----------------------------------------------------------

    // From now on a failing input no longer closes the window: it is lost and
    // tried again by the rule of InputWatch, and `events` are told. Before
    // FormCreate.
    void WatchInput(InputWatch::Events events);
    // The input named by the stored `Device Name` is opened, or the sound
    // server's default input when it is empty, and never another: one that is
    // missing at the start makes the input lost from the start instead of
    // being replaced (a logger must never log the wrong input). With
    // WatchInput, before FormCreate.
    void RequireNamedInput() { requireNamedInput_ = true; }
    // Null until WatchInput.
    const InputWatch* inputWatch() const { return inputWatch_.get(); }
    // The window's way with a lost input, instead of closing: the message
    // once, without stopping anything; the next-save line says the input is
    // lost; the test and its results file go on, and measuring resumes when
    // the same input opens again. Before FormCreate.
    void KeepMeasuringThroughALostInput();
    // A program that never replays keeps no test audio: 85 MB less after eight
    // minutes of a test. Before FormCreate.
    void KeepNoTestAudio() { store_.Release(); }

    // --- Devices and closing ------------------------------------------------------

    // The setup dialog closed with input device `index` named `name` selected.
    void SwitchInputDevice(int32_t index, const std::string& name);
    // The window closes: playback stops. (The window state is stored by the
    // caller.)
    void FormClose();

    // Opens the user guide, Help/index.html in `programFolder`, with the
    // desktop's handler; a failure is reported with its code and the path.
    void Help2Click(const std::string& programFolder);
    // Opens the maker's web site in the browser; says so when it cannot.
    void Website1Click();

    // --- For the setup dialogs ----------------------------------------------------

    // Empties both short-term rings (a new sweep or average time).
    void ClearShortTermAverage() { ClearShortRings(stats_); }
    // Label6: the length the short-term average really spans, in seconds.
    void ShowEffectiveAverageTime();
    // Label14 "THRESHOLD ENABLED" shows exactly while the gate is in force.
    void ShowThresholdIndicator() { view_.Label14Visible = !settings_.ThresholdIgnore; }
    // The main window's " Auto-Start" box follows the setting.
    void ShowAutoStart() { view_.CheckBox1Checked = settings_.AutoStart; }
    // Both save times from now; or one of them.
    void ScheduleSaves();
    void RescheduleMinuteSave();
    void RescheduleHourSave();
    // The input devices as the setup dialog lists them.
    std::vector<std::string> ListInputDevices() { return capture_.ListInputDevices(); }

    // --- Results files ----------------------------------------------------------

    // Save As replaces the file chosen (the dialog asked the user) and
    // claims it; a file another program writes is refused with a message.
    void SaveAs1Click();
    void CloseFile1Click();
    // Attaches `path` as Save As would, except that an existing file is
    // appended to, never emptied: a logger started again goes on with its
    // file. A new or empty file is begun with the header. A file whose header
    // differs from this run's (the start date aside) is never appended to:
    // the records go to "NAME (2).EXT", or the first numbered file that is
    // new, empty or of this header (NumberedFileName), and a message names
    // both. False, after a message naming the file, when it cannot be
    // attached (another program is writing it, it cannot be created, or no
    // numbered name is left).
    bool AttachResultsFileForAppend(const std::string& path);
    // This program keeps its records alone (a logger, the analyser): its
    // claim on the results file is sole, and a file deleted while attached
    // (or its folder) is made again at the next save, with its header, a
    // message and a fresh claim, instead of failing at every save. Before
    // FormCreate.
    void WriteResultsAlone() { writeResultsAlone_ = true; }
    // Writes the record(s) of the period if a results file is attached, then
    // begins a new period in any case.
    void SaveResultsNow();

    // --- State, read by the window, the analyser and tests ----------------------

    TMeterSettings& settings() { return settings_; }
    const TMeterSettings& settings() const { return settings_; }
    const TMainViewState& view() const { return view_; }
    const TLevelStatistics& statistics() const { return stats_; }
    const TTestRun& testRun() const { return run_; }
    const TBarState& bars() const { return bars_; }
    const TSweepGraph& graph() const { return graph_; }
    const TMeterScale& meterScale() const { return scale_; }
    const TOverLamp& overLamp() const { return lamp_; }
    const TBlockLevels& lastLevels() const { return lastLevels_; }
    // Bytes the device still held when it handed back the last block.
    int32_t lastBlockBytesWaiting() const { return lastBytesWaiting_; }
    const TCaptureEngine& captureEngine() const { return capture_; }
    bool Replaying() const { return replaying_; }
    const TSampleStore& sampleStore() const { return store_; }
    // The meter picture; null in a run without one.
    const MeterBitmap* meterBitmap() const { return bitmap_.get(); }
    const std::string& SnapshotFolder() const { return snapshotFolder_; }
    const ITimer& autoStartTimer() const { return *autoStartTimer_; }
    const ITimer& autoStopTimer() const { return *autoStopTimer_; }
    const ITimer& secondTimer() const { return *secondTimer_; }
    const ITimer& replayTimer() const { return *replayTimer_; }

private:
    void TestTick();
    void UpdateNextSaveLabel(LocalDateTime now);
    std::string DateTimeText(LocalDateTime t);
    bool CheckFolder(const std::string& folder);
    void WriteRecord(bool csv);
    void StoreResultsFileState();
    void AttachResultsFile(const std::string& path);
    // Sets Filename, Folder and FileTypes for `path` as chosen with the save
    // dialog's filter `filterIndex`.
    void NameResultsFile(const std::string& path, int filterIndex);
    // Claims Filename, making it when missing; false after a message saying
    // why not.
    bool ClaimResultsFile();
    // The header a results file begun at `now` starts with.
    std::string ResultsHeaderText(LocalDateTime now);
    // Finds, claims and begins the file that the records asked for in
    // askedResultsFile_ go to (see AttachResultsFileForAppend) and names it
    // in Filename; the error naming the file when there is none.
    FileResult FindResultsFileForAppend(LocalDateTime now);
    // Appends a record to the attached file, claiming it first where it is
    // not claimed yet.
    FileResult AppendRecord(const std::string& line);
    // A logger's results file (or its folder) went while attached: made and
    // claimed again with its header, with a message; the record `line` is
    // then appended.
    FileResult BeginResultsFileAgain(const std::string& line);
    void MarkResultsFileAttached(LocalDateTime now);
    void ResetDeviceSettings();
    void DeviceFailed(const std::string& reason);
    void SoundLevelSecondDone(const SoundLevelSecond& second);
    // A block's frames reach the calibration under way, which decides once
    // it has its 5 s.
    void CalibrationFramesArrived(const uint8_t* bytes, size_t frames);
    // Stops the calibration under way, telling the user `why`.
    void AbandonCalibration(const std::string& why);
    // Applies and stores `record`'s sensitivity for the current input and
    // adds `record` to the history; what failed on the way, as sentences.
    std::string StoreSensitivity(const CalibrationRecord& record);
    // The current input's sensitivity into the settings store; why not, as a
    // sentence, when it failed.
    std::string WriteSensitivityValue(std::optional<double> sensitivityDb);
    // Looks up the history's record of the sensitivity in use.
    void ReadSensitivityRecord();
    void MakeSoundLevelLimit();
    // `count` captured frames at `frames` into `bands`, of the sound level's
    // channel or both, as the bands' channels say.
    void AddBandFrames(BandMeter& bands, const uint8_t* frames, size_t count);
    bool OpenCapture();
    // Opens the input again after a loss (or the named input at the start);
    // false, with `failure` saying why, while it cannot be.
    bool ReopenInput(std::string& failure);
    // A block from the device: processed, then the observer is told; a
    // block a closed stream hands back is dropped unseen.
    void BlockFilled(CaptureBlockPtr block);
    // The first block of a stream (opened, opened again, another input, or
    // resumed after a gap: more than kStreamGapToleranceMs longer since the
    // last block than the audio it and the device's backlog hold) is about
    // to be measured: the meters start clean at the join.
    void StartStream();
    // Every kLiveCheckMs: the live readouts and bars are blanked once the
    // input is no longer live.
    void BlankStaleFigures();
    char32_t DecimalSeparator();

    MeterPorts ports_;
    TMeterSettings settings_ = StartSettings();
    TMainViewState view_;
    TLevelStatistics stats_;
    TTestRun run_;
    TBarState bars_;
    TSweepGraph graph_;
    TMeterScale scale_;
    TOverLamp lamp_;
    TBlockLevels lastLevels_;
    int32_t lastBytesWaiting_ = 0;
    TCaptureEngine capture_;
    std::unique_ptr<MeterBitmap> bitmap_;
    bool drawBlocks_ = true;
    std::unique_ptr<LoudnessMeter> loudness_;
    bool loudnessFromBlocks_ = false;
    std::unique_ptr<SoundLevelMeter> soundLevel_;
    std::unique_ptr<BandMeter> bands_;
    std::unique_ptr<BandMeter> spectrum_;
    std::unique_ptr<BandMeter> resultsOctaves_;
    int32_t spectrumBands_ = 0;      // the `Spectrum Bands` spectrum_ was made for
    int32_t spectrumWeighting_ = 0;  // and the `Spectrum Weighting` it adds
    std::shared_ptr<const MicResponse> micResponse_;
    std::string micResponseFile_;     // its name as the settings gave it
    std::vector<float> bandSamples_;  // a block's channel for the bands
    // A limit of the settings, with what it was made for: its window holds
    // levels at the sensitivity they were measured at.
    struct HeldLimit {
        std::unique_ptr<LevelLimit> limit;
        LimitSetup setup;
        double sensitivity = 0.0;
    };
    // Keeps `held` for `setup` (none: no limit), made anew only when the
    // setup or the sensitivity changed.
    void HoldLimit(HeldLimit& held, const std::optional<LimitSetup>& setup);
    HeldLimit soundLevelLimit_;   // on LAeq, with the LCpeak and LAFmax criteria
    HeldLimit soundLevelLimitC_;  // on LCeq
    bool soundLevelFromBlocks_ = false;
    unsigned long soundLevelRate_ = 0;
    unsigned soundLevelChannels_ = 2;
    int32_t soundLevelChannel_ = 0;  // the channel the meter was made for
    std::function<void(const SoundLevelSecond&, const LimitEvents&)> soundLevelObserver_;
    std::string snapshotFolder_;  // ends in a separator; not kept between runs
    std::string calibrationHistoryPath_;
    std::unique_ptr<CalibrationCapture> calibration_;  // null unless one is under way
    std::optional<CalibrationResult> lastCalibration_;
    std::optional<CalibrationRecord> sensitivityRecord_;
    uint32_t lastBlockTick_ = 0;
    bool blockArrived_ = false;
    bool streamStarting_ = true;  // the next block is a stream's first
    bool figuresBlank_ = false;   // the live readouts and bars were blanked

    TSampleStore store_;
    bool replaying_ = false;
    bool silentReplayReported_ = false;  // a replay that could not be heard was reported

    // The next-save label changes only with the second of the clock or the save
    // time it shows; formatting dates on every block would cost more than the
    // measurement.
    struct NextSaveLabelKey {
        LocalDateTime next;
        int64_t second = -1;
        bool operator==(const NextSaveLabelKey&) const = default;
    };
    NextSaveLabelKey nextSaveLabelKey_;

    std::unique_ptr<ITimer> secondTimer_;
    std::unique_ptr<ITimer> autoStartTimer_;
    std::unique_ptr<ITimer> autoStopTimer_;
    std::unique_ptr<ITimer> replayTimer_;
    std::unique_ptr<ITimer> liveTimer_;
    std::function<void()> blockObserver_;
    std::unique_ptr<InputWatch> inputWatch_;
    // The next-save line as it was before the input was lost.
    std::string savedLabel2_;
    std::string savedLabel3_;
    bool requireNamedInput_ = false;
    std::string wantedInput_;    // with requireNamedInput_: the stored Device Name
    bool restartMarks_ = false;  // the next block starts the over and under intervals
    bool writeResultsAlone_ = false;
    // The results file as named before any numbering: where a file made
    // again is looked for.
    std::string askedResultsFile_;
    // The attached results file is claimed. A file restored at the start
    // while missing is attached unclaimed, and claimed once it is back.
    bool resultsClaimed_ = false;
};

}  // namespace tarnwick
