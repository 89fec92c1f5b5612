#include "UpdateFeedPublisher.h"

#include "Crypto.h"

#include <nlohmann/json.hpp>
#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace quillo::cloud {

using json = nlohmann::json;

struct UpdateFeedPublisher::Key {
    EVP_PKEY *pkey = nullptr;
    ~Key() { EVP_PKEY_free(pkey); }
};

namespace {

std::string readFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

}  // namespace

UpdateFeedPublisher::UpdateFeedPublisher(UpdateRelease release, const std::string &privateKeyPem,
                                         const std::string &packagePath)
    : key_(std::make_unique<Key>()), release_(std::move(release))
{
    BIO *bio = BIO_new_mem_buf(privateKeyPem.data(), static_cast<int>(privateKeyPem.size()));
    if (bio) key_->pkey = PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    if (!key_->pkey || EVP_PKEY_get_base_id(key_->pkey) != EVP_PKEY_ED25519)
        throw std::runtime_error("the update key is not an Ed25519 private key");
    if (!packagePath.empty()) {
        fixedPackage_ = readFile(packagePath);
        fixedPackageName_ = std::filesystem::path(packagePath).filename().string();
    }
}

UpdateFeedPublisher::~UpdateFeedPublisher() = default;

std::string UpdateFeedPublisher::base64(const std::string &bytes)
{
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char *>(out.data()),
                            reinterpret_cast<const unsigned char *>(bytes.data()), static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(n));
    return out;
}

std::string UpdateFeedPublisher::sign(const std::string &message) const
{
    EVP_MD_CTX *ctx = EVP_MD_CTX_new();
    std::string signature(64, '\0');
    size_t length = signature.size();
    bool ok = ctx && EVP_DigestSignInit(ctx, nullptr, nullptr, nullptr, key_->pkey) == 1 &&
              EVP_DigestSign(ctx, reinterpret_cast<unsigned char *>(signature.data()), &length,
                             reinterpret_cast<const unsigned char *>(message.data()), message.size()) == 1;
    EVP_MD_CTX_free(ctx);
    if (!ok || length != 64) throw std::runtime_error("signing the update feed failed");
    return signature;
}

std::string UpdateFeedPublisher::packageNameLocked() const
{
    if (!fixedPackageName_.empty()) return fixedPackageName_;
    std::string safe;
    for (char c : release_.version)
        safe += std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' ? c : '_';
    return "quillo-" + safe + "-test-update.txt";
}

std::string UpdateFeedPublisher::packageBytesLocked() const
{
    if (!fixedPackage_.empty()) return fixedPackage_;
    return "Quillo " + release_.version + " (build " + release_.buildNumber +
           ")\n\nThis is a test update package served by quillo-cloud. It installs nothing.\n";
}

std::string UpdateFeedPublisher::document(const std::string &baseUrl) const
{
    std::lock_guard lock(mutex_);
    const std::string package = packageBytesLocked();
    json item = {{"version", release_.version},
                 {"buildNumber", release_.buildNumber},
                 {"displayVersion", release_.displayVersion.empty() ? release_.version : release_.displayVersion},
                 {"critical", release_.critical},
                 {"releaseNotes", release_.releaseNotes},
                 {"package",
                  {{"url", baseUrl + "/updates/" + packageNameLocked()},
                   {"size", package.size()},
                   {"sha256", crypto::sha256Hex(package)}}}};
    if (!release_.minimumSystemVersion.empty()) item["minimumSystemVersion"] = release_.minimumSystemVersion;
    std::string feed = json{{"items", json::array({item})}}.dump();
    std::string signature = sign(feed);
    // After signing: the bytes no longer match their signature.
    if (tamperFeed_) feed.replace(feed.find(release_.version), release_.version.size(), "99.0.0");
    return json{{"feed", base64(feed)}, {"signature", base64(signature)}}.dump();
}

std::string UpdateFeedPublisher::packageName() const
{
    std::lock_guard lock(mutex_);
    return packageNameLocked();
}

std::string UpdateFeedPublisher::packageBytes() const
{
    std::lock_guard lock(mutex_);
    std::string bytes = packageBytesLocked();
    if (tamperPackage_ && !bytes.empty()) bytes[0] = static_cast<char>(bytes[0] ^ 0x20);
    return bytes;
}

void UpdateFeedPublisher::setRelease(const UpdateRelease &release)
{
    std::lock_guard lock(mutex_);
    release_ = release;
}

UpdateRelease UpdateFeedPublisher::release() const
{
    std::lock_guard lock(mutex_);
    return release_;
}

void UpdateFeedPublisher::setTampering(bool feed, bool package)
{
    std::lock_guard lock(mutex_);
    tamperFeed_ = feed;
    tamperPackage_ = package;
}

}  // namespace quillo::cloud
