#pragma once

#include <QByteArray>
#include <QString>
#include <exception>
#include <functional>

namespace quillo {

enum class CorrectionRequestIdentityError {
    secureRandomUnavailable,
};

// Thrown by CorrectionRequestIdentity::make().
class CorrectionRequestIdentityFailure : public std::exception {
public:
    explicit CorrectionRequestIdentityFailure(CorrectionRequestIdentityError error) : error_(error) {}
    CorrectionRequestIdentityError error() const { return error_; }
    const char* what() const noexcept override { return "secure random generator unavailable"; }

private:
    CorrectionRequestIdentityError error_;
};

// The identity every attempt of one correction call carries, so the server recognises repeats
// and never charges twice.
struct CorrectionRequestIdentity {
    QString correctionId; // lower-case UUID, 36 characters
    QString recoveryKey;  // 32 random bytes, URL-safe Base64 without padding, 43 characters

    // Throws CorrectionRequestIdentityFailure(secureRandomUnavailable).
    static CorrectionRequestIdentity make();

    // URL-safe Base64 ("+" -> "-", "/" -> "_", no "=") of `bytes`.
    static QString urlSafeBase64(const QByteArray& bytes);

    // Replaces the system generator (tests): fills `count` bytes, false on failure. An empty
    // function restores the system generator.
    using RandomSource = std::function<bool(unsigned char* bytes, int count)>;
    static void setRandomSourceForTesting(RandomSource source);

    bool operator==(const CorrectionRequestIdentity&) const = default;
};

} // namespace quillo
