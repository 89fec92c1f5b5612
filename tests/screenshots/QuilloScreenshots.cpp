// Renders the README's screenshots from the application's own windows: every window is a real
// widget class of the product over real services, fed by fakes, a scripted cloud and a virtual
// clock. Run it on an X display with a window manager (scripts/screenshots makes one).
#include "ScreenshotStage.h"
#include "ShotComposer.h"

#include "Support/UserFacingErrorCatalog.h"
#include "Views/CreditPacksView.h"
#include "Views/MenuBarPopover.h"
#include "Views/MenuBarPopoverView.h"
#include "Views/OnboardingShortcutDemoController.h"
#include "Views/OnboardingWindow.h"
#include "Views/QuilloSettingsTab.h"
#include "Views/SettingsGeneralPage.h"
#include "Views/SettingsWindow.h"
#include "Views/StartupLoadingView.h"
#include "Views/StartupWindow.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLocale>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextStream>

#include <functional>
#include <memory>

using namespace quillo;
using namespace quillo::screenshots;

namespace {

struct Shot {
    QString name;
    std::function<QImage(ScreenshotStage&, ShotComposer&)> take;
};

QImage popover(ScreenshotStage& stage, ShotComposer& composer) {
    auto* view = new MenuBarPopoverView;
    view->setInputs(stage.popoverInputs());
    MenuBarPopover window(MenuBarPopover::Mode::popup, view);
    window.present(QPoint(900, 40));
    return composer.floating(&window);
}

QImage previewToast(ScreenshotStage& stage, ShotComposer& composer) {
    stage.toast->show(QStringLiteral("Hi Sam, i recieved you're message yesterday. Lets meet on tuesday at the libary "
                                     "to go over the slides, if thats ok with you."),
                      QStringLiteral("Hi Sam, I received your message yesterday. Let's meet on Tuesday at the library "
                                     "to go over the slides, if that's OK with you."),
                      std::nullopt);
    return composer.toast(stage);
}

QImage processingToast(ScreenshotStage& stage, ShotComposer& composer) {
    stage.toast->showProcessing();
    return composer.toast(stage);
}

QImage successToast(ScreenshotStage& stage, ShotComposer& composer) {
    stage.toast->showSuccess(std::nullopt);
    return composer.toast(stage);
}

QImage errorToast(ScreenshotStage& stage, ShotComposer& composer) {
    stage.toast->showError(
        UserFacingErrorCatalog::correction(UserFacingErrorCatalog::CorrectionFailure::insufficientCredits()));
    return composer.toast(stage);
}

// The settings window on one tab; `prepare` arranges it once it is on screen.
QImage settings(ScreenshotStage& stage, ShotComposer& composer, QuilloSettingsTab tab,
                const std::function<void(SettingsWindow&)>& prepare = {}) {
    stage.presentation.hide();
    stage.presentation.setSelectedSettingsTab(tab);
    SettingsWindow window(stage.settingsDependencies());
    window.show();
    composer.waitUntilShown(&window);
    stage.settle();
    if (prepare) prepare(window);
    return composer.decorated(&window);
}

QImage loadingWindow(ScreenshotStage& stage, ShotComposer& composer) {
    // The window stays up only while something needs the user: here, the input permission.
    stage.permission.trusted = false;
    stage.permissions->refresh();
    auto* view = new StartupLoadingView(
        [&stage] {
            return StartupLoadingInputs{QuilloCloudService::isConfigured(stage.cloud->endpointInUse()),
                                        stage.auth->isSignedIn(), stage.cloud->loadingError()};
        },
        *stage.permissions, QStringLiteral("Quillo"), [] {});
    StartupWindow window(view, true, false);
    window.show();
    composer.waitUntilShown(&window);
    QImage image = composer.floating(&window);
    stage.permission.trusted = true;
    stage.permissions->refresh();
    return image;
}

// The walkthrough on one practice step, the trigger already chosen, before it is pressed.
QImage onboarding(ScreenshotStage& stage, ShotComposer& composer, OnboardingStep step) {
    OnboardingWindow window(OnboardingWindow::Dependencies{stage.defaults, stage.clock, stage.keyMonitor,
                                                           stage.permission, stage.workspace, *stage.auth,
                                                           stage.updater, *stage.launchAtLogin},
                            false);
    window.setStep(step);
    composer.waitUntilShown(&window);
    window.demo().useCurrentTrigger();
    if (step == OnboardingStep::selection) {
        using Demo = OnboardingShortcutDemoController;
        window.demo().setSelectedRange(
            {window.demo().demoText().indexOf(Demo::selectionPhrase), Demo::selectionPhrase.size()});
    }
    stage.settle();
    composer.settle(&window);
    return composer.decorated(&window);
}

const std::vector<Shot>& allShots() {
    static const std::vector<Shot> shots{
        {QStringLiteral("popover"), popover},
        {QStringLiteral("toast-preview"), previewToast},
        {QStringLiteral("toast-processing"), processingToast},
        {QStringLiteral("toast-success"), successToast},
        {QStringLiteral("toast-error"), errorToast},
        {QStringLiteral("settings-general"),
         [](ScreenshotStage& s, ShotComposer& c) { return settings(s, c, QuilloSettingsTab::general); }},
        {QStringLiteral("settings-credit-packs"),
         [](ScreenshotStage& s, ShotComposer& c) {
             return settings(s, c, QuilloSettingsTab::general, [&c](SettingsWindow& window) {
                 window.showCreditPacks();
                 c.settle(&window);
                 // The credits section (the packs' card and its title) at the top, the engine
                 // choices under it.
                 QWidget* page = window.generalPage();
                 const QWidget* credits = page->findChild<CreditPacksView*>()->parentWidget()->parentWidget();
                 window.generalScrollArea()->verticalScrollBar()->setValue(credits->mapTo(page, QPoint()).y() - 12);
                 c.settle(&window);
             });
         }},
        {QStringLiteral("settings-history"),
         [](ScreenshotStage& s, ShotComposer& c) { return settings(s, c, QuilloSettingsTab::history); }},
        {QStringLiteral("settings-about"),
         [](ScreenshotStage& s, ShotComposer& c) { return settings(s, c, QuilloSettingsTab::about); }},
        {QStringLiteral("onboarding-practice"),
         [](ScreenshotStage& s, ShotComposer& c) { return onboarding(s, c, OnboardingStep::shortcut); }},
        {QStringLiteral("onboarding-selection"),
         [](ScreenshotStage& s, ShotComposer& c) { return onboarding(s, c, OnboardingStep::selection); }},
        {QStringLiteral("loading"), loadingWindow},
    };
    return shots;
}

} // namespace

int main(int argc, char** argv) {
    // Dates and numbers read the same on every machine.
    qputenv("TZ", "UTC");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillo"));
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Saves the README's screenshots of Quillo's windows as PNG files."));
    parser.addHelpOption();
    parser.addOption({QStringLiteral("out"), QStringLiteral("Folder for the PNG files."), QStringLiteral("dir"),
                      QStringLiteral(".")});
    parser.addOption({QStringLiteral("list"), QStringLiteral("Print the names of the screenshots and stop.")});
    parser.addPositionalArgument(QStringLiteral("name"), QStringLiteral("Only these screenshots."),
                                 QStringLiteral("[name...]"));
    parser.process(app);

    QTextStream out(stdout);
    if (parser.isSet(QStringLiteral("list"))) {
        for (const Shot& shot : allShots()) out << shot.name << '\n';
        return 0;
    }
    const QStringList only = parser.positionalArguments();
    for (const QString& name : only) {
        const bool known =
            std::any_of(allShots().begin(), allShots().end(), [&name](const Shot& shot) { return shot.name == name; });
        if (!known) {
            QTextStream(stderr) << "unknown screenshot: " << name << '\n';
            return 2;
        }
    }
    const QDir folder(parser.value(QStringLiteral("out")));
    if (!folder.mkpath(QStringLiteral("."))) {
        QTextStream(stderr) << "cannot make " << folder.path() << '\n';
        return 1;
    }

    ScreenshotStage stage;
    ShotComposer composer;
    int failures = 0;
    for (const Shot& shot : allShots()) {
        if (!only.isEmpty() && !only.contains(shot.name)) continue;
        const QImage image = shot.take(stage, composer);
        stage.toast->forceDismiss();
        const QString path = folder.filePath(shot.name + QStringLiteral(".png"));
        if (image.isNull() || !image.save(path)) {
            QTextStream(stderr) << "could not save " << path << '\n';
            ++failures;
            continue;
        }
        out << path << ' ' << image.width() << 'x' << image.height() << '\n';
        out.flush();
    }
    return failures == 0 ? 0 : 1;
}
