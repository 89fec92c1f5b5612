#pragma once
// Shared set-up of the cloud client tests: a virtual clock, a scripted transport, a fixed
// session and a service pointed at a loopback endpoint.
#include "Services/FixedSessionProvider.h"
#include "Services/QuilloCloudService.h"
#include "Services/ScriptedCloudHttpTransport.h"
#include "Support/TaskOutcome.h"
#include "Support/VirtualClock.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace cloudclienttest {

using namespace quillo;
using Step = ScriptedCloudHttpTransport::Step;

inline const QString kEndpoint = QStringLiteral("https://127.0.0.1:9/api/correct");

inline QuilloAuthSession sessionWith(const QString& token, const QString& user = QStringLiteral("user-1")) {
    QuilloAuthSession session;
    session.accessToken = token;
    session.userId = user;
    session.userEmail = QStringLiteral("person@localhost");
    return session;
}

inline QByteArray json(const QJsonObject& object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }

inline QJsonObject bodyOf(const CloudHttpRequest& request) { return QJsonDocument::fromJson(request.body).object(); }

class CloudServiceTest : public ::testing::Test {
protected:
    VirtualClock clock;
    ScopedSharedClock sharedClock{clock};
    ScriptedCloudHttpTransport transport{clock};
    FixedSessionProvider auth{sessionWith(QStringLiteral("token-a"))};
    std::vector<std::pair<QuilloDiagnosticEvent, std::optional<QUuid>>> events;
    std::unique_ptr<QuilloCloudService> service;

    QuilloCloudService::Options options(QuilloInfoDictionary info = {}) {
        QuilloCloudService::Options o;
        o.endpoint = kEndpoint;
        o.clock = &clock;
        o.recordEvent = [this](QuilloDiagnosticEvent e, std::optional<QUuid> id) { events.emplace_back(e, id); };
        if (info.isEmpty()) {
            info.insert(QuilloBundleInfo::shortVersionKey, QStringLiteral("2.3"));
            info.insert(QuilloBundleInfo::bundleVersionKey, QStringLiteral("41"));
        }
        o.info = info;
        return o;
    }

    void SetUp() override { service = std::make_unique<QuilloCloudService>(transport, auth, nullptr, options()); }

    using Outcome = std::shared_ptr<TaskOutcome<std::optional<QuilloCorrectionResult>>>;

    Outcome start(const QString& text = QStringLiteral("teh text"),
                  CloudCorrectionModel model = CloudCorrectionModel::fast,
                  CorrectionWritingMode mode = CorrectionWritingMode::proofread, CancellationToken token = {}) {
        return observe(service->correctText(text, QStringLiteral("cloud_fast"), model, mode, std::move(token)));
    }

    template <typename T> void drive(const std::shared_ptr<TaskOutcome<T>>& outcome, double limit = 1000.0) {
        const double end = clock.uptimeSeconds() + limit;
        while (!outcome->finished && clock.uptimeSeconds() < end && clock.advanceToNextTimer()) {}
    }

    Outcome run(const QString& text = QStringLiteral("teh text"),
                CloudCorrectionModel model = CloudCorrectionModel::fast) {
        auto outcome = start(text, model);
        drive(outcome);
        EXPECT_TRUE(outcome->finished);
        return outcome;
    }

    std::vector<double> sendGaps() const {
        std::vector<double> gaps;
        const auto& sent = transport.sent();
        for (std::size_t i = 1; i < sent.size(); ++i) gaps.push_back(sent[i].uptime - sent[i - 1].uptime);
        return gaps;
    }
};

inline QByteArray successBody(const QString& correction, std::optional<QJsonObject> routing = std::nullopt,
                              std::optional<QJsonObject> billing = std::nullopt) {
    QJsonObject body{{QStringLiteral("correction"), correction}};
    if (routing) body.insert(QStringLiteral("routing"), *routing);
    if (billing) body.insert(QStringLiteral("billing"), *billing);
    return json(body);
}

inline QJsonObject routing(const QString& requested, const QString& used, const QString& billing) {
    return {{QStringLiteral("requestedSpeed"), requested},
            {QStringLiteral("usedSpeed"), used},
            {QStringLiteral("billingSpeed"), billing}};
}

template <typename E, typename T> E errorOf(const std::shared_ptr<TaskOutcome<T>>& outcome) {
    try {
        outcome->rethrowIfFailed();
    } catch (const E& e) {
        return e;
    } catch (const std::exception& e) {
        ADD_FAILURE() << "unexpected error: " << e.what();
        throw;
    }
    ADD_FAILURE() << "no error";
    throw std::runtime_error("no error");
}

} // namespace cloudclienttest
