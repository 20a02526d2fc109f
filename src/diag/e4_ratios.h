// Table E4: the annual totals of the series as read against those of the
// seasonally adjusted series, unmodified and modified for extremes.
#pragma once

#include <span>

#include "x11sa/options.h"
#include "x11sa/summary_measures.h"

namespace x11sa {

// The series E4 compares, over the same stretch.
struct E4Series {
  std::span<const double> original;           // B1, the series as read
  std::span<const double> adjusted;           // D11
  std::span<const double> modified_original;  // E1
  std::span<const double> modified_adjusted;  // E2
};

// One row per calendar year the stretch touches, the first value falling in
// period `first_period` of `first_year`.
[[nodiscard]] E4Ratios e4_ratios(const E4Series& series, int periods_per_year, Mode mode, int first_year,
                                 int first_period);

}  // namespace x11sa
