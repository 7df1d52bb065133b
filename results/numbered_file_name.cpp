#include "results/numbered_file_name.h"

namespace tarnwick {

std::string NumberedFileName(const std::string& path, int n) {
    if (n < 2) {
        return path;
    }
    const size_t slash = path.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = path.find_last_of('.');
    // A dot that starts the name ("/data/.csv") makes no extension.
    if (dot == std::string::npos || dot <= nameStart) {
        dot = path.size();
    }
    return path.substr(0, dot) + " (" + std::to_string(n) + ")" + path.substr(dot);
}

}  // namespace tarnwick
