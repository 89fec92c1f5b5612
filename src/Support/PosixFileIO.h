#pragma once

#include <QtGlobal>

namespace quillo {

// Plain POSIX file helpers shared by the stores that write their own files.
namespace PosixFileIO {

// Writes all of `data`, retrying short writes and EINTR; false with errno set on failure.
bool writeAll(int fd, const char* data, qsizetype size);

} // namespace PosixFileIO

} // namespace quillo
