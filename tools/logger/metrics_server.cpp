#include "tools/logger/metrics_server.h"

#include <httplib.h>

#include <charconv>

namespace tarnwick {

MetricsServer::MetricsServer() = default;

MetricsServer::~MetricsServer() {
    if (server_ != nullptr) {
        server_->stop();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool MetricsServer::Listen(const std::string& where, std::string& error) {
    const size_t colon = where.rfind(':');
    int port = 0;
    if (colon == std::string::npos || colon == 0 ||
        std::from_chars(where.data() + colon + 1, where.data() + where.size(), port).ec !=
            std::errc() ||
        port < 1 || port > 65535) {
        error = where + ": expects ADDRESS:PORT, such as 127.0.0.1:9464";
        return false;
    }
    std::string host = where.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    server_ = std::make_unique<httplib::Server>();
    server_->Get("/metrics", [this](const httplib::Request&, httplib::Response& response) {
        std::string text;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            text = text_;
        }
        response.set_content(text, "text/plain; version=0.0.4; charset=utf-8");
    });
    if (!server_->bind_to_port(host, port)) {
        error = where + ": cannot listen there";
        server_.reset();
        return false;
    }
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    return true;
}

void MetricsServer::Publish(std::string text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    text_ = std::move(text);
}

}  // namespace tarnwick
