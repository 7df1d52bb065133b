#pragma once
// Serves the logger's figures at http://ADDRESS:PORT/metrics, and nothing
// else, on a thread of its own. The event loop publishes the text; the server
// only reads it, under a lock.
//
// Whoever can reach the port can send anything, so every request is bounded
// before cpp-httplib sees it: the server reads a request's head (request line
// and headers, up to their blank line) itself, into a fixed buffer, and hands
// cpp-httplib only a complete head that fits. A longer head is refused (431),
// a request with a body too (413); a head not complete within the read time,
// or a connection past the limit, is closed. The memory the server holds is
// thus fixed, whatever arrives, and a scrape is answered while slow or idle
// connections are open. One request per connection (Connection: close).

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace tarnwick {

struct MetricsServerLimits {
    // Request line and headers, with their CR LF line ends and blank line.
    size_t maxRequestHeadBytes = 8192;
    // Connections open at once. A new one past the limit closes the one that
    // has waited longest, so that idle connections cannot lock a scrape out.
    int maxConnections = 8;
    // From a connection's accept to its end: its head must be complete, and
    // the client gone after the answer, by then. A client that sends slowly,
    // or not at all, is closed after this.
    std::chrono::milliseconds readTimeout{5000};
};

enum class ListenResult {
    kListening,
    kMalformedAddress,  // not ADDRESS:PORT: a mistake in the option (exit 2)
    kCannotListen,      // in use, or not an address of this machine (exit 1)
};

class MetricsServer {
public:
    explicit MetricsServer(MetricsServerLimits limits = {});
    // Stops serving and closes every connection; waits for the server's thread.
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Listens on "ADDRESS:PORT" (an IPv6 address in brackets; a host name is
    // resolved once). A port that another program, or another logger, listens
    // on is kCannotListen: the port is never shared. Otherwise `error` says
    // why, naming the address. Call once.
    ListenResult Listen(const std::string& where, std::string& error);
    // The text /metrics answers with from now on. Any thread.
    void Publish(std::string text);

private:
    class Connections;

    MetricsServerLimits limits_;
    std::unique_ptr<Connections> connections_;
    std::thread thread_;
    std::mutex mutex_;
    std::string text_;
};

}  // namespace tarnwick
