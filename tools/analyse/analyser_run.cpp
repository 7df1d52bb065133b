#include "tools/analyse/analyser_run.h"

#include <QLocale>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "app/meter_app.h"
#include "bands/band_meter.h"
#include "bands/band_self_test.h"
#include "core/simulated_time.h"
#include "platform/posix_text_files.h"
#include "platform/qt_regional_formats.h"
#include "settings/memory_settings_key.h"
#include "settings/sound_level_settings.h"
#include "spl/weighting_design_goal.h"
#include "spl/weighting_reach.h"
#include "tools/analyse/bands_log.h"
#include "tools/analyse/bands_table.h"
#include "tools/analyse/file_wave_input.h"
#include "tools/analyse/level_log.h"
#include "tools/analyse/loudness_log.h"
#include "tools/analyse/picture_toolkit.h"
#include "tools/analyse/readout_figure.h"
#include "tools/analyse/recording_feed.h"
#include "tools/analyse/recording_reader.h"
#include "tools/analyse/sound_level_checks.h"
#include "tools/analyse/sound_level_log.h"
#include "tools/analyse/sound_level_readouts.h"
#include "tools/common/headless_ports.h"

namespace tarnwick {
namespace {

// A run without a picture writes no image file: the port refuses.
class NoImageFiles : public IImageWriter {
public:
    FileResult WriteJpeg(const std::string&, const RasterImage&, int) override { return Refused(); }
    FileResult WritePng(const std::string&, const RasterImage&) override { return Refused(); }

private:
    static FileResult Refused() { return {ENOTSUP, "no picture is drawn without --snapshot"}; }
};

bool IsKnownLocale(const std::string& name, const QLocale& locale) {
    return locale.language() != QLocale::C || name == "C" || name == "POSIX";
}

void PrintReadouts(std::FILE* out, const MeterApp& app) {
    const TMainViewState& v = app.view();
    const std::pair<const char*, const std::string*> rows[] = {
        {"PeakDisplay", &v.PeakDisplay},
        {"ShortAvglDisplay", &v.ShortAvglDisplay},
        {"LongAvgDisplay", &v.LongAvgDisplay},
        {"OverTimeDisplay", &v.OverTimeDisplay},
        {"Undertimedisplay", &v.Undertimedisplay},
        {"ElapTimeDisplay", &v.ElapTimeDisplay},
        {"Label11", &v.Label11},
        {"Label6", &v.Label6},
        {"Label3", &v.Label3},
        {"Label1", &v.Label1},
    };
    for (const auto& [name, text] : rows) {
        std::fprintf(out, "%s\t%s\n", name, text->c_str());
    }
    std::fprintf(out, "tooHigh\t%u\n", v.tooHigh);
}

void PrintLoudness(std::FILE* out, const LoudnessMeter& meter) {
    const LoudnessFigures test = meter.Test();
    std::fprintf(out, "Integrated\t%s\n", ReadoutFigure(test.integrated, "LUFS").c_str());
    std::fprintf(out, "Range\t%s\n", ReadoutFigure(test.range, "LU").c_str());
    std::fprintf(out, "TruePeak\t%s\n", ReadoutFigure(test.truePeakMax, "dBTP").c_str());
    std::fprintf(out, "MomentaryMax\t%s\n", ReadoutFigure(meter.MomentaryMax(), "LUFS").c_str());
    std::fprintf(out, "ShortTermMax\t%s\n", ReadoutFigure(meter.ShortTermMax(), "LUFS").c_str());
}

// Blocks drawn besides a whole sweep, for the rounding of a converted count.
constexpr uint64_t kExtraDrawnBlocks = 16;
constexpr uint64_t kDrawEveryBlock = 1;

// The picture saved at the end shows the last sweep of a test, a graph column
// a block, and bars that every block paints again. When the test runs to the
// end of the recording (it does unless it starts on level) and the recording
// knows its length, the blocks before the last sweep need not be drawn.
uint64_t FirstBlockToDraw(const RecordingReader& reader, const MeterApp& app,
                          uint64_t framesPerBlock) {
    if (!app.testRun().TestRunning || app.settings().AutoStart || !reader.LengthIsExact() ||
        framesPerBlock == 0) {
        return kDrawEveryBlock;
    }
    const auto frames = static_cast<uint64_t>(reader.Frames());
    const uint64_t blocks =
        frames * kSampleRate / static_cast<uint64_t>(reader.SampleRate()) / framesPerBlock;
    const uint64_t drawn = kSweepColumns + kExtraDrawnBlocks;
    return blocks > drawn ? blocks - drawn : kDrawEveryBlock;
}

// The shortest text that reads back as `value`, with a point whatever the
// locale: "12.5", "11025".
std::string ShortestNumber(double value) {
    char digits[32];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
    return std::string(digits, end.ptr);
}

// A recording below 40 kHz cannot hold the top one-third-octave bands of the
// frequency weightings (spl/weighting_reach.h): says which.
void WarnOfBandsOutOfReach(std::FILE* err, const std::string& input, unsigned long sampleRate) {
    const double lowestHz = LowestBandOutOfReachHz(sampleRate);
    if (lowestHz <= 0.0) {
        return;
    }
    std::fprintf(err,
                 "tarnwick-analyse: %s: warning: its sound levels lack the frequency weightings' "
                 "one-third-octave bands of %s kHz and up: at %lu Hz a recording holds no "
                 "frequency above %s Hz\n",
                 input.c_str(), ShortestNumber(lowestHz / 1000.0).c_str(), sampleRate,
                 ShortestNumber(static_cast<double>(sampleRate) / 2.0).c_str());
}

}  // namespace

int RunAnalyser(const AnalyserOptions& options, LocalDateTime now, std::FILE* out, std::FILE* err) {
    if (options.selfTest) {
        return RunSelfTest(out);
    }
    if (options.bandsSelfTest) {
        const std::vector<BandSelfTestRow> rows = RunBandSelfTest();
        std::fputs(FormatBandSelfTest(rows).c_str(), out);
        return std::all_of(rows.begin(), rows.end(),
                           [](const BandSelfTestRow& row) { return row.pass; })
                   ? kAnalyseOk
                   : kAnalyseFailed;
    }
    if (options.calibratorDb) {
        return RunCalibration(options, out, err);
    }
    // Check everything that can be wrong with the input before writing anything.
    const QLocale locale =
        options.locale ? QLocale(QString::fromStdString(*options.locale)) : QLocale::system();
    if (options.locale && !IsKnownLocale(*options.locale, locale)) {
        std::fprintf(err, "tarnwick-analyse: unknown locale %s\n", options.locale->c_str());
        return kAnalyseBadInput;
    }
    RecordingReader reader(options.input);
    if (!reader.IsOpen()) {
        std::fprintf(err, "tarnwick-analyse: %s\n", reader.Error().c_str());
        return kAnalyseBadInput;
    }

    SimulatedClock clock(options.tickStart, options.start.value_or(now));
    SimulatedTimers timers(clock);
    FileWaveInput device(reader);
    QtRegionalFormats formats(locale);
    ConsoleDialogs dialogs(err);
    RecordingProcessControl process;
    MemorySettingsStore store;
    PosixTextFiles files;
    HeadlessShell shell;
    SilentWaveOutput output;
    // The picture is drawn only when it is to be saved, and the toolkit that
    // draws it is loaded only then.
    NoImageFiles noImages;
    PictureToolkit* toolkit = nullptr;
    if (!options.snapshotFile.empty()) {
        std::string error;
        toolkit = LoadPictureToolkit(error);
        if (toolkit == nullptr) {
            std::fprintf(err, "tarnwick-analyse: %s: cannot draw the picture: %s\n",
                         options.snapshotFile.c_str(), error.c_str());
            return kAnalyseFailed;
        }
    }
    IImageWriter& images = toolkit != nullptr ? toolkit->Images() : noImages;
    MeterApp app(MeterPorts{clock, timers, device, output, formats, dialogs, process, store, files,
                            shell, images, toolkit != nullptr ? &toolkit->Text() : nullptr});
    // Nothing is replayed without a window.
    app.KeepNoTestAudio();
    // The results file is this run's alone while it runs, and appended to.
    app.WriteResultsAlone();

    // Loudness and sound level cost time: they are measured only when asked
    // for, from the recording's own samples: at its own rate, in its own
    // channels, at full precision.
    const bool loudness =
        options.loudness || options.settings.LoudnessInResults || !options.loudnessLogFile.empty();
    const bool soundLevel = options.MeasuresSoundLevel();
    std::optional<BandMeter> bands;
    LoudnessLog loudnessLog;
    SoundLevelLog soundLevelLog;
    // The bands hear the sound level's channel, or both.
    const size_t bandStride = static_cast<size_t>(reader.Channels());
    const size_t bandChannel = reader.Channels() > 1 && options.settings.SplChannel == 1 ? 1 : 0;
    const unsigned bandChannels = reader.Channels() > 1 && options.settings.SplChannel == 2 ? 2 : 1;
    std::optional<RecordingFeed> feed;
    if (loudness || soundLevel || options.bands) {
        feed.emplace(static_cast<unsigned>(reader.Channels()), reader.SampleRate());
        reader.SetNativeListener(
            [&feed](const float* samples, size_t frames) { feed->Hold(samples, frames); });
    }
    std::optional<BandsLog> bandsLog;
    // The settings' list was checked when it was set.
    BandsTable bandsTable(
        ParseStatisticsList(options.settings.SplStatistics).value_or(std::vector<double>{}));
    if (options.bands) {
        bands.emplace(*options.bands, static_cast<double>(reader.SampleRate()), bandChannels);
        if (options.bandsWeighting != 'Z') {
            std::vector<double> weighting;
            for (const Band& band : bands->Bands()) {
                weighting.push_back(WeightingDesignGoalDb(
                    options.bandsWeighting == 'A' ? FrequencyWeighting::kA : FrequencyWeighting::kC,
                    band.midHz));
            }
            bands->SetWeightingDb(std::move(weighting));
        }
        if (!options.bandsTableFile.empty()) {
            bands->KeepTimeWeighting();
        }
        if (!options.bandsLogFile.empty()) {
            bandsLog.emplace(*bands, reader.SampleRate(),
                             options.settings.SplSensitivity.value_or(0.0), options.lowFrequencyDb);
        }
        feed->AddTaker(
            [&bands, &bandsLog, bandStride, bandChannel](const float* samples, size_t frames) {
                if (bandsLog) {
                    bandsLog->Add(samples + bandChannel, frames, bandStride);
                } else {
                    bands->AddSamples(samples + bandChannel, frames, bandStride);
                }
            });
    }
    if (loudness) {
        const LoudnessChannels channels = reader.Channels() == 2 ? LoudnessChannels::kStereo
                                          : options.dualMono     ? LoudnessChannels::kDualMono
                                                                 : LoudnessChannels::kMono;
        app.MeasureLoudness(static_cast<unsigned long>(reader.SampleRate()), false, channels);
        LoudnessMeter& meter = *app.Loudness();
        feed->AddTaker(
            [&meter](const float* samples, size_t frames) { meter.AddSamples(samples, frames); });
        if (!options.loudnessLogFile.empty()) {
            meter.SetReadingObserver([&] { loudnessLog.AddRow(meter); });
        }
    }
    // The recording is the input its settings belong to: the sound level
    // sensitivity given is the recording's own, not one stored for another
    // input.
    TMeterSettings settings = options.settings;
    settings.DeviceName = device.DeviceName(0);
    if (!app.FormCreate(1, settings)) {
        return kAnalyseFailed;
    }
    if (std::string error; !app.UseMicResponse(error)) {
        std::fprintf(err, "tarnwick-analyse: %s\n", error.c_str());
        return kAnalyseBadInput;
    }
    if (bands) {
        bands->SetResponse(app.MicResponseInUse());
    }
    if (bandsLog) {
        bandsLog->SetSensitivity(app.MeasuringSensitivity().value_or(0.0));
    }
    // Made with the settings FormCreate loaded, before the test starts; a
    // recording it cannot measure (one channel, and the right one asked for)
    // is refused before any file is written.
    if (soundLevel) {
        std::string error;
        if (!app.MeasureSoundLevel(static_cast<unsigned long>(reader.SampleRate()),
                                   static_cast<unsigned>(reader.Channels()), false, error)) {
            std::fprintf(err, "tarnwick-analyse: %s: %s\n", options.input.c_str(), error.c_str());
            return kAnalyseBadInput;
        }
        feed->AddTaker([&app](const float* samples, size_t frames) {
            app.SoundLevel()->AddFrames(samples, frames);
        });
        if (!options.soundLevelLogFile.empty()) {
            app.SetSoundLevelObserver(
                [&](const SoundLevelSecond& second, const LimitEvents& events) {
                    soundLevelLog.AddRow(
                        second, WorseState(app.SoundLevelLimit(), app.SoundLevelLimitC()), events);
                });
        }
    }

    LevelLog levels;
    if (!options.levelsFile.empty() && !levels.Open(options.levelsFile)) {
        std::fprintf(err, "tarnwick-analyse: %s: cannot create the level log (%s)\n",
                     options.levelsFile.c_str(), levels.Error().c_str());
        return kAnalyseFailed;
    }
    if (bandsLog && !bandsLog->Open(options.bandsLogFile)) {
        std::fprintf(err, "tarnwick-analyse: %s: cannot create the band log (%s)\n",
                     options.bandsLogFile.c_str(), bandsLog->Error().c_str());
        return kAnalyseFailed;
    }
    if (!options.bandsTableFile.empty() && !bandsTable.Open(options.bandsTableFile)) {
        std::fprintf(err, "tarnwick-analyse: %s: cannot create the band table (%s)\n",
                     options.bandsTableFile.c_str(), bandsTable.Error().c_str());
        return kAnalyseFailed;
    }
    if (!options.loudnessLogFile.empty() && !loudnessLog.Open(options.loudnessLogFile)) {
        std::fprintf(err, "tarnwick-analyse: %s: cannot create the loudness log (%s)\n",
                     options.loudnessLogFile.c_str(), loudnessLog.Error().c_str());
        return kAnalyseFailed;
    }
    if (!options.soundLevelLogFile.empty() && !soundLevelLog.Open(options.soundLevelLogFile)) {
        std::fprintf(err, "tarnwick-analyse: %s: cannot create the sound level log (%s)\n",
                     options.soundLevelLogFile.c_str(), soundLevelLog.Error().c_str());
        return kAnalyseFailed;
    }

    app.FormShow();
    if (!options.resultsFile.empty() && !app.AttachResultsFileForAppend(options.resultsFile)) {
        return kAnalyseFailed;
    }
    if (!options.settings.AutoStart) {
        app.StartStopButtonClick();
    }

    // Every block holds the frames of the block size loaded at the start.
    const uint64_t framesPerBlock =
        static_cast<uint64_t>(app.settings().BlockBytes / kBytesPerFrame);
    const uint64_t firstDrawnBlock =
        toolkit != nullptr ? FirstBlockToDraw(reader, app, framesPerBlock) : kDrawEveryBlock;
    app.DrawEveryBlock(firstDrawnBlock == kDrawEveryBlock);
    uint64_t drawnBlocks = 0;
    for (uint64_t block = 1; framesPerBlock > 0 && !process.ended; ++block) {
        // Only a whole block of the recording moves the clock on: the test ends
        // at the tick of the last block measured.
        if (!device.FillNext()) {
            break;
        }
        if (block >= firstDrawnBlock) {
            app.DrawEveryBlock(true);
            ++drawnBlocks;
        }
        // Loudness and sound level reach the end of the block before a
        // record of the period that ends with it is written.
        if (feed) {
            feed->FeedUntil(block * framesPerBlock);
        }
        timers.AdvanceTo(block * framesPerBlock * 1000 / kSampleRate);
        if (process.ended) {
            break;
        }
        device.DeliverFilled();
        levels.AddRow(block, clock.TickCount(), app);
    }
    if (feed && !process.ended) {
        feed->FeedAll();
        if (app.Loudness() != nullptr) {
            app.Loudness()->EndProgramme();
        }
        if (app.SoundLevel() != nullptr) {
            app.SoundLevel()->Finish();
        }
    }
    if (!process.ended && app.testRun().TestRunning) {
        app.StartStopButtonClick();
    }
    if (reader.EndedEarly()) {
        std::fprintf(err,
                     "tarnwick-analyse: %s: warning: the recording ends before its header says; "
                     "its %lld frames were measured\n",
                     options.input.c_str(), static_cast<long long>(reader.FramesRead()));
    }
    if (firstDrawnBlock != kDrawEveryBlock && drawnBlocks < kSweepColumns) {
        std::fprintf(err,
                     "tarnwick-analyse: %s: warning: the recording ended before its frame count "
                     "said; the picture's graph lacks %llu columns of its last sweep\n",
                     options.snapshotFile.c_str(),
                     static_cast<unsigned long long>(kSweepColumns - drawnBlocks));
    }
    if (reader.NonFiniteSamples() > 0) {
        std::fprintf(err,
                     "tarnwick-analyse: %s: warning: %lld samples are no numbers (NaN or "
                     "infinity), the first at %.3f s; every figure measures them as silence\n",
                     options.input.c_str(), static_cast<long long>(reader.NonFiniteSamples()),
                     static_cast<double>(reader.FirstNonFiniteFrame()) / reader.SampleRate());
    }
    if (reader.SamplesAboveFullScale() > 0) {
        std::fprintf(err,
                     "tarnwick-analyse: %s: warning: %lld samples lie above full scale; the "
                     "meter's levels clip them, loudness and true peak measure them as they are\n",
                     options.input.c_str(), static_cast<long long>(reader.SamplesAboveFullScale()));
    }

    if (const SoundLevelMeter* meter = app.SoundLevel()) {
        WarnOfBandsOutOfReach(err, options.input, static_cast<unsigned long>(reader.SampleRate()));
        if (!app.settings().SplSensitivity) {
            std::fprintf(err,
                         "tarnwick-analyse: sound level is uncalibrated (no --spl-sensitivity): "
                         "its levels are dB relative to a full-scale sine\n");
        }
        if (meter->OverloadsTotal() > 0) {
            std::fprintf(err,
                         "tarnwick-analyse: %s: warning: %llu s of the recording held a sample "
                         "at full scale: their sound levels are of a clipped signal\n",
                         options.input.c_str(),
                         static_cast<unsigned long long>(meter->OverloadsTotal()));
        }
    }

    bool levelsOk = true;
    if (levels.IsOpen() && !levels.Close()) {
        levelsOk = false;
        std::fprintf(err, "tarnwick-analyse: %s: writing the level log failed (%s)\n",
                     options.levelsFile.c_str(), levels.Error().c_str());
    }
    if (bandsLog && bandsLog->IsOpen() && !bandsLog->Close()) {
        levelsOk = false;
        std::fprintf(err, "tarnwick-analyse: %s: writing the band log failed (%s)\n",
                     options.bandsLogFile.c_str(), bandsLog->Error().c_str());
    }
    if (bandsTable.IsOpen() &&
        !bandsTable.Close(*bands, app.MeasuringSensitivity().value_or(0.0))) {
        levelsOk = false;
        std::fprintf(err, "tarnwick-analyse: %s: writing the band table failed (%s)\n",
                     options.bandsTableFile.c_str(), bandsTable.Error().c_str());
    }
    if (loudnessLog.IsOpen() && !loudnessLog.Close()) {
        levelsOk = false;
        std::fprintf(err, "tarnwick-analyse: %s: writing the loudness log failed (%s)\n",
                     options.loudnessLogFile.c_str(), loudnessLog.Error().c_str());
    }
    if (soundLevelLog.IsOpen() && !soundLevelLog.Close()) {
        levelsOk = false;
        std::fprintf(err, "tarnwick-analyse: %s: writing the sound level log failed (%s)\n",
                     options.soundLevelLogFile.c_str(), soundLevelLog.Error().c_str());
    }
    bool snapshotOk = true;
    if (app.meterBitmap() != nullptr) {
        const RasterImage picture{const_cast<uint32_t*>(app.meterBitmap()->Picture()), kMeterWidth,
                                  kMeterHeight, kMeterWidth};
        const FileResult written =
            SnapshotIsPng(options.snapshotFile)
                ? images.WritePng(options.snapshotFile, picture)
                : images.WriteJpeg(options.snapshotFile, picture, kSnapshotJpegQuality);
        if (!written.ok()) {
            snapshotOk = false;
            std::fprintf(err, "tarnwick-analyse: %s: %s\n", options.snapshotFile.c_str(),
                         written.message.c_str());
        }
    }
    if (options.readouts) {
        PrintReadouts(out, app);
    }
    if (options.loudness && app.Loudness() != nullptr) {
        PrintLoudness(out, *app.Loudness());
    }
    if (options.soundLevel && app.SoundLevel() != nullptr) {
        std::fputs(SoundLevelReadouts(*app.SoundLevel(), app.settings()).c_str(), out);
    }
    if (bands) {
        const std::vector<double> bandLevels =
            bands->TestLeqDb(app.MeasuringSensitivity().value_or(0.0));
        for (size_t b = 0; b < bandLevels.size(); ++b) {
            std::fprintf(out, "%s\t%.2f\n", bands->Bands()[b].nominal.c_str(), bandLevels[b]);
        }
    }
    return process.ended || dialogs.messages > 0 || !levelsOk || !snapshotOk ? kAnalyseFailed
                                                                             : kAnalyseOk;
}

}  // namespace tarnwick
