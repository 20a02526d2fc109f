// Seasonal factors: a stable pattern comes back centred, constant ratios
// give neutral factors, each month takes its own curve, short series.
#include "core/seasonal_factors.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <vector>

#include "x11sa/missing.h"

namespace x11sa {
namespace {

using Vec = std::vector<double>;
using Curves = std::array<SeasonalCurve, 12>;

constexpr double kMonthly[12] = {-9, -6, 1, 4, 8, 12, 10, 6, 0, -5, -10, -11};  // January first; sums to 0
constexpr double kQuarterly[4] = {14, -3, -20, 9};

// SI ratios of a stable pattern around `level`: level * (1 + pattern / 100),
// or level + pattern additive.
Vec stable_si(long n, int first_period, int periods, double level, Mode mode) {
  Vec si(n);
  for (long p = 0; p < n; ++p) {
    const int k = static_cast<int>((first_period + p) % periods);
    const double s = periods == 12 ? kMonthly[k] : kQuarterly[k];
    si[p] = mode == Mode::Additive ? level + s : level * (1.0 + s / 100.0);
  }
  return si;
}

// The factors in effect: their neutral value plus the pattern.
double pattern_factor(int k, int periods, Mode mode) {
  const double s = periods == 12 ? kMonthly[k] : kQuarterly[k];
  return mode == Mode::Additive ? s : 100.0 + s;
}

TEST(SeasonalFactors, AStablePatternComesBackCentredOnItsYear) {
  Curves stable;
  stable.fill(SeasonalCurve::Stable);
  for (const Mode mode : {Mode::Multiplicative, Mode::Additive}) {
    for (const long n : {13L, 50L, 77L}) {
      const Vec si = stable_si(n, 5, 12, 110.0, mode);
      Vec factors(n), centring(n);
      monthly_seasonal_factors(si, 5, SeasonalEstimate::Final, stable, mode, factors, centring);
      for (long p = 0; p < n; ++p) ASSERT_NEAR(factors[p], pattern_factor(static_cast<int>((5 + p) % 12), 12, mode), 1e-10) << p;
    }
    // Quarterly averages are divided by their weights: every table length,
    // the shortened ones and the mean of two years included, is exact.
    for (const auto estimate : {SeasonalEstimate::Preliminary, SeasonalEstimate::Final}) {
      for (long years = 2; years <= 9; ++years) {
        const long n = 4 * years + 1;
        const Vec si = stable_si(n, 2, 4, 110.0, mode);
        Vec factors(n), centring(n);
        quarterly_seasonal_factors(si, estimate, mode, factors, centring);
        for (long p = 0; p < n; ++p) ASSERT_NEAR(factors[p], pattern_factor(static_cast<int>((2 + p) % 4), 4, mode), 1e-10) << p;
      }
    }
  }
}

TEST(SeasonalFactors, ConstantRatiosGiveNeutralFactors) {
  for (const Mode mode : {Mode::Multiplicative, Mode::Additive}) {
    const double level = mode == Mode::Additive ? 5.0 : 100.0;
    const double neutral = mode == Mode::Additive ? 0.0 : 100.0;
    for (const auto estimate : {SeasonalEstimate::Preliminary, SeasonalEstimate::Final}) {
      const Vec si(84, level);
      Vec factors(84), centring(84);
      monthly_seasonal_factors(si, 3, estimate, Curves{}, mode, factors, centring);
      for (double f : factors) EXPECT_NEAR(f, neutral, 0.0021 * level);
      quarterly_seasonal_factors(si, estimate, mode, factors, centring);
      for (double f : factors) EXPECT_NEAR(f, neutral, 1e-12);
    }
  }
}

TEST(SeasonalFactors, EachCurveNeedsItsYearsElseEachMonthTakesItsMean) {
  // With the means the uncentred factors repeat every year, and so the 2x12
  // average they are centred on is their overall mean.
  for (const auto& [curve, needed] : {std::pair{SeasonalCurve::ThreeTerm, 3L}, {SeasonalCurve::ThreeByThree, 3L},
                                      {SeasonalCurve::ThreeByFive, 4L}, {SeasonalCurve::ThreeByNine, 6L}}) {
    for (const long years : {needed - 1, needed}) {
      const long n = 12 * years;
      Vec si(n), factors(n), centring(n);
      for (long p = 0; p < n; ++p) si[p] = 100.0 + 5.0 * std::sin(1.3 * double(p) + 0.4);
      Curves curves;
      curves.fill(curve);
      monthly_seasonal_factors(si, 0, SeasonalEstimate::Final, curves, Mode::Multiplicative, factors, centring);
      double grand = 0.0;
      for (double v : si) grand += v / double(n);
      bool means = true;
      for (long p = 0; p < n; ++p) {
        double mean = 0.0;
        for (long q = p % 12; q < n; q += 12) mean += si[q] / double(years);
        means = means && std::fabs(factors[p] - mean / grand * 100.0) < 1e-10;
      }
      EXPECT_EQ(means, years < needed) << static_cast<int>(curve) << " " << years;
    }
  }
}

TEST(SeasonalFactors, EachMonthTakesTheCurveOfItsCalendarMonth) {
  // A stretch from October; one March far from the others is changed. A
  // STABLE March spreads the change to every March; a 3x3 March keeps it
  // within two years, and nothing else reaches a March four years away.
  const long n = 96, march = 5, changed = march + 12 * 6, far = march + 12 * 1;
  Vec si(n);
  for (long p = 0; p < n; ++p) si[p] = 100.0 + 5.0 * std::sin(1.3 * double(p) + 0.4);
  Vec moved = si;
  moved[changed] += 20.0;
  for (const auto& [calendar_month, reaches] : {std::pair{2, true}, {3, false}}) {
    Curves curves{};
    curves[calendar_month] = SeasonalCurve::Stable;
    Vec before(n), after(n), centring(n);
    monthly_seasonal_factors(si, 9, SeasonalEstimate::Preliminary, curves, Mode::Multiplicative, before, centring);
    monthly_seasonal_factors(moved, 9, SeasonalEstimate::Preliminary, curves, Mode::Multiplicative, after, centring);
    EXPECT_EQ(before[far] != after[far], reaches) << calendar_month;
    EXPECT_NE(before[changed], after[changed]);
  }
}

TEST(SeasonalFactors, AYearOrLessGivesNoFactors) {
  const Vec si(12, 100.0);
  Vec factors(12, 1.0), centring(12);
  monthly_seasonal_factors(si, 0, SeasonalEstimate::Final, Curves{}, Mode::Multiplicative, factors, centring);
  for (double f : factors) EXPECT_TRUE(is_missing(f));
  quarterly_seasonal_factors(std::span(si).first(4), SeasonalEstimate::Final, Mode::Multiplicative,
                             std::span(factors).first(4), std::span(centring).first(4));
  for (int p = 0; p < 4; ++p) EXPECT_TRUE(is_missing(factors[p]));
}

}  // namespace
}  // namespace x11sa
