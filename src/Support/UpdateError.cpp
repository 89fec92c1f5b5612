#include "Support/UpdateError.h"

namespace quillo {

UpdateError::UpdateError(Kind kind, int status, QString detail)
    : kind_(kind), status_(status), detail_(std::move(detail)), what_(description().toStdString()) {}

QString UpdateError::description() const {
    switch (kind_) {
    case Kind::insecureFeedURL: return QStringLiteral("insecureFeedURL");
    case Kind::feedUnavailable: return QStringLiteral("feedUnavailable(status: %1)").arg(status_);
    case Kind::feedMalformed: return QStringLiteral("feedMalformed(%1)").arg(detail_);
    case Kind::signatureMissing: return QStringLiteral("signatureMissing");
    case Kind::signatureInvalid: return QStringLiteral("signatureInvalid");
    case Kind::publicKeyInvalid: return QStringLiteral("publicKeyInvalid");
    case Kind::insecurePackageURL: return QStringLiteral("insecurePackageURL");
    case Kind::packageUnavailable: return QStringLiteral("packageUnavailable(status: %1)").arg(status_);
    case Kind::packageMismatch: return QStringLiteral("packageMismatch");
    case Kind::packageStorageFailed: return QStringLiteral("packageStorageFailed");
    case Kind::installerUnavailable: return QStringLiteral("installerUnavailable");
    }
    return QStringLiteral("unknown");
}

QString UpdateError::userMessage() const {
    switch (kind_) {
    case Kind::insecureFeedURL:
        return QStringLiteral("This build's update address is not secure (https), so Quillo does not check it.");
    case Kind::feedUnavailable:
        return QStringLiteral("Quillo could not reach the update server. Check your connection and try again later.");
    case Kind::feedMalformed: return QStringLiteral("The update information from the server could not be read.");
    case Kind::signatureMissing:
    case Kind::signatureInvalid:
        return QStringLiteral("The update information is not signed by Quillo's maker, so it was not trusted.");
    case Kind::publicKeyInvalid:
        return QStringLiteral("This build's update signing key is not valid, so no update can be trusted.");
    case Kind::insecurePackageURL:
        return QStringLiteral(
            "The update information links to an address that is not secure (https), so it was not trusted.");
    case Kind::packageUnavailable: return QStringLiteral("The update could not be downloaded. Try again later.");
    case Kind::packageMismatch:
        return QStringLiteral(
            "The downloaded update is not the one the update information promised, so it was discarded.");
    case Kind::packageStorageFailed: return QStringLiteral("The update could not be saved on this computer.");
    case Kind::installerUnavailable: return QStringLiteral("Your desktop could not open the downloaded update.");
    }
    return QStringLiteral("The update failed.");
}

} // namespace quillo
