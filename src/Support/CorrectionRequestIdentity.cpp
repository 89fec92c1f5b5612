#include "Support/CorrectionRequestIdentity.h"

#include <QUuid>
#include <openssl/rand.h>

namespace quillo {

namespace {
CorrectionRequestIdentity::RandomSource& randomSourceOverride() {
    static CorrectionRequestIdentity::RandomSource source;
    return source;
}

bool fillSecureRandom(unsigned char* bytes, int count) {
    if (const auto& source = randomSourceOverride()) return source(bytes, count);
    return RAND_bytes(bytes, count) == 1;
}
} // namespace

void CorrectionRequestIdentity::setRandomSourceForTesting(RandomSource source) {
    randomSourceOverride() = std::move(source);
}

QString CorrectionRequestIdentity::urlSafeBase64(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

CorrectionRequestIdentity CorrectionRequestIdentity::make() {
    QByteArray bytes(32, Qt::Uninitialized);
    if (!fillSecureRandom(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(bytes.size()))) {
        throw CorrectionRequestIdentityFailure(CorrectionRequestIdentityError::secureRandomUnavailable);
    }
    CorrectionRequestIdentity identity;
    identity.recoveryKey = urlSafeBase64(bytes);
    identity.correctionId = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
    return identity;
}

} // namespace quillo
