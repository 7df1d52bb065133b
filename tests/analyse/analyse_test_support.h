#pragma once
// Helpers of the analyser tests: a scratch folder, reference recordings written
// with libsndfile, and runs of tarnwick-analyse, in this process or as the real
// program.

#include <fcntl.h>
#include <sndfile.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

#include "tools/analyse/analyser_options.h"
#include "tools/analyse/analyser_run.h"

namespace tarnwick::analyse_test {

constexpr int kRate = 44100;
constexpr int64_t kBlockFrames = 882;  // one block at the default sweep of 10 s: 20 ms

// A folder of its own under the system's temporary folder, removed afterwards.
class ScratchFolder {
public:
    ScratchFolder() {
        static std::atomic<int> counter{0};
        path_ = std::filesystem::temp_directory_path() /
                ("tarnwick-analyse-test-" + std::to_string(::getpid()) + "-" +
                 std::to_string(counter++));
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    std::string Path(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Interleaved 16-bit samples, built stretch by stretch.
struct Signal {
    int channels = 2;
    std::vector<int16_t> samples;

    int64_t Frames() const { return static_cast<int64_t>(samples.size()) / channels; }

    // `frames` frames holding `left` and `right` (mono: `left` only).
    Signal& Constant(int64_t frames, int left, int right) {
        for (int64_t i = 0; i < frames; ++i) {
            Push(left, right);
        }
        return *this;
    }
    Signal& Silence(int64_t frames) { return Constant(frames, 0, 0); }

    // A square wave of 441 Hz (the sign flips every 50 frames, counted from the
    // start of the recording) with the given magnitudes, both channels in phase.
    Signal& Square(int64_t frames, int left, int right) {
        for (int64_t i = 0; i < frames; ++i) {
            const int sign = (Frames() / 50) % 2 == 0 ? 1 : -1;
            Push(sign * left, sign * right);
        }
        return *this;
    }

private:
    void Push(int left, int right) {
        samples.push_back(static_cast<int16_t>(left));
        if (channels > 1) {
            samples.push_back(static_cast<int16_t>(right));
        }
        for (int c = 2; c < channels; ++c) {
            samples.push_back(0);
        }
    }
};

inline Signal Mono() {
    Signal s;
    s.channels = 1;
    return s;
}

inline void WriteRecording(const std::string& path, const Signal& signal, int rate = kRate,
                           int format = SF_FORMAT_WAV | SF_FORMAT_PCM_16) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = signal.channels;
    info.format = format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        throw std::runtime_error(path + ": " + sf_strerror(nullptr));
    }
    const sf_count_t written = sf_writef_short(file, signal.samples.data(), signal.Frames());
    sf_close(file);
    if (written != signal.Frames()) {
        throw std::runtime_error(path + ": short write");
    }
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline bool Exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

// Splits at `separator`; a trailing separator gives no empty last piece.
inline std::vector<std::string> Split(const std::string& text, const std::string& separator) {
    std::vector<std::string> pieces;
    size_t from = 0;
    while (from < text.size()) {
        const size_t at = text.find(separator, from);
        if (at == std::string::npos) {
            pieces.push_back(text.substr(from));
            break;
        }
        pieces.push_back(text.substr(from, at - from));
        from = at + separator.size();
    }
    return pieces;
}

// Lines joined with `ending` after each, as the files and readouts hold them.
inline std::string Joined(const std::vector<std::string>& lines, const std::string& ending) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + ending;
    }
    return text;
}

struct AnalyserRun {
    int status = -1;  // exit status; 128 + signal number when killed
    std::string out;
    std::string err;
};

inline std::string ReadBack(std::FILE* file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        text.append(buffer, n);
    }
    std::fclose(file);
    return text;
}

// The local time the in-process runs take as "now": 8 December 2026, 14:30:00.
inline LocalDateTime TestNow() {
    CivilDateTime c;
    c.year = 2026;
    c.month = 12;
    c.day = 8;
    c.hour = 14;
    c.minute = 30;
    return ToLocalDateTime(c);
}

// Runs the analyser in this process, exactly as the program's main does.
inline AnalyserRun Analyse(const std::vector<std::string>& args) {
    AnalyserRun run;
    const ParsedOptions parsed = ParseAnalyserOptions(args);
    if (std::holds_alternative<AnalyserHelp>(parsed)) {
        run.status = 0;
        run.out = AnalyserUsage();
        return run;
    }
    if (const auto* error = std::get_if<std::string>(&parsed)) {
        run.status = kAnalyseBadInput;
        run.err = "tarnwick-analyse: " + *error + "\n";
        return run;
    }
    std::FILE* out = std::tmpfile();
    std::FILE* err = std::tmpfile();
    if (out == nullptr || err == nullptr) {
        throw std::runtime_error("no temporary file");
    }
    run.status = RunAnalyser(std::get<AnalyserOptions>(parsed), TestNow(), out, err);
    run.out = ReadBack(out);
    run.err = ReadBack(err);
    return run;
}

// Runs the built tarnwick-analyse with `args`. With `fileSizeLimit` the program
// may not grow any file beyond that many bytes (writes past it fail with EFBIG).
// `environment` ("NAME=value", or "NAME" to remove it) changes the program's
// environment.
inline AnalyserRun RunProgram(const std::vector<std::string>& args, const ScratchFolder& folder,
                              rlim_t fileSizeLimit = RLIM_INFINITY,
                              const std::vector<std::string>& environment = {}) {
    std::vector<std::string> strings = {TARNWICK_ANALYSE_BINARY};
    strings.insert(strings.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& s : strings) {
        argv.push_back(s.data());
    }
    argv.push_back(nullptr);
    std::vector<std::string> variables;
    for (char** v = environ; *v != nullptr; ++v) {
        variables.emplace_back(*v);
    }
    for (const std::string& change : environment) {
        const std::string name = change.substr(0, change.find('='));
        std::erase_if(variables, [&](const std::string& v) { return v.rfind(name + "=", 0) == 0; });
        if (change.find('=') != std::string::npos) {
            variables.push_back(change);
        }
    }
    std::vector<char*> envp;
    for (std::string& v : variables) {
        envp.push_back(v.data());
    }
    envp.push_back(nullptr);
    const std::string outPath = folder.Path("program-stdout.txt");
    int errPipe[2];
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe");
    }

    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls until exec.
        const int outFd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (outFd < 0 || ::dup2(outFd, STDOUT_FILENO) < 0 ||
            ::dup2(errPipe[1], STDERR_FILENO) < 0) {
            ::_exit(126);
        }
        if (fileSizeLimit != RLIM_INFINITY) {
            ::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(errPipe[1]);
    AnalyserRun run;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(errPipe[0], buffer, sizeof buffer)) != 0) {
        if (n > 0) {
            run.err.append(buffer, static_cast<size_t>(n));
        } else if (errno != EINTR) {
            break;
        }
    }
    ::close(errPipe[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadFile(outPath);
    return run;
}

// The --readouts lines by name.
inline std::map<std::string, std::string> Readouts(const std::string& out) {
    std::map<std::string, std::string> readouts;
    for (const std::string& line : Split(out, "\n")) {
        const size_t tab = line.find('\t');
        if (tab != std::string::npos) {
            readouts[line.substr(0, tab)] = line.substr(tab + 1);
        }
    }
    return readouts;
}

// The rows of a --levels file after its header, each split into its fields.
inline std::vector<std::vector<std::string>> LevelRows(const std::string& path) {
    std::vector<std::vector<std::string>> rows;
    const std::vector<std::string> lines = Split(ReadFile(path), "\n");
    for (size_t i = 1; i < lines.size(); ++i) {
        rows.push_back(Split(lines[i], ","));
    }
    return rows;
}

// Columns of the level log.
enum LevelColumn {
    kBlock,
    kTick,
    kTestRunning,
    kLeftPeak,
    kRightPeak,
    kSumPeak,
    kDifferencePeak,
    kLeftOverCandidate,
    kRightOverCandidate,
    kLevel,
    kShortAverage1,
    kShortAverage2,
    kRunTimeAverage,
    kOverTargetMs,
    kUnderTargetMs,
    kSystemMax,
    kLamp,
    kLevelColumns
};

}  // namespace tarnwick::analyse_test
