#pragma once
// Reads a recording through libsndfile as 16-bit stereo frames of the capture
// format. A mono recording feeds both channels.

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

    // Fills `frames` frames of 4 bytes each. Returns the number of whole frames
    // read: fewer at the end of the recording.
    int64_t Read(uint8_t* out, int64_t frames);

private:
    SNDFILE* file_ = nullptr;
    int channels_ = 0;
    int64_t frames_ = 0;
    std::string error_;
    std::vector<short> buffer_;
};

}  // namespace tarnwick
