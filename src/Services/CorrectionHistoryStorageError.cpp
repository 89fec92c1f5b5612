#include "Services/CorrectionHistoryStorageError.h"

#include "Platform/SecureStore.h"

#include <cstring>

namespace quillo {

QString CorrectionHistoryStorageError::description() const {
    switch (kind) {
    case Kind::keyGenerationFailed: return QStringLiteral("keyGenerationFailed(status: %1)").arg(status);
    case Kind::keychainReadFailed:
        return QStringLiteral("keychainReadFailed(status: %1)").arg(secureStoreStatusName(SecureStoreStatus(status)));
    case Kind::keychainWriteFailed:
        return QStringLiteral("keychainWriteFailed(status: %1)").arg(secureStoreStatusName(SecureStoreStatus(status)));
    case Kind::encryptionFailed: return QStringLiteral("encryptionFailed");
    case Kind::fileWriteFailed:
        return QStringLiteral("fileWriteFailed(%1)").arg(QString::fromLocal8Bit(std::strerror(status)));
    }
    return QStringLiteral("unknown");
}

} // namespace quillo
