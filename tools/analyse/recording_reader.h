#pragma once
// Reads a recording through libsndfile as 16-bit stereo frames of the capture
// format. A mono recording feeds both channels. Integer recordings come as
// libsndfile gives them in 16 bits; floating-point ones (32 and 64 bit) are
// scaled so that 1.0 is full scale, and clip beyond it. A recording at another
// rate than 44100 Hz (22050 to 192000) is converted to it; a listener can take
// the frames at the recording's own rate as they are read. The conversion runs
// on a thread of its own, a little ahead of the measurement, on the second core.

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
    int SampleRate() const { return rate_; }

    // Called with every stretch of stereo frames at the recording's own rate,
    // as it is read.
    using NativeListener = std::function<void(const int16_t* frames, size_t count)>;
    void SetNativeListener(NativeListener listener) { listener_ = std::move(listener); }

    // Fills `frames` frames of 4 bytes each at 44100 Hz. Returns the number of
    // whole frames read: fewer at the end of the recording.
    int64_t Read(uint8_t* out, int64_t frames);

private:
    // Up to `frames` frames of interleaved 16-bit samples; fewer at the end.
    int64_t ReadSamples(short* out, int64_t frames);
    // Up to `frames` stereo frames at the recording's rate into stereo_.
    int64_t ReadStereo(int64_t frames);
    // The converting thread: reads and converts stretch by stretch into
    // chunks_, keeping a few ahead.
    void Convert();
    // Takes the next converted stretch, waiting for it; false after the last.
    bool TakeChunk();

    static constexpr double kFullScale = 32768.0;

    SNDFILE* file_ = nullptr;
    int channels_ = 0;
    int rate_ = 0;
    int64_t frames_ = 0;
    bool floating_ = false;
    std::atomic<int64_t> read_ = 0;
    std::atomic<bool> ended_ = false;
    bool cut_ = false;
    std::string error_;
    std::vector<short> buffer_;
    std::vector<double> doubles_;
    std::vector<int16_t> stereo_;
    NativeListener listener_;
    // At another rate: the converter and its thread, the stretches it has
    // converted, and what was taken from them that is not read yet.
    struct Chunk {
        std::vector<int16_t> native;
        std::vector<int16_t> converted;
        bool last = false;
    };
    std::unique_ptr<RateConverter> converter_;
    std::thread converting_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Chunk> chunks_;
    bool stopping_ = false;
    bool drained_ = false;  // the last chunk was taken
    std::vector<int16_t> converted_;
    size_t convertedTaken_ = 0;  // samples of converted_ already read
};

}  // namespace tarnwick
