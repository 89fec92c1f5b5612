#include "Outbox.h"

#include "Crypto.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace quillo::cloud {

Outbox::Outbox(std::string directory) : directory_(std::move(directory))
{
    std::filesystem::create_directories(directory_);
}

std::string Outbox::write(const std::string &kind, const std::string &to, const std::string &subject,
                          const std::string &body, const std::string &link)
{
    using namespace std::chrono;
    auto ms = duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    unsigned long seq;
    {
        std::lock_guard lock(mutex_);
        seq = ++sequence_;
    }
    char name[128];
    std::snprintf(name, sizeof name, "%013lld-%06lu-%s.eml", static_cast<long long>(ms), seq, kind.c_str());
    std::filesystem::path path = std::filesystem::path(directory_) / name;
    std::filesystem::path temp = path;
    temp += ".tmp";
    {
        std::ofstream out(temp, std::ios::binary);
        out << "From: Quillo <no-reply@quillo.local>\r\n"
            << "To: " << to << "\r\n"
            << "Subject: " << subject << "\r\n"
            << "X-Quillo-Mail-Kind: " << kind << "\r\n"
            << "X-Quillo-Link: " << link << "\r\n"
            << "Content-Type: text/plain; charset=utf-8\r\n\r\n"
            << body << "\r\n\r\n"
            << link << "\r\n";
        if (!out) throw std::runtime_error("outbox is not writable");
    }
    std::filesystem::rename(temp, path);
    return path.string();
}

}  // namespace quillo::cloud
