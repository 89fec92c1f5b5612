#pragma once

#include "Platform/SecureStore.h"

namespace quillo {

class Clock;

// The desktop secret service (Secret Service API / KWallet) through QtKeychain. Each call runs
// one keychain job and waits for it in a local event loop, so callers on the main thread get
// the synchronous answer they expect (the session is restored in a constructor at start-up).
// The insecure plain-file fallback of QtKeychain is always off: without a secret service the
// calls answer `unavailable` and nothing is written. A secret service that does not answer
// within `timeoutSeconds` (measured on the clock) also counts as unavailable.
class KeychainSecureStore final : public SecureStore {
public:
    explicit KeychainSecureStore(double timeoutSeconds = 10.0);
    KeychainSecureStore(Clock& clock, double timeoutSeconds);

    SecureStoreReadResult read(const QString& service, const QString& account) override;
    SecureStoreStatus write(const QString& service, const QString& account, const QByteArray& data) override;
    SecureStoreStatus remove(const QString& service, const QString& account) override;

private:
    Clock* clock_;
    double timeoutSeconds_;
};

} // namespace quillo
