#include "Views/UpdateDialog.h"

#include "Views/QuilloSymbol.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace quillo {

UpdateDialog::UpdateDialog(QString installedVersion, QWidget* parent)
    : QWidget(parent, Qt::Dialog), installedVersion_(std::move(installedVersion)) {
    setWindowTitle(QStringLiteral("Software Update"));
    setWindowIcon(QuilloSymbols::icon(QuilloSymbol::appIcon));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMinimumWidth(480);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(24, 20, 24, 20);
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("updateTitle"));
    QFont bold = title_->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.2);
    title_->setFont(bold);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("updateMessage"));
    message_->setWordWrap(true);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    progress_ = new QProgressBar(this);
    progress_->setRange(0, 0); // neither the check nor the download reports its progress
    progress_->setTextVisible(false);
    notes_ = new QTextBrowser(this);
    notes_->setObjectName(QStringLiteral("releaseNotes"));
    notes_->setOpenLinks(false);
    notes_->setMinimumHeight(160);
    column->addWidget(title_);
    column->addWidget(message_);
    column->addWidget(progress_);
    column->addWidget(notes_, 1);

    auto* buttons = new QHBoxLayout;
    const auto button = [this, buttons](const QString& name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        buttons->addWidget(b);
        return b;
    };
    skip_ = button(QStringLiteral("skipVersion"), QStringLiteral("Skip This Version"));
    buttons->addStretch(1);
    releasePageButton_ = button(QStringLiteral("learnMore"), QStringLiteral("Learn More…"));
    later_ = button(QStringLiteral("remindLater"), QStringLiteral("Remind Me Later"));
    cancel_ = button(QStringLiteral("cancel"), QStringLiteral("Cancel"));
    primary_ = button(QStringLiteral("primary"), QString());
    primary_->setDefault(true);
    column->addLayout(buttons);

    connect(skip_, &QPushButton::clicked, this,
            [this] { report([this] { emit choiceMade(UpdateUserChoice::skip); }); });
    connect(later_, &QPushButton::clicked, this,
            [this] { report([this] { emit choiceMade(UpdateUserChoice::dismiss); }); });
    connect(releasePageButton_, &QPushButton::clicked, this, [this] {
        if (releasePage_.isValid()) emit releasePageRequested(releasePage_);
    });
    connect(cancel_, &QPushButton::clicked, this, [this] { report([this] { emit cancelRequested(); }); });
    connect(primary_, &QPushButton::clicked, this, [this] {
        if (page_ == Page::found) report([this] { emit choiceMade(UpdateUserChoice::install); });
        else report([this] { emit acknowledged(); });
    });
}

QString UpdateDialog::title() const { return title_->text(); }
QString UpdateDialog::message() const { return message_->text(); }

void UpdateDialog::setPage(Page page, const QString& title, const QString& message) {
    page_ = page;
    title_->setText(title);
    message_->setText(message);
    const bool busy = page == Page::checking || page == Page::downloading;
    progress_->setVisible(busy);
    notes_->setVisible(page == Page::found);
    skip_->setVisible(false);
    later_->setVisible(page == Page::found);
    releasePageButton_->setVisible(false);
    cancel_->setVisible(busy);
    primary_->setVisible(!busy);
    primary_->setText(QStringLiteral("OK"));
    adjustSize();
}

void UpdateDialog::report(const std::function<void()>& emitSignal) {
    // One answer per page: the driver moves the dialog on (or closes it) in reply.
    if (quiet_) return;
    emitSignal();
}

void UpdateDialog::showChecking() { setPage(Page::checking, QStringLiteral("Checking for updates…"), QString()); }

void UpdateDialog::showFound(const UpdateFeedItem& item, UpdateStage stage) {
    QString message = stage == UpdateStage::downloaded
                          ? QStringLiteral("Quillo %1 has been downloaded and is ready to install—you have %2.")
                                .arg(item.displayVersion, installedVersion_)
                          : QStringLiteral("Quillo %1 is now available—you have %2. Would you like to install it now?")
                                .arg(item.displayVersion, installedVersion_);
    if (item.critical) message += QStringLiteral(" This is an important update.");
    setPage(Page::found, QStringLiteral("Quillo %1 is available").arg(item.displayVersion), message);
    // The notes are the feed's text, never markup.
    notes_->setPlainText(item.releaseNotes.isEmpty() ? QStringLiteral("No release notes.") : item.releaseNotes);
    skip_->setVisible(!item.critical);
    releasePage_ = item.infoUrl.value_or(QUrl());
    releasePageButton_->setVisible(item.infoUrl.has_value());
    primary_->setText(stage == UpdateStage::downloaded ? QStringLiteral("Install Update")
                                                       : QStringLiteral("Download and Install"));
    adjustSize();
}

void UpdateDialog::showNotFound() {
    setPage(Page::notFound, QStringLiteral("You're up to date!"),
            QStringLiteral("Quillo %1 is currently the newest version available.").arg(installedVersion_));
}

void UpdateDialog::showError(const QString& message) { setPage(Page::error, QStringLiteral("Update Error"), message); }

void UpdateDialog::showDownloading(const UpdateFeedItem& item) {
    setPage(Page::downloading, QStringLiteral("Downloading Quillo %1…").arg(item.displayVersion),
            QStringLiteral("%1, checked against the signed update information before it is used.")
                .arg(QLocale().formattedDataSize(item.package.size)));
}

void UpdateDialog::showInstallerOpened(const UpdateFeedItem& item, const QString& packagePath) {
    setPage(Page::installerOpened, QStringLiteral("Quillo %1 is ready to install").arg(item.displayVersion),
            QStringLiteral("Your desktop opened the verified update. Finish installing it there, then start Quillo "
                           "again.\n\nThe update is kept at %1.")
                .arg(packagePath));
    primary_->setText(QStringLiteral("Done"));
}

void UpdateDialog::closeQuietly() {
    quiet_ = true;
    close();
}

void UpdateDialog::closeEvent(QCloseEvent* event) {
    // Closing the window answers what its page asks: stop, remind later, or acknowledge.
    if (!quiet_) {
        quiet_ = true;
        switch (page_) {
        case Page::checking:
        case Page::downloading: emit cancelRequested(); break;
        case Page::found: emit choiceMade(UpdateUserChoice::dismiss); break;
        case Page::notFound:
        case Page::error:
        case Page::installerOpened: emit acknowledged(); break;
        }
    }
    event->accept();
}

} // namespace quillo
