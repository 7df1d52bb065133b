#pragma once
// The requests to end the program that come as signals: SIGTERM (the session
// ends, the system shuts down, `kill`), SIGINT (Ctrl+C in a terminal) and
// SIGHUP (the terminal goes away). Each is turned into a call on the event
// loop, so that the program can close its window the normal way and store
// its results, settings and window state, instead of dying mid-test.
//
// One instance at a time; create and destroy it on the event-loop thread,
// which must run a QCoreApplication.

#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace tarnwick {

class TerminationSignals {
public:
    // `onRequest` runs on the event loop once per signal received. Signals
    // that come while an earlier one waits are merged into it. With `onHangUp`
    // SIGHUP runs that instead: a service reopens its log files.
    explicit TerminationSignals(std::function<void()> onRequest,
                                std::function<void()> onHangUp = {});
    ~TerminationSignals();

    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // False when the signals could not be caught; they then end the program
    // at once, as before.
    bool Active() const { return notifier_ != nullptr; }

private:
    std::function<void()> onRequest_;
    std::function<void()> onHangUp_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace tarnwick
