// The report of the trading-day regression (B15, C15), the figures it shares
// with the OUTTDR= data set, and the list of prior daily weights.
#pragma once

#include <array>
#include <optional>

#include "core/trading_day.h"
#include "host/ods.h"
#include "x11sa/options.h"
#include "x11sa/tables.h"

namespace x11sa {

inline constexpr std::array<const char*, 7> kDayNames = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                         "Friday", "Saturday", "Sunday"};
inline constexpr std::array<const char*, 4> kMonthLengthNames = {"31-Day-Month", "30-Day-Month", "29-Day-Month",
                                                                 "28-Day-Month"};

// One weekday of the regression.
struct TradingDayRow {
  double combined_weight = 0;  // prior weight + coefficient
  double prior_weight = 0;
  double coefficient = 0;
  double standard_error = 0;
  // t of the hypothesis that the combined weight is 1 (multiplicative; the
  // coefficient is 0 when additive), and that the coefficient is 0; both 0
  // without a standard error.
  double t_weight = 0;
  double t_coefficient = 0;
  // Their two-sided probabilities; missing with too few months for the test.
  double prob_weight = 0;
  double prob_coefficient = 0;
};

// The prior daily weights a regression was run with: PDWEIGHTS, or the
// neutral weights (1 each, 0 when additive).
[[nodiscard]] DailyWeights prior_weights_or_neutral(const std::optional<DailyWeights>& prior, Mode mode);

// The weekday rows, Monday first, of a regression run on the series
// adjusted by the prior daily weights `prior`.
[[nodiscard]] std::array<TradingDayRow, 7> trading_day_rows(const B15Regression& regression,
                                                            const DailyWeights& prior, Mode mode);

// Prints the report of the regression of `table` (B15 or C15) in three
// tables: the weekday rows, the analysis of variance, and the standard
// errors of a month's factor by month length.
void print_trading_day_regression(OdsManager& ods, Table table, const B15Regression& regression,
                                  const DailyWeights& prior, Mode mode);

// The prior daily weights as the extended flows list them before A4: a
// line per day with its weight.
void print_prior_daily_weights_list(OdsManager& ods, const DailyWeights& weights);

}  // namespace x11sa
