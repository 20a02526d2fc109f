// Seasonal factors: each period of the year is smoothed across the years
// with a short seasonal moving average, then the factors are centred on a
// 2x12 (2x4) average so that they average to 100 (0 additive) over a year.
#pragma once

#include <array>
#include <span>

#include "core/moving_averages.h"
#include "x11sa/options.h"

namespace x11sa {

// The first estimates of the factors (B4, B5, C5, D5) smooth with a 3x3
// average by default, the final ones (B9, B10, C10, D10) with a 3x5.
enum class SeasonalEstimate { Preliminary, Final };

// The seasonal moving average of `curve` for a period of the year with
// `years` values: the full table when there are years enough, a shortened
// one of exactly `years` terms a little below that, and with fewer years
// still (or STABLE) a table without terms, which stands for the mean of all
// years.
[[nodiscard]] WeightTable seasonal_filter(SeasonalCurve curve, SeasonalEstimate estimate, long years);

// Monthly factors of the SI ratios `si`, whose first value is calendar
// month `first_month` (0 = January). Each month takes the MACURVES curve of
// its calendar month. `centring` receives the 2x12 average the factors were
// centred on, carried flat over the six months at each end. Twelve values or
// fewer have no such average: everything comes out missing.
void monthly_seasonal_factors(std::span<const double> si, int first_month, SeasonalEstimate estimate,
                              const std::array<SeasonalCurve, 12>& curves, Mode mode, std::span<double> factors,
                              std::span<double> centring);

// Quarterly factors: 3x3 or 3x5 averages (MACURVES does not apply), each
// value divided by the sum of the weights its row used, centred on the 2x4
// average carried flat over two quarters at each end; missing with four
// values or fewer.
void quarterly_seasonal_factors(std::span<const double> si, SeasonalEstimate estimate, Mode mode,
                                std::span<double> factors, std::span<double> centring);

}  // namespace x11sa
