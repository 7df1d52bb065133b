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
    virtual bool Exists(const std::string& path) = 0;
    // The whole of an existing file into `content` (emptied on failure);
    // error kFileMissingError when there is no such file.
    virtual FileResult Read(const std::string& path, std::string& content) = 0;

    // Claims the file for writing for as long as it is attached, so that two
    // programs never keep records in one file unknowingly. A `sole` claim (a
    // logger's) fails while any other claim is held; a shared claim (the
    // meter window's: its two copies may share a file) fails only while a
    // sole claim is held. A failure's message names the file. Claims end with
    // Release, or with the process, however it ends; they never wait.
    virtual FileResult Claim(const std::string& path, bool sole) = 0;
    virtual void Release(const std::string& path) = 0;
};

// The error of a file that does not exist.
constexpr int kFileMissingError = 2;  // ENOENT
// The error of a claim refused: the file is written by another program.
constexpr int kFileClaimedError = 16;  // EBUSY

}  // namespace tarnwick
