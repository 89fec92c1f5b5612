#include "ScreenshotStage.h"

#include "Models/CorrectionModels.h"
#include "Models/CorrectionTriggerKey.h"
#include "Services/KeyboardPreferences.h"
#include "Services/QuilloAuthSessionStore.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace quillo::screenshots {

namespace {

const QString endpoint = QStringLiteral("https://127.0.0.1:9/api/correct");

// A token whose payload names a session, as the account service issues them.
QString accessToken() {
    const QByteArray payload = QJsonDocument(QJsonObject{{"session_id", "5f0c1d2e-3a4b-4c5d-8e6f-7a8b9c0d1e2f"}})
                                   .toJson(QJsonDocument::Compact);
    return QStringLiteral("e30.") +
           QString::fromLatin1(payload.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals)) +
           QStringLiteral(".sig");
}

ScriptedCloudHttpTransport::Step answer(const CloudHttpRequest& request) {
    using Step = ScriptedCloudHttpTransport::Step;
    if (request.url.query() == QStringLiteral("action=health")) return Step::json(200, R"({"status":"ok"})");
    if (request.method == "GET")
        return Step::json(200, QJsonDocument(QJsonObject{{"balanceCredits", ScreenshotStage::availableCredits},
                                                         {"reservedCredits", 0},
                                                         {"availableCredits", ScreenshotStage::availableCredits}})
                                   .toJson(QJsonDocument::Compact));
    return Step::failure(NetworkErrorCode::cannotConnectToHost);
}

} // namespace

ScreenshotStage::ScreenshotStage() : connectivity(ConnectivityServiceTestAccess::makeUnmonitored()) {
    transport.setHandler(&answer);
    signIn();

    QuilloAuthService::Options authOptions;
    authOptions.endpoint = endpoint;
    authOptions.clock = &clock;
    authOptions.presenter = &presenter;
    authOptions.recordEvent = [](QuilloDiagnosticEvent, std::optional<QUuid>) {};
    auth = std::make_unique<QuilloAuthService>(transport, secureStore, defaults, authOptions);
    health = std::make_unique<CloudHealthChecker>(transport, 180.0, clock);
    QuilloCloudService::Options cloudOptions;
    cloudOptions.endpoint = endpoint;
    cloudOptions.clock = &clock;
    cloudOptions.recordEvent = [](QuilloDiagnosticEvent, std::optional<QUuid>) {};
    cloud = std::make_unique<QuilloCloudService>(transport, *auth, health.get(), cloudOptions);
    QuilloPaymentService::Options paymentOptions;
    paymentOptions.checkoutURL = QUrl(QStringLiteral("https://127.0.0.1:9/api/checkout"));
    paymentOptions.checkoutHost = QStringLiteral("localhost");
    paymentOptions.clock = &clock;
    paymentOptions.openURL = [](const QUrl&) { return true; };
    paymentOptions.recordEvent = [](QuilloDiagnosticEvent) {};
    payment = std::make_unique<QuilloPaymentService>(transport, defaults, workspace, paymentOptions);
    permissions = std::make_unique<InputPermissionCoordinator>(permission, workspace, clock);
    launchAtLogin = std::make_unique<LaunchAtLoginSettings>([] { return LaunchAtLoginStatus::enabled; }, [](bool) {});

    // The choices a user makes in the first days.
    defaults.setString(KeyboardSettingsKeys::triggerKey, CorrectionTriggerKeys::rawValue(CorrectionTriggerKey::f8));
    defaults.setString(CorrectionSettingsKeys::cloudModel, CloudCorrectionModels::rawValue(CloudCorrectionModel::fast));
    permission.trusted = true;
    permissions->refresh();

    history = std::make_unique<QuilloCorrectionHistory>(secureStore, defaults, historyDirectory.path(),
                                                        QStringLiteral("com.quillo.app.screenshots.local-history"));
    fillHistory();

    toast = std::make_unique<CorrectionToastController>(CorrectionToastController::Dependencies{
        defaults, screens, clock, nullptr, [] { return AccessibilityMotionPolicy::make(false); }, {}, false});

    QCoro::connect(cloud->refreshAccount(*auth), cloud.get(), [] {});
    settle();
}

ScreenshotStage::~ScreenshotStage() {
    toast.reset();
    history.reset();
    launchAtLogin.reset();
    permissions.reset();
    payment.reset();
    cloud.reset();
    health.reset();
    auth.reset();
}

void ScreenshotStage::signIn() {
    QuilloAuthSession session;
    session.accessToken = accessToken();
    session.userId = QStringLiteral("3e1f6a52-9b7d-4c08-a1e4-52d0b9c6f713");
    session.userEmail = email;
    QuilloAuthSessionStore::storeSessionData(secureStore, session.toJson());
}

void ScreenshotStage::fillHistory() {
    struct Pair {
        const char* original;
        const char* corrected;
        CloudCorrectionModel model;
        CorrectionWritingMode mode;
        double hoursLater;
    };
    // Oldest first: each is put in front of the list.
    const Pair pairs[] = {
        {"Could you send me the adress of the restaurant befor six?",
         "Could you send me the address of the restaurant before six?", CloudCorrectionModel::veryVeryFast,
         CorrectionWritingMode::proofread, 0.0},
        {"Thanks for you help with the move, it realy made a diffrence.",
         "Thanks for your help with the move; it really made a difference.", CloudCorrectionModel::fast,
         CorrectionWritingMode::proofread, 5.5},
        {"The report are ready for review but their is still two charts missing.",
         "The report is ready for review, but there are still two charts missing.", CloudCorrectionModel::fast,
         CorrectionWritingMode::contextual, 20.25},
        {"i will be late to the standup, my train is delayed by twenty minute.",
         "I will be late to the stand-up; my train is delayed by twenty minutes.", CloudCorrectionModel::fast,
         CorrectionWritingMode::proofread, 2.75},
    };
    for (const Pair& pair : pairs) {
        clock.advance(pair.hoursLater * 3600.0);
        history->append(QString::fromUtf8(pair.original), QString::fromUtf8(pair.corrected),
                        std::vector<CloudCorrectionModel>{pair.model}, pair.mode);
    }
}

SettingsDependencies ScreenshotStage::settingsDependencies() {
    SettingsDependencies d(defaults, clock, *connectivity, *cloud, *auth, *payment, presentation, updater, *permissions,
                           *launchAtLogin, keyMonitor, *history, [] {});
    d.testBuild = false;
    d.recordEvent = [](QuilloDiagnosticEvent) {};
    return d;
}

MenuBarPopoverInputs ScreenshotStage::popoverInputs() const {
    MenuBarPopoverInputs in;
    in.signedIn = auth->isSignedIn();
    if (const auto& account = cloud->account()) in.availableCredits = account->availableCredits;
    in.cloudErrorMessage = cloud->loadingError();
    in.networkConnected = connectivity->isOnline();
    in.cloudConfigured = QuilloCloudService::isConfigured(cloud->endpointInUse());
    in.isRefreshing = cloud->isRefreshingAccount();
    in.cloudModel = CloudCorrectionModels::storedValue(defaults.string(CorrectionSettingsKeys::cloudModel));
    return in;
}

void ScreenshotStage::settle() {
    clock.runDue();
    for (int i = 0; i < 200 && clock.secondsUntilNextTimer() == 0.0; ++i) clock.runDue();
}

} // namespace quillo::screenshots
