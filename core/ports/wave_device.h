#pragma once
// Port: the wave audio device layer. One format only (16-bit stereo PCM, 44100
// frames per second, left sample first, little-endian). Results are 0 for success
// and kWaveBadFormat when the device refuses the format; other non-zero values
// are failures.

#include <cstdint>
#include <functional>
#include <string>

#include "core/capture_block.h"
#include "core/capture_format.h"

namespace tarnwick {

constexpr int kWaveOk = 0;
constexpr int kWaveBadFormat = 32;

struct WaveFormat {
    uint16_t formatTag = 1;  // PCM
    uint16_t channels = 2;
    uint32_t samplesPerSec = kSampleRate;
    uint32_t avgBytesPerSec = 176400;
    uint16_t blockAlign = 4;
    uint16_t bitsPerSample = 16;
};

constexpr WaveFormat kCaptureFormat{};

// Called on the event-loop thread once per filled block, in the order the blocks
// were queued; the pipeline owns the block from then on.
using BlockFilledHandler = std::function<void(CaptureBlockPtr)>;

// Called on the event-loop thread when an open device stops working (the sound
// server went away, the interface was unplugged), with a line saying why. No
// further blocks arrive after it.
using DeviceFailedHandler = std::function<void(const std::string& reason)>;

class IWaveInput {
public:
    virtual ~IWaveInput() = default;
    virtual int DeviceCount() = 0;
    // The device's name, as the desktop shows it.
    virtual std::string DeviceName(int id) = 0;
    // Whether device `id` accepts `format`, without opening it.
    virtual int Query(int id, const WaveFormat& format) = 0;
    // Opens device `id`; from Start() on, each filled block goes to `onFilled`.
    virtual int Open(int id, const WaveFormat& format, BlockFilledHandler onFilled,
                     DeviceFailedHandler onFailed) = 0;
    virtual int Prepare(CaptureBlock& block) = 0;
    // Queues a prepared block; the device owns it until it hands it back.
    virtual int AddBuffer(CaptureBlockPtr block) = 0;
    virtual int Start() = 0;
    // Releases a block handed back by the device, so its storage may be freed.
    virtual int Unprepare(CaptureBlock& block) = 0;
    // Stops recording; queued blocks come back as ordinary filled-block events.
    virtual void Reset() = 0;
    virtual void Close() = 0;
};

// The playback device: one block, the whole test sample store, played from its
// beginning on demand. Device 0 is the desktop's default output.
class IWaveOutput {
public:
    virtual ~IWaveOutput() = default;
    virtual int Query(int id, const WaveFormat& format) = 0;
    virtual int Open(int id, const WaveFormat& format) = 0;
    // Prepares the playback block over `bytes` bytes at `data`, which stay valid
    // until the device is closed or prepared again. It can be written any number
    // of times.
    virtual int Prepare(const uint8_t* data, int64_t bytes) = 0;
    // Starts playing the prepared block from its beginning.
    virtual int Write() = 0;
    // Stops playing at once.
    virtual void Reset() = 0;
    virtual void Close() = 0;
    // Whether what is played is heard. An output that accepts replays without
    // a sound device to play them on says false.
    virtual bool Audible() const { return true; }
};

}  // namespace tarnwick
