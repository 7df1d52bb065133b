#pragma once
// The results files on a POSIX file system. Each call opens, writes and closes,
// so no handle is held between saves.

#include <map>
#include <string>

#include "core/ports/text_files.h"

namespace tarnwick {

class PosixTextFiles : public ITextFiles {
public:
    // Claims are lock files in `claimFolder` (made when missing), one per
    // results file, named after a hash of its absolute path and held with
    // flock: shared for a shared claim, exclusive for a sole one.
    explicit PosixTextFiles(std::string claimFolder = DefaultClaimFolder());
    ~PosixTextFiles() override;
    PosixTextFiles(const PosixTextFiles&) = delete;
    PosixTextFiles& operator=(const PosixTextFiles&) = delete;

    FileResult CreateWith(const std::string& path, const std::string& content) override;
    // One write() of the whole line on a descriptor opened with O_APPEND; when it
    // fails or comes up short the file is cut back to its old length.
    FileResult Append(const std::string& path, const std::string& line) override;
    bool Exists(const std::string& path) override;
    FileResult Read(const std::string& path, std::string& content) override;
    FileResult Claim(const std::string& path, bool sole) override;
    void Release(const std::string& path) override;

    // $XDG_RUNTIME_DIR/tarnwick-results, else one in the temporary folder
    // for this user.
    static std::string DefaultClaimFolder();

private:
    std::string claimFolder_;
    std::map<std::string, int> claims_;  // the path as claimed, and its lock's descriptor
};

}  // namespace tarnwick
