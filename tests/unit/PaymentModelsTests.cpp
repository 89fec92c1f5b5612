#include "Models/CheckoutSessionOwnership.h"
#include "Models/PaymentOrderStatusResponse.h"
#include "Models/QuilloPurchaseState.h"
#include "Platform/Fake/InMemoryUserDefaults.h"
#include "Services/PaymentOrderTrackingStore.h"
#include "Support/CheckoutFailureRetentionPolicy.h"
#include "Support/PaymentTrackingPolicy.h"

#include "QtTestPrinters.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace quillo;

namespace {

const QUuid kOrder("6f1c2a4e-8d3b-4c5a-9e7f-0a1b2c3d4e5f");
const QUuid kUser("0d9c8b7a-6f5e-4d3c-2b1a-098765432100");

TrackedPaymentOrder order(const QUuid& id = kOrder) {
    return {id, kUser, QuilloCreditPack::extra, QDateTime(QDate(2026, 1, 5), QTime(9, 0, 7), Qt::UTC)};
}

QJsonObject statusBody(const QString& status) {
    return {{"orderId", kOrder.toString(QUuid::WithoutBraces)},
            {"pack", "regular"},
            {"status", status},
            {"grantedCredits", 12},
            {"updatedAt", "2026-01-05T09:00:00Z"},
            {"extra", true}};
}

} // namespace

TEST(QuilloCreditPack, CasesTitlesPricesAndSummaries) {
    ASSERT_EQ(QuilloCreditPacks::allCases.size(), 3u);
    const QStringList raw = {"light", "regular", "extra"};
    const QStringList titles = {"Light Pack", "Regular Pack", "Extra Pack"};
    const QStringList prices = {"$5", "$10", "$20"};
    const QStringList summaries = {"5 credits", "10 + 2 free credits", "20 + 5 free credits"};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto pack = QuilloCreditPacks::allCases[i];
        EXPECT_EQ(QuilloCreditPacks::rawValue(pack), raw[i]);
        EXPECT_EQ(QuilloCreditPacks::identifier(pack), raw[i]);
        EXPECT_EQ(QuilloCreditPacks::fromRawValue(raw[i]), pack);
        EXPECT_EQ(QuilloCreditPacks::title(pack), titles[i]);
        EXPECT_EQ(QuilloCreditPacks::priceText(pack), prices[i]);
        EXPECT_EQ(QuilloCreditPacks::creditSummary(pack), summaries[i]);
        EXPECT_EQ(QuilloCreditPacks::isRecommended(pack), pack == QuilloCreditPack::regular);
    }
    EXPECT_FALSE(QuilloCreditPacks::fromRawValue("Regular"));
}

TEST(QuilloPurchaseState, SentencesAndDerivedFlags) {
    using S = QuilloPurchaseState;
    const auto pack = QuilloCreditPack::regular;
    EXPECT_EQ(S::creatingCheckout(pack).message(), "Preparing secure checkout…");
    EXPECT_EQ(S::awaitingPayment(pack).message(), "Checkout opened. Your balance will update automatically.");
    EXPECT_EQ(S::completed(pack).message(), "10 + 2 free credits added.");
    EXPECT_EQ(S::completed(QuilloCreditPack::light).message(), "5 credits added.");
    EXPECT_EQ(S::pending(pack).message(), "Payment is still pending. You can refresh its status.");
    EXPECT_EQ(S::partiallyRefunded(pack).message(), "This payment was partially refunded. Your balance is updated.");
    EXPECT_EQ(S::refunded(pack).message(), "This payment was refunded. Your balance is updated.");
    EXPECT_EQ(S::underReview(pack).message(),
              "This payment is under review. Your balance reflects its current status.");
    EXPECT_EQ(S::failed("Something.").message(), "Something.");
    EXPECT_EQ(S::idle().message(), std::nullopt);

    const std::vector<S> all = {S::creatingCheckout(pack),
                                S::awaitingPayment(pack),
                                S::completed(pack),
                                S::pending(pack),
                                S::partiallyRefunded(pack),
                                S::refunded(pack),
                                S::underReview(pack),
                                S::failed("x"),
                                S::idle()};
    for (const auto& state : all) {
        SCOPED_TRACE(int(state.kind));
        const bool locks = state.kind == S::Kind::creatingCheckout || state.kind == S::Kind::awaitingPayment;
        EXPECT_EQ(state.locksPackSelection(), locks);
        EXPECT_EQ(state.isCreatingCheckout(), state.kind == S::Kind::creatingCheckout);
        EXPECT_EQ(state.isAwaitingPayment(), state.kind == S::Kind::awaitingPayment);
        const bool refreshable = !locks && state.kind != S::Kind::failed && state.kind != S::Kind::idle;
        EXPECT_EQ(state.canRefreshPayment(), refreshable);
    }
}

TEST(PaymentOrderStatus, RawValuesAndResolutions) {
    using R = PaymentTrackingResolution;
    const std::vector<std::pair<QString, R>> table = {
        {"pending", R::keepWaiting},    {"checkout_created", R::keepWaiting},
        {"paid", R::completed},         {"payment_failed", R::failed},
        {"expired", R::expired},        {"partially_refunded", R::partiallyRefunded},
        {"refunded", R::refunded},      {"disputed", R::underReview},
        {"chargeback", R::underReview}, {"manual_review", R::underReview}};
    ASSERT_EQ(table.size(), PaymentOrderStatuses::allCases.size());
    for (const auto& [raw, resolution] : table) {
        const auto status = PaymentOrderStatuses::fromRawValue(raw);
        ASSERT_TRUE(status) << raw.toStdString();
        EXPECT_EQ(PaymentOrderStatuses::rawValue(*status), raw);
        EXPECT_EQ(PaymentTrackingPolicy::resolution(*status), resolution) << raw.toStdString();
    }
    EXPECT_TRUE(PaymentTrackingPolicy::shouldDiscardTracking(404));
    EXPECT_FALSE(PaymentTrackingPolicy::shouldDiscardTracking(410));
    EXPECT_TRUE(PaymentTrackingPolicy::shouldInvalidateSession(401));
    EXPECT_FALSE(PaymentTrackingPolicy::shouldInvalidateSession(403));
}

TEST(PaymentOrderStatusResponse, EveryMemberRequiredAndUnknownStatusesUnreadable) {
    const auto decoded = PaymentOrderStatusResponse::fromJsonObject(statusBody("paid"));
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->orderId, kOrder);
    EXPECT_EQ(decoded->pack, QuilloCreditPack::regular);
    EXPECT_EQ(decoded->status, PaymentOrderStatus::paid);

    for (const QString status : {"PAID", "Paid", "unknown", "", "canceled", "checkoutCreated"})
        EXPECT_FALSE(PaymentOrderStatusResponse::fromJsonObject(statusBody(status))) << status.toStdString();
    for (const QString member : {"orderId", "pack", "status", "grantedCredits", "updatedAt"}) {
        QJsonObject body = statusBody("paid");
        body.remove(member);
        EXPECT_FALSE(PaymentOrderStatusResponse::fromJsonObject(body)) << member.toStdString();
    }
    QJsonObject badOrder = statusBody("paid");
    badOrder["orderId"] = "not-a-uuid";
    EXPECT_FALSE(PaymentOrderStatusResponse::fromJsonObject(badOrder));
    QJsonObject badPack = statusBody("paid");
    badPack["pack"] = "mega";
    EXPECT_FALSE(PaymentOrderStatusResponse::fromJsonObject(badPack));
    EXPECT_FALSE(PaymentOrderStatusResponse::fromJson("[1]"));
}

TEST(PaymentOrderTrackingStore, StoresOneOrderAsJson) {
    InMemoryUserDefaults defaults;
    PaymentOrderTrackingStore store(defaults);
    EXPECT_FALSE(store.load());
    ASSERT_TRUE(store.save(order()));
    const QJsonObject stored = QJsonDocument::fromJson(*defaults.data("quilloTrackedPaymentOrderV1")).object();
    EXPECT_EQ(stored.value("orderID").toString(), "6F1C2A4E-8D3B-4C5A-9E7F-0A1B2C3D4E5F");
    EXPECT_EQ(stored.value("userID").toString(), "0D9C8B7A-6F5E-4D3C-2B1A-098765432100");
    EXPECT_EQ(stored.value("pack").toString(), "extra");
    EXPECT_EQ(stored.value("createdAt").toString(), "2026-01-05T09:00:07Z");
    EXPECT_EQ(store.load(), order());

    const QUuid other = QUuid::createUuid();
    ASSERT_TRUE(store.save(order(other))); // replaces
    EXPECT_FALSE(store.clear(kOrder)) << "another id leaves the order in place";
    EXPECT_EQ(store.load()->orderID, other);
    EXPECT_TRUE(store.clear(other));
    EXPECT_FALSE(store.load());
    EXPECT_FALSE(store.clear(other));

    store.save(order());
    store.clear();
    EXPECT_FALSE(defaults.contains("quilloTrackedPaymentOrderV1"));
}

TEST(PaymentOrderTrackingStore, UndecodableDataIsRemovedByTheFirstLoad) {
    InMemoryUserDefaults defaults;
    PaymentOrderTrackingStore store(defaults);
    for (const QVariant& junk : {QVariant(QByteArray("{not json")), QVariant(QByteArray(R"({"orderID":"x"})")),
                                 QVariant(QStringLiteral("a string, not data"))}) {
        defaults.setValue("quilloTrackedPaymentOrderV1", junk);
        EXPECT_FALSE(store.load());
        EXPECT_FALSE(defaults.contains("quilloTrackedPaymentOrderV1"));
    }
}

TEST(CheckoutSessionOwnership, BeginClearAndSessionChecks) {
    CheckoutSessionOwnership ownership;
    EXPECT_FALSE(ownership.belongsToSession(std::nullopt, std::nullopt)) << "nothing stored belongs to nobody";
    const QUuid generation = ownership.begin("Bearer a", "user", "session");
    EXPECT_EQ(ownership.generation, generation);
    EXPECT_EQ(ownership.authorization, "Bearer a");
    EXPECT_TRUE(ownership.belongsToSession(QString("user"), QString("session")));
    EXPECT_FALSE(ownership.belongsToSession(QString("user"), QString("other")));
    EXPECT_TRUE(ownership.belongsToCurrentSession(generation, QString("user"), QString("session")));
    EXPECT_FALSE(ownership.belongsToCurrentSession(QUuid::createUuid(), QString("user"), QString("session")));
    EXPECT_FALSE(ownership.belongsToCurrentSession(generation, std::nullopt, QString("session")));
    EXPECT_NE(ownership.begin("Bearer a", "user", "session"), generation) << "every begin is a new generation";

    ownership.clear();
    EXPECT_EQ(ownership, CheckoutSessionOwnership{});
    EXPECT_FALSE(ownership.belongsToSession(std::nullopt, std::nullopt));
    EXPECT_TRUE(ownership.belongsToCurrentSession(std::nullopt, std::nullopt, std::nullopt));
    EXPECT_FALSE(ownership.belongsToCurrentSession(generation, std::nullopt, std::nullopt));
}

TEST(PaymentPolicies, SessionOwnershipAndRequestIdRetention) {
    const QString user = kUser.toString(QUuid::WithoutBraces);
    EXPECT_TRUE(PaymentTrackingPolicy::isOwnedByCurrentSession(kUser, user, QString("s1"), QString("s1")));
    EXPECT_TRUE(PaymentTrackingPolicy::isOwnedByCurrentSession(kUser, user.toUpper(), QString("s1"), QString("s1")));
    EXPECT_FALSE(PaymentTrackingPolicy::isOwnedByCurrentSession(kUser, user, QString("s1"), QString("s2")));
    EXPECT_FALSE(PaymentTrackingPolicy::isOwnedByCurrentSession(kUser, user, QString("s1"), std::nullopt));
    EXPECT_FALSE(
        PaymentTrackingPolicy::isOwnedByCurrentSession(kUser, QString("not-a-uuid"), QString("s1"), QString("s1")));
    EXPECT_FALSE(PaymentTrackingPolicy::isOwnedByCurrentSession(kUser, std::nullopt, QString("s1"), QString("s1")));
    EXPECT_FALSE(
        PaymentTrackingPolicy::isOwnedByCurrentSession(QUuid::createUuid(), user, QString("s1"), QString("s1")));

    EXPECT_TRUE(CheckoutFailureRetentionPolicy::shouldClearRequestIdentity(409, false));
    EXPECT_TRUE(CheckoutFailureRetentionPolicy::shouldClearRequestIdentity(401, true));
    EXPECT_FALSE(CheckoutFailureRetentionPolicy::shouldClearRequestIdentity(401, false));
    EXPECT_FALSE(CheckoutFailureRetentionPolicy::shouldClearRequestIdentity(500, true));
    EXPECT_FALSE(CheckoutFailureRetentionPolicy::shouldClearRequestIdentity(std::nullopt, true));
}
