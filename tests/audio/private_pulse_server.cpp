#include "tests/audio/private_pulse_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char** environ;

namespace tarnwick::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr auto kStartTimeout = 10s;
constexpr auto kStopTimeout = 3s;

bool OnPath(const char* program) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        if (access((dir + "/" + program).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

// The child's environment: ours, with the daemon's folders and no way to reach
// a desktop session's bus or display.
std::vector<std::string> DaemonEnvironment(const std::string& dir) {
    const std::vector<std::string> replaced = {"HOME",
                                               "XDG_RUNTIME_DIR",
                                               "PULSE_RUNTIME_PATH",
                                               "PULSE_STATE_PATH",
                                               "XDG_CONFIG_HOME",
                                               "PULSE_SERVER",
                                               "DISPLAY",
                                               "DBUS_SESSION_BUS_ADDRESS"};
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        bool keep = true;
        for (const std::string& r : replaced) {
            keep = keep && name != r;
        }
        if (keep) {
            env.push_back(entry);
        }
    }
    env.push_back("HOME=" + dir);
    env.push_back("XDG_RUNTIME_DIR=" + dir);
    env.push_back("XDG_CONFIG_HOME=" + dir + "/config");
    env.push_back("PULSE_RUNTIME_PATH=" + dir + "/runtime");
    env.push_back("PULSE_STATE_PATH=" + dir + "/state");
    env.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + dir + "/no-bus");
    return env;
}

std::vector<char*> Pointers(std::vector<std::string>& strings) {
    std::vector<char*> p;
    for (std::string& s : strings) {
        p.push_back(s.data());
    }
    p.push_back(nullptr);
    return p;
}

bool WaitForExit(pid_t pid, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < end) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            return true;
        }
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

}  // namespace

PrivatePulseServer::PrivatePulseServer() {
    char pattern[] = "/tmp/tarnwick-pulse-XXXXXX";
    if (mkdtemp(pattern) != nullptr) {
        dir_ = pattern;
    }
}

PrivatePulseServer::~PrivatePulseServer() {
    Stop(SIGTERM);
    if (!dir_.empty()) {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
}

std::string PrivatePulseServer::Log() const {
    std::ifstream in(dir_ + "/daemon.log");
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

PrivatePulseServer::Outcome PrivatePulseServer::Start() {
    if (dir_.empty()) {
        failure_ = "no temporary folder";
        return Outcome::kUnavailable;
    }
    // A daemon killed before leaves its pipes and socket behind; started
    // again it makes them afresh.
    for (const char* left : {"tone.fifo", "second.fifo", "native"}) {
        std::error_code ignored;
        fs::remove(dir_ + "/" + left, ignored);
    }
    if (!OnPath("pulseaudio") || !OnPath("pactl")) {
        failure_ = "pulseaudio or pactl is not installed";
        return Outcome::kUnavailable;
    }
    std::vector<std::string> args = {
        "pulseaudio",
        "--daemonize=no",
        "-n",  // no default script: only the modules below
        "--exit-idle-time=-1",
        "--system=no",
        "--use-pid-file=no",
        "--log-target=stderr",
        "-L",
        "module-native-protocol-unix auth-anonymous=1 socket=" + dir_ + "/native",
        "-L",
        "module-null-sink sink_name=replay_out sink_properties=\"device.description='Replay Out'\"",
        "-L",
        "module-pipe-source source_name=tone_in file=" + dir_ +
            "/tone.fifo format=s16le rate=44100 channels=2 "
            "source_properties=\"device.description='  Tone In'\"",
        "-L",
        "module-pipe-source source_name=second_in file=" + dir_ +
            "/second.fifo format=s16le rate=44100 channels=2 "
            "source_properties=\"device.description='Second In'\"",
    };
    std::vector<std::string> env = DaemonEnvironment(dir_);
    std::vector<char*> argv = Pointers(args);
    std::vector<char*> envp = Pointers(env);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string log = dir_ + "/daemon.log";
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const int spawned =
        posix_spawnp(&pid_, "pulseaudio", &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        pid_ = -1;
        failure_ = std::string("pulseaudio could not be started: ") + std::strerror(spawned);
        return Outcome::kUnavailable;
    }

    const auto end = std::chrono::steady_clock::now() + kStartTimeout;
    while (std::chrono::steady_clock::now() < end) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            failure_ = "pulseaudio exited at start:\n" + Log();
            return Outcome::kUnavailable;
        }
        if (fs::exists(dir_ + "/native") && Pactl("info")) {
            // The default source is not the first one created, so that the
            // listing has to put it first.
            if (!Pactl("set-default-source second_in") || !Pactl("set-default-sink replay_out")) {
                failure_ = "the virtual devices are missing:\n" + Log();
                return Outcome::kBroken;
            }
            return Outcome::kRunning;
        }
        std::this_thread::sleep_for(20ms);
    }
    failure_ = "pulseaudio did not accept clients in time:\n" + Log();
    Stop(SIGTERM);
    return Outcome::kUnavailable;
}

bool PrivatePulseServer::Pactl(const std::string& args) {
    const std::string command =
        "pactl --server=" + Address() + " " + args + " >/dev/null 2>&1 </dev/null";
    return std::system(command.c_str()) == 0;
}

void PrivatePulseServer::Kill() {
    Stop(SIGKILL);
}

void PrivatePulseServer::Freeze() {
    if (pid_ > 0) {
        kill(pid_, SIGSTOP);
    }
}

void PrivatePulseServer::Thaw() {
    if (pid_ > 0) {
        kill(pid_, SIGCONT);
    }
}

void PrivatePulseServer::Stop(int signal) {
    Thaw();
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, signal);
    if (!WaitForExit(pid_, std::chrono::duration_cast<std::chrono::milliseconds>(kStopTimeout))) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
}

}  // namespace tarnwick::test
