#pragma once

#include <QString>
#include <cstdint>

namespace quillo {

// Why the encrypted history could not be written. Never shown to the user; the history only
// logs the description.
struct CorrectionHistoryStorageError {
    enum class Kind : std::uint8_t {
        keyGenerationFailed, // the secure random generator failed while making a key
        keychainReadFailed,  // the secure store could not be asked for the existing key
        keychainWriteFailed, // the secure store did not keep the new key
        encryptionFailed,    // sealing produced no combined form
        fileWriteFailed,     // creating the folder or writing the file failed (status: errno)
    };

    Kind kind = Kind::encryptionFailed;
    int status = 0;

    QString description() const;
    bool operator==(const CorrectionHistoryStorageError&) const = default;
};

} // namespace quillo
