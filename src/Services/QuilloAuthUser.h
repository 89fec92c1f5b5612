#pragma once

#include <QString>
#include <optional>

namespace quillo {

// The "user" member of an account answer.
struct QuilloAuthUser {
    std::optional<QString> id;
    std::optional<QString> email;
    std::optional<QString> provider;
};

} // namespace quillo
