#pragma once
// One connection to the sound server through libpulse's asynchronous API, with
// its own libpulse thread (a pa_threaded_mainloop). Every libpulse call made from
// another thread happens between Lock() and Unlock(); callbacks run on the
// libpulse thread with the lock already held and must not take it again.
//
// Create, use and destroy it on one thread (the event loop's). Streams made on
// the context must be disconnected and released before the connection is
// destroyed.

#include <chrono>
#include <functional>
#include <string>

struct pa_context;
struct pa_threaded_mainloop;

namespace tarnwick {

// How long a server may take: to accept the connection, and to answer each
// request.
struct PulsePatience {
    std::chrono::milliseconds connect{3000};
    std::chrono::milliseconds reply{3000};
};

class PulseConnection {
public:
    // `server` as libpulse takes it ("unix:/path/native"); empty for the
    // desktop's own server.
    explicit PulseConnection(std::string server, PulsePatience patience = {});
    ~PulseConnection();
    PulseConnection(const PulseConnection&) = delete;
    PulseConnection& operator=(const PulseConnection&) = delete;

    void Lock();
    void Unlock();

    // Under the lock: connects when there is no ready connection (none yet, or
    // the server went away since), waiting at most patience().connect. False when
    // no server answers.
    bool EnsureReady();
    // Under the lock: the context, null before a successful EnsureReady().
    pa_context* context() const { return context_; }
    pa_threaded_mainloop* mainloop() const { return mainloop_; }

    // Under the lock: waits until `done` holds, the context fails or `timeout`
    // passes. True when `done` held.
    bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout);
    // From a callback on the libpulse thread: wakes WaitFor to look again.
    void Signal();

    // A server that accepts the connection but never answers (a frozen one)
    // must not hang the program.
    const PulsePatience& patience() const { return patience_; }

    // The lock for a scope.
    class Locked {
    public:
        explicit Locked(PulseConnection& c) : c_(c) { c_.Lock(); }
        ~Locked() { c_.Unlock(); }
        Locked(const Locked&) = delete;
        Locked& operator=(const Locked&) = delete;

    private:
        PulseConnection& c_;
    };

private:
    void DropContext();

    std::string server_;
    PulsePatience patience_;
    pa_threaded_mainloop* mainloop_ = nullptr;
    pa_context* context_ = nullptr;
};

}  // namespace tarnwick
