// Seasonal adjustment of one series held in memory, with the same options,
// checks and tables as a PROC X11 step.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "x11sa/arima_result.h"
#include "x11sa/options.h"
#include "x11sa/seasonality_tests.h"
#include "x11sa/spans_result.h"
#include "x11sa/summary_measures.h"

namespace x11sa {

// What the listing of a series shows: the print and table choices of the
// statements (NOPRINT, PRINTOUT=, CHARTS=, TABLES, NDEC=, the ARIMA and SSPAN
// print levels) and the size of its lines and pages.
struct ListingOptions {
  PrintOptions print;
  int linesize = 132;  // 64 .. 256
  int pagesize = 60;   // 15 .. 32767
};

// One series: the method's options, where it starts and its prior factors.
struct SeriesOptions {
  AdjustmentOptions method;
  // The series' name, as the messages and the listing show it.
  std::string name = "series";
  // Period of the first value: its year and its month (1..12) or quarter (1..4).
  int start_year = 2000;
  int start_period = 1;
  // Prior monthly factors, one per value (percent, or series units when additive); empty for none.
  std::vector<double> prior_factors;
  // A listing of the adjustment, when wanted; none prints nothing.
  std::optional<ListingOptions> listing;
  // The tables returned; empty for every table the series has.
  std::vector<Table> tables;
  // The tests for seasonality, D9A, E4, F2 and the sliding spans'
  // comparisons are computed; without them only the tables come back, a
  // quarter sooner.
  bool diagnostics = true;
};

enum class MessageSeverity { Note, Warning, Error };

// One line of the log.
struct LogMessage {
  MessageSeverity severity = MessageSeverity::Note;
  std::string text;  // without its "NOTE: ", "WARNING: " or "ERROR: "
};

struct AdjustedSeries {
  // 0 normal, up to 4 warnings, above 4 the series was not adjusted (see log).
  int exit_level = 0;
  // The log as text, and the same lines by severity.
  std::string log;
  std::vector<LogMessage> messages;
  // The listing, when the options ask for one.
  std::string listing;
  // The tables A1 ... F1 that exist for the series, in table order, each
  // `length` values, one per period from the first value on (with
  // year_ahead one year more: C16, C18 and D10 fill it, the others are
  // missing there). Empty when the series was not adjusted.
  std::vector<std::string> names;
  std::size_t length = 0;
  std::vector<double> values;  // names.size() tables of `length` values, one after the other
  // Henderson length used for D12, and the I/C ratio that chose it (0 for
  // a quarterly series, whose trend is not chosen by the ratio).
  int henderson = 0;
  double ic_ratio = 0;
  // The diagnostics of the adjustment, as the listing prints them: the tests
  // for seasonality on D8 (stable and moving F tests, Kruskal-Wallis, the
  // combined test's verdict), the moving-seasonality ratios D9A, the annual
  // totals E4 and the summary measures F2 (among them the I/C ratio by
  // span, the average duration of run and the months for cyclical
  // dominance). None when the series was not adjusted.
  std::optional<D8Tests> seasonality;
  std::optional<D9aRatios> d9a;
  std::optional<E4Ratios> e4;
  std::optional<F2Summary> f2;
  // What the ARIMA extension did, when the options ask for one: the series
  // extended, or why not, with the model and its estimates.
  std::optional<ArimaSummary> arima;
  // What the sliding spans found, when the options ask for them.
  std::optional<SpansSummary> spans;

  // The values of one table ("D11"); empty when the series has no such table.
  [[nodiscard]] std::span<const double> table(std::string_view name) const;
};

// Adjusts `values` (missing values as x11sa::kMissing). The options pass
// check_options(); its problems go to the log in the statements' words.
AdjustedSeries adjust_series(std::span<const double> values, const SeriesOptions& options);

}  // namespace x11sa
