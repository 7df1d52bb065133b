#pragma once
// A wave input whose faults a test chooses, for the fault-schedule harness.
// While open and started it delivers a steady 1 kHz sine at -20 dBFS on both
// channels, at whatever moments the test says, each stream (each open) at a
// phase of its own. It can stall while open, fail, vanish from the device
// list, refuse to open, and hand over a burst of blocks at once. The blocks
// queued when it is reset come back later, as a real device's do, filled with
// a loud marker (-3 dBFS) that no live figure may ever show. Header-only.

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <deque>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "core/ports/wave_device.h"
#include "tests/core/fakes.h"

namespace tarnwick::fakes {

class FaultyWaveInput : public IWaveInput {
public:
    static constexpr double kAmplitude = 0.1;       // of full scale: -20 dBFS
    static constexpr double kStaleAmplitude = 0.7;  // -3.1 dBFS
    static constexpr int kPeriodFrames = 441;       // ten cycles of 1 kHz at 44.1 kHz
    inline static const std::string kName = "Built-in Audio Analog Stereo";
    inline static const std::string kOther = "Test Signal";

    FaultyWaveInput() {
        for (int i = 0; i < kPeriodFrames; ++i) {
            const double s = std::sin(2.0 * std::numbers::pi * 10.0 * i / kPeriodFrames);
            live_[static_cast<size_t>(i)] =
                static_cast<int16_t>(std::lround(kAmplitude * 32767 * s));
            stale_[static_cast<size_t>(i)] =
                static_cast<int16_t>(std::lround(kStaleAmplitude * 32767 * s));
        }
    }

    // The device's list: the input the tests ask for while it is present, and
    // the built-in one.
    int DeviceCount() override { return present ? 2 : 1; }
    std::string DeviceName(int id) override {
        if (present && id == 0) {
            return kName;
        }
        return id == DeviceCount() - 1 ? kOther : std::string();
    }
    int Query(int, const WaveFormat&) override { return kWaveOk; }
    int Open(int id, const WaveFormat&, BlockFilledHandler onFilled,
             DeviceFailedHandler onFailed) override {
        if (DeviceName(id) != kName || refuseOpen) {
            return 1;
        }
        open_ = true;
        started_ = false;
        ++streams;
        streamBlocks = 0;
        frame_ = nextPhase % kPeriodFrames;
        onFilled_ = std::move(onFilled);
        onFailed_ = std::move(onFailed);
        return kWaveOk;
    }
    int Prepare(CaptureBlock&) override { return kWaveOk; }
    int AddBuffer(CaptureBlockPtr block) override {
        queued_.push_back(std::move(block));
        return kWaveOk;
    }
    int Start() override {
        started_ = open_;
        return kWaveOk;
    }
    int Unprepare(CaptureBlock&) override { return kWaveOk; }
    void Reset() override {
        // The queued blocks come back as filled ones, after the reset, with
        // whatever the device had in them.
        for (CaptureBlockPtr& block : queued_) {
            Fill(*block, stale_, 0);
            stale.push_back({std::move(block), onFilled_});
        }
        queued_.clear();
        started_ = false;
    }
    void Close() override {
        open_ = false;
        started_ = false;
    }

    bool Streaming() const { return open_ && started_; }

    // Hands the oldest queued block over, filled with the stream's next
    // frames, the device holding `framesWaiting` more behind it. False when
    // none is queued or the stream is not running.
    bool DeliverOne(int64_t framesWaiting = 0) {
        if (!Streaming() || queued_.empty()) {
            return false;
        }
        CaptureBlockPtr block = std::move(queued_.front());
        queued_.pop_front();
        frame_ = Fill(*block, live_, frame_);
        block->bytesWaiting = static_cast<int32_t>(framesWaiting * kBytesPerFrame);
        ++streamBlocks;
        ++delivered;
        onFilled_(std::move(block));
        return true;
    }
    // The source runs on for `frames` frames that nobody reads.
    void Skip(int64_t frames) { frame_ = static_cast<int>((frame_ + frames) % kPeriodFrames); }
    // The device stops working.
    void Fail(const std::string& reason) {
        if (open_ && onFailed_) {
            onFailed_(reason);
        }
    }
    // The blocks given back at a reset arrive now.
    void DeliverStale() {
        while (!stale.empty()) {
            Stale s = std::move(stale.front());
            stale.pop_front();
            ++staleDelivered;
            s.handler(std::move(s.block));
        }
    }

    struct Stale {
        CaptureBlockPtr block;
        BlockFilledHandler handler;
    };

    bool present = true;
    bool refuseOpen = false;
    int nextPhase = 0;         // of the next stream, in frames of the period
    int streams = 0;           // opens so far
    int64_t streamBlocks = 0;  // delivered by the stream open now
    int64_t delivered = 0;
    int64_t staleDelivered = 0;
    std::deque<Stale> stale;

private:
    // Fills `block`'s buffer from `table` from frame `at`; the frame after.
    static int Fill(CaptureBlock& block, const std::array<int16_t, kPeriodFrames>& table, int at) {
        const int32_t frames = std::max(block.bufferLength, 0) / kBytesPerFrame;
        for (int32_t i = 0; i < frames; ++i) {
            const int16_t v = table[static_cast<size_t>(at)];
            PutFrame(block.storage.data() + i * kBytesPerFrame, Frame{v, v});
            at = at + 1 == kPeriodFrames ? 0 : at + 1;
        }
        block.bytesRecorded = frames * kBytesPerFrame;
        return at;
    }

    std::array<int16_t, kPeriodFrames> live_{};
    std::array<int16_t, kPeriodFrames> stale_{};
    bool open_ = false;
    bool started_ = false;
    int frame_ = 0;
    std::deque<CaptureBlockPtr> queued_;
    BlockFilledHandler onFilled_;
    DeviceFailedHandler onFailed_;
};

}  // namespace tarnwick::fakes
