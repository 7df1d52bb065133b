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
    state_ = State::kOpen;
    delivered_ = false;
    retryTimer_->Disarm();
    lastBlockTick_ = lastCheckTick_ = clock_.TickCount();
    checkTimer_->Arm();
}

void InputWatch::StartLost(const std::string& reason) {
    lastCheckTick_ = clock_.TickCount();
    checkTimer_->Arm();
    Lose(reason);
}

void InputWatch::BlockArrived() {
    lastBlockTick_ = clock_.TickCount();
    delivered_ = true;
    if (state_ != State::kReopened) {
        return;
    }
    state_ = State::kOpen;
    retryTimer_->Disarm();
    if (events_.back) {
        events_.back();
    }
}

void InputWatch::Failed(const std::string& reason) {
    if (state_ == State::kReopened) {
        // The reopened stream failed before it delivered: still the same loss.
        actions_.close();
        state_ = State::kLost;
        return;
    }
    if (state_ == State::kOpen) {
        actions_.close();
        Lose(reason);
    }
}

void InputWatch::Lose(const std::string& reason) {
    state_ = State::kLost;
    delivered_ = false;
    retryTimer_->Arm();
    if (events_.lost) {
        events_.lost(reason);
    }
}

void InputWatch::Check() {
    const uint32_t now = clock_.TickCount();
    const uint32_t sinceCheck = now - lastCheckTick_;
    lastCheckTick_ = now;
    if (state_ != State::kOpen) {
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
    if (state_ == State::kReopened) {
        // Opened at the last retry and silent since: a suspended source.
        // Closed and opened afresh, still lost.
        actions_.close();
        state_ = State::kLost;
    }
    std::string failure;
    if (!actions_.reopen(failure)) {
        return;  // still lost; tried again at the next retry
    }
    state_ = State::kReopened;
    delivered_ = false;
    lastBlockTick_ = clock_.TickCount();
}

}  // namespace tarnwick
