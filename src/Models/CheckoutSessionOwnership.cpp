#include "Models/CheckoutSessionOwnership.h"

namespace quillo {

QUuid CheckoutSessionOwnership::begin(const QString& authorization, const QString& userID, const QString& sessionID) {
    const QUuid fresh = QUuid::createUuid();
    this->authorization = authorization;
    this->userID = userID;
    this->sessionID = sessionID;
    generation = fresh;
    return fresh;
}

bool CheckoutSessionOwnership::belongsToSession(const std::optional<QString>& userID,
                                                const std::optional<QString>& sessionID) const {
    return this->userID && this->sessionID && this->userID == userID && this->sessionID == sessionID;
}

bool CheckoutSessionOwnership::belongsToCurrentSession(const std::optional<QUuid>& generation,
                                                       const std::optional<QString>& userID,
                                                       const std::optional<QString>& sessionID) const {
    return this->generation == generation && this->userID == userID && this->sessionID == sessionID;
}

} // namespace quillo
