#include "tools/analyse/recording_reader.h"

#include "settings/meter_settings.h"

namespace tarnwick {

RecordingReader::RecordingReader(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        error_ = path + ": cannot read this recording (" + sf_strerror(nullptr) + ")";
        return;
    }
    if (info.samplerate != kSampleRate) {
        error_ = path + ": the recording runs at " + std::to_string(info.samplerate) +
                 " Hz; the meter measures 44100 Hz recordings only";
    } else if (info.channels < 1 || info.channels > 2) {
        error_ = path + ": the recording has " + std::to_string(info.channels) +
                 " channels; the meter measures mono or stereo recordings only";
    }
    if (!error_.empty()) {
        sf_close(file);
        return;
    }
    file_ = file;
    channels_ = info.channels;
    frames_ = info.frames;
}

RecordingReader::~RecordingReader() {
    if (file_ != nullptr) {
        sf_close(file_);
    }
}

int64_t RecordingReader::Read(uint8_t* out, int64_t frames) {
    if (file_ == nullptr || frames <= 0) {
        return 0;
    }
    buffer_.resize(static_cast<size_t>(frames * channels_));
    int64_t got = 0;
    while (got < frames) {
        const sf_count_t n = sf_readf_short(file_, buffer_.data() + got * channels_, frames - got);
        if (n <= 0) {
            break;
        }
        got += n;
    }
    for (int64_t i = 0; i < got; ++i) {
        const short left = buffer_[static_cast<size_t>(i * channels_)];
        const short right = buffer_[static_cast<size_t>(i * channels_ + channels_ - 1)];
        const auto l = static_cast<uint16_t>(left);
        const auto r = static_cast<uint16_t>(right);
        out[4 * i] = static_cast<uint8_t>(l & 0xFF);
        out[4 * i + 1] = static_cast<uint8_t>(l >> 8);
        out[4 * i + 2] = static_cast<uint8_t>(r & 0xFF);
        out[4 * i + 3] = static_cast<uint8_t>(r >> 8);
    }
    return got;
}

}  // namespace tarnwick
