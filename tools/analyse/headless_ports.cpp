#include "tools/analyse/headless_ports.h"

#include <filesystem>

namespace tarnwick {

void ConsoleDialogs::MessageBox(const std::string& text, const std::string& caption) {
    ++messages;
    std::string line = text;
    for (char& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    std::fprintf(out_, "tarnwick-analyse: %s: %s\n", caption.c_str(), line.c_str());
}

std::optional<SaveFileAnswer> ConsoleDialogs::SaveFile(const SaveFileRequest&) {
    if (saveFileAnswer.empty()) {
        return std::nullopt;
    }
    return SaveFileAnswer{saveFileAnswer, 1};
}

std::optional<std::string> HeadlessShell::DocumentsPath() {
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
