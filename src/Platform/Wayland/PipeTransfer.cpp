#include "Platform/Wayland/PipeTransfer.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace quillo::PipeTransfer {

namespace {

int remaining(const QDeadlineTimer& deadline) {
    return static_cast<int>(std::max<qint64>(0, deadline.remainingTime()));
}

} // namespace

std::optional<QByteArray> readAll(int fd, int timeLimitMs) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const QDeadlineTimer deadline(timeLimitMs);
    QByteArray bytes;
    char buffer[65536];
    while (true) {
        pollfd ready{fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, remaining(deadline));
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) break;
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, n);
        } else if (n == 0) {
            ::close(fd);
            return bytes;
        } else if (errno != EAGAIN && errno != EINTR) {
            break;
        }
    }
    ::close(fd);
    return std::nullopt;
}

bool writeAll(int fd, const QByteArray& bytes, int timeLimitMs) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const QDeadlineTimer deadline(timeLimitMs);
    qsizetype written = 0;
    bool ok = true;
    while (written < bytes.size()) {
        pollfd ready{fd, POLLOUT, 0};
        const int polled = ::poll(&ready, 1, remaining(deadline));
        if (polled < 0 && errno == EINTR) continue;
        if (polled <= 0) {
            ok = false;
            break;
        }
        const ssize_t n = ::write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            ok = false;
            break;
        }
        if (n > 0) written += n;
    }
    ::close(fd);
    return ok;
}

} // namespace quillo::PipeTransfer
