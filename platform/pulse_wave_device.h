#pragma once
// The wave devices of the sound server (PulseAudio, or PipeWire through
// pipewire-pulse), reached through libpulse's asynchronous API.
//
// Input devices are the server's sources, named by their descriptions as the
// desktop's sound settings show them: the server's default source is device 0,
// then the other sources in the server's order, inputs before the monitors of
// outputs. Blocks are filled in the order they were queued, straight from the
// record stream, and each filled block reaches the event loop as one queued
// event. Audio that arrives while no block is queued waits in the stream's
// buffer, so a pipeline that falls behind gets its blocks late, not lost. When
// the source or the server goes away, the failure handler runs once and no
// block follows. The playback device is the server's default sink.
//
// All calls are made on the event-loop thread, which must run a
// QCoreApplication. When no server answers, the input lists no device and every
// open fails with kWaveError.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "core/ports/wave_device.h"
#include "platform/event_loop_poster.h"
#include "platform/pulse_connection.h"

struct pa_stream;

namespace tarnwick {

class PulseWaveInput : public IWaveInput {
public:
    // `server` as libpulse takes it; empty for the desktop's own server.
    // `patience`: how long the server may take before it counts as not
    // answering; a logger that must write a row every second waits less.
    explicit PulseWaveInput(std::string server = {}, PulsePatience patience = {});
    ~PulseWaveInput() override;

    // Lists the server's sources afresh; the ids of the other calls refer to the
    // latest listing. 0 when no server answers.
    int DeviceCount() override;
    std::string DeviceName(int id) override;
    int Query(int id, const WaveFormat& format) override;
    // Checks that the source still exists. Recording begins at Start(), which
    // asks the server for fragments of the first queued block's length.
    int Open(int id, const WaveFormat& format, BlockFilledHandler onFilled,
             DeviceFailedHandler onFailed) override;
    int Prepare(CaptureBlock& block) override;
    int AddBuffer(CaptureBlockPtr block) override;
    int Start() override;
    int Unprepare(CaptureBlock& block) override;
    // Stops recording; the queued blocks come back, in order, as filled-block
    // events, the first possibly part filled. After a failure they are dropped.
    void Reset() override;
    // Resets, then releases the device.
    void Close() override;

private:
    struct Source {
        std::string name;  // the server's name, to connect by
        std::string description;
    };

    static void OnStreamState(pa_stream* s, void* userdata);
    static void OnStreamRead(pa_stream* s, size_t bytes, void* userdata);
    void ReadStream();
    // Fills queued blocks from `bytes` bytes at `data` (null: silence); returns
    // the bytes taken.
    size_t Store(const uint8_t* data, size_t bytes);
    void HandBack(CaptureBlockPtr block);
    // Bytes the stream still holds beyond the `consumed` bytes of its current
    // fragment: a backlog the pipeline is catching up on.
    int32_t BytesWaiting(size_t consumed);
    void ReportFailure(const std::string& reason);
    std::vector<Source> ListSources();
    bool SourceExists(const std::string& name);

    EventLoopPoster poster_;
    PulseConnection connection_;
    std::vector<Source> sources_;  // the latest listing
    bool listed_ = false;
    bool open_ = false;
    std::string openSource_;

    // Shared with the libpulse thread, guarded by the connection's lock.
    pa_stream* stream_ = nullptr;
    bool recording_ = false;
    bool failed_ = false;
    std::deque<CaptureBlockPtr> queue_;
    std::shared_ptr<BlockFilledHandler> onFilled_;
    std::shared_ptr<DeviceFailedHandler> onFailed_;
    size_t peekOffset_ = 0;      // bytes of the stream's current fragment already stored
    int32_t fragmentBytes_ = 0;  // the fragment size asked of the server
};

class PulseWaveOutput : public IWaveOutput {
public:
    explicit PulseWaveOutput(std::string server = {});
    ~PulseWaveOutput() override;

    // Device 0 only; kWaveError when no server answers.
    int Query(int id, const WaveFormat& format) override;
    int Open(int id, const WaveFormat& format) override;
    int Prepare(const uint8_t* data, int64_t bytes) override;
    // Starts a playback stream fed from the beginning of the prepared bytes,
    // replacing any stream still playing.
    int Write() override;
    // Drops the stream and what the server still holds of it: silence at once.
    void Reset() override;
    void Close() override;

private:
    static void OnStreamState(pa_stream* s, void* userdata);
    static void OnStreamWrite(pa_stream* s, size_t bytes, void* userdata);
    int CheckDevice(int id, const WaveFormat& format);

    PulseConnection connection_;
    bool open_ = false;

    // Shared with the libpulse thread, guarded by the connection's lock.
    pa_stream* stream_ = nullptr;
    const uint8_t* data_ = nullptr;
    int64_t bytes_ = 0;
    int64_t position_ = 0;
};

}  // namespace tarnwick
