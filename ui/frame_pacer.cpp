#include "ui/frame_pacer.h"

#include <algorithm>

namespace tarnwick {

void FramePacer::SetFrameTimes(int64_t earliestMs, int64_t latestMs) {
    earliestMs_ = earliestMs;
    latestMs_ = std::max(earliestMs, latestMs);
}

int64_t FramePacer::BlockShown(int64_t nowMs) {
    // Waiting for an exact frame time would cost a wake-up of its own: the
    // first block late enough brings the frame with it.
    const bool late = !lastFrame_ || nowMs - *lastFrame_ >= earliestMs_;
    const int64_t due = late ? nowMs : *lastFrame_ + latestMs_;
    due_ = due_ ? std::min(*due_, due) : due;
    return *due_;
}

void FramePacer::FramePainted(int64_t nowMs) {
    lastFrame_ = nowMs;
    due_.reset();
}

}  // namespace tarnwick
