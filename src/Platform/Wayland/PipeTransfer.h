#pragma once

#include <QByteArray>
#include <optional>

namespace quillo::PipeTransfer {

// Reads a pipe to its end within `timeLimitMs`; none when the writer was too slow or the read
// failed. The descriptor is closed either way.
std::optional<QByteArray> readAll(int fd, int timeLimitMs);
// Writes all of `bytes` to a pipe whose reader may be slow, within `timeLimitMs`. The
// descriptor is closed either way.
bool writeAll(int fd, const QByteArray& bytes, int timeLimitMs);

} // namespace quillo::PipeTransfer
