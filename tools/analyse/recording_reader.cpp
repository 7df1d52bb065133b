#include "tools/analyse/recording_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/capture_format.h"

namespace tarnwick {
namespace {

// Whether libsndfile's log of the open saw a chunk whose header declares more
// bytes than the file holds ("data : 176400 (should be 88200)"): a recording
// cut off in copying or recording. libsndfile then counts only the frames that
// are there, and says so only in its log.
bool HeaderDeclaresMore(SNDFILE* file) {
    std::string log(4096, '\0');
    sf_command(file, SFC_GET_LOG_INFO, log.data(), static_cast<int>(log.size()));
    static const std::string kShouldBe = " (should be ";
    for (size_t at = log.find(kShouldBe); at != std::string::npos;
         at = log.find(kShouldBe, at + 1)) {
        const size_t lineStart = log.rfind('\n', at);
        const size_t colon = log.find(" : ", lineStart == std::string::npos ? 0 : lineStart);
        if (colon == std::string::npos || colon > at) {
            continue;
        }
        const long long declared = std::atoll(log.c_str() + colon + 3);
        const long long actual = std::atoll(log.c_str() + at + kShouldBe.size());
        if (declared > actual) {
            return true;
        }
    }
    return false;
}

}  // namespace

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
    const int encoding = info.format & SF_FORMAT_SUBMASK;
    floating_ = encoding == SF_FORMAT_FLOAT || encoding == SF_FORMAT_DOUBLE;
    cut_ = HeaderDeclaresMore(file);
}

RecordingReader::~RecordingReader() {
    if (file_ != nullptr) {
        sf_close(file_);
    }
}

int64_t RecordingReader::ReadSamples(short* out, int64_t frames) {
    if (!floating_) {
        return sf_readf_short(file_, out, frames);
    }
    // Floating-point samples are read as they are and scaled as libsndfile scales
    // 16-bit ones (full scale 1.0 is 32768); beyond full scale they clip.
    doubles_.resize(static_cast<size_t>(frames * channels_));
    const sf_count_t got = sf_readf_double(file_, doubles_.data(), frames);
    for (size_t i = 0; i < static_cast<size_t>(std::max<sf_count_t>(got, 0) * channels_); ++i) {
        const double scaled = std::nearbyint(doubles_[i] * kFullScale);
        out[i] = static_cast<short>(std::clamp(scaled, -kFullScale, kFullScale - 1.0));
    }
    return got;
}

int64_t RecordingReader::Read(uint8_t* out, int64_t frames) {
    if (file_ == nullptr || frames <= 0) {
        return 0;
    }
    buffer_.resize(static_cast<size_t>(frames * channels_));
    int64_t got = 0;
    while (got < frames) {
        const int64_t n = ReadSamples(buffer_.data() + got * channels_, frames - got);
        if (n <= 0) {
            ended_ = true;
            break;
        }
        got += n;
    }
    read_ += got;
    for (int64_t i = 0; i < got; ++i) {
        const short left = buffer_[static_cast<size_t>(i * channels_)];
        const short right = buffer_[static_cast<size_t>(i * channels_ + channels_ - 1)];
        WriteFrame(out + kBytesPerFrame * i, left, right);
    }
    return got;
}

}  // namespace tarnwick
