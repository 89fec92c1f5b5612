#pragma once

#include <QString>
#include <exception>
#include <optional>
#include <string>

namespace quillo {

// The refusals of the cloud correction call. User-visible sentences come from the catalogue;
// description() is for logs.
class QuilloCloudError : public std::exception {
public:
    enum class Kind {
        temporarilyBusy,
        httpError,
        authenticationRequired,
        insufficientCredits,
        secureRandomUnavailable
    };

    static QuilloCloudError temporarilyBusy(std::optional<int> retryAfterSeconds) {
        QuilloCloudError e(Kind::temporarilyBusy);
        e.retryAfterSeconds_ = retryAfterSeconds;
        return e;
    }
    static QuilloCloudError httpError(int status) {
        QuilloCloudError e(Kind::httpError);
        e.status_ = status;
        return e;
    }
    static QuilloCloudError authenticationRequired() { return QuilloCloudError(Kind::authenticationRequired); }
    static QuilloCloudError insufficientCredits() { return QuilloCloudError(Kind::insufficientCredits); }
    static QuilloCloudError secureRandomUnavailable() { return QuilloCloudError(Kind::secureRandomUnavailable); }

    Kind kind() const { return kind_; }
    std::optional<int> retryAfterSeconds() const { return retryAfterSeconds_; }
    int status() const { return status_; }

    QString description() const {
        switch (kind_) {
        case Kind::temporarilyBusy:
            return retryAfterSeconds_
                       ? QStringLiteral("Cloud capacity is busy. Retry in %1 seconds.").arg(*retryAfterSeconds_)
                       : QStringLiteral("Cloud capacity is briefly busy.");
        case Kind::httpError: return QStringLiteral("Quillo Cloud HTTP error %1").arg(status_);
        case Kind::authenticationRequired: return QStringLiteral("Quillo Cloud authentication required");
        case Kind::insufficientCredits: return QStringLiteral("Not enough credit. Please top up.");
        case Kind::secureRandomUnavailable: return QStringLiteral("Secure correction recovery is unavailable");
        }
        return {};
    }
    const char* what() const noexcept override {
        what_ = description().toStdString();
        return what_.c_str();
    }
    bool operator==(const QuilloCloudError& o) const {
        return kind_ == o.kind_ && status_ == o.status_ && retryAfterSeconds_ == o.retryAfterSeconds_;
    }

private:
    explicit QuilloCloudError(Kind kind) : kind_(kind) {}
    Kind kind_;
    int status_ = 0;
    std::optional<int> retryAfterSeconds_;
    mutable std::string what_;
};

// The request body could not be encoded.
class CloudRequestEncodingError : public std::exception {
public:
    const char* what() const noexcept override { return "the request could not be encoded"; }
};

// A 200 answer whose body could not be read.
class CloudResponseDecodingError : public std::exception {
public:
    explicit CloudResponseDecodingError(std::string detail = "unreadable body") : detail_(std::move(detail)) {}
    const char* what() const noexcept override { return detail_.c_str(); }

private:
    std::string detail_;
};

} // namespace quillo
