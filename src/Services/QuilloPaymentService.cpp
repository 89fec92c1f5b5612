#include "Services/QuilloPaymentService.h"

#include "BuildInfo.h"
#include "Models/PaymentOrderStatusResponse.h"
#include "Platform/Workspace.h"
#include "Services/PaymentError.h"
#include "Services/QuilloCloudError.h"
#include "Services/QuilloCloudService.h"
#include "Services/QuilloDiagnostics.h"
#include "Services/QuilloSessionProviding.h"
#include "Support/CheckoutFailureRetentionPolicy.h"
#include "Support/Logging.h"
#include "Support/PaymentTrackingPolicy.h"
#include "Support/SessionIdentity.h"
#include "Support/UserFacingErrorCatalog.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>

namespace quillo {

namespace {

using Catalog = UserFacingErrorCatalog::CheckoutFailure;

const QString orderNotFoundMessage =
    QStringLiteral("This payment can no longer be found. You can start a new checkout.");

QString lowerUuid(const QUuid& id) { return id.toString(QUuid::WithoutBraces).toLower(); }

struct CurrentSession {
    std::optional<QString> userID;
    std::optional<QString> sessionID;
};

CurrentSession currentSessionOf(const QuilloSessionProviding& authService) {
    const auto session = authService.currentSession();
    if (!session) return {};
    return {session->userId, AccessTokenSessionIdentity::sessionID(session->accessToken)};
}

QString describe(const std::exception_ptr& error) {
    try {
        std::rethrow_exception(error);
    } catch (const PaymentError& e) {
        return e.description();
    } catch (const NetworkError& e) {
        return QStringLiteral("network(%1)").arg(networkErrorCodeName(e.code));
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("unknown error");
    }
}

struct CheckoutResponse {
    QString checkoutUrl;
    QString orderId;
};

CheckoutResponse decodeCheckoutResponse(const QByteArray& body) {
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        throw CloudResponseDecodingError("checkout answer is not a JSON object");
    const QJsonObject object = document.object();
    const QJsonValue url = object.value("checkoutUrl"), order = object.value("orderId"),
                     reused = object.value("reused");
    if (!url.isString() || !order.isString() || !reused.isBool())
        throw CloudResponseDecodingError("checkout answer lacks a required member");
    return {url.toString(), order.toString()};
}

} // namespace

QuilloPaymentService::QuilloPaymentService(CloudHttpTransport& transport, UserDefaults& defaults, Workspace& workspace)
    : QuilloPaymentService(transport, defaults, workspace, defaultOptions()) {}

QuilloPaymentService::QuilloPaymentService(CloudHttpTransport& transport, UserDefaults& defaults, Workspace& workspace,
                                           Options options)
    : transport_(transport), workspace_(workspace), clock_(options.clock ? *options.clock : Clock::shared()),
      checkoutURL_(std::move(options.checkoutURL)), checkoutHost_(std::move(options.checkoutHost)),
      openURL_(std::move(options.openURL)), recordEvent_(std::move(options.recordEvent)), trackingStore_(defaults) {
    if (!openURL_) openURL_ = [this](const QUrl& url) { return workspace_.openUrl(url); };
    if (!recordEvent_)
        recordEvent_ = [](QuilloDiagnosticEvent event) { QuilloDiagnostics::record(event, std::nullopt); };
}

QuilloPaymentService::~QuilloPaymentService() { cancelMonitor(); }

QString QuilloPaymentService::checkoutHost() { return QStringLiteral(QUILLO_CHECKOUT_HOST); }

QuilloPaymentService::Options QuilloPaymentService::defaultOptions() {
    Options options;
    options.checkoutURL = QuilloCloudService::checkoutURL();
    options.checkoutHost = checkoutHost();
    return options;
}

std::optional<QUuid> QuilloPaymentService::requestID(QuilloCreditPack pack) const {
    const auto it = requestIDs_.find(pack);
    if (it == requestIDs_.end()) return std::nullopt;
    return it->second;
}

void QuilloPaymentService::setState(QuilloPurchaseState state) {
    if (state == state_) return;
    state_ = std::move(state);
    emit stateChanged();
}

bool QuilloPaymentService::isCurrentCheckout(const QUuid& generation, const QuilloSessionProviding& authService) const {
    const CurrentSession current = currentSessionOf(authService);
    return checkoutOwnership_.belongsToCurrentSession(generation, current.userID, current.sessionID);
}

bool QuilloPaymentService::isTracking(QuilloCreditPack pack) const {
    return (state_.kind == QuilloPurchaseState::Kind::awaitingPayment ||
            state_.kind == QuilloPurchaseState::Kind::pending) &&
           state_.pack == pack;
}

void QuilloPaymentService::cancelMonitor() {
    if (!monitor_) return;
    monitor_->cancel();
    monitor_.reset();
}

void QuilloPaymentService::reset() {
    purchaseAttemptGeneration_.invalidate();
    cancelMonitor();
    checkoutOwnership_.clear();
    requestIDs_.clear();
    setState(QuilloPurchaseState::idle());
}

QString QuilloPaymentService::userFacingMessage(const std::exception_ptr& error) {
    Catalog failure = Catalog::unexpected();
    try {
        std::rethrow_exception(error);
    } catch (const PaymentError& e) {
        switch (e.kind()) {
        case PaymentError::Kind::checkoutRejected: failure = Catalog::http(e.status()); break;
        case PaymentError::Kind::sessionChanged: failure = Catalog::authenticationRequired(); break;
        case PaymentError::Kind::invalidCheckoutURL:
        case PaymentError::Kind::invalidResponse:
        case PaymentError::Kind::trackingUnavailable: failure = Catalog::invalidResponse(); break;
        case PaymentError::Kind::browserUnavailable: failure = Catalog::browserUnavailable(); break;
        }
    } catch (const NetworkError& e) {
        failure = Catalog::network(e.code);
    } catch (const CloudResponseDecodingError&) {
        failure = Catalog::invalidResponse();
    } catch (const CloudRequestEncodingError&) {
        failure = Catalog::invalidResponse();
    } catch (...) {
        failure = Catalog::unexpected();
    }
    return UserFacingErrorCatalog::checkout(failure);
}

QCoro::Task<CloudHttpResponse> QuilloPaymentService::send(QByteArray body, const QString& authorization, bool checkout,
                                                          CancellationToken token) {
    CloudHttpRequest request;
    request.method = "POST";
    request.url = *checkoutURL_;
    if (checkout) {
        request.headers = {{"Content-Type", "application/json"}, {"Authorization", authorization.toUtf8()}};
        request.timeoutSeconds = checkoutTimeoutSeconds;
    } else {
        request.headers = {{"Authorization", authorization.toUtf8()}, {"Content-Type", "application/json"}};
        request.timeoutSeconds = statusTimeoutSeconds;
    }
    request.body = std::move(body);
    co_return co_await transport_.send(std::move(request), std::move(token));
}

// MARK: purchase

QCoro::Task<> QuilloPaymentService::purchase(QuilloCreditPack pack, QuilloSessionProviding& authService,
                                             QuilloCloudService& cloudService) {
    QPointer<QuilloPaymentService> self(this);
    QPointer<QuilloSessionProviding> auth(&authService);
    QPointer<QuilloCloudService> cloud(&cloudService);

    if (state_.isCreatingCheckout()) co_return;
    if (!checkoutURL_) {
        record(QuilloDiagnosticEvent::checkoutFailed);
        setState(QuilloPurchaseState::failed(UserFacingErrorCatalog::checkout(Catalog::unavailable())));
        co_return;
    }
    const QUuid attempt = purchaseAttemptGeneration_.begin();
    setState(QuilloPurchaseState::creatingCheckout(pack));

    const std::optional<QString> firstAuthorization = co_await authService.authorizationBearer();
    if (!self || !auth || !cloud) co_return;
    if (!firstAuthorization) {
        if (purchaseAttemptGeneration_.finish(attempt)) {
            record(QuilloDiagnosticEvent::checkoutFailed);
            setState(QuilloPurchaseState::failed(UserFacingErrorCatalog::checkout(Catalog::authenticationRequired())));
        }
        co_return;
    }
    if (!purchaseAttemptGeneration_.isCurrent(attempt)) co_return;

    const auto session = authService.currentSession();
    const auto sessionID = session ? AccessTokenSessionIdentity::sessionID(session->accessToken) : std::nullopt;
    if (!session || !sessionID) {
        purchaseAttemptGeneration_.finish(attempt);
        record(QuilloDiagnosticEvent::checkoutFailed);
        setState(QuilloPurchaseState::failed(UserFacingErrorCatalog::checkout(Catalog::authenticationRequired())));
        co_return;
    }

    cancelMonitor();
    // Request ids of another session are never reused.
    if (!checkoutOwnership_.belongsToSession(session->userId, sessionID)) requestIDs_.clear();
    const QUuid generation = checkoutOwnership_.begin(*firstAuthorization, session->userId, *sessionID);
    purchaseAttemptGeneration_.finish(attempt);
    record(QuilloDiagnosticEvent::checkoutStarted);

    if (!isCurrentCheckout(generation, authService)) {
        abandonCheckout(generation, authService);
        co_return;
    }
    const std::optional<QString> authorization = co_await authService.authorizationBearer();
    if (!self || !auth || !cloud) co_return;
    if (!authorization || !isCurrentCheckout(generation, authService)) {
        abandonCheckout(generation, authService);
        co_return;
    }

    auto requestID = requestIDs_.find(pack);
    if (requestID == requestIDs_.end()) requestID = requestIDs_.emplace(pack, QUuid::createUuid()).first;
    const QByteArray body = QJsonDocument(QJsonObject{{"pack", QuilloCreditPacks::rawValue(pack)},
                                                      {"requestId", lowerUuid(requestID->second)}})
                                .toJson(QJsonDocument::Compact);

    std::exception_ptr failure;
    try {
        const CloudHttpResponse response = co_await send(body, *authorization, true, {});
        if (!self || !auth || !cloud) co_return;
        if (!isCurrentCheckout(generation, authService)) throw PaymentError::sessionChanged();
        if (response.status != 200) throw PaymentError::checkoutRejected(response.isHTTP() ? response.status : -1);
        const CheckoutResponse checkout = decodeCheckoutResponse(response.body);
        const QUuid orderID = QUuid::fromString(checkout.orderId);
        const QUuid userID = QUuid::fromString(session->userId);
        if (orderID.isNull() || userID.isNull()) throw PaymentError::invalidResponse();
        // Only an https page on the checkout provider's host is handed to the browser.
        const QUrl url(checkout.checkoutUrl, QUrl::StrictMode);
        if (!url.isValid() || url.scheme() != QLatin1String("https") || url.host() != checkoutHost_ ||
            checkoutHost_.isEmpty())
            throw PaymentError::invalidCheckoutURL();

        const TrackedPaymentOrder order{orderID, userID, pack, clock_.now()};
        if (!trackingStore_.save(order)) throw PaymentError::trackingUnavailable();
        if (!openURL_(url)) throw PaymentError::browserUnavailable();

        record(QuilloDiagnosticEvent::checkoutOpened);
        setState(QuilloPurchaseState::awaitingPayment(pack));
        cancelMonitor();
        monitor_.emplace();
        monitorPayment(order, generation, authService, cloudService, monitor_->token());
        co_return;
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self || !auth || !cloud) co_return;

    if (!isCurrentCheckout(generation, authService)) {
        if (checkoutOwnership_.generation == generation) {
            checkoutOwnership_.clear();
            setState(QuilloPurchaseState::idle());
        }
        co_return;
    }
    try {
        std::rethrow_exception(failure);
    } catch (const PaymentError& error) {
        if (error.kind() == PaymentError::Kind::checkoutRejected) {
            bool invalidated = false;
            if (error.status() == 401)
                invalidated = cloudService.invalidateAccountIfUnauthorized(*authorization, authService);
            if (CheckoutFailureRetentionPolicy::shouldClearRequestIdentity(error.status(), invalidated)) {
                requestIDs_.erase(pack);
                checkoutOwnership_.clear();
            }
        }
    } catch (...) {}
    if (!self) co_return;
    record(QuilloDiagnosticEvent::checkoutFailed);
    setState(QuilloPurchaseState::failed(userFacingMessage(failure)));
    qCCritical(lcPayment, "Unable to start checkout: %s", qUtf8Printable(describe(failure)));
}

void QuilloPaymentService::abandonCheckout(const QUuid& generation, const QuilloSessionProviding& authService) {
    if (checkoutOwnership_.generation != generation) return; // another checkout owns it
    record(QuilloDiagnosticEvent::checkoutFailed);
    checkoutOwnership_.clear();
    if (authService.currentSession()) setState(QuilloPurchaseState::idle());
    else setState(QuilloPurchaseState::failed(UserFacingErrorCatalog::checkout(Catalog::http(401))));
}

// MARK: following the order

QCoro::Task<> QuilloPaymentService::monitorPayment(TrackedPaymentOrder order, QUuid generation,
                                                   QuilloSessionProviding& authService,
                                                   QuilloCloudService& cloudService, CancellationToken token) {
    QPointer<QuilloPaymentService> self(this);
    QPointer<QuilloSessionProviding> auth(&authService);
    QPointer<QuilloCloudService> cloud(&cloudService);
    Clock& clock = clock_;

    if (!co_await clock.sleep(2.0, token)) co_return;
    for (int polls = 0;; ++polls) {
        if (!self || !auth || !cloud || token.isCancelled()) co_return;
        if (!isTracking(order.pack) || checkoutOwnership_.generation != generation) co_return;
        const CurrentSession current = currentSessionOf(authService);
        if (!checkoutOwnership_.belongsToCurrentSession(generation, current.userID, current.sessionID)) {
            reset();
            co_return;
        }
        const bool finished = co_await refreshTrackedOrder(order, authService, cloudService, token);
        if (!self || finished || token.isCancelled()) co_return;
        if (polls + 1 == maximumStatusPolls) {
            if (isTracking(order.pack)) setState(QuilloPurchaseState::pending(order.pack));
            co_return;
        }
        // Quick polls while the buyer is likely still on the page, slower ones afterwards.
        if (!co_await clock.sleep(polls + 1 <= 7 ? 2.0 : 5.0, token)) co_return;
    }
}

QCoro::Task<> QuilloPaymentService::prepare(QuilloSessionProviding& authService, QuilloCloudService& cloudService) {
    if (state_.kind == QuilloPurchaseState::Kind::failed) setState(QuilloPurchaseState::idle());
    co_await resumeTrackedOrder(authService, cloudService);
}

QCoro::Task<> QuilloPaymentService::refreshPayment(QuilloSessionProviding& authService,
                                                   QuilloCloudService& cloudService) {
    co_await resumeTrackedOrder(authService, cloudService);
}

QCoro::Task<> QuilloPaymentService::resumeTrackedOrder(QuilloSessionProviding& authService,
                                                       QuilloCloudService& cloudService) {
    const auto order = trackingStore_.load();
    if (!order) {
        setState(QuilloPurchaseState::idle());
        co_return;
    }
    const auto session = authService.currentSession();
    const auto sessionID = session ? AccessTokenSessionIdentity::sessionID(session->accessToken) : std::nullopt;
    const QString trackedUser = order->userID.toString(QUuid::WithoutBraces);
    if (!session || trackedUser.compare(session->userId, Qt::CaseInsensitive) != 0 || !sessionID) {
        setState(QuilloPurchaseState::idle()); // the order stays stored for its own account
        co_return;
    }
    if (!PaymentTrackingPolicy::isOwnedByCurrentSession(order->userID, session->userId, sessionID, sessionID)) {
        setState(QuilloPurchaseState::idle());
        co_return;
    }
    setState(QuilloPurchaseState::pending(order->pack));
    co_await refreshTrackedOrder(*order, authService, cloudService, {});
}

QCoro::Task<bool> QuilloPaymentService::refreshTrackedOrder(TrackedPaymentOrder order,
                                                            QuilloSessionProviding& authService,
                                                            QuilloCloudService& cloudService, CancellationToken token) {
    QPointer<QuilloPaymentService> self(this);
    QPointer<QuilloSessionProviding> auth(&authService);
    QPointer<QuilloCloudService> cloud(&cloudService);

    const std::optional<QString> expectedSessionID = currentSessionOf(authService).sessionID;
    // The order still belongs to the signed-in account and the session the refresh began under.
    auto owned = [&] {
        const CurrentSession current = currentSessionOf(*auth);
        return PaymentTrackingPolicy::isOwnedByCurrentSession(order.userID, current.userID, expectedSessionID,
                                                              current.sessionID);
    };
    if (!expectedSessionID || !owned()) {
        setState(QuilloPurchaseState::idle());
        co_return true;
    }
    const std::optional<QString> authorization = co_await authService.authorizationBearer();
    if (!self || !auth || !cloud) co_return true;
    if (!authorization) co_return false;
    if (!owned()) {
        setState(QuilloPurchaseState::idle());
        co_return true;
    }

    const QByteArray body = QJsonDocument(QJsonObject{{"action", "status"}, {"orderId", lowerUuid(order.orderID)}})
                                .toJson(QJsonDocument::Compact);
    std::exception_ptr failure;
    std::optional<PaymentOrderStatusResponse> answer;
    try {
        const CloudHttpResponse response = co_await send(body, *authorization, false, token);
        if (!self || !auth || !cloud) co_return true;
        if (response.status != 200) throw PaymentError::checkoutRejected(response.isHTTP() ? response.status : -1);
        answer = PaymentOrderStatusResponse::fromJson(response.body);
        if (!answer) throw CloudResponseDecodingError("status answer is unreadable");
    } catch (const CancellationError&) {
        co_return true; // the monitor was stopped; nothing to report
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self || !auth || !cloud) co_return true;
    if (!owned()) {
        setState(QuilloPurchaseState::idle());
        co_return true;
    }

    if (!failure) {
        if (answer->orderId != order.orderID || answer->pack != order.pack) co_return false;
        co_return co_await apply(answer->status, order.pack, authService, cloudService);
    }
    try {
        std::rethrow_exception(failure);
    } catch (const PaymentError& error) {
        if (error.kind() == PaymentError::Kind::checkoutRejected) {
            if (PaymentTrackingPolicy::shouldInvalidateSession(error.status()) &&
                cloudService.invalidateAccountIfUnauthorized(*authorization, authService)) {
                setState(QuilloPurchaseState::idle());
                co_return true;
            }
            if (PaymentTrackingPolicy::shouldDiscardTracking(error.status())) {
                trackingStore_.clear(order.orderID);
                setState(QuilloPurchaseState::failed(orderNotFoundMessage));
                co_return true;
            }
        }
    } catch (...) {}
    qCCritical(lcPayment, "Unable to refresh payment status: %s", qUtf8Printable(describe(failure)));
    co_return false;
}

QCoro::Task<bool> QuilloPaymentService::apply(PaymentOrderStatus status, QuilloCreditPack pack,
                                              QuilloSessionProviding& authService, QuilloCloudService& cloudService) {
    QPointer<QuilloPaymentService> self(this);
    using Resolution = PaymentTrackingResolution;
    const Resolution resolution = PaymentTrackingPolicy::resolution(status);
    switch (resolution) {
    case Resolution::keepWaiting:
        if (!state_.isAwaitingPayment()) setState(QuilloPurchaseState::pending(pack));
        co_return false;
    case Resolution::failed:
        setState(QuilloPurchaseState::failed(QStringLiteral("Payment failed. No credits were charged.")));
        co_return true;
    case Resolution::expired:
        setState(QuilloPurchaseState::failed(QStringLiteral("Checkout expired. You can start a new payment.")));
        co_return true;
    case Resolution::completed:
    case Resolution::partiallyRefunded:
    case Resolution::refunded:
    case Resolution::underReview: break;
    }
    co_await cloudService.refreshAccount(authService);
    if (!self) co_return true;
    switch (resolution) {
    case Resolution::completed:
        requestIDs_.erase(pack);
        checkoutOwnership_.clear();
        record(QuilloDiagnosticEvent::checkoutCompleted);
        setState(QuilloPurchaseState::completed(pack));
        break;
    case Resolution::partiallyRefunded: setState(QuilloPurchaseState::partiallyRefunded(pack)); break;
    case Resolution::refunded: setState(QuilloPurchaseState::refunded(pack)); break;
    default: setState(QuilloPurchaseState::underReview(pack)); break;
    }
    co_return true;
}

} // namespace quillo
