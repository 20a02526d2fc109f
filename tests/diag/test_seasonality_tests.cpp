// The tests for seasonality on cases worked out by hand and by their
// properties: what the stable and moving F-tests leave out, the tie rule of
// the Kruskal-Wallis ranks, its probability, and the combined verdict.
#include <gtest/gtest.h>

#include <boost/math/distributions/chi_squared.hpp>

#include <cmath>
#include <vector>

#include "diag/combined_test.h"
#include "diag/kruskal_wallis.h"
#include "diag/seasonality_f_tests.h"

namespace x11sa {
namespace {

// A monthly SI pattern with an irregular that differs from year to year.
std::vector<double> si_ratios(std::size_t n) {
  std::vector<double> v(n);
  for (std::size_t t = 0; t < n; ++t)
    v[t] = 100.0 + 6.0 * std::sin(0.5236 * static_cast<double>(t)) + 1.5 * std::sin(2.1 * static_cast<double>(t * t));
  return v;
}

TEST(StableSeasonality, ARegularPatternLeavesNoResidual) {
  // Levels that are not binary fractions: what the subtractions leave of
  // an exact zero must not count as residual variance.
  std::vector<double> si;
  for (int y = 0; y < 6; ++y)
    for (int m = 0; m < 12; ++m) si.push_back(91.3 + 1.7 * m);
  si[7] = kMissing;  // left out with its degree of freedom
  const auto t = stable_seasonality_test(si, 12);
  EXPECT_EQ(t.residual.sum_of_squares, 0.0);
  EXPECT_GT(t.between_periods.sum_of_squares, 0.0);
  EXPECT_EQ(t.total.df, 70.0);
  EXPECT_EQ(t.f, 0.0);
  EXPECT_EQ(t.probability, 1.0);
  const auto none = stable_seasonality_test(std::vector<double>(24, kMissing), 12);
  EXPECT_EQ(none.f, 0.0);
  EXPECT_TRUE(is_missing(none.probability) && is_missing(none.total.sum_of_squares));
}

TEST(MovingSeasonality, OnlyCompleteYearsCount) {
  // March of the first year to May of the tenth: the complete years are the
  // second to the ninth, from position 10.
  const auto si = si_ratios(12 * 9 + 3);
  const auto t = moving_seasonality_test(si, 12, Mode::Multiplicative, 2);
  EXPECT_EQ(t.first, 10);
  EXPECT_EQ(t.years, 8);
  EXPECT_EQ(t.last, 10 + 8 * 12);
  const std::vector<double> whole(si.begin() + 10, si.begin() + 10 + 96);
  const auto same = moving_seasonality_test(whole, 12, Mode::Multiplicative, 0);
  EXPECT_EQ(same.between_years.sum_of_squares, t.between_years.sum_of_squares);
  EXPECT_EQ(same.error.sum_of_squares, t.error.sum_of_squares);
  EXPECT_EQ(same.f, t.f);
  EXPECT_GT(t.f, 0.0);
  EXPECT_EQ(t.error.df, 77.0);
  // One complete year is no test.
  const auto short_run = moving_seasonality_test(std::vector<double>(si.begin(), si.begin() + 30), 12,
                                                 Mode::Multiplicative, 2);
  EXPECT_EQ(short_run.years, 1);
  EXPECT_EQ(short_run.f, 0.0);
  EXPECT_TRUE(is_missing(short_run.probability) && is_missing(short_run.error.sum_of_squares));
}

TEST(MovingSeasonality, DeviationsOfPeriodAndYearPartsOnlyLeaveNoError) {
  std::vector<double> si(24);
  for (int t = 0; t < 24; ++t) si[static_cast<std::size_t>(t)] = 100.0 + 0.37 * (t % 4 + 1) + 1.3 * (t / 4);
  const auto t = moving_seasonality_test(si, 4, Mode::Multiplicative, 0);
  EXPECT_EQ(t.error.sum_of_squares, 0.0);
  EXPECT_GT(t.between_years.sum_of_squares, 0.0);
  EXPECT_EQ(t.f, 0.0);
  EXPECT_EQ(t.probability, 1.0);
}

TEST(KruskalWallis, TiesTakeTheRanksTheExchangeSortLeaves) {
  // Sorting 1, 0, 1, 0 by exchange moves the first 0 to the front, then the
  // second 0 before both 1s, which keep their order only when the second
  // is passed over: ranks 4, 1, 3, 2. Group 0 holds positions 0 and 3: rank
  // sums 6, 1, 3 and H = 12 / 20 x 28 - 15. (A stable sort gives 2.7.) A
  // missing value is left out without shifting the groups.
  EXPECT_NEAR(kruskal_wallis_test(std::vector<double>{1, 0, 1, 0}, 3).statistic, 1.8, 1e-12);
  EXPECT_NEAR(kruskal_wallis_test(std::vector<double>{1, 0, kMissing, 1, 0}, 4).statistic, 1.8, 1e-12);
  // All equal: ranks 1..24 in input order, month g holds g + 1 and g + 13.
  const auto equal = kruskal_wallis_test(std::vector<double>(24, 100.0), 12);
  EXPECT_NEAR(equal.statistic, 5.72, 1e-12);
  EXPECT_EQ(equal.df, 11);
  const auto none = kruskal_wallis_test(std::vector<double>(8, kMissing), 4);
  EXPECT_EQ(none.status, KruskalWallisStatus::Done);
  EXPECT_TRUE(is_missing(none.statistic) && is_missing(none.probability));
}

TEST(KruskalWallis, ProbabilityIsTheChiSquareTail) {
  for (long df = 1; df <= 12; ++df) {
    const boost::math::chi_squared chi(static_cast<double>(df));
    for (double h : {0.05, 0.7, 2.0, 5.72, 11.3, 19.0, 33.0, 60.0, 89.0}) {
      const double want = boost::math::cdf(boost::math::complement(chi, h));
      // Even df is exact; odd df leans on a normal integral good to about 1e-9.
      EXPECT_NEAR(kruskal_wallis_probability(h, df), want, df % 2 == 0 ? 1e-13 : 2e-9) << df << " " << h;
    }
  }
  EXPECT_EQ(kruskal_wallis_probability(-3.0, 3), 1.0);
  EXPECT_EQ(kruskal_wallis_probability(90.0, 11), 0.0);
}

TEST(CombinedTest, VerdictRules) {
  using enum IdentifiableSeasonality;
  const auto v = identifiable_seasonality;
  // Stable seasonality decides first.
  EXPECT_EQ(v(0.1, 0.1, 0.1, 0.001, 0.2, 0.0), NotPresent);
  EXPECT_EQ(v(0.1, 0.1, 0.1, kMissing, 0.2, 0.0), NotPresent);
  // No significant moving seasonality: T1, T2 and Kruskal-Wallis decide.
  EXPECT_EQ(v(0.5, 0.3, 0.4, 0.0009, 0.2, 0.0005), Present);
  EXPECT_EQ(v(1.0, 0.3, 0.65, 0.0009, 0.2, 0.0005), ProbablyNotPresent);
  EXPECT_EQ(v(0.5, 1.2, 0.85, 0.0009, 0.2, 0.0005), ProbablyNotPresent);
  EXPECT_EQ(v(0.5, 0.3, 0.4, 0.0009, 0.2, 0.001), ProbablyNotPresent);
  EXPECT_EQ(v(0.5, 0.3, 0.4, 0.0009, kMissing, kMissing), ProbablyNotPresent);
  // Significant moving seasonality: T below 1 still allows presence ...
  EXPECT_EQ(v(0.5, 0.3, 0.4, 0.0, 0.01, 0.0), Present);
  // ... T of 1 or more, or missing, means not present.
  EXPECT_EQ(v(0.5, 1.5, 1.0, 0.0, 0.01, 0.0), NotPresent);
  EXPECT_EQ(v(kMissing, kMissing, kMissing, 0.0, 0.01, 0.0), NotPresent);
}

TEST(CombinedTest, AStableFOfZeroLeavesTheTStatisticsMissing) {
  StableSeasonalityTest stable;
  stable.f = 1e-16;
  stable.probability = 0.0005;
  MovingSeasonalityTest moving;
  moving.f = 2.0;
  moving.probability = 0.3;
  const auto c = combined_seasonality_test(stable, moving, KruskalWallisTest{});
  EXPECT_TRUE(is_missing(c.t1) && is_missing(c.t2) && is_missing(c.t));
  // A significant stable test without T1: presence is doubtful.
  EXPECT_EQ(c.verdict, IdentifiableSeasonality::ProbablyNotPresent);
}

}  // namespace
}  // namespace x11sa
