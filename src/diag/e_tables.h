// The E tables: the series modified for extremes and the period-to-period
// changes. Each writes its table over the length of its output span; the
// inputs cover the same stretch.
#pragma once

#include <span>

#include "x11sa/options.h"

namespace x11sa {

// The components E1 is rebuilt from where a value is extreme.
struct E1Components {
  std::span<const double> original;     // A1, the series as read
  std::span<const double> prior;        // A2; empty without prior factors
  std::span<const double> weights;      // C17, the final extreme-value weights
  std::span<const double> trading_day;  // C18; empty when not applied
  std::span<const double> seasonal;     // D10
  std::span<const double> trend_cycle;  // D12
};

// E1: the series as read where the final weight is above 0, else rebuilt
// from the seasonal and the trend-cycle (with the trading-day and prior
// factors when given).
void e1_modified_original(std::span<double> e1, const E1Components& in, Mode mode);
// E2: D12 where the final weight is 0 or below, else D11.
void e2_modified_adjusted(std::span<double> e2, std::span<const double> weights, std::span<const double> d11,
                          std::span<const double> d12);
// E3: D13 where the final weight is above 0, else 100 (0 additive).
void e3_modified_irregular(std::span<double> e3, std::span<const double> weights, std::span<const double> d13,
                           Mode mode);
// E5 and E6: the change of A1 (D11) from each value to the next, in percent
// of the earlier one in a multiplicative run; e5[0] (e6[0]) is left alone.
// E6 is missing after a 0.
void e5_original_changes(std::span<double> e5, std::span<const double> a1, Mode mode);
void e6_adjusted_changes(std::span<double> e6, std::span<const double> d11, Mode mode);

}  // namespace x11sa
