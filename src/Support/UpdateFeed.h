#pragma once

#include "Support/UpdateVersion.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

namespace quillo {

// The file an update item installs from, as the signed feed describes it: the download is
// trusted only when its size and SHA-256 match.
struct UpdatePackage {
    QUrl url;          // https
    qint64 size = 0;   // bytes, > 0
    QByteArray sha256; // 32 raw bytes

    bool operator==(const UpdatePackage&) const = default;
};

// One release in the feed.
struct UpdateFeedItem {
    QString version;                             // ordering version, see UpdateVersion
    QString buildNumber;                         // decimal digits
    QString displayVersion;                      // what the user is shown; the version when the feed has none
    std::optional<QString> minimumSystemVersion; // lowest kernel release it runs on
    bool critical = false;
    QString releaseNotes;        // plain text
    std::optional<QUrl> infoUrl; // https page about the release
    UpdatePackage package;

    UpdateVersion parsedVersion() const;
    bool operator==(const UpdateFeedItem&) const = default;
};

// The update feed: a JSON document of our own, signed with Ed25519.
//
//   {"feed": "<base64 of the feed's UTF-8 JSON bytes>", "signature": "<base64 of the signature of those bytes>"}
//
// and the signed bytes:
//
//   {"items": [{"version": "1.4.0", "buildNumber": "140", "displayVersion": "1.4",
//               "minimumSystemVersion": "5.10", "critical": false, "releaseNotes": "...",
//               "infoUrl": "https://...",
//               "package": {"url": "https://.../quillo-1.4.0.deb", "size": 123, "sha256": "<hex>"}}]}
//
// Only "version", "buildNumber" and "package" are required in an item. The signed bytes are
// read only after their signature checks out, and one bad item refuses the whole feed.
struct UpdateFeed {
    QList<UpdateFeedItem> items;

    static constexpr qsizetype maximumDocumentSize = qsizetype{1024} * 1024;

    // Throws UpdateError: feedMalformed, signatureMissing, signatureInvalid, publicKeyInvalid,
    // insecurePackageURL.
    static UpdateFeed fromSignedDocument(const QByteArray& document, const QByteArray& publicKey);
    // The signed bytes alone, already verified. Throws UpdateError.
    static UpdateFeed fromFeedJson(const QByteArray& json);

    bool operator==(const UpdateFeed&) const = default;
};

} // namespace quillo
