#pragma once
// Port: the results files. No handle is kept between calls, so other programs can
// read a file while a test runs; only a claim keeps the file open.
//
// Writes to one file never interleave or cut each other's lines, whichever
// programs make them: CreateWith, Append and StartWith each take the file's
// write lock for their one write, a lock that claims do not touch.

#include <cstddef>
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
    // A path this program claims is written only while it still names the
    // file claimed: once that file is deleted or replaced by another, the
    // error is kFileMissingError.
    virtual FileResult Append(const std::string& path, const std::string& line) = 0;
    // Writes `header` into the file if it is empty, as Append writes a line;
    // a file that holds anything is left as it is. Not created when missing.
    virtual FileResult StartWith(const std::string& path, const std::string& header) = 0;
    virtual bool Exists(const std::string& path) = 0;
    // The whole of an existing file into `content` (emptied on failure);
    // error kFileMissingError when there is no such file.
    virtual FileResult Read(const std::string& path, std::string& content) = 0;
    // As Read, but at most the first `bytes` of the file: its header.
    virtual FileResult ReadStart(const std::string& path, size_t bytes, std::string& content) = 0;
    // Makes `folder` and the folders above it that are missing.
    virtual FileResult MakeFolder(const std::string& folder) = 0;

    // Claims the file for writing for as long as it is attached, so that two
    // programs never keep records in one file unknowingly. A `sole` claim (a
    // logger's) fails while any other claim is held; a shared claim (the
    // meter window's: its two copies may share a file) fails only while a
    // sole claim is held. The claim is on the file itself, however it is
    // named: a symbolic link, another hard link or a relative path to it
    // meets the same claim. With `create`, a missing file is made empty
    // first (its folder must exist), so that of two programs beginning one
    // file only the one that holds it writes its header; without, a missing
    // file fails with kFileMissingError. A refusal's message names the file.
    // Claims end with Release, or with the process, however it ends; they
    // never wait.
    virtual FileResult Claim(const std::string& path, bool sole, bool create) = 0;
    virtual void Release(const std::string& path) = 0;
};

// The error of a file that does not exist.
constexpr int kFileMissingError = 2;  // ENOENT
// The error of a claim refused: the file is written by another program.
constexpr int kFileClaimedError = 16;  // EBUSY

}  // namespace tarnwick
