#pragma once
// Port: the results files. No handle is kept between calls, so other programs can
// read a file while a test runs.

#include <string>

namespace tarnwick {

struct FileResult {
    int error = 0;        // 0, or the system error number (2: the file does not exist)
    std::string message;  // the system's text for the error; empty on success
    bool ok() const { return error == 0; }
};

class ITextFiles {
public:
    virtual ~ITextFiles() = default;
    // Creates the file, or empties an existing one, and writes `content`.
    virtual FileResult CreateWith(const std::string& path, const std::string& content) = 0;
    // Appends `line` to an existing file in one write. The file is not created
    // when missing. On any failure the file is left as it was: no partial line.
    virtual FileResult Append(const std::string& path, const std::string& line) = 0;
};

}  // namespace tarnwick
