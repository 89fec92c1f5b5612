#include "Services/PaymentError.h"

namespace quillo {

PaymentError::PaymentError(Kind kind, int status) : kind_(kind), status_(status), what_(description().toStdString()) {}

QString PaymentError::description() const {
    switch (kind_) {
    case Kind::checkoutRejected: return QStringLiteral("checkoutRejected(status: %1)").arg(status_);
    case Kind::sessionChanged: return QStringLiteral("sessionChanged");
    case Kind::invalidCheckoutURL: return QStringLiteral("invalidCheckoutURL");
    case Kind::browserUnavailable: return QStringLiteral("browserUnavailable");
    case Kind::invalidResponse: return QStringLiteral("invalidResponse");
    case Kind::trackingUnavailable: return QStringLiteral("trackingUnavailable");
    }
    return QStringLiteral("unknown");
}

} // namespace quillo
