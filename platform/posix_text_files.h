#pragma once
// The results files on a POSIX file system. Each write opens, writes and
// closes, so no handle is held between saves; only a claim holds the file
// open.
//
// Two locks of different kinds keep the files apart. A claim is a flock on
// the results file itself, held on the descriptor the claim opened: shared
// for a shared claim, exclusive for a sole one, so that every path to one
// file (a symbolic link, a hard link, a relative path) meets it, whatever
// the environment of the program. Each write takes an open-file-description
// lock (fcntl F_OFD_SETLK) on its own descriptor for the length of the
// write, unless this program's claim is sole. Linux keeps the two kinds
// apart on local file systems, so a program writes the file it claims, and
// two programs sharing a file wait for each other's writes.

#include <map>
#include <string>

#include "core/ports/text_files.h"

namespace tarnwick {

class PosixTextFiles : public ITextFiles {
public:
    PosixTextFiles() = default;
    ~PosixTextFiles() override;
    PosixTextFiles(const PosixTextFiles&) = delete;
    PosixTextFiles& operator=(const PosixTextFiles&) = delete;

    FileResult CreateWith(const std::string& path, const std::string& content) override;
    // One write() of the whole line on a descriptor opened with O_APPEND; when it
    // fails or comes up short the file is cut back to its old length.
    FileResult Append(const std::string& path, const std::string& line) override;
    FileResult StartWith(const std::string& path, const std::string& header) override;
    bool Exists(const std::string& path) override;
    FileResult Read(const std::string& path, std::string& content) override;
    FileResult ReadStart(const std::string& path, size_t bytes, std::string& content) override;
    FileResult MakeFolder(const std::string& folder) override;
    FileResult Claim(const std::string& path, bool sole, bool create) override;
    void Release(const std::string& path) override;

private:
    // Opens `path` with `flags` for one write and takes its write lock; a
    // path claimed here must still name the file claimed. -1 on failure,
    // with `result` saying why.
    int OpenForWriting(const std::string& path, int flags, FileResult& result);

    struct Claimed {
        int fd;  // the claimed file's, holding its flock
        bool sole;
    };
    std::map<std::string, Claimed> claims_;  // by the path as claimed
};

}  // namespace tarnwick
