// Replaying the stored audio of the last test: heard through the output device
// and measured again, frame for frame, by the pipeline.

#include "app/meter_app.h"

namespace tarnwick {
namespace {

constexpr int32_t kReplayIdleImage = 2;
constexpr int32_t kReplayRunningImage = 7;
// Lets playback get going before the replay's period starts.
constexpr uint32_t kReplayStartWaitMs = 50;

}  // namespace

void MeterApp::ToggleReplay() {
    if (replaying_) {
        capture_.output().Reset();
        replayTimer_->Disarm();
        replaying_ = false;
        view_.TBreplayImage = kReplayIdleImage;
        return;
    }
    if (run_.TestRunning) {
        StartStopButtonClick();  // a stop, with its save
    }
    view_.TBreplayImage = kReplayRunningImage;
    replaying_ = true;
    store_.StorePosition = 0;
    capture_.output().Reset();
    if (bitmap_ != nullptr) {
        // Where the replay begins on the scrolling graph.
        bitmap_->SetPenColour(0x0000FF);
        bitmap_->SetPenWidth(2);
        bitmap_->MoveTo(507, 396);
        bitmap_->LineTo(507, 12);
    }
    if (capture_.output().Write() != kWaveOk) {
        ports_.dialogs.MessageBox("Wave out error", "error");
        ports_.process.EndProgram();
        return;
    }
    if (!capture_.output().Audible() && !silentReplayReported_) {
        // No playback device could be opened: the replay is measured but not
        // heard. Said once, and the meter goes on.
        silentReplayReported_ = true;
        ports_.dialogs.MessageBox(kPlaybackErrorText, kNoPlayHandleCaption);
    }
    ports_.clock.Sleep(kReplayStartWaitMs);
    // The replay lasts as long as the last period of the last test did.
    replayTimer_->Arm();
    run_.PeriodStartTick = ports_.clock.TickCount();
}

}  // namespace tarnwick
