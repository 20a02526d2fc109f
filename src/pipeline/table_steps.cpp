// The steps of the table chain.

#include "pipeline/table_steps.h"

#include <algorithm>

#include "core/extreme_values.h"
#include "core/moving_averages.h"
#include "x11sa/missing.h"

namespace x11sa {

namespace {

// Positions [begin, end) of a table vector; none when end is not past begin.
template <class T>
std::span<T> part(std::span<T> v, long begin, long end) {
  return v.subspan(static_cast<std::size_t>(begin), static_cast<std::size_t>(std::max(end - begin, 0L)));
}

template <class T>
std::span<T> part(std::span<T> v, TableRange r) {
  return part(v, r.begin, r.end);
}

ExtremeValueRules extreme_rules(const AdjustmentOptions& o) {
  return {o.mode, o.extreme, o.old_sigma, o.fullweight, o.zeroweight};
}

// Seasonal factors on the range, missing elsewhere; `scratch` receives the
// centring average.
void seasonal_factors(const AdjustmentOptions& o, std::span<const double> si, TableRange r, SeasonalEstimate estimate,
                      std::span<double> factors, std::span<double> scratch) {
  fill_missing(factors);
  if (o.monthly()) {
    monthly_seasonal_factors(part(si, r), r.period, estimate, o.curves, o.mode, part(factors, r), part(scratch, r));
  } else {
    quarterly_seasonal_factors(part(si, r), estimate, o.mode, part(factors, r), part(scratch, r));
  }
}

// Weights of the irregular on the range, `scratch` receiving the sigmas.
void extreme_weights(const AdjustmentOptions& o, std::span<const double> irregular, TableRange r,
                     std::span<double> weights, std::span<double> scratch) {
  extreme_value_weights(part(irregular, r), o.frequency, r.period, extreme_rules(o), part(weights, r),
                        scratch.first(static_cast<std::size_t>(sigma_count(r.size(), o.frequency))));
}

HendersonChoice henderson(const AdjustmentOptions& o, std::span<const double> in, TableRange r,
                                         std::span<double> trend, TrendPass pass) {
  if (o.monthly()) return henderson_trend(part(in, r), part(trend, r), o.mode, pass, o.trendma);
  quarterly_henderson_trend(part(in, r), part(trend, r), o.trendma);
  // Quarterly trends are not chosen by a ratio; the length still titles the tables.
  return HendersonChoice{o.trendma == 7 ? 7 : 5, 0.0};
}

// Factors of `weights` for the months of `months`.
void place_factors(const DailyWeights& weights, const FactorMonths& months, Mode mode, MonthDivisor divisor,
                   std::span<double> factors) {
  const long computed = std::clamp(months.end_month - months.first_month, 0L, static_cast<long>(factors.size()));
  trading_day_factors(weights, months.first_year, months.first_month, mode, divisor,
                      factors.first(static_cast<std::size_t>(computed)));
  fill_missing(factors.subspan(static_cast<std::size_t>(computed)));
}

FactorMonths year_ahead(const AdjustmentOptions& o, FactorMonths months) {
  if (o.year_ahead) months.end_month += 12;
  return months;
}

}  // namespace

void b1_series(std::span<const double> prior_adjusted, std::span<const double> td_factors, TableRange range,
               Mode mode, std::span<double> b1) {
  if (td_factors.empty()) {
    std::copy(prior_adjusted.begin(), prior_adjusted.end(), b1.begin());
  } else {
    remove_component(prior_adjusted, td_factors, range, mode, b1);
  }
}

void b2_preliminary_trend(const AdjustmentOptions& o, std::span<const double> series, TableRange r,
                          std::span<double> trend) {
  fill_missing(trend);
  const int periods = o.periods();
  const long h = periods / 2;
  const bool long_trend = o.ptrendma.value_or(periods) == 2 * periods;
  if (long_trend) {
    moving_average(part(series, r.begin + h, r.end - h), part(trend, r.begin + h, r.end - h),
                   o.monthly() ? kCentred24Terms : kCentred8Terms);
  } else if (o.monthly()) {
    centred_12_term_average(part(series, r), part(trend, r));
  } else {
    centred_4_term_average(part(series, r), part(trend, r));
  }
}

void b3_si_ratios(std::span<const double> series, std::span<const double> trend, TableRange range, Mode mode,
                  std::span<double> si) {
  fill_missing(si);
  remove_component(series, trend, range, mode, si);
}

void b4_modified_si_ratios(const AdjustmentOptions& o, std::span<const double> si, TableRange r,
                           SeasonalEstimate estimate, std::span<double> modified, std::span<double> replacements,
                           std::span<double> scratch1, std::span<double> scratch2) {
  // The irregular of the SI ratios goes to `replacements` until the
  // replacements themselves come.
  seasonal_factors(o, si, r, estimate, modified, scratch2);
  fill_missing(replacements);
  remove_component(si, modified, r, o.mode, replacements);
  extreme_weights(o, replacements, r, scratch1, scratch2);
  std::copy(si.begin(), si.end(), modified.begin());
  fill_missing(replacements);
  replace_extremes_by_years(part(modified, r), part(std::span<const double>(scratch1), r), o.frequency,
                              part(replacements, r));
}

void b5_seasonal_factors(const AdjustmentOptions& o, std::span<const double> si, TableRange r,
                         SeasonalEstimate estimate, std::span<double> factors, std::span<double> scratch) {
  seasonal_factors(o, si, r, estimate, factors, scratch);
  const long m = o.periods();
  const long h = m / 2;
  for (long k = 1; k <= h; ++k) factors[r.begin - k] = factors[r.begin - k + m];
  for (long j = 0; j < h; ++j) factors[r.end + j] = factors[r.end + j - m];
}

void b10_seasonal_factors(const AdjustmentOptions& o, std::span<const double> si, TableRange r,
                          SeasonalEstimate estimate, std::span<double> factors, std::span<double> scratch) {
  seasonal_factors(o, si, r, estimate, factors, scratch);
}

void d10_seasonal_factors(const AdjustmentOptions& o, std::span<const double> si, TableRange r,
                          SeasonalEstimate estimate, std::span<double> factors, std::span<double> scratch) {
  seasonal_factors(o, si, r, estimate, factors, scratch);
  if (!o.year_ahead) return;
  const long m = o.periods();
  for (long j = 0; j < m; ++j)
    factors[r.end + j] = (3.0 * factors[r.end + j - m] - factors[r.end + j - 2 * m]) * 0.5;
}

void remove_component(std::span<const double> num, std::span<const double> den, TableRange range, Mode mode,
                      std::span<double> out) {
  ratio_or_difference(part(num, range), part(den, range), part(out, range), mode);
}

HendersonChoice b7_trend_cycle(const AdjustmentOptions& o, std::span<double> seas_adj, TableRange r,
                                              std::span<double> trend, std::span<double> scratch1,
                                              std::span<double> scratch2, std::span<double> scratch3) {
  HendersonChoice choice = henderson(o, seas_adj, r, trend, TrendPass::First);
  if (!o.trend_adjust) return choice;
  remove_component(seas_adj, trend, r, o.mode, scratch1);
  extreme_weights(o, scratch1, r, scratch2, scratch3);
  replace_extremes_by_neighbours(part(seas_adj, r), part(std::span<const double>(scratch2), r), o.frequency);
  return henderson(o, seas_adj, r, trend, TrendPass::Later);
}

HendersonChoice c7_trend_cycle(const AdjustmentOptions& o, std::span<const double> seas_adj,
                                              TableRange r, std::span<double> trend) {
  return henderson(o, seas_adj, r, trend, TrendPass::Later);
}

void b17_extreme_weights(const AdjustmentOptions& o, std::span<const double> irregular, TableRange r,
                         std::span<double> weights, std::span<double> scratch) {
  if (o.monthly())
    std::fill(weights.begin(), weights.end(), 100.0);
  else
    fill_missing(weights);
  extreme_weights(o, irregular, r, weights, scratch);
}

DailyWeights b16_trading_day_factors(const AdjustmentOptions& o, const DailyWeights& coefficients,
                                     const FactorMonths& months, std::span<double> factors) {
  const DailyWeights weights = daily_weights_of(coefficients, o.mode);
  const MonthDivisor divisor =
      o.prior_daily_weights ? MonthDivisor::ActualLength : MonthDivisor::LeapAveragedFebruary;
  place_factors(weights, months, o.mode, divisor, factors);
  return weights;
}

DailyWeights c16_trading_day_factors(const AdjustmentOptions& o, const DailyWeights& coefficients,
                                     const FactorMonths& months, std::span<double> factors) {
  return b16_trading_day_factors(o, coefficients, year_ahead(o, months), factors);
}

DailyWeights b18_combined_trading_day_factors(const AdjustmentOptions& o, const DailyWeights& regression_weights,
                                              const FactorMonths& months, std::span<double> factors) {
  DailyWeights combined = regression_weights;
  if (o.prior_daily_weights) {
    for (std::size_t d = 0; d < combined.size(); ++d) combined[d] += (*o.prior_daily_weights)[d] - 1.0;
  }
  const MonthDivisor divisor = o.length_of_month ? MonthDivisor::MeanMonth : MonthDivisor::LeapAveragedFebruary;
  place_factors(combined, year_ahead(o, months), o.mode, divisor, factors);
  return combined;
}

void c1_modified_series(std::span<const double> weights, std::span<const double> irregular,
                        std::span<const double> series, TableRange r, Mode mode, std::span<double> modified) {
  const bool additive = mode == Mode::Additive;
  for (long p = r.begin; p < r.end; ++p) {
    const double w = weights[p];
    const double o = series[p];
    // A full weight keeps the value exactly, whatever the irregular.
    if (w == 100.0) {
      modified[p] = o;
    } else if (additive) {
      modified[p] = o - (1.0 - w / 100.0) * irregular[p];
    } else {
      modified[p] = (w / 100.0 + (100.0 - w) / irregular[p]) * o;
    }
  }
}

void d9_modified_si_ratios(std::span<const double> modified_series, std::span<const double> trend,
                           std::span<const double> d8, TableRange r, Mode mode, std::span<double> d9,
                           std::span<double> changed) {
  fill_missing(d9);
  fill_missing(changed);
  remove_component(modified_series, trend, r, mode, d9);
  for (long p = r.begin; p < r.end; ++p)
    if (d9[p] != d8[p]) changed[p] = d9[p];
}

void d11_seasonally_adjusted(const AdjustmentOptions& o, std::span<const double> series,
                             std::span<const double> factors, std::span<const double> summary_series,
                             TableRange range, std::span<double> d11) {
  if (o.summary) {
    std::copy(summary_series.begin(), summary_series.end(), d11.begin());
  } else {
    remove_component(series, factors, range, o.mode, d11);
  }
}

HendersonChoice d12_trend_cycle(const AdjustmentOptions& o, std::span<const double> modified_series,
                                               std::span<const double> factors, TableRange r,
                                               std::span<double> trend, std::span<double> scratch) {
  if (o.summary) {
    const std::span<const double> from = part(modified_series, r);
    std::copy(from.begin(), from.end(), scratch.begin() + r.begin);
  } else {
    remove_component(modified_series, factors, r, o.mode, scratch);
  }
  return henderson(o, scratch, r, trend, TrendPass::Later);
}

void year_ahead_seasonal_factors(std::span<const double> factors, TableRange r, Frequency frequency,
                                 std::span<double> out) {
  fill_missing(out);
  const std::span<const double> known = part(factors, r);
  std::copy(known.begin(), known.end(), out.begin() + r.begin);
  const long m = periods_per_year(frequency);
  for (long j = 0; j < m; ++j) out[r.end + j] = (3.0 * factors[r.end + j - m] - factors[r.end + j - 2 * m]) * 0.5;
}

}  // namespace x11sa
