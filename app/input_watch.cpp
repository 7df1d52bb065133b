#include "app/input_watch.h"

#include <utility>

namespace tarnwick {

InputWatch::InputWatch(IClock& clock, ITimerFactory& timers, Actions actions)
    : clock_(clock), actions_(std::move(actions)) {
    checkTimer_ = timers.CreateTimer(kCheckMs, [this] { Check(); });
    retryTimer_ = timers.CreateTimer(kRetryMs, [this] { Retry(); });
    lastBlockTick_ = lastCheckTick_ = clock_.TickCount();
}

void InputWatch::Opened() {
    lost_ = false;
    retryTimer_->Disarm();
    lastBlockTick_ = lastCheckTick_ = clock_.TickCount();
    checkTimer_->Arm();
}

void InputWatch::StartLost(const std::string& reason) {
    lastCheckTick_ = clock_.TickCount();
    checkTimer_->Arm();
    Lose(reason);
}

void InputWatch::Failed(const std::string& reason) {
    if (!lost_) {
        actions_.close();
        Lose(reason);
    }
}

void InputWatch::Lose(const std::string& reason) {
    lost_ = true;
    retryTimer_->Arm();
    if (events_.lost) {
        events_.lost(reason);
    }
}

void InputWatch::Check() {
    const uint32_t now = clock_.TickCount();
    const uint32_t sinceCheck = now - lastCheckTick_;
    lastCheckTick_ = now;
    if (lost_) {
        if (actions_.tickWhileLost) {
            actions_.tickWhileLost();
        }
        return;
    }
    if (sinceCheck > kCheckMs + kLoopStalledMs) {
        // The loop stood still (the machine was suspended, the process
        // stopped): the input's blocks wait behind this check. Count afresh.
        lastBlockTick_ = now;
        return;
    }
    if (now - lastBlockTick_ >= kStallMs) {
        actions_.close();
        Lose("no audio for " + std::to_string(kStallMs / 1000) + " s");
    }
}

void InputWatch::Retry() {
    std::string failure;
    if (!actions_.reopen(failure)) {
        return;  // still lost; tried again at the next retry
    }
    Opened();
    if (events_.back) {
        events_.back();
    }
}

}  // namespace tarnwick
