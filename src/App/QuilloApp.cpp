#include "App/QuilloApp.h"

#include "App/AppDelegate.h"
#include "App/AppInstanceChannel.h"
#include "App/AppLaunchOptions.h"
#include "App/DesktopPlatform.h"
#include "App/GlobalCorrectionMonitor.h"
#include "App/LoggingAccessibilityAnnouncer.h"
#include "App/QuilloCloudAppState.h"
#include "App/StartupSignIn.h"
#include "App/XdgUrlSchemeRegistration.h"
#include "Platform/Linux/KeychainSecureStore.h"
#include "Platform/Linux/LinuxAccessibility.h"
#include "Platform/Linux/LinuxWebAuthenticationSession.h"
#include "Platform/Linux/QtLocalKeyEventMonitor.h"
#include "Platform/Linux/SettingsUserDefaults.h"
#include "Services/ConnectivityService.h"
#include "Services/FeedUpdateFramework.h"
#include "Services/QtCloudHttpTransport.h"
#include "Services/QuilloAuthService.h"
#include "Services/QuilloAuthSessionStore.h"
#include "Services/QuilloCloudService.h"
#include "Services/QuilloCorrectionHistory.h"
#include "Services/QuilloOAuthPresenter.h"
#include "Services/QuilloPaymentService.h"
#include "Services/QuilloUpdater.h"
#include "Support/Logging.h"
#include "Support/QuilloAppEnvironment.h"
#include "Views/AuthenticatorCodeDialog.h"
#include "Views/CreditPurchasePresentation.h"
#include "Views/DesktopToastScreenSource.h"
#include "Views/LaunchAtLoginSettings.h"
#include "Views/OnboardingWindow.h"
#include "Views/QuilloSymbol.h"
#include "Views/SettingsWindow.h"
#include "Views/TriggerCommandLine.h"
#include "Views/WidgetUpdateUserDriver.h"

#include <QApplication>
#include <QNetworkInformation>
#include <QStandardPaths>
#include <QSysInfo>
#include <cstdio>

namespace quillo {

namespace QuilloApp {

namespace {

std::optional<QUrl> urlArgument(const QStringList& arguments) {
    for (const QString& argument : arguments) {
        const QUrl url(argument, QUrl::StrictMode);
        if (url.isValid() && !url.scheme().isEmpty()) return url;
    }
    return std::nullopt;
}

// --version answers without a display or a running instance.
bool answerVersionRequest(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) != "--version") continue;
        std::printf("%s %s\n", qUtf8Printable(QuilloAppEnvironment::displayName()),
                    qUtf8Printable(QuilloCloudService::clientVersion()));
        return true;
    }
    return false;
}

// `quillo --trigger`: hands a trigger to the running instance and returns at once. It needs no
// display, and it never becomes the instance itself: a desktop shortcut pressed while Quillo is
// not running must not start a correction-less copy of it.
int sendTrigger(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const auto channelName = AppInstanceChannel::defaultServerName(QuilloAppEnvironment::current().bundleIdentifier);
    if (channelName &&
        AppInstanceChannel(*channelName).sendToRunningInstance(AppInstanceChannel::Request::correctionTrigger()))
        return 0;
    std::fprintf(stderr, "quillo: %s is not running, so there is nothing to trigger. Start %s first.\n",
                 qUtf8Printable(QuilloAppEnvironment::displayName()),
                 qUtf8Printable(QuilloAppEnvironment::displayName()));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    if (answerVersionRequest(argc, argv)) return 0;
    auto parsed = AppLaunchOptions::fromProcess(argc, argv);
    if (const QString* error = std::get_if<QString>(&parsed)) {
        std::fprintf(stderr, "quillo: %s\n%s", qUtf8Printable(*error), AppLaunchOptions::usage);
        return 2;
    }
    AppLaunchOptions launch = std::get<AppLaunchOptions>(std::move(parsed));
    if (launch.helpRequested) {
        std::fputs(AppLaunchOptions::usage, stdout);
        return 0;
    }
    if (launch.triggerRequested) return sendTrigger(argc, argv);
    // The desktop layer follows the session; our own windows (the toast's placement) prefer X11
    // wherever there is a display for it, XWayland included.
    const DesktopSession session = currentDesktopSession();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QuilloAppEnvironment::displayName());
    QApplication::setDesktopFileName(QuilloAppEnvironment::current().bundleIdentifier);
    QApplication::setWindowIcon(QuilloSymbols::icon(QuilloSymbol::appIcon));
    QApplication::setQuitOnLastWindowClosed(false);

    const QString applicationId = QuilloAppEnvironment::current().bundleIdentifier;
    const std::optional<QUrl> launchUrl = urlArgument(launch.positionalArguments);
    const auto channelName = AppInstanceChannel::defaultServerName(applicationId);
    if (!channelName) {
        std::fputs("quillo: no private folder for the session channel; set XDG_RUNTIME_DIR to a folder of your own\n",
                   stderr);
        return 1;
    }
    AppInstanceChannel channel(*channelName);
    if (!channel.listen()) {
        if (channel.sendToRunningInstance({launchUrl})) return 0;
        std::fputs("quillo: another instance holds the session channel but does not answer\n", stderr);
        return 1;
    }

    Clock& clock = Clock::shared();
    SettingsUserDefaults defaults;
    KeychainSecureStore secureStore;
    QtCloudHttpTransport transport;
    LinuxWebAuthenticationSession webAuthentication;
    QuilloOAuthPresenter oauthPresenter(webAuthentication, clock);
    QuilloAuthService::Options authOptions;
    authOptions.clock = &clock;
    authOptions.presenter = &oauthPresenter;
    authOptions.endpoint = launch.endpoint;
    AuthenticatorCodeDialog codePrompt;
    authOptions.codePrompt = &codePrompt;
    QuilloAuthService sessions(transport, secureStore, defaults, authOptions);
    QuilloCloudService::Options cloudOptions;
    cloudOptions.endpoint = launch.endpoint;
    QuilloCloudService cloud(transport, sessions, nullptr, cloudOptions);
    QuilloCloudAppState cloudState(cloud, sessions);
    QuilloCorrectionHistory history(secureStore, defaults);

    const std::unique_ptr<DesktopPlatform> desktop =
        DesktopPlatform::make(session, TriggerCommandLine::current(), defaults);
    Workspace& workspace = desktop->workspace();
    LinuxAccessibility accessibility(clock);
    // Browsers decide at their start whether to describe their pages on the accessibility bus
    // (Chromium ignores the switch once running): switch it on now, for every browser started
    // from here on. Without their description no browser field is ever typed into.
    if (!AtSpiBus::enableAccessibility())
        qCWarning(lcApp, "The desktop's accessibility could not be switched on; browser fields stay uncorrected");
    Pasteboard& pasteboard = desktop->pasteboard();
    KeystrokeSender& keystrokes = desktop->keystrokes();
    KeyboardLayout& keyboardLayout = desktop->keyboardLayout();
    EventTap& eventTap = desktop->eventTap();
    AccessibilityPermission& permission = desktop->permission();
    LoggingAccessibilityAnnouncer announcer;
    DesktopToastScreenSource screens;
    LaunchAtLoginSettings launchAtLogin;
    // What the settings window shows and edits besides the above.
    QuilloPaymentService::Options paymentOptions = QuilloPaymentService::defaultOptions();
    paymentOptions.checkoutURL = QuilloCloudService::checkoutURL(launch.endpoint);
    QuilloPaymentService payment(transport, defaults, workspace, paymentOptions);
    CreditPurchasePresentation creditPurchase;
    QtLocalKeyEventMonitor keyMonitor;

    // Updates: the signed feed of the build, its dialogs, and packages kept in the cache folder.
    QuilloInfoDictionary info = QuilloBundleInfo::main();
    if (launch.updateFeed) info.insert(QuilloBundleInfo::updateFeedUrlKey, *launch.updateFeed);
    const InstalledRelease installed{
        QuilloAppEnvironment::string(info, QuilloBundleInfo::shortVersionKey).value_or(QStringLiteral("1.0")),
        QuilloAppEnvironment::string(info, QuilloBundleInfo::bundleVersionKey).value_or(QString()),
        QSysInfo::kernelVersion()};
    WidgetUpdateUserDriver updateDriver(installed.version,
                                        [&workspace](const QUrl& url) { return workspace.openUrl(url); });
    const QString updateCache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
                                QLatin1Char('/') + QuilloAppEnvironment::dataFolderName() + QStringLiteral("/Updates");
    QuilloUpdater updater(QuilloUpdater::Dependencies{
        defaults, clock, info,
        [&](const UpdateFeedConfiguration& configuration, UpdateFrameworkDelegate& updaterDelegate) {
            return std::make_unique<FeedUpdateFramework>(FeedUpdateFramework::Environment{transport, defaults, clock,
                                                                                          workspace, updateDriver,
                                                                                          installed, updateCache},
                                                         configuration, updaterDelegate);
        }});

    AppDelegate::Environment environment{defaults, clock, permission, workspace, screens, cloudState};
    environment.announcer = &announcer;
    environment.launchAtLogin = &launchAtLogin;
    environment.updater = &updater;
    environment.startUpdater = [&updater] { updater.startAfterOnboarding(); };
    environment.makeCorrectionMonitor = [&](CorrectionToastPresenting& toast, AppDelegate::StatusHandler onStatus) {
        GlobalCorrectionService::Environment serviceEnvironment{
            defaults,
            eventTap,
            permission,
            workspace,
            toast,
            announcer,
            &history,
            clock,
            TextInsertionEngine::Platform{workspace, accessibility, pasteboard, keystrokes, keyboardLayout}};
        auto service = std::make_unique<GlobalCorrectionService>(serviceEnvironment, &cloud, nullptr, nullptr,
                                                                 std::move(onStatus), &sessions);
        return std::make_unique<GlobalCorrectionMonitor>(std::move(service));
    };
    environment.makeSettingsWindow = [&](InputPermissionCoordinator& permissions,
                                         std::function<void()> restartOnboarding) {
        SettingsDependencies dependencies(defaults, clock, ConnectivityService::shared(), cloud, sessions, payment,
                                          creditPurchase, updater, permissions, launchAtLogin, keyMonitor, history,
                                          std::move(restartOnboarding));
        dependencies.desktopBindingLine = [&desktop](const CorrectionTriggerPreference& trigger) {
            return desktop->bindingLine(trigger);
        };
        return new SettingsWindow(std::move(dependencies));
    };
    environment.makeOnboardingWindow = [&](bool canCancel) {
        OnboardingWindow::Dependencies dependencies{defaults,   clock,         keyMonitor,
                                                    permission, workspace,     sessions,
                                                    updater,    launchAtLogin, QuilloAppEnvironment::displayName()};
        dependencies.desktopBindingLine = [&desktop](const CorrectionTriggerPreference& trigger) {
            return desktop->bindingLine(trigger);
        };
        return new OnboardingWindow(std::move(dependencies), canCancel);
    };
    environment.startUpdater = [&updater] { updater.startAfterOnboarding(); };
    environment.oauthCallback = [&oauthPresenter](const QUrl& url) { return oauthPresenter.deliverCallback(url); };
    environment.registerUrlScheme = [applicationId] {
        return XdgUrlSchemeRegistration::registerHandler(applicationId, QApplication::applicationFilePath(),
                                                         QuilloAppEnvironment::displayName());
    };

    AppDelegate delegate(environment);
    delegate.showEarlySplash();
    delegate.applicationWillFinishLaunching();
    QObject::connect(&channel, &AppInstanceChannel::requestReceived, &delegate,
                     [&delegate](const AppInstanceChannel::Request& request) {
                         if (request.trigger) delegate.handleTriggerCommand();
                         else if (request.url) delegate.handleOpenUrl(*request.url);
                         else delegate.applicationShouldHandleReopen();
                     });
    desktop->setTriggerHandler([&delegate] { delegate.handleTriggerCommand(); });
    desktop->setNoticeHandler([&delegate](const QString& sentence) { delegate.toast().showError(sentence); });
    QObject::connect(&app, &QGuiApplication::applicationStateChanged, &delegate, [&delegate](Qt::ApplicationState s) {
        if (s == Qt::ApplicationActive) delegate.applicationDidBecomeActive();
    });
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &delegate,
                     [&delegate] { delegate.applicationWillTerminate(); });

    if (QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability)) {
        QNetworkInformation* network = QNetworkInformation::instance();
        const auto online = [network] {
            // An unknown answer (no backend opinion) counts as online: requests then say otherwise.
            return network->reachability() != QNetworkInformation::Reachability::Disconnected;
        };
        delegate.setOnline(online());
        QObject::connect(network, &QNetworkInformation::reachabilityChanged, &delegate,
                         [&delegate, online] { delegate.setOnline(online()); });
    }

    QObject::connect(&delegate, &AppDelegate::startupFinished, [] { qCInfo(lcApp, "Start-up finished"); });
    delegate.applicationDidFinishLaunching();
    if (launchUrl) delegate.handleOpenUrl(*launchUrl);
    std::unique_ptr<StartupSignIn> startupSignIn;
    if (launch.signInEmail) {
        startupSignIn = std::make_unique<StartupSignIn>(sessions, *launch.signInEmail,
                                                        *std::exchange(launch.signInPassword, std::nullopt));
        QObject::connect(startupSignIn.get(), &StartupSignIn::finished, &delegate, [&cloudState](bool signedIn) {
            if (signedIn) cloudState.synchronize(true);
        });
        startupSignIn->start();
    }
    return QApplication::exec();
}

} // namespace QuilloApp

} // namespace quillo
