#include "platform/test_signal_wave_input.h"

#include <algorithm>
#include <utility>

#include "core/meter_settings.h"
#include "platform/wave_device_rules.h"

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

TestSignalWaveInput::TestSignalWaveInput() {
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this] { Deliver(); });
}

TestSignalWaveInput::~TestSignalWaveInput() {
    timer_.stop();
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
    queue_.push_back(std::move(block));
    if (running_ && !timer_.isActive()) {
        Schedule();
    }
    return kWaveOk;
}

int TestSignalWaveInput::Start() {
    if (!open_) {
        return kWaveError;
    }
    if (!running_) {
        running_ = true;
        origin_ = Clock::now();
        lastDelivery_ = origin_ - kShortestPeriod;
        framesDelivered_ = 0;
        Schedule();
    }
    return kWaveOk;
}

void TestSignalWaveInput::Reset() {
    running_ = false;
    timer_.stop();
    std::deque<CaptureBlockPtr> returned;
    returned.swap(queue_);
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

Clock::time_point TestSignalWaveInput::FrontDue(Clock::time_point now) {
    const int64_t frames = queue_.front()->bufferLength / kBytesPerFrame;
    if (frames == 0) {
        return lastDelivery_ + kEmptyBlockPause;
    }
    Clock::time_point due = origin_ + FramesToDuration(framesDelivered_ + frames);
    if (now - due > kMaxLag) {
        // Fallen too far behind: time is skipped, the signal is not.
        origin_ = now - FramesToDuration(framesDelivered_ + frames);
        due = now;
    }
    return due;
}

void TestSignalWaveInput::Deliver() {
    const Clock::time_point now = Clock::now();
    // The handler queues the next block, and may reset or close the device.
    const std::shared_ptr<BlockFilledHandler> handler = onFilled_;
    while (running_ && !queue_.empty() && FrontDue(now) <= now) {
        lastDelivery_ = now;
        CaptureBlockPtr block = std::move(queue_.front());
        queue_.pop_front();
        const int64_t frames = block->bufferLength / kBytesPerFrame;
        signal_.Fill(block->storage.data(), frames);
        block->bytesRecorded = static_cast<int32_t>(frames * kBytesPerFrame);
        block->flags |= kBlockDone;
        framesDelivered_ += frames;
        (*handler)(std::move(block));
    }
    if (running_ && !timer_.isActive()) {
        Schedule();
    }
}

void TestSignalWaveInput::Schedule() {
    if (!running_ || queue_.empty()) {
        return;  // the next AddBuffer schedules
    }
    const Clock::time_point now = Clock::now();
    const Clock::time_point wake = std::max(FrontDue(now), lastDelivery_ + kShortestPeriod);
    const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - now);
    timer_.start(static_cast<int>(std::max<int64_t>(0, wait.count())));
}

}  // namespace tarnwick
