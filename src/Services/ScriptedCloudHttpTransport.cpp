#include "Services/ScriptedCloudHttpTransport.h"

#include <algorithm>

namespace quillo {

ScriptedCloudHttpTransport::Step ScriptedCloudHttpTransport::Step::answer(int status, QByteArray body,
                                                                          CloudHttpHeaders headers, double delay) {
    Step step;
    step.response = CloudHttpResponse{status, std::move(headers), std::move(body)};
    step.delaySeconds = delay;
    return step;
}

ScriptedCloudHttpTransport::Step ScriptedCloudHttpTransport::Step::json(int status, const QByteArray& body,
                                                                        CloudHttpHeaders headers, double delay) {
    headers.emplace_back("Content-Type", "application/json");
    return answer(status, body, std::move(headers), delay);
}

ScriptedCloudHttpTransport::Step ScriptedCloudHttpTransport::Step::failure(NetworkErrorCode code, double delay) {
    Step step;
    step.error = code;
    step.delaySeconds = delay;
    return step;
}

ScriptedCloudHttpTransport::Step ScriptedCloudHttpTransport::Step::hang() {
    Step step;
    step.hangs = true;
    return step;
}

QCoro::Task<CloudHttpResponse> ScriptedCloudHttpTransport::send(CloudHttpRequest request, CancellationToken token) {
    token.throwIfCancelled();
    sent_.push_back({request, clock_.uptimeSeconds()});
    Step step;
    if (!script_.empty()) {
        step = std::move(script_.front());
        script_.pop_front();
    } else if (handler_) {
        step = handler_(request);
    } else {
        step = Step::failure(NetworkErrorCode::cannotConnectToHost);
    }

    const double timeout = std::max(0.0, request.timeoutSeconds);
    const bool timesOut = step.hangs || step.delaySeconds >= timeout;
    const double wait = timesOut ? timeout : step.delaySeconds;
    ++inFlight_;
    const bool elapsed = co_await clock_.sleep(wait, token);
    --inFlight_;
    if (!elapsed || token.isCancelled()) throw CancellationError();
    if (timesOut) throw NetworkError(NetworkErrorCode::timedOut);
    if (!step.response) throw NetworkError(step.error);
    co_return *step.response;
}

} // namespace quillo
