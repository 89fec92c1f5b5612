// The correction history as the application finds it on disk: the sealed file, the JSON archive
// inside it, and the list older builds kept in the preferences. Input: a mode byte, then
// 0: the archive, sealed here with the stored key; 1: the file's bytes as they are; 2: the legacy
// list. Loading must give at most 100 entries, and a later append must be readable.
#include "ClientFuzzSupport.h"

#include "Platform/Fake/InMemorySecureStore.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/QuilloCorrectionHistory.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <openssl/evp.h>

using namespace quillofuzz;

namespace {

const QString kService = QStringLiteral("com.quillo.fuzz.local-history");
const QByteArray kKey(QuilloCorrectionHistory::keyLength, '\x5a');

// AES-256-GCM, nonce || ciphertext || tag, written independently of the product's own sealing.
QByteArray sealed(const QByteArray& plaintext) {
    QByteArray out(QuilloCorrectionHistory::nonceLength + plaintext.size() + QuilloCorrectionHistory::tagLength, '\0');
    auto* bytes = reinterpret_cast<unsigned char*>(out.data());
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    int length = 0;
    EVP_EncryptInit_ex(context, EVP_aes_256_gcm(), nullptr, reinterpret_cast<const unsigned char*>(kKey.constData()),
                       bytes);
    EVP_EncryptUpdate(context, bytes + QuilloCorrectionHistory::nonceLength, &length,
                      reinterpret_cast<const unsigned char*>(plaintext.constData()), int(plaintext.size()));
    EVP_EncryptFinal_ex(context, bytes + QuilloCorrectionHistory::nonceLength + length, &length);
    EVP_CIPHER_CTX_ctrl(context, EVP_CTRL_GCM_GET_TAG, QuilloCorrectionHistory::tagLength,
                        bytes + QuilloCorrectionHistory::nonceLength + plaintext.size());
    EVP_CIPHER_CTX_free(context);
    return out;
}

QTemporaryDir& folder() {
    static auto* dir = new QTemporaryDir();
    return *dir;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) return 0;
    ensureApplication();
    const QByteArray payload(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    InMemorySecureStore secureStore;
    InMemoryUserDefaults defaults;
    QuilloCorrectionHistory history(secureStore, defaults, folder().path(), kService);
    QFile::remove(history.filePath());

    switch (data[0] % 3) {
    case 0:
    case 1: {
        secureStore.setItem(kService, QuilloCorrectionHistory::keyAccount, kKey);
        QFile file(history.filePath());
        if (!file.open(QIODevice::WriteOnly)) fail("cannot write the history file");
        file.write(data[0] % 3 == 0 ? sealed(payload) : payload);
        break;
    }
    default: defaults.setData(QuilloCorrectionHistory::legacyKey, payload);
    }

    const auto entries = history.load();
    if (entries.size() > std::size_t(QuilloCorrectionHistory::maximumEntries)) fail("more entries than kept");
    for (const auto& entry : entries)
        if (entry.id.isNull()) fail("an entry without an identifier");

    history.append(QStringLiteral("teh original"), QStringLiteral("the original"), std::nullopt, std::nullopt);
    const auto after = history.load();
    if (after.empty() || after.front().originalText != QStringLiteral("teh original"))
        fail("an appended correction cannot be read back");
    return 0;
}
