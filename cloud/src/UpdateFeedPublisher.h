#pragma once
// The signed update feed a self-hosted quillo-cloud serves for testing the app's updater:
// one release and its package, described in JSON and signed with an Ed25519 key. Written
// apart from the app's own feed reader, so that each side checks the other.
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace quillo::cloud {

struct UpdateRelease {
    std::string version;  // "1.4.0"
    std::string buildNumber = "1";
    std::string displayVersion;  // empty: the version
    std::string releaseNotes;
    std::string minimumSystemVersion;
    bool critical = false;
};

class UpdateFeedPublisher {
public:
    // `privateKeyPem`: a PKCS#8 Ed25519 key. `packagePath` empty: a small generated text package.
    // Throws std::runtime_error when the key or the package cannot be read.
    UpdateFeedPublisher(UpdateRelease release, const std::string &privateKeyPem, const std::string &packagePath);
    ~UpdateFeedPublisher();

    // {"feed": base64(JSON), "signature": base64(Ed25519(JSON))}, with package links under
    // `baseUrl` + "/updates/". `tamperFeed` alters the signed bytes after signing.
    std::string document(const std::string &baseUrl) const;
    // The package's file name (served at /updates/<name>) and bytes; `tamperPackage` serves
    // other bytes than the feed describes.
    std::string packageName() const;
    std::string packageBytes() const;

    // Test controls.
    void setRelease(const UpdateRelease &release);
    UpdateRelease release() const;
    void setTampering(bool feed, bool package);

    // Standard base64 with padding.
    static std::string base64(const std::string &bytes);

private:
    struct Key;
    std::unique_ptr<Key> key_;
    mutable std::mutex mutex_;
    UpdateRelease release_;
    std::string fixedPackage_;  // from --update-package
    std::string fixedPackageName_;
    bool tamperFeed_ = false, tamperPackage_ = false;

    std::string packageNameLocked() const;
    std::string packageBytesLocked() const;
    std::string sign(const std::string &message) const;
};

}  // namespace quillo::cloud
