#pragma once

#include <exception>

namespace quillo {

// Why a browser round trip (Google sign-in or re-verification) did not yield a code.
// Callers treat `cancelled` as a quiet end; the other cases get their own sentences.
class QuilloOAuthError : public std::exception {
public:
    enum class Kind { secureRandomUnavailable, invalidCallback, providerRejected, cancelled, browserUnavailable };

    explicit QuilloOAuthError(Kind kind) : kind_(kind) {}
    Kind kind() const noexcept { return kind_; }
    bool operator==(const QuilloOAuthError& other) const noexcept { return kind_ == other.kind_; }

    const char* what() const noexcept override {
        switch (kind_) {
        case Kind::secureRandomUnavailable: return "secure random bytes unavailable";
        case Kind::invalidCallback: return "invalid callback";
        case Kind::providerRejected: return "provider rejected the request";
        case Kind::cancelled: return "cancelled";
        case Kind::browserUnavailable: return "browser unavailable";
        }
        return "oauth failure";
    }

private:
    Kind kind_;
};

} // namespace quillo
