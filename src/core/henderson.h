// Henderson trend-cycle: the monthly trend with its length chosen from the
// I/C ratio, and the quarterly 5- and 7-term trends.
#pragma once

#include <optional>
#include <span>

#include "core/moving_averages.h"
#include "x11sa/options.h"

namespace x11sa {

// The Henderson tables. The end rows of the 7-term table are those of the 5-term one.
extern const WeightTable kHenderson5;
extern const WeightTable kHenderson7;
extern const WeightTable kHenderson9;
extern const WeightTable kHenderson13;
extern const WeightTable kHenderson23;

// The length a monthly trend was computed with, and the I/C ratio it was
// chosen by: the average absolute change of the irregular against that of
// the 13-term trend (relative changes when multiplicative), 100000 when the
// trend does not change at all.
struct HendersonChoice {
  int length = 13;
  double ic_ratio = 0.0;
};

// B7 is the first trend of the chain; it never goes beyond 13 terms.
enum class TrendPass { First, Later };

// Monthly trend-cycle of `in` into `trend` (same size). `length` is TRENDMA=
// (9, 13, anything else 23); without it the ratio chooses: below 0.995 nine
// terms, below 3.49 (or in the first pass) 13, else 23.
HendersonChoice henderson_trend(std::span<const double> in, std::span<double> trend, Mode mode, TrendPass pass,
                                std::optional<int> length);

// Quarterly trend-cycle: the 7-term table with TRENDMA=7, else the 5-term
// one, each point divided by the sum of the weights its row used.
void quarterly_henderson_trend(std::span<const double> in, std::span<double> trend, std::optional<int> length);

}  // namespace x11sa
