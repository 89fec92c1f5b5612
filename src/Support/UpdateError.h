#pragma once

#include <QString>
#include <cstdint>
#include <exception>
#include <string>

namespace quillo {

// Why an update check, download or hand-over failed. A feed that fails any check is refused
// as a whole: nothing from it is used. description() is for logs; userMessage() is the
// sentence the update dialog shows.
class UpdateError : public std::exception {
public:
    enum class Kind : std::uint8_t {
        insecureFeedURL,      // the configured feed is not an https address
        feedUnavailable,      // no answer, or an HTTP status other than 200 (`status`, -1 when not HTTP)
        feedMalformed,        // not the feed's JSON shape (`detail` says where)
        signatureMissing,     // the document carries no signature
        signatureInvalid,     // the signature is not the configured key's over these bytes
        publicKeyInvalid,     // the configured key is not a base64 Ed25519 public key
        insecurePackageURL,   // an item links a package (or page) that is not https
        packageUnavailable,   // the download got no answer or a status other than 200
        packageMismatch,      // the download's size or SHA-256 differs from the signed feed
        packageStorageFailed, // the verified package could not be kept in the cache folder
        installerUnavailable, // the desktop could not open the package
    };

    static UpdateError insecureFeedURL() { return UpdateError(Kind::insecureFeedURL); }
    static UpdateError feedUnavailable(int status) { return UpdateError(Kind::feedUnavailable, status); }
    static UpdateError feedMalformed(QString detail) { return UpdateError(Kind::feedMalformed, 0, std::move(detail)); }
    static UpdateError signatureMissing() { return UpdateError(Kind::signatureMissing); }
    static UpdateError signatureInvalid() { return UpdateError(Kind::signatureInvalid); }
    static UpdateError publicKeyInvalid() { return UpdateError(Kind::publicKeyInvalid); }
    static UpdateError insecurePackageURL() { return UpdateError(Kind::insecurePackageURL); }
    static UpdateError packageUnavailable(int status) { return UpdateError(Kind::packageUnavailable, status); }
    static UpdateError packageMismatch() { return UpdateError(Kind::packageMismatch); }
    static UpdateError packageStorageFailed() { return UpdateError(Kind::packageStorageFailed); }
    static UpdateError installerUnavailable() { return UpdateError(Kind::installerUnavailable); }

    Kind kind() const { return kind_; }
    int status() const { return status_; }
    const QString& detail() const { return detail_; }

    QString description() const;
    QString userMessage() const;
    const char* what() const noexcept override { return what_.c_str(); }
    bool operator==(const UpdateError& other) const { return kind_ == other.kind_ && status_ == other.status_; }

private:
    explicit UpdateError(Kind kind, int status = 0, QString detail = {});
    Kind kind_;
    int status_;
    QString detail_;
    std::string what_;
};

} // namespace quillo
