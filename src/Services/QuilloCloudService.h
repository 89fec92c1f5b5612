#pragma once

#include "Models/CorrectionModels.h"
#include "Services/CloudCorrectionProviding.h"
#include "Services/CloudHealthChecker.h"
#include "Services/CloudHttpTransport.h"
#include "Services/CloudStateSynchronizationRequest.h"
#include "Services/QuilloCloudAccount.h"
#include "Services/QuilloDiagnosticEvent.h"
#include "Services/QuilloSessionProviding.h"
#include "Support/Clock.h"
#include "Support/LatestRequestGeneration.h"
#include "Support/QuilloBundleInfo.h"
#include "Support/SharedResult.h"

#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <qcoro/qcorotask.h>

namespace quillo {

class UserDefaults;

// The one client of the cloud's HTTPS/JSON API: corrections, the account balance, the health
// check and the endpoint URLs the payment and auth services use. Its published state changes
// only on the main thread, and only from answers whose authorization still belongs to the
// current session.
class QuilloCloudService : public QObject, public CloudCorrectionProviding {
    Q_OBJECT
public:
    // Waits `nanoseconds`; a cancelled token ends the wait with CancellationError.
    using RetrySleeper = std::function<QCoro::Task<>(std::uint64_t nanoseconds, CancellationToken token)>;
    using DiagnosticRecorder = std::function<void(QuilloDiagnosticEvent, std::optional<QUuid>)>;

    struct Options {
        // The endpoint this instance talks to; the build constant unless a tool or test points elsewhere.
        QString endpoint = QuilloCloudService::endpoint();
        Clock* clock = nullptr;         // Clock::shared() when absent
        RetrySleeper retrySleeper;      // sleeps on the clock when absent
        DiagnosticRecorder recordEvent; // QuilloDiagnostics::record when absent
        QuilloInfoDictionary info = QuilloBundleInfo::main();
    };

    static constexpr std::uint64_t correctionDeadlineNanoseconds = 40'000'000'000ULL;
    static constexpr double correctionAttemptTimeoutSeconds = 34.0;
    static constexpr double accountTimeoutSeconds = 10.0;
    inline static const QString endpointDefaultsKey = QStringLiteral("quilloCloudEndpoint");
    inline static const QString configuredDefaultsKey = QStringLiteral("quilloCloudConfigured");

    // `healthChecker` must outlive the service; without one the service makes its own over the
    // same transport with a 180 s interval. `transport` and `authService` must outlive it.
    QuilloCloudService(CloudHttpTransport& transport, QuilloSessionProviding& authService,
                       CloudHealthChecker* healthChecker, Options options);
    QuilloCloudService(CloudHttpTransport& transport, QuilloSessionProviding& authService,
                       CloudHealthChecker* healthChecker = nullptr);
    ~QuilloCloudService() override;

    // The endpoint build constant, and the URLs derived from an endpoint (absent when it does
    // not parse as an absolute URL with a host).
    static QString endpoint();
    // There is no user setting: assigning only removes the former user-supplied endpoint.
    static void setEndpoint(UserDefaults& defaults, const QString& ignored);
    static std::optional<QUrl> endpointURL(const QString& endpoint = QuilloCloudService::endpoint());
    static std::optional<QUrl> healthURL(const QString& endpoint = QuilloCloudService::endpoint());
    static std::optional<QUrl> checkoutURL(const QString& endpoint = QuilloCloudService::endpoint());
    static std::optional<QUrl> authURL(const QString& endpoint = QuilloCloudService::endpoint());
    static bool isConfigured(const QString& endpoint = QuilloCloudService::endpoint());
    static void saveConfiguration(UserDefaults& defaults, const QString& ignoredEndpoint);
    // "<short version> (<build>)", "unknown" for a missing part.
    static QString clientVersion(const QuilloInfoDictionary& info = QuilloBundleInfo::main());

    const QString& endpointInUse() const { return endpoint_; }

    // Published state.
    const std::optional<QString>& loadingError() const { return loadingError_; }
    const std::optional<QuilloCloudAccount>& account() const { return account_; }
    const std::optional<double>& lastChargedCredits() const { return lastChargedCredits_; }
    bool isRefreshingAccount() const { return isRefreshingAccount_; }
    CloudHealthChecker& healthChecker() { return *healthChecker_; }
    const std::optional<CloudStateSynchronizationRequest>& cloudStateRequest() const { return cloudStateRequest_; }
    bool isSynchronizingCloudState() const { return static_cast<bool>(cloudStateTask_); }

    // One correction call: one identity, one 40 s budget, transport retries, replay polls and
    // one safe gateway retry. Throws QuilloCloudError, NetworkError, CloudRequestEncodingError,
    // CloudResponseDecodingError or CancellationError; none for blank text or a bad endpoint.
    QCoro::Task<std::optional<QuilloCorrectionResult>> correctText(QString text, QString mode,
                                                                   CloudCorrectionModel cloudModel,
                                                                   CorrectionWritingMode writingMode,
                                                                   CancellationToken token = {}) override;

    // Fetches and publishes the balance with `authService`'s authorization. Never throws.
    QCoro::Task<> refreshAccount(QuilloSessionProviding& authService, CancellationToken token = {});
    QCoro::Task<> refreshAccount() { return refreshAccount(authService_); }

    // Runs, or joins, a balance refresh together with a health check for the current session.
    QCoro::Task<> synchronizeCloudState(bool force);

    // On a 401: ends the session when `authorization` still belongs to it, and then forgets the
    // balance. Reports whether the session was ended.
    bool invalidateAccountIfUnauthorized(const QString& authorization, QuilloSessionProviding& authService);

    // Whether an answer sent with `authorization` may still change published state.
    bool sessionMatches(const QString& authorization, const QuilloSessionProviding& authService) const;

signals:
    void loadingErrorChanged();
    void accountChanged();
    void lastChargedCreditsChanged();
    void isRefreshingAccountChanged();

private:
    struct AttemptOutcome;

    void setLoadingError(std::optional<QString> value);
    void setAccount(std::optional<QuilloCloudAccount> value);
    void setLastChargedCredits(std::optional<double> value);
    void setRefreshingAccount(bool value);

    std::uint64_t uptimeNanoseconds() const;
    QCoro::Task<CloudHttpResponse> sendWithRetries(CloudHttpRequest request, std::uint64_t deadline,
                                                   CancellationToken token, std::weak_ptr<int> alive);
    QCoro::Task<> performCloudStateRun(CloudStateSynchronizationRequest request,
                                       std::shared_ptr<SharedResult<bool>> done);

    CloudHttpTransport& transport_;
    QuilloSessionProviding& authService_;
    std::unique_ptr<CloudHealthChecker> ownedHealthChecker_;
    CloudHealthChecker* healthChecker_;
    QString endpoint_;
    Clock& clock_;
    RetrySleeper retrySleeper_;
    DiagnosticRecorder recordEvent_;
    QString clientVersion_;

    std::optional<QString> loadingError_;
    std::optional<QuilloCloudAccount> account_;
    std::optional<double> lastChargedCredits_;
    bool isRefreshingAccount_ = false;
    std::shared_ptr<SharedResult<bool>> cloudStateTask_;
    std::optional<CloudStateSynchronizationRequest> cloudStateRequest_;
    LatestRequestGeneration accountRefreshGeneration_;
    // Suspended calls hold this weakly to notice the service is gone.
    std::shared_ptr<int> lifetime_ = std::make_shared<int>(0);
};

} // namespace quillo
