#pragma once
// Dropouts of the capture stream, seen in its timing: the frames delivered
// should keep pace with the clock. Blocks arrive in bursts, so each block's
// lag behind the clock varies by the server's buffering; the smallest lag of
// the last few seconds does not. When that smallest lag grows beyond the
// stream's own, the stream has lost time: the server overran and dropped
// frames, or the input stalled. No block is invented for the gap; its length
// is counted once.

#include <cstdint>
#include <deque>

namespace tarnwick {

class DropoutDetector {
public:
    // Lags within this of the stream's own are the server's jitter.
    static constexpr int64_t kToleranceMs = 100;
    // The window whose smallest lag is taken.
    static constexpr int64_t kWindowMs = 5000;
    // How long the stream must run evenly after a stall before its lag is
    // judged again.
    static constexpr int64_t kSettleMs = 2000;

    // A block of `frames` frames at `sampleRate` arrived at `tickMs`, the
    // device holding `framesWaiting` more. Returns the length of audio lost
    // found now, in ms, or 0.
    int64_t AddBlock(int64_t tickMs, int64_t frames, int64_t sampleRate, int64_t framesWaiting = 0);
    // The stream starts afresh (opened again): its timing is learnt anew.
    void Restart();

private:
    struct Lag {
        int64_t tick;
        int64_t lagMs;
    };
    bool started_ = false;
    int64_t originMs_ = 0;  // tick of stream position 0
    int64_t frames_ = 0;    // delivered since the origin
    int64_t ownLagMs_ = 0;  // the stream's own lag, learnt
    std::deque<Lag> recent_;
    int64_t lastJudgedMs_ = 0;  // tick of the last block whose lag was taken
    int64_t judgeFromMs_ = 0;   // no dropout is reported before this tick
};

}  // namespace tarnwick
