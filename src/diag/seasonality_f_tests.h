// The stable and the moving seasonality F-tests on SI ratios.
#pragma once

#include <span>

#include "x11sa/options.h"
#include "x11sa/seasonality_tests.h"

namespace x11sa {

// Stable seasonality: one-way analysis of variance of `si` grouped by
// period, the first value's period being the first group. Missing values are
// left out.
[[nodiscard]] StableSeasonalityTest stable_seasonality_test(std::span<const double> si, int periods_per_year);

// Moving seasonality: two-way analysis of variance (periods by years) of the
// absolute deviations of `si` from 100 (0 in an additive run) over its
// complete years; `first_period` is the period of the year of si[0] (0 for
// January or the first quarter). Sums of squares of a multiplicative run
// are in percent squared.
[[nodiscard]] MovingSeasonalityTest moving_seasonality_test(std::span<const double> si, int periods_per_year,
                                                            Mode mode, int first_period);

}  // namespace x11sa
