#include "core/tradingday.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <numeric>
#include <vector>

#include <boost/math/distributions/fisher_f.hpp>

#include "host/dates.h"
#include "x11sa/missing.h"

namespace x11sa {
namespace {

namespace chr = std::chrono;

using Weights = std::array<double, 7>;

// Weekday indexes (Monday = 0) of days 29 to the end of a month, from the
// standard library's calendar.
std::vector<int> extra_days(int y, int month0) {
  const chr::year_month_day first{chr::year{y}, chr::month{static_cast<unsigned>(month0 + 1)},
                                  chr::day{1}};
  const chr::year_month_day_last last{chr::year{y},
                                      chr::month_day_last{chr::month{static_cast<unsigned>(month0 + 1)}}};
  const unsigned length = static_cast<unsigned>(last.day());
  const unsigned first_iso = chr::weekday{chr::sys_days{first}}.iso_encoding();
  std::vector<int> days;
  for (unsigned d = 29; d <= length; ++d) days.push_back(static_cast<int>((first_iso - 1 + d - 1) % 7));
  return days;
}

int month_length(int y, int month0) { return 28 + static_cast<int>(extra_days(y, month0).size()); }

// Expected month type from the calendar: 1..7 30-day, 8..14 31-day by the
// weekday of the first (Monday = 1), 15 a 28-day February, 16..22 29-day.
short expected_type(int y, int month0) {
  const chr::year_month_day first{chr::year{y}, chr::month{static_cast<unsigned>(month0 + 1)},
                                  chr::day{1}};
  const int w = static_cast<int>(chr::weekday{chr::sys_days{first}}.iso_encoding());
  switch (month_length(y, month0)) {
    case 30: return static_cast<short>(w);
    case 31: return static_cast<short>(w + 7);
    case 28: return 15;
    default: return static_cast<short>(w + 15);
  }
}

// Multiplicative factor of a month from weights already summing to 7.
double direct_factor(const Weights& w, int y, int month0, std::array<double, 4> divisor) {
  double days = 28.0;
  const auto extras = extra_days(y, month0);
  for (int d : extras) days += w[d];
  return days / divisor[extras.size()] * 100.0;
}
constexpr std::array<double, 4> kDivisorsMopt0 = {28.25, 28.25, 30.0, 31.0};
constexpr std::array<double, 4> kDivisorsMopt8 = {28.0, 29.0, 30.0, 31.0};

struct TradingDayTest : ::testing::Test {
  X11COM com;
  X11COM* Xp = &com;

  // Month types of n months from January of the group's first year.
  std::vector<short> types(int first_year, long n) {
    com.date.firstyr = first_year;
    std::vector<short> t(static_cast<std::size_t>(n), -999);
    x11tdt(Xp, t.data(), n);
    return t;
  }
};

// ---------------------------------------------------------------------------
// Month types and the TDCOMPUTE= offset

TEST_F(TradingDayTest, MonthTypesOfKnownMonths) {
  const auto t = types(2000, 24);
  EXPECT_EQ(t[0], 13);   // January 2000 starts on a Saturday
  EXPECT_EQ(t[1], 17);   // February 2000: 29 days from a Tuesday
  EXPECT_EQ(t[12], 8);   // January 2001 starts on a Monday
  EXPECT_EQ(t[13], 15);  // February 2001: 28 days
  EXPECT_EQ(t[3], 6);    // April 2000: 30 days from a Saturday
}

TEST_F(TradingDayTest, MonthTypesFollowTheCalendar) {
  // The whole period the weekday rule was made for, then the century years
  // around it (1900 and 2100 are common years, 1600 and 2400 leap years).
  for (int first_year : {1901, 1583}) {
    const int last_year = first_year == 1901 ? 2099 : 2500;
    const long n = 12L * (last_year - first_year + 1);
    const auto t = types(first_year, n);
    for (long k = 0; k < n; ++k) {
      const int y = first_year + static_cast<int>(k / 12);
      const int m = static_cast<int>(k % 12);
      ASSERT_EQ(t[k], expected_type(y, m)) << y << "-" << m + 1;
    }
  }
}

TEST_F(TradingDayTest, ComputeOffsetCountsMonthsToTheDate) {
  com.x11flow.firstyr = 1990;
  com.x11flow.firstper = 2;  // March 1990
  com.op.tdcmpt_f = 1;
  com.tdcompute = zmdy(1, 1, 1992);
  EXPECT_EQ(x11tdaj(Xp), 22);  // March 1990 .. December 1991
  com.tdcompute = zmdy(1, 1, 1990);
  EXPECT_EQ(x11tdaj(Xp), 0);   // before the series: never negative
  com.tdcompute = zmdy(1, 1, 1992);
  com.op.tdcmpt_f = 0;
  EXPECT_EQ(x11tdaj(Xp), 0);   // no TDCOMPUTE=
}

// ---------------------------------------------------------------------------
// Monthly factors from daily weights

TEST_F(TradingDayTest, UnitWeightsGiveLengthOfMonthFactors) {
  const Weights unit = {1, 1, 1, 1, 1, 1, 1};
  std::vector<double> f(12 * 12);
  x11dow(Xp, f.data(), unit.data(), 1999, 12 * 11, 0);
  for (long k = 0; k < 144; ++k) {
    const int y = 1999 + static_cast<int>(k / 12);
    const int m = static_cast<int>(k % 12);
    switch (month_length(y, m)) {
      case 28: EXPECT_DOUBLE_EQ(f[k], 28.0 / 28.25 * 100.0) << k; break;
      case 29: EXPECT_DOUBLE_EQ(f[k], 29.0 / 28.25 * 100.0) << k; break;
      default: EXPECT_DOUBLE_EQ(f[k], 100.0) << k; break;
    }
  }
  x11dow(Xp, f.data(), unit.data(), 2000, 0, 8);
  EXPECT_DOUBLE_EQ(f[1], 100.0);  // February 2000 over 29 days
  x11dow(Xp, f.data(), unit.data(), 2001, 0, 4);
  EXPECT_DOUBLE_EQ(f[0], 31.0 / 30.4375 * 100.0);
  EXPECT_DOUBLE_EQ(f[1], 28.0 / 30.4375 * 100.0);
  EXPECT_DOUBLE_EQ(f[3], 30.0 / 30.4375 * 100.0);
}

TEST_F(TradingDayTest, WeightsAreNormalisedOnACopy) {
  // Twice the weights below, so a week sums to 14: the factors must be those of the halves.
  const Weights given = {2.4, 1.8, 2.2, 2.0, 2.6, 1.6, 1.4};
  Weights half{};
  for (int d = 0; d < 7; ++d) half[d] = given[d] / 2.0;
  const Weights before = given;
  std::vector<double> f(12 * 4);
  x11dow(Xp, f.data(), given.data(), 2098, 12 * 3, 0);
  EXPECT_EQ(given, before);
  for (long k = 0; k < 48; ++k) {
    const int y = 2098 + static_cast<int>(k / 12);
    const int m = static_cast<int>(k % 12);
    EXPECT_NEAR(f[k], direct_factor(half, y, m, kDivisorsMopt0), 1e-12) << y << "-" << m + 1;
  }
  // 2100 is a common year.
  EXPECT_NEAR(f[12 * 2 + 1], 28.0 / 28.25 * 100.0, 1e-12);
}

TEST_F(TradingDayTest, AdditiveFactorsAddTheExtraDays) {
  com.op.add_f = 1;
  const Weights w = {3.0, -1.0, 2.0, 0.0, -2.5, 1.0, -2.5};
  std::vector<double> f(24);
  x11dow(Xp, f.data(), w.data(), 2000, 12, 0);
  for (long k = 0; k < 24; ++k) {
    double expected = 0.0;
    for (int d : extra_days(2000 + static_cast<int>(k / 12), static_cast<int>(k % 12))) expected += w[d];
    EXPECT_NEAR(f[k], expected, 1e-12) << k;
  }
  EXPECT_EQ(f[13], 0.0);  // February 2001 has no extra day

  // B16 of an additive run takes the coefficients as they are.
  com.fake_array_size = 24;
  Weights coef = w;
  std::vector<double> b16(24);
  std::vector<double> wrk(48);
  x11b16(Xp, b16.data(), coef.data(), wrk.data(), 2000, 24, 0, 0);
  EXPECT_EQ(coef, w);
  EXPECT_NEAR(b16[0], w[5] + w[6] + w[0], 1e-12);  // 29..31 January 2000: Sat, Sun, Mon
}

TEST_F(TradingDayTest, UnusableWeightsGiveMissingFactors) {
  const Weights zero = {0, 0, 0, 0, 0, 0, 0};
  std::vector<double> f(14, 1.0);
  x11dow(Xp, f.data(), zero.data(), 2000, 2, 0);
  for (double v : f) EXPECT_TRUE(is_missing(v));
  Weights with_nan = {1, 1, 1, 1, 1, 1, kMissing};
  com.op.add_f = 1;
  std::fill(f.begin(), f.end(), 1.0);
  x11dow(Xp, f.data(), with_nan.data(), 2000, 2, 0);
  for (double v : f) EXPECT_TRUE(is_missing(v));
}

// ---------------------------------------------------------------------------
// The regression

// Irregular of a series whose only trading-day effect comes from `weights`.
std::vector<double> irregular_from(X11COM* Xp, const Weights& weights, int first_year, long n) {
  std::vector<double> in(static_cast<std::size_t>(n + 12));
  x11dow(Xp, in.data(), weights.data(), first_year, n, 0);
  in.resize(static_cast<std::size_t>(n));
  return in;
}

struct Fit {
  Weights coef{};
  Weights c{};
  Weights s{};
  int xn = -1;
  double ssr = -1.0;
  double sumysq = -1.0;
};

Fit regress(X11COM* Xp, const std::vector<double>& in, const std::vector<short>& tdtype,
            const Weights& prior) {
  Fit fit;
  x11b15(Xp, fit.coef.data(), in.data(), tdtype.data(), prior.data(), static_cast<long>(in.size()),
         Xp->x11flow.regress, Xp->x11flow.c, Xp->x11flow.s, &fit.xn, &fit.ssr, &fit.sumysq);
  std::copy_n(Xp->x11flow.c, 7, fit.c.begin());
  return fit;
}

void expect_all_finite(const X11COM& com, const Fit& fit) {
  for (int d = 0; d < 7; ++d) {
    EXPECT_TRUE(std::isfinite(fit.coef[d])) << d;
    EXPECT_TRUE(std::isfinite(fit.c[d])) << d;
    EXPECT_TRUE(std::isfinite(com.x11flow.s[d])) << d;
  }
  for (double v : {fit.ssr, fit.sumysq, com.x11flow.sse, com.x11flow.mse, com.x11flow.se,
                   com.x11flow.fv, com.x11flow.prbf}) {
    EXPECT_TRUE(std::isfinite(v));
  }
}

TEST_F(TradingDayTest, RegressionRecoversDailyWeights) {
  const Weights w = {1.2, 0.9, 1.1, 1.0, 1.3, 0.8, 0.7};  // sums to 7
  const Weights unit = {1, 1, 1, 1, 1, 1, 1};
  const long n = 120;
  const auto tdtype = types(1990, n);
  const auto in = irregular_from(Xp, w, 1990, n);
  const Fit fit = regress(Xp, in, tdtype, unit);
  EXPECT_EQ(fit.xn, 120);
  for (int d = 0; d < 7; ++d) EXPECT_NEAR(fit.coef[d], w[d] - 1.0, 1e-10) << d;
  EXPECT_NEAR(fit.ssr, fit.sumysq, 1e-9);

  // B16 turns the coefficients back into the weights and the factors into the irregular.
  com.fake_array_size = n;
  Weights wgts = fit.coef;
  std::vector<double> b16(n, -1.0);
  std::vector<double> wrk(n + 24);
  x11b16(Xp, b16.data(), wgts.data(), wrk.data(), 1990, n, 0, 0);
  for (int d = 0; d < 7; ++d) EXPECT_NEAR(wgts[d], w[d], 1e-10);
  for (long i = 0; i < n; ++i) EXPECT_NEAR(b16[i], in[i], 1e-9) << i;
}

TEST_F(TradingDayTest, RegressionWithPriorDailyWeights) {
  // The prior weights took out part of the effect; the irregular carries the
  // ratio of the full factors to the prior ones, over the true month lengths.
  com.prior = 2;
  const Weights pd = {1.0, 1.0, 1.0, 1.0, 1.0, 1.2, 0.8};
  const Weights coef = {0.15, -0.1, 0.05, 0.0, 0.2, -0.25, -0.05};  // sums to 0
  Weights full{};
  for (int d = 0; d < 7; ++d) full[d] = pd[d] + coef[d];
  const long n = 96;
  const auto tdtype = types(2003, n);
  std::vector<double> in(n);
  for (long k = 0; k < n; ++k) {
    const int y = 2003 + static_cast<int>(k / 12);
    const int m = static_cast<int>(k % 12);
    in[k] = direct_factor(full, y, m, kDivisorsMopt8) / direct_factor(pd, y, m, kDivisorsMopt8) * 100.0;
  }
  const Fit fit = regress(Xp, in, tdtype, pd);
  for (int d = 0; d < 7; ++d) EXPECT_NEAR(fit.coef[d], coef[d], 1e-10) << d;
}

TEST_F(TradingDayTest, LeastSquaresStatisticsOfANoisyFit) {
  // Additive: y is the irregular itself, so residuals are easy to form here.
  com.op.add_f = 1;
  com.tdregr = 3;
  const Weights effect = {4.0, -2.0, 1.0, 0.5, 3.0, -1.5, -5.0};
  const Weights zero{};
  const long n = 144;
  const int first_year = 1985;
  const auto tdtype = types(first_year, n);
  auto in = irregular_from(Xp, effect, first_year, n);
  for (long i = 0; i < n; ++i) in[i] += 1.5 * std::sin(1.7 * static_cast<double>(i) + 0.3);

  const Fit fit = regress(Xp, in, tdtype, zero);
  const int apply = x11b15p(Xp, fit.coef.data(), zero.data(), fit.xn, fit.ssr, fit.sumysq);

  // Residuals and regressors built from the calendar.
  double sse = 0.0;
  double sumysq = 0.0;
  std::array<std::array<double, 6>, 6> xtx{};
  std::array<double, 6> xtr{};
  for (long i = 0; i < n; ++i) {
    const auto extras = extra_days(first_year + static_cast<int>(i / 12), static_cast<int>(i % 12));
    double fitted = 0.0;
    std::array<double, 7> count{};
    for (int d : extras) {
      fitted += fit.coef[d];
      count[d] += 1.0;
    }
    std::array<double, 6> x{};
    for (int d = 0; d < 6; ++d) x[d] = count[d] - count[6];
    const double r = in[i] - fitted;
    sse += r * r;
    sumysq += in[i] * in[i];
    for (int a = 0; a < 6; ++a) {
      xtr[a] += x[a] * r;
      for (int b = 0; b < 6; ++b) xtx[a][b] += x[a] * x[b];
    }
  }
  EXPECT_NEAR(std::accumulate(fit.coef.begin(), fit.coef.end(), 0.0), 0.0, 1e-12);
  for (int a = 0; a < 6; ++a) EXPECT_NEAR(xtr[a], 0.0, 1e-9) << a;  // normal equations hold
  // What the regression left in `regress` is the inverse of X'X.
  double inverse_sum = 0.0;
  for (int a = 0; a < 6; ++a) {
    for (int b = 0; b < 6; ++b) {
      double product = 0.0;
      for (int k = 0; k < 6; ++k) product += com.x11flow.regress[a][k] * xtx[k][b];
      EXPECT_NEAR(product, a == b ? 1.0 : 0.0, 1e-12) << a << "," << b;
      inverse_sum += com.x11flow.regress[a][b];
    }
  }
  EXPECT_NEAR(fit.c[6], inverse_sum, 1e-15);

  const X11FLOW& flow = com.x11flow;
  EXPECT_EQ(flow.xn, 144);
  EXPECT_NEAR(fit.sumysq, sumysq, 1e-9 * sumysq);
  EXPECT_NEAR(flow.sse, sse, 1e-9 * sse);
  EXPECT_NEAR(flow.mse, sse / 138.0, 1e-9 * sse);
  EXPECT_NEAR(flow.se, std::sqrt(sse / 138.0), 1e-9);
  EXPECT_NEAR(flow.msr, fit.ssr / 6.0, 1e-12);
  EXPECT_NEAR(flow.fv, (fit.ssr / 6.0) / (sse / 138.0), 1e-6 * flow.fv);
  const boost::math::fisher_f f6(6.0, 138.0);
  EXPECT_NEAR(flow.prbf, boost::math::cdf(boost::math::complement(f6, flow.fv)), 1e-15);
  EXPECT_LT(flow.prbf, 0.01);
  EXPECT_EQ(apply, 1);
  for (int d = 0; d < 7; ++d) EXPECT_NEAR(flow.s[d], std::sqrt(fit.c[d]) * flow.se, 1e-12) << d;
  for (double sm : flow.stdmonth) EXPECT_EQ(sm, flow.se);  // additive: series units
  // The recovered effect is within a few standard errors of the true one.
  for (int d = 0; d < 7; ++d) EXPECT_LT(std::fabs(fit.coef[d] - effect[d]), 4.0 * flow.s[d]) << d;

  com.tdregr = 2;
  EXPECT_EQ(x11b15p(Xp, fit.coef.data(), zero.data(), fit.xn, fit.ssr, fit.sumysq), 0);
}

TEST_F(TradingDayTest, StandardErrorsByMonthLength) {
  com.x11flow.c[0] = 0.25;
  com.x11flow.c[1] = 0.0;
  com.x11flow.c[2] = -1e-18;  // rounding below zero
  const int xn = 20;
  const double sumysq = 50.0;
  const double ssr = 18.0;  // sse 32 over 14 degrees of freedom
  (void)x11b15p(Xp, nullptr, nullptr, xn, ssr, sumysq);
  const double se = std::sqrt(32.0 / 14.0);
  EXPECT_NEAR(com.x11flow.se, se, 1e-15);
  EXPECT_NEAR(com.x11flow.s[0], 0.5 * se, 1e-15);
  EXPECT_EQ(com.x11flow.s[1], 0.0);
  EXPECT_EQ(com.x11flow.s[2], 0.0);
  // Multiplicative: y is in days, the factor's error in percent of the month.
  EXPECT_NEAR(com.x11flow.stdmonth[0], se * 100.0 / 31.0, 1e-13);
  EXPECT_NEAR(com.x11flow.stdmonth[1], se * 100.0 / 30.0, 1e-13);
  EXPECT_NEAR(com.x11flow.stdmonth[2], se * 100.0 / 29.0, 1e-13);
  EXPECT_NEAR(com.x11flow.stdmonth[3], se * 100.0 / 28.0, 1e-13);
  com.lmopt = 4;
  (void)x11b15p(Xp, nullptr, nullptr, xn, ssr, sumysq);
  for (double sm : com.x11flow.stdmonth) EXPECT_NEAR(sm, se * 100.0 / 30.4375, 1e-13);
}

TEST_F(TradingDayTest, SixUsableMonthsGiveNoErrorVarianceAndFOfZero) {
  com.tdregr = 3;
  const Weights unit = {1, 1, 1, 1, 1, 1, 1};
  const long n = 36;
  auto tdtype = types(1995, n);
  std::vector<double> in(n);
  for (long i = 0; i < n; ++i) in[i] = 100.0 + 0.5 * std::cos(static_cast<double>(i));
  for (long i = 6; i < n; ++i) tdtype[i] = static_cast<short>(tdtype[i] + 100);
  const Fit fit = regress(Xp, in, tdtype, unit);
  EXPECT_EQ(fit.xn, 6);
  EXPECT_EQ(x11b15p(Xp, fit.coef.data(), unit.data(), fit.xn, fit.ssr, fit.sumysq), 0);
  EXPECT_EQ(com.x11flow.mse, 0.0);
  EXPECT_EQ(com.x11flow.se, 0.0);
  EXPECT_EQ(com.x11flow.fv, 0.0);
  EXPECT_EQ(com.x11flow.prbf, 1.0);
  expect_all_finite(com, fit);
}

TEST_F(TradingDayTest, DegenerateRegressionsStayFinite) {
  const Weights unit = {1, 1, 1, 1, 1, 1, 1};
  const long n = 48;
  const auto all_types = types(2010, n);

  // Too few months, and none at all.
  for (long usable : {3L, 0L}) {
    auto tdtype = all_types;
    for (long i = usable; i < n; ++i) tdtype[i] = static_cast<short>(tdtype[i] + 100);
    std::vector<double> in(n, 103.0);
    const Fit fit = regress(Xp, in, tdtype, unit);
    EXPECT_EQ(fit.xn, usable);
    (void)x11b15p(Xp, fit.coef.data(), unit.data(), fit.xn, fit.ssr, fit.sumysq);
    expect_all_finite(com, fit);
    EXPECT_EQ(com.x11flow.prbf, 1.0);
    if (usable == 0) {
      for (double b : fit.coef) EXPECT_EQ(b, 0.0);
    }
  }

  // All irregulars at 100 in 30- and 31-day months: nothing to explain.
  {
    auto tdtype = all_types;
    for (long i = 0; i < n; ++i) {
      if (i % 12 == 1) tdtype[i] = static_cast<short>(tdtype[i] + 100);
    }
    const std::vector<double> in(n, 100.0);
    const Fit fit = regress(Xp, in, tdtype, unit);
    (void)x11b15p(Xp, fit.coef.data(), unit.data(), fit.xn, fit.ssr, fit.sumysq);
    for (double b : fit.coef) EXPECT_EQ(b, 0.0);
    EXPECT_EQ(fit.sumysq, 0.0);
    EXPECT_EQ(com.x11flow.fv, 0.0);
    EXPECT_EQ(com.x11flow.prbf, 1.0);
  }
}

TEST_F(TradingDayTest, SingularPivotsGiveZeroCoefficients) {
  // Only 31-day months starting on a Monday (type 8): the extra days are
  // always Monday, Tuesday and Wednesday, so only one direction is
  // identified; it falls on Monday and every later pivot vanishes.
  const Weights unit = {1, 1, 1, 1, 1, 1, 1};
  const std::vector<short> tdtype(10, 8);
  std::vector<double> in(10);
  double mean_y = 0.0;
  for (int i = 0; i < 10; ++i) {
    in[i] = 100.0 + 0.3 * i;
    mean_y += 31.0 * (in[i] / 100.0 - 1.0) / 10.0;
  }
  const Fit fit = regress(Xp, in, tdtype, unit);
  EXPECT_NEAR(fit.coef[0], mean_y, 1e-12);
  for (int d = 1; d < 6; ++d) EXPECT_EQ(fit.coef[d], 0.0) << d;
  EXPECT_NEAR(fit.coef[6], -mean_y, 1e-12);
  (void)x11b15p(Xp, fit.coef.data(), unit.data(), fit.xn, fit.ssr, fit.sumysq);
  expect_all_finite(com, fit);
}

// ---------------------------------------------------------------------------
// Exclusion of extreme months

// Mean of each type 1..15 and the exclusion limit, straight from the definition.
struct TypeScale {
  std::array<double, 16> mean{};
  double limit = 0.0;
};
TypeScale type_scale(const std::vector<double>& in, const std::vector<short>& t, double exclude) {
  TypeScale sc;
  std::array<int, 16> count{};
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (t[i] >= 1 && t[i] <= 15) {
      sc.mean[t[i]] += in[i];
      ++count[t[i]];
    }
  }
  for (int k = 1; k <= 15; ++k) {
    if (count[k] > 0) sc.mean[k] /= count[k];
  }
  double ss = 0.0;
  int total = 0;
  for (std::size_t i = 0; i < in.size(); ++i) {
    if (t[i] >= 1 && t[i] <= 15) {
      ss += (in[i] - sc.mean[t[i]]) * (in[i] - sc.mean[t[i]]);
      ++total;
    }
  }
  sc.limit = std::sqrt(ss / total) * exclude;
  return sc;
}

TEST_F(TradingDayTest, ExtremeMonthsAreExcludedInB14) {
  const long n = 120;
  const auto typein = types(1992, n);
  std::vector<double> in(n);
  for (long i = 0; i < n; ++i) in[i] = 100.0 + 2.0 * std::sin(2.3 * static_cast<double>(i));
  in[40] = 112.0;  // far out
  auto pre_excluded = typein;
  pre_excluded[7] = static_cast<short>(pre_excluded[7] + 100);
  in[7] = 1e6;     // excluded already: must not widen the limit

  // The 29-day Februaries (1992, 1996, 2000) are judged against 100 but do
  // not enter the limit, so they can be placed on either side of it.
  auto counted = pre_excluded;
  const TypeScale sc = type_scale(in, counted, com.exclude);
  ASSERT_EQ(typein[1], 16 + 5);   // February 1992 starts on a Saturday
  in[1] = 100.0 + 0.99 * sc.limit;
  in[49] = 100.0 - 1.01 * sc.limit;  // February 1996

  std::vector<short> tdtype(n, 0);
  std::vector<double> out(n, 0.0);
  long nextreme = -1;
  x11b14(Xp, out.data(), in.data(), tdtype.data(), pre_excluded.data(), n, &nextreme);

  long expected_count = 0;
  for (long i = 0; i < n; ++i) {
    bool excluded = i == 7;
    if (!excluded) {
      const double reference = typein[i] <= 15 ? sc.mean[typein[i]] : 100.0;
      excluded = std::fabs(in[i] - reference) > sc.limit;
    }
    EXPECT_EQ(tdtype[i], excluded ? typein[i] + 100 : typein[i]) << i;
    if (excluded) {
      ++expected_count;
      EXPECT_EQ(out[i], in[i]) << i;
    } else {
      EXPECT_TRUE(is_missing(out[i])) << i;
    }
  }
  EXPECT_LT(tdtype[1], 100);
  EXPECT_EQ(nextreme, expected_count);
  EXPECT_EQ(expected_count, 3);  // months 7, 40 and February 1996: the sine stays inside
}

TEST_F(TradingDayTest, AdditiveB14JudgesLeapFebruariesAgainstZero) {
  com.op.add_f = 1;
  const long n = 60;
  const auto typein = types(2000, n);
  std::vector<double> in(n);
  for (long i = 0; i < n; ++i) in[i] = 3.0 * std::cos(1.1 * static_cast<double>(i));
  const TypeScale sc = type_scale(in, typein, com.exclude);
  in[1] = 1.01 * sc.limit;    // February 2000
  in[49] = -0.99 * sc.limit;  // February 2004
  std::vector<short> tdtype(n);
  std::vector<double> out(n);
  long nextreme = 0;
  x11b14(Xp, out.data(), in.data(), tdtype.data(), typein.data(), n, &nextreme);
  EXPECT_EQ(tdtype[1], typein[1] + 100);
  EXPECT_EQ(tdtype[49], typein[49]);
}

TEST_F(TradingDayTest, MissingIrregularsNeverReachTheRegression) {
  const long n = 48;
  const auto typein = types(1999, n);
  std::vector<double> in(n, 100.0);
  for (long i = 0; i < n; ++i) in[i] += 0.1 * static_cast<double>(i % 5);
  in[10] = kMissing;
  in[11] = std::numeric_limits<double>::quiet_NaN();
  std::vector<short> tdtype(n);
  std::vector<double> out(n);
  long nextreme = 0;
  x11b14(Xp, out.data(), in.data(), tdtype.data(), typein.data(), n, &nextreme);
  EXPECT_GE(tdtype[10], 100);
  EXPECT_GE(tdtype[11], 100);
  EXPECT_GE(nextreme, 2);
  const Weights unit = {1, 1, 1, 1, 1, 1, 1};
  const Fit fit = regress(Xp, in, tdtype, unit);
  EXPECT_EQ(fit.xn, n - nextreme);
  (void)x11b15p(Xp, fit.coef.data(), unit.data(), fit.xn, fit.ssr, fit.sumysq);
  expect_all_finite(com, fit);
}

TEST_F(TradingDayTest, C14JudgesAgainstB16AndKeepsTheBExclusions) {
  const long n = 72;
  auto tdtype = types(2005, n);
  std::vector<double> b16(n);
  std::vector<double> in(n);
  for (long i = 0; i < n; ++i) {
    b16[i] = 99.0 + 0.1 * static_cast<double>(i % 7);
    in[i] = b16[i] + std::sin(0.9 * static_cast<double>(i));
  }
  in[30] = b16[30] + 9.0;
  const short b_marked = static_cast<short>(tdtype[5] + 100);
  tdtype[5] = b_marked;
  in[5] = b16[5];  // no deviation, but excluded by B

  // Limit over the months still in, from the deviations from B16.
  double ss = 0.0;
  int total = 0;
  for (long i = 0; i < n; ++i) {
    if (i == 5) continue;
    ss += (in[i] - b16[i]) * (in[i] - b16[i]);
    ++total;
  }
  const double limit = std::sqrt(ss / total) * com.exclude;
  const auto before = tdtype;

  std::vector<double> out(n);
  x11c14(Xp, out.data(), in.data(), b16.data(), tdtype.data(), tdtype.data(), n);
  EXPECT_EQ(tdtype[5], b_marked);
  EXPECT_EQ(out[5], in[5]);
  EXPECT_GE(tdtype[30], 100);
  for (long i = 0; i < n; ++i) {
    if (i == 5) continue;
    const bool excluded = std::fabs(in[i] - b16[i]) > limit;
    EXPECT_EQ(tdtype[i], excluded ? before[i] + 100 : before[i]) << i;
    if (excluded) {
      EXPECT_EQ(out[i], in[i]) << i;
    } else {
      EXPECT_TRUE(is_missing(out[i])) << i;
    }
  }
}

// ---------------------------------------------------------------------------
// B16 and C16

TEST_F(TradingDayTest, FactorsArePlacedByCalendarOffset) {
  // A series starting in May 2001 at index 3 of arrays of 40 values; factors
  // are computed through 12 months after the position lper.
  com.fake_array_size = 40;
  const long skp1 = 3;
  const long skp2 = 4;
  const long lper = 20;
  const Weights coefficients = {0.1, -0.1, 0.2, 0.0, 0.0, -0.3, 0.1};
  Weights coef = coefficients;
  Weights w{};
  for (int d = 0; d < 7; ++d) w[d] = 1.0 + coefficients[d];
  std::vector<double> b16(40, -5.0);
  std::vector<double> wrk(40 + 24, 12345.0);
  x11b16(Xp, b16.data(), coef.data(), wrk.data(), 2001, lper, skp1, skp2);
  for (int d = 0; d < 7; ++d) EXPECT_DOUBLE_EQ(coef[d], w[d]);
  for (long i = 0; i < skp1; ++i) EXPECT_EQ(b16[i], -5.0);  // before the series: untouched
  for (long i = 0; skp1 + i < 40; ++i) {
    const long calendar = skp2 + i;  // months from January 2001
    if (calendar < lper + 12) {
      const int y = 2001 + static_cast<int>(calendar / 12);
      EXPECT_NEAR(b16[skp1 + i], direct_factor(w, y, static_cast<int>(calendar % 12), kDivisorsMopt0),
                  1e-12)
          << i;
    } else {
      EXPECT_TRUE(is_missing(b16[skp1 + i])) << i;  // beyond the factors: missing, not stale
    }
  }

  // C16 with YRAHEADOUT reaches 12 months further.
  com.op.yrahdout_f = 1;
  Weights coef2 = coefficients;
  std::vector<double> c16(40, -5.0);
  x11c16(Xp, c16.data(), coef2.data(), wrk.data(), 2001, lper, skp1, skp2);
  for (long i = 0; skp1 + i < 40; ++i) {
    const long calendar = skp2 + i;
    ASSERT_LT(calendar, lper + 24);
    const int y = 2001 + static_cast<int>(calendar / 12);
    EXPECT_NEAR(c16[skp1 + i], direct_factor(w, y, static_cast<int>(calendar % 12), kDivisorsMopt0),
                1e-12)
        << i;
  }
}

}  // namespace
}  // namespace x11sa
