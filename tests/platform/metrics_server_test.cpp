// The logger's /metrics server against real connections on the loopback: a
// port is never shared, bad addresses are told apart from busy ones, and
// whatever a client sends, the server's memory stays flat and a scrape is
// answered at once.

#include "tools/logger/metrics_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tools/logger/metrics.h"

namespace tarnwick::test {
namespace {

using std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

// A port nobody listens on now.
int FreePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    close(s);
    return ntohs(address.sin_port);
}

int Connect(int port) {
    const int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(s);
        return -1;
    }
    return s;
}

// Sends `bytes` bytes of `head` followed by `filler` again and again (a
// header line that never ends), until sent or the server closes.
void SendHeader(int s, const std::string& head, const std::string& filler, size_t bytes) {
    send(s, head.data(), head.size(), MSG_NOSIGNAL);
    for (size_t sent = head.size(); sent < bytes;) {
        const ssize_t n =
            send(s, filler.data(), std::min(filler.size(), bytes - sent), MSG_NOSIGNAL);
        if (n <= 0) {
            return;
        }
        sent += static_cast<size_t>(n);
    }
}

// What the server sends until it closes, or until `timeout`.
std::string ReadUntilClosed(int s, milliseconds timeout) {
    std::string text;
    const SteadyClock::time_point due = SteadyClock::now() + timeout;
    for (;;) {
        pollfd p{s, POLLIN, 0};
        const auto left = std::chrono::duration_cast<milliseconds>(due - SteadyClock::now());
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
            return text + "<timeout>";
        }
        char piece[4096];
        const ssize_t n = recv(s, piece, sizeof piece, 0);
        if (n <= 0) {
            return text;
        }
        text.append(piece, static_cast<size_t>(n));
    }
}

std::string Exchange(int port, const std::string& request,
                     milliseconds timeout = milliseconds(2000)) {
    const int s = Connect(port);
    if (s < 0) {
        return "<no connection>";
    }
    send(s, request.data(), request.size(), MSG_NOSIGNAL);
    std::string reply = ReadUntilClosed(s, timeout);
    close(s);
    return reply;
}

std::string StatusLine(const std::string& reply) {
    return reply.substr(0, reply.find("\r\n"));
}

std::string Body(const std::string& reply) {
    const size_t at = reply.find("\r\n\r\n");
    return at == std::string::npos ? "" : reply.substr(at + 4);
}

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    return -1;
}

const std::string kScrape = "GET /metrics HTTP/1.1\r\nHost: monitor\r\n\r\n";

TEST(MetricsServer, APortIsNeverSharedAndABadAddressIsNotABusyOne) {
    const std::string address = "127.0.0.1:" + std::to_string(FreePort());
    MetricsServer first;
    std::string error;
    ASSERT_EQ(first.Listen(address, error), ListenResult::kListening) << error;

    struct Case {
        std::string where;
        ListenResult expected;
    };
    const std::vector<Case> cases = {
        {address, ListenResult::kCannotListen},           // a second logger on the port
        {"192.0.2.1:9464", ListenResult::kCannotListen},  // not this machine's
        {"127.0.0.1", ListenResult::kMalformedAddress},
        {"127.0.0.1:", ListenResult::kMalformedAddress},
        {":9464", ListenResult::kMalformedAddress},
        {"127.0.0.1:9464x", ListenResult::kMalformedAddress},
        {"127.0.0.1:65536", ListenResult::kMalformedAddress},
        {"no.such.host.invalid:9464", ListenResult::kMalformedAddress},
    };
    for (const Case& c : cases) {
        MetricsServer second;
        std::string why;
        EXPECT_EQ(second.Listen(c.where, why), c.expected) << c.where << ": " << why;
        EXPECT_EQ(why.rfind(c.where + ": ", 0), 0u) << why;  // names the address
    }
    first.Publish("tarnwick_blocks_total 1\n");
    EXPECT_EQ(Body(Exchange(std::stoi(address.substr(10)), kScrape)), "tarnwick_blocks_total 1\n");
}

TEST(MetricsServer, RequestsAreBoundedAndTheFiguresPassPromtool) {
    const int port = FreePort();
    MetricsServerLimits limits;
    limits.readTimeout = milliseconds(300);
    MetricsServer server(limits);
    std::string error;
    ASSERT_EQ(server.Listen("127.0.0.1:" + std::to_string(port), error), ListenResult::kListening)
        << error;
    LoggerMetrics m;
    m.alarmActive[static_cast<size_t>(AlarmKind::kInputLost)] = true;
    m.alarms = 3;
    m.inputOpen = false;
    m.lastRecordUnixSeconds = 1796879331;
    m.logWriteFailures = 2;
    m.alarmCommandFailures = 4;
    const std::string figures = FormatMetrics(m);
    server.Publish(figures);

    // A head of exactly the limit, with its blank line, is answered; a byte
    // more is refused.
    const std::string start = "GET /metrics HTTP/1.1\r\nX-Pad: ";
    const std::string pad(limits.maxRequestHeadBytes - start.size() - 4, 'p');
    struct Case {
        std::string request;
        std::string status;
    };
    const std::vector<Case> cases = {
        {kScrape, "HTTP/1.1 200 OK"},
        {start + pad + "\r\n\r\n", "HTTP/1.1 200 OK"},
        {start + pad + "q\r\n\r\n", "HTTP/1.1 431 Request Header Fields Too Large"},
        {"GET /metrics HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello",
         "HTTP/1.1 413 Payload Too Large"},
        {"GET / HTTP/1.1\r\n\r\n", "HTTP/1.1 404 Not Found"},
        {"GET /metrics HTTP/1.1\r\n", "<timeout>"},  // never ends: closed at the read time
    };
    for (const Case& c : cases) {
        const SteadyClock::time_point sent = SteadyClock::now();
        const std::string reply = Exchange(port, c.request);
        EXPECT_EQ(StatusLine(reply), c.status == "<timeout>" ? "" : c.status)
            << c.request.substr(0, 60);
        EXPECT_LT(SteadyClock::now() - sent, milliseconds(1000)) << c.request.substr(0, 60);
    }
    EXPECT_EQ(Body(Exchange(port, kScrape)), figures);

    // What a monitoring system reads is valid Prometheus text.
    const std::string file = testing::TempDir() + "metrics-" + std::to_string(getpid()) + ".txt";
    std::ofstream(file) << figures;
    if (std::system("command -v promtool >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system(("promtool check metrics < " + file + " >/dev/null 2>&1").c_str()), 0)
            << figures;
    }
    std::remove(file.c_str());
    for (const char* line :
         {"\ntarnwick_alarm_active{kind=\"input-lost\"} 1\n", "\ntarnwick_alarms_total 3\n",
          "\ntarnwick_input_open 0\n", "\ntarnwick_last_record_timestamp_seconds 1796879331\n",
          "\ntarnwick_log_write_failures_total 2\n", "\ntarnwick_alarm_command_failures_total 4\n",
          "\ntarnwick_build_info{version=\"1.40\"} 1\n"}) {
        EXPECT_NE(figures.find(line), std::string::npos) << line;
    }
}

// Ten 10 MB headers, one of 200 MB and ten idle connections: the server keeps
// its memory, and a scrape among the idle connections is answered within 1 s.
TEST(MetricsServer, AbuseLeavesMemoryFlatAndAScrapeIsAnsweredAtOnce) {
    const int port = FreePort();
    MetricsServer server;
    std::string error;
    ASSERT_EQ(server.Listen("127.0.0.1:" + std::to_string(port), error), ListenResult::kListening)
        << error;
    const std::string figures = FormatMetrics(LoggerMetrics{});
    server.Publish(figures);
    ASSERT_EQ(Body(Exchange(port, kScrape)), figures);
    const std::string filler(65536, 'x');  // the client's, made before the count
    const long before = ResidentKilobytes();

    constexpr size_t kMegabyte = 1024 * 1024;
    for (const size_t bytes : {10 * kMegabyte, 10 * kMegabyte, 10 * kMegabyte, 10 * kMegabyte,
                               10 * kMegabyte, 10 * kMegabyte, 10 * kMegabyte, 10 * kMegabyte,
                               10 * kMegabyte, 10 * kMegabyte, 200 * kMegabyte}) {
        const int s = Connect(port);
        ASSERT_GE(s, 0);
        SendHeader(s, "GET /metrics HTTP/1.1\r\nX-Big: ", filler, bytes);
        close(s);
    }
    std::vector<int> idle;
    for (int i = 0; i < 10; ++i) {
        idle.push_back(Connect(port));
        send(idle.back(), "GET /met", 8, MSG_NOSIGNAL);
    }
    const SteadyClock::time_point asked = SteadyClock::now();
    const std::string reply = Exchange(port, kScrape, milliseconds(1000));
    const auto answeredIn = std::chrono::duration_cast<milliseconds>(SteadyClock::now() - asked);
    const long after = ResidentKilobytes();
    for (const int s : idle) {
        close(s);
    }
    EXPECT_EQ(Body(reply), figures);
    EXPECT_LT(answeredIn, milliseconds(1000));
    EXPECT_LE(after - before, 2048)
        << "resident " << before << " kB before, " << after << " kB after";
    std::printf(
        "resident memory %ld kB before, %ld kB after the abuse; scrape answered in %lld ms\n",
        before, after, static_cast<long long>(answeredIn.count()));
}

}  // namespace
}  // namespace tarnwick::test
