#pragma once
// Rules every wave-input adapter applies alike: the one format it accepts, the
// result codes beyond success and a refused format, and what preparing a block
// means. Shared by the sound-server device and the built-in test signal so that
// the capture engine sees the same answers from both.

#include <cstdint>

#include "core/capture_block.h"
#include "core/ports/wave_device.h"

namespace tarnwick {

// A failure that is not a format refusal: no sound server, a stream that would
// not start, a call on a closed device.
constexpr int kWaveError = 1;
// No device with that id (in the last listing).
constexpr int kWaveBadDeviceId = 2;
// A block queued without being prepared first.
constexpr int kWaveUnprepared = 34;

// CaptureBlock::flags bits.
constexpr uint32_t kBlockDone = 0x1;      // filled and handed back
constexpr uint32_t kBlockPrepared = 0x2;  // may be queued

constexpr bool IsCaptureFormat(const WaveFormat& f) {
    return f.formatTag == kCaptureFormat.formatTag && f.channels == kCaptureFormat.channels &&
           f.samplesPerSec == kCaptureFormat.samplesPerSec &&
           f.avgBytesPerSec == kCaptureFormat.avgBytesPerSec &&
           f.blockAlign == kCaptureFormat.blockAlign &&
           f.bitsPerSample == kCaptureFormat.bitsPerSample;
}

// A block whose length does not fit its storage could never be filled.
inline int PrepareCaptureBlock(CaptureBlock& block) {
    if (block.bufferLength < 0 || block.bufferLength > kBlockStorageBytes) {
        return kWaveError;
    }
    block.flags |= kBlockPrepared;
    return kWaveOk;
}

inline int UnprepareCaptureBlock(CaptureBlock& block) {
    block.flags &= ~kBlockPrepared;
    return kWaveOk;
}

// Readies a prepared block for filling; kWaveUnprepared when it was not prepared.
inline int ReadyCaptureBlockForQueue(CaptureBlock& block) {
    if ((block.flags & kBlockPrepared) == 0) {
        return kWaveUnprepared;
    }
    block.bytesRecorded = 0;
    block.flags &= ~kBlockDone;
    return kWaveOk;
}

}  // namespace tarnwick
