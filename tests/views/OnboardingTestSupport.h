#pragma once

#include "Platform/Fake/FakeAccessibilityPermission.h"
#include "Platform/Fake/FakeLocalKeyEventMonitor.h"
#include "Platform/Fake/FakeWorkspace.h"
#include "Platform/Fake/InMemorySecureStore.h"
#include "Platform/UserDefaults.h"
#include "Services/QuilloAuthService.h"
#include "Services/QuilloUpdater.h"
#include "Services/ScriptedCloudHttpTransport.h"
#include "Views/LaunchAtLoginSettings.h"
#include "Views/OnboardingWindow.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <memory>

namespace quillo::testing {

// Everything the onboarding window talks to, faked: the key monitor, the permission, the
// account endpoint (a scripted transport), the updater and the autostart entry.
struct OnboardingRig {
    OnboardingRig(UserDefaults& defaults, Clock& clock) : defaults(defaults), clock(clock), transport(clock) {
        QuilloAuthService::Options options;
        options.endpoint = QStringLiteral("https://127.0.0.1:9/api/correct");
        options.clock = &clock;
        options.recordEvent = [](QuilloDiagnosticEvent, std::optional<QUuid>) {};
        auth = std::make_unique<QuilloAuthService>(transport, secureStore, defaults, options);
    }

    OnboardingWindow* make(bool canCancel) {
        return new OnboardingWindow(OnboardingWindow::Dependencies{defaults, clock, keyMonitor, permission, workspace,
                                                                   *auth, updater, launchAtLogin},
                                    canCancel);
    }

    static QByteArray sessionBody(const QString& email = QStringLiteral("person@example.com")) {
        return QJsonDocument(QJsonObject{{"accessToken", "h.e30.s"},
                                         {"refreshToken", "r"},
                                         {"expiresIn", 3600},
                                         {"user", QJsonObject{{"id", "user-1"}, {"email", email}}}})
            .toJson(QJsonDocument::Compact);
    }

    UserDefaults& defaults;
    Clock& clock;
    FakeLocalKeyEventMonitor keyMonitor;
    FakeAccessibilityPermission permission;
    FakeWorkspace workspace;
    ScriptedCloudHttpTransport transport;
    InMemorySecureStore secureStore;
    std::unique_ptr<QuilloAuthService> auth;
    QuilloUpdater updater;
    bool launchAtLoginEnabled = false;
    int launchAtLoginChanges = 0;
    LaunchAtLoginSettings launchAtLogin{
        [this] { return launchAtLoginEnabled ? LaunchAtLoginStatus::enabled : LaunchAtLoginStatus::notRegistered; },
        [this](bool on) {
            ++launchAtLoginChanges;
            launchAtLoginEnabled = on;
        }};
};

} // namespace quillo::testing
