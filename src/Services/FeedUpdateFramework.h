#pragma once

#include "Platform/UserDefaults.h"
#include "Platform/Workspace.h"
#include "Services/CloudHttpTransport.h"
#include "Services/UpdateFramework.h"
#include "Services/UpdateUserDriver.h"
#include "Support/Cancellation.h"
#include "Support/Clock.h"
#include "Support/UpdateFeedConfiguration.h"
#include "Support/UpdateSelection.h"

#include <QString>
#include <memory>
#include <optional>

#include <qcoro/qcorotask.h>

namespace quillo {

// The update framework over our own signed feed (see UpdateFeed): fetched over HTTPS through
// the cloud transport, checked against the configured Ed25519 key, compared with the installed
// release. Scheduled checks run on the Clock while automatic checks are on; the user's two
// choices and the time of the last check live in the user defaults.
//
// Installing on this desktop means handing the verified package to the desktop, which opens
// it with its installer for that file type (a software centre asks for the administrator's
// approval). The updater never runs downloaded code itself and never installs without the
// user's click: "download automatically" fetches and verifies the package in the background,
// so that installing is one click away. Main thread only.
class FeedUpdateFramework final : public UpdateFramework {
    Q_OBJECT
public:
    struct Environment {
        CloudHttpTransport& transport;
        UserDefaults& defaults;
        Clock& clock;
        Workspace& workspace;
        UpdateUserDriver& userDriver;
        InstalledRelease installed;
        QString cacheFolder; // where verified packages wait for installation
        double checkIntervalSeconds = 86400.0;
        double firstCheckDelaySeconds = 60.0; // after start, so checks never compete with start-up
        double feedTimeoutSeconds = 30.0;
        double downloadTimeoutSeconds = 900.0;
    };

    static inline const QString automaticChecksKey = QStringLiteral("automaticallyChecksForUpdates");
    static inline const QString automaticDownloadsKey = QStringLiteral("automaticallyDownloadsUpdates");
    static inline const QString lastCheckTimeKey = QStringLiteral("lastUpdateCheckTime");   // seconds since 1970, UTC
    static inline const QString skippedReleaseKey = QStringLiteral("skippedUpdateRelease"); // "<version>+<build>"
    static constexpr double minimumCheckIntervalSeconds = 3600.0;

    FeedUpdateFramework(Environment environment, UpdateFeedConfiguration configuration,
                        UpdateFrameworkDelegate& delegate, QObject* parent = nullptr);
    ~FeedUpdateFramework() override;

    void startUpdater() override;
    bool hasStarted() const override { return started_; }
    bool automaticallyChecksForUpdates() const override;
    void setAutomaticallyChecksForUpdates(bool value) override;
    bool automaticallyDownloadsUpdates() const override;
    void setAutomaticallyDownloadsUpdates(bool value) override;
    bool canCheckForUpdates() const override { return started_ && !session_; }
    bool sessionInProgress() const override { return session_.has_value(); }
    void checkForUpdates() override;
    void checkForUpdateInformation() override;

    // When the next scheduled check falls due (uptime seconds); none when none is scheduled.
    std::optional<double> nextScheduledCheck() const { return nextCheckAt_; }
    // Where the package of `item` is kept once verified.
    QString packagePath(const UpdateFeedItem& item) const;

private:
    enum class CheckKind { userInitiated, scheduled, information };
    struct Session {
        quint64 id = 0;
        CheckKind kind = CheckKind::information;
        bool showedDialog = false;
        CancellationSource cancellation;
    };

    void scheduleNextCheck();
    void cancelScheduledCheck();
    void runScheduledCheck();
    quint64 beginSession(CheckKind kind);
    void endSession(quint64 id);
    bool isCurrent(quint64 id) const { return session_ && session_->id == id; }
    std::function<void()> ending(quint64 id);
    void showDialog(quint64 id, const std::function<void()>& show);

    QCoro::Task<> runCheck(CheckKind kind);
    QCoro::Task<> install(quint64 id, UpdateFeedItem item, UpdateStage stage);
    void presentUpdate(quint64 id, const UpdateFeedItem& item, UpdateStage stage);
    void answer(quint64 id, const UpdateFeedItem& item, UpdateStage stage, UpdateUserChoice choice);

    // One GET; `unavailable` makes the error for no answer (-1) or a status other than 200.
    QCoro::Task<QByteArray> fetch(QUrl url, double timeoutSeconds, CancellationToken token,
                                  UpdateError (*unavailable)(int));
    QCoro::Task<UpdateFeed> fetchFeed(CancellationToken token);
    // Downloads, verifies and keeps the package; returns its path. Throws UpdateError.
    QCoro::Task<QString> downloadPackage(UpdateFeedItem item, CancellationToken token);
    // The kept package of `item` when it is there and still matches the feed.
    std::optional<QString> verifiedPackage(const UpdateFeedItem& item) const;
    QString storePackage(const UpdateFeedItem& item, const QByteArray& bytes) const;

    Environment env_;
    UpdateFeedConfiguration configuration_;
    UpdateFrameworkDelegate& delegate_;
    bool started_ = false;
    std::optional<Session> session_;
    quint64 nextSessionId_ = 1;
    std::optional<Clock::TimerId> checkTimer_;
    std::optional<double> nextCheckAt_;
    // Coroutines and callbacks hold this weakly: the framework may go while they wait.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace quillo
