#pragma once
// Structured JSON log lines on stderr. Callers pass technical fields only: never user text,
// tokens, passwords or e-mail addresses.
#include <nlohmann/json.hpp>
#include <string_view>

namespace quillo::cloud::log {

enum class Level { debug = 0, info = 1, warn = 2, error = 3, off = 4 };

void setLevel(Level level);
bool enabled(Level level);
void write(Level level, std::string_view event, nlohmann::json fields = nlohmann::json::object());
inline void info(std::string_view event, nlohmann::json fields = nlohmann::json::object())
{
    write(Level::info, event, std::move(fields));
}
inline void warn(std::string_view event, nlohmann::json fields = nlohmann::json::object())
{
    write(Level::warn, event, std::move(fields));
}
inline void error(std::string_view event, nlohmann::json fields = nlohmann::json::object())
{
    write(Level::error, event, std::move(fields));
}

}  // namespace quillo::cloud::log
