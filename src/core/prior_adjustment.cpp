// Prior adjustments.

#include "core/prior_adjustment.h"

#include <algorithm>

#include "core/moving_averages.h"

namespace x11sa {

void a3_prior_adjusted_series(std::span<const double> original, std::span<const double> monthly_factors, Mode mode,
                              std::span<double> a3) {
  ratio_or_difference(original, monthly_factors, a3, mode);
}

void a4_prior_trading_day_factors(const DailyWeights& prior_weights, int first_year, long first_month, Mode mode,
                                  MonthDivisor divisor, std::span<double> a4) {
  trading_day_factors(prior_weights, first_year, first_month, mode, divisor, a4);
}

void a5_prior_adjusted_series(std::span<const double> original, std::span<const double> a3,
                              std::span<const double> a4, Mode mode, std::span<double> a5) {
  const std::span<const double> base = a3.empty() ? original : a3;
  if (a4.empty()) {
    std::copy(base.begin(), base.end(), a5.begin());
  } else {
    ratio_or_difference(base, a4, a5, mode);
  }
}

}  // namespace x11sa
