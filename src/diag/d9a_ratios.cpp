#include "diag/d9a_ratios.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace x11sa {

namespace {

// Below this the seasonal change leaves the ratio undefined.
constexpr double kTiny = 1.110223024625157e-16;

double mean(const double* x, long n) {
  double s = 0;
  for (long k = 0; k < n; ++k) s += x[k];
  return s / static_cast<double>(n);
}

// The mean absolute change from one value of `x` to the next over its n
// values; in a multiplicative run each change is a percentage of the later
// value.
double mean_change(const double* x, long n, bool multiplicative) {
  double s = 0;
  for (long j = 1; j < n; ++j) {
    double change = std::fabs(x[j] - x[j - 1]);
    if (multiplicative) change *= 100.0 / std::fabs(x[j]);
    s += change;
  }
  return s / static_cast<double>(n - 1);
}

// D9A of one period whose n values are in column[3 .. 3 + n); the column
// has room for three more values at each end, `work` for n values.
D9aPeriod one_period(double* column, double* work, long n, bool multiplicative) {
  D9aPeriod r;
  r.values = n;
  if (n < 2) return r;
  // Extend the column by three values at each end: the mean of its first
  // (last) three values, or of all of them when there are fewer.
  const long ends = std::min(n, 3L);
  const double head = mean(column + 3, ends);
  const double tail = mean(column + 3 + n - ends, ends);
  for (long k = 0; k < 3; ++k) {
    column[k] = head;
    column[n + 3 + k] = tail;
  }
  // Seasonal: a seven-term moving average; its mean change.
  for (long j = 0; j < n; ++j) work[j] = mean(column + j, 7);
  r.seasonal_change = mean_change(work, n, multiplicative);
  // Irregular: the values divided by (less) the seasonal, in percent in a
  // multiplicative run; its mean change.
  for (long j = 0; j < n; ++j)
    work[j] = multiplicative ? column[3 + j] / work[j] * 100.0 : column[3 + j] - work[j];
  r.irregular_change = mean_change(work, n, multiplicative);
  if (r.seasonal_change > kTiny && r.irregular_change < 999.99 * r.seasonal_change)
    r.ratio = r.irregular_change / r.seasonal_change;
  return r;
}

}  // namespace

D9aRatios d9a_ratios(std::span<const double> d9, int periods_per_year, Mode mode, int first_period) {
  const int m = periods_per_year;
  const auto n = static_cast<long>(d9.size());
  const bool multiplicative = mode == Mode::Multiplicative;
  D9aRatios out;
  out.periods = m;
  // One column at a time: its values with three more at each end, and the
  // seasonal and irregular of its values.
  const long rows = n / m + 1;
  std::vector<double> column(static_cast<std::size_t>(rows + 6));
  std::vector<double> work(static_cast<std::size_t>(rows));
  for (int k = 0; k < m; ++k) {
    long values = 0;
    for (long i = k; i < n; i += m) column[static_cast<std::size_t>(3 + values++)] = d9[static_cast<std::size_t>(i)];
    // The k-th value of d9 falls in period first_period + k of the year.
    out.by_period[static_cast<std::size_t>((first_period + k) % m)] =
        one_period(column.data(), work.data(), values, multiplicative);
  }
  return out;
}

}  // namespace x11sa
