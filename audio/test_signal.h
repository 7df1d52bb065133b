#pragma once
// The built-in "Test Signal": a deterministic, programme-like stereo signal that
// exercises the whole meter over a 30-second cycle:
//    0- 3 s  silence
//    3- 8 s  1 kHz tone at -20 dBFS, both channels
//    8-13 s  1 kHz tone at -10 dBFS, both channels
//   13-16 s  1 kHz tone at -0.5 dBFS: lights the over lamp
//   16-23 s  440 Hz, left at -24 dBFS, right at -8 dBFS
//   23-30 s  speech-like bursts: noise in syllables of varying level, -36 to -12 dBFS
// Frames are 16-bit stereo at 44100 frames per second, as the capture format.

#include <cstdint>
#include <string>

namespace tarnwick {

// The name the input list shows for it. It is only ever opened by this name:
// an input that cannot be found is never replaced by it unasked.
inline const std::string kTestSignalDeviceName = "Test Signal";

constexpr int kTestSignalCycleSeconds = 30;

class TestSignal {
public:
    // Writes `frames` frames (4 bytes each, little-endian) and moves on.
    void Fill(uint8_t* out, int64_t frames);
    // Frames produced so far.
    int64_t Position() const { return position_; }

private:
    int64_t position_ = 0;
    uint32_t noise_ = 0x12345678u;
};

}  // namespace tarnwick
