// Trading day: month types and factors against the calendar of the standard
// library, the regression recovering known daily weights, its test, and the
// exclusion of extreme months.
#include "core/trading_day.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <limits>
#include <vector>

#include "x11sa/missing.h"

namespace x11sa {
namespace {

namespace chr = std::chrono;
using Vec = std::vector<double>;

// Weekday indexes (Monday = 0) of the days past the 28th of month k from January of first_year.
std::vector<int> extra_days(long k, int first_year) {
  const chr::year y{first_year + static_cast<int>(k / 12)};
  const chr::month m{static_cast<unsigned>(k % 12 + 1)};
  const unsigned first = chr::weekday{chr::sys_days{y / m / 1}}.iso_encoding() - 1;
  std::vector<int> days;
  for (unsigned d = 29; d <= static_cast<unsigned>((y / m / chr::last).day()); ++d)
    days.push_back(static_cast<int>((first + d - 1) % 7));
  return days;
}

TEST(TradingDay, MonthTypesFollowTheCalendar) {
  // 1583 to 2500: the century years are common years but 1600, 2000 and 2400.
  std::vector<short> types(12L * (2500 - 1583 + 1));
  month_types(1583, types);
  for (long k = 0; k < static_cast<long>(types.size()); ++k) {
    const auto extra = extra_days(k, 1583);
    const int day1 = extra.empty() ? 0 : extra.front() + 1;  // day 29 falls on the weekday of day 1
    const int want = extra.size() == 2 ? day1 : extra.size() == 3 ? day1 + 7 : extra.empty() ? 15 : day1 + 15;
    ASSERT_EQ(types[k], want) << 1583 + k / 12 << "-" << k % 12 + 1;
  }
}

TEST(TradingDay, FactorsFromDailyWeights) {
  // Unit weights: the month's length over its divisor, by length 28 to 31.
  const DailyWeights unit = {1, 1, 1, 1, 1, 1, 1};
  Vec f(48), g(48);
  for (const auto& [divisor, want] :
       {std::pair{MonthDivisor::LeapAveragedFebruary, std::array{28.0 / 28.25, 29.0 / 28.25, 1.0, 1.0}},
        {MonthDivisor::MeanMonth, std::array{28.0 / 30.4375, 29.0 / 30.4375, 30.0 / 30.4375, 31.0 / 30.4375}},
        {MonthDivisor::ActualLength, std::array{1.0, 1.0, 1.0, 1.0}}}) {
    trading_day_factors(unit, 2098, 0, Mode::Multiplicative, divisor, f);
    for (long k = 0; k < 48; ++k) EXPECT_NEAR(f[k], 100.0 * want[extra_days(k, 2098).size()], 1e-12) << k;
  }
  // Multiplicative weights are scaled to a week of 7; additive factors add
  // the weights of the extra days. Months may start anywhere.
  const DailyWeights w = {1.2, 0.9, 1.1, 1.0, 1.3, 0.8, 0.7}, twice = {2.4, 1.8, 2.2, 2.0, 2.6, 1.6, 1.4};
  trading_day_factors(w, 1999, 14, Mode::Multiplicative, MonthDivisor::LeapAveragedFebruary, f);
  trading_day_factors(twice, 2000, 2, Mode::Multiplicative, MonthDivisor::LeapAveragedFebruary, g);
  for (long k = 0; k < 48; ++k) EXPECT_NEAR(f[k], g[k], 1e-12) << k;
  trading_day_factors(twice, 2000, 2, Mode::Additive, MonthDivisor::LeapAveragedFebruary, f);
  for (long k = 0; k < 48; ++k) {
    double sum = 0.0;
    for (int d : extra_days(k + 2, 2000)) sum += twice[d];
    EXPECT_NEAR(f[k], sum, 1e-12) << k;
  }
  // Weights that do not make a week give no factors.
  for (const DailyWeights& bad : {DailyWeights{}, DailyWeights{1, 1, 1, 1, 1, 1, kMissing}}) {
    trading_day_factors(bad, 2000, 0, Mode::Multiplicative, MonthDivisor::LeapAveragedFebruary, f);
    EXPECT_TRUE(std::all_of(f.begin(), f.end(), is_missing));
  }
}

TEST(TradingDay, RegressionRecoversKnownDailyWeights) {
  const DailyWeights w = {1.2, 0.9, 1.1, 1.0, 1.3, 0.8, 0.7};
  std::vector<short> types(120);
  month_types(1990, types);
  Vec irregular(120);
  trading_day_factors(w, 1990, 0, Mode::Multiplicative, MonthDivisor::LeapAveragedFebruary, irregular);
  const B15Regression r = b15_regression(irregular, types, std::nullopt, Mode::Multiplicative, false);
  EXPECT_EQ(r.fit.months, 120);
  const DailyWeights found = daily_weights_of(r.fit.coefficients, Mode::Multiplicative);
  for (int d = 0; d < 7; ++d) EXPECT_NEAR(found[d], w[d], 1e-10) << d;
  EXPECT_NEAR(r.fit.regression_ss, r.fit.total_ss, 1e-9);
  EXPECT_TRUE(r.test.significant);

  // After prior daily weights the irregular is the ratio of the full factors
  // to the prior ones, both over the true month lengths.
  const DailyWeights prior = {1.0, 1.0, 1.0, 1.0, 1.0, 1.2, 0.8};
  const DailyWeights effect = {0.15, -0.1, 0.05, 0.0, 0.2, -0.25, -0.05};
  DailyWeights full{};
  for (int d = 0; d < 7; ++d) full[d] = prior[d] + effect[d];
  Vec before_prior(120);
  trading_day_factors(full, 1990, 0, Mode::Multiplicative, MonthDivisor::ActualLength, irregular);
  trading_day_factors(prior, 1990, 0, Mode::Multiplicative, MonthDivisor::ActualLength, before_prior);
  for (long k = 0; k < 120; ++k) irregular[k] = irregular[k] / before_prior[k] * 100.0;
  const TradingDayFit fit = b15_fit(irregular, types, prior, Mode::Multiplicative);
  for (int d = 0; d < 7; ++d) EXPECT_NEAR(fit.coefficients[d], effect[d], 1e-10) << d;
  EXPECT_NEAR(fit.regression_ss, fit.total_ss, 1e-9);  // 28-day Februaries too have nothing left
}

TEST(TradingDay, NoisyFitSolvesTheNormalEquationsAndAppliesAtOnePercent) {
  // An additive effect of a given size over fixed noise.
  const DailyWeights effect = {4.0, -2.0, 1.0, 0.5, 3.0, -1.5, -5.0};
  const long n = 144;
  std::vector<short> types(n);
  month_types(1985, types);
  Vec factors(n), in(n);
  trading_day_factors(effect, 1985, 0, Mode::Additive, MonthDivisor::LeapAveragedFebruary, factors);
  const auto regression = [&](double size) {
    for (long i = 0; i < n; ++i) in[i] = size * factors[i] + 1.5 * std::sin(1.7 * double(i) + 0.3);
    return b15_regression(in, types, std::nullopt, Mode::Additive, false);
  };
  const B15Regression r = regression(1.0);
  // Residuals orthogonal to every regressor: a weekday's count less Sunday's.
  double sse = 0.0, sum = 0.0;
  std::array<double, 6> orthogonal{};
  for (long i = 0; i < n; ++i) {
    std::array<double, 7> count{};
    double fitted = 0.0;
    for (int d : extra_days(i, 1985)) {
      count[d] += 1.0;
      fitted += r.fit.coefficients[d];
    }
    sse += (in[i] - fitted) * (in[i] - fitted);
    for (int d = 0; d < 6; ++d) orthogonal[d] += (count[d] - count[6]) * (in[i] - fitted);
  }
  for (double o : orthogonal) EXPECT_NEAR(o, 0.0, 1e-9);
  for (double c : r.fit.coefficients) sum += c;
  EXPECT_NEAR(sum, 0.0, 1e-12);
  EXPECT_NEAR(r.test.error_ss, sse, 1e-9 * sse);
  for (int d = 0; d < 7; ++d) EXPECT_LT(std::fabs(r.fit.coefficients[d] - effect[d]), 4.0 * r.test.standard_errors[d]);
  // Significant exactly when the F probability is at most 0.01.
  double lo = 0.0, hi = 1.0;
  for (int i = 0; i < 100; ++i) (regression(0.5 * (lo + hi)).test.prob_f > 0.01 ? lo : hi) = 0.5 * (lo + hi);
  EXPECT_NEAR(regression(hi).test.prob_f, 0.01, 1e-9);
  EXPECT_FALSE(regression(lo).test.significant);
  EXPECT_TRUE(regression(hi).test.significant);
}

TEST(TradingDay, EachMonthGetsTheStandardErrorOfItsFactor) {
  // A month's factor: in percent of its length (of the mean month with
  // LENGTH) when multiplicative, in series units when additive.
  TradingDayFit fit;
  fit.months = 20;
  fit.total_ss = 50.0;
  fit.regression_ss = 18.0;  // 32 over 14 degrees of freedom
  const double se = std::sqrt(32.0 / 14.0);
  for (const auto& [mode, length, want] :
       {std::tuple{Mode::Multiplicative, false, std::array{100.0 / 31, 100.0 / 30, 100.0 / 29, 100.0 / 28}},
        {Mode::Multiplicative, true, std::array{100.0 / 30.4375, 100.0 / 30.4375, 100.0 / 30.4375, 100.0 / 30.4375}},
        {Mode::Additive, false, std::array{1.0, 1.0, 1.0, 1.0}}}) {
    const TradingDayTest t = b15_test(fit, mode, length);
    for (int k = 0; k < 4; ++k) EXPECT_NEAR(t.month_standard_errors[k], se * want[k], 1e-12) << k;
  }
}

TEST(TradingDay, TooFewMonthsStayFiniteAndShowNoEffect) {
  std::vector<short> types(48);
  month_types(2010, types);
  Vec in(48);
  for (long i = 0; i < 48; ++i) in[i] = 100.0 + 0.5 * std::cos(double(i));
  for (const long usable : {6L, 3L, 0L}) {
    auto marked = types;
    for (long i = usable; i < 48; ++i) marked[i] = static_cast<short>(marked[i] + kExcludedMonth);
    const B15Regression r = b15_regression(in, marked, std::nullopt, Mode::Multiplicative, false);
    EXPECT_EQ(r.fit.months, usable);
    EXPECT_EQ(r.test.f, 0.0);
    EXPECT_EQ(r.test.prob_f, 1.0);
    for (int d = 0; d < 7; ++d) EXPECT_TRUE(std::isfinite(r.fit.coefficients[d] + r.test.standard_errors[d]));
  }
}

TEST(TradingDay, ExtremeMonthsAreLeftOut) {
  const long n = 120;
  std::vector<short> types(n);
  month_types(1992, types);
  Vec in(n), excluded(n), b16(n);
  for (long i = 0; i < n; ++i) in[i] = 100.0 + 2.0 * std::sin(2.3 * double(i));
  in[40] = 112.0;  // far out
  in[7] = 1e6;     // excluded already: must not widen the limit
  in[10] = kMissing;
  in[11] = std::numeric_limits<double>::quiet_NaN();
  // 29-day Februaries, types of their own, are judged against 100 (the
  // limit is about 4.3 here).
  in[1] = 103.0;   // February 1992
  in[49] = 94.0;   // February 1996
  auto marked = types;
  marked[7] = static_cast<short>(marked[7] + kExcludedMonth);
  std::vector<long> out = {7, 10, 11, 40, 49};
  EXPECT_EQ(b14_exclude_extreme_months(in, 2.5, Mode::Multiplicative, marked, excluded), 5);
  const auto check = [&] {
    for (long i = 0; i < n; ++i) {
      const bool left_out = std::find(out.begin(), out.end(), i) != out.end();
      EXPECT_EQ(marked[i], left_out ? types[i] + kExcludedMonth : types[i]) << i;
      if (left_out && std::isfinite(in[i]))
        EXPECT_EQ(excluded[i], in[i]) << i;
      else
        EXPECT_TRUE(is_missing(excluded[i])) << i;
    }
  };
  check();
  // C14: every month still in against its B16 factor; B14's marks stay.
  for (long i = 0; i < n; ++i) b16[i] = in[i] + (i == 30 ? 9.0 : std::sin(0.9 * double(i)));
  c14_exclude_extreme_months(in, b16, 2.5, marked, excluded);
  out.push_back(30);
  check();
}

}  // namespace
}  // namespace x11sa
