// Moving averages and the Henderson trend: the weight tables, constant
// series, the ends of a stretch, the centred averages and the choice of the
// trend's length.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <optional>
#include <vector>

#include "core/henderson.h"
#include "core/moving_averages.h"
#include "core/seasonal_factors.h"
#include "x11sa/missing.h"

namespace x11sa {
namespace {

using Vec = std::vector<double>;

// Every table: Henderson, the preliminary trends, the seasonal averages.
std::vector<WeightTable> all_tables() {
  std::vector<WeightTable> tables = {kHenderson5,  kHenderson7,     kHenderson9,   kHenderson13,
                                     kHenderson23, kCentred24Terms, kCentred8Terms};
  for (SeasonalCurve c : {SeasonalCurve::ThreeTerm, SeasonalCurve::ThreeByThree, SeasonalCurve::ThreeByFive,
                          SeasonalCurve::ThreeByNine}) {
    for (long years = 1; years <= 12; ++years) {
      const WeightTable t = seasonal_filter(c, SeasonalEstimate::Final, years);
      const bool known = std::any_of(tables.begin(), tables.end(),
                                     [&](const WeightTable& u) { return u.weights.data() == t.weights.data(); });
      if (t.terms > 0 && !known) tables.push_back(t);
    }
  }
  return tables;
}

TEST(WeightTables, RowsSumToOneAndTheSymmetricRowIsSymmetric) {
  const auto tables = all_tables();
  EXPECT_EQ(tables.size(), 21u);
  for (const WeightTable& t : tables) {
    for (int r = 0; r < t.rows(); ++r) {
      const auto row = t.row(r);
      EXPECT_NEAR(std::accumulate(row.begin(), row.end(), 0.0), 1.0, 0.0021) << t.terms << " row " << r;
    }
    if (t.terms % 2 == 0) continue;
    const auto sym = t.row(t.rows() - 1);
    for (int k = 0; k < t.terms / 2; ++k) EXPECT_DOUBLE_EQ(sym[k], sym[t.terms - 1 - k]) << t.terms;
  }
}

TEST(MovingAverage, ConstantSeriesKeepsItsLevelReadingNothingOutsideTheStretch) {
  // Missing values around the stretch spoil any sum that reaches them.
  constexpr long kPad = 30;
  for (const WeightTable& t : all_tables()) {
    for (long n = 1; n <= 40; ++n) {
      if (t.terms % 2 == 0 && n != t.terms) continue;  // even tables serve stretches of their length
      Vec in(n + 2 * kPad, kMissing);
      std::fill(in.begin() + kPad, in.begin() + kPad + n, 250.0);
      Vec out(n);
      const std::span<const double> stretch(in.data() + kPad, n);
      normalised_moving_average(stretch, out, t);
      for (long p = 0; p < n; ++p) ASSERT_NEAR(out[p], 250.0, 1e-12) << t.terms << " n " << n << " at " << p;
      if (n < t.terms) continue;  // shorter: truncated rows, which only the normalised average rescales
      moving_average(stretch, out, t);
      for (long p = 0; p < n; ++p) ASSERT_NEAR(out[p], 250.0, 250.0 * 0.0021) << t.terms << " n " << n;
    }
  }
}

TEST(CentredAverages, AYearlyPatternOnALinearTrendLeavesTheTrend) {
  const double monthly[12] = {5, -3, 8, 1, -7, 2, -4, 6, -1, -9, 3, -1};  // sums to 0
  const double quarterly[4] = {6, -2, -5, 1};
  for (const bool is_monthly : {true, false}) {
    const long period = is_monthly ? 12 : 4;
    for (const long n : {period + 1, 30L, period}) {
      Vec in(n), out(n, 0.0);
      for (long p = 0; p < n; ++p)
        in[p] = 50.0 + 0.75 * double(p) + (is_monthly ? monthly[p % 12] : quarterly[p % 4]);
      if (is_monthly)
        centred_12_term_average(in, out);
      else
        centred_4_term_average(in, out);
      // A period's worth of values or fewer have no centred point.
      for (long p = 0; p < n; ++p) {
        if (p >= period / 2 && p < n - period / 2)
          EXPECT_NEAR(out[p], 50.0 + 0.75 * double(p), 1e-12) << n << " at " << p;
        else
          EXPECT_TRUE(is_missing(out[p])) << n << " at " << p;
      }
    }
  }
}

TEST(HendersonTrend, LengthFollowsTheRatioWithStrictThresholds) {
  // Additive: a straight trend and an alternating irregular of size a, whose
  // I/C ratio grows with a.
  Vec in(72), out(72);
  const auto choose = [&](double a, TrendPass pass) {
    for (std::size_t i = 0; i < in.size(); ++i) in[i] = 0.3 * double(i) + (i % 2 == 0 ? a : -a);
    return henderson_trend(in, out, Mode::Additive, pass, std::nullopt);
  };
  for (const auto& [threshold, below, above] : {std::tuple{0.995, 9, 13}, {3.49, 13, 23}}) {
    double lo = 0.0, hi = 10.0;
    for (int i = 0; i < 200; ++i) {
      const double mid = 0.5 * (lo + hi);
      (choose(mid, TrendPass::Later).ic_ratio < threshold ? lo : hi) = mid;
    }
    const HendersonChoice under = choose(lo, TrendPass::Later);
    const HendersonChoice over = choose(hi, TrendPass::Later);
    ASSERT_LT(under.ic_ratio, threshold);
    ASSERT_GE(over.ic_ratio, threshold);
    EXPECT_NEAR(under.ic_ratio, threshold, 1e-9);
    EXPECT_EQ(under.length, below);
    EXPECT_EQ(over.length, above);
  }
  EXPECT_EQ(choose(9.0, TrendPass::Later).length, 23);
  EXPECT_EQ(choose(9.0, TrendPass::First).length, 13);  // the first pass never goes beyond 13 terms
  EXPECT_EQ(choose(0.01, TrendPass::First).length, 9);
  // A trend without any change caps the ratio.
  const Vec constant(48, 120.0);
  const HendersonChoice flat =
      henderson_trend(constant, std::span(out).first(48), Mode::Multiplicative, TrendPass::Later, std::nullopt);
  EXPECT_EQ(flat.ic_ratio, 100000.0);
  EXPECT_EQ(flat.length, 23);
}

// Offsets from position 30 where the trend of a spike there is not zero.
std::vector<long> reach(const Vec& trend) {
  std::vector<long> r;
  for (long p = 0; p < static_cast<long>(trend.size()); ++p)
    if (trend[p] != 0.0) r.push_back(p - 30);
  return r;
}

TEST(HendersonTrend, TrendmaFixesTheLengthAndTheRatioIsStillReported) {
  Vec spike(61, 0.0), out(61);
  spike[30] = 1.0;
  const double automatic = henderson_trend(spike, out, Mode::Additive, TrendPass::Later, std::nullopt).ic_ratio;
  for (const auto& [trendma, half] : {std::pair{9, 4L}, {13, 6L}, {23, 11L}, {15, 11L}}) {
    const HendersonChoice c = henderson_trend(spike, out, Mode::Additive, TrendPass::First, trendma);
    EXPECT_EQ(c.length, 2 * half + 1);
    EXPECT_EQ(c.ic_ratio, automatic);
    EXPECT_EQ(reach(out).front(), -half) << trendma;
    EXPECT_EQ(reach(out).back(), half) << trendma;
  }
  // Quarterly: 7 terms with TRENDMA=7, else 5.
  for (const auto& [trendma, half] : {std::pair{std::optional<int>{7}, 3L}, {std::nullopt, 2L}, {5, 2L}}) {
    quarterly_henderson_trend(spike, out, trendma);
    EXPECT_EQ(reach(out).front(), -half);
    EXPECT_EQ(reach(out).back(), half);
  }
}

}  // namespace
}  // namespace x11sa
