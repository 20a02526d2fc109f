#include "diag/f2_summary.h"

#include "diag/summary_measures.h"

namespace x11sa {

namespace {

// F2.B: the relative contributions of the components to the squared change.
void shares(F2Summary& f, bool monthly) {
  for (std::size_t k = 0; k < static_cast<std::size_t>(f.spans); ++k) {
    const double i = f.irregular.mean_abs_change_squared[k];
    const double c = f.trend_cycle.mean_abs_change_squared[k];
    const double s = f.seasonal.mean_abs_change_squared[k];
    const double p = f.prior.mean_abs_change_squared[k];
    const double td = f.trading_day.mean_abs_change_squared[k];
    double total = i + c + s;
    if (monthly) total += p + td;
    const double to_percent = total > 0.0 ? 100.0 / total : 0.0;
    f.share_irregular[k] = i * to_percent;
    f.share_trend_cycle[k] = c * to_percent;
    f.share_seasonal[k] = s * to_percent;
    f.share_prior[k] = monthly ? p * to_percent : kMissing;
    f.share_trading_day[k] = monthly ? td * to_percent : kMissing;
    f.total[k] = total > 0.0 ? 100.0 : 0.0;
    f.total_squares[k] = total;
    const double o = f.original.mean_abs_change_squared[k];
    f.ratio[k] = o > 0.0 ? total * 100.0 / o : kMissing;
  }
}

}  // namespace

F2Summary f2_summary(const F2Series& series, const CyclicalDominance& dominance, Frequency frequency, Mode mode) {
  const bool monthly = frequency == Frequency::Monthly;
  F2Summary f;
  f.spans = periods_per_year(frequency);
  const auto stats = [&](std::span<const double> s) { return span_statistics(s, f.spans, mode); };
  f.original = stats(series.original);
  if (monthly && !series.prior.empty()) f.prior = stats(series.prior);
  if (monthly && !series.trading_day.empty()) f.trading_day = stats(series.trading_day);
  f.seasonal = stats(series.seasonal);
  f.adjusted = stats(series.adjusted);
  f.trend_cycle = dominance.trend_cycle;
  f.irregular = dominance.irregular;
  f.modified_original = stats(series.modified_original);
  f.modified_adjusted = stats(series.modified_adjusted);
  f.modified_irregular = stats(series.modified_irregular);
  const auto f1 = series.f1.subspan(static_cast<std::size_t>(dominance.first),
                                    static_cast<std::size_t>(dominance.last - dominance.first));
  f.mcd_average = stats(f1);
  shares(f, monthly);
  f.run_adjusted = average_duration_of_run(series.adjusted);
  f.run_irregular = average_duration_of_run(series.irregular);
  f.run_trend_cycle = average_duration_of_run(series.trend_cycle);
  f.run_mcd_average = average_duration_of_run(f1);
  f.ic_ratio.fill(kMissing);
  for (std::size_t k = 0; k < static_cast<std::size_t>(f.spans); ++k) {
    const double c = f.trend_cycle.mean_abs_change[k];
    if (c > 0.0) f.ic_ratio[k] = f.irregular.mean_abs_change[k] / c;
  }
  f.mcd = dominance.mcd;
  return f;
}

}  // namespace x11sa
