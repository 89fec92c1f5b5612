#include "Platform/SecureStore.h"

namespace quillo {

QString secureStoreStatusName(SecureStoreStatus status) {
    switch (status) {
    case SecureStoreStatus::success: return QStringLiteral("success");
    case SecureStoreStatus::itemNotFound: return QStringLiteral("itemNotFound");
    case SecureStoreStatus::unavailable: return QStringLiteral("unavailable");
    case SecureStoreStatus::denied: return QStringLiteral("denied");
    case SecureStoreStatus::failed: return QStringLiteral("failed");
    }
    return QStringLiteral("failed");
}

} // namespace quillo
