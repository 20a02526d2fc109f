// Trading day: month types, the exclusion of extreme months, the regression
// of the irregular on the extra weekdays (days 29 to 31) with its F-test,
// and monthly factors from seven daily weights.
#pragma once

#include <array>
#include <optional>
#include <span>

#include "x11sa/options.h"

namespace x11sa {

// Seven daily weights or coefficients, Monday first.
using DailyWeights = std::array<double, 7>;

// Month types: 1..7 a 30-day month by the weekday of its first day (Monday
// = 1), 8..14 the same for 31-day months, 15 a 28-day February, 16..22 a
// 29-day February by weekday. A month the regression leaves out carries
// kExcludedMonth more.
inline constexpr short kExcludedMonth = 100;

// The types of consecutive months from January of `first_year`.
void month_types(int first_year, std::span<short> types);

// What a month's weighted day count is divided by: 28.25 for February and
// the length of the other months; 30.4375 for every month (LENGTH); the
// month's own length (with prior daily weights).
enum class MonthDivisor { LeapAveragedFebruary, MeanMonth, ActualLength };

// Monthly factors of consecutive months from month `first_month` (0 =
// January, may exceed 11) of `first_year`: in percent of the divisor, the
// weights scaled to a week of 7 (multiplicative); the sum of the weights of
// the days past the 28th (additive). Weights that are not numbers, or
// (multiplicative) do not sum to something positive, give missing factors.
void trading_day_factors(const DailyWeights& weights, int first_year, long first_month, Mode mode,
                         MonthDivisor divisor, std::span<double> factors);

// B14: adds kExcludedMonth to the type of each month the regression leaves
// out: months without a usable irregular, and those whose irregular lies
// more than `exclude` standard deviations from the mean of its type (a
// 29-day February from 100, or 0 additive); the deviation is that of the
// types 1..15. `excluded` receives the irregular of the excluded months,
// missing elsewhere. Returns the number of excluded months, those marked on
// entry included.
long b14_exclude_extreme_months(std::span<const double> irregular, double exclude, Mode mode,
                                std::span<short> types, std::span<double> excluded);

// C14: the same, every month still in judged against its B16 factor.
void c14_exclude_extreme_months(std::span<const double> irregular, std::span<const double> b16, double exclude,
                                std::span<short> types, std::span<double> excluded);

// The least-squares fit of B15 and C15 over the months whose type is below
// kExcludedMonth. Multiplicative runs measure the dependent value in days.
struct TradingDayFit {
  DailyWeights coefficients{};      // summing to 0; all 0 when nothing could be fitted
  DailyWeights variance_factors{};  // diagonal of the inverse cross products; Sunday: the sum of all of it
  int months = 0;
  double regression_ss = 0.0;
  double total_ss = 0.0;  // of the dependent values
};

// The test of the fit.
struct TradingDayTest {
  double error_ss = 0.0;
  double error_ms = 0.0;  // 0 without error degrees of freedom
  double standard_error = 0.0;
  double regression_ms = 0.0;
  double f = 0.0;
  double prob_f = 1.0;
  DailyWeights standard_errors{};
  // Of a month's factor, for months of 31, 30, 29 and 28 days.
  std::array<double, 4> month_standard_errors{};
  bool significant = false;  // prob_f at or below 0.01
};

struct B15Regression {
  TradingDayFit fit;
  TradingDayTest test;
};

// `prior` are the prior daily weights (PDWEIGHTS) the series was adjusted by.
[[nodiscard]] TradingDayFit b15_fit(std::span<const double> irregular, std::span<const short> types,
                                    const std::optional<DailyWeights>& prior, Mode mode);
// `length_of_month`: LENGTH, every month's error over 30.4375 days.
[[nodiscard]] TradingDayTest b15_test(const TradingDayFit& fit, Mode mode, bool length_of_month);
[[nodiscard]] B15Regression b15_regression(std::span<const double> irregular, std::span<const short> types,
                                           const std::optional<DailyWeights>& prior, Mode mode,
                                           bool length_of_month);

// The daily weights of regression coefficients: coefficient + 1
// (multiplicative), the coefficients themselves (additive).
[[nodiscard]] DailyWeights daily_weights_of(const DailyWeights& coefficients, Mode mode);

}  // namespace x11sa
