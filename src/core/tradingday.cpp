// Trading-day regression: month types, exclusion of extreme months, the
// regression of the irregular on the extra weekdays (days 29 to 31), its
// test statistics, and monthly factors from seven daily weights.
#include "core/tradingday.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "host/dates.h"
#include "numeric/distrib.h"
#include "x11sa/missing.h"

namespace x11sa {

namespace {

constexpr int kDays = 7;
constexpr int kRegressors = 6;  // Monday .. Saturday; Sunday follows from the sum constraint
constexpr short kExcludedMark = 100;
constexpr short kFirstType = 1;
constexpr short kLastType = 22;
constexpr short kFeb28Type = 15;
constexpr double kPivotTolerance = 1.110223024625157e-12;
constexpr int kTdregrTest = 3;
constexpr double kApplyLevel = 0.01;

// Euclidean division and remainder: the calendar arithmetic below must hold
// for years before the reference years too.
[[nodiscard]] constexpr long floor_div(long a, long b) noexcept {
  const long q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
[[nodiscard]] constexpr long floor_mod(long a, long b) noexcept { return a - floor_div(a, b) * b; }

[[nodiscard]] constexpr bool is_leap_year(long y) noexcept {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

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
  const long jan1 = floor_mod(four_year[floor_mod(year, 4)] + 5 * floor_div(year, 4) - 2204 +
                                  floor_div(centuries, 4) - centuries,
                              kDays);
  const long w = floor_mod(jan1 + month_offset[month0 + (is_leap_year(year) ? 12 : 0)], kDays);
  return w == 0 ? kDays : static_cast<int>(w);
}

// What the regression needs of a month type: the weekday of day 29 (that of
// day 1) and how many days the month has past the 28th.
struct MonthShape {
  int day29_weekday = 0;  // Monday = 1 ... Sunday = 7; 0 for a 28-day February
  int extra_days = 0;
};

[[nodiscard]] constexpr bool in_regression(short type) noexcept {
  return type >= kFirstType && type <= kLastType;
}

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

[[nodiscard]] bool has_prior_daily_weights(const X11COM* Xp) noexcept {
  return Xp->prior == 2 || Xp->prior == 4;
}

// Copies the month types unless the caller works on the same array.
void copy_types(short* tdtype, const short* tdtypein, long n) {
  if (tdtype != tdtypein && n > 0) std::copy_n(tdtypein, n, tdtype);
}

// A month without a usable irregular (or trading-day factor) cannot take part.
void exclude_unusable(short* tdtype, const double* in, const double* b16, long n) {
  for (long i = 0; i < n; ++i) {
    if (!in_regression(tdtype[i])) continue;
    if (!std::isfinite(in[i]) || (b16 != nullptr && !std::isfinite(b16[i]))) {
      tdtype[i] = static_cast<short>(tdtype[i] + kExcludedMark);
    }
  }
}

// The irregular of each excluded month, missing elsewhere.
void write_excluded(double* out, const double* in, const short* tdtype, long n) {
  fill_missing(out, n);
  for (long i = 0; i < n; ++i) {
    if (tdtype[i] >= kExcludedMark && std::isfinite(in[i])) out[i] = in[i];
  }
}

// B iteration: months of types 1..15 are compared with their type's mean,
// 29-day Februaries with the neutral value; the limit is `exclude` standard
// deviations of the types 1..15 about their means.
void mark_extremes_by_type(X11COM* Xp, const double* in, short* tdtype, long n) {
  std::array<double, kFeb28Type + 1> sum{};
  std::array<long, kFeb28Type + 1> count{};
  for (long i = 0; i < n; ++i) {
    const short t = tdtype[i];
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
  if (total == 0) return;

  double squares = 0.0;
  for (long i = 0; i < n; ++i) {
    const short t = tdtype[i];
    if (in_regression(t) && t <= kFeb28Type) squares += (in[i] - mean[t]) * (in[i] - mean[t]);
  }
  const double limit = std::sqrt(squares / static_cast<double>(total)) * Xp->exclude;
  const double neutral = Xp->op.add_f ? 0.0 : 100.0;
  for (long i = 0; i < n; ++i) {
    const short t = tdtype[i];
    if (!in_regression(t)) continue;
    const double reference = t <= kFeb28Type ? mean[t] : neutral;
    if (std::fabs(in[i] - reference) > limit) tdtype[i] = static_cast<short>(t + kExcludedMark);
  }
}

// C iteration: every month still in the regression is compared with its B16 factor.
void mark_extremes_by_factor(X11COM* Xp, const double* in, const double* b16, short* tdtype,
                             long n) {
  double squares = 0.0;
  long total = 0;
  for (long i = 0; i < n; ++i) {
    if (!in_regression(tdtype[i])) continue;
    squares += (in[i] - b16[i]) * (in[i] - b16[i]);
    ++total;
  }
  if (total == 0) return;
  const double limit = std::sqrt(squares / static_cast<double>(total)) * Xp->exclude;
  for (long i = 0; i < n; ++i) {
    const short t = tdtype[i];
    if (in_regression(t) && std::fabs(in[i] - b16[i]) > limit) {
      tdtype[i] = static_cast<short>(t + kExcludedMark);
    }
  }
}

// Dependent value of one month. Multiplicative runs measure it in days: the
// deviation of the month's weighted day count from its length divisor.
[[nodiscard]] double dependent_value(const X11COM* Xp, const MonthShape& shape, double irregular,
                                     const std::array<double, kDays>& prior) {
  if (Xp->op.add_f) return irregular;
  const bool with_prior = has_prior_daily_weights(Xp);
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

// In-place Gauss-Jordan inversion of the 6x6 cross-product matrix, without
// pivot search. A pivot at or below the tolerance contributes a reciprocal of
// 0: its row and column of the inverse are zero, so its coefficient is 0.
void invert_in_place(double a[7][6]) {
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

// Month-length divisors of x11dow, indexed by the month's length - 28.
[[nodiscard]] std::array<double, 4> month_divisors(int mopt) noexcept {
  if (mopt == 4) return {30.4375, 30.4375, 30.4375, 30.4375};
  if (mopt == 8) return {28.0, 29.0, 30.0, 31.0};
  return {28.25, 28.25, 30.0, 31.0};
}

// B16 and C16: coefficients to daily weights (in place), monthly factors from
// January of `fyr`, copied so that index skp1 of the output is calendar
// offset skp2. The scratch is cleared over the copied span first, so that a
// position the factors do not reach comes out missing.
void factors_from_coefficients(X11COM* Xp, double* td_monthly_factor, double* reg_td_wgts,
                               double* wrk1, int fyr, long months_last, long skp1, long skp2) {
  if (!Xp->op.add_f) {
    for (int d = 0; d < kDays; ++d) reg_td_wgts[d] += 1.0;
  }
  const long copy_count = Xp->fake_array_size - skp1;
  fill_missing(wrk1, std::max(Xp->fake_array_size, skp2 + copy_count));
  x11dow(Xp, wrk1, reg_td_wgts, fyr, months_last, has_prior_daily_weights(Xp) ? 8 : 0);
  if (copy_count > 0) std::copy_n(wrk1 + skp2, copy_count, td_monthly_factor + skp1);
}

}  // namespace

void x11tdt(X11COM* Xp, short* Tday, long nobs) {
  // Raw code: weekday of the first day, + 7 for 31 days, + 14 for 28, + 21 for 29.
  constexpr std::array<short, 29> map_code = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,
                                              10, 11, 12, 13, 14, 15, 15, 15, 15, 15,
                                              15, 15, 16, 17, 18, 19, 20, 21, 22};
  for (long k = 0; k < nobs; ++k) {
    const long year = Xp->date.firstyr + k / 12;
    const int month0 = static_cast<int>(k % 12);
    const int weekday = first_weekday(year, month0);
    int raw = weekday;
    switch (month_length(year, month0)) {
      case 31: raw += 7; break;
      case 28: raw += 14; break;
      case 29: raw += 21; break;
      default: break;
    }
    Tday[k] = map_code[raw];
  }
}

long x11tdaj(X11COM* Xp) {
  if (!Xp->op.tdcmpt_f || is_missing(Xp->tdcompute)) return 0;
  const double series_start = zmdy(Xp->x11flow.firstper + 1, 1, Xp->x11flow.firstyr);
  const double months = zintck("MONTH", series_start, Xp->tdcompute);
  if (std::isnan(months) || months <= 0.0) return 0;
  return static_cast<long>(months);
}

void x11b14(X11COM* Xp, double* out, const double* in, short* tdtype, const short* tdtypein,
            long n, long* nextreme) {
  copy_types(tdtype, tdtypein, n);
  exclude_unusable(tdtype, in, nullptr, n);
  mark_extremes_by_type(Xp, in, tdtype, n);
  write_excluded(out, in, tdtype, n);
  *nextreme = std::count_if(tdtype, tdtype + std::max(n, 0L),
                            [](short t) { return t >= kExcludedMark; });
}

void x11c14(X11COM* Xp, double* out, const double* in, const double* b16, short* tdtype,
            const short* tdtypein, long n) {
  copy_types(tdtype, tdtypein, n);
  exclude_unusable(tdtype, in, b16, n);
  mark_extremes_by_factor(Xp, in, b16, tdtype, n);
  write_excluded(out, in, tdtype, n);
}

void x11b15(X11COM* Xp, double* tdreg, const double* in, const short* tdtype,
            const double* tdprior, long n, double regress[7][6], double* c, double* s, int* xn,
            double* ssr, double* sumysq) {
  std::array<double, kDays> prior{};
  for (int d = 0; d < kDays; ++d) prior[d] = tdprior != nullptr ? tdprior[d] : 1.0;

  for (int i = 0; i <= kRegressors; ++i) std::fill_n(regress[i], kRegressors, 0.0);
  double* const xty = regress[kRegressors];
  double squares = 0.0;
  int months = 0;
  for (long i = 0; i < n; ++i) {
    if (!in_regression(tdtype[i]) || !std::isfinite(in[i])) continue;
    const MonthShape shape = shape_of(tdtype[i]);
    const double y = dependent_value(Xp, shape, in[i], prior);
    if (!std::isfinite(y * y)) continue;
    const std::array<double, kRegressors> x = regressors_of(shape);
    for (int r = 0; r < kRegressors; ++r) {
      for (int col = 0; col < kRegressors; ++col) regress[r][col] += x[r] * x[col];
      xty[r] += x[r] * y;
    }
    squares += y * y;
    ++months;
  }

  invert_in_place(regress);

  double explained = 0.0;
  double sunday = 0.0;
  double inverse_sum = 0.0;
  for (int r = 0; r < kRegressors; ++r) {
    double b = 0.0;
    for (int col = 0; col < kRegressors; ++col) {
      b += regress[r][col] * xty[col];
      inverse_sum += regress[r][col];
    }
    tdreg[r] = b;
    c[r] = regress[r][r];
    sunday -= b;
    explained += b * xty[r];
  }
  tdreg[kDays - 1] = sunday;
  c[kDays - 1] = inverse_sum;

  // Sums that overflowed leave nothing to report: the regression then shows no effect.
  bool finite = std::isfinite(squares) && std::isfinite(explained);
  for (int d = 0; d < kDays; ++d) finite = finite && std::isfinite(tdreg[d]) && std::isfinite(c[d]);
  if (!finite) {
    std::fill_n(tdreg, kDays, 0.0);
    std::fill_n(c, kDays, 0.0);
    squares = 0.0;
    explained = 0.0;
  }

  // The standard errors need the error variance: x11b15p sets them.
  std::fill_n(s, kDays, 0.0);
  *xn = months;
  *ssr = explained;
  *sumysq = squares;
}

int x11b15p(X11COM* Xp, const double* /*tdreg*/, const double* /*tdprior*/, int xn, double ssr,
            double sumysq) {
  X11FLOW& flow = Xp->x11flow;
  flow.xn = xn;
  flow.ssr = ssr;
  flow.sumysq = sumysq;
  // ssr cannot exceed sumysq; rounding must not make the error sum negative.
  flow.sse = std::max(sumysq - ssr, 0.0);
  flow.mse = xn > kRegressors ? flow.sse / (xn - kRegressors) : 0.0;
  flow.se = flow.mse > 0.0 ? std::sqrt(flow.mse) : 0.0;
  flow.msr = ssr / kRegressors;
  // A regression sum rounded below zero must not read as an invalid F.
  flow.fv = flow.mse > 0.0 ? std::max(flow.msr / flow.mse, 0.0) : 0.0;
  // Without error degrees of freedom F is 0, whose tail probability is 1.
  flow.prbf = xn > kRegressors ? zprbf(flow.fv, kRegressors, xn - kRegressors) : 1.0;

  for (int d = 0; d < kDays; ++d) flow.s[d] = flow.c[d] > 0.0 ? std::sqrt(flow.c[d]) * flow.se : 0.0;

  // Standard error of a month's trading-day factor. In a multiplicative run
  // y is measured in days, so the factor's error in percent is
  // se * 100 / divisor (31, 30, 29, 28 days; 30.4375 for every length with
  // LENGTH); in an additive run y is in series units and the error is se.
  constexpr std::array<double, 4> lengths = {31.0, 30.0, 29.0, 28.0};
  for (std::size_t k = 0; k < lengths.size(); ++k) {
    if (Xp->op.add_f) {
      flow.stdmonth[k] = flow.se;
    } else {
      const double divisor = Xp->lmopt == 4 ? 30.4375 : lengths[k];
      flow.stdmonth[k] = flow.se * 100.0 / divisor;
    }
  }

  // A failed probability (negative) never counts as significant.
  const bool significant = flow.prbf >= 0.0 && flow.prbf <= kApplyLevel;
  return Xp->tdregr == kTdregrTest && significant ? 1 : 0;
}

void x11b16(X11COM* Xp, double* td_monthly_factor, double* reg_td_wgts, double* wrk1, int fyr,
            long lper, long skp1, long skp2) {
  factors_from_coefficients(Xp, td_monthly_factor, reg_td_wgts, wrk1, fyr, lper, skp1, skp2);
}

void x11c16(X11COM* Xp, double* td_monthly_factor, double* reg_td_wgts, double* wrk1, int fyr,
            long lper, long skp1, long skp2) {
  const long months_last = Xp->op.yrahdout_f ? lper + 12 : lper;
  factors_from_coefficients(Xp, td_monthly_factor, reg_td_wgts, wrk1, fyr, months_last, skp1,
                            skp2);
}

void x11dow(X11COM* Xp, double* ptd_fact, const double* daily_wgts, int year, long last,
            int mopt) {
  const long months = last + 12;
  if (months <= 0) return;

  std::array<double, kDays> weights{};
  std::copy_n(daily_wgts, kDays, weights.begin());
  const bool additive = Xp->op.add_f != 0;
  double sum = 0.0;
  for (double w : weights) sum += w;
  // Weights that are not numbers, or (multiplicative) cannot be scaled to a
  // week of 7, give no factors at all.
  if (!std::isfinite(sum) || (!additive && !(sum > 0.0))) {
    fill_missing(ptd_fact, months);
    return;
  }
  if (!additive) {
    for (double& w : weights) w *= kDays / sum;
  }

  const std::array<double, 4> divisor = month_divisors(mopt);
  for (long k = 0; k < months; ++k) {
    const long y = year + k / 12;
    const int month0 = static_cast<int>(k % 12);
    const int extra_days = month_length(y, month0) - 28;
    // Day 29 falls on the weekday of day 1.
    const int first = first_weekday(y, month0) - 1;
    double days = additive ? 0.0 : 28.0;
    for (int j = 0; j < extra_days; ++j) days += weights[(first + j) % kDays];
    ptd_fact[k] = additive ? days : days / divisor[extra_days] * 100.0;
  }
}

}  // namespace x11sa
