#pragma once

#include "Platform/Fake/FakeAccessibilityPermission.h"
#include "Platform/Fake/FakeLocalKeyEventMonitor.h"
#include "Platform/Fake/FakeWebAuthenticationSession.h"
#include "Platform/Fake/FakeWorkspace.h"
#include "Platform/Fake/InMemorySecureStore.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/CloudHealthChecker.h"
#include "Services/ConnectivityService.h"
#include "Services/QuilloAuthService.h"
#include "Services/QuilloAuthSessionStore.h"
#include "Services/QuilloCloudService.h"
#include "Services/QuilloCorrectionHistory.h"
#include "Services/QuilloOAuthPresenter.h"
#include "Services/QuilloPaymentService.h"
#include "Services/QuilloUpdater.h"
#include "Services/ScriptedCloudHttpTransport.h"
#include "Support/InputPermissionCoordinator.h"
#include "Support/VirtualClock.h"
#include "Views/CreditPurchasePresentation.h"
#include "Views/LaunchAtLoginSettings.h"
#include "Views/SettingsWindow.h"

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <memory>

namespace quillo::testing {

// An updater whose state a test sets, as the real one would publish it.
class ScriptedUpdater final : public QuilloUpdater {
public:
    void configure(bool configured, bool testBuild = false) {
        isConfigured_ = configured;
        isTestBuild_ = testBuild;
        canCheckForUpdates_ = configured;
        emit canCheckForUpdatesChanged();
    }
    void setAvailableVersion(std::optional<QString> version) {
        availableVersion_ = std::move(version);
        emit availableVersionChanged();
    }
};

// Every service the settings window shows, over fakes and a scripted cloud, on a virtual clock.
class SettingsTestRig {
public:
    static inline const QString userID = QStringLiteral("0d9c8b7a-6f5e-4d3c-2b1a-098765432100");
    static inline const QString sessionID = QStringLiteral("aaaaaaaa-0000-4000-8000-000000000001");
    static inline const QString email = QStringLiteral("person@example.com");
    static inline const QString checkoutHost = QStringLiteral("checkouthost");

    VirtualClock clock;
    ScopedSharedClock sharedClock{clock};
    ScriptedCloudHttpTransport transport{clock};
    InMemorySecureStore secureStore;
    InMemoryUserDefaults defaults;
    FakeWorkspace workspace;
    FakeAccessibilityPermission permission;
    std::unique_ptr<ConnectivityService> connectivity{ConnectivityServiceTestAccess::makeUnmonitored()};
    FakeWebAuthenticationSession web;
    QuilloOAuthPresenter presenter{web, clock};
    std::unique_ptr<QuilloAuthService> auth;
    std::unique_ptr<CloudHealthChecker> health;
    std::unique_ptr<QuilloCloudService> cloud;
    std::unique_ptr<QuilloPaymentService> payment;
    CreditPurchasePresentation presentation;
    ScriptedUpdater updater;
    std::unique_ptr<InputPermissionCoordinator> permissions;
    LaunchAtLoginStatus loginStatus = LaunchAtLoginStatus::notRegistered;
    QList<bool> loginRequests;
    std::unique_ptr<LaunchAtLoginSettings> launchAtLogin;
    FakeLocalKeyEventMonitor keyMonitor;
    QTemporaryDir historyDirectory;
    std::unique_ptr<QuilloCorrectionHistory> history;
    QList<QuilloDiagnosticEvent> events;
    QList<QUrl> openedCheckouts;
    int restartOnboardingCount = 0;

    static QString accessToken() {
        const QByteArray payload = QJsonDocument(QJsonObject{{"session_id", sessionID}}).toJson(QJsonDocument::Compact);
        return QStringLiteral("e30.") +
               QString::fromLatin1(payload.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)) +
               QStringLiteral(".sig");
    }

    ~SettingsTestRig() { stop(); }

    // Makes the services; with `signedIn` a stored session is restored, Google's when asked.
    void start(bool signedIn, bool google = false) {
        stop();
        if (signedIn) {
            QuilloAuthSession session;
            session.accessToken = accessToken();
            session.userId = userID;
            session.userEmail = email;
            if (google) session.signInProvider = QStringLiteral("google");
            QuilloAuthSessionStore::storeSessionData(secureStore, session.toJson());
        }
        QuilloAuthService::Options authOptions;
        authOptions.endpoint = QStringLiteral("https://127.0.0.1:9/api/correct");
        authOptions.clock = &clock;
        authOptions.presenter = &presenter;
        authOptions.recordEvent = [](QuilloDiagnosticEvent, std::optional<QUuid>) {};
        auth = std::make_unique<QuilloAuthService>(transport, secureStore, defaults, authOptions);
        health = std::make_unique<CloudHealthChecker>(transport, 180.0, clock);
        QuilloCloudService::Options cloudOptions;
        cloudOptions.endpoint = QStringLiteral("https://127.0.0.1:9/api/correct");
        cloudOptions.clock = &clock;
        cloudOptions.recordEvent = [](QuilloDiagnosticEvent, std::optional<QUuid>) {};
        cloud = std::make_unique<QuilloCloudService>(transport, *auth, health.get(), cloudOptions);
        QuilloPaymentService::Options paymentOptions;
        paymentOptions.checkoutURL = QUrl(QStringLiteral("https://127.0.0.1:9/api/checkout"));
        paymentOptions.checkoutHost = checkoutHost;
        paymentOptions.clock = &clock;
        paymentOptions.openURL = [this](const QUrl& url) {
            openedCheckouts.append(url);
            return true;
        };
        paymentOptions.recordEvent = [this](QuilloDiagnosticEvent event) { events.append(event); };
        payment = std::make_unique<QuilloPaymentService>(transport, defaults, workspace, paymentOptions);
        permissions = std::make_unique<InputPermissionCoordinator>(permission, workspace, clock);
        launchAtLogin = std::make_unique<LaunchAtLoginSettings>(
            [this] { return loginStatus; },
            [this](bool on) {
                loginRequests.append(on);
                loginStatus = on ? LaunchAtLoginStatus::enabled : LaunchAtLoginStatus::notRegistered;
            });
        history = std::make_unique<QuilloCorrectionHistory>(secureStore, defaults, historyDirectory.path(),
                                                            QStringLiteral("com.quillo.app.test.local-history"));
    }

    // Ends the services, users first.
    void stop() {
        history.reset();
        launchAtLogin.reset();
        permissions.reset();
        payment.reset();
        cloud.reset();
        health.reset();
        auth.reset();
    }

    SettingsDependencies dependencies() {
        SettingsDependencies d(defaults, clock, *connectivity, *cloud, *auth, *payment, presentation, updater,
                               *permissions, *launchAtLogin, keyMonitor, *history,
                               [this] { ++restartOnboardingCount; });
        d.testBuild = false;
        d.versionText = QStringLiteral("Version 1.2.3 (45)");
        d.supportEmail = QStringLiteral("help@quillo.example");
        d.recordEvent = [this](QuilloDiagnosticEvent event) { events.append(event); };
        return d;
    }

    // Runs every timer and resumed task that falls due, up to `limit` of them.
    void settle(int limit = 200) {
        clock.runDue();
        for (int i = 0; i < limit && clock.secondsUntilNextTimer() == 0.0; ++i) clock.runDue();
    }
};

template <typename T> T* child(QWidget* root, const QString& name) { return root->findChild<T*>(name); }

} // namespace quillo::testing
