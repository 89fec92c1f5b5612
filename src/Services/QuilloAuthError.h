#pragma once

#include <QString>
#include <exception>
#include <optional>
#include <string>

namespace quillo {

// The refusals of the account endpoint's request layer: any answer but HTTP 200 (status -1
// when the answer was not HTTP), no endpoint address, or a 200 answer lacking what the
// operation needs.
class QuilloAuthError : public std::exception {
public:
    enum class Kind { http, invalidEndpoint, incompleteResponse };

    static QuilloAuthError http(int status, std::optional<QString> code) {
        QuilloAuthError e(Kind::http);
        e.status_ = status;
        e.code_ = std::move(code);
        return e;
    }
    static QuilloAuthError invalidEndpoint() { return QuilloAuthError(Kind::invalidEndpoint); }
    static QuilloAuthError incompleteResponse() { return QuilloAuthError(Kind::incompleteResponse); }

    Kind kind() const noexcept { return kind_; }
    int status() const noexcept { return status_; }
    const std::optional<QString>& code() const noexcept { return code_; }

    bool isHTTP(int status, const QString& code) const {
        return kind_ == Kind::http && status_ == status && code_ == code;
    }

    const char* what() const noexcept override {
        switch (kind_) {
        case Kind::http:
            what_ =
                "account endpoint answered HTTP " + std::to_string(status_) + (code_ ? " " + code_->toStdString() : "");
            return what_.c_str();
        case Kind::invalidEndpoint: return "no account endpoint address";
        case Kind::incompleteResponse: return "incomplete account answer";
        }
        return "account request failed";
    }

private:
    explicit QuilloAuthError(Kind kind) : kind_(kind) {}
    Kind kind_;
    int status_ = 0;
    std::optional<QString> code_;
    mutable std::string what_;
};

} // namespace quillo
