#pragma once
// Mail is not sent: each message becomes one file in the outbox folder, for the operator (or a
// test) to read. The body holds the one link the message is about.
#include <mutex>
#include <string>

namespace quillo::cloud {

class Outbox {
public:
    explicit Outbox(std::string directory);
    // Returns the file written.
    std::string write(const std::string &kind, const std::string &to, const std::string &subject,
                      const std::string &body, const std::string &link);
    const std::string &directory() const { return directory_; }

private:
    std::string directory_;
    std::mutex mutex_;
    unsigned long sequence_ = 0;
};

}  // namespace quillo::cloud
