#pragma once
// The rule for an input that stops. The input is lost when its device reports
// a failure (the sound server went away, the interface was unplugged), when no
// block has come for kStallMs while it is open (a suspended source, a frozen
// server, a wedged USB device), or when it cannot be found or opened at all.
// A lost input is closed and the same input is tried again every kRetryMs;
// nothing else is ever put in its place.
//
// Back means audio: an input opened again is back only when a block of the
// reopened stream has arrived. A stream that opens but delivers nothing (a
// source suspended, an S/PDIF input without lock) stays lost, without a word:
// it is closed and opened again at the next retry, for as long as it takes.
//
// While the input is lost the test and its results file go on: the test clock
// is ticked every kCheckMs so that records come on schedule, and the time
// without input counts as neither over nor under a target.
//
// Toolkit-free and driven through the clock and timer ports; everything runs
// on the event loop's thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/ports/clock.h"
#include "core/ports/timers.h"

namespace tarnwick {

class InputWatch {
public:
    static constexpr uint32_t kStallMs = 5000;
    static constexpr uint32_t kRetryMs = 5000;
    static constexpr uint32_t kCheckMs = 500;
    // A check that comes this much later than its interval means the event
    // loop itself stood still: the blocks waiting behind it are not late, so
    // the stall is not judged on that check.
    static constexpr uint32_t kLoopStalledMs = 1500;

    struct Actions {
        // Tries to open the input again: true when it is open; else `failure`
        // says why.
        std::function<bool(std::string& failure)> reopen;
        // Closes the input that stopped delivering.
        std::function<void()> close;
        // Every check while the input is lost: the test clock goes on.
        std::function<void()> tickWhileLost;
    };
    struct Events {
        // The input is lost, with the reason; once per loss.
        std::function<void(const std::string& reason)> lost;
        // The input is back: the first block of the reopened stream has
        // arrived (and is measured after this). Once per loss.
        std::function<void()> back;
    };

    InputWatch(IClock& clock, ITimerFactory& timers, Actions actions);
    InputWatch(const InputWatch&) = delete;
    InputWatch& operator=(const InputWatch&) = delete;

    void SetEvents(Events events) { events_ = std::move(events); }

    // The input opened at the start; blocks are expected from now.
    void Opened();
    // The input could not be found or opened at the start: lost from the
    // beginning.
    void StartLost(const std::string& reason);
    // A block of the stream now open arrived (blocks a closed stream hands
    // back are never reported).
    void BlockArrived();
    // The device reported a failure.
    void Failed(const std::string& reason);

    // Lost until a block of a reopened stream arrives.
    bool Lost() const { return state_ != State::kOpen; }
    // Blocks of the open stream are arriving: it is open and has delivered
    // one since it opened (or came back).
    bool Delivering() const { return state_ == State::kOpen && delivered_; }
    // Milliseconds since the last block (or since the input opened).
    uint32_t SinceLastBlockMs() { return clock_.TickCount() - lastBlockTick_; }

private:
    enum class State {
        kOpen,      // open and delivering, or opened at the start
        kLost,      // closed; tried again every kRetryMs
        kReopened,  // opened again, no block from it yet: still lost
    };
    void Lose(const std::string& reason);
    void Check();
    void Retry();

    IClock& clock_;
    Actions actions_;
    Events events_;
    std::unique_ptr<ITimer> checkTimer_;
    std::unique_ptr<ITimer> retryTimer_;
    State state_ = State::kOpen;
    bool delivered_ = false;
    uint32_t lastBlockTick_ = 0;
    uint32_t lastCheckTick_ = 0;
};

}  // namespace tarnwick
