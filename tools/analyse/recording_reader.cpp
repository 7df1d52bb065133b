#include "tools/analyse/recording_reader.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/capture_format.h"

namespace tarnwick {
namespace {

// Stretches of 100 ms the converting thread keeps ready.
constexpr size_t kChunksAhead = 8;

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
}

RecordingReader::~RecordingReader() {
    if (converting_.joinable()) {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        converting_.join();
    }
    if (file_ != nullptr) {
        sf_close(file_);
    }
}

int64_t RecordingReader::ReadSamples(int64_t frames) {
    const auto samples = static_cast<size_t>(frames * channels_);
    int64_t got = 0;
    while (got < frames) {
        const size_t at = static_cast<size_t>(got * channels_);
        sf_count_t n = 0;
        switch (sampling_) {
            case Sampling::kShort:
                shorts_.resize(samples);
                n = sf_readf_short(file_, shorts_.data() + at, frames - got);
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
    return got;
}

int16_t RecordingReader::Sample16(size_t i) const {
    switch (sampling_) {
        case Sampling::kInt:
            return static_cast<int16_t>(ints_[i] >> 16);
        case Sampling::kDouble: {
            // Scaled as libsndfile scales 16-bit samples (full scale 1.0 is
            // 32768); beyond full scale they clip.
            const double scaled = std::nearbyint(doubles_[i] * kFullScale);
            return static_cast<int16_t>(std::clamp(scaled, -kFullScale, kFullScale - 1.0));
        }
        default:
            return shorts_[i];
    }
}

float RecordingReader::SampleNative(size_t i) const {
    switch (sampling_) {
        case Sampling::kInt:
            return static_cast<float>(ints_[i] / kIntFullScale);
        case Sampling::kDouble:
            return static_cast<float>(doubles_[i]);
        default:
            return static_cast<float>(shorts_[i] / kFullScale);
    }
}

int64_t RecordingReader::ReadFrames(int64_t frames) {
    const int64_t got = ReadSamples(frames);
    const auto samples = static_cast<size_t>(got * channels_);
    stereo_.resize(static_cast<size_t>(got * 2));
    const size_t right = static_cast<size_t>(channels_ - 1);
    if (sampling_ == Sampling::kShort) {
        for (size_t i = 0, s = 0; s < samples; ++i, s += static_cast<size_t>(channels_)) {
            stereo_[2 * i] = shorts_[s];
            stereo_[2 * i + 1] = shorts_[s + right];
        }
    } else {
        for (size_t i = 0, s = 0; s < samples; ++i, s += static_cast<size_t>(channels_)) {
            stereo_[2 * i] = Sample16(s);
            stereo_[2 * i + 1] = Sample16(s + right);
        }
    }
    if (sampling_ == Sampling::kDouble) {
        int64_t above = 0;
        for (size_t s = 0; s < samples; ++s) {
            above += std::fabs(doubles_[s]) > 1.0 ? 1 : 0;
        }
        aboveFullScale_ += above;
    }
    if (listener_) {
        native_.resize(samples);
        for (size_t s = 0; s < samples; ++s) {
            native_[s] = SampleNative(s);
        }
    }
    return got;
}

void RecordingReader::Convert() {
    const int64_t stretch = std::max(1, rate_ / 10);  // 100 ms
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || chunks_.size() < kChunksAhead; });
            if (stopping_) {
                return;
            }
        }
        Chunk chunk;
        const int64_t n = ReadFrames(stretch);
        if (n > 0) {
            chunk.native = native_;
            converter_->Convert(stereo_.data(), static_cast<size_t>(n), chunk.converted);
        } else {
            converter_->Convert(nullptr, 0, chunk.converted);
            chunk.last = true;
        }
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
    if (!converting_.joinable()) {
        converting_ = std::thread([this] { Convert(); });
    }
    Chunk chunk;
    {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return !chunks_.empty(); });
        chunk = std::move(chunks_.front());
        chunks_.pop_front();
    }
    changed_.notify_all();
    if (listener_ && !chunk.native.empty()) {
        listener_(chunk.native.data(), chunk.native.size() / static_cast<size_t>(channels_));
    }
    converted_.insert(converted_.end(), chunk.converted.begin(), chunk.converted.end());
    drained_ = chunk.last;
    return true;
}

int64_t RecordingReader::Read(uint8_t* out, int64_t frames) {
    if (file_ == nullptr || frames <= 0) {
        return 0;
    }
    const int16_t* from = nullptr;
    int64_t got = 0;
    if (converter_ == nullptr) {
        got = ReadFrames(frames);
        from = stereo_.data();
        if (listener_ && got > 0) {
            listener_(native_.data(), static_cast<size_t>(got));
        }
    } else {
        // Take converted stretches until there are frames enough, or no more.
        auto available = [&] {
            return static_cast<int64_t>((converted_.size() - convertedTaken_) / 2);
        };
        // What was read is dropped once it is most of what is held.
        if (convertedTaken_ > 0 && convertedTaken_ * 2 >= converted_.size()) {
            converted_.erase(converted_.begin(),
                             converted_.begin() + static_cast<std::ptrdiff_t>(convertedTaken_));
            convertedTaken_ = 0;
        }
        while (available() < frames && TakeChunk()) {
        }
        got = std::min(frames, available());
        from = converted_.data() + convertedTaken_;
        convertedTaken_ += static_cast<size_t>(got * 2);
    }
    for (int64_t i = 0; i < got; ++i) {
        WriteFrame(out + kBytesPerFrame * i, from[2 * i], from[2 * i + 1]);
    }
    return got;
}

}  // namespace tarnwick
