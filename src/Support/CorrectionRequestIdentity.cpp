#include "Support/CorrectionRequestIdentity.h"

#include <QUuid>
#include <openssl/rand.h>

namespace quillo {

QString CorrectionRequestIdentity::urlSafeBase64(const QByteArray& bytes) {
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

CorrectionRequestIdentity CorrectionRequestIdentity::make() {
    QByteArray bytes(32, Qt::Uninitialized);
    if (RAND_bytes(reinterpret_cast<unsigned char*>(bytes.data()), static_cast<int>(bytes.size())) != 1) {
        throw CorrectionRequestIdentityFailure(CorrectionRequestIdentityError::secureRandomUnavailable);
    }
    CorrectionRequestIdentity identity;
    identity.recoveryKey = urlSafeBase64(bytes);
    identity.correctionId = QUuid::createUuid().toString(QUuid::WithoutBraces).toLower();
    return identity;
}

} // namespace quillo
