// D9A, E4, the span statistics, the months for cyclical dominance and F2 on
// series worked out by hand: where a period or a year falls, the cases that
// leave a figure blank, and what the reference runs do not reach (prior
// and trading-day factors, a short series, a constant one).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "diag/d9a_ratios.h"
#include "diag/e4_ratios.h"
#include "diag/e_tables.h"
#include "diag/f2_summary.h"
#include "diag/summary_measures.h"

namespace x11sa {
namespace {

TEST(D9A, PeriodsOfTheYearAndAPeriodWithASingleValue) {
  // Five quarters from the third: Q3 has two values, the others one each.
  // Two values are extended by their mean: the seasonal is flat at 102 (no
  // ratio), the irregular moves from 100/102 to 104/102, 4/104 in percent.
  const auto r = d9a_ratios(std::vector<double>{100, 90, 95, 97, 104}, 4, Mode::Multiplicative, 2);
  const D9aPeriod& q3 = r.by_period[2];
  EXPECT_TRUE(q3.computed());
  EXPECT_NEAR(q3.seasonal_change, 0.0, 1e-12);
  EXPECT_NEAR(q3.irregular_change, 4.0 / 104.0 * 100.0, 1e-9);
  EXPECT_TRUE(is_missing(q3.ratio));
  for (std::size_t q : {0u, 1u, 3u}) {
    EXPECT_FALSE(r.by_period[q].computed()) << q;
    EXPECT_TRUE(is_missing(r.by_period[q].irregular_change)) << q;
    EXPECT_TRUE(is_missing(r.by_period[q].ratio)) << q;
  }
}

TEST(E4, AnnualTotalsFromTheFirstPeriodOn) {
  // The third quarter of 2000 to the first of 2002; the adjusted series of
  // 2002 is 0, so that year has no ratio.
  const std::vector<double> o = {10, 20, 30, 40, 50, 60, 70};
  const std::vector<double> sa = {12, 18, 25, 25, 25, 25, 0};
  const std::vector<double> mo = {10, 20, 30, 40, 50, 60, 7};
  const std::vector<double> msa = {10, 10, 25, 25, 25, 25, 14};
  const auto mult = e4_ratios({o, sa, mo, msa}, 4, Mode::Multiplicative, 2000, 2);
  ASSERT_EQ(mult.years.size(), 3u);
  EXPECT_EQ(mult.years[0].year, 2000);
  EXPECT_NEAR(mult.years[0].unmodified, 100.0, 1e-12);
  EXPECT_NEAR(mult.years[0].modified, 150.0, 1e-12);
  EXPECT_NEAR(mult.years[1].unmodified, 180.0, 1e-12);
  EXPECT_TRUE(is_missing(mult.years[2].unmodified));
  EXPECT_NEAR(mult.years[2].modified, 50.0, 1e-12);
  EXPECT_NEAR(e4_ratios({o, sa, mo, msa}, 4, Mode::Additive, 2000, 2).years[2].unmodified, 70.0, 1e-12);
}

TEST(E1, ExtremeValuesAreRebuiltFromAllTheComponents) {
  // The second value is extreme (weight 0): seasonal x trend-cycle x
  // trading day x prior, in percent, or their sum.
  const std::vector<double> a1 = {120, 130}, prior = {101, 99}, weights = {1, 0}, td = {102, 98},
                            seasonal = {110, 90}, trend = {100, 120};
  std::vector<double> e1(2);
  e1_modified_original(e1, {a1, prior, weights, td, seasonal, trend}, Mode::Multiplicative);
  EXPECT_EQ(e1[0], 120.0);
  EXPECT_NEAR(e1[1], 0.9 * 120.0 * 0.98 * 0.99, 1e-12);
  e1_modified_original(e1, {a1, prior, weights, td, seasonal, trend}, Mode::Additive);
  EXPECT_NEAR(e1[1], 90.0 + 120.0 + 98.0 + 99.0, 1e-12);
}

TEST(SpanStatistics, ANonPositiveBaseCountsAsNoChangeAndShortSeriesLeaveZeros) {
  // Changes over one period: from 0 (counted as 0) and from 50 to 100.
  const auto s = span_statistics(std::vector<double>{0, 50, 100}, 12, Mode::Multiplicative);
  EXPECT_NEAR(s.mean_abs_change[0], 50.0, 1e-12);
  EXPECT_NEAR(s.sd_change[0], 50.0, 1e-12);
  EXPECT_NEAR(s.mean_change[1], 0.0, 1e-12);  // from 0 to 100
  for (std::size_t d = 2; d < 12; ++d) EXPECT_EQ(s.mean_abs_change[d], 0.0) << d;
}

// 72 months of components: C grows by `c_step` a month from 1000, I swings
// by up to `i_amp` around 100, and the adjusted series varies freely.
struct Components {
  std::vector<double> c, i, sa;
  Components(double c_step, double i_amp) {
    for (int t = 0; t < 72; ++t) {
      c.push_back(1000.0 + c_step * t);
      i.push_back(100.0 + i_amp * std::sin(2.9 * t));
      sa.push_back(500.0 + 3.0 * (t * (t % 3)));
    }
  }
};

TEST(CyclicalDominance, FromOneMonthToAtMostSixMonthsOrFourQuarters) {
  // A tiny irregular: I/C below 1 from one month on; F1 is D11 itself.
  const Components calm(10.0, 0.001);
  const auto one = cyclical_dominance(calm.c, calm.i, Frequency::Monthly, Mode::Multiplicative);
  ASSERT_EQ(one.mcd, 1);
  std::vector<double> f1(72, kMissing);
  f1_moving_average(f1, calm.sa, one);
  EXPECT_EQ(f1, calm.sa);
  // A strong irregular.
  const Components noisy(1.0, 5.0);
  EXPECT_EQ(cyclical_dominance(noisy.c, noisy.i, Frequency::Monthly, Mode::Multiplicative).mcd, 6);
  const auto q = cyclical_dominance(noisy.c, noisy.i, Frequency::Quarterly, Mode::Multiplicative);
  EXPECT_EQ(q.mcd, 4);
  EXPECT_EQ(q.first, 2);
  EXPECT_EQ(q.last, 71);
}

F2Summary f2_of(const Components& x, const std::vector<double>& s, const std::vector<double>& p, Frequency freq) {
  const auto dominance = cyclical_dominance(x.c, x.i, freq, Mode::Multiplicative);
  std::vector<double> f1(x.sa.size(), kMissing);
  f1_moving_average(f1, x.sa, dominance);
  return f2_summary({x.sa, p, p, s, x.sa, x.c, x.i, x.sa, x.sa, x.i, f1}, dominance, freq, Mode::Multiplicative);
}

TEST(F2, PriorAndTradingDayTakeTheirSharesInAMonthlyRunOnly) {
  const Components x(2.0, 0.8);
  std::vector<double> s(72), p(72);
  for (std::size_t t = 0; t < 72; ++t) {
    s[t] = 100.0 + 8.0 * std::sin(0.5236 * static_cast<double>(t));
    p[t] = 100.0 + 0.5 * std::cos(0.5236 * static_cast<double>(t));
  }
  const F2Summary m = f2_of(x, s, p, Frequency::Monthly);
  for (std::size_t k = 0; k < 12; ++k) {
    EXPECT_NEAR(m.share_irregular[k] + m.share_trend_cycle[k] + m.share_seasonal[k] + m.share_prior[k] +
                    m.share_trading_day[k], 100.0, 1e-9) << k;
    EXPECT_GT(m.share_prior[k], 0.0) << k;
    EXPECT_EQ(m.share_trading_day[k], m.share_prior[k]) << k;
  }
  const F2Summary q = f2_of(x, s, p, Frequency::Quarterly);
  EXPECT_EQ(q.spans, 4);
  EXPECT_EQ(q.prior.mean_abs_change[0], 0.0);
  EXPECT_TRUE(is_missing(q.share_prior[0]) && is_missing(q.share_trading_day[0]));
  EXPECT_NEAR(q.share_irregular[3] + q.share_trend_cycle[3] + q.share_seasonal[3], 100.0, 1e-9);
}

TEST(F2, ComponentsWithoutChangeLeaveTheRatiosBlank) {
  const Components flat(0.0, 0.0);
  const std::vector<double> hundred(72, 100.0);
  // The series as read (the varying adjusted series here) changes, the
  // components do not: shares and total 0, a ratio of 0, no I/C ratio.
  const F2Summary f = f2_of(flat, hundred, {}, Frequency::Monthly);
  EXPECT_EQ(f.mcd, 1);
  for (std::size_t k = 0; k < 12; ++k) {
    EXPECT_EQ(f.total[k], 0.0) << k;
    EXPECT_EQ(f.share_seasonal[k], 0.0) << k;
    EXPECT_EQ(f.ratio[k], 0.0) << k;
    EXPECT_TRUE(is_missing(f.ic_ratio[k])) << k;
  }
  // Nor does the series as read: no ratio either.
  const auto dominance = cyclical_dominance(flat.c, flat.i, Frequency::Monthly, Mode::Multiplicative);
  const F2Summary none = f2_summary({hundred, {}, {}, hundred, hundred, flat.c, flat.i, hundred, hundred, hundred,
                                     hundred},
                                    dominance, Frequency::Monthly, Mode::Multiplicative);
  for (std::size_t k = 0; k < 12; ++k) EXPECT_TRUE(is_missing(none.ratio[k])) << k;
}

}  // namespace
}  // namespace x11sa
