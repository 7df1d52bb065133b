#include "platform/posix_io.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tarnwick {

int WriteAll(int fd, const void* data, size_t size) {
    const auto* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (n == 0) {
            return ENOSPC;
        }
        done += static_cast<size_t>(n);
    }
    return 0;
}

FileResult FileFailure(int error) {
    return FileResult{error, std::strerror(error)};
}

}  // namespace tarnwick
