#pragma once
// A wave-input device that plays a recording into the queued blocks. The driver
// of the simulated run decides when each block is filled and delivered.

#include <deque>

#include "core/ports/wave_device.h"
#include "tools/analyse/recording_reader.h"

namespace tarnwick {

class FileWaveInput : public IWaveInput {
public:
    explicit FileWaveInput(RecordingReader& reader) : reader_(reader) {}

    int DeviceCount() override { return 1; }
    std::string DeviceName(int) override { return "Recording"; }
    int Query(int id, const WaveFormat& format) override;
    int Open(int id, const WaveFormat& format, BlockFilledHandler onFilled,
             DeviceFailedHandler onFailed) override;
    int Prepare(CaptureBlock&) override { return kWaveOk; }
    int AddBuffer(CaptureBlockPtr block) override;
    int Start() override;
    int Unprepare(CaptureBlock&) override { return kWaveOk; }
    void Reset() override;
    void Close() override;

    // Fills the oldest queued block from the recording. False when no block is
    // queued or the recording has no whole block left for it.
    bool FillNext();
    // Hands the block FillNext filled to the pipeline.
    void DeliverFilled();

private:
    RecordingReader& reader_;
    BlockFilledHandler onFilled_;
    std::deque<CaptureBlockPtr> queued_;
    bool started_ = false;
    bool filled_ = false;  // the oldest queued block holds its frames
};

}  // namespace tarnwick
