// Table F2: summary measures of the components over spans of 1 to 12
// months (1 to 4 quarters).
#pragma once

#include <span>

#include "x11sa/options.h"
#include "x11sa/summary_measures.h"

namespace x11sa {

// The series F2 describes, all over the same stretch.
struct F2Series {
  std::span<const double> original;     // the series as read (O)
  std::span<const double> prior;        // A2 (P); empty when not in force
  std::span<const double> trading_day;  // C18 (TD); empty when not in force
  std::span<const double> seasonal;     // D10 (S)
  std::span<const double> adjusted;     // D11 (CI)
  std::span<const double> trend_cycle;  // D12 (C)
  std::span<const double> irregular;    // D13 (I)
  std::span<const double> modified_original, modified_adjusted, modified_irregular;  // E1, E2, E3
  std::span<const double> f1;           // defined on [first, last) of the dominance record
};

// The F2 figures; `dominance` is what F1 found on the same D12 and D13. P
// and TD take part only in a monthly run.
[[nodiscard]] F2Summary f2_summary(const F2Series& series, const CyclicalDominance& dominance, Frequency frequency,
                                   Mode mode);

}  // namespace x11sa
