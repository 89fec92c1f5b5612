#include "Services/FeedUpdateFramework.h"

#include "Support/Logging.h"
#include "Support/UpdateSignature.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>

namespace quillo {

namespace {

QString safeName(const QString& text) {
    QString name;
    for (QChar c : text) {
        const bool plain = (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
                           c == u'.' || c == u'-' || c == u'_' || c == u'+';
        name += plain ? c : u'_';
    }
    // Never "." or "..", never hidden.
    while (name.startsWith(u'.')) name.remove(0, 1);
    return name;
}

QByteArray sha256(const QByteArray& bytes) { return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256); }

} // namespace

FeedUpdateFramework::FeedUpdateFramework(Environment environment, UpdateFeedConfiguration configuration,
                                         UpdateFrameworkDelegate& delegate, QObject* parent)
    : UpdateFramework(parent), env_(std::move(environment)), configuration_(std::move(configuration)),
      delegate_(delegate) {
    env_.checkIntervalSeconds = std::max(env_.checkIntervalSeconds, minimumCheckIntervalSeconds);
    env_.firstCheckDelaySeconds = std::clamp(env_.firstCheckDelaySeconds, 0.0, env_.checkIntervalSeconds);
}

FeedUpdateFramework::~FeedUpdateFramework() {
    alive_.reset();
    cancelScheduledCheck();
    if (session_) session_->cancellation.cancel();
}

// Choices.

bool FeedUpdateFramework::automaticallyChecksForUpdates() const {
    return env_.defaults.boolean(automaticChecksKey).value_or(configuration_.automaticChecks.value_or(false));
}

void FeedUpdateFramework::setAutomaticallyChecksForUpdates(bool value) {
    const bool before = automaticallyChecksForUpdates();
    env_.defaults.setBoolean(automaticChecksKey, value);
    if (before != value) emit automaticallyChecksForUpdatesChanged();
    scheduleNextCheck();
}

bool FeedUpdateFramework::automaticallyDownloadsUpdates() const {
    return env_.defaults.boolean(automaticDownloadsKey, false);
}

void FeedUpdateFramework::setAutomaticallyDownloadsUpdates(bool value) {
    const bool before = automaticallyDownloadsUpdates();
    env_.defaults.setBoolean(automaticDownloadsKey, value);
    if (before != value) emit automaticallyDownloadsUpdatesChanged();
}

// Schedule.

void FeedUpdateFramework::startUpdater() {
    if (started_) return;
    started_ = true;
    emit canCheckForUpdatesChanged();
    scheduleNextCheck();
}

void FeedUpdateFramework::cancelScheduledCheck() {
    if (checkTimer_) env_.clock.cancelScheduled(*checkTimer_);
    checkTimer_.reset();
    nextCheckAt_.reset();
}

void FeedUpdateFramework::scheduleNextCheck() {
    cancelScheduledCheck();
    if (!started_ || !automaticallyChecksForUpdates()) return;
    // Without the user's own choice, a framework told to ask first waits for that answer.
    if (!env_.defaults.contains(automaticChecksKey) && delegate_.shouldPromptForPermissionToCheckForUpdates()) return;

    const double interval = env_.checkIntervalSeconds;
    double delay = env_.firstCheckDelaySeconds;
    if (const auto last = env_.defaults.number(lastCheckTimeKey)) {
        const double now = static_cast<double>(env_.clock.now().toMSecsSinceEpoch()) / 1000.0;
        // Overdue checks wait for start-up; a last check "in the future" (the clock was set
        // back) waits one interval at most.
        delay = std::max(env_.firstCheckDelaySeconds, std::min(*last + interval - now, interval));
    }
    nextCheckAt_ = env_.clock.uptimeSeconds() + delay;
    std::weak_ptr<bool> alive = alive_;
    checkTimer_ = env_.clock.schedule(delay, [this, alive] {
        if (alive.expired()) return;
        checkTimer_.reset();
        nextCheckAt_.reset();
        runScheduledCheck();
    });
}

void FeedUpdateFramework::runScheduledCheck() {
    if (!automaticallyChecksForUpdates()) return;
    if (session_) {
        // A dialog or download is under way; its end schedules the next check.
        return;
    }
    runCheck(CheckKind::scheduled);
}

// Sessions.

quint64 FeedUpdateFramework::beginSession(CheckKind kind) {
    Session session;
    session.id = nextSessionId_++;
    session.kind = kind;
    session_ = std::move(session);
    emit canCheckForUpdatesChanged();
    return session_->id;
}

void FeedUpdateFramework::endSession(quint64 id) {
    if (!isCurrent(id)) return;
    const bool showedDialog = session_->showedDialog;
    session_.reset();
    if (showedDialog) env_.userDriver.dismissUpdateInstallation();
    emit canCheckForUpdatesChanged();
    scheduleNextCheck();
}

std::function<void()> FeedUpdateFramework::ending(quint64 id) {
    std::weak_ptr<bool> alive = alive_;
    return [this, alive, id] {
        if (!alive.expired()) endSession(id);
    };
}

void FeedUpdateFramework::showDialog(quint64 id, const std::function<void()>& show) {
    if (!isCurrent(id)) return;
    session_->showedDialog = true;
    show();
}

void FeedUpdateFramework::checkForUpdates() {
    if (!started_) {
        qCInfo(lcUpdates, "Update check asked before the updater started");
        return;
    }
    if (session_) {
        if (session_->showedDialog) env_.userDriver.showUpdateInFocus();
        return;
    }
    runCheck(CheckKind::userInitiated);
}

void FeedUpdateFramework::checkForUpdateInformation() {
    if (!started_ || session_) return;
    runCheck(CheckKind::information);
}

// Checks.

QCoro::Task<> FeedUpdateFramework::runCheck(CheckKind kind) {
    std::weak_ptr<bool> alive = alive_;
    const quint64 id = beginSession(kind);
    const CancellationToken token = session_->cancellation.token();
    if (kind == CheckKind::userInitiated) {
        showDialog(id, [&] {
            env_.userDriver.showUserInitiatedUpdateCheck([this, alive, id] {
                if (!alive.expired() && isCurrent(id)) session_->cancellation.cancel();
            });
        });
    }
    if (kind != CheckKind::information)
        env_.defaults.setNumber(lastCheckTimeKey, static_cast<double>(env_.clock.now().toMSecsSinceEpoch()) / 1000.0);

    std::optional<UpdateFeedItem> item;
    std::optional<UpdateError> failure;
    try {
        const UpdateFeed feed = co_await fetchFeed(token);
        if (alive.expired() || !isCurrent(id)) co_return;
        item = UpdateSelection::bestUpdate(feed, env_.installed);
    } catch (const CancellationError&) {
        if (!alive.expired()) endSession(id);
        co_return;
    } catch (const UpdateError& error) {
        failure = error;
    }
    if (alive.expired() || !isCurrent(id)) co_return;
    if (failure) {
        qCWarning(lcUpdates, "Update check failed: %s", qUtf8Printable(failure->description()));
        if (kind == CheckKind::userInitiated)
            showDialog(id, [&] { env_.userDriver.showUpdaterError(*failure, ending(id)); });
        else endSession(id);
        co_return;
    }

    // A skipped release stays quiet until the user asks; a critical one cannot be skipped.
    if (item && kind != CheckKind::userInitiated && !item->critical &&
        env_.defaults.string(skippedReleaseKey) == UpdateSelection::releaseKey(*item))
        item.reset();

    if (!item) {
        qCInfo(lcUpdates, "No update found");
        delegate_.didNotFindUpdate();
        if (alive.expired() || !isCurrent(id)) co_return;
        if (kind == CheckKind::userInitiated) showDialog(id, [&] { env_.userDriver.showUpdateNotFound(ending(id)); });
        else endSession(id);
        co_return;
    }

    qCInfo(lcUpdates, "Update found: %s (build %s)", qUtf8Printable(item->version), qUtf8Printable(item->buildNumber));
    delegate_.didFindValidUpdate(*item);
    if (alive.expired() || !isCurrent(id)) co_return;
    if (kind == CheckKind::information) {
        endSession(id);
        co_return;
    }

    UpdateStage stage = verifiedPackage(*item) ? UpdateStage::downloaded : UpdateStage::notDownloaded;
    if (kind == CheckKind::scheduled) {
        if (automaticallyDownloadsUpdates() && stage == UpdateStage::notDownloaded) {
            std::optional<UpdateError> downloadFailure;
            try {
                co_await downloadPackage(*item, token);
                stage = UpdateStage::downloaded;
            } catch (const CancellationError&) {
                if (!alive.expired()) endSession(id);
                co_return;
            } catch (const UpdateError& error) {
                downloadFailure = error;
            }
            if (alive.expired() || !isCurrent(id)) co_return;
            // The update is still offered; installing downloads it again.
            if (downloadFailure)
                qCWarning(lcUpdates, "Background download failed: %s", qUtf8Printable(downloadFailure->description()));
        }
        if (delegate_.supportsGentleScheduledUpdateReminders() &&
            !delegate_.standardUserDriverShouldHandleShowingScheduledUpdate(*item)) {
            endSession(id);
            co_return;
        }
    }
    presentUpdate(id, *item, stage);
}

void FeedUpdateFramework::presentUpdate(quint64 id, const UpdateFeedItem& item, UpdateStage stage) {
    std::weak_ptr<bool> alive = alive_;
    delegate_.willShowUpdate(item);
    if (alive.expired()) return;
    showDialog(id, [&] {
        env_.userDriver.showUpdateFound(item, stage, [this, alive, id, item, stage](UpdateUserChoice choice) {
            if (!alive.expired() && isCurrent(id)) answer(id, item, stage, choice);
        });
    });
}

void FeedUpdateFramework::answer(quint64 id, const UpdateFeedItem& item, UpdateStage stage, UpdateUserChoice choice) {
    switch (choice) {
    case UpdateUserChoice::skip:
        env_.defaults.setString(skippedReleaseKey, UpdateSelection::releaseKey(item));
        delegate_.userDidMakeChoice(choice, item, std::nullopt);
        endSession(id);
        return;
    case UpdateUserChoice::dismiss:
        delegate_.userDidMakeChoice(choice, item, stage);
        endSession(id);
        return;
    case UpdateUserChoice::install: install(id, item, stage); return;
    }
}

QCoro::Task<> FeedUpdateFramework::install(quint64 id, UpdateFeedItem item, UpdateStage stage) {
    Q_UNUSED(stage); // the kept package is checked again either way
    std::weak_ptr<bool> alive = alive_;
    const CancellationToken token = session_->cancellation.token();
    std::optional<UpdateError> failure;
    QString path;
    try {
        std::optional<QString> kept = verifiedPackage(item);
        if (!kept) {
            showDialog(id, [&] {
                env_.userDriver.showDownloadInProgress(item, [this, alive, id] {
                    if (!alive.expired() && isCurrent(id)) session_->cancellation.cancel();
                });
            });
            co_await downloadPackage(item, token);
            if (alive.expired() || !isCurrent(id)) co_return;
            // Read back from disk: what the desktop opens is what was verified.
            kept = verifiedPackage(item);
            if (!kept) throw UpdateError::packageStorageFailed();
        }
        path = *kept;
        if (!env_.workspace.openUrl(QUrl::fromLocalFile(path))) throw UpdateError::installerUnavailable();
    } catch (const CancellationError&) {
        if (!alive.expired()) endSession(id);
        co_return;
    } catch (const UpdateError& error) {
        failure = error;
    }
    if (alive.expired() || !isCurrent(id)) co_return;
    if (failure) {
        qCWarning(lcUpdates, "Update installation failed: %s", qUtf8Printable(failure->description()));
        showDialog(id, [&] { env_.userDriver.showUpdaterError(*failure, ending(id)); });
        co_return;
    }
    qCInfo(lcUpdates, "Update package handed to the desktop: %s", qUtf8Printable(item.version));
    delegate_.userDidMakeChoice(UpdateUserChoice::install, item, std::nullopt);
    if (alive.expired() || !isCurrent(id)) co_return;
    showDialog(id, [&] { env_.userDriver.showInstallerOpened(item, path, ending(id)); });
}

// Network and files.

QCoro::Task<QByteArray> FeedUpdateFramework::fetch(QUrl url, double timeoutSeconds, CancellationToken token,
                                                   UpdateError (*unavailable)(int)) {
    CloudHttpRequest request;
    request.url = std::move(url);
    request.headers = {{"User-Agent", QStringLiteral("Quillo/%1").arg(env_.installed.version).toUtf8()}};
    request.timeoutSeconds = timeoutSeconds;
    request.ignoreCache = true;
    CloudHttpResponse response;
    try {
        response = co_await env_.transport.send(std::move(request), token);
    } catch (const NetworkError& error) {
        qCInfo(lcUpdates, "Update server unreachable: %s", qUtf8Printable(networkErrorCodeName(error.code)));
        throw unavailable(-1);
    }
    if (response.status != 200) throw unavailable(response.status);
    co_return response.body;
}

QCoro::Task<UpdateFeed> FeedUpdateFramework::fetchFeed(CancellationToken token) {
    if (configuration_.feedUrl.scheme() != QLatin1String("https")) throw UpdateError::insecureFeedURL();
    const auto key = UpdateSignature::publicKey(configuration_.publicKey);
    if (!key) throw UpdateError::publicKeyInvalid();
    const QByteArray document =
        co_await fetch(configuration_.feedUrl, env_.feedTimeoutSeconds, token, &UpdateError::feedUnavailable);
    co_return UpdateFeed::fromSignedDocument(document, *key);
}

QCoro::Task<QString> FeedUpdateFramework::downloadPackage(UpdateFeedItem item, CancellationToken token) {
    if (item.package.url.scheme() != QLatin1String("https")) throw UpdateError::insecurePackageURL();
    const QByteArray bytes =
        co_await fetch(item.package.url, env_.downloadTimeoutSeconds, token, &UpdateError::packageUnavailable);
    if (bytes.size() != item.package.size || sha256(bytes) != item.package.sha256) throw UpdateError::packageMismatch();
    co_return storePackage(item, bytes);
}

QString FeedUpdateFramework::packagePath(const UpdateFeedItem& item) const {
    QString file = safeName(QFileInfo(item.package.url.path()).fileName());
    if (file.isEmpty()) file = QStringLiteral("update");
    const QString release = safeName(item.version + QLatin1Char('-') + item.buildNumber);
    return QDir(env_.cacheFolder).filePath(release + QLatin1Char('/') + file);
}

std::optional<QString> FeedUpdateFramework::verifiedPackage(const UpdateFeedItem& item) const {
    if (env_.cacheFolder.isEmpty()) return std::nullopt;
    const QString path = packagePath(item);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() != item.package.size) return std::nullopt;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file) || hash.result() != item.package.sha256) return std::nullopt;
    return path;
}

QString FeedUpdateFramework::storePackage(const UpdateFeedItem& item, const QByteArray& bytes) const {
    if (env_.cacheFolder.isEmpty()) throw UpdateError::packageStorageFailed();
    QString path = packagePath(item);
    const QFileInfo target(path);
    QDir folder(env_.cacheFolder);
    if (!folder.mkpath(QStringLiteral("."))) throw UpdateError::packageStorageFailed();
    QFile::setPermissions(folder.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // One kept release at a time: older packages go.
    for (const QFileInfo& entry : folder.entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot)) {
        if (entry.fileName() == target.dir().dirName()) continue;
        if (entry.isDir()) QDir(entry.filePath()).removeRecursively();
        else QFile::remove(entry.filePath());
    }
    if (!QDir().mkpath(target.path())) throw UpdateError::packageStorageFailed();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qCWarning(lcUpdates, "Could not keep the update package: %s", qUtf8Printable(file.errorString()));
        throw UpdateError::packageStorageFailed();
    }
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return path;
}

} // namespace quillo
