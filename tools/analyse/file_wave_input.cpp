#include "tools/analyse/file_wave_input.h"

#include <utility>

#include "core/capture_format.h"

namespace tarnwick {

int FileWaveInput::Query(int id, const WaveFormat& format) {
    return id == 0 && format.samplesPerSec == kSampleRate && format.channels == 2 &&
                   format.bitsPerSample == 16
               ? kWaveOk
               : kWaveBadFormat;
}

int FileWaveInput::Open(int id, const WaveFormat& format, BlockFilledHandler onFilled,
                        DeviceFailedHandler) {
    const int result = Query(id, format);
    if (result == kWaveOk) {
        onFilled_ = std::move(onFilled);
    }
    return result;
}

int FileWaveInput::AddBuffer(CaptureBlockPtr block) {
    queued_.push_back(std::move(block));
    return kWaveOk;
}

int FileWaveInput::Start() {
    started_ = true;
    return kWaveOk;
}

void FileWaveInput::Reset() {
    started_ = false;
}

void FileWaveInput::Close() {
    started_ = false;
    filled_ = false;
    queued_.clear();
}

bool FileWaveInput::FillNext() {
    if (filled_) {
        return true;
    }
    if (!started_ || queued_.empty()) {
        return false;
    }
    CaptureBlock& block = *queued_.front();
    int32_t length = block.bufferLength;
    if (length < 0 || length > kMaxBlockBytes) {
        length = 0;
    }
    const int64_t frames = length / kBytesPerFrame;
    if (frames == 0 || reader_.Read(block.storage.data(), frames) != frames) {
        return false;
    }
    block.bytesRecorded = static_cast<int32_t>(frames * kBytesPerFrame);
    filled_ = true;
    return true;
}

void FileWaveInput::DeliverFilled() {
    if (!filled_) {
        return;
    }
    filled_ = false;
    CaptureBlockPtr block = std::move(queued_.front());
    queued_.pop_front();
    onFilled_(std::move(block));
}

}  // namespace tarnwick
