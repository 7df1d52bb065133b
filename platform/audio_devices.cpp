#include "platform/audio_devices.h"

#include <utility>

#include "platform/wave_device_rules.h"

namespace tarnwick {

SystemWaveInput::SystemWaveInput(std::string server, PulsePatience patience)
    : server_(std::move(server), patience) {}

int SystemWaveInput::DeviceCount() {
    serverDevices_ = server_.DeviceCount();
    listed_ = true;
    return serverDevices_ + 1;
}

IWaveInput* SystemWaveInput::Route(int id, int& localId) {
    if (!listed_) {
        DeviceCount();
    }
    if (id >= 0 && id < serverDevices_) {
        localId = id;
        return &server_;
    }
    if (id == serverDevices_) {
        localId = 0;
        return &testSignal_;
    }
    return nullptr;
}

std::string SystemWaveInput::DeviceName(int id) {
    int localId = 0;
    IWaveInput* device = Route(id, localId);
    return device != nullptr ? device->DeviceName(localId) : std::string();
}

int SystemWaveInput::Query(int id, const WaveFormat& format) {
    int localId = 0;
    IWaveInput* device = Route(id, localId);
    if (device == nullptr) {
        return IsCaptureFormat(format) ? kWaveBadDeviceId : kWaveBadFormat;
    }
    return device->Query(localId, format);
}

int SystemWaveInput::Open(int id, const WaveFormat& format, BlockFilledHandler onFilled,
                          DeviceFailedHandler onFailed) {
    Close();
    int localId = 0;
    IWaveInput* device = Route(id, localId);
    if (device == nullptr) {
        return IsCaptureFormat(format) ? kWaveBadDeviceId : kWaveBadFormat;
    }
    const int r = device->Open(localId, format, std::move(onFilled), std::move(onFailed));
    if (r == kWaveOk) {
        open_ = device;
    }
    return r;
}

int SystemWaveInput::Prepare(CaptureBlock& block) {
    return PrepareCaptureBlock(block);
}

int SystemWaveInput::Unprepare(CaptureBlock& block) {
    // Blocks a previous device handed back are released here too.
    return UnprepareCaptureBlock(block);
}

int SystemWaveInput::AddBuffer(CaptureBlockPtr block) {
    return open_ != nullptr ? open_->AddBuffer(std::move(block)) : kWaveError;
}

int SystemWaveInput::Start() {
    return open_ != nullptr ? open_->Start() : kWaveError;
}

void SystemWaveInput::Reset() {
    if (open_ != nullptr) {
        open_->Reset();
    }
}

void SystemWaveInput::Close() {
    if (open_ != nullptr) {
        open_->Close();
        open_ = nullptr;
    }
}

SystemWaveOutput::SystemWaveOutput(std::string server) : server_(std::move(server)) {}

int SystemWaveOutput::Query(int id, const WaveFormat& format) {
    if (!IsCaptureFormat(format)) {
        return kWaveBadFormat;
    }
    return id == 0 ? kWaveOk : kWaveBadDeviceId;
}

int SystemWaveOutput::Open(int id, const WaveFormat& format) {
    if (const int r = Query(id, format); r != kWaveOk) {
        return r;
    }
    Close();
    open_ = true;
    serverOpen_ = server_.Open(id, format) == kWaveOk;
    return kWaveOk;
}

int SystemWaveOutput::Prepare(const uint8_t* data, int64_t bytes) {
    if (!open_ || data == nullptr || bytes < 0) {
        return kWaveError;
    }
    data_ = data;
    bytes_ = bytes;
    if (serverOpen_) {
        server_.Prepare(data, bytes);
    }
    return kWaveOk;
}

int SystemWaveOutput::Write() {
    if (!open_ || data_ == nullptr) {
        return kWaveError;
    }
    if (!serverOpen_ && server_.Open(0, kCaptureFormat) == kWaveOk) {
        serverOpen_ = server_.Prepare(data_, bytes_) == kWaveOk;
    }
    if (serverOpen_) {
        // A server that went away since the open costs the sound, not the
        // replay: the meter still measures the stored test.
        server_.Write();
    }
    return kWaveOk;
}

void SystemWaveOutput::Reset() {
    if (serverOpen_) {
        server_.Reset();
    }
}

void SystemWaveOutput::Close() {
    if (serverOpen_) {
        server_.Close();
    }
    serverOpen_ = false;
    open_ = false;
    data_ = nullptr;
    bytes_ = 0;
}

}  // namespace tarnwick
