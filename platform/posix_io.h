#pragma once
// Small POSIX file helpers shared by the adapters that write files.

#include <cstddef>
#include <string>

#include "core/ports/text_files.h"

namespace tarnwick {

// Writes all `size` bytes, retrying after interruptions and short writes.
// Returns 0, or the errno of the failure (ENOSPC when the device takes no more).
int WriteAll(int fd, const void* data, size_t size);
inline int WriteAll(int fd, const std::string& text) {
    return WriteAll(fd, text.data(), text.size());
}

// A failed file operation with the system's text for `error`.
FileResult FileFailure(int error);

}  // namespace tarnwick
