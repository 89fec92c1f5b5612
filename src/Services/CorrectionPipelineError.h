#pragma once

#include <exception>
#include <optional>

namespace quillo {

// The errors of the correction pipeline itself.
class CorrectionPipelineError : public std::exception {
public:
    enum class Kind {
        // The correction failed but `completed` chunks are saved; a retry of the same text reuses them.
        partial,
        // The cloud client returned no result for a chunk.
        unavailable,
    };

    static CorrectionPipelineError partial(std::exception_ptr underlying, int completed,
                                           std::optional<double> chargedCredits) {
        return CorrectionPipelineError(Kind::partial, std::move(underlying), completed, chargedCredits);
    }
    static CorrectionPipelineError unavailable() { return CorrectionPipelineError(Kind::unavailable, {}, 0, {}); }

    Kind kind() const noexcept { return kind_; }
    bool isPartial() const noexcept { return kind_ == Kind::partial; }
    // partial only: the error that stopped the run.
    std::exception_ptr underlying() const noexcept { return underlying_; }
    // partial only: number of saved chunks.
    int completed() const noexcept { return completed_; }
    // partial only: sum of the saved chunks' charges; none when any of them reported no charge.
    std::optional<double> chargedCredits() const noexcept { return chargedCredits_; }

    // A copy of the underlying error of a partial failure, if it is an E.
    template <typename E> std::optional<E> underlyingAs() const {
        if (!underlying_) return std::nullopt;
        try {
            std::rethrow_exception(underlying_);
        } catch (const E& e) {
            return e;
        } catch (...) {}
        return std::nullopt;
    }

    const char* what() const noexcept override {
        return kind_ == Kind::partial ? "correction partially completed" : "correction unavailable";
    }

private:
    CorrectionPipelineError(Kind kind, std::exception_ptr underlying, int completed, std::optional<double> charged)
        // NOLINTNEXTLINE(bugprone-throw-keyword-missing): an exception_ptr member is stored, not a new exception
        : kind_(kind), underlying_(std::move(underlying)), completed_(completed), chargedCredits_(charged) {}

    Kind kind_;
    std::exception_ptr underlying_;
    int completed_;
    std::optional<double> chargedCredits_;
};

} // namespace quillo
