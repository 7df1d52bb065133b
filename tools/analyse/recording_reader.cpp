#include "tools/analyse/recording_reader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "core/capture_format.h"

namespace tarnwick {
namespace {

// Stretches the reading thread keeps ready: 100 ms each at another rate than
// the meter's, where they are converted, and 1.5 s at the meter's rate, where
// handing a stretch from thread to thread costs more than reading it.
constexpr size_t kChunksAhead = 8;
constexpr int64_t kSameRateStretch = 65536;

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

bool CountsFramesFromItsData(int format) {
    switch (format & SF_FORMAT_TYPEMASK) {
        case SF_FORMAT_WAV:
        case SF_FORMAT_WAVEX:
        case SF_FORMAT_AIFF:
        case SF_FORMAT_W64:
        case SF_FORMAT_RF64:
            break;
        default:
            return false;
    }
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_PCM_16:
        case SF_FORMAT_PCM_24:
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT:
        case SF_FORMAT_DOUBLE:
            return true;
        default:
            return false;
    }
}

}  // namespace

RecordingReader::Sampling RecordingReader::SamplingOf(int encoding) {
    switch (encoding) {
        case SF_FORMAT_FLOAT:
        case SF_FORMAT_DOUBLE:
            return Sampling::kDouble;
        // More than 16 bits of integer: libsndfile's 16-bit samples of these
        // are the top 16 bits of its 32-bit ones.
        case SF_FORMAT_PCM_24:
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_ALAC_20:
        case SF_FORMAT_ALAC_24:
        case SF_FORMAT_ALAC_32:
            return Sampling::kInt;
        default:
            return Sampling::kShort;
    }
}

RecordingReader::RecordingReader(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        error_ = path + ": cannot read this recording (" + sf_strerror(nullptr) + ")";
        return;
    }
    if (info.samplerate < kLowestRecordingRate || info.samplerate > kHighestRecordingRate) {
        error_ = path + ": the recording runs at " + std::to_string(info.samplerate) +
                 " Hz; the meter measures recordings at 22050 to 192000 Hz";
    } else if (info.channels < 1 || info.channels > 2) {
        error_ = path + ": the recording has " + std::to_string(info.channels) +
                 " channels; the meter measures mono or stereo recordings only";
    }
    if (!error_.empty()) {
        sf_close(file);
        return;
    }
    if (info.samplerate != kSampleRate) {
        converter_ = std::make_unique<RateConverter>(info.samplerate);
        if (!converter_->ok()) {
            error_ = path + ": cannot convert " + std::to_string(info.samplerate) +
                     " Hz to the meter's 44100 Hz";
            sf_close(file);
            return;
        }
    }
    file_ = file;
    rate_ = info.samplerate;
    channels_ = info.channels;
    frames_ = info.frames;
    sampling_ = SamplingOf(info.format & SF_FORMAT_SUBMASK);
    cut_ = HeaderDeclaresMore(file);
    lengthExact_ = !cut_ && CountsFramesFromItsData(info.format);
}

RecordingReader::~RecordingReader() {
    if (reading_.joinable()) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        reading_.join();
    }
    if (file_ != nullptr) {
        sf_close(file_);
    }
}

int64_t RecordingReader::ReadSamples(int64_t frames, std::vector<int16_t>& shorts) {
    const auto samples = static_cast<size_t>(frames * channels_);
    int64_t got = 0;
    while (got < frames) {
        const size_t at = static_cast<size_t>(got * channels_);
        sf_count_t n = 0;
        switch (sampling_) {
            case Sampling::kShort:
                shorts.resize(samples);
                n = sf_readf_short(file_, shorts.data() + at, frames - got);
                break;
            case Sampling::kInt:
                ints_.resize(samples);
                n = sf_readf_int(file_, ints_.data() + at, frames - got);
                break;
            case Sampling::kDouble:
                doubles_.resize(samples);
                n = sf_readf_double(file_, doubles_.data() + at, frames - got);
                break;
        }
        if (n <= 0) {
            ended_ = true;
            break;
        }
        got += n;
    }
    read_ += got;
    shorts.resize(static_cast<size_t>(got * channels_));
    shortsRead_ = shorts.data();
    return got;
}

int16_t RecordingReader::Sample16(size_t i) const {
    switch (sampling_) {
        case Sampling::kInt:
            return static_cast<int16_t>(ints_[i] >> 16);
        case Sampling::kDouble: {
            // Scaled as libsndfile scales 16-bit samples (full scale 1.0 is
            // 32768); beyond full scale they clip. What is no number is
            // silence.
            if (!std::isfinite(doubles_[i])) {
                return 0;
            }
            const double scaled = std::nearbyint(doubles_[i] * kFullScale);
            return static_cast<int16_t>(std::clamp(scaled, -kFullScale, kFullScale - 1.0));
        }
        default:
            return shortsRead_[i];
    }
}

float RecordingReader::SampleNative(size_t i) const {
    switch (sampling_) {
        case Sampling::kInt:
            return static_cast<float>(ints_[i] / kIntFullScale);
        case Sampling::kDouble:
            return static_cast<float>(doubles_[i]);
        default:
            return static_cast<float>(shortsRead_[i] / kFullScale);
    }
}

int64_t RecordingReader::ReadFrames(int64_t frames, std::vector<int16_t>& stereo,
                                    std::vector<float>& native) {
    // Stereo 16-bit samples are read where the frames go.
    const bool direct = sampling_ == Sampling::kShort && channels_ == 2;
    const int64_t got = ReadSamples(frames, direct ? stereo : shorts_);
    const auto samples = static_cast<size_t>(got * channels_);
    if (listener_) {
        native.resize(samples);
        for (size_t s = 0; s < samples; ++s) {
            native[s] = SampleNative(s);
        }
    }
    if (sampling_ == Sampling::kDouble) {
        int64_t above = 0;
        int64_t nonFinite = 0;
        for (size_t s = 0; s < samples; ++s) {
            const double v = doubles_[s];
            if (!std::isfinite(v)) {
                if (nonFinite++ == 0 && firstNonFiniteFrame_ < 0) {
                    firstNonFiniteFrame_ = read_ - got + static_cast<int64_t>(s) / channels_;
                }
                continue;
            }
            above += std::fabs(v) > 1.0 ? 1 : 0;
        }
        aboveFullScale_ += above;
        nonFinite_ += nonFinite;
    }
    if (direct) {
        return got;
    }
    stereo.resize(static_cast<size_t>(got * 2));
    const size_t right = static_cast<size_t>(channels_ - 1);
    for (size_t i = 0, s = 0; s < samples; ++i, s += static_cast<size_t>(channels_)) {
        stereo[2 * i] = Sample16(s);
        stereo[2 * i + 1] = Sample16(s + right);
    }
    return got;
}

RecordingReader::Chunk RecordingReader::SpareChunk() {
    const std::lock_guard<std::mutex> lock(mutex_);
    Chunk chunk;
    if (!spares_.empty()) {
        chunk = std::move(spares_.back());
        spares_.pop_back();
    }
    return chunk;
}

void RecordingReader::ReadAhead() {
    // At the meter's rate the stretches are larger: they only save calls.
    const int64_t stretch = converter_ != nullptr ? std::max(1, rate_ / 10) : kSameRateStretch;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || chunks_.size() < kChunksAhead; });
            if (stopping_) {
                return;
            }
        }
        // The buffers of stretches already read are used again: fresh memory
        // for every stretch would cost more than reading it.
        Chunk chunk = SpareChunk();
        int64_t n = 0;
        if (converter_ != nullptr) {
            n = ReadFrames(stretch, stereo_, chunk.native);
            chunk.frames.clear();
            converter_->Convert(n > 0 ? stereo_.data() : nullptr, static_cast<size_t>(n),
                                chunk.frames);
        } else {
            n = ReadFrames(stretch, chunk.frames, chunk.native);
        }
        chunk.last = n <= 0;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            chunks_.push_back(std::move(chunk));
        }
        changed_.notify_all();
        if (n <= 0) {
            return;
        }
    }
}

bool RecordingReader::TakeChunk() {
    if (drained_) {
        return false;
    }
    if (!reading_.joinable()) {
        reading_ = std::thread([this] { ReadAhead(); });
    }
    Chunk chunk;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !chunks_.empty(); });
        chunk = std::move(chunks_.front());
        chunks_.pop_front();
    }
    if (listener_ && !chunk.native.empty()) {
        listener_(chunk.native.data(), chunk.native.size() / static_cast<size_t>(channels_));
    }
    std::swap(current_, chunk.frames);
    currentTaken_ = 0;
    drained_ = chunk.last;
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        spares_.push_back(std::move(chunk));
    }
    changed_.notify_all();
    return true;
}

int64_t RecordingReader::Read(uint8_t* out, int64_t frames) {
    static_assert(std::endian::native == std::endian::little,
                  "capture blocks are little-endian, as the host");
    if (file_ == nullptr || frames <= 0) {
        return 0;
    }
    int64_t got = 0;
    while (got < frames) {
        if (currentTaken_ == current_.size()) {
            if (!TakeChunk()) {
                break;
            }
            continue;
        }
        const auto n =
            std::min(frames - got, static_cast<int64_t>((current_.size() - currentTaken_) / 2));
        std::memcpy(out + got * kBytesPerFrame, current_.data() + currentTaken_,
                    static_cast<size_t>(n * kBytesPerFrame));
        currentTaken_ += static_cast<size_t>(n * 2);
        got += n;
    }
    return got;
}

}  // namespace tarnwick
