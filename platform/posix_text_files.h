#pragma once
// The results files on a POSIX file system. Each call opens, writes and closes,
// so no handle is held between saves.

#include "core/ports/text_files.h"

namespace tarnwick {

class PosixTextFiles : public ITextFiles {
public:
    FileResult CreateWith(const std::string& path, const std::string& content) override;
    // One write() of the whole line on a descriptor opened with O_APPEND; when it
    // fails or comes up short the file is cut back to its old length.
    FileResult Append(const std::string& path, const std::string& line) override;
};

}  // namespace tarnwick
