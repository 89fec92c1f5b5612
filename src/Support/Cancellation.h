#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

namespace quillo {

// The system cancellation error. Awaits that observe a cancelled token throw it;
// it is never shown to the user.
class CancellationError : public std::exception {
public:
    const char* what() const noexcept override { return "operation cancelled"; }
};

class CancellationRegistration;

// A read-only view of a cancellation source. A default-constructed token is never cancelled.
class CancellationToken {
public:
    CancellationToken() = default;

    bool isCancelled() const;
    bool canBeCancelled() const { return static_cast<bool>(state_); }
    void throwIfCancelled() const;

    // Runs `callback` once when the source is cancelled, or at once if it already is.
    // Dropping the registration unregisters the callback.
    [[nodiscard]] CancellationRegistration onCancel(std::function<void()> callback) const;

    struct State;

private:
    friend class CancellationSource;
    explicit CancellationToken(std::shared_ptr<State> state) : state_(std::move(state)) {}
    std::shared_ptr<State> state_;
};

class CancellationRegistration {
public:
    CancellationRegistration() = default;
    CancellationRegistration(const CancellationRegistration&) = delete;
    CancellationRegistration& operator=(const CancellationRegistration&) = delete;
    CancellationRegistration(CancellationRegistration&& other) noexcept;
    CancellationRegistration& operator=(CancellationRegistration&& other) noexcept;
    ~CancellationRegistration();

    void reset();

private:
    friend class CancellationToken;
    CancellationRegistration(std::weak_ptr<CancellationToken::State> state, std::uint64_t id)
        : state_(std::move(state)), id_(id) {}
    std::weak_ptr<CancellationToken::State> state_;
    std::uint64_t id_ = 0;
};

// Owner side of a cancellation: the holder of a task handle cancels through it.
class CancellationSource {
public:
    CancellationSource();
    // A source that is also cancelled when `parent` is.
    explicit CancellationSource(const CancellationToken& parent);

    CancellationToken token() const { return CancellationToken(state_); }
    void cancel();
    bool isCancelled() const;

private:
    static void cancelState(const std::shared_ptr<CancellationToken::State>& state);
    std::shared_ptr<CancellationToken::State> state_;
};

} // namespace quillo
