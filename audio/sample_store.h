#pragma once
// TSampleStore: the first eight minutes of a test's audio, exactly as the input
// device delivered it, so that the test can be heard and measured again.
//
// The 84,672,000 bytes are reserved at once but the system commits memory only
// as the store is written: the meter's resident size grows by what a test
// records, not by 85 MB at start-up. Bytes never written read as silence.

#include <cstdint>
#include <memory>

namespace tarnwick {

// 480 s of 16-bit stereo at 44100 frames per second.
constexpr int32_t kStoreCapacity = 84'672'000;

class TSampleStore {
public:
    TSampleStore();
    uint8_t* data() { return bytes_.get(); }
    const uint8_t* data() const { return bytes_.get(); }
    int32_t capacity() const { return bytes_ ? kStoreCapacity : 0; }
    // Keeps no audio from now: a program that never replays does not grow by
    // the eight minutes a test records.
    void Release() { bytes_.reset(); }

    // Byte index of the next frame, for recording and for replay alike.
    int32_t StorePosition = 0;

private:
    struct Free {
        void operator()(uint8_t* p) const;
    };
    std::unique_ptr<uint8_t, Free> bytes_;
};

}  // namespace tarnwick
