#pragma once

#include <exception>

namespace quillo {

// The only way chunking can fail: one user-perceived character is longer than the chunk limit,
// so no cut can keep it whole and within the limit.
class CorrectionChunkingError : public std::exception {
public:
    enum class Kind { characterExceedsLimit };

    explicit CorrectionChunkingError(Kind kind = Kind::characterExceedsLimit) : kind_(kind) {}
    static CorrectionChunkingError characterExceedsLimit() {
        return CorrectionChunkingError(Kind::characterExceedsLimit);
    }

    Kind kind() const noexcept { return kind_; }
    const char* what() const noexcept override { return "a character exceeds the chunk limit"; }
    bool operator==(const CorrectionChunkingError& other) const noexcept { return kind_ == other.kind_; }

private:
    Kind kind_;
};

} // namespace quillo
