#pragma once
// The one capture format of the meter: 16-bit stereo PCM at 44100 frames per
// second, little-endian, left channel first. Every layer that packs or reads
// frames or counts graph columns takes its numbers from here.

#include <cstdint>

namespace tarnwick {

constexpr int kSampleRate = 44100;
constexpr int kBytesPerFrame = 4;
// Graph columns per sweep: one block per column.
constexpr int kSweepColumns = 500;

// One 16-bit sample at p, as stored in a capture block.
inline int32_t ReadSample(const uint8_t* p) {
    return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
}

// Stores one frame at p.
inline void WriteFrame(uint8_t* p, int16_t left, int16_t right) {
    const auto l = static_cast<uint16_t>(left);
    const auto r = static_cast<uint16_t>(right);
    p[0] = static_cast<uint8_t>(l & 0xFF);
    p[1] = static_cast<uint8_t>(l >> 8);
    p[2] = static_cast<uint8_t>(r & 0xFF);
    p[3] = static_cast<uint8_t>(r >> 8);
}

}  // namespace tarnwick
