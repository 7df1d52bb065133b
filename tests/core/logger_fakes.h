#pragma once
// Fakes of the logger's own ports (tools/logger/logger_ports.h, core/ports/row_files.h) for tests
// on the simulated clock: row files in memory, alarm commands and service notifications recorded
// with the moment they came. Header-only.

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/simulated_time.h"
#include "tools/logger/logger_ports.h"

namespace tarnwick::fakes {

// Row files in memory; a file can be deleted between rows.
class FakeRowFiles : public IRowFiles {
public:
    std::string MakeFolder(const std::string& folder) override {
        return folder == unwritable ? folder + ": Permission denied" : std::string();
    }
    Written Append(const std::string& path, const std::string& header,
                   const std::string& row) override {
        Written w;
        auto it = contents.find(path);
        w.created = it == contents.end();
        std::string& text = contents[path];
        if (text.empty()) {
            text = header;
        }
        text += row;
        w.ok = true;
        appended.push_back(row);
        return w;
    }
    std::string ClaimFolder(const std::string& folder) override {
        return claimed.insert(folder).second ? std::string() : folder + ": claimed";
    }
    void ReleaseFolder(const std::string& folder) override { claimed.erase(folder); }
    std::string LastRow(const std::string& path) override {
        const auto lines = Lines(path);
        return lines.empty() ? std::string() : lines.back();
    }
    std::string FirstRow(const std::string& path) override {
        const auto lines = Lines(path);
        return lines.empty() ? std::string() : lines.front();
    }

    std::vector<std::string> Lines(const std::string& path) const {
        std::vector<std::string> lines;
        auto it = contents.find(path);
        if (it != contents.end()) {
            std::istringstream in(it->second);
            for (std::string line; std::getline(in, line);) {
                lines.push_back(line);
            }
        }
        return lines;
    }

    std::map<std::string, std::string> contents;
    std::string unwritable;
    std::set<std::string> claimed;
    std::vector<std::string> appended;  // every row, in the order written
};

// The commands an alarm would run, with the simulated moment of each.
class FakeCommands : public IAlarmCommands {
public:
    explicit FakeCommands(const SimulatedClock& c) : clock(c) {}
    bool Run(const AlarmChange& change, LocalDateTime, std::string&) override {
        runs.push_back(std::string(AlarmName(change.kind)) + (change.set ? " set" : " clear"));
        runSeconds.push_back(clock.ElapsedMs() / 1000);
        if (onRun) {
            onRun(change);
        }
        return true;
    }
    void Reap() override {}
    void StopAll() override { ++stops; }
    uint64_t Failures() const override { return 0; }
    const SimulatedClock& clock;
    std::vector<std::string> runs;
    std::vector<uint64_t> runSeconds;               // whole seconds since the start, of each run
    std::function<void(const AlarmChange&)> onRun;  // told of each run as it happens
    int stops = 0;
};

// What the service manager was told, the watchdog's pings with their moments.
class FakeService : public IServiceNotifier {
public:
    explicit FakeService(const SimulatedClock* c = nullptr) : clock(c) {}
    void Ready() override { ++ready; }
    void Watchdog() override {
        ++pings;
        if (clock != nullptr) {
            pingMs.push_back(clock->ElapsedMs());
        }
    }
    void Stopping() override {}
    void Status(const std::string& line) override { statuses.push_back(line); }
    const SimulatedClock* clock;
    int ready = 0;
    int pings = 0;
    std::vector<uint64_t> pingMs;
    std::vector<std::string> statuses;
};

}  // namespace tarnwick::fakes
