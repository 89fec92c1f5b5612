// Checkout orders and the credits they grant.
#include "Store.h"

#include "Crypto.h"
#include "Pricing.h"
#include "StoreRows.h"

namespace quillo::cloud {

static Order readOrder(Query &q)
{
    Order o;
    o.id = q.text(0);
    o.accountId = q.text(1);
    o.requestId = q.text(2);
    o.pack = q.text(3);
    o.status = q.text(4);
    o.granted = q.integer(5);
    o.createdAt = q.integer(6);
    o.updatedAt = q.integer(7);
    return o;
}

// A string, not a pointer: GCC 12 warns falsely of bounds when a literal's length is grown into.
const std::string kOrderColumns = "id, account_id, request_id, pack, status, granted_micro, created_at, updated_at";

void Store::expireStaleOrders(Connection &c, int64_t ttl)
{
    int64_t now = clock_.nowSeconds();
    c.query("UPDATE orders SET status = 'expired', updated_at = ?1 WHERE status IN ('checkout_created', 'pending') "
            "AND created_at < ?2")
        .bind(1, now)
        .bind(2, now - ttl)
        .run();
}

std::pair<Store::OrderOutcome, Order> Store::createOrReuseOrder(const std::string &accountId,
                                                                const std::string &requestId, const std::string &pack,
                                                                int64_t ttl)
{
    return retrying([&]() -> std::pair<Store::OrderOutcome, Order> {
        auto c = db_.lease();
        Transaction tx(*c, true);
        expireStaleOrders(*c, ttl);
        {
            auto q = c->query(std::string("SELECT ") + kOrderColumns +
                              " FROM orders WHERE account_id = ? AND request_id = ?");
            q.bind(1, accountId).bind(2, requestId);
            if (q.step()) {
                Order o = readOrder(q);
                tx.commit();
                if (o.pack != pack) return {OrderOutcome::conflict, o};
                if (o.status != "checkout_created" && o.status != "pending") return {OrderOutcome::closed, o};
                return {OrderOutcome::reused, o};
            }
        }
        Order o;
        o.id = crypto::randomUuid();
        o.accountId = accountId;
        o.requestId = requestId;
        o.pack = pack;
        o.status = "checkout_created";
        o.createdAt = o.updatedAt = clock_.nowSeconds();
        c->query("INSERT INTO orders (id, account_id, request_id, pack, status, created_at, updated_at) "
                 "VALUES (?, ?, ?, ?, ?, ?, ?)")
            .bind(1, o.id)
            .bind(2, accountId)
            .bind(3, requestId)
            .bind(4, pack)
            .bind(5, o.status)
            .bind(6, o.createdAt)
            .bind(7, o.updatedAt)
            .run();
        tx.commit();
        return {OrderOutcome::created, o};
    });
}

std::optional<Order> Store::order(const std::string &orderId, int64_t ttl)
{
    return retrying([&]() -> std::optional<Order> {
        auto c = db_.lease();
        {
            Transaction tx(*c, true);
            expireStaleOrders(*c, ttl);
            tx.commit();
        }
        auto q = c->query(std::string("SELECT ") + kOrderColumns + " FROM orders WHERE id = ?");
        q.bind(1, orderId);
        if (!q.step()) return std::nullopt;
        return readOrder(q);
    });
}

Store::OrderActionResult Store::applyOrderAction(const std::string &orderId, const std::string &action, int64_t ttl)
{
    return retrying([&]() -> Store::OrderActionResult {
        auto c = db_.lease();
        // An order never changes hands, so its account can be read ahead of the lock.
        std::string accountId;
        {
            auto q = c->query("SELECT account_id FROM orders WHERE id = ?");
            q.bind(1, orderId);
            if (q.step()) accountId = q.text(0);
        }
        AccountLock turn(*c, accountId);
        Transaction tx(*c, true);
        expireStaleOrders(*c, ttl);
        Order o;
        {
            auto q = c->query(std::string("SELECT ") + kOrderColumns + " FROM orders WHERE id = ?");
            q.bind(1, orderId);
            if (!q.step()) return OrderActionResult::notFound;
            o = readOrder(q);
        }
        auto pack = packInfo(o.pack);
        if (!pack) return OrderActionResult::notAllowed;
        int64_t now = clock_.nowSeconds();
        bool open = o.status == "checkout_created" || o.status == "pending";
        bool settled = o.status == "paid" || o.status == "partially_refunded" || o.status == "disputed" ||
                       o.status == "manual_review";
        std::string next;
        int64_t grantDelta = 0;
        auto takeBack = [&](int64_t wanted) {
            // A refund cannot take back credits already spent or held by a running correction.
            auto q = c->query("SELECT balance_micro - reserved_micro FROM accounts WHERE id = ?");
            q.bind(1, o.accountId);
            int64_t available = q.step() ? q.integer(0) : 0;
            return -std::min(wanted, std::max<int64_t>(0, available));
        };
        if (action == "pay" && open) {
            next = "paid";
            grantDelta = static_cast<int64_t>(pack->credits) * kMicroPerCredit;
        } else if (action == "fail" && open) {
            next = "payment_failed";
        } else if (action == "expire" && open) {
            next = "expired";
        } else if (action == "pending" && open) {
            next = "pending";
        } else if (action == "partial_refund" && o.status == "paid") {
            next = "partially_refunded";
            grantDelta = takeBack(o.granted / 2);
        } else if (action == "refund" && settled) {
            next = "refunded";
            grantDelta = takeBack(o.granted);
        } else if (action == "dispute" && settled) {
            next = "disputed";
        } else if (action == "chargeback" && settled) {
            next = "chargeback";
            grantDelta = takeBack(o.granted);
        } else if (action == "review" && settled) {
            next = "manual_review";
        } else {
            return OrderActionResult::notAllowed;
        }
        if (grantDelta)
            c->query("UPDATE accounts SET balance_micro = balance_micro + ? WHERE id = ?")
                .bind(1, grantDelta)
                .bind(2, o.accountId)
                .run();
        c->query("UPDATE orders SET status = ?, granted_micro = granted_micro + ?, updated_at = ? WHERE id = ?")
            .bind(1, next)
            .bind(2, grantDelta)
            .bind(3, now)
            .bind(4, orderId)
            .run();
        if (grantDelta) ledger(*c, o.accountId, grantDelta, next.c_str(), orderId, now);
        tx.commit();
        return OrderActionResult::done;
    });
}

}  // namespace quillo::cloud
