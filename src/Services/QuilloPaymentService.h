#pragma once

#include "Models/CheckoutSessionOwnership.h"
#include "Models/PaymentOrderStatus.h"
#include "Models/QuilloCreditPack.h"
#include "Models/QuilloPurchaseState.h"
#include "Models/TrackedPaymentOrder.h"
#include "Services/CloudHttpTransport.h"
#include "Services/PaymentOrderTrackingStore.h"
#include "Services/QuilloDiagnosticEvent.h"
#include "Support/Cancellation.h"
#include "Support/Clock.h"
#include "Support/LatestRequestGeneration.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <exception>
#include <functional>
#include <map>
#include <optional>

#include <qcoro/qcorotask.h>

namespace quillo {

class QuilloCloudService;
class QuilloSessionProviding;
class UserDefaults;
class Workspace;

// Buys a credit pack for the signed-in user: asks the cloud for a checkout, hands its page to
// the browser, remembers the order across restarts and follows its status until the server
// decides, then refreshes the balance. Every step is tied to the session that started it;
// results that arrive after a sign-out or an account switch are dropped. Main thread only;
// no operation throws: failures end in a `failed` state with one sentence.
class QuilloPaymentService : public QObject {
    Q_OBJECT
public:
    using UrlOpener = std::function<bool(const QUrl&)>;
    using DiagnosticRecorder = std::function<void(QuilloDiagnosticEvent)>;

    struct Options {
        // The cloud's checkout endpoint; none when the endpoint constant does not form one.
        std::optional<QUrl> checkoutURL;
        // The only host a checkout page may have (a build constant unless a test says otherwise).
        QString checkoutHost;
        Clock* clock = nullptr;         // Clock::shared() when absent
        UrlOpener openURL;              // the workspace's default browser when absent
        DiagnosticRecorder recordEvent; // QuilloDiagnostics::record when absent
    };

    static constexpr double checkoutTimeoutSeconds = 15.0;
    static constexpr double statusTimeoutSeconds = 10.0;
    static constexpr int maximumStatusPolls = 24;

    // `transport`, `defaults` and `workspace` must outlive the service.
    QuilloPaymentService(CloudHttpTransport& transport, UserDefaults& defaults, Workspace& workspace);
    QuilloPaymentService(CloudHttpTransport& transport, UserDefaults& defaults, Workspace& workspace, Options options);
    ~QuilloPaymentService() override;

    // The build's checkout host and the options of the application's instance.
    static QString checkoutHost();
    static Options defaultOptions();

    // Published state.
    const QuilloPurchaseState& state() const { return state_; }
    const PaymentOrderTrackingStore& trackingStore() const { return trackingStore_; }
    bool isMonitoring() const { return monitor_.has_value(); }
    std::optional<QUuid> requestID(QuilloCreditPack pack) const;

    // The purchase view appears: a failed state is forgotten, then a tracked order is resumed.
    QCoro::Task<> prepare(QuilloSessionProviding& authService, QuilloCloudService& cloudService);
    // Starts a checkout for `pack`.
    QCoro::Task<> purchase(QuilloCreditPack pack, QuilloSessionProviding& authService,
                           QuilloCloudService& cloudService);
    // The view's refresh action.
    QCoro::Task<> refreshPayment(QuilloSessionProviding& authService, QuilloCloudService& cloudService);
    // Forgets the attempt, the checkout, the monitor and the request ids; the tracked order stays.
    void reset();

    // The sentence for a failure thrown by a checkout or status request.
    static QString userFacingMessage(const std::exception_ptr& error);

signals:
    void stateChanged();

private:
    void setState(QuilloPurchaseState state);
    void record(QuilloDiagnosticEvent event) const { recordEvent_(event); }
    bool isCurrentCheckout(const QUuid& generation, const QuilloSessionProviding& authService) const;
    bool isTracking(QuilloCreditPack pack) const;
    void cancelMonitor();
    void abandonCheckout(const QUuid& generation, const QuilloSessionProviding& authService);

    QCoro::Task<> resumeTrackedOrder(QuilloSessionProviding& authService, QuilloCloudService& cloudService);
    QCoro::Task<> monitorPayment(TrackedPaymentOrder order, QUuid generation, QuilloSessionProviding& authService,
                                 QuilloCloudService& cloudService, CancellationToken token);
    // True means: stop following the order.
    QCoro::Task<bool> refreshTrackedOrder(TrackedPaymentOrder order, QuilloSessionProviding& authService,
                                          QuilloCloudService& cloudService, CancellationToken token);
    QCoro::Task<bool> apply(PaymentOrderStatus status, QuilloCreditPack pack, QuilloSessionProviding& authService,
                            QuilloCloudService& cloudService);
    QCoro::Task<CloudHttpResponse> send(QByteArray body, const QString& authorization, bool checkout,
                                        CancellationToken token);

    CloudHttpTransport& transport_;
    Workspace& workspace_;
    Clock& clock_;
    std::optional<QUrl> checkoutURL_;
    QString checkoutHost_;
    UrlOpener openURL_;
    DiagnosticRecorder recordEvent_;

    QuilloPurchaseState state_;
    PaymentOrderTrackingStore trackingStore_;
    std::map<QuilloCreditPack, QUuid> requestIDs_;
    std::optional<CancellationSource> monitor_;
    CheckoutSessionOwnership checkoutOwnership_;
    LatestRequestGeneration purchaseAttemptGeneration_;
};

} // namespace quillo
