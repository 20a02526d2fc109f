// The month-by-year tables in which the A to F tables are printed: a row per
// year, a column per month or quarter, a statistic per row and, for most
// layouts, a summary row and a footnote.
#pragma once

#include <optional>
#include <span>
#include <string>

#include "core/henderson.h"
#include "host/ods.h"
#include "records/series_calendar.h"
#include "x11sa/options.h"
#include "x11sa/tables.h"

namespace x11sa {

// The statistics of a table treat a value within this distance of zero as
// zero, so that rounding residue never prints as "-0.000".
inline constexpr double kStatisticFuzz = 1e-8;

// What the tables of a variable share besides their values.
struct MonthYearTableOptions {
  Mode mode = Mode::Multiplicative;  // deviations are taken from 100, or from 0 when additive
  std::optional<int> decimals;       // NDEC=; none: chosen from each table's values
  bool prior_adjusted = false;       // PDWEIGHTS or PMFACTOR=: B1 is titled the prior-adjusted series
  bool length_of_month = false;      // LENGTH: A4 is titled with the length-of-month adjustment

  // The options of a step whose prior monthly factors come from a variable
  // when `prior_factors` is set.
  [[nodiscard]] static MonthYearTableOptions of(const AdjustmentOptions& method, const PrintOptions& print,
                                                bool prior_factors) {
    return {method.mode, print.decimals, method.prior_daily_weights.has_value() || prior_factors,
            method.length_of_month};
  }
};

// Prints `values`, whose first value falls on the calendar's first period
// (calendar.count is not consulted), as the output table of `table`: named
// for it, titled, laid out and summed as the table catalogue says. Levels
// have yearly totals, ratios and factors yearly averages, irregulars the
// yearly root mean square deviation from 100 (0 when additive); each has a
// summary row (period averages, or deviations for irregulars) and, when
// the table has values, a footnote with the total of every value and, but
// for ratios, their mean and deviation. Weights and plain tables have the
// values only. `trend` names the Henderson trend in the titles of B7, C7,
// D7 and D12; without one (the quarterly trends) they show a length of 0. The cell decimals: NDEC=, or
// none for whole numbers, else as many as keep about seven significant
// digits, at most three; the statistics have at least three.
void print_month_year_table(OdsManager& ods, Table table, std::span<const double> values,
                            const SeriesCalendar& calendar, const MonthYearTableOptions& options,
                            const std::optional<HendersonChoice>& trend = std::nullopt);

// A table that holds only `note`, printed in place of table `table`.
void print_note_in_place_of_table(OdsManager& ods, Table table, const std::string& note);

}  // namespace x11sa
