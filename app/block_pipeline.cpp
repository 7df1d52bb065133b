// The block pipeline: one pass per filled capture block, in a fixed order.

#include <algorithm>
#include <cmath>
#include <cstring>

#include "app/meter_app.h"
#include "core/capture_format.h"
#include "core/level_math.h"
#include "display/readout_format.h"

namespace tarnwick {
namespace {

int32_t SelectPeak(const TBlockLevels& levels, int32_t channel) {
    switch (channel) {
        case kChannelRight:
            return levels.RightPeak;
        case kChannelSum:
            return levels.SumPeak;
        case kChannelDifference:
            return levels.DifferencePeak;
        default:  // Stereo and Left; a hand-edited mode outside 0..4 reads as Stereo
            return levels.LeftPeak;
    }
}

}  // namespace

void MeterApp::AddBandFrames(BandMeter& bands, const uint8_t* frames, size_t count) {
    // The sound level's channel, or both for a meter of two.
    const size_t channels = bands.Channels();
    const size_t first = channels == 1 && settings_.SplChannel == 1 ? 1 : 0;
    bandSamples_.resize(count * channels);
    for (size_t i = 0; i < bandSamples_.size(); ++i) {
        const size_t frame = i / channels;
        const uint8_t* at = frames + frame * kBytesPerFrame + 2 * (first + i % channels);
        bandSamples_[i] = static_cast<float>(ReadSample(at)) / kFullScale;
    }
    bands.AddSamples(bandSamples_.data(), count, channels);
}

void MeterApp::MMWimData(CaptureBlockPtr block) {
    if (!capture_.IsCurrent(*block)) {
        return;  // given back by the device used before a switch
    }
    // 1-2. The block is back from the device: release it.
    capture_.OutstandingBlocks -= 1;
    if (!capture_.ReleaseBlock(*block)) {
        return;
    }

    // 3-5. Measure the samples, read with the block size now in force.
    int32_t frames = settings_.BlockBytes / kBytesPerFrame;
    if (frames < 0) {
        frames = 0;
    }
    // A block queued before the sweep time grew holds fewer bytes than are read
    // now, and a block returned by a device reset may be partly filled: what the
    // device did not fill reads as silence.
    const int32_t filled = std::clamp(block->bytesRecorded, 0, frames * kBytesPerFrame);
    std::memset(block->storage.data() + filled, 0,
                static_cast<size_t>(frames * kBytesPerFrame - filled));
    settings_.CalibrationFactor = PipelineCalibrationFactorFor(settings_.Calibration);
    AnalyseBlockInput input;
    input.bytes = block->storage.data();
    input.frameCount = frames;
    input.integrate = settings_.Integrate;
    input.testRunning = run_.TestRunning;
    input.replaying = replaying_;
    const AnalyseBlockResult analysed = AnalyseBlock(
        input, SampleStoreAccess{store_.data(), store_.capacity(), &store_.StorePosition},
        stats_.SystemMax);
    TBlockLevels levels = analysed.levels;
    const char32_t separator = DecimalSeparator();
    // Readouts blanked while the input was not live show this block's figures.
    const bool refreshReadouts = figuresBlank_;
    figuresBlank_ = false;
    if (analysed.systemMaxRose) {
        view_.Label11 = FormatSystemMax(AmplitudeToDb(stats_.SystemMax, 0.0), separator);
    }

    // 6. Over lamp and loudness; the block's storage is done with. Loudness
    // belongs to the programme: both channels as captured, whatever the
    // meter's channel mode.
    UpdateOverLamp(lamp_, levels);
    view_.tooHigh = lamp_.colour;
    if (loudness_ != nullptr && loudnessFromBlocks_) {
        loudness_->AddCaptureFrames(block->storage.data(), static_cast<size_t>(frames));
    }
    if (soundLevel_ != nullptr && soundLevelFromBlocks_) {
        soundLevel_->AddCaptureFrames(block->storage.data(), static_cast<size_t>(frames));
    }
    if (bands_ != nullptr) {
        AddBandFrames(*bands_, block->storage.data(), static_cast<size_t>(frames));
    }
    if (spectrum_ != nullptr) {
        AddBandFrames(*spectrum_, block->storage.data(), static_cast<size_t>(frames));
    }
    if (resultsOctaves_ != nullptr) {
        AddBandFrames(*resultsOctaves_, block->storage.data(), static_cast<size_t>(frames));
    }
    if (calibration_ != nullptr) {
        // Only what the device recorded: silence where it filled nothing
        // would read as a calibrator that faltered.
        CalibrationFramesArrived(block->storage.data(),
                                 static_cast<size_t>(filled / kBytesPerFrame));
    }
    block.reset();

    // 7-8. Short-term average of the selected signal (the left peak in Stereo).
    const int32_t channel = settings_.Channel;
    const bool stereo = IsStereoChannel(channel);
    levels.SelectedPeak = SelectPeak(levels, channel);
    if (UpdateShortTermAverage(stats_, settings_.AverageLength, levels.SelectedPeak,
                               levels.RightPeak) ||
        refreshReadouts) {
        view_.ShortAvglDisplay =
            stats_.ShortAverage1 > 0
                ? FormatLevelReadout(ReadoutDb(static_cast<int32_t>(stats_.ShortAverage1),
                                               settings_.Calibration, settings_.DisplayOffset),
                                     separator)
                : kLowReadout;
    }

    // 9-11. The block level drives the automatic start and stop and, during a
    // test, the run-time average.
    levels.Level = stereo ? std::max(levels.LeftPeak, levels.RightPeak) : levels.SelectedPeak;
    DecideAutoStartStop(settings_, run_.TestRunning, levels.Level, *autoStartTimer_,
                        *autoStopTimer_);
    if (run_.TestRunning && UpdateRunTimeAverage(stats_, settings_, levels.Level)) {
        view_.LongAvgDisplay =
            stats_.RunTimeAverage >= 1
                ? FormatLevelReadout(ReadoutDb(stats_.RunTimeAverage, settings_.Calibration,
                                               settings_.DisplayOffset),
                                     separator)
                : kLowReadout;
    }
    lastLevels_ = levels;

    // 12. Heights of the levels on the current scale.
    const double factor = settings_.CalibrationFactor;
    const int32_t average1Height = AmplitudeToHeight(stats_.ShortAverage1, factor, scale_.heights);
    const int32_t average2Height = AmplitudeToHeight(stats_.ShortAverage2, factor, scale_.heights);
    const int32_t levelHeight = AmplitudeToHeight(levels.Level, factor, scale_.heights);
    const int32_t target2Height =
        AmplitudeToHeight(DbToAmplitude(settings_.LowerVol), factor, scale_.heights);
    const int32_t target1Height =
        AmplitudeToHeight(DbToAmplitude(settings_.UpperVol), factor, scale_.heights);
    const int32_t thresholdHeight =
        AmplitudeToHeight(DbToAmplitude(settings_.Threshold), factor, scale_.heights);
    const int32_t leftHeight = AmplitudeToHeight(levels.LeftPeak, factor, scale_.heights);
    const int32_t rightHeight = AmplitudeToHeight(levels.RightPeak, factor, scale_.heights);

    // 13-14. Target times on every block, then the test clock and due saves.
    if (restartMarks_) {
        restartMarks_ = false;
        stats_.OverMarkTick = stats_.UnderMarkTick = ports_.clock.TickCount();
    }
    UpdateTargetTimes(stats_, ports_.clock.TickCount(), levelHeight, target1Height, target2Height,
                      thresholdHeight);
    TestTick();

    // 15. Bars, peak hold and the peak readout.
    const TBarFrame bars =
        UpdateBarMeters(bars_, stereo, settings_.Sweep, levelHeight, leftHeight, rightHeight);
    if (bitmap_ != nullptr && drawBlocks_) {
        DrawBars(*bitmap_, bars, target2Height, target1Height, settings_);
    } else if (bitmap_ != nullptr) {
        DrawHoldMarks(*bitmap_, bars);
    }
    if (bars.peakReadoutDue || refreshReadouts) {
        view_.PeakDisplay =
            levels.SelectedPeak > 0
                ? FormatLevelReadout(ReadoutDb(levels.SelectedPeak, settings_.Calibration,
                                               settings_.DisplayOffset),
                                     separator)
                : kLowReadout;
    }

    // 16. One graph column.
    TSweepColumn column;
    column.p1 = stereo ? leftHeight : levelHeight;
    column.p2 = rightHeight;
    column.t2 = target2Height;
    column.a1 = average1Height;
    column.a2 = average2Height;
    column.t1 = target1Height;
    column.th = thresholdHeight;
    const TGraphContext context{settings_, scale_.marks, run_.TestRunning, replaying_,
                                store_.StorePosition};
    PlotSweepColumn(drawBlocks_ ? bitmap_.get() : nullptr, graph_, column, context,
                    run_.SecondElapsed);

    // 18. Keep three blocks queued.
    capture_.ReissueBlock();
}

void MeterApp::BlankStaleFigures() {
    if (figuresBlank_ || InputLive()) {
        return;
    }
    figuresBlank_ = true;
    view_.PeakDisplay = kNotLiveReadout;
    view_.ShortAvglDisplay = kNotLiveReadout;
    lamp_ = TOverLamp{};
    view_.tooHigh = lamp_.colour;
    bars_ = TBarState{};
    if (bitmap_ != nullptr) {
        TBarFrame empty;
        empty.stereo = IsStereoChannel(settings_.Channel);
        const double factor = settings_.CalibrationFactor;
        DrawBars(*bitmap_, empty,
                 AmplitudeToHeight(DbToAmplitude(settings_.LowerVol), factor, scale_.heights),
                 AmplitudeToHeight(DbToAmplitude(settings_.UpperVol), factor, scale_.heights),
                 settings_);
    }
}

}  // namespace tarnwick
