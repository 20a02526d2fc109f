// Trading day.

#include "core/trading_day.h"

#include <algorithm>
#include <cmath>

#include "numeric/distributions.h"
#include "x11sa/missing.h"

namespace x11sa {

namespace {

constexpr int kDays = 7;
constexpr int kRegressors = 6;  // Monday .. Saturday; Sunday follows from the sum constraint
constexpr short kFirstType = 1;
constexpr short kLastType = 22;
constexpr short kFeb28Type = 15;
constexpr double kPivotTolerance = 1.110223024625157e-12;
constexpr double kApplyLevel = 0.01;

// Euclidean division and remainder: the calendar arithmetic below must hold
// for years before the reference years too.
[[nodiscard]] constexpr long floor_div(long a, long b) noexcept {
  const long q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
[[nodiscard]] constexpr long floor_mod(long a, long b) noexcept { return a - floor_div(a, b) * b; }

[[nodiscard]] constexpr bool is_leap_year(long y) noexcept { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

constexpr std::array<int, 24> kMonthLength = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31,
                                              31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

[[nodiscard]] constexpr int month_length(long year, int month0) noexcept {
  return kMonthLength[month0 + (is_leap_year(year) ? 12 : 0)];
}

// Weekday (Monday = 1 ... Sunday = 7) of the first day of month `month0`
// (0 = January) of `year`, Gregorian calendar: the weekday of 1 January from
// the four-year cycle with the century corrections, then the offset of the month.
[[nodiscard]] constexpr int first_weekday(long year, int month0) noexcept {
  constexpr std::array<int, 4> four_year = {0, 2, 3, 4};
  constexpr std::array<int, 24> month_offset = {0, 3, 3, 6, 1, 4, 6, 2, 5, 0, 3, 5,
                                                0, 3, 4, 0, 2, 5, 0, 3, 6, 1, 4, 6};
  const long centuries = floor_div(year - 1601, 100);
  const long jan1 = floor_mod(
      four_year[floor_mod(year, 4)] + 5 * floor_div(year, 4) - 2204 + floor_div(centuries, 4) - centuries, kDays);
  const long w = floor_mod(jan1 + month_offset[month0 + (is_leap_year(year) ? 12 : 0)], kDays);
  return w == 0 ? kDays : static_cast<int>(w);
}

// What the regression needs of a month type: the weekday of day 29 (that of
// day 1) and how many days the month has past the 28th.
struct MonthShape {
  int day29_weekday = 0;  // Monday = 1 ... Sunday = 7; 0 for a 28-day February
  int extra_days = 0;
};

[[nodiscard]] constexpr bool in_regression(short type) noexcept { return type >= kFirstType && type <= kLastType; }

[[nodiscard]] constexpr MonthShape shape_of(short type) noexcept {
  if (type <= 7) return {type, 2};
  if (type <= 14) return {type - 7, 3};
  if (type == kFeb28Type) return {0, 0};
  return {type - 15, 1};
}

// Weight index (Monday = 0) of the j-th extra day of a month.
[[nodiscard]] constexpr int extra_day_index(const MonthShape& shape, int j) noexcept {
  return (shape.day29_weekday - 1 + j) % kDays;
}

void exclude(short& type) { type = static_cast<short>(type + kExcludedMonth); }

// A month without a usable irregular (or trading-day factor) cannot take part.
void exclude_unusable(std::span<const double> in, std::span<const double> b16, std::span<short> types) {
  for (std::size_t i = 0; i < types.size(); ++i) {
    if (!in_regression(types[i])) continue;
    if (!std::isfinite(in[i]) || (!b16.empty() && !std::isfinite(b16[i]))) exclude(types[i]);
  }
}

// The irregular of each excluded month, missing elsewhere.
void write_excluded(std::span<const double> in, std::span<const short> types, std::span<double> out) {
  fill_missing(out);
  for (std::size_t i = 0; i < types.size(); ++i) {
    if (types[i] >= kExcludedMonth && std::isfinite(in[i])) out[i] = in[i];
  }
}

// Dependent value of one month. Multiplicative runs measure it in days: the
// deviation of the month's weighted day count from its length divisor.
[[nodiscard]] double dependent_value(const MonthShape& shape, double irregular, const DailyWeights& prior,
                                     bool with_prior, Mode mode) {
  if (mode == Mode::Additive) return irregular;
  if (shape.extra_days == 0) return with_prior ? irregular * 0.28 - 28.0 : irregular * 0.2825 - 28.0;
  if (shape.extra_days == 1 && !with_prior) return irregular * 0.2825 - 29.0;
  double days = 28.0;
  for (int j = 0; j < shape.extra_days; ++j) days += prior[extra_day_index(shape, j)];
  return days * (irregular / 100.0 - 1.0);
}

// Regressors Monday .. Saturday: 1 for each extra weekday; when Sunday is
// among them its coefficient is minus the sum of the others, so 1 comes off each.
[[nodiscard]] std::array<double, kRegressors> regressors_of(const MonthShape& shape) {
  std::array<double, kRegressors> x{};
  bool sunday = false;
  for (int j = 0; j < shape.extra_days; ++j) {
    const int d = extra_day_index(shape, j);
    if (d == kDays - 1) {
      sunday = true;
    } else {
      x[d] = 1.0;
    }
  }
  if (sunday) {
    for (double& v : x) v -= 1.0;
  }
  return x;
}

using Matrix = std::array<std::array<double, kRegressors>, kRegressors>;

// In-place Gauss-Jordan inversion of the 6x6 cross-product matrix, without
// pivot search. A pivot at or below the tolerance contributes a reciprocal of
// 0: its row and column of the inverse are zero, so its coefficient is 0.
void invert_in_place(Matrix& a) {
  for (int k = 0; k < kRegressors; ++k) {
    const double pivot = a[k][k];
    const double reciprocal = std::fabs(pivot) > kPivotTolerance ? 1.0 / pivot : 0.0;
    a[k][k] = 1.0;
    for (int j = 0; j < kRegressors; ++j) a[k][j] *= reciprocal;
    for (int i = 0; i < kRegressors; ++i) {
      if (i == k) continue;
      const double factor = a[i][k];
      a[i][k] = 0.0;
      for (int j = 0; j < kRegressors; ++j) a[i][j] -= factor * a[k][j];
    }
  }
}

[[nodiscard]] std::array<double, 4> month_divisors(MonthDivisor divisor) noexcept {
  switch (divisor) {
    case MonthDivisor::MeanMonth: return {30.4375, 30.4375, 30.4375, 30.4375};
    case MonthDivisor::ActualLength: return {28.0, 29.0, 30.0, 31.0};
    case MonthDivisor::LeapAveragedFebruary: break;
  }
  return {28.25, 28.25, 30.0, 31.0};
}

}  // namespace

void month_types(int first_year, std::span<short> types) {
  // Raw code: weekday of the first day, + 7 for 31 days, + 14 for 28, + 21 for 29.
  constexpr std::array<short, 29> map_code = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                                              15, 15, 15, 15, 15, 15, 15, 16, 17, 18, 19, 20, 21, 22};
  for (std::size_t k = 0; k < types.size(); ++k) {
    const long year = first_year + static_cast<long>(k / 12);
    const int month0 = static_cast<int>(k % 12);
    int raw = first_weekday(year, month0);
    switch (month_length(year, month0)) {
      case 31: raw += 7; break;
      case 28: raw += 14; break;
      case 29: raw += 21; break;
      default: break;
    }
    types[k] = map_code[raw];
  }
}

void trading_day_factors(const DailyWeights& daily_weights, int first_year, long first_month, Mode mode,
                         MonthDivisor divisor, std::span<double> factors) {
  DailyWeights weights = daily_weights;
  const bool additive = mode == Mode::Additive;
  double sum = 0.0;
  for (double w : weights) sum += w;
  // Weights that are not numbers, or (multiplicative) cannot be scaled to a
  // week of 7, give no factors at all.
  if (!std::isfinite(sum) || (!additive && !(sum > 0.0))) {
    fill_missing(factors);
    return;
  }
  if (!additive) {
    for (double& w : weights) w *= kDays / sum;
  }

  const std::array<double, 4> divisors = month_divisors(divisor);
  for (std::size_t i = 0; i < factors.size(); ++i) {
    const long k = first_month + static_cast<long>(i);
    const long y = first_year + floor_div(k, 12);
    const int month0 = static_cast<int>(floor_mod(k, 12));
    const int extra_days = month_length(y, month0) - 28;
    // Day 29 falls on the weekday of day 1.
    const int first = first_weekday(y, month0) - 1;
    double days = additive ? 0.0 : 28.0;
    for (int j = 0; j < extra_days; ++j) days += weights[(first + j) % kDays];
    factors[i] = additive ? days : days / divisors[extra_days] * 100.0;
  }
}

long b14_exclude_extreme_months(std::span<const double> in, double exclude_sigmas, Mode mode, std::span<short> types,
                                std::span<double> excluded) {
  exclude_unusable(in, {}, types);
  const long n = static_cast<long>(types.size());
  // Months of types 1..15 are compared with their type's mean, 29-day
  // Februaries with the neutral value; the limit comes from types 1..15.
  std::array<double, kFeb28Type + 1> sum{};
  std::array<long, kFeb28Type + 1> count{};
  for (long i = 0; i < n; ++i) {
    const short t = types[i];
    if (in_regression(t) && t <= kFeb28Type) {
      sum[t] += in[i];
      ++count[t];
    }
  }
  std::array<double, kFeb28Type + 1> mean{};
  long total = 0;
  for (short t = kFirstType; t <= kFeb28Type; ++t) {
    if (count[t] > 0) mean[t] = sum[t] / static_cast<double>(count[t]);
    total += count[t];
  }
  // Without months of types 1..15 there is no scale to judge by.
  if (total > 0) {
    double squares = 0.0;
    for (long i = 0; i < n; ++i) {
      const short t = types[i];
      if (in_regression(t) && t <= kFeb28Type) squares += (in[i] - mean[t]) * (in[i] - mean[t]);
    }
    const double limit = std::sqrt(squares / static_cast<double>(total)) * exclude_sigmas;
    const double neutral = mode == Mode::Additive ? 0.0 : 100.0;
    for (long i = 0; i < n; ++i) {
      const short t = types[i];
      if (!in_regression(t)) continue;
      const double reference = t <= kFeb28Type ? mean[t] : neutral;
      if (std::fabs(in[i] - reference) > limit) exclude(types[i]);
    }
  }
  write_excluded(in, types, excluded);
  return std::count_if(types.begin(), types.end(), [](short t) { return t >= kExcludedMonth; });
}

void c14_exclude_extreme_months(std::span<const double> in, std::span<const double> b16, double exclude_sigmas,
                                std::span<short> types, std::span<double> excluded) {
  exclude_unusable(in, b16, types);
  const long n = static_cast<long>(types.size());
  double squares = 0.0;
  long total = 0;
  for (long i = 0; i < n; ++i) {
    if (!in_regression(types[i])) continue;
    squares += (in[i] - b16[i]) * (in[i] - b16[i]);
    ++total;
  }
  if (total > 0) {
    const double limit = std::sqrt(squares / static_cast<double>(total)) * exclude_sigmas;
    for (long i = 0; i < n; ++i) {
      if (in_regression(types[i]) && std::fabs(in[i] - b16[i]) > limit) exclude(types[i]);
    }
  }
  write_excluded(in, types, excluded);
}

TradingDayFit b15_fit(std::span<const double> in, std::span<const short> types,
                      const std::optional<DailyWeights>& prior_weights, Mode mode) {
  DailyWeights prior{};
  prior.fill(1.0);
  if (prior_weights) prior = *prior_weights;

  Matrix xtx{};
  std::array<double, kRegressors> xty{};
  double squares = 0.0;
  int months = 0;
  for (std::size_t i = 0; i < types.size(); ++i) {
    if (!in_regression(types[i]) || !std::isfinite(in[i])) continue;
    const MonthShape shape = shape_of(types[i]);
    const double y = dependent_value(shape, in[i], prior, prior_weights.has_value(), mode);
    if (!std::isfinite(y * y)) continue;
    const std::array<double, kRegressors> x = regressors_of(shape);
    for (int r = 0; r < kRegressors; ++r) {
      for (int col = 0; col < kRegressors; ++col) xtx[r][col] += x[r] * x[col];
      xty[r] += x[r] * y;
    }
    squares += y * y;
    ++months;
  }

  invert_in_place(xtx);

  TradingDayFit fit;
  double explained = 0.0;
  double sunday = 0.0;
  double inverse_sum = 0.0;
  for (int r = 0; r < kRegressors; ++r) {
    double b = 0.0;
    for (int col = 0; col < kRegressors; ++col) {
      b += xtx[r][col] * xty[col];
      inverse_sum += xtx[r][col];
    }
    fit.coefficients[r] = b;
    fit.variance_factors[r] = xtx[r][r];
    sunday -= b;
    explained += b * xty[r];
  }
  fit.coefficients[kDays - 1] = sunday;
  fit.variance_factors[kDays - 1] = inverse_sum;

  // Sums that overflowed leave nothing to report: the regression then shows no effect.
  bool finite = std::isfinite(squares) && std::isfinite(explained);
  for (int d = 0; d < kDays; ++d)
    finite = finite && std::isfinite(fit.coefficients[d]) && std::isfinite(fit.variance_factors[d]);
  if (!finite) {
    fit.coefficients.fill(0.0);
    fit.variance_factors.fill(0.0);
    squares = 0.0;
    explained = 0.0;
  }
  fit.months = months;
  fit.regression_ss = explained;
  fit.total_ss = squares;
  return fit;
}

TradingDayTest b15_test(const TradingDayFit& fit, Mode mode, bool length_of_month) {
  TradingDayTest t;
  const int xn = fit.months;
  // The regression sum cannot exceed the total; rounding must not make the error sum negative.
  t.error_ss = std::max(fit.total_ss - fit.regression_ss, 0.0);
  t.error_ms = xn > kRegressors ? t.error_ss / (xn - kRegressors) : 0.0;
  t.standard_error = t.error_ms > 0.0 ? std::sqrt(t.error_ms) : 0.0;
  t.regression_ms = fit.regression_ss / kRegressors;
  // A regression sum rounded below zero must not read as an invalid F.
  t.f = t.error_ms > 0.0 ? std::max(t.regression_ms / t.error_ms, 0.0) : 0.0;
  // Without error degrees of freedom F is 0, whose tail probability is 1.
  t.prob_f = xn > kRegressors ? f_upper_tail_probability(t.f, kRegressors, xn - kRegressors) : 1.0;

  for (int d = 0; d < kDays; ++d) {
    const double c = fit.variance_factors[d];
    t.standard_errors[d] = c > 0.0 ? std::sqrt(c) * t.standard_error : 0.0;
  }

  // Standard error of a month's trading-day factor. In a multiplicative run
  // y is measured in days, so the factor's error in percent is
  // se * 100 / divisor (31, 30, 29, 28 days; 30.4375 for every length with
  // LENGTH); in an additive run y is in series units and the error is se.
  constexpr std::array<double, 4> lengths = {31.0, 30.0, 29.0, 28.0};
  for (std::size_t k = 0; k < lengths.size(); ++k) {
    if (mode == Mode::Additive) {
      t.month_standard_errors[k] = t.standard_error;
    } else {
      const double divisor = length_of_month ? 30.4375 : lengths[k];
      t.month_standard_errors[k] = t.standard_error * 100.0 / divisor;
    }
  }
  // A failed probability (negative) never counts as significant.
  t.significant = t.prob_f >= 0.0 && t.prob_f <= kApplyLevel;
  return t;
}

B15Regression b15_regression(std::span<const double> irregular, std::span<const short> types,
                             const std::optional<DailyWeights>& prior, Mode mode, bool length_of_month) {
  B15Regression r;
  r.fit = b15_fit(irregular, types, prior, mode);
  r.test = b15_test(r.fit, mode, length_of_month);
  return r;
}

DailyWeights daily_weights_of(const DailyWeights& coefficients, Mode mode) {
  DailyWeights w = coefficients;
  if (mode == Mode::Multiplicative) {
    for (double& v : w) v += 1.0;
  }
  return w;
}

}  // namespace x11sa
