#pragma once
// The rows port on a POSIX file system. Each row opens the file, appends in
// one write and closes it again, so that a file rotated, moved or deleted
// while logging is found (or made afresh) at the next row; a write that fails
// or comes up short is cut back, so the file always ends in a whole row. A
// folder is claimed with an exclusive flock on the folder itself, held on a
// descriptor of its own.

#include <map>

#include "core/ports/row_files.h"

namespace tarnwick {

class PosixRowFiles : public IRowFiles {
public:
    std::string MakeFolder(const std::string& folder) override;
    Written Append(const std::string& path, const std::string& header,
                   const std::string& row) override;
    std::string ClaimFolder(const std::string& folder) override;
    void ReleaseFolder(const std::string& folder) override;
    std::string LastRow(const std::string& path) override;
    std::string FirstRow(const std::string& path) override;
    ~PosixRowFiles() override;

private:
    std::map<std::string, int> claims_;  // folder, and the descriptor holding its flock
};

}  // namespace tarnwick
