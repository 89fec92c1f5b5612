#pragma once
// Signed update feeds for tests: an Ed25519 key pair made with OpenSSL directly (not through
// the code under test), feed items and the signed envelope around them.
#include "Support/UpdateFeed.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <memory>
#include <stdexcept>

#include <openssl/evp.h>

// Counts a signal's emissions (the unit tests run without Qt Test).
class SignalCount {
public:
    template <typename Sender, typename Signal> SignalCount(Sender* sender, Signal signal) {
        connection_ = QObject::connect(sender, signal, [this] { ++count_; });
    }
    ~SignalCount() { QObject::disconnect(connection_); }
    int size() const { return count_; }

private:
    QMetaObject::Connection connection_;
    int count_ = 0;
};

namespace updatetest {

class TestSigningKey {
public:
    TestSigningKey() {
        EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr);
        EVP_PKEY* key = nullptr;
        if (!context || EVP_PKEY_keygen_init(context) != 1 || EVP_PKEY_keygen(context, &key) != 1)
            throw std::runtime_error("no Ed25519 key");
        EVP_PKEY_CTX_free(context);
        key_.reset(key);
    }

    QByteArray publicKey() const {
        QByteArray raw(32, '\0');
        size_t length = 32;
        EVP_PKEY_get_raw_public_key(key_.get(), reinterpret_cast<unsigned char*>(raw.data()), &length);
        return raw;
    }
    QString publicKeyBase64() const { return QString::fromLatin1(publicKey().toBase64()); }

    QByteArray sign(const QByteArray& message) const {
        QByteArray signature(64, '\0');
        size_t length = 64;
        EVP_MD_CTX* context = EVP_MD_CTX_new();
        EVP_DigestSignInit(context, nullptr, nullptr, nullptr, key_.get());
        EVP_DigestSign(context, reinterpret_cast<unsigned char*>(signature.data()), &length,
                       reinterpret_cast<const unsigned char*>(message.constData()),
                       static_cast<size_t>(message.size()));
        EVP_MD_CTX_free(context);
        return signature;
    }

    // {"feed": base64(feed), "signature": base64(sign(feed))}
    QByteArray document(const QByteArray& feed) const {
        return QJsonDocument(QJsonObject{{QStringLiteral("feed"), QString::fromLatin1(feed.toBase64())},
                                         {QStringLiteral("signature"), QString::fromLatin1(sign(feed).toBase64())}})
            .toJson(QJsonDocument::Compact);
    }

private:
    struct Free {
        void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
    };
    std::unique_ptr<EVP_PKEY, Free> key_;
};

inline QByteArray packageBytes(const QString& version) {
    return QStringLiteral("package of Quillo %1\n").arg(version).toUtf8();
}

inline QJsonObject item(const QString& version, const QString& build = QStringLiteral("10"),
                        const QByteArray& package = {}) {
    const QByteArray bytes = package.isEmpty() ? packageBytes(version) : package;
    return QJsonObject{
        {QStringLiteral("version"), version},
        {QStringLiteral("buildNumber"), build},
        {QStringLiteral("displayVersion"), version},
        {QStringLiteral("releaseNotes"), QStringLiteral("Fixes.")},
        {QStringLiteral("package"),
         QJsonObject{{QStringLiteral("url"), QStringLiteral("https://updates.example/quillo-%1.deb").arg(version)},
                     {QStringLiteral("size"), bytes.size()},
                     {QStringLiteral("sha256"),
                      QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex())}}}};
}

inline QByteArray feed(const QJsonArray& items) {
    return QJsonDocument(QJsonObject{{QStringLiteral("items"), items}}).toJson(QJsonDocument::Compact);
}

} // namespace updatetest
