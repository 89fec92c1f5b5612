#pragma once

#include <QString>
#include <cstdint>
#include <exception>
#include <string>

namespace quillo {

// The failures of the payment service. Sentences come from the catalogue; description() is for logs.
class PaymentError : public std::exception {
public:
    enum class Kind : std::uint8_t {
        checkoutRejected, // any answer but 200; status -1 when it was not HTTP
        sessionChanged,
        invalidCheckoutURL,
        browserUnavailable,
        invalidResponse,
        trackingUnavailable,
    };

    static PaymentError checkoutRejected(int status) { return PaymentError(Kind::checkoutRejected, status); }
    static PaymentError sessionChanged() { return PaymentError(Kind::sessionChanged); }
    static PaymentError invalidCheckoutURL() { return PaymentError(Kind::invalidCheckoutURL); }
    static PaymentError browserUnavailable() { return PaymentError(Kind::browserUnavailable); }
    static PaymentError invalidResponse() { return PaymentError(Kind::invalidResponse); }
    static PaymentError trackingUnavailable() { return PaymentError(Kind::trackingUnavailable); }

    Kind kind() const { return kind_; }
    int status() const { return status_; }

    QString description() const;
    const char* what() const noexcept override { return what_.c_str(); }
    bool operator==(const PaymentError& other) const { return kind_ == other.kind_ && status_ == other.status_; }

private:
    explicit PaymentError(Kind kind, int status = 0);
    Kind kind_;
    int status_;
    std::string what_;
};

} // namespace quillo
