#include "platform/termination_signals.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace tarnwick {
namespace {

constexpr std::array<int, 3> kSignals = {SIGTERM, SIGINT, SIGHUP};

// The write end for the signal handler and the read end for the event loop.
int gPipe[2] = {-1, -1};

// Only async-signal-safe calls here: one byte into the pipe. A full pipe
// already holds a request, so a failed write loses nothing.
void OnSignal(int signal) {
    const int saved = errno;
    const char byte = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = write(gPipe[1], &byte, 1);
    errno = saved;
}

void Restore() {
    for (const int signal : kSignals) {
        struct sigaction action {};
        action.sa_handler = SIG_DFL;
        sigemptyset(&action.sa_mask);
        sigaction(signal, &action, nullptr);
    }
}

}  // namespace

TerminationSignals::TerminationSignals(std::function<void()> onRequest,
                                       std::function<void()> onHangUp)
    : onRequest_(std::move(onRequest)), onHangUp_(std::move(onHangUp)) {
    if (gPipe[0] >= 0 || socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gPipe) != 0) {
        return;
    }
    fcntl(gPipe[0], F_SETFL, O_NONBLOCK);
    fcntl(gPipe[1], F_SETFL, O_NONBLOCK);
    notifier_ = std::make_unique<QSocketNotifier>(gPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        // Everything waiting is one request, and one hang-up when one is
        // handled apart.
        std::array<char, 64> bytes{};
        bool request = false;
        bool hangUp = false;
        for (ssize_t got = 0; (got = read(gPipe[0], bytes.data(), bytes.size())) > 0;) {
            for (ssize_t i = 0; i < got; ++i) {
                (bytes[static_cast<size_t>(i)] == SIGHUP && onHangUp_ ? hangUp : request) = true;
            }
        }
        if (hangUp) {
            onHangUp_();
        }
        if (request && onRequest_) {
            onRequest_();
        }
    });
    for (const int signal : kSignals) {
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        sigaction(signal, &action, nullptr);
    }
}

TerminationSignals::~TerminationSignals() {
    if (notifier_ == nullptr) {
        return;
    }
    Restore();
    notifier_.reset();
    close(gPipe[0]);
    close(gPipe[1]);
    gPipe[0] = gPipe[1] = -1;
}

}  // namespace tarnwick
