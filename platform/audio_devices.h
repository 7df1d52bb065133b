#pragma once
// The wave devices the program uses: the sound server's sources followed by the
// built-in "Test Signal" (always last, so it is device 0 on a machine with no
// server or no source), and playback to the server's default sink, or nowhere
// when no server answers, so that the meter runs on a machine without sound.
//
// All calls are made on the event-loop thread, which must run a
// QCoreApplication.

#include <string>

#include "core/ports/wave_device.h"
#include "platform/pulse_wave_device.h"
#include "platform/test_signal_wave_input.h"

namespace tarnwick {

class SystemWaveInput : public IWaveInput {
public:
    // `server` as libpulse takes it; empty for the desktop's own server.
    explicit SystemWaveInput(std::string server = {}, PulsePatience patience = {});

    // Lists afresh; the ids of the other calls refer to the latest listing.
    int DeviceCount() override;
    std::string DeviceName(int id) override;
    int Query(int id, const WaveFormat& format) override;
    // Closes the device opened before, if any, and opens device `id`. The
    // other calls go to the device opened last.
    int Open(int id, const WaveFormat& format, BlockFilledHandler onFilled,
             DeviceFailedHandler onFailed) override;
    int Prepare(CaptureBlock& block) override;
    int AddBuffer(CaptureBlockPtr block) override;
    int Start() override;
    int Unprepare(CaptureBlock& block) override;
    void Reset() override;
    void Close() override;

private:
    // The device behind list id `id`, and its own id there; null when none.
    IWaveInput* Route(int id, int& localId);

    PulseWaveInput server_;
    TestSignalWaveInput testSignal_;
    int serverDevices_ = 0;  // in the latest listing
    bool listed_ = false;
    IWaveInput* open_ = nullptr;
};

class SystemWaveOutput : public IWaveOutput {
public:
    explicit SystemWaveOutput(std::string server = {});

    // Device 0 accepts the capture format whether or not a server answers.
    int Query(int id, const WaveFormat& format) override;
    // Opens the server's default sink when it answers; otherwise replays are
    // accepted and not heard.
    int Open(int id, const WaveFormat& format) override;
    int Prepare(const uint8_t* data, int64_t bytes) override;
    // Plays through the server; tries to reach it again when it did not answer
    // before. Never fails for want of a server.
    int Write() override;
    void Reset() override;
    void Close() override;

    // Whether replays are heard (the server's sink is open).
    bool Audible() const override { return serverOpen_; }

private:
    PulseWaveOutput server_;
    bool open_ = false;
    bool serverOpen_ = false;
    const uint8_t* data_ = nullptr;
    int64_t bytes_ = 0;
};

}  // namespace tarnwick
