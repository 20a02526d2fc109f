// What the tests for seasonality on the final SI ratios (D8) found, and the
// D9A moving-seasonality ratios: read by the listing, OUTSTB=, the sliding
// spans and the callers of the library.
#pragma once

#include <array>

#include "x11sa/missing.h"

namespace x11sa {

// One row of an analysis of variance; a figure the row has not stays missing.
struct VarianceRow {
  double sum_of_squares = kMissing;
  double df = kMissing;
  double mean_square = kMissing;
};

// The stable seasonality test: a one-way analysis of variance of the SI
// ratios grouped by period. Without any value every row stays missing and
// F is 0.
struct StableSeasonalityTest {
  VarianceRow between_periods;
  VarianceRow residual;
  VarianceRow total;  // no mean square
  double f = 0.0;
  double probability = kMissing;  // missing where the degrees of freedom leave no test
};

// The moving seasonality test: a two-way analysis of variance (periods by
// years) of the absolute deviations of the SI ratios from their neutral
// level, over the complete years [first, last) of the series tested
// (offsets into it). With fewer than two complete years every figure stays
// missing and F is 0.
struct MovingSeasonalityTest {
  long first = 0, last = 0;
  long years = 0;
  double ss_between_periods = kMissing;
  VarianceRow between_years;
  VarianceRow error;
  double ss_total = kMissing;
  double f = 0.0;
  double probability = kMissing;
};

enum class KruskalWallisStatus {
  Done,
  NoMemory,  // the ranks could not be held; nothing was computed
};

// The Kruskal-Wallis rank test of the SI ratios by period. The statistic
// and its probability are missing when no value is available.
struct KruskalWallisTest {
  KruskalWallisStatus status = KruskalWallisStatus::Done;
  double statistic = kMissing;
  long df = 0;
  double probability = kMissing;
  // The probability in percent.
  [[nodiscard]] double level() const noexcept { return is_missing(probability) ? kMissing : probability * 100.0; }
};

enum class IdentifiableSeasonality { Present, ProbablyNotPresent, NotPresent };

// The combined test for identifiable seasonality: the three probabilities it
// weighs, the T statistics from the F values (missing when the stable F is
// 0) and the verdict.
struct CombinedSeasonalityTest {
  double p_stable = kMissing;
  double p_moving = kMissing;
  double p_kruskal_wallis = kMissing;
  double t1 = kMissing, t2 = kMissing, t = kMissing;
  IdentifiableSeasonality verdict = IdentifiableSeasonality::NotPresent;
};

// The four tests on D8 together. The moving test's complete years are
// counted from the first observation.
struct D8Tests {
  StableSeasonalityTest stable;
  MovingSeasonalityTest moving;
  KruskalWallisTest kruskal_wallis;
  CombinedSeasonalityTest combined;
};

// D9A of one period of the year: the average change of the irregular and of
// the seasonal of its modified SI ratios, and their ratio. Missing where
// they cannot be formed: the period has fewer than two values, or the
// seasonal does not change.
struct D9aPeriod {
  double irregular_change = kMissing;
  double seasonal_change = kMissing;
  double ratio = kMissing;
  long values = 0;  // D9 values of the period
  [[nodiscard]] bool computed() const noexcept { return values >= 2; }
};

struct D9aRatios {
  int periods = 12;
  std::array<D9aPeriod, 12> by_period{};  // index 0 January (the first quarter)
};

}  // namespace x11sa
