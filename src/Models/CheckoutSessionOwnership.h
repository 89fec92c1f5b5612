#pragma once

#include <QString>
#include <QUuid>
#include <optional>

namespace quillo {

// Ties the running checkout to one signed-in session. Everything is absent while no checkout runs.
struct CheckoutSessionOwnership {
    std::optional<QString> authorization;
    std::optional<QString> userID;
    std::optional<QString> sessionID;
    std::optional<QUuid> generation;

    // Stores the three values and a fresh generation, which it returns.
    QUuid begin(const QString& authorization, const QString& userID, const QString& sessionID);
    // A user and a session are stored and equal the given ones.
    bool belongsToSession(const std::optional<QString>& userID, const std::optional<QString>& sessionID) const;
    // Generation, user and session all equal the given ones (absent equals absent).
    bool belongsToCurrentSession(const std::optional<QUuid>& generation, const std::optional<QString>& userID,
                                 const std::optional<QString>& sessionID) const;
    void clear() { *this = {}; }

    bool operator==(const CheckoutSessionOwnership&) const = default;
};

} // namespace quillo
