#pragma once
// Port: files of rows, as the per-second day logs keep them. The real one is
// POSIX files (platform/posix_row_files.h); tests bring fakes.

#include <string>

namespace tarnwick {

// Appends rows to CSV files, each file starting with its header.
class IRowFiles {
public:
    struct Written {
        bool ok = false;
        bool created = false;  // the file was not there: it was made, header first
        std::string error;     // why not, naming the path
    };

    virtual ~IRowFiles() = default;
    // Makes `folder` and the folders above it when missing, and checks that
    // files can be made in it. Empty, or the reason naming the folder.
    virtual std::string MakeFolder(const std::string& folder) = 0;
    // Appends `row` to `path` whole or not at all. A file that is missing,
    // or whose folder is, is made first (folders included) and starts with
    // `header`.
    virtual Written Append(const std::string& path, const std::string& header,
                           const std::string& row) = 0;
    // Claims `folder` for this program's rows until ReleaseFolder or the
    // program's end, however it ends: of two programs that would write rows
    // into the files of one folder, the second is refused, so that their
    // rows never mix in one file. The claim is on the folder itself, however
    // it is named. Empty, or the reason naming the folder.
    virtual std::string ClaimFolder(const std::string& folder) = 0;
    virtual void ReleaseFolder(const std::string& folder) = 0;
    // The last whole row of `path`; empty when there is none.
    virtual std::string LastRow(const std::string& path) = 0;
    // The first row of `path` (its header); empty when there is none.
    virtual std::string FirstRow(const std::string& path) = 0;
};

}  // namespace tarnwick
