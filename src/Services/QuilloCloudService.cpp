#include "Services/QuilloCloudService.h"

#include "BuildInfo.h"
#include "Platform/UserDefaults.h"
#include "Services/QuilloCloudError.h"
#include "Services/QuilloDiagnostics.h"
#include "Support/CorrectionNetworkRetryPolicy.h"
#include "Support/CorrectionRequestIdentity.h"
#include "Support/Logging.h"
#include "Support/QuilloAppEnvironment.h"
#include "Support/SessionIdentity.h"
#include "Support/UserFacingErrorCatalog.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QUrlQuery>
#include <algorithm>
#include <limits>

namespace quillo {

namespace {

using Catalog = UserFacingErrorCatalog::CorrectionFailure;
using AccountCatalog = UserFacingErrorCatalog::AccountFailure;

// A decimal integer with an optional sign and nothing else; absent for anything that is not.
std::optional<std::int64_t> parseDecimal(const std::optional<QByteArray>& raw) {
    if (!raw || raw->isEmpty()) return std::nullopt;
    const QByteArray& text = *raw;
    qsizetype i = 0;
    bool negative = false;
    if (text[0] == '+' || text[0] == '-') {
        negative = text[0] == '-';
        i = 1;
    }
    if (i == text.size()) return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        const int digit = c - '0';
        if (value > (std::numeric_limits<std::int64_t>::max() - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

std::optional<int> narrowed(std::optional<std::int64_t> value) {
    if (!value) return std::nullopt;
    return static_cast<int>(
        std::clamp<std::int64_t>(*value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

// JSON members of a decoded body; a member of the wrong type makes the whole body unreadable.
struct Reader {
    const QJsonObject& object;
    bool failed = false;

    std::optional<double> optionalNumber(const char* key) {
        const QJsonValue v = object.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull()) return std::nullopt;
        if (!v.isDouble()) {
            failed = true;
            return std::nullopt;
        }
        return v.toDouble();
    }
    double number(const char* key) {
        const auto v = optionalNumber(key);
        if (!v) failed = true;
        return v.value_or(0);
    }
    std::optional<QString> optionalString(const char* key) {
        const QJsonValue v = object.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull()) return std::nullopt;
        if (!v.isString()) {
            failed = true;
            return std::nullopt;
        }
        return v.toString();
    }
    QString string(const char* key) {
        const auto v = optionalString(key);
        if (!v) failed = true;
        return v.value_or(QString());
    }
    // Absent or null: none. Present but not an object: failure.
    std::optional<QJsonObject> optionalObject(const char* key) {
        const QJsonValue v = object.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull()) return std::nullopt;
        if (!v.isObject()) {
            failed = true;
            return std::nullopt;
        }
        return v.toObject();
    }
};

std::optional<QJsonObject> jsonObject(const QByteArray& body) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    return document.object();
}

struct RoutingTitles {
    QString requested, used, billing;
};

struct Billing {
    double charged = 0, balance = 0;
    std::optional<double> reserved, available;
};

struct CorrectionBody {
    QString correction;
    std::optional<RoutingTitles> routing;
    std::optional<Billing> billing;
};

std::optional<CorrectionBody> decodeCorrection(const QByteArray& body) {
    const auto object = jsonObject(body);
    if (!object) return std::nullopt;
    Reader reader{*object};
    CorrectionBody decoded;
    decoded.correction = reader.string("correction");
    if (const auto routing = reader.optionalObject("routing")) {
        Reader r{*routing};
        decoded.routing = RoutingTitles{r.string("requestedSpeed"), r.string("usedSpeed"), r.string("billingSpeed")};
        if (r.failed) return std::nullopt;
    }
    if (const auto billing = reader.optionalObject("billing")) {
        Reader b{*billing};
        Billing value;
        value.charged = b.number("chargedCredits");
        value.balance = b.number("balanceCredits");
        value.reserved = b.optionalNumber("reservedCredits");
        value.available = b.optionalNumber("availableCredits");
        if (b.failed) return std::nullopt;
        decoded.billing = value;
    }
    if (reader.failed) return std::nullopt;
    return decoded;
}

struct CreditRefusal {
    std::optional<double> available;
};

std::optional<CreditRefusal> decodeCreditRefusal(const QByteArray& body) {
    const auto object = jsonObject(body);
    if (!object) return std::nullopt;
    Reader reader{*object};
    reader.optionalString("error");
    reader.optionalNumber("requiredCredits");
    CreditRefusal refusal{reader.optionalNumber("availableCredits")};
    if (reader.failed) return std::nullopt;
    return refusal;
}

std::optional<QuilloCloudAccount> decodeAccount(const QByteArray& body) {
    const auto object = jsonObject(body);
    if (!object) return std::nullopt;
    Reader reader{*object};
    QuilloCloudAccount account{reader.number("balanceCredits"), reader.number("reservedCredits"),
                               reader.number("availableCredits")};
    if (reader.failed) return std::nullopt;
    return account;
}

bool isBlank(const QString& text) {
    for (const QChar c : text)
        if (!c.isSpace()) return false;
    return true;
}

// JSON cannot carry half a surrogate pair; encoding one would silently change the text.
bool hasUnpairedSurrogate(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text.at(i + 1).isLowSurrogate()) return true;
            ++i;
        } else if (c.isLowSurrogate()) {
            return true;
        }
    }
    return false;
}

QString writingModeWireValue(CorrectionWritingMode mode) {
    return mode == CorrectionWritingMode::contextual ? QStringLiteral("contextual") : QStringLiteral("proofread");
}

QString modelWireValue(CloudCorrectionModel model) {
    return model == CloudCorrectionModel::fast ? QStringLiteral("fast") : QStringLiteral("very_very_fast");
}

std::optional<QUrl> parseEndpoint(const QString& endpoint) {
    const QUrl url(endpoint, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative() || url.host().isEmpty()) return std::nullopt;
    return url;
}

std::optional<QUrl> withPath(const QString& endpoint, const QString& path) {
    auto url = parseEndpoint(endpoint);
    if (!url) return std::nullopt;
    url->setPath(path);
    url->setQuery(QString());
    url->setFragment(QString());
    if (!url->isValid()) return std::nullopt;
    return url;
}

} // namespace

QuilloCloudService::QuilloCloudService(CloudHttpTransport& transport, QuilloSessionProviding& authService,
                                       CloudHealthChecker* healthChecker, Options options)
    : transport_(transport), authService_(authService), endpoint_(std::move(options.endpoint)),
      clock_(options.clock ? *options.clock : Clock::shared()), retrySleeper_(std::move(options.retrySleeper)),
      recordEvent_(std::move(options.recordEvent)), clientVersion_(clientVersion(options.info)) {
    if (!healthChecker) {
        ownedHealthChecker_ =
            std::make_unique<CloudHealthChecker>(transport_, CloudHealthChecker::defaultMinimumInterval, clock_);
        healthChecker = ownedHealthChecker_.get();
    }
    healthChecker_ = healthChecker;
    if (!retrySleeper_) {
        Clock* clock = &clock_;
        retrySleeper_ = [clock](std::uint64_t nanoseconds, CancellationToken token) -> QCoro::Task<> {
            return clock->sleepOrThrow(static_cast<double>(nanoseconds) / 1e9, std::move(token));
        };
    }
    if (!recordEvent_)
        recordEvent_ = [](QuilloDiagnosticEvent event, std::optional<QUuid> id) {
            QuilloDiagnostics::record(event, id);
        };
}

QuilloCloudService::QuilloCloudService(CloudHttpTransport& transport, QuilloSessionProviding& authService,
                                       CloudHealthChecker* healthChecker)
    : QuilloCloudService(transport, authService, healthChecker, Options{}) {}

QuilloCloudService::~QuilloCloudService() = default;

// MARK: endpoint and configuration

QString QuilloCloudService::endpoint() { return QString::fromUtf8(QUILLO_CLOUD_ENDPOINT); }

void QuilloCloudService::setEndpoint(UserDefaults& defaults, const QString&) { defaults.remove(endpointDefaultsKey); }

std::optional<QUrl> QuilloCloudService::endpointURL(const QString& endpoint) { return parseEndpoint(endpoint); }

std::optional<QUrl> QuilloCloudService::healthURL(const QString& endpoint) {
    auto url = parseEndpoint(endpoint);
    if (!url) return std::nullopt;
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("action"), QStringLiteral("health"));
    url->setQuery(query);
    url->setFragment(QString());
    if (!url->isValid()) return std::nullopt;
    return url;
}

std::optional<QUrl> QuilloCloudService::checkoutURL(const QString& endpoint) {
    return withPath(endpoint, QStringLiteral("/api/checkout"));
}

std::optional<QUrl> QuilloCloudService::authURL(const QString& endpoint) {
    return withPath(endpoint, QStringLiteral("/api/auth"));
}

bool QuilloCloudService::isConfigured(const QString& endpoint) { return parseEndpoint(endpoint).has_value(); }

void QuilloCloudService::saveConfiguration(UserDefaults& defaults, const QString& ignoredEndpoint) {
    setEndpoint(defaults, ignoredEndpoint);
    defaults.setBoolean(configuredDefaultsKey, isConfigured());
}

QString QuilloCloudService::clientVersion(const QuilloInfoDictionary& info) {
    const QString version =
        QuilloAppEnvironment::string(info, QuilloBundleInfo::shortVersionKey).value_or(QStringLiteral("unknown"));
    const QString build =
        QuilloAppEnvironment::string(info, QuilloBundleInfo::bundleVersionKey).value_or(QStringLiteral("unknown"));
    return version + QStringLiteral(" (") + build + QLatin1Char(')');
}

// MARK: published state

void QuilloCloudService::setLoadingError(std::optional<QString> value) {
    if (loadingError_ == value) return;
    loadingError_ = std::move(value);
    emit loadingErrorChanged();
}

void QuilloCloudService::setAccount(std::optional<QuilloCloudAccount> value) {
    if (account_ == value) return;
    account_ = value;
    emit accountChanged();
}

void QuilloCloudService::setLastChargedCredits(std::optional<double> value) {
    if (lastChargedCredits_ == value) return;
    lastChargedCredits_ = value;
    emit lastChargedCreditsChanged();
}

void QuilloCloudService::setRefreshingAccount(bool value) {
    if (isRefreshingAccount_ == value) return;
    isRefreshingAccount_ = value;
    emit isRefreshingAccountChanged();
}

bool QuilloCloudService::sessionMatches(const QString& authorization, const QuilloSessionProviding& authService) const {
    const auto session = authService.currentSession();
    return SessionInvalidationPolicy::authorizationMatchesAccessToken(
        authorization, session ? std::optional<QString>(session->accessToken) : std::nullopt);
}

bool QuilloCloudService::invalidateAccountIfUnauthorized(const QString& authorization,
                                                         QuilloSessionProviding& authService) {
    // The provider ends the session only when the refused authorization is still its own.
    const bool wasCurrent = sessionMatches(authorization, authService);
    authService.invalidateSessionIfUnauthorized(authorization);
    const bool ended = wasCurrent && !sessionMatches(authorization, authService);
    if (ended) {
        setAccount(std::nullopt);
        setLastChargedCredits(std::nullopt);
    }
    return ended;
}

std::uint64_t QuilloCloudService::uptimeNanoseconds() const {
    const double seconds = std::max(0.0, clock_.uptimeSeconds());
    const double ns = seconds * 1e9;
    if (ns >= static_cast<double>(std::numeric_limits<std::uint64_t>::max()))
        return std::numeric_limits<std::uint64_t>::max();
    return static_cast<std::uint64_t>(ns);
}

// MARK: correction

QCoro::Task<CloudHttpResponse> QuilloCloudService::sendWithRetries(CloudHttpRequest request, std::uint64_t deadline,
                                                                   CancellationToken token, std::weak_ptr<int> alive) {
    CorrectionNetworkRetryPolicy policy;
    auto remaining = [this, deadline] {
        const std::uint64_t now = uptimeNanoseconds();
        return now >= deadline ? std::uint64_t{0} : deadline - now;
    };
    auto wait = [&](std::uint64_t nanoseconds) -> QCoro::Task<> {
        auto sleeper = retrySleeper_;
        co_await sleeper(nanoseconds, token);
        if (alive.expired()) throw CancellationError();
    };
    for (;;) {
        token.throwIfCancelled();
        const std::uint64_t left = remaining();
        if (left == 0) throw NetworkError(NetworkErrorCode::timedOut);
        request.timeoutSeconds = std::clamp(static_cast<double>(left) / 1e9, 1.0, correctionAttemptTimeoutSeconds);

        CloudHttpResponse response;
        std::optional<std::uint64_t> transportDelay;
        try {
            response = co_await transport_.send(request, token);
        } catch (const NetworkError& error) {
            if (alive.expired()) throw CancellationError();
            transportDelay = policy.transportRetryDelay(error, remaining());
            if (!transportDelay) throw;
            qCInfo(lcCloud, "Cloud correction transport retry=%ld; code=%ld",
                   static_cast<long>(policy.transportRetries), static_cast<long>(error.code));
        }
        if (transportDelay) {
            co_await wait(*transportDelay);
            continue;
        }
        if (alive.expired()) throw CancellationError();
        if (!response.isHTTP()) co_return response;

        const std::uint64_t left2 = remaining();
        const auto retryAfter = parseDecimal(response.header("Retry-After"));
        if (response.status == 425) {
            if (const auto delay = policy.processingRetryDelay(retryAfter, left2)) {
                qCInfo(lcCloud, "Cloud correction still processing; replay poll=%ld",
                       static_cast<long>(policy.processingPolls));
                co_await wait(*delay);
                continue;
            }
        }
        const auto safeHeader = response.header("X-Quillo-Retry-Safe");
        const std::optional<QString> safe =
            safeHeader ? std::optional<QString>(QString::fromLatin1(*safeHeader)) : std::nullopt;
        if (const auto delay = policy.safeHTTPRetryDelay(response.status, safe, retryAfter, left2)) {
            qCInfo(lcCloud, "Cloud correction safe HTTP retry=%ld; status=%ld",
                   static_cast<long>(policy.safeHTTPRetries), static_cast<long>(response.status));
            co_await wait(*delay);
            continue;
        }
        co_return response;
    }
}

QCoro::Task<std::optional<QuilloCorrectionResult>> QuilloCloudService::correctText(QString text, QString mode,
                                                                                   CloudCorrectionModel cloudModel,
                                                                                   CorrectionWritingMode writingMode,
                                                                                   CancellationToken token) {
    std::weak_ptr<int> alive = lifetime_;
    const auto url = endpointURL(endpoint_);
    if (!url) {
        setLoadingError(UserFacingErrorCatalog::account(AccountCatalog::invalidEndpoint()));
        co_return std::nullopt;
    }
    if (isBlank(text)) co_return std::nullopt;

    QuilloSessionProviding& auth = authService_;
    const std::optional<QString> authorization = co_await auth.authorizationBearer();
    if (alive.expired()) throw CancellationError();
    token.throwIfCancelled();
    if (!authorization) {
        setLoadingError(UserFacingErrorCatalog::correction(Catalog::authenticationRequired()));
        throw QuilloCloudError::authenticationRequired();
    }

    CorrectionRequestIdentity identity;
    try {
        identity = CorrectionRequestIdentity::make();
    } catch (const CorrectionRequestIdentityFailure&) {
        throw QuilloCloudError::secureRandomUnavailable();
    }
    const QUuid requestID = QUuid::fromString(identity.correctionId);
    const DiagnosticRecorder record = recordEvent_;
    record(QuilloDiagnosticEvent::cloudRequestStarted, requestID);

    if (hasUnpairedSurrogate(text)) throw CloudRequestEncodingError();
    QJsonObject body;
    body.insert(QStringLiteral("text"), text);
    body.insert(QStringLiteral("mode"), mode);
    body.insert(QStringLiteral("cloudModel"), modelWireValue(cloudModel));
    body.insert(QStringLiteral("correctionStyle"), writingModeWireValue(writingMode));
    body.insert(QStringLiteral("correctionId"), identity.correctionId);
    body.insert(QStringLiteral("recoveryKey"), identity.recoveryKey);

    CloudHttpRequest request;
    request.method = "POST";
    request.url = *url;
    request.headers = {{"Content-Type", "application/json"},
                       {"Authorization", authorization->toUtf8()},
                       {"X-Quillo-Version", clientVersion_.toUtf8()},
                       {"X-Quillo-Request-ID", identity.correctionId.toUtf8()}};
    request.body = QJsonDocument(body).toJson(QJsonDocument::Compact);
    request.timeoutSeconds = correctionAttemptTimeoutSeconds;

    const std::uint64_t now = uptimeNanoseconds();
    const std::uint64_t deadline = now > std::numeric_limits<std::uint64_t>::max() - correctionDeadlineNanoseconds
                                       ? std::numeric_limits<std::uint64_t>::max()
                                       : now + correctionDeadlineNanoseconds;

    CloudHttpResponse response;
    try {
        response = co_await sendWithRetries(std::move(request), deadline, token, alive);
    } catch (...) {
        record(QuilloDiagnosticEvent::cloudRequestFailed, requestID);
        throw;
    }

    const bool current = sessionMatches(*authorization, auth);
    if (response.status == 200) {
        const auto decoded = decodeCorrection(response.body);
        if (!decoded) throw CloudResponseDecodingError("unreadable correction body");
        QuilloCorrectionResult result;
        result.correction = isBlank(decoded->correction) ? text : decoded->correction;
        if (current) {
            setLoadingError(std::nullopt);
            if (const auto& billing = decoded->billing) {
                setAccount(QuilloCloudAccount{billing->balance, billing->reserved.value_or(0),
                                              billing->available.value_or(billing->balance)});
                setLastChargedCredits(billing->charged);
            }
        }
        if (const auto& titles = decoded->routing) {
            const auto requested = CloudCorrectionModels::publicTitleValue(titles->requested);
            const auto used = CloudCorrectionModels::publicTitleValue(titles->used);
            const auto billed = CloudCorrectionModels::publicTitleValue(titles->billing);
            if (!requested || !used || !billed) {
                qCWarning(lcCloud, "Cloud routing response contained an unknown public speed");
            } else if (*used != *billed) {
                qCCritical(lcCloud, "Cloud routing and billing speeds did not match");
            } else {
                result.routing = QuilloCorrectionRouting{*requested, *used, *billed};
                result.usedModels = {*used};
            }
        } else {
            result.usedModels = {cloudModel};
        }
        if (decoded->billing) result.chargedCredits = decoded->billing->charged;
        record(QuilloDiagnosticEvent::cloudRequestSucceeded, requestID);
        co_return result;
    }

    record(QuilloDiagnosticEvent::cloudRequestFailed, requestID);
    const int status = response.isHTTP() ? response.status : -1;
    if (status == 429) {
        const auto retryAfter = narrowed(parseDecimal(response.header("Retry-After")));
        if (current) {
            setLoadingError(UserFacingErrorCatalog::correction(Catalog::capacityBusy(retryAfter)));
            qCInfo(lcCloud, "Cloud correction capacity blocked; retryAfter=%ld",
                   static_cast<long>(retryAfter.value_or(0)));
        }
        throw QuilloCloudError::temporarilyBusy(retryAfter);
    }
    if (status == 402) {
        if (const auto refusal = decodeCreditRefusal(response.body)) {
            const double available = refusal->available ? *refusal->available
                                     : account_         ? account_->availableCredits
                                                        : 0.0;
            if (current) {
                setAccount(QuilloCloudAccount{account_ ? account_->balanceCredits : available,
                                              account_ ? account_->reservedCredits : 0.0, available});
                setLoadingError(UserFacingErrorCatalog::correction(Catalog::insufficientCredits()));
                qCInfo(lcCloud, "Cloud correction blocked by available credit; available=%f", available);
            }
            throw QuilloCloudError::insufficientCredits();
        }
    }
    if (status == 401) {
        if (invalidateAccountIfUnauthorized(*authorization, auth))
            setLoadingError(UserFacingErrorCatalog::correction(Catalog::http(401)));
    }
    if (sessionMatches(*authorization, auth))
        setLoadingError(UserFacingErrorCatalog::correction(Catalog::http(status)));
    qCWarning(lcCloud, "Cloud correction returned HTTP %ld", static_cast<long>(status));
    throw QuilloCloudError::httpError(status);
}

// MARK: account and cloud state

QCoro::Task<> QuilloCloudService::refreshAccount(QuilloSessionProviding& authService, CancellationToken token) {
    std::weak_ptr<int> alive = lifetime_;
    const auto url = endpointURL(endpoint_);
    if (!url) {
        accountRefreshGeneration_.invalidate();
        setRefreshingAccount(false);
        setLoadingError(UserFacingErrorCatalog::account(AccountCatalog::invalidEndpoint()));
        co_return;
    }
    const std::optional<QString> authorization = co_await authService.authorizationBearer();
    if (alive.expired()) co_return;
    if (!authorization) {
        accountRefreshGeneration_.invalidate();
        setRefreshingAccount(false);
        setAccount(std::nullopt);
        setLastChargedCredits(std::nullopt);
        setLoadingError(std::nullopt);
        co_return;
    }

    const QUuid refreshID = accountRefreshGeneration_.begin();
    setRefreshingAccount(true);
    auto applyIfCurrent = [&](auto mutation) {
        if (!accountRefreshGeneration_.isCurrent(refreshID) || !sessionMatches(*authorization, authService))
            return false;
        mutation();
        return true;
    };

    CloudHttpRequest request;
    request.method = "GET";
    request.url = *url;
    request.headers = {{"Authorization", authorization->toUtf8()}};
    request.timeoutSeconds = accountTimeoutSeconds;
    try {
        const CloudHttpResponse response = co_await transport_.send(std::move(request), token);
        if (alive.expired()) co_return;
        const int status = response.isHTTP() ? response.status : -1;
        if (status == 200) {
            if (const auto account = decodeAccount(response.body)) {
                applyIfCurrent([&] {
                    setAccount(*account);
                    setLoadingError(std::nullopt);
                });
            } else {
                applyIfCurrent(
                    [&] { setLoadingError(UserFacingErrorCatalog::account(AccountCatalog::invalidResponse())); });
                qCWarning(lcCloud, "Cloud account refresh returned an unreadable response");
            }
        } else if (status == 401) {
            if (invalidateAccountIfUnauthorized(*authorization, authService))
                setLoadingError(UserFacingErrorCatalog::account(AccountCatalog::http(401)));
        } else {
            applyIfCurrent([&] { setLoadingError(UserFacingErrorCatalog::account(AccountCatalog::http(status))); });
        }
    } catch (const NetworkError& error) {
        if (alive.expired()) co_return;
        applyIfCurrent([&] { setLoadingError(UserFacingErrorCatalog::account(AccountCatalog::network(error.code))); });
        qCWarning(lcCloud, "Cloud account refresh failed: %s", qUtf8Printable(networkErrorCodeName(error.code)));
    } catch (const CancellationError&) {
        // Never shown to the user.
        if (alive.expired()) co_return;
    } catch (const std::exception& error) {
        if (alive.expired()) co_return;
        applyIfCurrent([&] { setLoadingError(UserFacingErrorCatalog::account(AccountCatalog::unexpected())); });
        qCWarning(lcCloud, "Cloud account refresh failed: %s", error.what());
    }
    if (accountRefreshGeneration_.finish(refreshID)) setRefreshingAccount(false);
}

QCoro::Task<> QuilloCloudService::synchronizeCloudState(bool force) {
    std::weak_ptr<int> alive = lifetime_;
    QuilloSessionProviding& auth = authService_;
    std::optional<QString> authorization = co_await auth.authorizationBearer();
    if (alive.expired() || !authorization) co_return;

    while (cloudStateTask_ && cloudStateRequest_) {
        const CloudStateSynchronizationRequest running = *cloudStateRequest_;
        const auto task = cloudStateTask_;
        co_await task->wait();
        if (alive.expired()) co_return;
        if (cloudStateRequest_ && cloudStateRequest_->id == running.id) {
            cloudStateRequest_.reset();
            cloudStateTask_.reset();
        }
        authorization = co_await auth.authorizationBearer();
        if (alive.expired() || !authorization) co_return;
        // That run already did what was asked: same authorization, and forced if this call is.
        if (running.authorization == *authorization && (running.force || !force)) co_return;
    }

    const CloudStateSynchronizationRequest request{QUuid::createUuid(), *authorization, force};
    auto done = std::make_shared<SharedResult<bool>>();
    cloudStateRequest_ = request;
    cloudStateTask_ = done;
    performCloudStateRun(request, done);
    co_await done->wait();
    if (alive.expired()) co_return;
    if (cloudStateRequest_ && cloudStateRequest_->id == request.id) {
        cloudStateRequest_.reset();
        cloudStateTask_.reset();
    }
}

QCoro::Task<> QuilloCloudService::performCloudStateRun(CloudStateSynchronizationRequest request,
                                                       std::shared_ptr<SharedResult<bool>> done) {
    std::weak_ptr<int> alive = lifetime_;
    try {
        const auto url = healthURL(endpoint_);
        if (url && sessionMatches(request.authorization, authService_)) {
            // Both start at once and run side by side.
            QCoro::Task<> refresh = refreshAccount(authService_);
            QCoro::Task<bool> health = healthChecker_->check(*url, request.force);
            co_await std::move(refresh);
            const bool healthy = co_await std::move(health);
            if (!alive.expired() && !healthy) qCInfo(lcCloud, "Cloud health check failed");
        }
    } catch (...) {
        // A run never fails its waiters.
    }
    done->set(true);
}

} // namespace quillo
