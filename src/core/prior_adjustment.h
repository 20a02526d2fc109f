// Prior adjustments, tables A3 to A5: the series adjusted by the prior
// monthly factors (PMFACTOR=) and by the factors of the prior daily weights
// (PDWEIGHTS).
#pragma once

#include <span>

#include "core/trading_day.h"
#include "x11sa/options.h"

namespace x11sa {

// A3: the series without its prior monthly factors.
void a3_prior_adjusted_series(std::span<const double> original, std::span<const double> monthly_factors, Mode mode,
                              std::span<double> a3);

// A4: the monthly factors of the prior daily weights, for consecutive months
// from month `first_month` (0 = January) of `first_year`.
void a4_prior_trading_day_factors(const DailyWeights& prior_weights, int first_year, long first_month, Mode mode,
                                  MonthDivisor divisor, std::span<double> a4);

// A5: the series adjusted for every prior factor in force: A3 (or the series
// itself when `a3` is empty) without the A4 factors (unless `a4` is empty).
void a5_prior_adjusted_series(std::span<const double> original, std::span<const double> a3,
                              std::span<const double> a4, Mode mode, std::span<double> a5);

}  // namespace x11sa
