#include "platform/test_signal_wave_input.h"

#include <utility>

#include "platform/wave_device_rules.h"
#include "settings/meter_settings.h"

namespace tarnwick {
namespace {

using Clock = std::chrono::steady_clock;

Clock::duration FramesToDuration(int64_t frames) {
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
        static_cast<double>(frames) / static_cast<double>(kSampleRate)));
}

// A block too short to hold a frame still takes a moment, so that a device
// fed such blocks does not spin.
constexpr std::chrono::milliseconds kEmptyBlockPause{1};

}  // namespace

TestSignalWaveInput::~TestSignalWaveInput() {
    StopWorker();
}

std::string TestSignalWaveInput::DeviceName(int id) {
    return id == 0 ? kTestSignalDeviceName : std::string();
}

int TestSignalWaveInput::Query(int id, const WaveFormat& format) {
    if (!IsCaptureFormat(format)) {
        return kWaveBadFormat;
    }
    return id == 0 ? kWaveOk : kWaveBadDeviceId;
}

int TestSignalWaveInput::Open(int id, const WaveFormat& format, BlockFilledHandler onFilled,
                              DeviceFailedHandler) {
    if (const int r = Query(id, format); r != kWaveOk) {
        return r;
    }
    if (open_) {
        Close();
    }
    onFilled_ = std::make_shared<BlockFilledHandler>(std::move(onFilled));
    signal_ = TestSignal();
    open_ = true;
    return kWaveOk;
}

int TestSignalWaveInput::Prepare(CaptureBlock& block) {
    return PrepareCaptureBlock(block);
}

int TestSignalWaveInput::Unprepare(CaptureBlock& block) {
    return UnprepareCaptureBlock(block);
}

int TestSignalWaveInput::AddBuffer(CaptureBlockPtr block) {
    if (!open_ || block == nullptr) {
        return kWaveError;
    }
    if (const int r = ReadyCaptureBlockForQueue(*block); r != kWaveOk) {
        return r;
    }
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(block));
    }
    wake_.notify_one();
    return kWaveOk;
}

int TestSignalWaveInput::Start() {
    if (!open_) {
        return kWaveError;
    }
    if (!worker_.joinable()) {
        {
            std::lock_guard lock(mutex_);
            stop_ = false;
        }
        worker_ = std::thread([this] { Run(); });
    }
    return kWaveOk;
}

void TestSignalWaveInput::StopWorker() {
    if (!worker_.joinable()) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

void TestSignalWaveInput::Reset() {
    // Joined first, so a block the worker was filling is posted before the
    // returned ones and the order holds.
    StopWorker();
    std::deque<CaptureBlockPtr> returned;
    {
        std::lock_guard lock(mutex_);
        returned.swap(queue_);
    }
    for (CaptureBlockPtr& block : returned) {
        HandBack(std::move(block));
    }
}

void TestSignalWaveInput::Close() {
    if (!open_) {
        return;
    }
    Reset();
    open_ = false;
    onFilled_.reset();
}

void TestSignalWaveInput::HandBack(CaptureBlockPtr block) {
    block->flags |= kBlockDone;
    auto holder = std::make_shared<CaptureBlockPtr>(std::move(block));
    poster_.Post([handler = onFilled_, holder] { (*handler)(std::move(*holder)); });
}

void TestSignalWaveInput::Run() {
    // The signal's frame n is due at origin + n / 44100 s.
    Clock::time_point origin = Clock::now();
    int64_t framesDelivered = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (stop_) {
            return;
        }
        const int64_t frames = queue_.front()->bufferLength / kBytesPerFrame;
        Clock::time_point due = origin + FramesToDuration(framesDelivered + frames);
        const Clock::time_point now = Clock::now();
        if (now - due > kMaxLag) {
            origin = now - FramesToDuration(framesDelivered + frames);
            due = now;
        }
        if (frames == 0) {
            due = now + kEmptyBlockPause;
        }
        // Blocks are only appended while the worker waits, so the front stays.
        if (wake_.wait_until(lock, due, [this] { return stop_; })) {
            return;
        }
        CaptureBlockPtr block = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        signal_.Fill(block->storage.data(), frames);
        block->bytesRecorded = static_cast<int32_t>(frames * kBytesPerFrame);
        framesDelivered += frames;
        HandBack(std::move(block));
        lock.lock();
    }
}

}  // namespace tarnwick
