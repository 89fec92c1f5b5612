// Cost of trusting an update: verifying and reading a signed feed, and hashing a package
// the size of a real release against the feed's digest.
#include "Support/UpdateFeed.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <benchmark/benchmark.h>

#include <openssl/evp.h>

using namespace quillo;

namespace {

struct SignedFeed {
    QByteArray document;
    QByteArray publicKey;
};

SignedFeed makeFeed(int items) {
    EVP_PKEY_CTX* context = EVP_PKEY_CTX_new_id(EVP_PKEY_ED25519, nullptr);
    EVP_PKEY* key = nullptr;
    EVP_PKEY_keygen_init(context);
    EVP_PKEY_keygen(context, &key);
    EVP_PKEY_CTX_free(context);

    QJsonArray list;
    for (int i = 0; i < items; ++i) {
        const QString version = QStringLiteral("1.%1.0").arg(i);
        list.append(QJsonObject{
            {QStringLiteral("version"), version},
            {QStringLiteral("buildNumber"), QString::number(100 + i)},
            {QStringLiteral("releaseNotes"), QString(600, QLatin1Char('n'))},
            {QStringLiteral("package"),
             QJsonObject{{QStringLiteral("url"), QStringLiteral("https://updates.example/quillo-%1.deb").arg(version)},
                         {QStringLiteral("size"), 25000000},
                         {QStringLiteral("sha256"), QString(64, QLatin1Char('a'))}}}});
    }
    const QByteArray feed = QJsonDocument(QJsonObject{{QStringLiteral("items"), list}}).toJson(QJsonDocument::Compact);
    QByteArray signature(64, '\0');
    size_t length = 64;
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    EVP_DigestSignInit(md, nullptr, nullptr, nullptr, key);
    EVP_DigestSign(md, reinterpret_cast<unsigned char*>(signature.data()), &length,
                   reinterpret_cast<const unsigned char*>(feed.constData()), static_cast<size_t>(feed.size()));
    EVP_MD_CTX_free(md);
    QByteArray publicKey(32, '\0');
    length = 32;
    EVP_PKEY_get_raw_public_key(key, reinterpret_cast<unsigned char*>(publicKey.data()), &length);
    EVP_PKEY_free(key);
    return {QJsonDocument(QJsonObject{{QStringLiteral("feed"), QString::fromLatin1(feed.toBase64())},
                                      {QStringLiteral("signature"), QString::fromLatin1(signature.toBase64())}})
                .toJson(QJsonDocument::Compact),
            publicKey};
}

void BM_VerifyAndReadFeed(benchmark::State& state) {
    const SignedFeed signedFeed = makeFeed(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        UpdateFeed feed = UpdateFeed::fromSignedDocument(signedFeed.document, signedFeed.publicKey);
        benchmark::DoNotOptimize(feed);
    }
    state.SetBytesProcessed(state.iterations() * signedFeed.document.size());
}
BENCHMARK(BM_VerifyAndReadFeed)->Arg(1)->Arg(50)->Unit(benchmark::kMicrosecond);

void BM_PackageDigest(benchmark::State& state) {
    const QByteArray package(static_cast<qsizetype>(state.range(0)), 'q');
    for (auto _ : state) benchmark::DoNotOptimize(QCryptographicHash::hash(package, QCryptographicHash::Sha256));
    state.SetBytesProcessed(state.iterations() * package.size());
}
BENCHMARK(BM_PackageDigest)->Arg(25 * 1000 * 1000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
