// Corrections: credits reserved, charged once or given back, and the answers kept for replay.
#include "Store.h"

#include "Crypto.h"
#include "Log.h"
#include "StoreRows.h"

#include <limits>

namespace quillo::cloud {

namespace {

constexpr int64_t kStaleProcessingSeconds = Store::kProcessingLeaseSeconds;

}  // namespace

int Store::recoverInterruptedCorrections(std::optional<int64_t> olderThanSeconds)
{
    int released = retrying([&] {
        auto c = db_.lease();
        Transaction tx(*c, true);
        int count = 0;
        std::vector<std::tuple<std::string, std::string, int64_t>> rows;
        {
            auto q = c->query("SELECT id, account_id, reserved_micro FROM corrections WHERE state = 'processing' "
                              "AND updated_at < ?");
            q.bind(1, olderThanSeconds ? clock_.nowSeconds() - *olderThanSeconds : std::numeric_limits<int64_t>::max());
            while (q.step()) rows.emplace_back(q.text(0), q.text(1), q.integer(2));
        }
        for (auto &[id, account, reserved] : rows) {
            c->query("UPDATE accounts SET reserved_micro = CASE WHEN reserved_micro > ?1 THEN reserved_micro - ?1 "
                     "ELSE 0 END WHERE id = ?2")
                .bind(1, reserved)
                .bind(2, account)
                .run();
            c->query("UPDATE corrections SET state = 'failed', reserved_micro = 0 WHERE id = ?").bind(1, id).run();
            ++count;
        }
        tx.commit();
        return count;
    });
    if (released) log::warn("interrupted_corrections_released", {{"count", released}});
    return released;
}

std::optional<StoredCorrection> Store::correction(const std::string &correctionId)
{
    auto c = db_.lease();
    auto q = c->query("SELECT account_id, recovery_hash, request_hash, state, response, reserved_micro, updated_at "
                      "FROM corrections WHERE id = ?");
    q.bind(1, correctionId);
    if (!q.step()) return std::nullopt;
    StoredCorrection s;
    s.accountId = q.text(0);
    s.recoveryHash = q.text(1);
    s.requestHash = q.text(2);
    s.state = q.text(3);
    s.response = q.text(4);
    s.reserved = q.integer(5);
    s.updatedAt = q.integer(6);
    return s;
}

CorrectionStart Store::beginCorrection(const std::string &accountId, const std::string &correctionId,
                                       const std::string &recoveryHash, const std::string &requestHash, int64_t cost)
{
    return retrying([&]() -> CorrectionStart {
        auto c = db_.lease();
        AccountLock turn(*c, accountId);
        Transaction tx(*c, true);
        int64_t now = clock_.nowSeconds();
        bool retake = false;
        {
            auto q =
                c->query("SELECT account_id, recovery_hash, request_hash, state, response, reserved_micro, updated_at "
                         "FROM corrections WHERE id = ?");
            q.bind(1, correctionId);
            if (q.step()) {
                if (q.text(0) != accountId || !crypto::constantTimeEquals(q.text(1), recoveryHash))
                    return {CorrectionStart::keyMismatch, {}, 0};
                if (q.text(2) != requestHash) return {CorrectionStart::conflict, {}, 0};
                std::string state = q.text(3);
                if (state == "done") return {CorrectionStart::replay, q.text(4), 0};
                if (state == "processing" && q.integer(6) >= now - kStaleProcessingSeconds)
                    return {CorrectionStart::inProgress, {}, 0};
                int64_t held = state == "processing" ? q.integer(5) : 0;
                if (held)
                    c->query("UPDATE accounts SET reserved_micro = CASE WHEN reserved_micro > ?1 THEN reserved_micro - "
                             "?1 ELSE 0 END "
                             "WHERE id = ?2")
                        .bind(1, held)
                        .bind(2, accountId)
                        .run();
                retake = true;
            }
        }
        int64_t available = 0;
        {
            auto q = c->query("SELECT balance_micro - reserved_micro FROM accounts WHERE id = ?");
            q.bind(1, accountId);
            if (!q.step()) return {CorrectionStart::insufficient, {}, 0};
            available = q.integer(0);
        }
        if (available < cost) {
            tx.commit();  // keeps a released stale reservation released
            return {CorrectionStart::insufficient, {}, available};
        }
        c->query("UPDATE accounts SET reserved_micro = reserved_micro + ? WHERE id = ?")
            .bind(1, cost)
            .bind(2, accountId)
            .run();
        if (retake) {
            c->query("UPDATE corrections SET state = 'processing', reserved_micro = ?, updated_at = ? WHERE id = ?")
                .bind(1, cost)
                .bind(2, now)
                .bind(3, correctionId)
                .run();
        } else {
            c->query("INSERT INTO corrections (id, account_id, recovery_hash, request_hash, state, reserved_micro, "
                     "created_at, updated_at) VALUES (?, ?, ?, ?, 'processing', ?, ?, ?)")
                .bind(1, correctionId)
                .bind(2, accountId)
                .bind(3, recoveryHash)
                .bind(4, requestHash)
                .bind(5, cost)
                .bind(6, now)
                .bind(7, now)
                .run();
        }
        tx.commit();
        return {CorrectionStart::fresh, {}, available};
    });
}

Balance Store::finishCorrection(const std::string &accountId, const std::string &correctionId, int64_t cost,
                                const std::string &response)
{
    return retrying([&]() -> Balance {
        auto c = db_.lease();
        AccountLock turn(*c, accountId);
        Transaction tx(*c, true);
        int64_t now = clock_.nowSeconds();
        int64_t held = 0;
        {
            auto q = c->query("SELECT reserved_micro FROM corrections WHERE id = ? AND state = 'processing'");
            q.bind(1, correctionId);
            if (!q.step()) throw std::runtime_error("correction is not in progress");
            held = q.integer(0);
        }
        c->query("UPDATE accounts SET balance_micro = balance_micro - ?1, reserved_micro = reserved_micro - ?2 WHERE "
                 "id = ?3")
            .bind(1, cost)
            .bind(2, held)
            .bind(3, accountId)
            .run();
        c->query("UPDATE corrections SET state = 'done', reserved_micro = 0, charged_micro = ?, response = ?, "
                 "updated_at = ? "
                 "WHERE id = ?")
            .bind(1, cost)
            .bind(2, response)
            .bind(3, now)
            .bind(4, correctionId)
            .run();
        if (cost) ledger(*c, accountId, -cost, "correction", correctionId, now);
        Balance b;
        {
            auto q = c->query("SELECT balance_micro, reserved_micro FROM accounts WHERE id = ?");
            q.bind(1, accountId);
            if (q.step()) {
                b.balance = q.integer(0);
                b.reserved = q.integer(1);
            }
        }
        tx.commit();
        return b;
    });
}

void Store::abandonCorrection(const std::string &accountId, const std::string &correctionId)
{
    retrying([&] {
        auto c = db_.lease();
        AccountLock turn(*c, accountId);
        Transaction tx(*c, true);
        int64_t held = 0;
        {
            auto q = c->query("SELECT reserved_micro FROM corrections WHERE id = ? AND state = 'processing'");
            q.bind(1, correctionId);
            if (!q.step()) return;
            held = q.integer(0);
        }
        c->query(
             "UPDATE accounts SET reserved_micro = CASE WHEN reserved_micro > ?1 THEN reserved_micro - ?1 ELSE 0 END "
             "WHERE id = ?2")
            .bind(1, held)
            .bind(2, accountId)
            .run();
        c->query("UPDATE corrections SET state = 'failed', reserved_micro = 0, updated_at = ? WHERE id = ?")
            .bind(1, clock_.nowSeconds())
            .bind(2, correctionId)
            .run();
        tx.commit();
    });
}

}  // namespace quillo::cloud
