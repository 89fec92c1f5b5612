#include "SoakFaultSchedule.h"

#include "SoakServer.h"
#include "Support/Clock.h"

#include <QJsonObject>
#include <array>

namespace quillo::soak {

SoakFaultSchedule::SoakFaultSchedule(SoakServer& server, std::uint32_t seed) : server_(server), rng_(seed * 104729u + 1) {}

QCoro::Task<> SoakFaultSchedule::run() {
    Clock& clock = Clock::shared();
    while (!stopping_) {
        co_await clock.sleep(std::uniform_real_distribution<double>(0.15, 0.45)(rng_));
        if (stopping_) break;
        co_await armOne();
    }
}

QCoro::Task<> SoakFaultSchedule::armOne() {
    auto between = [this](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); };
    const int kind = between(0, 99);
    QString name;
    if (kind < 12) {
        name = QStringLiteral("drop-request");
        co_await server_.control(QStringLiteral("drop"), {{"count", between(1, 2)}, {"at", "request"}});
    } else if (kind < 24) {
        // The work goes on for a while without its caller; the repeat polls it through 425s.
        name = QStringLiteral("drop-processing");
        co_await server_.control(QStringLiteral("drop"),
                                 {{"count", 1}, {"at", "processing"}, {"milliseconds", between(1000, 3500)}});
    } else if (kind < 36) {
        name = QStringLiteral("drop-answer");
        co_await server_.control(QStringLiteral("drop"), {{"count", between(1, 2)}, {"at", "answer"}});
    } else if (kind < 48) {
        name = QStringLiteral("gateway-request");
        co_await server_.control(QStringLiteral("gateway"),
                                 {{"status", 503}, {"safe", true}, {"afterProcessing", false}, {"count", between(1, 2)}});
    } else if (kind < 60) {
        const int status = std::array{502, 503, 504}[between(0, 2)];
        name = QStringLiteral("gateway-answer");
        co_await server_.control(QStringLiteral("gateway"),
                                 {{"status", status}, {"safe", true}, {"afterProcessing", true}, {"count", 1}});
    } else if (kind < 70) {
        name = QStringLiteral("too-early");
        co_await server_.control(QStringLiteral("too-early"), {{"count", between(2, 6)}});
    } else if (kind < 80) {
        name = QStringLiteral("delay-request");
        co_await server_.control(QStringLiteral("delay"),
                                 {{"milliseconds", between(300, 2500)}, {"count", between(1, 3)}, {"at", "request"}});
    } else if (kind < 90) {
        name = QStringLiteral("delay-processing");
        co_await server_.control(QStringLiteral("delay"),
                                 {{"milliseconds", between(300, 2500)}, {"count", between(1, 3)}, {"at", "processing"}});
    } else if (kind < 97) {
        // One speed busy for a moment: its corrections are served and billed at the other.
        const bool fast = between(0, 1) == 1;
        name = QStringLiteral("busy-one");
        co_await server_.control(QStringLiteral("busy"), {{"fast", fast}, {"very_very_fast", !fast}});
        co_await Clock::shared().sleep(0.5);
        co_await server_.control(QStringLiteral("busy"), {{"fast", false}, {"very_very_fast", false}});
    } else {
        name = QStringLiteral("busy-both");
        co_await server_.control(QStringLiteral("busy"), {{"fast", true}, {"very_very_fast", true}, {"retryAfter", 1}});
        co_await Clock::shared().sleep(0.2);
        co_await server_.control(QStringLiteral("busy"), {{"fast", false}, {"very_very_fast", false}});
    }
    ++armed_[name];
}

} // namespace quillo::soak
