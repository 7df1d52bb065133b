#include "tools/analyse/recording_feed.h"

#include <algorithm>

#include "core/capture_format.h"

namespace tarnwick {

RecordingFeed::RecordingFeed(unsigned channels, int rate)
    : channels_(channels), rate_(static_cast<uint64_t>(rate)) {}

void RecordingFeed::Hold(const float* samples, size_t frames) {
    // What was fed is dropped once it is most of what is held.
    if (taken_ > 0 && taken_ * 2 >= held_.size()) {
        held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(taken_));
        taken_ = 0;
    }
    held_.insert(held_.end(), samples, samples + frames * channels_);
}

void RecordingFeed::FeedUntil(uint64_t meterFrames) {
    // The recording's frame nearest the engine's time.
    const uint64_t due = (meterFrames * rate_ + kSampleRate / 2) / kSampleRate;
    if (due > fed_) {
        Feed(static_cast<size_t>(due - fed_));
    }
}

void RecordingFeed::FeedAll() {
    Feed((held_.size() - taken_) / channels_);
}

void RecordingFeed::Feed(size_t frames) {
    frames = std::min(frames, (held_.size() - taken_) / channels_);
    if (frames == 0) {
        return;
    }
    for (const Taker& take : takers_) {
        take(held_.data() + taken_, frames);
    }
    taken_ += frames * channels_;
    fed_ += frames;
}

}  // namespace tarnwick
