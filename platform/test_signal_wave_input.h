#pragma once
// The built-in input device "Test Signal": the programme-like signal of
// TestSignal, delivered in real time, so that the meter runs on a machine
// without a sound card or sound server. The queued blocks are filled in order
// on the event loop itself, each once its last frame is due by a steady clock:
// there is no thread to wake and hand over to, which at hundreds of blocks a
// second cost more than filling them. Blocks are delivered together, at most
// every kShortestPeriod, as a sound server delivers its periods.
//
// All calls are made on the event-loop thread, which must run a
// QCoreApplication.

#include <QTimer>
#include <chrono>
#include <deque>
#include <memory>
#include <string>

#include "audio/test_signal.h"
#include "core/ports/wave_device.h"
#include "platform/event_loop_poster.h"

namespace tarnwick {

class TestSignalWaveInput : public IWaveInput {
public:
    TestSignalWaveInput();
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
    // The device wakes at most this often; blocks due in between wait for it.
    // It is the meter window's frame time, so each wake brings one frame's
    // worth of signal and the window paints it without waking again.
    static constexpr std::chrono::milliseconds kShortestPeriod{40};

private:
    using Clock = std::chrono::steady_clock;

    // Delivers every block that is due, then sets the timer for the next.
    void Deliver();
    void Schedule();
    // When the front block's last frame is due.
    Clock::time_point FrontDue(Clock::time_point now);
    // An unfilled block goes back as a queued event, never from inside a call.
    void HandBack(CaptureBlockPtr block);

    EventLoopPoster poster_;
    bool open_ = false;
    bool running_ = false;
    std::shared_ptr<BlockFilledHandler> onFilled_;
    TestSignal signal_;
    std::deque<CaptureBlockPtr> queue_;
    QTimer timer_;
    // The signal's frame n is due at origin_ + n / 44100 s.
    Clock::time_point origin_;
    int64_t framesDelivered_ = 0;
    Clock::time_point lastDelivery_;  // when the device last delivered
};

}  // namespace tarnwick
