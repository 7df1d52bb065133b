#pragma once
// One capture block: the header fields the wave device reads and fills, and
// storage for the largest block, so that a change of sweep time never needs
// larger storage. Owned by the device while queued, by the pipeline from the
// moment its event arrives until the pipeline frees it.

#include <array>
#include <cstdint>
#include <memory>

#include "core/meter_settings.h"

namespace tarnwick {

// One more than the largest block.
constexpr int32_t kBlockStorageBytes = kMaxBlockBytes + 1;
// Blocks kept queued with the input device.
constexpr int kBlocksQueued = 3;

struct CaptureBlock {
    int32_t bufferLength = 0;   // bytes the device may fill: BlockBytes when queued
    int32_t bytesRecorded = 0;  // bytes the device filled
    uint32_t flags = 0;
    uint32_t generation = 0;  // which open of the engine queued it
    // Bytes the device still held, recorded and waiting, when it handed this
    // block back: a pipeline catching up after a stall of its own sees blocks
    // that are late without audio being lost.
    int32_t bytesWaiting = 0;
    // Left uninitialised: the device fills what it records, and the pipeline
    // reads silence past that.
    std::array<uint8_t, kBlockStorageBytes> storage;
};

using CaptureBlockPtr = std::unique_ptr<CaptureBlock>;

// An empty block whose buffer length is `blockBytes`.
CaptureBlockPtr NewCaptureBlock(int32_t blockBytes);

}  // namespace tarnwick
