#include "Services/CloudHealthChecker.h"

#include "Support/Logging.h"

namespace quillo {

CloudHealthChecker::CloudHealthChecker(CloudHttpTransport& transport, double minimumInterval, Clock& clock)
    : minimumInterval_(minimumInterval), transport_(transport), clock_(clock) {}

QCoro::Task<bool> CloudHealthChecker::check(QUrl url, bool force) {
    if (inFlight_) {
        const auto shared = inFlight_;
        co_return co_await shared->wait();
    }
    if (!force && clock_.uptimeSeconds() - lastCheckAt_ < minimumInterval_) co_return lastResult_;

    auto result = std::make_shared<SharedResult<bool>>();
    inFlight_ = result;
    run(std::move(url), result);
    co_return co_await result->wait();
}

QCoro::Task<> CloudHealthChecker::run(QUrl url, std::shared_ptr<SharedResult<bool>> result) {
    std::weak_ptr<int> alive = lifetime_;
    const bool healthy = co_await request(std::move(url));
    if (!alive.expired()) {
        inFlight_.reset();
        lastCheckAt_ = clock_.uptimeSeconds();
        lastResult_ = healthy;
    }
    result->set(healthy);
}

QCoro::Task<bool> CloudHealthChecker::request(QUrl url) {
    CloudHttpRequest request;
    request.method = "GET";
    request.url = std::move(url);
    request.timeoutSeconds = requestTimeoutSeconds;
    request.ignoreCache = true;
    try {
        const CloudHttpResponse response = co_await transport_.send(std::move(request), {});
        if (response.status == 200) co_return true;
        qCInfo(lcCloudHealth, "Cloud health returned HTTP %ld", static_cast<long>(response.status));
        co_return false;
    } catch (const NetworkError& error) {
        qCInfo(lcCloudHealth, "Cloud health request failed: %s", qUtf8Printable(networkErrorCodeName(error.code)));
    } catch (const std::exception& error) {
        qCInfo(lcCloudHealth, "Cloud health request failed: %s", error.what());
    }
    co_return false;
}

} // namespace quillo
