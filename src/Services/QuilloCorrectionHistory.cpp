#include "Services/QuilloCorrectionHistory.h"
#include "Support/PosixFileIO.h"

#include "Platform/SecureStore.h"
#include "Platform/UserDefaults.h"
#include "Services/CorrectionHistoryStorageError.h"
#include "Services/QuilloCorrectionHistoryNotifier.h"
#include "Support/Clock.h"
#include "Support/Logging.h"
#include "Support/QuilloAppEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace quillo {

namespace {

constexpr int archiveVersion = 1;
// Dates are seconds since 1 January 2001 UTC, as earlier builds stored them.
constexpr qint64 referenceDateMSecsSinceEpoch = 978'307'200'000;

// A failure while reading; only its description is logged.
struct ReadFailure {
    QString description;
};

template <typename T> struct Outcome {
    std::optional<T> value;
    ReadFailure failure;
    static Outcome fail(QString description) { return {std::nullopt, {std::move(description)}}; }
};

QString uuidText(const QUuid& id) { return id.toString(QUuid::WithoutBraces).toUpper(); }

double referenceSeconds(const QDateTime& date) {
    return double(date.toMSecsSinceEpoch() - referenceDateMSecsSinceEpoch) / 1000.0;
}

// Further from the reference date than this is no date a build wrote (about 30 million years);
// its milliseconds would overflow.
constexpr double maximumReferenceSeconds = 1e15;

std::optional<QDateTime> dateFromReferenceSeconds(double seconds) {
    if (!(std::abs(seconds) <= maximumReferenceSeconds)) return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(seconds * 1000.0)) + referenceDateMSecsSinceEpoch,
                                          Qt::UTC);
}

QJsonObject encodeEntry(const QuilloCorrectionHistoryEntry& entry) {
    QJsonObject object{{"id", uuidText(entry.id)},
                       {"date", referenceSeconds(entry.date)},
                       {"originalText", entry.originalText},
                       {"correctedText", entry.correctedText}};
    if (entry.cloudModels) {
        QJsonArray models;
        for (auto model : *entry.cloudModels) models.append(CloudCorrectionModels::rawValue(model));
        object.insert("cloudModels", models);
    }
    if (entry.writingMode) object.insert("writingMode", CorrectionWritingModes::rawValue(*entry.writingMode));
    return object;
}

// The members every entry has, legacy ones included. Any missing or mistyped member makes
// the whole list unreadable, as a partly read history would silently lose entries.
Outcome<QuilloCorrectionHistoryEntry> decodeCommon(const QJsonValue& value, int index) {
    const auto at = QStringLiteral(" at entry %1").arg(index);
    if (!value.isObject()) return Outcome<QuilloCorrectionHistoryEntry>::fail("typeMismatch(entry)" + at);
    const QJsonObject object = value.toObject();
    QuilloCorrectionHistoryEntry entry;
    const QJsonValue id = object.value("id"), date = object.value("date");
    const QJsonValue original = object.value("originalText"), corrected = object.value("correctedText");
    if (!id.isString() || !date.isDouble() || !original.isString() || !corrected.isString())
        return Outcome<QuilloCorrectionHistoryEntry>::fail("keyNotFound or typeMismatch" + at);
    entry.id = QUuid::fromString(id.toString());
    if (entry.id.isNull()) return Outcome<QuilloCorrectionHistoryEntry>::fail("dataCorrupted(id)" + at);
    const auto when = dateFromReferenceSeconds(date.toDouble());
    if (!when) return Outcome<QuilloCorrectionHistoryEntry>::fail("dataCorrupted(date)" + at);
    entry.date = *when;
    entry.originalText = original.toString();
    entry.correctedText = corrected.toString();
    return {entry, {}};
}

Outcome<QuilloCorrectionHistoryEntry> decodeEntry(const QJsonValue& value, int index) {
    auto outcome = decodeCommon(value, index);
    if (!outcome.value) return outcome;
    const auto at = QStringLiteral(" at entry %1").arg(index);
    const QJsonObject object = value.toObject();
    if (const QJsonValue models = object.value("cloudModels"); !models.isUndefined() && !models.isNull()) {
        if (!models.isArray()) return Outcome<QuilloCorrectionHistoryEntry>::fail("typeMismatch(cloudModels)" + at);
        std::vector<CloudCorrectionModel> list;
        for (const QJsonValue raw : models.toArray()) {
            const auto model = CloudCorrectionModels::fromRawValue(raw.toString());
            if (!raw.isString() || !model)
                return Outcome<QuilloCorrectionHistoryEntry>::fail("dataCorrupted(cloudModels)" + at);
            list.push_back(*model);
        }
        outcome.value->cloudModels = std::move(list);
    }
    if (const QJsonValue mode = object.value("writingMode"); !mode.isUndefined() && !mode.isNull()) {
        const auto parsed = CorrectionWritingModes::fromRawValue(mode.toString());
        if (!mode.isString() || !parsed)
            return Outcome<QuilloCorrectionHistoryEntry>::fail("dataCorrupted(writingMode)" + at);
        outcome.value->writingMode = *parsed;
    }
    return outcome;
}

Outcome<QJsonDocument> parseJson(const QByteArray& data) {
    QJsonParseError error{};
    QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError)
        return Outcome<QJsonDocument>::fail("dataCorrupted(invalid JSON: " + error.errorString() + ")");
    return {document, {}};
}

struct Archive {
    int version = 0;
    std::vector<QuilloCorrectionHistoryEntry> entries;
};

Outcome<Archive> decodeArchive(const QByteArray& json) {
    const auto document = parseJson(json);
    if (!document.value) return Outcome<Archive>::fail(document.failure.description);
    if (!document.value->isObject()) return Outcome<Archive>::fail("typeMismatch(archive)");
    const QJsonObject object = document.value->object();
    const QJsonValue version = object.value("version"), entries = object.value("entries");
    if (!version.isDouble() || !entries.isArray())
        return Outcome<Archive>::fail("keyNotFound or typeMismatch(archive)");
    Archive archive;
    archive.version = version.toInt();
    const QJsonArray list = entries.toArray();
    archive.entries.reserve(std::size_t(list.size()));
    for (qsizetype i = 0; i < list.size(); ++i) {
        auto entry = decodeEntry(list.at(i), int(i));
        if (!entry.value) return Outcome<Archive>::fail(entry.failure.description);
        archive.entries.push_back(std::move(*entry.value));
    }
    return {std::move(archive), {}};
}

QByteArray encodeArchive(const std::vector<QuilloCorrectionHistoryEntry>& entries) {
    QJsonArray list;
    for (const auto& entry : entries) list.append(encodeEntry(entry));
    return QJsonDocument(QJsonObject{{"version", archiveVersion}, {"entries", list}}).toJson(QJsonDocument::Compact);
}

// --- AES-256-GCM, combined form: nonce || ciphertext || tag ---

struct CipherContextDeleter {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};
using CipherContext = std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter>;

std::optional<QByteArray> seal(const QByteArray& key, const QByteArray& plaintext) {
    if (key.size() != QuilloCorrectionHistory::keyLength) return std::nullopt;
    QByteArray combined(QuilloCorrectionHistory::nonceLength + plaintext.size() + QuilloCorrectionHistory::tagLength,
                        Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(combined.data());
    // A fresh nonce for every write; reusing one under the same key would expose the texts.
    if (RAND_bytes(out, QuilloCorrectionHistory::nonceLength) != 1) return std::nullopt;
    CipherContext context(EVP_CIPHER_CTX_new());
    int length = 0;
    if (!context || EVP_EncryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_IVLEN, QuilloCorrectionHistory::nonceLength, nullptr) !=
            1 ||
        EVP_EncryptInit_ex(context.get(), nullptr, nullptr, reinterpret_cast<const unsigned char*>(key.constData()),
                           out) != 1 ||
        EVP_EncryptUpdate(context.get(), out + QuilloCorrectionHistory::nonceLength, &length,
                          reinterpret_cast<const unsigned char*>(plaintext.constData()), int(plaintext.size())) != 1)
        return std::nullopt;
    int finalLength = 0;
    if (EVP_EncryptFinal_ex(context.get(), out + QuilloCorrectionHistory::nonceLength + length, &finalLength) != 1 ||
        length + finalLength != plaintext.size() ||
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_GET_TAG, QuilloCorrectionHistory::tagLength,
                            out + QuilloCorrectionHistory::nonceLength + plaintext.size()) != 1)
        return std::nullopt;
    return combined;
}

Outcome<QByteArray> open(const QByteArray& key, const QByteArray& combined) {
    if (key.size() != QuilloCorrectionHistory::keyLength) return Outcome<QByteArray>::fail("incorrectKeySize");
    const int overhead = QuilloCorrectionHistory::nonceLength + QuilloCorrectionHistory::tagLength;
    if (combined.size() < overhead) return Outcome<QByteArray>::fail("incorrectParameterSize");
    const auto* in = reinterpret_cast<const unsigned char*>(combined.constData());
    const int cipherLength = int(combined.size()) - overhead;
    QByteArray plaintext(cipherLength, Qt::Uninitialized);
    auto* out = reinterpret_cast<unsigned char*>(plaintext.data());
    CipherContext context(EVP_CIPHER_CTX_new());
    int length = 0;
    if (!context || EVP_DecryptInit_ex(context.get(), EVP_aes_256_gcm(), nullptr, nullptr, nullptr) != 1 ||
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_IVLEN, QuilloCorrectionHistory::nonceLength, nullptr) !=
            1 ||
        EVP_DecryptInit_ex(context.get(), nullptr, nullptr, reinterpret_cast<const unsigned char*>(key.constData()),
                           in) != 1 ||
        EVP_DecryptUpdate(context.get(), out, &length, in + QuilloCorrectionHistory::nonceLength, cipherLength) != 1 ||
        EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_GCM_SET_TAG, QuilloCorrectionHistory::tagLength,
                            const_cast<unsigned char*>(in + QuilloCorrectionHistory::nonceLength + cipherLength)) != 1)
        return Outcome<QByteArray>::fail("cryptoFailure");
    int finalLength = 0;
    // The tag is checked here; nothing of the plaintext is used unless it matches.
    if (EVP_DecryptFinal_ex(context.get(), out + length, &finalLength) != 1) {
        ERR_clear_error();
        return Outcome<QByteArray>::fail("authenticationFailure");
    }
    return {plaintext, {}};
}

// --- files ---

using PosixFileIO::writeAll;

// Creates the folder and any missing parents, owner only. 0 or errno.
int ensurePrivateDirectory(const QString& directory) {
    const QByteArray path = QFile::encodeName(QDir::cleanPath(QDir(directory).absolutePath()));
    QByteArray partial;
    const QList<QByteArray> parts = path.split('/');
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) partial += '/';
        partial += parts.at(i);
        if (parts.at(i).isEmpty()) continue;
        if (::mkdir(partial.constData(), 0700) != 0 && errno != EEXIST) return errno;
    }
    struct stat info {};
    if (::stat(path.constData(), &info) != 0) return errno;
    if (!S_ISDIR(info.st_mode)) return ENOTDIR;
    if (::chmod(path.constData(), 0700) != 0) return errno;
    return 0;
}

// Temporary file in the same folder, written, flushed to disk and renamed over the target,
// so a crash leaves either the old file or the new one. 0 or errno.
int writeAtomically(const QString& path, const QByteArray& data) {
    const QFileInfo info(path);
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    QByteArray temporary = folder + "/." + QFile::encodeName(info.fileName()) + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) return errno;
    auto abandon = [&](int error) {
        ::close(fd);
        ::unlink(temporary.constData());
        return error;
    };
    if (::fchmod(fd, 0600) != 0) return abandon(errno);
    if (!writeAll(fd, data.constData(), data.size())) return abandon(errno);
    if (::fsync(fd) != 0) return abandon(errno);
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return error;
    }
    if (::rename(temporary.constData(), target.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return error;
    }
    // Make the rename itself durable.
    if (const int dirFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return 0;
}

Outcome<QByteArray> readWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return Outcome<QByteArray>::fail("fileReadFailed(" + file.errorString() + ")");
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return Outcome<QByteArray>::fail("fileReadFailed(" + file.errorString() + ")");
    return {data, {}};
}

} // namespace

QuilloCorrectionHistory::QuilloCorrectionHistory(SecureStore& secureStore, UserDefaults& defaults,
                                                 const QuilloInfoDictionary& info)
    : QuilloCorrectionHistory(secureStore, defaults, QuilloAppEnvironment::applicationDataFolder(info),
                              keyService(info)) {}

QuilloCorrectionHistory::QuilloCorrectionHistory(SecureStore& secureStore, UserDefaults& defaults, QString directory,
                                                 QString keyService)
    : secureStore_(secureStore), defaults_(defaults), directory_(std::move(directory)),
      keyService_(std::move(keyService)) {}

QString QuilloCorrectionHistory::keyService(const QuilloInfoDictionary& info) {
    return QuilloAppEnvironment::current(info).bundleIdentifier + QStringLiteral(".local-history");
}

QString QuilloCorrectionHistory::filePath() const { return QDir(directory_).filePath(fileName); }

bool QuilloCorrectionHistory::isEnabled() const { return defaults_.boolean(enabledKey, true); }

void QuilloCorrectionHistory::setEnabled(bool enabled) {
    defaults_.setBoolean(enabledKey, enabled);
    if (!enabled) wipe();
    QuilloCorrectionHistoryNotifier::shared().post();
}

void QuilloCorrectionHistory::clear() {
    wipe();
    QuilloCorrectionHistoryNotifier::shared().post();
}

void QuilloCorrectionHistory::wipe() {
    defaults_.remove(legacyKey);
    deleteEncryptedFile();
    secureStore_.remove(keyService_, keyAccount);
}

void QuilloCorrectionHistory::deleteEncryptedFile() {
    const QByteArray path = QFile::encodeName(filePath());
    if (::unlink(path.constData()) != 0 && errno != ENOENT) {
        qCCritical(lcCorrectionHistory, "Unable to delete encrypted correction history: %s", std::strerror(errno));
    }
}

std::vector<QuilloCorrectionHistoryEntry> QuilloCorrectionHistory::load() {
    if (!isEnabled()) {
        wipe();
        return {};
    }
    if (!QFileInfo::exists(filePath())) return migrateLegacyHistory();

    const auto sealed = readWholeFile(filePath());
    if (!sealed.value) {
        qCCritical(lcCorrectionHistory, "Unable to decrypt local correction history: %s",
                   qPrintable(sealed.failure.description));
        return {};
    }
    const SecureStoreReadResult key = secureStore_.read(keyService_, keyAccount);
    if (!key.ok()) {
        qCCritical(lcCorrectionHistory,
                   "Unable to load encrypted correction history because its Keychain key is unavailable");
        return {};
    }
    const auto json = open(key.data, *sealed.value);
    auto archive = json.value ? decodeArchive(*json.value) : Outcome<Archive>::fail(json.failure.description);
    if (!archive.value) {
        qCCritical(lcCorrectionHistory, "Unable to decrypt local correction history: %s",
                   qPrintable(archive.failure.description));
        return {};
    }
    if (archive.value->version != archiveVersion) {
        qCCritical(lcCorrectionHistory, "Unsupported encrypted correction history version");
        return {};
    }
    auto& entries = archive.value->entries;
    if (entries.size() > std::size_t(maximumEntries)) entries.resize(maximumEntries);
    return std::move(entries);
}

std::vector<QuilloCorrectionHistoryEntry> QuilloCorrectionHistory::migrateLegacyHistory() {
    const auto legacy = defaults_.data(legacyKey);
    if (!legacy) return {};
    auto fail = [](const QString& description) {
        qCCritical(lcCorrectionHistory, "Unable to migrate legacy correction history: %s", qPrintable(description));
        return std::vector<QuilloCorrectionHistoryEntry>{};
    };
    const auto document = parseJson(*legacy);
    if (!document.value) return fail(document.failure.description);
    if (!document.value->isArray()) return fail("typeMismatch(legacy list)");
    const QJsonArray list = document.value->array();
    std::vector<QuilloCorrectionHistoryEntry> entries;
    entries.reserve(std::size_t(list.size()));
    for (qsizetype i = 0; i < list.size(); ++i) {
        auto entry = decodeCommon(list.at(i), int(i)); // legacy entries had no models or mode
        if (!entry.value) return fail(entry.failure.description);
        entries.push_back(std::move(*entry.value));
    }
    if (entries.empty()) {
        defaults_.remove(legacyKey);
        return {};
    }
    // The legacy list stays until the encrypted copy is safely written.
    if (!persist(entries)) return {};
    defaults_.remove(legacyKey);
    qCInfo(lcCorrectionHistory, "Migrated local correction history to encrypted storage");
    if (entries.size() > std::size_t(maximumEntries)) entries.resize(maximumEntries);
    return entries;
}

void QuilloCorrectionHistory::append(const QString& originalText, const QString& correctedText,
                                     const std::optional<std::vector<CloudCorrectionModel>>& cloudModels,
                                     std::optional<CorrectionWritingMode> writingMode) {
    if (!isEnabled()) return;
    QuilloCorrectionHistoryEntry entry;
    entry.id = QUuid::createUuid();
    entry.date = Clock::shared().now();
    entry.originalText = originalText;
    entry.correctedText = correctedText;
    if (cloudModels && !cloudModels->empty()) entry.cloudModels = cloudModels;
    entry.writingMode = writingMode;

    std::vector<QuilloCorrectionHistoryEntry> entries = load();
    entries.insert(entries.begin(), std::move(entry));
    if (entries.size() > std::size_t(maximumEntries)) entries.resize(maximumEntries);
    if (persist(std::move(entries))) QuilloCorrectionHistoryNotifier::shared().post();
}

bool QuilloCorrectionHistory::persist(std::vector<QuilloCorrectionHistoryEntry> entries) {
    if (entries.empty()) {
        deleteEncryptedFile();
        return true;
    }
    if (entries.size() > std::size_t(maximumEntries)) entries.resize(maximumEntries);
    const QByteArray json = encodeArchive(entries);

    auto fail = [](const CorrectionHistoryStorageError& error) {
        qCCritical(lcCorrectionHistory, "Unable to save encrypted correction history: %s",
                   qPrintable(error.description()));
        return false;
    };
    using Kind = CorrectionHistoryStorageError::Kind;

    // The key: the stored one when it is usable; a new one only when the store answered that
    // there is none (or holds a malformed one). A store that cannot be asked may still hold the
    // real key, and replacing it would make the existing history unreadable for good.
    const SecureStoreReadResult stored = secureStore_.read(keyService_, keyAccount);
    QByteArray key;
    if (stored.ok() && stored.data.size() == keyLength) {
        key = stored.data;
    } else if (stored.ok() || stored.status == SecureStoreStatus::itemNotFound) {
        secureStore_.remove(keyService_, keyAccount);
        key = QByteArray(keyLength, Qt::Uninitialized);
        if (RAND_priv_bytes(reinterpret_cast<unsigned char*>(key.data()), keyLength) != 1)
            return fail({Kind::keyGenerationFailed, int(ERR_get_error())});
        if (const SecureStoreStatus written = secureStore_.write(keyService_, keyAccount, key);
            written != SecureStoreStatus::success)
            return fail({Kind::keychainWriteFailed, int(written)});
    } else {
        return fail({Kind::keychainReadFailed, int(stored.status)});
    }

    const auto sealed = seal(key, json);
    if (!sealed) return fail({Kind::encryptionFailed, 0});
    if (const int error = ensurePrivateDirectory(directory_)) return fail({Kind::fileWriteFailed, error});
    if (const int error = writeAtomically(filePath(), *sealed)) return fail({Kind::fileWriteFailed, error});
    if (::chmod(QFile::encodeName(filePath()).constData(), 0600) != 0) return fail({Kind::fileWriteFailed, errno});
    return true;
}

} // namespace quillo
