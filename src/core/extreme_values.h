// Extreme values: every irregular value is graded by its distance from the
// mean (100, or 0 additive) in units of a moving five-year sigma, and values
// without full weight are replaced by averages of full-weight neighbours.
#pragma once

#include <span>

#include "x11sa/options.h"

namespace x11sa {

// What grades the irregular: values within `fullweight` sigmas keep full
// weight (100), values beyond `zeroweight` sigmas get none, those between
// are graded linearly. `rule` and `old_sigma` apply to monthly series.
struct ExtremeValueRules {
  Mode mode = Mode::Multiplicative;
  ExtremeRule rule = ExtremeRule::Old;
  bool old_sigma = false;  // OLDSIGMA: EXTREME=OLD leaves zero weights out of its first sigmas too
  double fullweight = 1.5;
  double zeroweight = 2.5;
};

// The number of sigmas extreme_value_weights gives for n values: one per
// year counted from the first value.
[[nodiscard]] long sigma_count(long n, Frequency frequency) noexcept;

// Weights (0 to 100) of the irregular values of a stretch whose first value
// is period `first_period` (0 = January or the first quarter) of its year.
// The sigmas are those of five-year windows stepping a year at a time over
// the full years of the stretch (one window of all of them with five full
// years or fewer); partial years at the ends are graded by the nearest
// window but never enter a sigma. `year_sigmas[j]` receives the sigma that
// graded value periods * j.
void extreme_value_weights(std::span<const double> irregular, Frequency frequency, int first_period,
                           const ExtremeValueRules& rules, std::span<double> weights,
                           std::span<double> year_sigmas);

// Replaces each value without full weight by the average of the nearest
// full-weight values of the same period in other years, with its own value
// counting by its weight: four such years, three within two years of either
// end of the stretch; a period with fewer full-weight years than that takes
// the mean of all its values. `replacements` receives the new values,
// missing elsewhere.
void replace_extremes_by_years(std::span<double> values, std::span<const double> weights, Frequency frequency,
                               std::span<double> replacements);

// Replaces each value without full weight by the average of the nearest
// full-weight values next to it: monthly two before and two after (three
// next to the ends, reaching further to one side when the other runs out),
// quarterly the nearest before and after (one at either end of the stretch).
// A value of zero weight without any full-weight neighbour keeps its value.
void replace_extremes_by_neighbours(std::span<double> values, std::span<const double> weights,
                                    Frequency frequency);

}  // namespace x11sa
