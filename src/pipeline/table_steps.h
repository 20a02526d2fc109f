// The steps of the table chain: each computes one table (or a family of
// tables that share the computation: B5, C5 and D5, say) from the table
// vectors it is given, with the options and the range of positions it works
// on. The vectors are whole table vectors; a step writes the positions it
// says and leaves the others as they are unless it says otherwise.
#pragma once

#include <optional>
#include <span>

#include "core/henderson.h"
#include "core/seasonal_factors.h"
#include "core/trading_day.h"
#include "x11sa/options.h"

namespace x11sa {

// Positions [begin, end) of the table vectors; position `begin` is period
// `period` (0 = January or the first quarter) of its year.
struct TableRange {
  long begin = 0;
  long end = 0;
  int period = 0;

  [[nodiscard]] long size() const noexcept { return end - begin; }
};

// The months of a vector of trading-day factors: position 0 of the vector
// is month `first_month` counted from January (0) of `first_year`; factors
// exist for the months before `end_month`, the later positions are missing.
struct FactorMonths {
  int first_year = 0;
  long first_month = 0;
  long end_month = 0;
};

// B1: the prior-adjusted series without the prior trading-day factors on the
// range when there are any (`td_factors` not empty), else all of it copied.
void b1_series(std::span<const double> prior_adjusted, std::span<const double> td_factors, TableRange range,
               Mode mode, std::span<double> b1);

// B2, C2, D2: the preliminary trend, the centred 2x12 (2x4) average of the
// range, or with PTRENDMA=24 (8) the 2x24 (2x8) one of the range less half a
// year at each end; missing elsewhere.
void b2_preliminary_trend(const AdjustmentOptions& options, std::span<const double> series, TableRange range,
                          std::span<double> trend);

// B3, C4, D4, D8: SI ratios on the range, missing elsewhere.
void b3_si_ratios(std::span<const double> series, std::span<const double> trend, TableRange range, Mode mode,
                  std::span<double> si);

// B4 (preliminary) and B9 (final): the SI ratios with their extremes
// replaced (a copy of `si` outside the range), and the replacements alone
// (missing elsewhere), the table printed. The extremes are those of the
// irregular left by seasonal factors of the SI ratios.
void b4_modified_si_ratios(const AdjustmentOptions& options, std::span<const double> si, TableRange range,
                           SeasonalEstimate estimate, std::span<double> modified, std::span<double> replacements,
                           std::span<double> scratch1, std::span<double> scratch2);

// B5, C5, D5 (preliminary) and B10, C10 (final): seasonal factors of the SI
// ratios on the range, missing elsewhere. The preliminary factors are
// computed on the range of the centred averages and carried half a year out
// at each end.
void b5_seasonal_factors(const AdjustmentOptions& options, std::span<const double> si, TableRange range,
                         SeasonalEstimate estimate, std::span<double> factors, std::span<double> scratch);
void b10_seasonal_factors(const AdjustmentOptions& options, std::span<const double> si, TableRange range,
                          SeasonalEstimate estimate, std::span<double> factors, std::span<double> scratch);
// D10: B10, followed with YRAHEADOUT by a year of factors from the last two.
void d10_seasonal_factors(const AdjustmentOptions& options, std::span<const double> si, TableRange range,
                          SeasonalEstimate estimate, std::span<double> factors, std::span<double> scratch);

// B6, B8, B11, B13, B19, C6, C9, C11, C13, C19, D6, D13: `num` without the
// component `den` on the range: their ratio in percent, or difference.
void remove_component(std::span<const double> num, std::span<const double> den, TableRange range, Mode mode,
                      std::span<double> out);

// B7: Henderson trend of the seasonally adjusted series, the first of the
// chain. With TRENDADJ the extremes of its irregular are replaced in
// `seas_adj` by their neighbours and the trend is taken again. Returns the
// length of the (last) trend, with the I/C ratio that chose it for a
// monthly series (a quarterly trend has 5 terms, or 7 with TRENDMA=7).
HendersonChoice b7_trend_cycle(const AdjustmentOptions& options, std::span<double> seas_adj,
                                              TableRange range, std::span<double> trend, std::span<double> scratch1,
                                              std::span<double> scratch2, std::span<double> scratch3);

// C7, D7: Henderson trend of a later pass.
HendersonChoice c7_trend_cycle(const AdjustmentOptions& options, std::span<const double> seas_adj,
                                              TableRange range, std::span<double> trend);

// B17, C17: extreme-value weights of the irregular on the range; outside it
// full weights (monthly) or missing (quarterly).
void b17_extreme_weights(const AdjustmentOptions& options, std::span<const double> irregular, TableRange range,
                         std::span<double> weights, std::span<double> scratch);

// B16 and C16: the daily weights of the regression's coefficients and their
// monthly factors; C16 has a year more with YRAHEADOUT.
DailyWeights b16_trading_day_factors(const AdjustmentOptions& options, const DailyWeights& coefficients,
                                     const FactorMonths& months, std::span<double> factors);
DailyWeights c16_trading_day_factors(const AdjustmentOptions& options, const DailyWeights& coefficients,
                                     const FactorMonths& months, std::span<double> factors);

// B18, C18: the regression's daily weights combined with the prior ones
// (each plus the prior weight less 1) and their monthly factors, a year more
// with YRAHEADOUT; returns the combined weights.
DailyWeights b18_combined_trading_day_factors(const AdjustmentOptions& options, const DailyWeights& regression_weights,
                                              const FactorMonths& months, std::span<double> factors);

// C1, D1: the series modified by the extreme-value weights: a value of
// weight w keeps w percent of its irregular.
void c1_modified_series(std::span<const double> weights, std::span<const double> irregular,
                        std::span<const double> series, TableRange range, Mode mode, std::span<double> modified);

// D9: the SI ratios of the modified series on the range (`d9`, missing
// elsewhere), and those that differ from the D8 ratios (`changed`, the table
// printed, missing elsewhere).
void d9_modified_si_ratios(std::span<const double> modified_series, std::span<const double> trend,
                           std::span<const double> d8, TableRange range, Mode mode, std::span<double> d9,
                           std::span<double> changed);

// D11: the seasonally adjusted series on the range; with SUMMARY the
// `summary_series` itself, all of it.
void d11_seasonally_adjusted(const AdjustmentOptions& options, std::span<const double> series,
                             std::span<const double> factors, std::span<const double> summary_series,
                             TableRange range, std::span<double> d11);

// D12: Henderson trend of the modified series without its seasonal factors
// (the modified series itself with SUMMARY).
HendersonChoice d12_trend_cycle(const AdjustmentOptions& options,
                                               std::span<const double> modified_series,
                                               std::span<const double> factors, TableRange range,
                                               std::span<double> trend, std::span<double> scratch);

// The seasonal factors on the range followed by a year computed from their
// last two years, (3 * last - the one before) / 2; missing elsewhere.
void year_ahead_seasonal_factors(std::span<const double> factors, TableRange range, Frequency frequency,
                                 std::span<double> out);

}  // namespace x11sa
