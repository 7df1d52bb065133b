// Loudness beside the meter's own figures: measured from the same capture, and
// restarted with a test and with each results period.

#include "app/meter_app.h"

namespace tarnwick {

void MeterApp::MeasureLoudness(unsigned long sampleRate, bool fromBlocks,
                               LoudnessChannels channels) {
    loudness_ = std::make_unique<LoudnessMeter>(sampleRate, channels);
    loudnessFromBlocks_ = fromBlocks;
    ApplyLoudnessSettings();
}

void MeterApp::ApplyLoudnessSettings() {
    if (loudness_ != nullptr) {
        loudness_->KeepPeriodFigures(settings_.LoudnessInResults);
    }
}

}  // namespace tarnwick
