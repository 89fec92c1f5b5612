#include "Services/DiagnosticsService.h"
#include "Support/Clock.h"
#include "Support/VirtualClock.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QTemporaryDir>

#include <cerrno>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace quillo;

namespace {

const QStringList kAllowedKeys = {"appBuild",       "appVersion",     "correlationID",  "event",     "level",
                                  "osMajorVersion", "osMinorVersion", "osPatchVersion", "sessionID", "timestamp"};

// Points the process-wide log at a fresh folder for one test.
class DiagnosticsLog : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        QuilloDiagnosticLogStore store;
        store.logURL = QuilloDiagnosticLogStore::logPath(folder.filePath("Quillo Test"));
        store.appVersion = "1.2.3";
        store.appBuild = "45";
        store.operatingSystemVersion = {6, 1, 0};
        previous = QuilloDiagnostics::replaceStore(store);
        path = store.logURL;
    }
    void TearDown() override { QuilloDiagnostics::replaceStore(previous); }

    QList<QByteArray> lines() const {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) return {};
        QList<QByteArray> result = file.readAll().split('\n');
        EXPECT_TRUE(result.isEmpty() || result.last().isEmpty()) << "file must end with a line feed";
        if (!result.isEmpty() && result.last().isEmpty()) result.removeLast();
        return result;
    }
    QList<QuilloDiagnosticRecord> records() const { return QuilloDiagnostics::store().readRecords(); }

    QTemporaryDir folder;
    QString path;
    QuilloDiagnosticLogStore previous;
    VirtualClock clock;
    ScopedSharedClock sharedClock{clock};
};

mode_t modeOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) return 0;
    return info.st_mode & 0777;
}

} // namespace

TEST(QuilloDiagnosticEvent, RawValuesAndLevels) {
    EXPECT_EQ(QuilloDiagnosticEvents::all().size(), 30u);
    QSet<QString> names;
    for (auto event : QuilloDiagnosticEvents::all()) {
        const QString raw = QuilloDiagnosticEvents::rawValue(event);
        names.insert(raw);
        EXPECT_EQ(QuilloDiagnosticEvents::fromRawValue(raw), event);
    }
    EXPECT_EQ(names.size(), 30);
    EXPECT_EQ(QuilloDiagnosticEvents::rawValue(QuilloDiagnosticEvent::appLaunched), "app_launched");
    EXPECT_EQ(QuilloDiagnosticEvents::rawValue(QuilloDiagnosticEvent::sessionSignInFailed), "session_sign_in_failed");
    EXPECT_EQ(QuilloDiagnosticEvents::level(QuilloDiagnosticEvent::inputPermissionMissing),
              QuilloDiagnosticLevel::notice);
    EXPECT_EQ(QuilloDiagnosticEvents::level(QuilloDiagnosticEvent::correctionCaptureUnavailable),
              QuilloDiagnosticLevel::notice);
    EXPECT_EQ(QuilloDiagnosticEvents::level(QuilloDiagnosticEvent::correctionTargetChanged),
              QuilloDiagnosticLevel::notice);
    EXPECT_EQ(QuilloDiagnosticEvents::level(QuilloDiagnosticEvent::sessionRefreshFailed),
              QuilloDiagnosticLevel::notice);
    int errors = 0;
    for (auto event : QuilloDiagnosticEvents::all()) {
        if (QuilloDiagnosticEvents::level(event) == QuilloDiagnosticLevel::error) {
            ++errors;
            EXPECT_TRUE(QuilloDiagnosticEvents::rawValue(event).endsWith("_failed"));
        }
    }
    EXPECT_EQ(errors, 7); // session_refresh_failed is only a notice
    EXPECT_EQ(QuilloDiagnosticEvents::fromRawValue("App_Launched"), std::nullopt);
    EXPECT_EQ(QuilloDiagnosticLevels::fromRawValue("notice"), QuilloDiagnosticLevel::notice);
}

TEST(QuilloDiagnosticLogStore, SafeVersionKeepsDigitsDotsAndHyphens) {
    EXPECT_EQ(QuilloDiagnosticLogStore::safeVersion("1.2.3 (beta)"), "1.2.3");
    EXPECT_EQ(QuilloDiagnosticLogStore::safeVersion("1.2.3 (build 7)"), "1.2.37");
    EXPECT_EQ(QuilloDiagnosticLogStore::safeVersion("beta"), "unknown");
    EXPECT_EQ(QuilloDiagnosticLogStore::safeVersion(""), "unknown");
    EXPECT_EQ(QuilloDiagnosticLogStore::safeVersion("..--"), "unknown");
    EXPECT_EQ(QuilloDiagnosticLogStore::safeVersion("-.1.0-rc.1.-"), "1.0-.1");
    EXPECT_EQ(QuilloDiagnosticLogStore::safeVersion(QString(40, '7')), QString(32, '7'));
    // The 32 are counted before trimming.
    EXPECT_EQ(QuilloDiagnosticLogStore::safeVersion(QString(31, '.') + "12"), "1");
}

TEST(QuilloDiagnosticLogStore, StandardLocationFollowsTheBuildChannel) {
    qputenv("QUILLO_DATA_HOME", "/tmp/quillo-home");
    QuilloInfoDictionary test;
    test.insert("QuilloBuildChannel", "test");
    test.insert("CFBundleShortVersionString", "0.1.0 (x)");
    const auto store = QuilloDiagnosticLogStore::standard(test);
    EXPECT_EQ(store.logURL, "/tmp/quillo-home/Quillo Test/Diagnostics/quillo-diagnostics.jsonl");
    EXPECT_EQ(store.appVersion, "0.1.0");
    EXPECT_EQ(store.appBuild, "unknown");
    EXPECT_EQ(store.maximumRecords, 500);
    EXPECT_EQ(QuilloDiagnosticLogStore::standard(QuilloInfoDictionary{}).logURL,
              "/tmp/quillo-home/Quillo/Diagnostics/quillo-diagnostics.jsonl");
    qunsetenv("QUILLO_DATA_HOME");
}

TEST(OperatingSystemVersion, ParsesKernelVersions) {
    EXPECT_EQ(OperatingSystemVersion::parse("6.1.0-18-amd64"), (OperatingSystemVersion{6, 1, 0}));
    EXPECT_EQ(OperatingSystemVersion::parse("5.15.133.1-microsoft-standard-WSL2"),
              (OperatingSystemVersion{5, 15, 133}));
    EXPECT_EQ(OperatingSystemVersion::parse("6.8-rc1"), (OperatingSystemVersion{6, 8, 0}));
    EXPECT_EQ(OperatingSystemVersion::parse("weird"), (OperatingSystemVersion{0, 0, 0}));
    EXPECT_GT(OperatingSystemVersion::current().major, 0);
}

TEST(QuilloDiagnosticRecord, EncodesSortedKeysWholeSecondsAndUpperCaseUUIDs) {
    QuilloDiagnosticRecord record;
    record.timestamp = QDateTime(QDate(2025, 3, 1), QTime(9, 30, 0), Qt::UTC);
    record.sessionID = QUuid::fromString(QString("0d4f6a0e-2c2b-4a38-9a6c-0a1c9d2e3f40"));
    record.event = QuilloDiagnosticEvent::correctionFailed;
    record.level = QuilloDiagnosticLevel::error;
    record.appVersion = "1.2.3";
    record.appBuild = "45";
    record.osMajorVersion = 6;
    record.osMinorVersion = 1;
    record.osPatchVersion = 0;
    EXPECT_EQ(record.toJsonLine(),
              R"({"appBuild":"45","appVersion":"1.2.3","event":"correction_failed","level":"error",)"
              R"("osMajorVersion":6,"osMinorVersion":1,"osPatchVersion":0,)"
              R"("sessionID":"0D4F6A0E-2C2B-4A38-9A6C-0A1C9D2E3F40","timestamp":"2025-03-01T09:30:00Z"})");
    EXPECT_EQ(QuilloDiagnosticRecord::fromJsonLine(record.toJsonLine()), record);

    record.correlationID = QUuid::fromString(QString("11111111-2222-4333-8444-555555555555"));
    EXPECT_TRUE(record.toJsonLine().contains(R"("correlationID":"11111111-2222-4333-8444-555555555555")"));
    EXPECT_EQ(QuilloDiagnosticRecord::fromJsonLine(record.toJsonLine()), record);

    EXPECT_FALSE(QuilloDiagnosticRecord::fromJsonLine(R"({"event":"app_launched"})"));
    QByteArray badEvent = record.toJsonLine();
    badEvent.replace("correction_failed", "correction_exploded");
    EXPECT_FALSE(QuilloDiagnosticRecord::fromJsonLine(badEvent));
}

TEST_F(DiagnosticsLog, RecordsEventsWithSessionAndCorrelation) {
    const QUuid correlation = QUuid::createUuid();
    QuilloDiagnostics::record(QuilloDiagnosticEvent::correctionStarted, correlation);
    QuilloDiagnostics::record(QuilloDiagnosticEvent::appLaunched);
    QuilloDiagnostics::flush();

    const auto written = records();
    ASSERT_EQ(written.size(), 2);
    EXPECT_EQ(written[0].event, QuilloDiagnosticEvent::correctionStarted);
    EXPECT_EQ(written[0].correlationID, correlation);
    EXPECT_EQ(written[0].sessionID, QuilloDiagnostics::sessionID());
    EXPECT_EQ(written[0].timestamp, clock.now());
    EXPECT_EQ(written[0].appVersion, "1.2.3");
    EXPECT_EQ(written[0].appBuild, "45");
    EXPECT_EQ(written[0].osMajorVersion, 6);
    EXPECT_EQ(written[1].event, QuilloDiagnosticEvent::appLaunched);
    EXPECT_EQ(written[1].correlationID, std::nullopt);

    const auto raw = lines();
    ASSERT_EQ(raw.size(), 2);
    EXPECT_TRUE(
        raw[0].contains(("\"correlationID\":\"" + QuilloDiagnosticRecord::uuidText(correlation) + "\"").toUtf8()));
    EXPECT_FALSE(raw[1].contains("correlationID"));
    EXPECT_TRUE(raw[0].contains("\"timestamp\":\"2026-01-05T09:00:00Z\""));
}

TEST_F(DiagnosticsLog, FolderAndFileArePrivate) {
    QuilloDiagnostics::record(QuilloDiagnosticEvent::appLaunched);
    QuilloDiagnostics::flush();
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(modeOf(QFileInfo(path).absolutePath()), 0700u);
    // A loosened mode is tightened at the next write.
    ::chmod(QFile::encodeName(path).constData(), 0644);
    ::chmod(QFile::encodeName(QFileInfo(path).absolutePath()).constData(), 0755);
    QuilloDiagnostics::record(QuilloDiagnosticEvent::appLaunched);
    QuilloDiagnostics::flush();
    EXPECT_EQ(modeOf(path), 0600u);
    EXPECT_EQ(modeOf(QFileInfo(path).absolutePath()), 0700u);
    // No temporary files are left beside the log.
    EXPECT_EQ(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden),
              QStringList{"quillo-diagnostics.jsonl"});
}

TEST_F(DiagnosticsLog, KeepsTheNewestFiveHundredRecords) {
    for (int i = 0; i < 500; ++i) {
        QuilloDiagnostics::record(QuilloDiagnosticEvent::cloudRequestStarted);
        clock.advance(1);
    }
    QuilloDiagnostics::flush();
    auto written = records();
    ASSERT_EQ(written.size(), 500);
    const QDateTime first = written.first().timestamp;

    QuilloDiagnostics::record(QuilloDiagnosticEvent::cloudRequestFailed);
    QuilloDiagnostics::flush();
    written = records();
    ASSERT_EQ(written.size(), 500);
    EXPECT_EQ(written.first().timestamp, first.addSecs(1));
    EXPECT_EQ(written.last().event, QuilloDiagnosticEvent::cloudRequestFailed);
    EXPECT_EQ(lines().size(), 500);

    // A burst far over the limit still leaves the newest 500, in order.
    for (int i = 0; i < 1200; ++i) {
        QuilloDiagnostics::record(i == 1199 ? QuilloDiagnosticEvent::checkoutCompleted
                                            : QuilloDiagnosticEvent::checkoutOpened);
        clock.advance(1);
    }
    QuilloDiagnostics::flush();
    written = records();
    ASSERT_EQ(written.size(), 500);
    EXPECT_EQ(written.last().event, QuilloDiagnosticEvent::checkoutCompleted);
    for (qsizetype i = 1; i < written.size(); ++i) EXPECT_EQ(written[i - 1].timestamp.addSecs(1), written[i].timestamp);
}

TEST_F(DiagnosticsLog, GarbageLinesAreSkippedAndDisappearAtTheNextWrite) {
    QuilloDiagnostics::record(QuilloDiagnosticEvent::appLaunched);
    QuilloDiagnostics::flush();
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write("this is not json\n\n{\"event\":\"app_launched\"}\n\xff\xfe broken utf8\n");
    }
    EXPECT_EQ(records().size(), 1);
    QuilloDiagnostics::record(QuilloDiagnosticEvent::monitoringStarted);
    QuilloDiagnostics::flush();
    const auto raw = lines();
    ASSERT_EQ(raw.size(), 2);
    for (const auto& line : raw) EXPECT_TRUE(QuilloDiagnosticRecord::fromJsonLine(line).has_value());
}

TEST_F(DiagnosticsLog, RapidCallsFromSeveralThreadsAreAllWrittenInOrderWithOnlyAllowedKeys) {
    constexpr int threads = 4;
    constexpr int perThread = 100;
    std::vector<QUuid> correlations;
    for (int t = 0; t < threads; ++t) correlations.push_back(QUuid::createUuid());
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, &correlations] {
            for (int i = 0; i < perThread; ++i) {
                const auto event = QuilloDiagnosticEvents::all()[static_cast<size_t>(i % 30)];
                QuilloDiagnostics::record(event, correlations[static_cast<size_t>(t)]);
            }
        });
    }
    for (auto& worker : workers) worker.join();
    QuilloDiagnostics::flush();

    const auto raw = lines();
    ASSERT_EQ(raw.size(), threads * perThread);
    std::vector<int> seen(threads, 0);
    for (const QByteArray& line : raw) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        QStringList keys = object.keys();
        EXPECT_EQ(keys, kAllowedKeys) << line.toStdString();
        for (const QString& key : keys) {
            const QJsonValue value = object.value(key);
            if (key.startsWith("os")) {
                EXPECT_TRUE(value.isDouble());
            } else {
                EXPECT_TRUE(value.isString());
            }
        }
        const auto record = QuilloDiagnosticRecord::fromJsonLine(line);
        ASSERT_TRUE(record);
        EXPECT_EQ(record->level, QuilloDiagnosticEvents::level(record->event));
        const auto it = std::find(correlations.begin(), correlations.end(), record->correlationID.value());
        ASSERT_NE(it, correlations.end());
        const int t = static_cast<int>(it - correlations.begin());
        // Each thread's events arrive in the order it recorded them.
        EXPECT_EQ(record->event, QuilloDiagnosticEvents::all()[static_cast<size_t>(seen[t] % 30)]);
        ++seen[t];
    }
    for (int count : seen) EXPECT_EQ(count, perThread);
}

TEST_F(DiagnosticsLog, ExportHasThePrivacyHeaderThenEveryRecord) {
    const QString target = folder.filePath("export.txt");
    QuilloDiagnostics::exportTo(target);
    QFile empty(target);
    ASSERT_TRUE(empty.open(QIODevice::ReadOnly));
    EXPECT_EQ(empty.readAll(),
              "# Quillo diagnostic log\n"
              "# Contains technical event names, timestamps, versions and random correlation identifiers only.\n"
              "# No correction text, clipboard content, email, token or API key is collected.\n");
    empty.close();

    QuilloDiagnostics::record(QuilloDiagnosticEvent::diagnosticsExportRequested);
    QuilloDiagnostics::record(QuilloDiagnosticEvent::updateCheckRequested, QUuid::createUuid());
    // No flush: the export runs after the queued events.
    QuilloDiagnostics::exportTo(target);
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> exported = file.readAll().split('\n');
    ASSERT_EQ(exported.size(), 6); // 3 header lines, 2 records, the empty piece after the last line feed
    EXPECT_EQ(exported[3], lines()[0]);
    EXPECT_EQ(exported[4], lines()[1]);
    EXPECT_TRUE(exported[5].isEmpty());
    EXPECT_TRUE(exported[3].contains("diagnostics_export_requested"));
}

TEST_F(DiagnosticsLog, ExportFailuresAreClassified) {
    try {
        QuilloDiagnostics::exportTo(folder.filePath("missing/folder/export.txt"));
        FAIL() << "export into a missing folder must fail";
    } catch (const QuilloDiagnosticsFileError& error) {
        EXPECT_EQ(error.failure(), DiagnosticsFailure::locationUnavailable);
        EXPECT_EQ(error.posixError(), ENOENT);
    }
    if (::geteuid() != 0) {
        const QString locked = folder.filePath("locked");
        QDir().mkdir(locked);
        ::chmod(QFile::encodeName(locked).constData(), 0500);
        try {
            QuilloDiagnostics::exportTo(locked + "/export.txt");
            FAIL() << "export into a read-only folder must fail";
        } catch (const QuilloDiagnosticsFileError& error) {
            EXPECT_EQ(error.failure(), DiagnosticsFailure::permissionDenied);
        }
    }
    EXPECT_EQ(diagnosticsFailureForPosixError(EROFS), DiagnosticsFailure::permissionDenied);
    EXPECT_EQ(diagnosticsFailureForPosixError(EACCES), DiagnosticsFailure::permissionDenied);
    EXPECT_EQ(diagnosticsFailureForPosixError(EPERM), DiagnosticsFailure::permissionDenied);
    EXPECT_EQ(diagnosticsFailureForPosixError(ENOSPC), DiagnosticsFailure::diskFull);
    EXPECT_EQ(diagnosticsFailureForPosixError(EDQUOT), DiagnosticsFailure::diskFull);
    EXPECT_EQ(diagnosticsFailureForPosixError(ENOTDIR), DiagnosticsFailure::locationUnavailable);
    EXPECT_EQ(diagnosticsFailureForPosixError(EIO), DiagnosticsFailure::unexpected);

    // Recording never fails the caller, even when the log cannot be written.
    QuilloDiagnosticLogStore unwritable = QuilloDiagnostics::store();
    QFile blocker(folder.filePath("blocker"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    unwritable.logURL = folder.filePath("blocker/Diagnostics/quillo-diagnostics.jsonl");
    QuilloDiagnostics::replaceStore(unwritable);
    QuilloDiagnostics::record(QuilloDiagnosticEvent::appLaunched);
    QuilloDiagnostics::flush();
    EXPECT_THROW(QuilloDiagnostics::exportTo(folder.filePath("export.txt")), QuilloDiagnosticsFileError);

    // A log that cannot be read is not a "choose another folder" problem.
    if (::geteuid() != 0) {
        QuilloDiagnosticLogStore unreadable = unwritable;
        unreadable.logURL = folder.filePath("unreadable.jsonl");
        QFile file(unreadable.logURL);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.close();
        ::chmod(QFile::encodeName(unreadable.logURL).constData(), 0000);
        QuilloDiagnostics::replaceStore(unreadable);
        try {
            QuilloDiagnostics::exportTo(folder.filePath("export.txt"));
            FAIL() << "an unreadable log must fail the export";
        } catch (const QuilloDiagnosticsFileError& error) {
            EXPECT_EQ(error.failure(), DiagnosticsFailure::unexpected);
            EXPECT_EQ(error.posixError(), EACCES);
        }
        EXPECT_FALSE(QFile::exists(folder.filePath("export.txt")));
    }
}

TEST_F(DiagnosticsLog, SuggestedFileNameUsesTheLocalDate) {
    const QString expected = "Quillo-Diagnostics-" + clock.now().toLocalTime().date().toString("yyyy-MM-dd") + ".txt";
    EXPECT_EQ(QuilloDiagnostics::suggestedExportFilename(), expected);
    EXPECT_TRUE(QuilloDiagnostics::suggestedExportFilename().startsWith("Quillo-Diagnostics-2026-01-0"));
    EXPECT_TRUE(QuilloDiagnostics::queueLabel().endsWith(".diagnostics"));
}

// A short-lived process exits with events still queued: the writer drains them while statics
// are being destroyed, and must not read a table that is already gone.
TEST_F(DiagnosticsLog, EventsQueuedAtExitDoNotCrashTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            for (int i = 0; i < 300; ++i) QuilloDiagnostics::record(QuilloDiagnosticEvent::cloudRequestStarted);
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}
