#include "tools/logger/alarm_command.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <thread>

#include "core/local_time.h"

extern char** environ;

namespace tarnwick {
namespace {

// At most this much of one command's standard error is read per call, so
// that a command that writes without end cannot hold the logger's loop.
constexpr size_t kMaxErrorBytesPerRead = 65536;
// How often StopAll looks whether the groups have ended.
constexpr std::chrono::milliseconds kStopPoll{10};

// The logger's variables that its commands do not get: the change's own
// come afresh, and the service manager's would let a command notify, or
// feed the watchdog, for the logger.
constexpr const char* kWithheldVariables[] = {
    "TARNWICK_",
    "NOTIFY_SOCKET=",
    "WATCHDOG_USEC=",
    "WATCHDOG_PID=",
};

bool Withheld(const char* variable) {
    for (const char* prefix : kWithheldVariables) {
        if (std::strncmp(variable, prefix, std::strlen(prefix)) == 0) {
            return true;
        }
    }
    return false;
}

struct Unrunnable {
    bool missing = false;  // nothing of that name is there
    std::string why;       // empty: the file can be run
};

// Whether `path` is a file this process may execute.
Unrunnable NotExecutable(const std::string& path) {
    struct stat st {};
    if (stat(path.c_str(), &st) != 0) {
        const int error = errno;
        return {error == ENOENT || error == ENOTDIR, std::strerror(error)};
    }
    if (S_ISDIR(st.st_mode)) {
        return {false, "a folder, not a program"};
    }
    if (access(path.c_str(), X_OK) != 0) {
        return {false, std::string("not executable (") + std::strerror(errno) + ")"};
    }
    return {};
}

// The program `word` names: itself when it holds a slash, else the first
// executable of that name in the folders of `searchPath` (an empty folder is
// the current one, as execvp has it). Empty, with `error`, when there is none.
std::string FindProgram(const std::string& word, const char* searchPath, std::string& error) {
    if (word.find('/') != std::string::npos) {
        error = NotExecutable(word).why;
        return error.empty() ? word : std::string();
    }
    std::string folders;
    if (searchPath != nullptr) {
        folders = searchPath;
    } else {
        folders.resize(confstr(_CS_PATH, nullptr, 0));
        confstr(_CS_PATH, folders.data(), folders.size());
        folders.resize(std::strlen(folders.c_str()));
    }
    std::string firstError;  // of a file of that name that cannot be run
    for (size_t from = 0; from <= folders.size();) {
        size_t colon = folders.find(':', from);
        if (colon == std::string::npos) {
            colon = folders.size();
        }
        const std::string folder = folders.substr(from, colon - from);
        const std::string path = (folder.empty() ? std::string(".") : folder) + "/" + word;
        const Unrunnable found = NotExecutable(path);
        if (found.why.empty()) {
            return path;
        }
        if (firstError.empty() && !found.missing) {
            firstError = path + ": " + found.why;
        }
        from = colon + 1;
    }
    error = firstError.empty() ? "not found in PATH (" + folders + ")" : firstError;
    return {};
}

// "ended with status 3", "ended by signal 9 (Killed)"; empty for a success
// or a status not known.
std::string Failure(int status) {
    if (status < 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
        return {};
    }
    if (WIFSIGNALED(status)) {
        return "ended by signal " + std::to_string(WTERMSIG(status)) + " (" +
               strsignal(WTERMSIG(status)) + ")";
    }
    return "ended with status " + std::to_string(WEXITSTATUS(status));
}

// The spawn attributes of a command: a group of its own, no signal blocked,
// and every signal's default action, whatever the logger ignores (SIGPIPE,
// for one) or handles.
class SpawnAttributes {
public:
    SpawnAttributes() {
        posix_spawnattr_init(&attr_);
        sigset_t none;
        sigemptyset(&none);
        sigset_t all;
        sigfillset(&all);
        sigdelset(&all, SIGKILL);
        sigdelset(&all, SIGSTOP);
        posix_spawnattr_setsigmask(&attr_, &none);
        posix_spawnattr_setsigdefault(&attr_, &all);
        posix_spawnattr_setpgroup(&attr_, 0);
        posix_spawnattr_setflags(
            &attr_, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
    }
    ~SpawnAttributes() { posix_spawnattr_destroy(&attr_); }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    const posix_spawnattr_t* get() const { return &attr_; }

private:
    posix_spawnattr_t attr_;
};

// True when no process of group `group` is left.
bool GroupGone(pid_t group) {
    return kill(-group, 0) != 0 && errno == ESRCH;
}

}  // namespace

AlarmCommand::AlarmCommand(const std::string& commandLine, ErrorLine errorLine,
                           AlarmCommandLimits limits, const char* searchPath)
    : errorLine_(std::move(errorLine)), limits_(limits) {
    std::istringstream in(commandLine);
    for (std::string word; in >> word;) {
        words_.push_back(word);
    }
    if (!words_.empty()) {
        program_ = FindProgram(words_.front(), searchPath, programError_);
        if (!programError_.empty()) {
            programError_ = words_.front() + ": " + programError_;
        }
    }
}

void AlarmCommand::Collect(Started& r, int options) {
    int status = 0;
    pid_t got = 0;
    while ((got = waitpid(r.group, &status, options)) < 0 && errno == EINTR) {
    }
    // Ended, or not ours to collect any more (its status then not known).
    r.reaped = got != 0;
    r.status = got == r.group ? status : -1;
}

void AlarmCommand::ReportStatus(const Started& r) {
    const std::string failure = Failure(r.status);
    if (failure.empty()) {
        return;
    }
    ++failures_;
    if (errorLine_) {
        errorLine_(r.change + ": " + words_.front() + " " + failure);
    }
}

AlarmCommand::~AlarmCommand() {
    StopAll();
}

void AlarmCommand::Signal(const Started& r, int signal) {
    killpg(r.group, signal);
    // The command itself as well, while its pid is still ours (not yet
    // collected): should it have left its group, a wait for it would hang.
    if (!r.reaped) {
        kill(r.group, signal);
    }
}

bool AlarmCommand::Run(const AlarmChange& change, LocalDateTime at, std::string& error) {
    if (words_.empty()) {
        return true;
    }
    if (program_.empty()) {
        error = programError_;
        return false;
    }
    char level[32];
    if (std::isfinite(change.levelDb)) {
        std::snprintf(level, sizeof level, "%.1f", change.levelDb);
    } else {
        std::snprintf(level, sizeof level, "-inf");
    }
    std::vector<std::string> variables = {
        std::string("TARNWICK_ALARM=") + AlarmName(change.kind),
        std::string("TARNWICK_STATE=") + (change.set ? "set" : "clear"),
        std::string("TARNWICK_LEVEL_DB=") + level, "TARNWICK_TIME=" + StampText(at)};
    for (char** v = environ; *v != nullptr; ++v) {
        if (!Withheld(*v)) {
            variables.emplace_back(*v);
        }
    }
    std::vector<char*> envp;
    for (std::string& v : variables) {
        envp.push_back(v.data());
    }
    envp.push_back(nullptr);
    std::vector<std::string> words = words_;
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);

    int errorPipe[2] = {-1, -1};
    if (pipe2(errorPipe, O_CLOEXEC) != 0) {
        error = words_.front() + ": " + std::strerror(errno);
        return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errorPipe[1], STDERR_FILENO);
    const SpawnAttributes attributes;
    pid_t pid = -1;
    const int spawned =
        posix_spawn(&pid, program_.c_str(), &actions, attributes.get(), argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(errorPipe[1]);
    if (spawned != 0) {
        close(errorPipe[0]);
        error = words_.front() + ": " + std::strerror(spawned);
        return false;
    }
    fcntl(errorPipe[0], F_SETFL, O_NONBLOCK);
    running_.push_back({pid,
                        std::string(AlarmName(change.kind)) + (change.set ? " set" : " clear"),
                        false,
                        -1,
                        errorPipe[0],
                        {},
                        std::chrono::steady_clock::now()});
    return true;
}

void AlarmCommand::PassOn(Started& r, const char* data, size_t size) {
    for (size_t i = 0; i < size; ++i) {
        if (data[i] != '\n') {
            r.partial += data[i];
        }
        if (data[i] == '\n' || r.partial.size() >= kMaxLineBytes) {
            if (!r.partial.empty() && r.partial.back() == '\r') {
                r.partial.pop_back();
            }
            if (errorLine_) {
                errorLine_(r.partial);
            }
            r.partial.clear();
        }
    }
}

void AlarmCommand::ReadErrors(Started& r) {
    char piece[4096];
    for (size_t total = 0; r.errorPipe >= 0 && total < kMaxErrorBytesPerRead;) {
        const ssize_t got = read(r.errorPipe, piece, sizeof piece);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got == 0) {  // every writer has closed it
            Finish(r);
        }
        if (got <= 0) {
            return;
        }
        total += static_cast<size_t>(got);
        PassOn(r, piece, static_cast<size_t>(got));
    }
}

void AlarmCommand::Finish(Started& r) {
    if (r.errorPipe < 0) {
        return;
    }
    char piece[4096];
    for (size_t total = 0; total < kMaxErrorBytesPerRead;) {
        const ssize_t got = read(r.errorPipe, piece, sizeof piece);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            break;
        }
        total += static_cast<size_t>(got);
        PassOn(r, piece, static_cast<size_t>(got));
    }
    close(r.errorPipe);
    r.errorPipe = -1;
    if (!r.partial.empty()) {
        PassOn(r, "\n", 1);
    }
}

bool AlarmCommand::Ended(Started& r) {
    if (!r.reaped) {
        Collect(r, WNOHANG);
    }
    if (!r.reaped || !GroupGone(r.group)) {
        return false;
    }
    Finish(r);
    return true;
}

void AlarmCommand::Reap() {
    const auto now = std::chrono::steady_clock::now();
    std::erase_if(running_, [&](Started& r) {
        ReadErrors(r);
        if (Ended(r)) {
            ReportStatus(r);
            return true;
        }
        if (now - r.started < limits_.timeLimit) {
            return false;
        }
        Signal(r, SIGKILL);
        if (!r.reaped) {
            Collect(r, 0);
        }
        Finish(r);
        ++failures_;
        if (errorLine_) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%g",
                          std::chrono::duration<double>(limits_.timeLimit).count());
            errorLine_(r.change + ": " + words_.front() + " still running after " + seconds +
                       " s: killed, with everything it started");
        }
        return true;
    });
}

void AlarmCommand::StopAll() {
    for (Started& r : running_) {
        Signal(r, SIGTERM);
    }
    // Quiet: the command has ended, and its group has too, or at least every
    // process that kept its standard error has (where orphans are not reaped
    // at once, their zombies keep the group in being).
    auto quiet = [this](Started& r) {
        ReadErrors(r);
        if (!r.reaped) {
            Collect(r, WNOHANG);
        }
        return r.reaped && (r.errorPipe < 0 || GroupGone(r.group));
    };
    const auto due = std::chrono::steady_clock::now() + limits_.stopGrace;
    while (!std::all_of(running_.begin(), running_.end(), quiet) &&
           std::chrono::steady_clock::now() < due) {
        std::this_thread::sleep_for(kStopPoll);
    }
    // SIGKILL to every group, quiet or not: a process that closed its
    // standard error is not seen by the pipe.
    for (Started& r : running_) {
        Signal(r, SIGKILL);
        if (!r.reaped) {
            Collect(r, 0);
        }
        Finish(r);
    }
    running_.clear();
}

}  // namespace tarnwick
