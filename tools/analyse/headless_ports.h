#pragma once
// The ports of a headless run: messages go to standard error, the save-file
// dialog answers with the file named on the command line, and ending the program
// is recorded so the run can stop.

#include <cstdio>
#include <string>

#include "core/ports/process_control.h"
#include "core/ports/user_dialogs.h"

namespace tarnwick {

class ConsoleDialogs : public IUserDialogs {
public:
    explicit ConsoleDialogs(std::FILE* out) : out_(out) {}

    void MessageBox(const std::string& text, const std::string& caption) override;
    std::optional<SaveFileAnswer> SaveFile(const SaveFileRequest& request) override;

    // The path the save-file dialog answers with (filter entry 1, "All results
    // files", so the extension decides the type); empty: the user cancels.
    std::string saveFileAnswer;
    int messages = 0;  // message boxes shown

private:
    std::FILE* out_;
};

class RecordingProcessControl : public IProcessControl {
public:
    void EndProgram() override { ended = true; }
    bool ended = false;
};

}  // namespace tarnwick
