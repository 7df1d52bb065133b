#include "tools/analyse/headless_ports.h"

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

}  // namespace tarnwick
