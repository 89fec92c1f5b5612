#include "Platform/Fake/InMemorySecureStore.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/QuilloCorrectionHistory.h"
#include "Services/QuilloCorrectionHistoryNotifier.h"
#include "Support/VirtualClock.h"

#include "CapturedLog.h"
#include "QtTestPrinters.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <csignal>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace quillo;

namespace {

const QString kService = QStringLiteral("com.quillo.app.test.local-history");
const QString kAccount = QStringLiteral("correction-history-key");

const QString kKeyUnavailable =
    QStringLiteral("Unable to load encrypted correction history because its Keychain key is unavailable");

mode_t modeOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return 0;
    return info.st_mode & 0777;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& data) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(data);
}

// Independent AES-256-GCM of the combined form, to check the file's layout from outside.
QByteArray gcm(bool encrypt, const QByteArray& key, const QByteArray& input) {
    EVP_CIPHER_CTX* context = EVP_CIPHER_CTX_new();
    auto bytes = [](const QByteArray& data) { return reinterpret_cast<const unsigned char*>(data.constData()); };
    QByteArray nonce(12, Qt::Uninitialized), body, tag(16, Qt::Uninitialized);
    if (encrypt) {
        RAND_bytes(reinterpret_cast<unsigned char*>(nonce.data()), 12);
        body = input;
    } else {
        nonce = input.left(12);
        body = input.mid(12, input.size() - 28);
        tag = input.right(16);
    }
    QByteArray out(body.size() + 16, Qt::Uninitialized);
    int length = 0, finalLength = 0;
    bool ok = false;
    if (encrypt) {
        ok = EVP_EncryptInit_ex(context, EVP_aes_256_gcm(), nullptr, bytes(key), bytes(nonce)) == 1 &&
             EVP_EncryptUpdate(context, reinterpret_cast<unsigned char*>(out.data()), &length, bytes(body),
                               int(body.size())) == 1 &&
             EVP_EncryptFinal_ex(context, reinterpret_cast<unsigned char*>(out.data()) + length, &finalLength) == 1 &&
             EVP_CIPHER_CTX_ctrl(context, EVP_CTRL_GCM_GET_TAG, 16, tag.data()) == 1;
    } else {
        ok = EVP_DecryptInit_ex(context, EVP_aes_256_gcm(), nullptr, bytes(key), bytes(nonce)) == 1 &&
             EVP_DecryptUpdate(context, reinterpret_cast<unsigned char*>(out.data()), &length, bytes(body),
                               int(body.size())) == 1 &&
             EVP_CIPHER_CTX_ctrl(context, EVP_CTRL_GCM_SET_TAG, 16, tag.data()) == 1 &&
             EVP_DecryptFinal_ex(context, reinterpret_cast<unsigned char*>(out.data()) + length, &finalLength) == 1;
    }
    EVP_CIPHER_CTX_free(context);
    if (!ok) return {};
    out.truncate(length + finalLength);
    return encrypt ? nonce + out + tag : out;
}

// Counts the history's change notifications while in scope.
class ChangeCounter {
public:
    ChangeCounter() {
        connection_ =
            QObject::connect(&QuilloCorrectionHistoryNotifier::shared(),
                             &QuilloCorrectionHistoryNotifier::quilloCorrectionHistoryDidChange, [this] { ++count_; });
    }
    ~ChangeCounter() { QObject::disconnect(connection_); }
    int count() const { return count_; }

private:
    QMetaObject::Connection connection_;
    int count_ = 0;
};

QJsonObject legacyEntry(const QString& id, double date, const QString& original, const QString& corrected) {
    return {{"id", id}, {"date", date}, {"originalText", original}, {"correctedText", corrected}};
}

class CorrectionHistory : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(folder.isValid()); }

    QString directory() const { return folder.filePath("data/Quillo Test"); }
    QString path() const { return history.filePath(); }
    QByteArray key() const { return secrets.item(kService, kAccount).value_or(QByteArray()); }
    QJsonObject archive() const { return QJsonDocument::fromJson(gcm(false, key(), readFile(path()))).object(); }
    void appendNumbered(int count) {
        for (int i = 0; i < count; ++i) {
            history.append(QStringLiteral("before %1").arg(i), QStringLiteral("after %1").arg(i),
                           std::vector{CloudCorrectionModel::fast}, CorrectionWritingMode::proofread);
            clock.advance(1.0);
        }
    }

    QTemporaryDir folder;
    InMemorySecureStore secrets;
    InMemoryUserDefaults defaults;
    VirtualClock clock;
    ScopedSharedClock sharedClock{clock};
    QuilloCorrectionHistory history{secrets, defaults, folder.filePath("data/Quillo Test"), kService};
    CapturedLog log{"CorrectionHistory"};
};

} // namespace

TEST(CorrectionHistoryLocation, StandardFolderAndKeyServiceFollowTheBuild) {
    const QuilloInfoDictionary test{{"CFBundleIdentifier", "com.quillo.app.test"}};
    const QuilloInfoDictionary release{{"QuilloBuildChannel", "production"}};
    EXPECT_EQ(QuilloCorrectionHistory::keyService(test), "com.quillo.app.test.local-history");
    EXPECT_EQ(QuilloCorrectionHistory::keyService(release), "com.quillo.app.local-history");
    InMemorySecureStore store;
    InMemoryUserDefaults defaults;
    EXPECT_TRUE(QuilloCorrectionHistory(store, defaults, test)
                    .filePath()
                    .endsWith("/Quillo Test/correction-history.encrypted"));
    EXPECT_TRUE(
        QuilloCorrectionHistory(store, defaults, release).filePath().endsWith("/Quillo/correction-history.encrypted"));
}

TEST_F(CorrectionHistory, FirstAppendCreatesPrivateFolderFileAndKey) {
    EXPECT_TRUE(history.isEnabled());
    EXPECT_TRUE(history.load().empty());
    EXPECT_FALSE(QFileInfo::exists(directory()));

    ChangeCounter changes;
    history.append("teh cat", "the cat", std::vector{CloudCorrectionModel::veryVeryFast, CloudCorrectionModel::fast},
                   CorrectionWritingMode::contextual);
    EXPECT_EQ(changes.count(), 1);
    EXPECT_EQ(modeOf(directory()), 0700u);
    EXPECT_EQ(modeOf(path()), 0600u);
    EXPECT_EQ(key().size(), 32);
    EXPECT_TRUE(log.lines().isEmpty()) << log.messages().join('\n').toStdString();
    // No temporary file is left next to the history.
    EXPECT_EQ(QDir(directory()).entryList(QDir::Files | QDir::Hidden), QStringList{"correction-history.encrypted"});

    const auto entries = history.load();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].originalText, "teh cat");
    EXPECT_EQ(entries[0].correctedText, "the cat");
    EXPECT_EQ(entries[0].cloudModels, (std::vector{CloudCorrectionModel::veryVeryFast, CloudCorrectionModel::fast}));
    EXPECT_EQ(entries[0].writingMode, CorrectionWritingMode::contextual);
    EXPECT_EQ(entries[0].date, clock.now());
}

TEST_F(CorrectionHistory, FileIsNonceCiphertextTagOverVersionedJson) {
    history.append("one", "One.", std::vector<CloudCorrectionModel>{}, std::nullopt);
    const QByteArray first = readFile(path());
    history.append("two", "Two.", std::vector{CloudCorrectionModel::fast}, CorrectionWritingMode::proofread);
    const QByteArray second = readFile(path());

    const QByteArray plaintext = gcm(false, key(), second);
    ASSERT_FALSE(plaintext.isEmpty()) << "the file must open as nonce, ciphertext, tag";
    EXPECT_EQ(second.size(), 12 + plaintext.size() + 16);
    EXPECT_NE(first.left(12), second.left(12)) << "every write draws a new nonce";
    EXPECT_FALSE(second.contains("Two.")) << "no plain text on disk";

    const QJsonObject object = QJsonDocument::fromJson(plaintext).object();
    EXPECT_EQ(object.value("version").toInt(), 1);
    const QJsonArray entries = object.value("entries").toArray();
    ASSERT_EQ(entries.size(), 2);
    const QJsonObject newest = entries[0].toObject(), oldest = entries[1].toObject();
    EXPECT_EQ(newest.value("correctedText").toString(), "Two.");
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}$")
                    .match(newest.value("id").toString())
                    .hasMatch());
    // 2026-01-05 09:00 UTC in seconds since 2001-01-01 00:00 UTC.
    const double expected = double(clock.now().toSecsSinceEpoch() - 978307200);
    EXPECT_DOUBLE_EQ(newest.value("date").toDouble(), expected);
    EXPECT_EQ(newest.value("cloudModels").toArray(), QJsonArray{"fast"});
    EXPECT_EQ(newest.value("writingMode").toString(), "proofread");
    EXPECT_FALSE(oldest.contains("cloudModels")) << "an empty model list is stored as absent";
    EXPECT_FALSE(oldest.contains("writingMode"));
}

TEST_F(CorrectionHistory, KeepsTheHundredNewestNewestFirst) {
    appendNumbered(101);
    const auto entries = history.load();
    ASSERT_EQ(entries.size(), 100u);
    EXPECT_EQ(entries.front().originalText, "before 100");
    EXPECT_EQ(entries.back().originalText, "before 1");
    EXPECT_EQ(archive().value("entries").toArray().size(), 100);
}

TEST_F(CorrectionHistory, MoreThanAHundredStoredEntriesAreCutOnLoad) {
    appendNumbered(1);
    QJsonArray list;
    for (int i = 0; i < 120; ++i)
        list.append(
            legacyEntry(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(), i, "o", QString::number(i)));
    writeFile(path(), gcm(true, key(), QJsonDocument(QJsonObject{{"version", 1}, {"entries", list}}).toJson()));
    const auto entries = history.load();
    ASSERT_EQ(entries.size(), 100u);
    EXPECT_EQ(entries.back().correctedText, "99");
}

TEST_F(CorrectionHistory, SwitchingOffWipesFileKeyAndLegacyList) {
    appendNumbered(2);
    defaults.setData("quilloCorrectionHistory", "[]");
    ChangeCounter changes;

    history.setEnabled(false);
    EXPECT_FALSE(history.isEnabled());
    EXPECT_FALSE(QFileInfo::exists(path()));
    EXPECT_FALSE(secrets.item(kService, kAccount));
    EXPECT_FALSE(defaults.contains("quilloCorrectionHistory"));
    EXPECT_EQ(changes.count(), 1);

    history.append("a", "b", std::nullopt, std::nullopt);
    EXPECT_FALSE(QFileInfo::exists(path())) << "nothing is recorded while off";

    history.setEnabled(true);
    EXPECT_EQ(changes.count(), 2);
    EXPECT_TRUE(history.load().empty());
    EXPECT_EQ(defaults.boolean("saveCorrectionHistory"), true);
}

TEST_F(CorrectionHistory, ReadingWhileOffWipesLeftovers) {
    appendNumbered(1);
    defaults.setBoolean("saveCorrectionHistory", false); // turned off by another route
    EXPECT_TRUE(history.load().empty());
    EXPECT_FALSE(QFileInfo::exists(path()));
    EXPECT_FALSE(secrets.item(kService, kAccount));
}

TEST_F(CorrectionHistory, ClearRemovesEverythingAndTheNextAppendMakesANewKey) {
    appendNumbered(3);
    const QByteArray oldKey = key();
    ChangeCounter changes;
    history.clear();
    EXPECT_EQ(changes.count(), 1);
    EXPECT_FALSE(QFileInfo::exists(path()));
    EXPECT_TRUE(history.load().empty());
    appendNumbered(1);
    EXPECT_EQ(key().size(), 32);
    EXPECT_NE(key(), oldKey);
    EXPECT_EQ(history.load().size(), 1u);
}

TEST_F(CorrectionHistory, UnreadableHistoriesLoadEmptyWithTheirLineAndStayOnDisk) {
    appendNumbered(2);
    const QByteArray good = readFile(path());
    const QByteArray goodKey = key();
    const QString decryptLine = QStringLiteral("Unable to decrypt local correction history: ");

    struct Case {
        const char* name;
        std::function<void()> damage;
        QString line;
    };
    const std::vector<Case> cases = {
        {"tampered byte",
         [&] {
             QByteArray d = good;
             d[20] = char(d[20] ^ 0x01);
             writeFile(path(), d);
         },
         decryptLine},
        {"tampered tag",
         [&] {
             QByteArray d = good;
             d[d.size() - 1] = char(d[d.size() - 1] ^ 0x80);
             writeFile(path(), d);
         },
         decryptLine},
        {"truncated", [&] { writeFile(path(), good.left(good.size() / 2)); }, decryptLine},
        {"shorter than nonce and tag", [&] { writeFile(path(), good.left(20)); }, decryptLine},
        {"empty file", [&] { writeFile(path(), {}); }, decryptLine},
        {"missing key", [&] { secrets.remove(kService, kAccount); }, kKeyUnavailable},
        {"key of wrong length", [&] { secrets.setItem(kService, kAccount, goodKey.left(16)); }, decryptLine},
        {"another key", [&] { secrets.setItem(kService, kAccount, QByteArray(32, 'k')); }, decryptLine},
        {"not JSON inside", [&] { writeFile(path(), gcm(true, goodKey, "not json")); }, decryptLine},
        {"entry without text",
         [&] {
             writeFile(path(),
                       gcm(true, goodKey,
                           R"({"version":1,"entries":[{"id":"0F0E0D0C-0B0A-0908-0706-050403020100","date":1}]})"));
         },
         decryptLine},
        {"unknown speed",
         [&] {
             writeFile(
                 path(),
                 gcm(true, goodKey,
                     R"({"version":1,"entries":[{"id":"0F0E0D0C-0B0A-0908-0706-050403020100","date":1,"originalText":"a","correctedText":"b","cloudModels":["warp"]}]})"));
         },
         decryptLine},
        // Its milliseconds once overflowed while the date was made.
        {"date beyond any calendar",
         [&] {
             writeFile(
                 path(),
                 gcm(true, goodKey,
                     R"({"version":1,"entries":[{"id":"0F0E0D0C-0B0A-0908-0706-050403020100","date":9223372036854000,"originalText":"a","correctedText":"b"}]})"));
         },
         decryptLine},
        {"date below any calendar",
         [&] {
             writeFile(
                 path(),
                 gcm(true, goodKey,
                     R"({"version":1,"entries":[{"id":"0F0E0D0C-0B0A-0908-0706-050403020100","date":-1e300,"originalText":"a","correctedText":"b"}]})"));
         },
         decryptLine},
        {"version 2", [&] { writeFile(path(), gcm(true, goodKey, R"({"version":2,"entries":[]})")); },
         QStringLiteral("Unsupported encrypted correction history version")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile(path(), good);
        secrets.setItem(kService, kAccount, goodKey);
        ASSERT_EQ(history.load().size(), 2u);
        c.damage();
        const QByteArray damaged = readFile(path());
        log.clear();
        EXPECT_TRUE(history.load().empty());
        ASSERT_EQ(log.lines().size(), 1) << log.messages().join('\n').toStdString();
        EXPECT_EQ(log.lines()[0].type, QtCriticalMsg);
        EXPECT_TRUE(log.lines()[0].message.startsWith(c.line)) << log.lines()[0].message.toStdString();
        EXPECT_EQ(readFile(path()), damaged) << "the file is left in place";
    }
}

TEST_F(CorrectionHistory, AfterALostKeyTheNextAppendStartsANewReadableList) {
    appendNumbered(2);
    secrets.remove(kService, kAccount);
    EXPECT_TRUE(history.load().empty());
    history.append("x", "y", std::nullopt, std::nullopt);
    const auto entries = history.load();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].correctedText, "y");
    EXPECT_EQ(key().size(), 32);
}

// A secure store that cannot be reached may still hold the real key: saving must fail instead
// of replacing the key, or the existing history would be lost for good.
TEST_F(CorrectionHistory, UnreachableSecureStoreChangesNothing) {
    appendNumbered(2);
    const QByteArray before = readFile(path());
    const QByteArray keyBefore = key();
    const int writes = secrets.writeCount();

    secrets.setUnavailable(true);
    log.clear();
    history.append("new", "New.", std::nullopt, std::nullopt);
    EXPECT_EQ(log.messages(),
              (QStringList{kKeyUnavailable,
                           "Unable to save encrypted correction history: keychainReadFailed(status: unavailable)"}));
    EXPECT_EQ(readFile(path()), before);
    EXPECT_EQ(secrets.writeCount(), writes);

    secrets.setUnavailable(false);
    EXPECT_EQ(key(), keyBefore);
    EXPECT_EQ(history.load().size(), 2u);
}

TEST_F(CorrectionHistory, KeyThatCannotBeStoredWritesNoFile) {
    secrets.failWritesWith(SecureStoreStatus::denied);
    ChangeCounter changes;
    history.append("a", "b", std::nullopt, std::nullopt);
    EXPECT_EQ(log.messages(),
              QStringList{"Unable to save encrypted correction history: keychainWriteFailed(status: denied)"});
    EXPECT_FALSE(QFileInfo::exists(path()));
    EXPECT_EQ(changes.count(), 0);
}

TEST_F(CorrectionHistory, WriteFailingHalfWayKeepsThePreviousFile) {
    appendNumbered(1);
    const QByteArray before = readFile(path());

    // A file-size limit makes the write stop part-way, for any user (root included).
    struct rlimit previous {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &previous), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = previous;
    small.rlim_cur = rlim_t(before.size() + 64);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    history.append(QString(5000, u'o'), QString(5000, u'c'), std::nullopt, std::nullopt);
    ::setrlimit(RLIMIT_FSIZE, &previous);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.messages()[0].startsWith("Unable to save encrypted correction history: fileWriteFailed("));
    EXPECT_EQ(readFile(path()), before);
    EXPECT_EQ(QDir(directory()).entryList(QDir::Files | QDir::Hidden), QStringList{"correction-history.encrypted"})
        << "the partial temporary file is removed";
    EXPECT_EQ(history.load().size(), 1u);
}

TEST_F(CorrectionHistory, FolderThatCannotBeCreatedIsOneSaveLine) {
    QDir().mkpath(folder.filePath("data"));
    writeFile(directory(), "a file where the folder should be");
    history.append("a", "b", std::nullopt, std::nullopt);
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.messages()[0].startsWith("Unable to save encrypted correction history: fileWriteFailed("));
}

TEST_F(CorrectionHistory, MigratesTheLegacyListOnce) {
    const QJsonArray legacy{legacyEntry("11111111-1111-1111-1111-111111111111", 700000000.5, "o1", "c1"),
                            legacyEntry("22222222-2222-2222-2222-222222222222", 600000000, "o2", "c2"),
                            legacyEntry("33333333-3333-3333-3333-333333333333", 500000000, "o3", "c3")};
    defaults.setData("quilloCorrectionHistory", QJsonDocument(legacy).toJson());

    const auto entries = history.load();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].id, QUuid("11111111-1111-1111-1111-111111111111"));
    EXPECT_EQ(entries[0].date, QDateTime(QDate(2023, 3, 8), QTime(20, 26, 40, 500), Qt::UTC));
    EXPECT_EQ(entries[2].originalText, "o3");
    for (const auto& entry : entries) {
        EXPECT_FALSE(entry.cloudModels);
        EXPECT_FALSE(entry.writingMode);
    }
    EXPECT_FALSE(defaults.contains("quilloCorrectionHistory"));
    EXPECT_TRUE(QFileInfo::exists(path()));
    EXPECT_EQ(log.messages(), QStringList{"Migrated local correction history to encrypted storage"});
    EXPECT_EQ(log.lines()[0].type, QtInfoMsg);
    EXPECT_EQ(history.load(), entries);
}

TEST_F(CorrectionHistory, LegacyListStaysWhenItCannotBeReadOrMoved) {
    defaults.setData("quilloCorrectionHistory", "{broken");
    EXPECT_TRUE(history.load().empty());
    ASSERT_EQ(log.lines().size(), 1);
    EXPECT_TRUE(log.messages()[0].startsWith("Unable to migrate legacy correction history: "));
    EXPECT_TRUE(defaults.contains("quilloCorrectionHistory"));

    const QJsonArray legacy{legacyEntry("11111111-1111-1111-1111-111111111111", 1, "o", "c")};
    defaults.setData("quilloCorrectionHistory", QJsonDocument(legacy).toJson());
    secrets.failWritesWith(SecureStoreStatus::failed);
    EXPECT_TRUE(history.load().empty());
    EXPECT_TRUE(defaults.contains("quilloCorrectionHistory")) << "kept for a later attempt";
    secrets.failWritesWith(std::nullopt);
    EXPECT_EQ(history.load().size(), 1u);
    EXPECT_FALSE(defaults.contains("quilloCorrectionHistory"));

    // An empty legacy list is simply removed.
    history.clear();
    defaults.setData("quilloCorrectionHistory", "[]");
    EXPECT_TRUE(history.load().empty());
    EXPECT_FALSE(defaults.contains("quilloCorrectionHistory"));
}

TEST_F(CorrectionHistory, MalformedKeyIsReplacedAtTheNextWrite) {
    secrets.setItem(kService, kAccount, QByteArray(16, 'k'));
    history.append("a", "b", std::nullopt, std::nullopt);
    EXPECT_EQ(key().size(), 32);
    ASSERT_EQ(history.load().size(), 1u);
    EXPECT_TRUE(log.lines().isEmpty()) << log.messages().join('\n').toStdString();
}

TEST_F(CorrectionHistory, ExistingFolderAndFileAreMadePrivateAgain) {
    QDir().mkpath(directory());
    ::chmod(QFile::encodeName(directory()).constData(), 0755);
    appendNumbered(1);
    ::chmod(QFile::encodeName(path()).constData(), 0644);
    appendNumbered(1);
    EXPECT_EQ(modeOf(directory()), 0700u);
    EXPECT_EQ(modeOf(path()), 0600u);
}

TEST_F(CorrectionHistory, LongLegacyListKeepsTheFirstHundred) {
    QJsonArray legacy;
    for (int i = 0; i < 130; ++i)
        legacy.append(legacyEntry(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(), 1000 - i, "o",
                                  QString::number(i)));
    defaults.setData("quilloCorrectionHistory", QJsonDocument(legacy).toJson());
    const auto entries = history.load();
    ASSERT_EQ(entries.size(), 100u);
    EXPECT_EQ(entries.front().correctedText, "0");
    EXPECT_EQ(entries.back().correctedText, "99");
    EXPECT_EQ(archive().value("entries").toArray().size(), 100);
    EXPECT_FALSE(defaults.contains("quilloCorrectionHistory"));
}
