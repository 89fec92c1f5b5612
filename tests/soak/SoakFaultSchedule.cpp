#include "SoakFaultSchedule.h"

#include "SoakServer.h"
#include "Support/Clock.h"

#include <QJsonObject>

namespace quillo::soak {

SoakFaultSchedule::SoakFaultSchedule(std::vector<SoakServer*> servers, std::uint32_t seed)
    : servers_(std::move(servers)), rng_(seed * 104729u + 1) {}

QCoro::Task<> SoakFaultSchedule::run() {
    Clock& clock = Clock::shared();
    while (!stopping_) {
        co_await clock.sleep(std::uniform_real_distribution<double>(0.15, 0.45)(rng_));
        if (stopping_) break;
        co_await armOne();
    }
}

SoakFaultSchedule::Fault SoakFaultSchedule::pick() {
    auto between = [this](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); };
    const int kind = between(0, 99);
    if (kind < 12)
        return {QStringLiteral("drop-request"), QStringLiteral("drop"),
                QJsonObject{{"count", between(1, 5)}, {"at", QStringLiteral("request")}}};
    if (kind < 24) // the work goes on for a while without its caller; the repeat polls it through 425s
        return {QStringLiteral("drop-processing"), QStringLiteral("drop"),
                QJsonObject{{"count", 1}, {"at", QStringLiteral("processing")}, {"milliseconds", between(1000, 3500)}}};
    if (kind < 36)
        return {QStringLiteral("drop-answer"), QStringLiteral("drop"),
                QJsonObject{{"count", between(1, 4)}, {"at", QStringLiteral("answer")}}};
    if (kind < 48)
        return {QStringLiteral("gateway-request"), QStringLiteral("gateway"),
                QJsonObject{{"status", 503}, {"safe", true}, {"afterProcessing", false}, {"count", between(1, 2)}}};
    if (kind < 60) {
        static const int statuses[] = {502, 503, 504};
        return {
            QStringLiteral("gateway-answer"), QStringLiteral("gateway"),
            QJsonObject{{"status", statuses[between(0, 2)]}, {"safe", true}, {"afterProcessing", true}, {"count", 1}}};
    }
    if (kind < 70)
        return {QStringLiteral("too-early"), QStringLiteral("too-early"), QJsonObject{{"count", between(2, 6)}}};
    if (kind < 80)
        return {QStringLiteral("delay-request"), QStringLiteral("delay"),
                QJsonObject{
                    {"milliseconds", between(300, 2500)}, {"count", between(1, 3)}, {"at", QStringLiteral("request")}}};
    if (kind < 90)
        return {QStringLiteral("delay-processing"), QStringLiteral("delay"),
                QJsonObject{{"milliseconds", between(300, 2500)},
                            {"count", between(1, 3)},
                            {"at", QStringLiteral("processing")}}};
    if (kind < 97) { // one speed busy for a moment: its corrections are served and billed at the other
        const bool fast = between(0, 1) == 1;
        return {QStringLiteral("busy-one"), QStringLiteral("busy"),
                QJsonObject{{"fast", fast}, {"very_very_fast", !fast}}, 0.5};
    }
    return {QStringLiteral("busy-both"), QStringLiteral("busy"),
            QJsonObject{{"fast", true}, {"very_very_fast", true}, {"retryAfter", 1}}, 0.2};
}

QCoro::Task<> SoakFaultSchedule::armOne() {
    const Fault fault = pick();
    std::vector<SoakServer*> running;
    for (SoakServer* server : servers_)
        if (server->isListening()) running.push_back(server);
    if (running.empty()) co_return;
    SoakServer& server = *running[std::uniform_int_distribution<std::size_t>(0, running.size() - 1)(rng_)];
    const int starts = server.starts();
    try {
        co_await server.control(fault.control, fault.body);
        ++armed_[fault.name];
        if (fault.busySeconds > 0) {
            co_await Clock::shared().sleep(fault.busySeconds);
            co_await server.control(QStringLiteral("busy"), notBusy());
        }
    } catch (const std::exception&) {
        // An instance killed on purpose meanwhile takes its faults with it; anything else is a fault.
        if (server.isListening() && server.starts() == starts) throw;
    }
}

QJsonObject SoakFaultSchedule::notBusy() { return QJsonObject{{"fast", false}, {"very_very_fast", false}}; }

} // namespace quillo::soak
