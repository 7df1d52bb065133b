#pragma once
// Helpers for the audio adapter tests: running the Qt event loop for a while,
// and a stand-in for the capture engine that keeps blocks queued with a device
// and records what comes back.

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/capture_block.h"
#include "core/ports/wave_device.h"

namespace tarnwick::test {

using Clock = std::chrono::steady_clock;

// Runs the event loop until `done` holds or `timeout` has passed; true when
// `done` held.
inline bool RunEventLoopUntil(const std::function<bool()>& done,
                              std::chrono::milliseconds timeout) {
    const Clock::time_point end = Clock::now() + timeout;
    while (!done()) {
        if (Clock::now() >= end) {
            return false;
        }
        QEventLoop loop;
        QTimer::singleShot(2, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

inline void RunEventLoopFor(std::chrono::milliseconds time) {
    RunEventLoopUntil([] { return false; }, time);
}

struct Arrival {
    int32_t bufferLength = 0;
    int32_t bytesRecorded = 0;
    Clock::time_point at;
    std::vector<uint8_t> bytes;  // the recorded bytes
};

// Does what the capture engine does with a device: queues three blocks, and
// for every block that comes back queues a fresh one, until told to stop.
class BlockCollector {
public:
    BlockCollector(IWaveInput& device, int32_t initialBlockBytes)
        : blockBytes(initialBlockBytes), device_(device) {}

    BlockFilledHandler OnFilled() {
        return [this](CaptureBlockPtr block) {
            if (std::this_thread::get_id() != mainThread_) {
                wrongThread = true;
            }
            if (failures > 0) {
                blocksAfterFailure += 1;
            }
            Arrival a;
            a.bufferLength = block->bufferLength;
            a.bytesRecorded = block->bytesRecorded;
            a.at = Clock::now();
            a.bytes.assign(block->storage.begin(), block->storage.begin() + block->bytesRecorded);
            arrivals.push_back(std::move(a));
            device_.Unprepare(*block);
            if (busyPerBlock.count() > 0) {
                std::this_thread::sleep_for(busyPerBlock);  // the pipeline drawing
            }
            if (requeue) {
                Queue();
            }
        };
    }

    DeviceFailedHandler OnFailed() {
        return [this](const std::string& why) {
            failures += 1;
            reason = why;
        };
    }

    // Queues one fresh block; false when the device refused it.
    bool Queue() {
        CaptureBlockPtr block = NewCaptureBlock(blockBytes);
        return device_.Prepare(*block) == kWaveOk && device_.AddBuffer(std::move(block)) == kWaveOk;
    }

    bool QueueInitial() {
        for (int i = 0; i < kBlocksQueued; ++i) {
            if (!Queue()) {
                return false;
            }
        }
        return true;
    }

    // All recorded bytes in arrival order.
    std::vector<uint8_t> Recorded() const {
        std::vector<uint8_t> all;
        for (const Arrival& a : arrivals) {
            all.insert(all.end(), a.bytes.begin(), a.bytes.end());
        }
        return all;
    }

    // The length of the blocks queued from now on.
    int32_t blockBytes;
    std::vector<Arrival> arrivals;
    bool requeue = true;
    std::chrono::milliseconds busyPerBlock{0};
    int failures = 0;
    std::string reason;
    int blocksAfterFailure = 0;
    bool wrongThread = false;

private:
    IWaveInput& device_;
    std::thread::id mainThread_ = std::this_thread::get_id();
};

}  // namespace tarnwick::test
