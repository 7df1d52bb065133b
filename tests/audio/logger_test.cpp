// tarnwick-logger as a service runs it: on a private sound server, a known
// recording played into an input for a minute, then SIGTERM. The per-second
// log has a row for every second of programme, the results file ends with the
// save on stop, the logger exits 0, and its record agrees with tarnwick-analyse
// on the same recording.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sndfile.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>
#include <vector>

#include "tests/audio/private_pulse_server.h"

extern char** environ;

namespace tarnwick::test {
namespace {

constexpr int kRate = 44100;

// 20 s over target 1, 20 s between the targets, 20 s under target 2 and over
// the threshold: 441 Hz squares of 20000, 8000 and 2000.
std::vector<int16_t> KnownProgramme() {
    std::vector<int16_t> samples;
    for (const int level : {20000, 8000, 2000}) {
        for (int64_t n = 0; n < 20 * kRate; ++n) {
            const auto v = static_cast<int16_t>((n / 50) % 2 == 0 ? level : -level);
            samples.push_back(v);
            samples.push_back(v);
        }
    }
    return samples;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    for (std::string part; std::getline(in, part, separator);) {
        if (!part.empty() && part.back() == '\r') {
            part.pop_back();
        }
        parts.push_back(part);
    }
    return parts;
}

pid_t Spawn(const std::vector<std::string>& args, const std::vector<std::string>& extraEnv,
            const std::string& errFile) {
    std::vector<std::string> strings = args;
    std::vector<char*> argv;
    for (std::string& s : strings) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> variables = extraEnv;
    for (char** v = environ; *v != nullptr; ++v) {
        variables.emplace_back(*v);
    }
    std::vector<char*> envp;
    for (std::string& v : variables) {
        envp.push_back(v.data());
    }
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    return spawned == 0 ? pid : -1;
}

int WaitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Seconds of an "hh:mm:ss" field.
int Seconds(const std::string& hms) {
    return std::stoi(hms.substr(0, 2)) * 3600 + std::stoi(hms.substr(3, 2)) * 60 +
           std::stoi(hms.substr(6, 2));
}

// Writes `samples` into the pipe of a source in real time, 100 ms at a time.
void PlayInto(const std::string& pipePath, const std::vector<int16_t>& samples) {
    std::ofstream pipe(pipePath, std::ios::binary);
    const size_t piece = kRate / 10 * 2;
    auto due = std::chrono::steady_clock::now();
    for (size_t at = 0; at < samples.size(); at += piece) {
        pipe.write(
            reinterpret_cast<const char*>(samples.data() + at),
            static_cast<std::streamsize>(std::min(piece, samples.size() - at) * sizeof(int16_t)));
        pipe.flush();
        due += std::chrono::milliseconds(100);
        std::this_thread::sleep_until(due);
    }
}

// The events of the per-second logs in `folder`, in order.
std::vector<std::string> Events(const std::filesystem::path& folder) {
    std::vector<std::string> events;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        for (const std::string& row : Split(ReadFile(entry.path().string()), '\n')) {
            const std::string event = row.substr(row.rfind(',') + 1);
            if (!event.empty() && event != "event") {
                events.push_back(event);
            }
        }
    }
    return events;
}

// A fresh folder of the test's own for a logger's run, with its home, its
// settings and its log folder.
std::filesystem::path LoggerFolder(const std::string& name) {
    const std::filesystem::path work = std::filesystem::temp_directory_path() /
                                       ("tarnwick-logger-" + name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(work);
    for (const char* folder : {"home", "config", "log"}) {
        std::filesystem::create_directories(work / folder);
    }
    return work;
}

// A logger's environment: the private server, and its home and settings in
// `work`.
std::vector<std::string> LoggerEnvironment(const PrivatePulseServer& server,
                                           const std::filesystem::path& work) {
    return {"PULSE_SERVER=" + server.Address(), "HOME=" + (work / "home").string(),
            "XDG_CONFIG_HOME=" + (work / "config").string()};
}

TEST(Logger, AMinuteOfProgrammeIsLoggedAndAgreesWithTheAnalyser) {
    PrivatePulseServer server;
    if (server.Start() != PrivatePulseServer::Outcome::kRunning) {
        GTEST_SKIP() << server.Failure();
    }
    const std::filesystem::path work = std::filesystem::temp_directory_path() /
                                       ("tarnwick-logger-test-" + std::to_string(getpid()));
    std::filesystem::remove_all(work);
    for (const char* folder : {"home", "config", "run", "log"}) {
        std::filesystem::create_directories(work / folder);
    }
    std::filesystem::permissions(work / "run", std::filesystem::perms::owner_all);
    const std::string results = (work / "logged.csv").string();
    const std::vector<std::string> environment = {"PULSE_SERVER=" + server.Address(),
                                                  "HOME=" + (work / "home").string(),
                                                  "XDG_CONFIG_HOME=" + (work / "config").string(),
                                                  "XDG_RUNTIME_DIR=" + (work / "run").string()};

    const pid_t logger = Spawn({TARNWICK_LOGGER_BINARY, "--device", "Tone In", "--log-dir",
                                (work / "log").string(), "--results", results},
                               environment, (work / "logger.err").string());
    ASSERT_GT(logger, 0);

    // The minute of programme, in real time.
    const std::vector<int16_t> programme = KnownProgramme();
    PlayInto(server.TonePipe(), programme);
    kill(logger, SIGTERM);
    EXPECT_EQ(WaitFor(logger), 0) << ReadFile((work / "logger.err").string());

    // A row for every second with blocks, 60 +- 1.
    const std::vector<std::string> days = [&] {
        std::vector<std::string> files;
        for (const auto& entry : std::filesystem::directory_iterator(work / "log")) {
            files.push_back(entry.path().string());
        }
        return files;
    }();
    ASSERT_EQ(days.size(), 1u);
    int secondsWithBlocks = 0;
    const std::vector<std::string> rows = Split(ReadFile(days[0]), '\n');
    for (size_t i = 1; i < rows.size(); ++i) {
        const std::vector<std::string> fields = Split(rows[i], ',');
        ASSERT_GE(fields.size(), 8u) << rows[i];
        secondsWithBlocks += fields[1].empty() ? 0 : 1;
    }
    EXPECT_NEAR(secondsWithBlocks, 60, 1);

    // The same recording through the analyser.
    const std::string recording = (work / "programme.wav").string();
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(recording.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    sf_writef_short(file, programme.data(), static_cast<sf_count_t>(programme.size() / 2));
    sf_close(file);
    const std::string analysed = (work / "analysed.csv").string();
    const pid_t analyser = Spawn({TARNWICK_ANALYSE_BINARY, "--results", analysed, recording},
                                 environment, (work / "analyser.err").string());
    ASSERT_EQ(WaitFor(analyser), 0) << ReadFile((work / "analyser.err").string());

    const std::vector<std::string> logged = Split(ReadFile(results), '\n');
    const std::vector<std::string> expected = Split(ReadFile(analysed), '\n');
    ASSERT_EQ(logged.size(), 5u) << ReadFile(results);
    ASSERT_EQ(expected.size(), 5u) << ReadFile(analysed);
    // Time, Duration, Average, Over dB, Over %, Under dB, Under %, Max dB
    const std::vector<std::string> ours = Split(logged[4], ',');
    const std::vector<std::string> theirs = Split(expected[4], ',');
    ASSERT_EQ(ours.size(), 8u) << logged[4];
    ASSERT_EQ(theirs.size(), 8u) << expected[4];
    for (const size_t duration : {1u, 3u, 5u}) {
        EXPECT_NEAR(Seconds(ours[duration]), Seconds(theirs[duration]), 1) << duration;
    }
    for (const size_t percent : {4u, 6u}) {
        EXPECT_NEAR(std::stod(ours[percent]), std::stod(theirs[percent]), 2.0) << percent;
    }
    EXPECT_EQ(ours[7], theirs[7]);
    std::filesystem::remove_all(work);
}

// The sound server goes away for 10 s and comes back: the logger writes the
// loss and the return, keeps its test running, and writes the next record on
// its schedule.
TEST(Logger, SurvivesTheSoundServerRestarting) {
    PrivatePulseServer server;
    if (server.Start() != PrivatePulseServer::Outcome::kRunning) {
        GTEST_SKIP() << server.Failure();
    }
    const std::filesystem::path work = LoggerFolder("restart");
    const std::string results = (work / "logged.txt").string();
    const pid_t logger =
        Spawn({TARNWICK_LOGGER_BINARY, "--device", "Monitor of Replay Out", "--log-dir",
               (work / "log").string(), "--results", results, "--save-mins", "1"},
              LoggerEnvironment(server, work), (work / "logger.err").string());
    ASSERT_GT(logger, 0);
    const auto started = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(3));
    server.Kill();
    std::this_thread::sleep_for(std::chrono::seconds(10));
    ASSERT_EQ(server.Start(), PrivatePulseServer::Outcome::kRunning) << server.Failure();

    // The minute's record, due 60 s after the start.
    auto records = [&] {
        const size_t lines = Split(ReadFile(results), '\n').size();
        return lines > 6 ? lines - 6 : 0;  // after the header's six lines
    };
    while (records() < 1 && std::chrono::steady_clock::now() - started < std::chrono::seconds(75)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    EXPECT_EQ(records(), 1u) << ReadFile(results);
    kill(logger, SIGTERM);
    EXPECT_EQ(WaitFor(logger), 0) << ReadFile((work / "logger.err").string());
    EXPECT_EQ(records(), 2u) << ReadFile(results);  // and the save on stop

    EXPECT_EQ(Events(work / "log"),
              (std::vector<std::string>{"start", "input lost", "input back", "stop"}));
    std::filesystem::remove_all(work);
}

// A server that hangs (stopped where it stands) for 15 s: the input is lost
// within a few seconds of its last block and back once the server answers,
// and the log still has exactly one row for every second, none repeated.
TEST(Logger, AFrozenServerIsALostInputWithARowEverySecond) {
    PrivatePulseServer server;
    if (server.Start() != PrivatePulseServer::Outcome::kRunning) {
        GTEST_SKIP() << server.Failure();
    }
    const std::filesystem::path work = LoggerFolder("frozen");
    const pid_t logger = Spawn({TARNWICK_LOGGER_BINARY, "--device", "Monitor of Replay Out",
                                "--log-dir", (work / "log").string()},
                               LoggerEnvironment(server, work), (work / "logger.err").string());
    ASSERT_GT(logger, 0);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    server.Freeze();
    std::this_thread::sleep_for(std::chrono::seconds(15));
    server.Thaw();
    std::this_thread::sleep_for(std::chrono::seconds(8));
    kill(logger, SIGTERM);
    EXPECT_EQ(WaitFor(logger), 0) << ReadFile((work / "logger.err").string());

    EXPECT_EQ(Events(work / "log"),
              (std::vector<std::string>{"start", "input lost", "input back", "stop"}))
        << ReadFile((work / "logger.err").string());
    std::vector<std::string> rows;
    for (const auto& entry : std::filesystem::directory_iterator(work / "log")) {
        const std::vector<std::string> lines = Split(ReadFile(entry.path().string()), '\n');
        rows.insert(rows.end(), lines.begin() + 1, lines.end());
    }
    std::sort(rows.begin(), rows.end());
    ASSERT_GE(rows.size(), 25u);
    int withoutBlocks = 0;
    for (size_t i = 0; i < rows.size(); ++i) {
        // "2026-12-10T05:08:51+01:00,...": consecutive seconds, none twice.
        const std::string stamp = rows[i].substr(0, rows[i].find(','));
        ASSERT_EQ(stamp.size(), 25u) << rows[i];
        if (i > 0) {
            const std::string before = rows[i - 1].substr(0, 19);
            EXPECT_EQ(
                (Seconds(stamp.substr(11, 8)) - Seconds(before.substr(11, 8)) + 86400) % 86400, 1)
                << rows[i - 1] << "\n"
                << rows[i];
        }
        withoutBlocks += Split(rows[i], ',')[1].empty() ? 1 : 0;
    }
    EXPECT_GE(withoutBlocks, 13) << "seconds of the freeze with figures";
    if (!HasFailure()) {
        std::filesystem::remove_all(work);
    }
}

// A source suspended while the logger reads it (an S/PDIF input without
// lock): the stream stays open and delivers nothing. The input is lost once,
// and back once when audio comes again, however many times it is opened
// meanwhile; the seconds without audio have no figures, and neither does the
// row that says the input is lost.
TEST(Logger, ASuspendedSourceIsLostOnceAndBackOnlyWithAudio) {
    PrivatePulseServer server;
    if (server.Start() != PrivatePulseServer::Outcome::kRunning) {
        GTEST_SKIP() << server.Failure();
    }
    const std::filesystem::path work = LoggerFolder("suspended");
    // A tone into the source, 100 ms at a time, until the test ends; what a
    // suspended source does not read is dropped, as a live input's would be.
    std::atomic<bool> playing = true;
    std::thread player([&] {
        const int pipe = open(server.TonePipe().c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (pipe < 0) {
            return;
        }
        std::vector<int16_t> piece(kRate / 10 * 2);
        int64_t n = 0;
        for (auto due = std::chrono::steady_clock::now(); playing;) {
            for (size_t i = 0; i < piece.size(); i += 2, ++n) {
                piece[i] = piece[i + 1] = static_cast<int16_t>(
                    std::lround(3277.0 * std::sin(2.0 * 3.141592653589793 * 1000.0 * n / kRate)));
            }
            [[maybe_unused]] const ssize_t written =
                write(pipe, piece.data(), piece.size() * sizeof(int16_t));
            due += std::chrono::milliseconds(100);
            std::this_thread::sleep_until(due);
        }
        close(pipe);
    });
    const pid_t logger =
        Spawn({TARNWICK_LOGGER_BINARY, "--device", "Tone In", "--log-dir", (work / "log").string()},
              LoggerEnvironment(server, work), (work / "logger.err").string());
    ASSERT_GT(logger, 0);
    std::this_thread::sleep_for(std::chrono::seconds(3));
    // Longer than two retries: a source that opens and stays silent is
    // opened again and again, and is back only when it delivers.
    const bool suspended = server.Pactl("suspend-source tone_in 1");
    std::this_thread::sleep_for(std::chrono::seconds(17));
    const bool resumed = server.Pactl("suspend-source tone_in 0");
    std::this_thread::sleep_for(std::chrono::seconds(8));
    kill(logger, SIGTERM);
    const int status = WaitFor(logger);
    playing = false;
    player.join();
    const std::string err = ReadFile((work / "logger.err").string());
    EXPECT_EQ(status, 0) << err;
    ASSERT_TRUE(suspended && resumed) << server.Log();

    EXPECT_EQ(Events(work / "log"),
              (std::vector<std::string>{"start", "input lost", "input back", "stop"}))
        << err;
    int withoutBlocks = 0;
    for (const auto& entry : std::filesystem::directory_iterator(work / "log")) {
        const std::vector<std::string> lines = Split(ReadFile(entry.path().string()), '\n');
        for (size_t i = 1; i < lines.size(); ++i) {
            const std::vector<std::string> fields = Split(lines[i], ',');
            const bool empty = fields[1].empty();
            withoutBlocks += empty ? 1 : 0;
            if (lines[i].find("input lost") != std::string::npos) {
                EXPECT_TRUE(empty) << "the lost input's row carries levels: " << lines[i];
            }
        }
    }
    EXPECT_GE(withoutBlocks, 15) << "seconds of the suspension with figures";
    if (!HasFailure()) {
        std::filesystem::remove_all(work);
    }
}

// Silence longer than the alarm's time, between two stretches of tone: one
// set and one clear in the log, the command run for each (the clear's 10 s
// after the set's), without a shell, and the alarm counted in what /metrics
// serves, which promtool accepts. A second logger cannot take the same
// metrics port; one whose alarm program is missing does not start.
TEST(Logger, SilenceSetsAndClearsItsAlarmOnce) {
    PrivatePulseServer server;
    if (server.Start() != PrivatePulseServer::Outcome::kRunning) {
        GTEST_SKIP() << server.Failure();
    }
    const std::filesystem::path work = LoggerFolder("alarm");
    const std::string script = (work / "on-alarm").string();
    const std::string heard = (work / "alarms.txt").string();
    std::ofstream(script) << "#!/bin/sh\necho \"$TARNWICK_ALARM $TARNWICK_STATE\" >> " << heard
                          << "\n";
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    // A command whose program is missing is a bad option, named at the start.
    const pid_t missing =
        Spawn({TARNWICK_LOGGER_BINARY, "--on-alarm", "no-such-alarm-program --now"},
              {"HOME=" + (work / "home").string(), "XDG_CONFIG_HOME=" + (work / "config").string()},
              (work / "missing.err").string());
    EXPECT_EQ(WaitFor(missing), 2);
    EXPECT_NE(ReadFile((work / "missing.err").string()).find("no-such-alarm-program"),
              std::string::npos);
    const std::string metricsAddress = "127.0.0.1:" + std::to_string(20000 + getpid() % 20000);
    const pid_t logger =
        Spawn({TARNWICK_LOGGER_BINARY, "--device", "Tone In", "--log-dir", (work / "log").string(),
               "--silence", "-50:2", "--on-alarm", script, "--metrics", metricsAddress},
              LoggerEnvironment(server, work), (work / "logger.err").string());
    ASSERT_GT(logger, 0);
    // A second logger on the same port is refused at its start, naming it.
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const pid_t second =
        Spawn({TARNWICK_LOGGER_BINARY, "--device", "Test Signal", "--metrics", metricsAddress},
              LoggerEnvironment(server, work), (work / "second.err").string());
    EXPECT_EQ(WaitFor(second), 1);
    EXPECT_NE(ReadFile((work / "second.err").string()).find(metricsAddress), std::string::npos);
    std::vector<int16_t> programme;
    // Set at 5 s, cleared at 10 s; the clear's command runs at 15 s.
    for (const auto& [level, seconds] : {std::pair{8000, 3}, std::pair{0, 5}, std::pair{8000, 8}}) {
        for (int64_t n = 0; n < seconds * kRate; ++n) {
            const auto v = static_cast<int16_t>((n / 50) % 2 == 0 ? level : -level);
            programme.push_back(v);
            programme.push_back(v);
        }
    }
    PlayInto(server.TonePipe(), programme);
    // What a monitoring system reads: valid for promtool, and the alarm counted.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    const std::string metrics = (work / "metrics.txt").string();
    ASSERT_EQ(std::system(("curl -sf http://" + metricsAddress + "/metrics -o " + metrics).c_str()),
              0);
    EXPECT_EQ(std::system(("promtool check metrics < " + metrics + " >/dev/null 2>&1").c_str()), 0)
        << ReadFile(metrics);
    EXPECT_NE(ReadFile(metrics).find("\ntarnwick_alarms_total 1\n"), std::string::npos)
        << ReadFile(metrics);
    EXPECT_NE(std::system(("curl -sf http://" + metricsAddress + "/ -o /dev/null").c_str()), 0);
    kill(logger, SIGTERM);
    EXPECT_EQ(WaitFor(logger), 0) << ReadFile((work / "logger.err").string());

    EXPECT_EQ(Events(work / "log"),
              (std::vector<std::string>{"start", "silence", "silence clear", "stop"}));
    EXPECT_EQ(ReadFile(heard), "silence set\nsilence clear\n");
    std::filesystem::remove_all(work);
}

// Under systemd (Type=notify, WatchdogSec) the logger says what it measures
// and that it is ready once it does, pings the watchdog as it writes its rows,
// and says it is stopping on SIGTERM; without these systemd would kill it at
// start.
TEST(Logger, TellsSystemdItIsReadyAliveAndStopping) {
    const std::filesystem::path work = std::filesystem::temp_directory_path() /
                                       ("tarnwick-logger-notify-" + std::to_string(getpid()));
    std::filesystem::remove_all(work);
    for (const char* folder : {"home", "config"}) {
        std::filesystem::create_directories(work / folder);
    }
    const std::string socketPath = (work / "notify").string();
    const int notify = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(socketPath.size(), sizeof address.sun_path);
    std::copy(socketPath.begin(), socketPath.end(), address.sun_path);
    ASSERT_EQ(bind(notify, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // The messages that come within `timeout`, until `last` has come.
    auto messages = [notify](const std::string& last, std::chrono::milliseconds timeout) {
        std::vector<std::string> got;
        const auto due = std::chrono::steady_clock::now() + timeout;
        while (got.empty() || got.back() != last) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                due - std::chrono::steady_clock::now());
            pollfd p{notify, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                break;
            }
            char text[256];
            const ssize_t n = recv(notify, text, sizeof text, 0);
            got.emplace_back(text, static_cast<size_t>(std::max<ssize_t>(n, 0)));
        }
        return got;
    };

    const pid_t logger = Spawn({TARNWICK_LOGGER_BINARY, "--device", "Test Signal"},
                               {"NOTIFY_SOCKET=" + socketPath, "HOME=" + (work / "home").string(),
                                "XDG_CONFIG_HOME=" + (work / "config").string(),
                                "PULSE_SERVER=unix:" + (work / "no-server").string()},
                               (work / "logger.err").string());
    ASSERT_GT(logger, 0);
    EXPECT_EQ(messages("WATCHDOG=1", std::chrono::milliseconds(5000)),
              (std::vector<std::string>{"STATUS=Measuring input \"Test Signal\"", "READY=1",
                                        "WATCHDOG=1"}))
        << ReadFile((work / "logger.err").string());
    kill(logger, SIGTERM);
    const std::vector<std::string> atStop = messages("STOPPING=1", std::chrono::milliseconds(3000));
    EXPECT_EQ(WaitFor(logger), 0) << ReadFile((work / "logger.err").string());
    ASSERT_FALSE(atStop.empty());
    EXPECT_EQ(atStop.back(), "STOPPING=1");
    EXPECT_EQ(std::count(atStop.begin(), atStop.end(), "READY=1"), 0);  // ready once only
    close(notify);
    std::filesystem::remove_all(work);
}

}  // namespace
}  // namespace tarnwick::test
