// The missing value of x11sa: one NaN bit pattern, recognised by its top 16 bits.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <span>

namespace x11sa {

inline constexpr std::uint64_t kMissingBits = 0xFFFFFE0000000000ULL;

// The value stored wherever a number is not available.
inline constexpr double kMissing = std::bit_cast<double>(kMissingBits);

// Any double whose top 16 bits are all ones counts as missing; an ordinary NaN
// produced by arithmetic does not.
[[nodiscard]] inline constexpr bool is_missing(double x) noexcept {
  return (std::bit_cast<std::uint64_t>(x) >> 48) == 0xFFFFu;
}

inline void fill_missing(double* p, long n) noexcept {
  if (n > 0) std::fill(p, p + n, kMissing);
}

inline void fill_missing(std::span<double> v) noexcept { std::fill(v.begin(), v.end(), kMissing); }

}  // namespace x11sa
