#pragma once
// Reads a recording through libsndfile as 16-bit stereo frames of the capture
// format. A mono recording feeds both channels. Integer recordings come as
// libsndfile gives them in 16 bits; floating-point ones (32 and 64 bit) are
// scaled so that 1.0 is full scale, and clip beyond it.

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tarnwick {

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
    int64_t FramesRead() const { return read_; }

    // Fills `frames` frames of 4 bytes each. Returns the number of whole frames
    // read: fewer at the end of the recording.
    int64_t Read(uint8_t* out, int64_t frames);

private:
    // Up to `frames` frames of interleaved 16-bit samples; fewer at the end.
    int64_t ReadSamples(short* out, int64_t frames);

    static constexpr double kFullScale = 32768.0;

    SNDFILE* file_ = nullptr;
    int channels_ = 0;
    int64_t frames_ = 0;
    bool floating_ = false;
    int64_t read_ = 0;
    bool ended_ = false;
    bool cut_ = false;
    std::string error_;
    std::vector<short> buffer_;
    std::vector<double> doubles_;
};

}  // namespace tarnwick
