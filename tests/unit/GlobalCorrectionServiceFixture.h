#pragma once

#include "Models/ModifierFlags.h"
#include "Platform/Fake/FakeAccessibilityPermission.h"
#include "Platform/Fake/FakeEventTap.h"
#include "Platform/Fake/FakeWorkspace.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/GlobalCorrectionService.h"
#include "Services/QuilloDiagnostics.h"
#include "Support/VirtualClock.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace quillo::testing {

class RecordingToast final : public CorrectionToastPresenting {
public:
    void showProcessing() override { calls << QStringLiteral("processing"); }
    void showSuccess(const std::optional<QString>& notice) override {
        calls << (notice ? QStringLiteral("success: ") + *notice : QStringLiteral("success"));
    }
    void showError(const QString& message) override { calls << QStringLiteral("error: ") + message; }
    void show(const QString& original, const QString& corrected, const std::optional<QString>& notice) override {
        calls << QStringLiteral("preview: ") + original + QStringLiteral(" => ") + corrected +
                     (notice ? QStringLiteral(" | ") + *notice : QString());
    }
    void forceDismiss() override { calls << QStringLiteral("dismiss"); }

    QStringList calls;
};

class RecordingAnnouncer final : public AccessibilityAnnouncer {
public:
    struct Announcement {
        QString text;
        Priority priority;
        bool operator==(const Announcement&) const = default;
    };
    void announce(const QString& text, Priority priority) override { announcements.append({text, priority}); }
    QList<Announcement> announcements;
};

class RecordingHistory final : public CorrectionHistorySink {
public:
    struct Entry {
        QString original;
        QString corrected;
        std::optional<std::vector<CloudCorrectionModel>> models;
        std::optional<CorrectionWritingMode> mode;
    };
    void append(const QString& original, const QString& corrected,
                const std::optional<std::vector<CloudCorrectionModel>>& models,
                std::optional<CorrectionWritingMode> mode) override {
        entries.append({original, corrected, models, mode});
    }
    QList<Entry> entries;
};

// A capture and paste that take virtual time and answer what the test scripted.
class ScriptedTextTarget final : public TextTargetProviding {
public:
    explicit ScriptedTextTarget(VirtualClock& clock) : clock_(clock) {}

    QCoro::Task<TextCorrectionCaptureResult> captureTarget(CancellationToken token) override {
        ++captureCount;
        co_await clock_.sleep(captureDelay, token);
        if (token.isCancelled()) co_return TextCorrectionCaptureResult::noEditableTarget();
        auto copy = captureResult;
        co_return copy;
    }
    QCoro::Task<TextCorrectionApplicationResult> applyCorrection(TextCorrectionTarget target, QString corrected,
                                                                 CancellationToken token) override {
        applications.append({target, corrected});
        co_await clock_.sleep(applyDelay, token);
        auto copy = applyResult;
        co_return copy;
    }

    static TextCorrectionCaptureResult capturedText(const QString& text) {
        return TextCorrectionCaptureResult::captured({text, 501, true});
    }

    double captureDelay = 0.1;
    double applyDelay = 0.1;
    TextCorrectionCaptureResult captureResult = capturedText(QStringLiteral("Ths is wrong"));
    TextCorrectionApplicationResult applyResult = TextCorrectionApplicationResult::applied;
    int captureCount = 0;
    QList<std::pair<TextCorrectionTarget, QString>> applications;

private:
    VirtualClock& clock_;
};

// Answers after `latency` virtual seconds; fixes "Ths" and charges 1 credit per chunk unless
// `script` says otherwise for a request (numbered from 0).
class ScriptedCloud final : public CloudCorrectionProviding {
public:
    struct Reply {
        std::optional<QuilloCorrectionResult> result;
        std::exception_ptr error;
    };
    explicit ScriptedCloud(VirtualClock& clock) : clock_(clock) {}

    QCoro::Task<std::optional<QuilloCorrectionResult>> correctText(QString text, QString, CloudCorrectionModel model,
                                                                   CorrectionWritingMode mode,
                                                                   CancellationToken token) override {
        const int number = static_cast<int>(requests.size());
        requests.append({text, model, mode});
        std::optional<Reply> reply = script ? script(number, text) : std::nullopt;
        co_await clock_.sleepOrThrow(latency, token);
        if (!reply) {
            QString corrected = text;
            corrected.replace(QStringLiteral("Ths"), QStringLiteral("This"));
            co_return QuilloCorrectionResult{corrected, QuilloCorrectionRouting{model, model, model}, {model}, 1.0};
        }
        if (reply->error) std::rethrow_exception(reply->error);
        auto result = reply->result;
        co_return result;
    }

    struct Request {
        QString text;
        CloudCorrectionModel model;
        CorrectionWritingMode mode;
    };
    QList<Request> requests;
    double latency = 1.0;
    std::function<std::optional<Reply>(int, const QString&)> script;

private:
    VirtualClock& clock_;
};

class FakeSessions final : public QuilloSessionProviding {
public:
    std::optional<QuilloAuthSession> currentSession() const override { return session; }
    QCoro::Task<std::optional<QString>> authorizationBearer() override {
        std::optional<QString> bearer;
        if (session) bearer = QStringLiteral("Bearer ") + session->accessToken;
        co_return bearer;
    }
    void invalidateSessionIfUnauthorized(const QString&) override {}

    void setSession(std::optional<QuilloAuthSession> value) {
        session = std::move(value);
        emit sessionChanged(session);
    }

    // A session whose token names `sessionID` (a UUID) in its claims.
    static QuilloAuthSession signedIn(const QString& userID, const QString& sessionID) {
        const QByteArray payload =
            QByteArray("{\"sub\":\"") + userID.toUtf8() + "\",\"session_id\":\"" + sessionID.toUtf8() + "\"}";
        QuilloAuthSession s;
        s.accessToken =
            QStringLiteral("eyJhbGciOiJIUzI1NiJ9.") +
            QString::fromLatin1(payload.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)) +
            QStringLiteral(".sig");
        s.userId = userID;
        s.userEmail = QStringLiteral("person@example.invalid");
        return s;
    }

    std::optional<QuilloAuthSession> session;
};

inline constexpr std::uint16_t globeKeyCode = 63;
inline constexpr std::uint16_t f8KeyCode = 100;
inline constexpr std::uint16_t letterAKeyCode = 0;
inline constexpr std::uint16_t leftShiftKeyCode = 56;

class GlobalCorrectionServiceTest : public ::testing::Test {
protected:
    using Priority = AccessibilityAnnouncer::Priority;
    using Event = QuilloDiagnosticEvent;

    void SetUp() override {
        ASSERT_TRUE(folder.isValid());
        QuilloDiagnosticLogStore store;
        store.logURL = QuilloDiagnosticLogStore::logPath(folder.filePath(QStringLiteral("Quillo Test")));
        store.appVersion = QStringLiteral("1.0");
        store.appBuild = QStringLiteral("1");
        previousStore = QuilloDiagnostics::replaceStore(store);
        permission.trusted = true;
    }
    void TearDown() override {
        service.reset();
        QuilloDiagnostics::replaceStore(previousStore);
    }

    GlobalCorrectionService::Environment environment(std::optional<TextInsertionEngine::Platform> desktop = {}) {
        return GlobalCorrectionService::Environment{defaults,  tap,      permission, workspace, toast,
                                                    announcer, &history, clock,      desktop};
    }
    GlobalCorrectionService& makeService(TextTargetProviding* provider = nullptr, bool useScriptedTarget = true) {
        service = std::make_unique<GlobalCorrectionService>(
            environment(), &cloud, nullptr, provider ? provider : (useScriptedTarget ? &target : nullptr),
            [this](CorrectionStatus status) { statuses.append(status); }, &sessions);
        return *service;
    }
    GlobalCorrectionService& startedService() {
        auto& s = makeService();
        EXPECT_TRUE(s.startMonitoring());
        return s;
    }

    // One press of the default fn / Globe trigger, held `hold` seconds.
    void pressGlobe(double hold = 0.1) {
        tap.flagsChanged(globeKeyCode, ModifierFlags::function);
        clock.advance(hold);
        tap.flagsChanged(globeKeyCode, 0);
    }
    void settle(double seconds = 10.0) { clock.advance(seconds); }

    QList<QuilloDiagnosticRecord> records() {
        QuilloDiagnostics::flush();
        return QuilloDiagnostics::store().readRecords();
    }
    QList<Event> events() {
        QList<Event> list;
        for (const auto& r : records()) list.append(r.event);
        return list;
    }
    int count(Event event) { return static_cast<int>(events().count(event)); }
    int processingToasts() const { return static_cast<int>(toast.calls.count(QStringLiteral("processing"))); }
    static QString failure(const UserFacingErrorCatalog::CorrectionFailure& f) {
        return UserFacingErrorCatalog::correction(f);
    }

    QTemporaryDir folder;
    QuilloDiagnosticLogStore previousStore;
    VirtualClock clock;
    ScopedSharedClock sharedClock{clock};
    InMemoryUserDefaults defaults;
    FakeEventTap tap;
    FakeAccessibilityPermission permission;
    FakeWorkspace workspace;
    RecordingToast toast;
    RecordingAnnouncer announcer;
    RecordingHistory history;
    ScriptedTextTarget target{clock};
    ScriptedCloud cloud{clock};
    FakeSessions sessions;
    QList<CorrectionStatus> statuses;
    std::unique_ptr<GlobalCorrectionService> service;
};

} // namespace quillo::testing
