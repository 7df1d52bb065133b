#include "tools/logger/metrics_server.h"

#include <httplib.h>
#include <netdb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <functional>
#include <string_view>
#include <vector>

namespace tarnwick {
namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

// Connections the kernel holds for the server until it accepts them.
constexpr int kListenBacklog = 16;
// With no descriptor left, new connections wait this long in the kernel
// rather than wake the server again and again.
constexpr std::chrono::milliseconds kAcceptPause{100};

// The blank line that ends a request's head.
constexpr std::string_view kEndOfHead = "\r\n\r\n";

// After its answer, a connection is read (and what comes thrown away) until
// the client closes it, for at most this much: closing a socket with unread
// bytes resets the connection, and the client could lose the answer.
constexpr size_t kMaxDrainBytes = 65536;

// The reply to a head longer than the limit, before the connection is closed.
constexpr std::string_view kHeadTooLarge =
    "HTTP/1.1 431 Request Header Fields Too Large\r\n"
    "Content-Length: 0\r\nConnection: close\r\n\r\n";

// The reply to a request that carries a body: none is taken.
constexpr std::string_view kBodyRefused =
    "HTTP/1.1 413 Payload Too Large\r\n"
    "Content-Length: 0\r\nConnection: close\r\n\r\n";

std::string_view Trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// True when the request head announces a body: a Transfer-Encoding, or a
// Content-Length other than 0. cpp-httplib would ignore the body of a GET and
// leave it to be read as the next request.
bool AnnouncesBody(std::string_view head) {
    for (size_t at = head.find("\r\n"); at != std::string_view::npos;) {
        const size_t start = at + 2;
        const size_t end = head.find("\r\n", start);
        if (end == std::string_view::npos) {
            break;
        }
        const std::string_view line = head.substr(start, end - start);
        const size_t colon = line.find(':');
        if (colon != std::string_view::npos) {
            const std::string_view name = Trimmed(line.substr(0, colon));
            const std::string_view value = Trimmed(line.substr(colon + 1));
            if (SameName(name, "Transfer-Encoding") ||
                (SameName(name, "Content-Length") && value != "0")) {
                return true;
            }
        }
        at = end;
    }
    return false;
}

int MillisecondsUntil(SteadyTime due, SteadyTime now) {
    if (due <= now) {
        return 0;
    }
    // Rounded up, so that a wait never ends just before `due`.
    return static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(due - now).count());
}

// Sends all of `data` on a non-blocking socket, waiting for room until `due`.
// False when the client is gone or too slow.
bool SendAll(int socket, const char* data, size_t size, SteadyTime due) {
    while (size > 0) {
        const ssize_t sent = send(socket, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent > 0) {
            data += sent;
            size -= static_cast<size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd room{socket, POLLOUT, 0};
            const int wait = MillisecondsUntil(due, std::chrono::steady_clock::now());
            if (wait > 0 && poll(&room, 1, wait) > 0) {
                continue;
            }
        }
        return false;
    }
    return true;
}

// A complete request head, read and bounded by the server, as cpp-httplib's
// whole input: it cannot read a byte past the head. What it writes goes to
// the client.
class HeadStream : public httplib::Stream {
public:
    HeadStream(int socket, std::string_view head, SteadyTime due)
        : socket_(socket), head_(head), due_(due) {}

    bool is_readable() const override { return read_ < head_.size(); }
    bool is_writable() const override { return true; }
    ssize_t read(char* ptr, size_t size) override {
        const size_t n = std::min(size, head_.size() - read_);
        std::memcpy(ptr, head_.data() + read_, n);
        read_ += n;
        return static_cast<ssize_t>(n);
    }
    ssize_t write(const char* ptr, size_t size) override {
        return SendAll(socket_, ptr, size, due_) ? static_cast<ssize_t>(size) : -1;
    }
    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip.clear();
        port = -1;
    }
    void get_local_ip_and_port(std::string& ip, int& port) const override {
        ip.clear();
        port = -1;
    }
    socket_t socket() const override { return socket_; }

private:
    int socket_;
    std::string_view head_;
    SteadyTime due_;
    size_t read_ = 0;
};

// cpp-httplib's handling of one request (its parsing, routing and reply)
// without its transport, which reads a request line or header of any length
// into memory before it checks the length.
class RequestHandler : public httplib::Server {
public:
    void Answer(httplib::Stream& stream) {
        bool closed = false;
        process_request(stream, true, closed, nullptr);
    }
};

struct Connection {
    int socket = -1;
    SteadyTime due;         // its head must be complete by then, and the client gone
    std::string head;       // what has come, never more than the limit
    bool answered = false;  // answered or refused, and shut for sending
    size_t drained = 0;     // bytes thrown away since
};

}  // namespace

// The listening socket and the open connections, served on one thread.
class MetricsServer::Connections {
public:
    Connections(const MetricsServerLimits& limits, int listening, std::function<std::string()> text)
        : limits_(limits), listening_(listening), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        handler_.set_payload_max_length(0);  // no request carries a body
        handler_.Get("/metrics", [text = std::move(text)](const httplib::Request&,
                                                          httplib::Response& response) {
            response.set_content(text(), "text/plain; version=0.0.4; charset=utf-8");
        });
    }
    ~Connections() {
        for (const Connection& c : open_) {
            close(c.socket);
        }
        close(listening_);
        if (wake_ >= 0) {
            close(wake_);
        }
    }
    Connections(const Connections&) = delete;
    Connections& operator=(const Connections&) = delete;

    bool Valid() const { return wake_ >= 0; }

    // Serves until Stop.
    void Run() {
        std::vector<pollfd> polled;
        for (;;) {
            const SteadyTime now = std::chrono::steady_clock::now();
            const bool accepting = now >= acceptAgain_;
            const short listen = accepting ? POLLIN : 0;
            polled.assign({{wake_, POLLIN, 0}, {listening_, listen, 0}});
            int wait = accepting ? -1 : MillisecondsUntil(acceptAgain_, now);
            for (const Connection& c : open_) {
                polled.push_back({c.socket, POLLIN, 0});
                const int left = MillisecondsUntil(c.due, now);
                wait = wait < 0 ? left : std::min(wait, left);
            }
            if (poll(polled.data(), polled.size(), wait) < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return;
            }
            if (polled[0].revents != 0) {
                return;
            }
            // Reading first, while the connections still match `polled`.
            std::vector<bool> done(open_.size(), false);
            for (size_t i = 0; i < open_.size(); ++i) {
                if (polled[i + 2].revents != 0) {
                    done[i] = Read(open_[i]);
                }
            }
            const SteadyTime after = std::chrono::steady_clock::now();
            for (size_t i = open_.size(); i-- > 0;) {
                if (done[i] || open_[i].due <= after) {
                    close(open_[i].socket);
                    open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(i));
                }
            }
            if (polled[1].revents != 0) {
                Accept(after);
            }
        }
    }

    void Stop() {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = write(wake_, &one, sizeof one);
    }

private:
    void Accept(SteadyTime now) {
        for (;;) {
            const int socket = accept4(listening_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (socket < 0) {
                if (errno == EMFILE || errno == ENFILE) {
                    acceptAgain_ = now + kAcceptPause;
                }
                return;
            }
            if (static_cast<int>(open_.size()) >= limits_.maxConnections) {
                // The one that has waited longest; the connections are kept
                // in the order they came.
                close(open_.front().socket);
                open_.erase(open_.begin());
            }
            Connection c;
            c.socket = socket;
            c.due = now + limits_.readTimeout;
            c.head.reserve(limits_.maxRequestHeadBytes);
            open_.push_back(std::move(c));
        }
    }

    // Reads what has come on `c`; true when it is finished with: closed by
    // the client, or more sent after the answer than is drained.
    bool Read(Connection& c) {
        char piece[4096];
        for (;;) {
            const size_t room = limits_.maxRequestHeadBytes - c.head.size();
            const ssize_t got =
                recv(c.socket, piece, c.answered ? sizeof piece : std::min(room, sizeof piece), 0);
            if (got < 0) {
                return !(errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
            }
            if (got == 0) {
                return true;
            }
            if (c.answered) {
                c.drained += static_cast<size_t>(got);
                if (c.drained > kMaxDrainBytes) {
                    return true;
                }
                continue;
            }
            const size_t searchFrom = c.head.size() >= 3 ? c.head.size() - 3 : 0;
            c.head.append(piece, static_cast<size_t>(got));
            const size_t end = c.head.find(kEndOfHead, searchFrom);
            if (end != std::string::npos) {
                // Bytes after the blank line are a body or a second request:
                // cpp-httplib sees neither.
                const std::string_view head = std::string_view(c.head).substr(0, end + 4);
                if (AnnouncesBody(head)) {
                    SendAll(c.socket, kBodyRefused.data(), kBodyRefused.size(), c.due);
                } else {
                    HeadStream stream(c.socket, head, c.due);
                    handler_.Answer(stream);
                }
                Answered(c);
            } else if (c.head.size() >= limits_.maxRequestHeadBytes) {
                SendAll(c.socket, kHeadTooLarge.data(), kHeadTooLarge.size(), c.due);
                Answered(c);
            }
        }
    }

    // The answer is out: the client sees its end, and nothing more is kept.
    static void Answered(Connection& c) {
        shutdown(c.socket, SHUT_WR);
        c.answered = true;
        std::string().swap(c.head);
    }

    MetricsServerLimits limits_;
    int listening_;
    int wake_;
    RequestHandler handler_;
    std::vector<Connection> open_;  // in the order they were accepted
    SteadyTime acceptAgain_;        // new connections wait until then
};

namespace {

enum class BindOutcome { kBound, kNoSuchAddress, kFailed };

// A listening socket on `host`:`port`, without SO_REUSEPORT: a port another
// socket listens on is refused, never shared. SO_REUSEADDR lets a restarted
// logger listen again while connections of the last one linger in TIME_WAIT;
// on Linux it never lets two sockets listen on one port.
BindOutcome BindListening(const std::string& host, const std::string& port, int& socketOut,
                          std::string& reason) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const int resolved = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
    if (resolved != 0) {
        reason = gai_strerror(resolved);
        return resolved == EAI_NONAME ? BindOutcome::kNoSuchAddress : BindOutcome::kFailed;
    }
    int error = 0;
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        const int s =
            socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (s < 0) {
            error = errno;
            continue;
        }
        const int yes = 1;
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (bind(s, a->ai_addr, a->ai_addrlen) == 0 && listen(s, kListenBacklog) == 0) {
            freeaddrinfo(found);
            socketOut = s;
            return BindOutcome::kBound;
        }
        error = errno;
        close(s);
    }
    freeaddrinfo(found);
    reason = std::strerror(error);
    return BindOutcome::kFailed;
}

// "HOST:PORT", or "[IPV6]:PORT", into its host and port; false when it is not
// that.
bool SplitAddress(const std::string& where, std::string& host, int& port) {
    const size_t colon = where.rfind(':');
    if (colon == std::string::npos || colon == 0) {
        return false;
    }
    const char* end = where.data() + where.size();
    const std::from_chars_result read = std::from_chars(where.data() + colon + 1, end, port);
    if (read.ec != std::errc() || read.ptr != end || port < 1 || port > 65535) {
        return false;
    }
    host = where.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    return true;
}

}  // namespace

MetricsServer::MetricsServer(MetricsServerLimits limits) : limits_(limits) {}

MetricsServer::~MetricsServer() {
    if (thread_.joinable()) {
        connections_->Stop();
        thread_.join();
    }
}

ListenResult MetricsServer::Listen(const std::string& where, std::string& error) {
    std::string host;
    int port = 0;
    std::string reason;
    int listening = -1;
    const BindOutcome bound = SplitAddress(where, host, port)
                                  ? BindListening(host, std::to_string(port), listening, reason)
                                  : BindOutcome::kNoSuchAddress;
    if (bound == BindOutcome::kNoSuchAddress) {
        error = where + ": expects ADDRESS:PORT, such as 127.0.0.1:9464";
        return ListenResult::kMalformedAddress;
    }
    if (bound == BindOutcome::kFailed) {
        error = where + ": cannot listen there (" + reason + ")";
        return ListenResult::kCannotListen;
    }
    connections_ = std::make_unique<Connections>(limits_, listening, [this] {
        const std::lock_guard<std::mutex> lock(mutex_);
        return text_;
    });
    if (!connections_->Valid()) {
        error = where + ": cannot listen there (" + std::strerror(errno) + ")";
        connections_.reset();
        return ListenResult::kCannotListen;
    }
    thread_ = std::thread([this] { connections_->Run(); });
    return ListenResult::kListening;
}

void MetricsServer::Publish(std::string text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    text_ = std::move(text);
}

}  // namespace tarnwick
