#pragma once

#include "Services/CloudHttpTransport.h"
#include "Support/Clock.h"

#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace quillo {

// A transport that answers from a script, for tests: each request takes the next step (or asks
// the handler when the script is empty). A step may take time on the clock first; the request's
// timeout and cancellation end that wait as the real transport would.
class ScriptedCloudHttpTransport final : public CloudHttpTransport {
public:
    struct Step {
        std::optional<CloudHttpResponse> response;          // the answer...
        NetworkErrorCode error = NetworkErrorCode::unknown; // ...or this failure when there is none
        double delaySeconds = 0.0;                          // time on the clock before the outcome
        bool hangs = false;                                 // never answers: only the timeout or a cancellation ends it

        static Step answer(int status, QByteArray body = {}, CloudHttpHeaders headers = {}, double delay = 0.0);
        static Step json(int status, const QByteArray& body, CloudHttpHeaders headers = {}, double delay = 0.0);
        static Step failure(NetworkErrorCode code, double delay = 0.0);
        static Step hang();
    };

    struct Sent {
        CloudHttpRequest request;
        double uptime = 0.0; // when it was sent
    };

    explicit ScriptedCloudHttpTransport(Clock& clock = Clock::shared()) : clock_(clock) {}

    void enqueue(Step step) { script_.push_back(std::move(step)); }
    void enqueue(int count, const Step& step) {
        for (int i = 0; i < count; ++i) script_.push_back(step);
    }
    // Answers requests once the script is spent; without one they fail with cannotConnectToHost.
    void setHandler(std::function<Step(const CloudHttpRequest&)> handler) { handler_ = std::move(handler); }

    const std::vector<Sent>& sent() const { return sent_; }
    std::size_t remainingSteps() const { return script_.size(); }
    int inFlight() const { return inFlight_; }

    QCoro::Task<CloudHttpResponse> send(CloudHttpRequest request, CancellationToken token) override;

private:
    Clock& clock_;
    std::deque<Step> script_;
    std::function<Step(const CloudHttpRequest&)> handler_;
    std::vector<Sent> sent_;
    int inFlight_ = 0;
};

} // namespace quillo
