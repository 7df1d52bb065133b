#pragma once
// When the meter window paints. Blocks come on the device's clock, up to 500 a
// second; the window shows them in frames of about 25 a second, never more
// often than the screen shows frames. A frame is due with the first block that
// finds the last frame at least `earliestMs` old, painted once the blocks that
// came together have all been taken in; a block that comes sooner waits for
// the frame, which is painted no later than `latestMs` after the last one.
//
// Pure arithmetic on milliseconds of a steady clock, so that its rule can be
// checked on a clock of the test's own.

#include <cstdint>
#include <optional>

namespace tarnwick {

class FramePacer {
public:
    FramePacer(int64_t earliestMs, int64_t latestMs) { SetFrameTimes(earliestMs, latestMs); }
    void SetFrameTimes(int64_t earliestMs, int64_t latestMs);

    // A block was taken in at `nowMs`. Returns when the frame that shows it is
    // due: `nowMs` itself when it is due at once, otherwise a later moment. A
    // frame already due sooner stays due then.
    int64_t BlockShown(int64_t nowMs);

    // A frame was painted at `nowMs`; none is due until the next block.
    void FramePainted(int64_t nowMs);

    // When the next frame is due, if one is.
    std::optional<int64_t> due() const { return due_; }

private:
    int64_t earliestMs_ = 0;
    int64_t latestMs_ = 0;
    std::optional<int64_t> lastFrame_;
    std::optional<int64_t> due_;
};

}  // namespace tarnwick
