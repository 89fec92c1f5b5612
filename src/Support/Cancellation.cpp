#include "Support/Cancellation.h"

#include <map>
#include <vector>

namespace quillo {

struct CancellationToken::State {
    bool cancelled = false;
    std::uint64_t nextId = 1;
    std::map<std::uint64_t, std::function<void()>> callbacks;
    CancellationRegistration parentLink;
};

bool CancellationToken::isCancelled() const { return state_ && state_->cancelled; }

void CancellationToken::throwIfCancelled() const {
    if (isCancelled()) throw CancellationError();
}

CancellationRegistration CancellationToken::onCancel(std::function<void()> callback) const {
    if (!state_) return {};
    if (state_->cancelled) {
        callback();
        return {};
    }
    const auto id = state_->nextId++;
    state_->callbacks.emplace(id, std::move(callback));
    return CancellationRegistration(state_, id);
}

CancellationRegistration::CancellationRegistration(CancellationRegistration&& other) noexcept
    : state_(std::move(other.state_)), id_(other.id_) {
    other.id_ = 0;
}

CancellationRegistration& CancellationRegistration::operator=(CancellationRegistration&& other) noexcept {
    if (this != &other) {
        reset();
        state_ = std::move(other.state_);
        id_ = other.id_;
        other.id_ = 0;
    }
    return *this;
}

CancellationRegistration::~CancellationRegistration() { reset(); }

void CancellationRegistration::reset() {
    if (auto state = state_.lock(); state && id_ != 0) state->callbacks.erase(id_);
    state_.reset();
    id_ = 0;
}

CancellationSource::CancellationSource() : state_(std::make_shared<CancellationToken::State>()) {}

CancellationSource::CancellationSource(const CancellationToken& parent) : CancellationSource() {
    std::weak_ptr<CancellationToken::State> weak = state_;
    state_->parentLink = parent.onCancel([weak] {
        if (auto state = weak.lock()) CancellationSource::cancelState(state);
    });
}

void CancellationSource::cancel() { cancelState(state_); }

void CancellationSource::cancelState(const std::shared_ptr<CancellationToken::State>& state) {
    if (state->cancelled) return;
    state->cancelled = true;
    // Callbacks may resume coroutines that drop their registrations, so take them out first.
    auto callbacks = std::move(state->callbacks);
    state->callbacks.clear();
    for (auto& [id, callback] : callbacks) callback();
}

bool CancellationSource::isCancelled() const { return state_->cancelled; }

} // namespace quillo
