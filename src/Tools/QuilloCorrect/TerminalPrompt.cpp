#include "TerminalPrompt.h"

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace quillo::TerminalPrompt {

namespace {

class Terminal {
public:
    Terminal() : fd_(::open("/dev/tty", O_RDWR | O_CLOEXEC)) {}
    ~Terminal() {
        if (fd_ >= 0) ::close(fd_);
    }
    bool isOpen() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    void write(const QString& text) const {
        const QByteArray bytes = text.toUtf8();
        qsizetype done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
            if (n <= 0) return;
            done += n;
        }
    }

    std::optional<QString> readLine() const {
        std::string line;
        char c;
        for (;;) {
            const ssize_t n = ::read(fd_, &c, 1);
            if (n <= 0) return line.empty() ? std::nullopt : std::optional<QString>(QString::fromStdString(line));
            if (c == '\n') break;
            line.push_back(c);
        }
        if (!line.empty() && line.back() == '\r') line.pop_back();
        return QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
    }

private:
    int fd_;
};

} // namespace

// Only a person at a terminal is asked; a run under another program (its error output captured)
// never waits for an answer.
bool isInteractive() { return ::isatty(STDERR_FILENO) == 1; }

std::optional<QString> askLine(const QString& prompt) {
    if (!isInteractive()) return std::nullopt;
    const Terminal terminal;
    if (!terminal.isOpen()) return std::nullopt;
    terminal.write(prompt);
    return terminal.readLine();
}

std::optional<QString> askSecret(const QString& prompt) {
    if (!isInteractive()) return std::nullopt;
    const Terminal terminal;
    if (!terminal.isOpen()) return std::nullopt;
    termios saved{};
    if (::tcgetattr(terminal.fd(), &saved) != 0) return std::nullopt;
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    if (::tcsetattr(terminal.fd(), TCSAFLUSH, &quiet) != 0) return std::nullopt;
    terminal.write(prompt);
    std::optional<QString> entry = terminal.readLine();
    ::tcsetattr(terminal.fd(), TCSAFLUSH, &saved);
    return entry;
}

} // namespace quillo::TerminalPrompt
