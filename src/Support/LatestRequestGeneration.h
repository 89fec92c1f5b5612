#pragma once

#include <QUuid>
#include <optional>

namespace quillo {

// Identifies the newest operation of a kind, so a superseded one can tell its result is stale.
class LatestRequestGeneration {
public:
    // Two absent ids also count as equal.
    bool isCurrent(const std::optional<QUuid>& id) const { return id_ == id; }
    // Clears the stored id when it is `id`; reports whether it was.
    bool finish(const QUuid& id) {
        if (id_ != id) return false;
        id_.reset();
        return true;
    }
    // A fresh id that replaces any earlier one: the newest request always wins.
    QUuid begin() {
        id_ = QUuid::createUuid();
        return *id_;
    }
    // A fresh id only when none is stored.
    std::optional<QUuid> beginIfIdle() {
        if (id_) return std::nullopt;
        return begin();
    }
    void invalidate() { id_.reset(); }
    const std::optional<QUuid>& id() const { return id_; }

private:
    std::optional<QUuid> id_;
};

} // namespace quillo
