// The Kruskal-Wallis rank test of SI ratios by period.
#pragma once

#include <span>

#include "x11sa/seasonality_tests.h"

namespace x11sa {

// The test of `si` in `periods_per_year` groups, the group of a value being
// its position modulo that number. Ranks come from an exchange sort: tied
// values take distinct consecutive ranks in the order that sort leaves them.
// Missing values are left out.
[[nodiscard]] KruskalWallisTest kruskal_wallis_test(std::span<const double> si, int periods_per_year);

// Upper-tail chi-square probability of the statistic h with df degrees of
// freedom, in the closed form of the test: 1 when h <= 0, 0 when h >= 90.
[[nodiscard]] double kruskal_wallis_probability(double h, long df);

}  // namespace x11sa
