#pragma once
// Serves the logger's figures at http://ADDRESS:PORT/metrics, and nothing
// else, with cpp-httplib on a thread of its own. The event loop publishes the
// text; the server only reads it, under a lock.

#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace tarnwick {

class MetricsServer {
public:
    MetricsServer();
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Listens on "ADDRESS:PORT" (an IPv6 address in brackets). False, with
    // `error` saying why, when the address is not one or cannot be bound.
    bool Listen(const std::string& where, std::string& error);
    void Publish(std::string text);

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    std::mutex mutex_;
    std::string text_;
};

}  // namespace tarnwick
