#include "Database.h"

#include <chrono>

namespace quillo::cloud {

bool DatabaseError::isBusy() const
{
    if (!sqlState.empty())
        return isRetryable() || sqlState == "55P03" || sqlState == "53300" || sqlState == "57014" || sqlState == "pool";
    int primary = code & 0xff;
    return primary == 5 /* SQLITE_BUSY */ || primary == 6 /* SQLITE_LOCKED */;
}

bool DatabaseError::isUniqueViolation() const
{
    if (!sqlState.empty()) return sqlState == "23505";
    return code == 2067 /* SQLITE_CONSTRAINT_UNIQUE */ || code == 1555 /* SQLITE_CONSTRAINT_PRIMARYKEY */;
}

Query Connection::query(const std::string &sql)
{
    auto it = statements_.find(sql);
    if (it == statements_.end()) it = statements_.emplace(sql, prepare(sql)).first;
    return Query(it->second.get());
}

bool Connection::takeInjectedConflict()
{
    if (!injected_) return false;
    int left = injected_->load();
    while (left > 0 && !injected_->compare_exchange_weak(left, left - 1)) {}
    return left > 0;
}

Database::Lease Database::lease()
{
    {
        std::unique_lock lock(mutex_);
        if (maxConnections_ && idle_.empty() && !freed_.wait_for(lock, std::chrono::seconds(10), [this] {
                return !idle_.empty() || open_ < maxConnections_;
            }))
            throw DatabaseError(0, "no database connection came free", "pool");
        if (!idle_.empty()) {
            auto c = std::move(idle_.back());
            idle_.pop_back();
            return Lease(*this, std::move(c));
        }
        ++open_;
    }
    try {
        auto c = open();
        c->shareInjectedConflicts(&injectedConflicts);
        return Lease(*this, std::move(c));
    } catch (...) {
        std::lock_guard lock(mutex_);
        --open_;
        freed_.notify_one();
        throw;
    }
}

void Database::keep(std::unique_ptr<Connection> c)
{
    c->shareInjectedConflicts(&injectedConflicts);
    {
        std::lock_guard lock(mutex_);
        ++open_;
    }
    give(std::move(c));
}

void Database::give(std::unique_ptr<Connection> c)
{
    std::vector<std::unique_ptr<Connection>> closing;
    {
        std::lock_guard lock(mutex_);
        if (!c->usable()) {
            // The server went away or restarted: the idle connections are as dead as this one.
            for (auto &i : idle_) closing.push_back(std::move(i));
            idle_.clear();
        }
        if (c->usable() && idle_.size() < 32) idle_.push_back(std::move(c));
        else closing.push_back(std::move(c));
        open_ -= closing.size();
    }
    freed_.notify_all();
}

Database::Lease::~Lease()
{
    if (c_ && db_) db_->give(std::move(c_));
}

Transaction::Transaction(Connection &c, bool write) : c_(c) { c_.begin(write); }

Transaction::~Transaction()
{
    if (!done_) {
        try {
            c_.rollback();
        } catch (...) {
        }
    }
}

int64_t AccountLock::keyOf(std::string_view accountId)
{
    // FNV-1a, the same in every build and instance; a prefix keeps these keys apart from any
    // other use of the same locks. Two accounts that share a key merely take turns.
    uint64_t h = 14695981039346656037ULL;
    auto mix = [&](std::string_view part) {
        for (unsigned char ch : part) {
            h ^= ch;
            h *= 1099511628211ULL;
        }
    };
    mix(std::string_view("quillo.account", sizeof "quillo.account"));
    mix(accountId);
    return static_cast<int64_t>(h);
}

AccountLock::AccountLock(Connection &c, std::string_view accountId) : c_(c), key_(keyOf(accountId))
{
    c_.lockKey(key_);
}

AccountLock::~AccountLock()
{
    try {
        c_.unlockKey(key_);
    } catch (...) {
    }
}

void Transaction::commit()
{
    if (c_.takeInjectedConflict()) c_.failAsConflict();
    c_.commit();
    done_ = true;
}

}  // namespace quillo::cloud
