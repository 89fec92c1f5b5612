#include "Views/SettingsAboutPage.h"

#include "BuildInfo.h"
#include "Services/QuilloDiagnosticLogStore.h"
#include "Services/QuilloDiagnostics.h"
#include "Services/QuilloUpdater.h"
#include "Support/QuilloAppEnvironment.h"
#include "Support/UserFacingErrorCatalog.h"
#include "Views/SettingsControls.h"
#include "Views/SettingsWindowRules.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace quillo {

namespace {

using namespace SettingsControls;

QCheckBox* updaterSwitch(const QString& title, const char* name, QWidget* parent) {
    auto* box = new QCheckBox(title, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

} // namespace

QString SettingsAboutPage::buildSupportEmail() { return QStringLiteral(QUILLO_SUPPORT_EMAIL); }

SettingsAboutPage::SettingsAboutPage(const SettingsDependencies& dependencies, QWidget* parent)
    : QWidget(parent), deps_(dependencies),
      supportEmail_(dependencies.supportEmail.isEmpty() ? buildSupportEmail() : dependencies.supportEmail) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 16, 20, 20);
    column->setSpacing(16);

    // Identity.
    auto* identity = new QHBoxLayout;
    auto* logo = new QLabel(this);
    logo->setPixmap(QuilloSymbols::pixmap(QuilloSymbol::appIcon, QSize(64, 64), {}, devicePixelRatioF()));
    identity->addWidget(logo);
    auto* names = new QVBoxLayout;
    names->setSpacing(2);
    names->addWidget(titleLabel(QStringLiteral("Quillo"), this, 1.4));
    auto* version =
        secondaryLabel(deps_.versionText.isEmpty() ? QuilloAppEnvironment::versionText() : deps_.versionText, this);
    version->setObjectName(QStringLiteral("version"));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    names->addWidget(version);
    auto* tagline = new QLabel(SettingsWindowRules::tagline, this);
    tagline->setObjectName(QStringLiteral("tagline"));
    names->addWidget(tagline);
    identity->addLayout(names, 1);
    column->addLayout(identity);

    // Updates.
    QVBoxLayout* updates = nullptr;
    column->addWidget(section(QStringLiteral("Updates"), this, &updates));
    checkForUpdates_ = new QPushButton(QStringLiteral("Check for Updates..."), this);
    checkForUpdates_->setObjectName(QStringLiteral("checkForUpdates"));
    updates->addWidget(checkForUpdates_, 0, Qt::AlignLeft);
    automaticChecks_ =
        updaterSwitch(QStringLiteral("Automatically check for updates"), "automaticallyCheckForUpdates", this);
    updates->addWidget(automaticChecks_);
    updates->addWidget(secondaryLabel(
        QStringLiteral("Check for new versions in the background. This does not enable automatic installation."),
        this));
    checksAutomatically_ =
        updaterSwitch(QStringLiteral("Check for updates automatically"), "checkForUpdatesAutomatically", this);
    updates->addWidget(checksAutomatically_);
    automaticDownloads_ = updaterSwitch(QStringLiteral("Automatically download and install updates"),
                                        "automaticallyDownloadUpdates", this);
    updates->addWidget(automaticDownloads_);
    updatesUnavailable_ = secondaryLabel(QString(), this);
    updatesUnavailable_->setObjectName(QStringLiteral("updatesUnavailable"));
    updates->addWidget(updatesUnavailable_);

    QuilloUpdater& updater = deps_.updater;
    connect(checkForUpdates_, &QPushButton::clicked, this, [this] {
        record(QuilloDiagnosticEvent::updateCheckRequested);
        deps_.updater.checkForUpdates();
    });
    connect(automaticChecks_, &QCheckBox::toggled, this,
            [this](bool on) { deps_.updater.setAutomaticallyChecksForUpdates(on); });
    connect(checksAutomatically_, &QCheckBox::toggled, this,
            [this](bool on) { deps_.updater.setAutomaticallyChecksForUpdates(on); });
    connect(automaticDownloads_, &QCheckBox::toggled, this,
            [this](bool on) { deps_.updater.setAutomaticallyDownloadsUpdates(on); });
    for (auto signal : {&QuilloUpdater::canCheckForUpdatesChanged, &QuilloUpdater::automaticallyChecksForUpdatesChanged,
                        &QuilloUpdater::automaticallyDownloadsUpdatesChanged})
        connect(&updater, signal, this, &SettingsAboutPage::refreshUpdater);

    // Diagnostics.
    QVBoxLayout* diagnostics = nullptr;
    column->addWidget(section(QStringLiteral("Diagnostics"), this, &diagnostics));
    diagnostics->addWidget(secondaryLabel(
        QStringLiteral("The log holds technical event names, times, versions and random identifiers only: never "
                       "correction text, clipboard content, e-mail addresses or keys."),
        this));
    auto* exportButton = new QPushButton(QStringLiteral("Export Logs..."), this);
    exportButton->setObjectName(QStringLiteral("exportLogs"));
    diagnostics->addWidget(exportButton, 0, Qt::AlignLeft);
    exportResult_ = new QLabel(this);
    exportResult_->setObjectName(QStringLiteral("exportResult"));
    exportResult_->setWordWrap(true);
    exportResult_->hide();
    diagnostics->addWidget(exportResult_);
    connect(exportButton, &QPushButton::clicked, this, &SettingsAboutPage::exportLogs);

    // Support.
    QVBoxLayout* support = nullptr;
    column->addWidget(section(QStringLiteral("Support"), this, &support));
    auto* supportRow = new QHBoxLayout;
    auto* address = new QLabel(supportEmail_, this);
    address->setObjectName(QStringLiteral("supportEmail"));
    address->setTextInteractionFlags(Qt::TextSelectableByMouse);
    supportRow->addWidget(address, 1);
    auto* copy = new QPushButton(QStringLiteral("Copy email address"), this);
    copy->setObjectName(QStringLiteral("copySupportEmail"));
    copy->setAccessibleName(QStringLiteral("Copy support email address"));
    supportRow->addWidget(copy);
    support->addLayout(supportRow);
    connect(copy, &QPushButton::clicked, this, [this] {
        if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(supportEmail_);
    });

    column->addStretch(1);
    refreshUpdater();
}

void SettingsAboutPage::record(QuilloDiagnosticEvent event) {
    if (deps_.recordEvent) deps_.recordEvent(event);
    else QuilloDiagnostics::record(event);
}

void SettingsAboutPage::refreshUpdater() {
    const QuilloUpdater& updater = deps_.updater;
    const bool configured = updater.isConfigured();
    checkForUpdates_->setEnabled(configured && updater.canCheckForUpdates());
    for (QCheckBox* box : {automaticChecks_, checksAutomatically_, automaticDownloads_}) box->setEnabled(configured);
    for (auto [box, on] : {std::pair{automaticChecks_, updater.automaticallyChecksForUpdates()},
                           std::pair{checksAutomatically_, updater.automaticallyChecksForUpdates()},
                           std::pair{automaticDownloads_, updater.automaticallyDownloadsUpdates()}}) {
        const QSignalBlocker block(box);
        box->setChecked(on);
    }
    const QString reason = updater.unavailableReason();
    updatesUnavailable_->setText(reason);
    updatesUnavailable_->setVisible(!reason.isEmpty());
}

void SettingsAboutPage::exportLogs() {
    record(QuilloDiagnosticEvent::diagnosticsExportRequested);
    const QString suggested = QuilloDiagnostics::suggestedExportFilename();
    std::optional<QString> path;
    if (deps_.chooseExportPath) {
        path = deps_.chooseExportPath(suggested);
    } else {
        QFileDialog dialog(window(), QStringLiteral("Export Quillo Logs"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilter(QStringLiteral("Plain text (*.txt)"));
        dialog.setDefaultSuffix(QStringLiteral("txt"));
        dialog.setDirectory(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
        dialog.selectFile(suggested);
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            path = dialog.selectedFiles().constFirst();
    }
    // A cancelled panel does nothing further.
    if (!path || path->isEmpty()) return;

    QString message;
    bool failed = false;
    try {
        if (deps_.exportLogs) deps_.exportLogs(*path);
        else QuilloDiagnostics::exportTo(*path);
        record(QuilloDiagnosticEvent::diagnosticsExportCompleted);
        message = SettingsWindowRules::exportSucceeded;
    } catch (const QuilloDiagnosticsFileError& error) {
        failed = true;
        message = UserFacingErrorCatalog::diagnostics(error.failure());
    } catch (...) {
        failed = true;
        message = UserFacingErrorCatalog::diagnostics(DiagnosticsFailure::unexpected);
    }
    if (failed) record(QuilloDiagnosticEvent::diagnosticsExportFailed);
    exportResult_->setText(message);
    exportResult_->setStyleSheet(failed ? QStringLiteral("color: #FF3B30;") : QString());
    exportResult_->show();
}

QString SettingsAboutPage::exportMessage() const {
    return exportResult_->isHidden() ? QString() : exportResult_->text();
}

} // namespace quillo
