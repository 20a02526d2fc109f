#include "diag/seasonality_f_tests.h"

#include <cmath>

#include "numeric/distributions.h"

namespace x11sa {

namespace {

// A residual sum of squares within this share of the data's scale is what
// the subtractions leave of an exact zero; counting it as variance would
// turn a perfectly regular pattern into an astronomic F.
constexpr double kRoundoff = 1e-12;

// The probability used by the tests: upper tail of F, missing when the
// degrees of freedom leave no test.
double f_probability(double f, double df1, double df2) {
  const double p = f_upper_tail_probability(f, df1, df2);
  return p < 0.0 ? kMissing : p;
}

}  // namespace

StableSeasonalityTest stable_seasonality_test(std::span<const double> si, int periods_per_year) {
  const int p = periods_per_year;
  double count[12] = {};
  double sum[12] = {};
  double n = 0;
  double total = 0;
  double squares = 0;
  int j = 0;
  for (const double v : si) {
    if (!is_missing(v)) {
      count[j] += 1;
      sum[j] += v;
      n += 1;
      total += v;
      squares += v * v;
    }
    if (++j == p) j = 0;
  }
  StableSeasonalityTest a;
  if (n <= 0) return a;
  const double c = total * total / n;
  double between = -c;
  for (int k = 0; k < p; ++k)
    if (count[k] > 0) between += sum[k] * sum[k] / count[k];
  const double ss_total = squares - c;
  double residual = ss_total - between;
  if (residual <= kRoundoff * squares) residual = 0.0;
  const double df_between = p - 1;
  const double df_residual = n - p;
  a.between_periods = {between, df_between, between / df_between};
  a.residual = {residual, df_residual, df_residual > 0 ? residual / df_residual : kMissing};
  a.total = {ss_total, n - 1, kMissing};
  const double ms_residual = a.residual.mean_square;
  a.f = !is_missing(ms_residual) && ms_residual > 0.0 ? a.between_periods.mean_square / ms_residual : 0.0;
  a.probability = f_probability(a.f, df_between, df_residual);
  return a;
}

MovingSeasonalityTest moving_seasonality_test(std::span<const double> si, int periods_per_year, Mode mode,
                                              int first_period) {
  const int p = periods_per_year;
  const auto n = static_cast<long>(si.size());
  const bool additive = mode == Mode::Additive;
  const double base = additive ? 0.0 : 100.0;
  const double scale = additive ? 1.0 : 10000.0;
  // Complete years only: from the first period of the first whole year to
  // the end of the last whole year.
  const int last_period = n > 0 ? static_cast<int>((first_period + n - 1) % p) : p - 1;
  const long start = first_period != 0 ? p - first_period : 0;
  const long end = n - (last_period != p - 1 ? last_period + 1 : 0);
  const long nyr = end > start ? (end - start) / p : 0;
  MovingSeasonalityTest m;
  m.first = start;
  m.last = start + nyr * p;
  m.years = nyr;
  if (nyr < 2) return m;
  const auto deviation = [&](long i) { return std::fabs(si[static_cast<std::size_t>(i)] - base); };
  double grand = 0;
  double column[12] = {};
  for (long i = m.first, j = 0; i < m.last; ++i) {
    grand += deviation(i);
    column[j] += deviation(i);
    if (++j == p) j = 0;
  }
  const double years = static_cast<double>(nyr);
  const double mean = grand / (years * p);
  double ss_columns = 0;
  for (int j = 0; j < p; ++j) {
    const double d = column[j] / years - mean;
    ss_columns += d * d;
  }
  double ss_rows = 0;
  double ss_total = 0;
  for (long k = 0; k < nyr; ++k) {
    double year_sum = 0;
    for (long i = m.first + k * p; i < m.first + (k + 1) * p; ++i) {
      year_sum += deviation(i);
      ss_total += (deviation(i) - mean) * (deviation(i) - mean);
    }
    const double d = year_sum / p - mean;
    ss_rows += d * d;
  }
  m.ss_between_periods = years * scale * ss_columns;
  m.ss_total = scale * ss_total;
  const double ss_years = p * scale * ss_rows;
  double error = m.ss_total - m.ss_between_periods - ss_years;
  if (error <= kRoundoff * m.ss_total) error = 0.0;
  const double df_years = years - 1;
  const double df_error = (p - 1) * (years - 1);
  m.between_years = {ss_years, df_years, ss_years / df_years};
  m.error = {error, df_error, error / df_error};
  m.f = m.error.mean_square > 0.0 ? m.between_years.mean_square / m.error.mean_square : 0.0;
  m.probability = f_probability(m.f, df_years, df_error);
  return m;
}

}  // namespace x11sa
