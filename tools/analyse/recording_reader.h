#pragma once
// Reads a recording through libsndfile as 16-bit stereo frames of the capture
// format. A mono recording feeds both channels. Integer recordings come as
// libsndfile gives them in 16 bits (24 and 32-bit ones cut to their top 16
// bits); floating-point ones (32 and 64 bit) are scaled so that 1.0 is full
// scale, and clip beyond it. A recording at another rate than 44100 Hz (22050
// to 192000) is converted to it. Reading and conversion run on a thread of
// their own, a little ahead of the measurement, on the second core.
//
// A listener can take the recording's own samples as they are read: at its
// own rate, in its own channels, at full precision (24 and 32-bit integers and
// floating point as they are, beyond full scale included), 1.0 being full
// scale.

#include <sndfile.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/analyse/rate_converter.h"

namespace tarnwick {

// The recording rates the reader takes.
constexpr int kLowestRecordingRate = 22050;
constexpr int kHighestRecordingRate = 192000;

class RecordingReader {
public:
    // Opens `path`. On failure the reader is not open and Error() says why, in
    // one line.
    explicit RecordingReader(const std::string& path);
    ~RecordingReader();
    RecordingReader(const RecordingReader&) = delete;
    RecordingReader& operator=(const RecordingReader&) = delete;

    bool IsOpen() const { return file_ != nullptr; }
    const std::string& Error() const { return error_; }
    int64_t Frames() const { return frames_; }  // as the file declares them
    // True when the recording is shorter than its header says (a file cut off
    // in copying or recording): its header declares more than the file holds,
    // or the frames ran out before the count it declares.
    bool EndedEarly() const { return cut_ || (ended_ && read_ < frames_); }
    int64_t FramesRead() const { return read_; }  // at the recording's rate
    // Whether Frames() is exact: an uncompressed WAV, AIFF, W64 or RF64 file
    // counts its frames from the size of its data, a cut data chunk aside;
    // other formats take their headers' word.
    bool LengthIsExact() const { return lengthExact_; }
    int SampleRate() const { return rate_; }
    int Channels() const { return channels_; }
    // Samples of a floating-point recording read so far that lie beyond full
    // scale, where the 16-bit frames clip.
    int64_t SamplesAboveFullScale() const { return aboveFullScale_; }
    // Samples of a floating-point recording read so far that are no numbers
    // (NaN, infinity): silence in the 16-bit frames, and taken as silence by
    // the meters that read the recording's own samples. The frame, at the
    // recording's rate, of the first; -1 while there is none.
    int64_t NonFiniteSamples() const { return nonFinite_; }
    int64_t FirstNonFiniteFrame() const { return firstNonFiniteFrame_; }

    // Called with every stretch of the recording's own frames (Channels()
    // samples each, interleaved) as it is read. Set before the first Read.
    using NativeListener = std::function<void(const float* samples, size_t frames)>;
    void SetNativeListener(NativeListener listener) { listener_ = std::move(listener); }

    // Fills `frames` frames of 4 bytes each at 44100 Hz. Returns the number of
    // whole frames read: fewer at the end of the recording.
    int64_t Read(uint8_t* out, int64_t frames);

private:
    // How the samples are read: as libsndfile gives them in 16 bits, as 32-bit
    // integers (recordings of more than 16 bits), or as floating point.
    enum class Sampling { kShort, kInt, kDouble };
    static Sampling SamplingOf(int encoding);

    // Up to `frames` frames at the recording's rate: stereo 16-bit frames into
    // `stereo` and, for a listener, the recording's own samples into `native`.
    int64_t ReadFrames(int64_t frames, std::vector<int16_t>& stereo, std::vector<float>& native);
    // Up to `frames` frames (fewer at the end) into the buffer of the sampling:
    // `shorts` for 16-bit samples.
    int64_t ReadSamples(int64_t frames, std::vector<int16_t>& shorts);
    // The 16-bit sample and the full-precision one of sample `i` read.
    int16_t Sample16(size_t i) const;
    float SampleNative(size_t i) const;
    // The reading thread: reads (and converts) stretch by stretch into
    // chunks_, keeping a few ahead.
    void ReadAhead();
    // Takes the next stretch, waiting for it; false after the last.
    bool TakeChunk();

    static constexpr double kFullScale = 32768.0;
    static constexpr double kIntFullScale = 2147483648.0;

    SNDFILE* file_ = nullptr;
    int channels_ = 0;
    int rate_ = 0;
    int64_t frames_ = 0;
    Sampling sampling_ = Sampling::kShort;
    std::atomic<int64_t> read_ = 0;
    std::atomic<bool> ended_ = false;
    std::atomic<int64_t> aboveFullScale_ = 0;
    std::atomic<int64_t> nonFinite_ = 0;
    std::atomic<int64_t> firstNonFiniteFrame_ = -1;
    bool cut_ = false;
    bool lengthExact_ = false;
    std::string error_;
    std::vector<int16_t> shorts_;
    const int16_t* shortsRead_ = nullptr;  // the 16-bit samples last read
    std::vector<int> ints_;
    std::vector<double> doubles_;
    std::vector<int16_t> stereo_;  // before conversion
    NativeListener listener_;
    // The converter at another rate, the reading thread, the stretches it has
    // read, and the one being read now.
    struct Chunk {
        std::vector<float> native;
        std::vector<int16_t> frames;  // at 44100 Hz
        bool last = false;
    };
    Chunk SpareChunk();

    std::unique_ptr<RateConverter> converter_;
    std::thread reading_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Chunk> chunks_;
    std::vector<Chunk> spares_;  // read already, their buffers to fill again
    bool stopping_ = false;
    bool drained_ = false;  // the last chunk was taken
    std::vector<int16_t> current_;
    size_t currentTaken_ = 0;  // samples of current_ already read
};

}  // namespace tarnwick
