#include "Support/PosixFileIO.h"

#include <cerrno>
#include <unistd.h>

namespace quillo::PosixFileIO {

bool writeAll(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

} // namespace quillo::PosixFileIO
