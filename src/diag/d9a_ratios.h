// D9A: the moving-seasonality ratio of each period of the year, from the
// modified SI ratios D9.
#pragma once

#include <span>

#include "x11sa/options.h"
#include "x11sa/seasonality_tests.h"

namespace x11sa {

// D9A of every period of the year from `d9`, whose first value falls in
// period `first_period` of the year (0 for January or the first quarter).
// In a multiplicative run the changes are percentages.
[[nodiscard]] D9aRatios d9a_ratios(std::span<const double> d9, int periods_per_year, Mode mode, int first_period);

}  // namespace x11sa
