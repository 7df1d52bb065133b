#pragma once
// The ports of a headless run: messages go to standard error, the save-file
// dialog answers with the file named on the command line, and ending the program
// is recorded so the run can stop.

#include <cstdio>
#include <string>

#include "core/local_time.h"
#include "core/ports/clock.h"
#include "core/ports/desktop_shell.h"
#include "core/ports/process_control.h"
#include "core/ports/user_dialogs.h"
#include "core/ports/wave_device.h"

namespace tarnwick {

class ConsoleDialogs : public IUserDialogs {
public:
    // Each message is one line, "<program>: <caption>: <text>", after the date
    // and time of `clock` when there is one.
    explicit ConsoleDialogs(std::FILE* out, std::string program = "tarnwick-analyse",
                            IClock* clock = nullptr)
        : out_(out), program_(std::move(program)), clock_(clock) {}

    // Counted in `messages`: a program without a window ends with a failure
    // after a message.
    void MessageBox(const std::string& text, const std::string& caption) override;
    // The same line, not counted: what it tells is no failure.
    void Notice(const std::string& text, const std::string& caption) override;
    std::optional<SaveFileAnswer> SaveFile(const SaveFileRequest& request) override;
    // Nobody is there to choose: the dialog is cancelled.
    std::optional<std::string> ChooseFolder(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<std::string> OpenFile(const std::string&, const std::string&) override {
        return std::nullopt;
    }
    std::optional<uint32_t> ChooseColour(std::optional<uint32_t>) override { return std::nullopt; }
    std::optional<std::string> InputBox(const std::string&, const std::string&,
                                        const std::string&) override {
        return std::nullopt;
    }

    // The path the save-file dialog answers with (filter entry 1, "All results
    // files", so the extension decides the type); empty: the user cancels.
    std::string saveFileAnswer;
    int messages = 0;  // message boxes shown

private:
    std::FILE* out_;
    std::string program_;
    IClock* clock_;
};

// Nothing is played in a headless run: the output accepts and discards.
class SilentWaveOutput : public IWaveOutput {
public:
    int Query(int, const WaveFormat&) override { return kWaveOk; }
    int Open(int, const WaveFormat&) override { return kWaveOk; }
    int Prepare(const uint8_t*, int64_t) override { return kWaveOk; }
    int Write() override { return kWaveOk; }
    void Reset() override {}
    void Close() override {}
};

// No desktop: folders are the file system's, and nothing is opened. The
// documents folder is the one given, else the working folder.
class HeadlessShell : public IDesktopShell {
public:
    explicit HeadlessShell(std::string documents = {}) : documents_(std::move(documents)) {}
    std::optional<std::string> DocumentsPath() override;
    bool DirectoryExists(const std::string& path) override;
    int Open(const std::string&) override { return kShellNoAssociation; }
    int Explore(const std::string&) override { return kShellNoAssociation; }

private:
    std::string documents_;
};

class RecordingProcessControl : public IProcessControl {
public:
    void EndProgram() override { ended = true; }
    // The recording's device cannot fail once open; a close ends the run as well.
    void CloseMainWindow() override { ended = true; }
    bool ended = false;
};

}  // namespace tarnwick
