#include "Models/TrackedPaymentOrder.h"
#include "SettingsTestRig.h"
#include "Views/CreditPacksView.h"
#include "Views/SettingsControls.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace quillo;
using namespace quillo::testing;
using Step = ScriptedCloudHttpTransport::Step;

namespace {

const QString kOrder = QStringLiteral("6f1c2a4e-8d3b-4c5a-9e7f-0a1b2c3d4e5f");

QByteArray checkoutBody() {
    return QJsonDocument(
               QJsonObject{{"checkoutUrl", "https://checkouthost/pay/1"}, {"orderId", kOrder}, {"reused", false}})
        .toJson();
}

QByteArray statusBody(const QString& status, const QString& pack) {
    return QJsonDocument(QJsonObject{{"orderId", kOrder},
                                     {"pack", pack},
                                     {"status", status},
                                     {"grantedCredits", 0},
                                     {"updatedAt", "2026-01-05T09:00:00Z"}})
        .toJson();
}

class CreditPacksViewTest : public ::testing::Test {
protected:
    SettingsTestRig rig;
    std::unique_ptr<CreditPacksView> view;
    std::function<Step(const CloudHttpRequest&)> checkoutReply = [](const CloudHttpRequest&) {
        return Step::json(200, checkoutBody());
    };
    std::function<Step(const CloudHttpRequest&)> statusReply = [](const CloudHttpRequest&) {
        return Step::json(200, statusBody("checkout_created", "extra"));
    };

    void make(bool signedIn = true) {
        rig.start(signedIn);
        rig.transport.setHandler([this](const CloudHttpRequest& request) {
            if (request.method == "GET")
                return Step::json(200, R"({"balanceCredits":30,"reservedCredits":0,"availableCredits":30})");
            const QJsonObject body = QJsonDocument::fromJson(request.body).object();
            return body.value("action") == "status" ? statusReply(request) : checkoutReply(request);
        });
        view = std::make_unique<CreditPacksView>(*rig.payment, *rig.auth, *rig.cloud, rig.presentation);
        view->show();
    }
    void TearDown() override {
        view.reset();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QToolButton* card(const char* raw) { return view->findChild<QToolButton*>(QStringLiteral("pack-") + raw); }
    QPushButton* button(const char* name) { return view->findChild<QPushButton*>(QLatin1String(name)); }
    QString status() {
        auto* label = view->findChild<QLabel*>("purchaseStatus");
        return label->isVisibleTo(view.get()) ? label->text() : QString();
    }
    bool packsLocked() {
        for (const char* raw : {"light", "regular", "extra"})
            if (card(raw)->isEnabled()) return false;
        return !button("buyPack")->isEnabled();
    }
    void storeTrackedOrder(QuilloCreditPack pack) {
        PaymentOrderTrackingStore store(rig.defaults);
        store.save(TrackedPaymentOrder{QUuid(kOrder), QUuid(SettingsTestRig::userID), pack, rig.clock.now()});
    }
};

} // namespace

TEST_F(CreditPacksViewTest, TopUpShowsThePacksAndReportsItsState) {
    make();
    auto* toggle = button("creditPacksToggle");
    QWidget* panel = view->packsPanel();
    EXPECT_EQ(toggle->text(), "Top-up");
    EXPECT_FALSE(panel->isVisibleTo(view.get()));
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(toggle);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->text(QAccessible::Value), "Collapsed");
    EXPECT_TRUE(accessible->state().collapsed);

    toggle->click();
    EXPECT_TRUE(rig.presentation.isExpanded());
    EXPECT_EQ(toggle->text(), "Hide packs");
    EXPECT_TRUE(panel->isVisibleTo(view.get()));
    EXPECT_EQ(accessible->text(QAccessible::Value), "Expanded");
    EXPECT_TRUE(accessible->state().expanded);

    // Someone else (the tray) hides them.
    rig.presentation.hide();
    EXPECT_EQ(toggle->text(), "Top-up");
    EXPECT_FALSE(panel->isVisibleTo(view.get()));
}

TEST_F(CreditPacksViewTest, ThreePacksWithBadgesPricesAndSummaries) {
    make();
    rig.presentation.show();
    struct Row {
        const char* raw;
        QStringList lines;
    };
    const Row rows[] = {
        {"light", {"Light Pack", "$5", "5 credits"}},
        {"regular", {"Regular Pack", "Popular · +2 FREE", "$10", "10 + 2 free credits"}},
        {"extra", {"Extra Pack", "+5 FREE", "$20", "20 + 5 free credits"}},
    };
    for (const Row& row : rows) {
        ASSERT_NE(card(row.raw), nullptr) << row.raw;
        EXPECT_EQ(card(row.raw)->text().split('\n'), row.lines) << row.raw;
    }
    // The recommended pack is picked until the user picks another.
    EXPECT_TRUE(card("regular")->isChecked());
    EXPECT_EQ(button("buyPack")->text(), "Buy Regular Pack – $10");
    card("light")->click();
    EXPECT_EQ(rig.presentation.selectedPack(), QuilloCreditPack::light);
    EXPECT_TRUE(card("light")->isChecked());
    EXPECT_FALSE(card("regular")->isChecked());
    EXPECT_EQ(button("buyPack")->text(), "Buy Light Pack – $5");
}

TEST_F(CreditPacksViewTest, PurchaseLocksThePicksAndShowsEachStatesSentence) {
    int polls = 0;
    checkoutReply = [](const CloudHttpRequest&) { return Step::json(200, checkoutBody(), {}, 1.0); };
    statusReply = [&](const CloudHttpRequest&) {
        return Step::json(200, statusBody(++polls < 2 ? "checkout_created" : "paid", "extra"));
    };
    make();
    rig.presentation.show();
    card("extra")->click();
    button("buyPack")->click();
    EXPECT_EQ(status(), "Preparing secure checkout…");
    EXPECT_TRUE(packsLocked());
    EXPECT_TRUE(view->findChild<QWidget*>("purchaseBusy")->isVisibleTo(view.get()));
    // A second press while the checkout is made changes nothing.
    button("buyPack")->click();
    card("light")->click();
    EXPECT_TRUE(card("extra")->isChecked());

    rig.clock.advance(1.0);
    EXPECT_EQ(rig.openedCheckouts, QList<QUrl>{QUrl("https://checkouthost/pay/1")});
    EXPECT_EQ(status(), "Checkout opened. Your balance will update automatically.");
    EXPECT_TRUE(packsLocked());
    EXPECT_FALSE(button("refreshPayment")->isVisibleTo(view.get()));

    rig.clock.advance(2.0); // first poll: still open
    EXPECT_EQ(status(), "Checkout opened. Your balance will update automatically.");
    rig.clock.advance(2.0); // second poll: paid
    EXPECT_EQ(status(), "20 + 5 free credits added.");
    EXPECT_FALSE(packsLocked());
    EXPECT_TRUE(button("refreshPayment")->isVisibleTo(view.get()));
    EXPECT_EQ(rig.events.constLast(), QuilloDiagnosticEvent::checkoutCompleted);
}

TEST_F(CreditPacksViewTest, AFailedCheckoutShowsTheCataloguesSentence) {
    checkoutReply = [](const CloudHttpRequest&) { return Step::json(500, R"({"error":"internal"})"); };
    make();
    rig.presentation.show();
    button("buyPack")->click();
    rig.settle();
    ASSERT_EQ(rig.payment->state().kind, QuilloPurchaseState::Kind::failed);
    EXPECT_FALSE(status().isEmpty());
    EXPECT_EQ(status(), rig.payment->state().failureMessage);
    EXPECT_FALSE(packsLocked());
    EXPECT_FALSE(button("refreshPayment")->isVisibleTo(view.get()));
}

TEST(CreditPacksViewStates, AFollowedOrderShowsItsOutcomeWhenThePacksAppear) {
    struct Row {
        const char* status;
        QString sentence;
        bool refreshable;
    };
    const Row rows[] = {
        {"pending", "Payment is still pending. You can refresh its status.", true},
        {"paid", "10 + 2 free credits added.", true},
        {"partially_refunded", "This payment was partially refunded. Your balance is updated.", true},
        {"refunded", "This payment was refunded. Your balance is updated.", true},
        {"disputed", "This payment is under review. Your balance reflects its current status.", true},
        {"payment_failed", "Payment failed. No credits were charged.", false},
        {"expired", "Checkout expired. You can start a new payment.", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.status);
        SettingsTestRig rig;
        rig.start(true);
        PaymentOrderTrackingStore(rig.defaults)
            .save(TrackedPaymentOrder{QUuid(kOrder), QUuid(SettingsTestRig::userID), QuilloCreditPack::regular,
                                      rig.clock.now()});
        rig.transport.setHandler([&](const CloudHttpRequest& request) {
            if (request.method == "GET")
                return Step::json(200, R"({"balanceCredits":30,"reservedCredits":0,"availableCredits":30})");
            return Step::json(200, statusBody(row.status, "regular"));
        });
        CreditPacksView view(*rig.payment, *rig.auth, *rig.cloud, rig.presentation);
        view.show();
        rig.presentation.show(); // the panel appearing checks the followed order
        rig.settle();
        auto* label = view.findChild<QLabel*>("purchaseStatus");
        EXPECT_EQ(label->text(), row.sentence);
        EXPECT_EQ(view.findChild<QPushButton*>("refreshPayment")->isVisibleTo(&view), row.refreshable);
    }
}

TEST_F(CreditPacksViewTest, RefreshAsksForTheOrdersStatusAgain) {
    make();
    storeTrackedOrder(QuilloCreditPack::regular);
    int polls = 0;
    statusReply = [&](const CloudHttpRequest&) {
        return Step::json(200, statusBody(++polls < 2 ? "pending" : "refunded", "regular"));
    };
    rig.presentation.show();
    rig.settle();
    EXPECT_EQ(status(), "Payment is still pending. You can refresh its status.");
    button("refreshPayment")->click();
    rig.settle();
    EXPECT_EQ(polls, 2);
    EXPECT_EQ(status(), "This payment was refunded. Your balance is updated.");
}

TEST_F(CreditPacksViewTest, SignedOutCannotBuy) {
    make(false);
    rig.presentation.show();
    EXPECT_FALSE(button("buyPack")->isEnabled());
    EXPECT_TRUE(view->findChild<QLabel*>("purchaseSignInHint")->isVisibleTo(view.get()));
    EXPECT_TRUE(status().isEmpty());
}
