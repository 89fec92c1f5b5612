#include "Views/SettingsWindow.h"

#include "Platform/UserDefaults.h"
#include "Services/QuilloAuthService.h"
#include "Services/QuilloCloudService.h"
#include "Services/QuilloUpdater.h"
#include "Support/InputPermissionCoordinator.h"
#include "Support/QuilloAppEnvironment.h"
#include "Views/CorrectionHistoryView.h"
#include "Views/CreditPacksView.h"
#include "Views/CreditPurchasePresentation.h"
#include "Views/LaunchAtLoginSettings.h"
#include "Views/SettingsAboutPage.h"
#include "Views/SettingsControls.h"
#include "Views/SettingsGeneralPage.h"
#include "Views/SettingsWindowRules.h"
#include "Views/TriggerKeyDetection.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include <qcoro/qcorotask.h>

namespace quillo {

namespace {

SettingsDependencies withBuildFacts(SettingsDependencies dependencies) {
    if (!dependencies.testBuild) dependencies.testBuild = QuilloAppEnvironment::current().isTestBuild();
    return dependencies;
}

} // namespace

SettingsWindow::SettingsWindow(Dependencies dependencies, QWidget* parent)
    : QWidget(parent), deps_(withBuildFacts(std::move(dependencies))) {
    setWindowTitle(windowTitleText);
    setWindowIcon(QuilloSymbols::icon(QuilloSymbol::appIcon));
    resize(defaultWidth, defaultHeight);
    setMinimumSize(minimumWidth, minimumHeight);
    detection_ = new TriggerKeyDetection(deps_.defaults, deps_.keyMonitor, deps_.clock, this);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    // Shown while the updater knows of a newer version.
    updateBanner_ = new QWidget(this);
    updateBanner_->setObjectName(QStringLiteral("updateBanner"));
    updateBanner_->setAutoFillBackground(true);
    auto* banner = new QHBoxLayout(updateBanner_);
    banner->setContentsMargins(16, 8, 16, 8);
    banner->addWidget(
        SettingsControls::symbolLabel(QuilloSymbol::arrowDownCircleFill, QuilloPalette::purple, updateBanner_));
    updateBannerText_ = new QLabel(updateBanner_);
    updateBannerText_->setObjectName(QStringLiteral("updateBannerText"));
    banner->addWidget(updateBannerText_, 1);
    auto* viewUpdate = new QPushButton(QStringLiteral("View Update…"), updateBanner_);
    viewUpdate->setObjectName(QStringLiteral("viewUpdate"));
    banner->addWidget(viewUpdate);
    column->addWidget(updateBanner_);
    connect(viewUpdate, &QPushButton::clicked, this, [this] { deps_.updater.checkForUpdates(); });
    connect(&deps_.updater, &QuilloUpdater::availableVersionChanged, this, &SettingsWindow::refreshUpdateBanner);

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("settingsTabs"));
    tabs_->setDocumentMode(true);
    general_ = new SettingsGeneralPage(deps_, *detection_);
    generalScroll_ = new QScrollArea;
    generalScroll_->setObjectName(QStringLiteral("generalScroll"));
    generalScroll_->setWidgetResizable(true);
    generalScroll_->setFrameShape(QFrame::NoFrame);
    generalScroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    generalScroll_->setWidget(general_);
    history_ = new CorrectionHistoryView(deps_.history);
    about_ = new SettingsAboutPage(deps_);
    for (QuilloSettingsTab tab : QuilloSettingsTabs::allCases) {
        QWidget* page = tab == QuilloSettingsTab::general   ? static_cast<QWidget*>(generalScroll_)
                        : tab == QuilloSettingsTab::history ? static_cast<QWidget*>(history_)
                                                            : static_cast<QWidget*>(about_);
        tabs_->addTab(page, QuilloSymbols::icon(QuilloSettingsTabs::symbol(tab), QuilloPalette::grey),
                      QuilloSettingsTabs::title(tab));
    }
    column->addWidget(tabs_, 1);

    // The selected tab lives in the shared presentation, so others can pick General.
    CreditPurchasePresentation& presentation = deps_.creditPurchase;
    selectTab(presentation.selectedSettingsTab());
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (index >= 0 && index < int(QuilloSettingsTabs::allCases.size()))
            deps_.creditPurchase.setSelectedSettingsTab(QuilloSettingsTabs::allCases[std::size_t(index)]);
    });
    connect(&presentation, &CreditPurchasePresentation::selectedSettingsTabChanged, this,
            [this] { selectTab(deps_.creditPurchase.selectedSettingsTab()); });

    refreshUpdateBanner();
}

SettingsWindow::~SettingsWindow() { detection_->stop(false); }

void SettingsWindow::startTriggerCapture() { detection_->start(); }
void SettingsWindow::stopTriggerCapture(bool keepMessage) { detection_->stop(keepMessage); }
bool SettingsWindow::isDetectingTrigger() const { return detection_->isDetecting(); }
const std::optional<QString>& SettingsWindow::triggerMessage() const { return detection_->message(); }
QString SettingsWindow::triggerHelpText() const { return general_->triggerHelpText(); }
QString SettingsWindow::balanceText() const { return general_->balanceText(); }

QuilloSettingsTab SettingsWindow::selectedTab() const {
    const int index = tabs_->currentIndex();
    if (index < 0 || index >= int(QuilloSettingsTabs::allCases.size())) return QuilloSettingsTab::general;
    return QuilloSettingsTabs::allCases[std::size_t(index)];
}

void SettingsWindow::selectTab(QuilloSettingsTab tab) {
    const int index = int(tab);
    if (tabs_->currentIndex() != index) tabs_->setCurrentIndex(index);
}

void SettingsWindow::showCreditPacks() {
    deps_.creditPurchase.setSelectedSettingsTab(QuilloSettingsTab::general);
    deps_.creditPurchase.show();
    pendingCreditPacksReveal_ = true;
    if (isVisible()) scrollToCreditPacks();
}

void SettingsWindow::scrollToCreditPacks() {
    pendingCreditPacksReveal_ = false;
    // The panel has just been shown: lay the page out before asking where it is.
    general_->adjustSize();
    if (general_->layout()) general_->layout()->activate();
    CreditPacksView* packs = general_->creditPacks();
    generalScroll_->ensureWidgetVisible(packs, 0, 24);
}

void SettingsWindow::refreshUpdateBanner() {
    const auto& version = deps_.updater.availableVersion();
    updateBanner_->setVisible(version.has_value());
    updateBannerText_->setText(version ? SettingsWindowRules::updateBannerText(*version) : QString());
}

void SettingsWindow::windowDidOpen() {
    deps_.updater.refreshUpdateAvailability();
    // The endpoint is a build constant: forget any stored one and record whether it is usable.
    QuilloCloudService::setEndpoint(deps_.defaults, QuilloCloudService::endpoint());
    deps_.defaults.setBoolean(QuilloCloudService::configuredDefaultsKey,
                              QuilloCloudService::isConfigured(deps_.cloud.endpointInUse()));
    deps_.launchAtLogin.refresh();
    deps_.permissions.refresh();
    general_->refreshAll();
    history_->reload();
    QCoro::connect(deps_.cloud.refreshAccount(deps_.auth), this, [] {});
}

void SettingsWindow::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (!opened_) {
        opened_ = true;
        windowDidOpen();
    }
    if (pendingCreditPacksReveal_) scrollToCreditPacks();
}

void SettingsWindow::hideEvent(QHideEvent* event) {
    // A hidden window must not keep swallowing the application's keys.
    detection_->stop(false);
    QWidget::hideEvent(event);
}

void SettingsWindow::closeEvent(QCloseEvent* event) {
    detection_->stop(false);
    QWidget::closeEvent(event);
    if (event->isAccepted()) emit closed();
}

} // namespace quillo
