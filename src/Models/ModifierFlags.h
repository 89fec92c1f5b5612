#pragma once

#include <cstdint>

namespace quillo {

// Device-independent modifier bits of a key event.
namespace ModifierFlags {
inline constexpr std::uint64_t capsLock = 0x10000;
inline constexpr std::uint64_t shift = 0x20000;
inline constexpr std::uint64_t control = 0x40000;
inline constexpr std::uint64_t option = 0x80000;
inline constexpr std::uint64_t command = 0x100000;
inline constexpr std::uint64_t function = 0x800000;

// All bits above, for masking out device-dependent bits.
inline constexpr std::uint64_t deviceIndependentMask = capsLock | shift | control | option | command | function;
} // namespace ModifierFlags

} // namespace quillo
