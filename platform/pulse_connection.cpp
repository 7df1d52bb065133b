#include "platform/pulse_connection.h"

#include <pulse/pulseaudio.h>

#include <utility>

namespace tarnwick {
namespace {

constexpr const char* kClientName = "Tarnwick";

struct Timeout {
    PulseConnection* connection;
    bool expired = false;
};

void OnTimeout(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* userdata) {
    auto* t = static_cast<Timeout*>(userdata);
    t->expired = true;
    t->connection->Signal();
}

void OnContextState(pa_context*, void* userdata) {
    static_cast<PulseConnection*>(userdata)->Signal();
}

}  // namespace

PulseConnection::PulseConnection(std::string server, PulsePatience patience)
    : server_(std::move(server)), patience_(patience) {
    mainloop_ = pa_threaded_mainloop_new();
    if (mainloop_ != nullptr && pa_threaded_mainloop_start(mainloop_) < 0) {
        pa_threaded_mainloop_free(mainloop_);
        mainloop_ = nullptr;
    }
}

PulseConnection::~PulseConnection() {
    if (mainloop_ == nullptr) {
        return;
    }
    Lock();
    DropContext();
    Unlock();
    pa_threaded_mainloop_stop(mainloop_);
    pa_threaded_mainloop_free(mainloop_);
}

void PulseConnection::Lock() {
    if (mainloop_ != nullptr) {
        pa_threaded_mainloop_lock(mainloop_);
    }
}

void PulseConnection::Unlock() {
    if (mainloop_ != nullptr) {
        pa_threaded_mainloop_unlock(mainloop_);
    }
}

void PulseConnection::Signal() {
    pa_threaded_mainloop_signal(mainloop_, 0);
}

void PulseConnection::DropContext() {
    if (context_ == nullptr) {
        return;
    }
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
}

bool PulseConnection::EnsureReady() {
    if (mainloop_ == nullptr) {
        return false;
    }
    if (context_ != nullptr && pa_context_get_state(context_) == PA_CONTEXT_READY) {
        return true;
    }
    DropContext();
    context_ = pa_context_new(pa_threaded_mainloop_get_api(mainloop_), kClientName);
    if (context_ == nullptr) {
        return false;
    }
    pa_context_set_state_callback(context_, OnContextState, this);
    // Starting a server of our own would hide a missing one and leave a daemon
    // behind: the meter falls back to its test signal instead.
    if (pa_context_connect(context_, server_.empty() ? nullptr : server_.c_str(),
                           PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        DropContext();
        return false;
    }
    WaitFor(
        [this] {
            const pa_context_state_t s = pa_context_get_state(context_);
            return s == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(s);
        },
        patience_.connect);
    if (pa_context_get_state(context_) != PA_CONTEXT_READY) {
        DropContext();
        return false;
    }
    return true;
}

bool PulseConnection::WaitFor(const std::function<bool()>& done,
                              std::chrono::milliseconds timeout) {
    if (done()) {
        return true;
    }
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(mainloop_);
    Timeout t{this};
    struct timeval when;
    pa_gettimeofday(&when);
    pa_timeval_add(&when, static_cast<pa_usec_t>(timeout.count()) * PA_USEC_PER_MSEC);
    pa_time_event* event = api->time_new(api, &when, OnTimeout, &t);
    bool ok = false;
    for (;;) {
        ok = done();
        if (ok || t.expired ||
            (context_ != nullptr && !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_)))) {
            break;
        }
        pa_threaded_mainloop_wait(mainloop_);
    }
    api->time_free(event);
    return ok;
}

}  // namespace tarnwick
