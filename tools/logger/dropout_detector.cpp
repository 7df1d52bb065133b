#include "tools/logger/dropout_detector.h"

#include <algorithm>

namespace tarnwick {

int64_t DropoutDetector::AddBlock(int64_t tickMs, int64_t frames, int64_t sampleRate,
                                  int64_t framesWaiting) {
    if (!started_) {
        // The stream's position 0 was this block's start.
        started_ = true;
        originMs_ = tickMs - frames * 1000 / sampleRate;
        frames_ = 0;
        ownLagMs_ = 0;
        recent_.clear();
        lastJudgedMs_ = tickMs;
        judgeFromMs_ = tickMs;
    }
    frames_ += frames;
    if (framesWaiting > frames) {
        return 0;  // catching up on a backlog: this block is late, its audio is not lost
    }
    if (tickMs - lastJudgedMs_ > kSettleMs) {
        // After a stall the stream's lag is judged again only once the
        // stream has run evenly for a while: the first blocks may still be
        // part of the burst.
        judgeFromMs_ = tickMs + kSettleMs;
    }
    lastJudgedMs_ = tickMs;
    const int64_t lag = tickMs - (originMs_ + frames_ * 1000 / sampleRate);
    while (!recent_.empty() && recent_.back().lagMs >= lag) {
        recent_.pop_back();  // a smaller lag came later: the larger can no longer be the least
    }
    recent_.push_back({tickMs, lag});
    while (recent_.front().tick < tickMs - kWindowMs) {
        recent_.pop_front();
    }
    const int64_t least = recent_.front().lagMs;
    if (least < ownLagMs_) {
        ownLagMs_ = least;  // the stream runs ahead of what was learnt: learn it
        return 0;
    }
    // Judged once the stream has run for a whole window.
    if (least - ownLagMs_ > kToleranceMs && tickMs - originMs_ > kWindowMs &&
        tickMs >= judgeFromMs_) {
        const int64_t lost = least - ownLagMs_;
        ownLagMs_ = least;
        return lost;
    }
    return 0;
}

void DropoutDetector::Restart() {
    started_ = false;
}

}  // namespace tarnwick
