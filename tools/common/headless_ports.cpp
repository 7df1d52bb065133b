#include "tools/common/headless_ports.h"

#include <cstdio>
#include <filesystem>

namespace tarnwick {

void ConsoleDialogs::MessageBox(const std::string& text, const std::string& caption) {
    ++messages;
    Notice(text, caption);
}

void ConsoleDialogs::Notice(const std::string& text, const std::string& caption) {
    std::string line = text;
    for (char& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    const std::string stamp = clock_ != nullptr ? StampText(clock_->Now()) + " " : "";
    std::fprintf(out_, "%s%s: %s: %s\n", stamp.c_str(), program_.c_str(), caption.c_str(),
                 line.c_str());
    std::fflush(out_);
}

std::optional<SaveFileAnswer> ConsoleDialogs::SaveFile(const SaveFileRequest&) {
    if (saveFileAnswer.empty()) {
        return std::nullopt;
    }
    return SaveFileAnswer{saveFileAnswer, 1};
}

std::optional<std::string> HeadlessShell::DocumentsPath() {
    if (!documents_.empty()) {
        return documents_;
    }
    std::error_code error;
    const std::filesystem::path here = std::filesystem::current_path(error);
    if (error) {
        return std::nullopt;
    }
    return here.string();
}

bool HeadlessShell::DirectoryExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_directory(path, error);
}

}  // namespace tarnwick
