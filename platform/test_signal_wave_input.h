#pragma once
// The built-in input device "Test Signal": the programme-like signal of
// TestSignal, delivered in real time, so that the meter runs on a machine
// without a sound card or sound server. A worker thread fills the queued blocks
// in order, each when its last frame is due by a steady clock, and hands each
// to the event loop as one queued event.
//
// All calls are made on the event-loop thread, which must run a
// QCoreApplication.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "audio/test_signal.h"
#include "core/ports/wave_device.h"
#include "platform/event_loop_poster.h"

namespace tarnwick {

inline const std::string kTestSignalDeviceName = "Test Signal";

class TestSignalWaveInput : public IWaveInput {
public:
    TestSignalWaveInput() = default;
    ~TestSignalWaveInput() override;

    // One device, id 0.
    int DeviceCount() override { return 1; }
    std::string DeviceName(int id) override;
    int Query(int id, const WaveFormat& format) override;
    // Each open starts the signal from its beginning.
    int Open(int id, const WaveFormat& format, BlockFilledHandler onFilled,
             DeviceFailedHandler onFailed) override;
    int Prepare(CaptureBlock& block) override;
    int AddBuffer(CaptureBlockPtr block) override;
    int Start() override;
    int Unprepare(CaptureBlock& block) override;
    // Stops the worker; the queued blocks come back, in order and empty, as
    // filled-block events.
    void Reset() override;
    void Close() override;

    // When the pipeline fell behind by more than this, the signal's clock moves
    // on instead of catching up in a burst: time is skipped, the signal is not.
    static constexpr std::chrono::milliseconds kMaxLag{1000};

private:
    void Run();
    void StopWorker();
    void HandBack(CaptureBlockPtr block);

    EventLoopPoster poster_;
    bool open_ = false;
    std::shared_ptr<BlockFilledHandler> onFilled_;
    TestSignal signal_;  // the worker's alone while it runs
    std::thread worker_;

    std::mutex mutex_;
    std::condition_variable wake_;
    // Guarded by mutex_.
    std::deque<CaptureBlockPtr> queue_;
    bool stop_ = false;
};

}  // namespace tarnwick
