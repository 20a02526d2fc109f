#include "run/series_step.h"

#include <algorithm>
#include <utility>

#include <fmt/format.h>

#include "host/dates.h"
#include "host/host.h"
#include "host/message_ids.h"
#include "records/exit_levels.h"
#include "records/table_catalogue.h"
#include "statements/option_checks.h"
#include "x11sa/missing.h"

namespace x11sa {

SeriesStep series_step(std::size_t values, const SeriesOptions& options, Host& host) {
  SeriesStep result;
  int& level = result.exit_level;
  StepOptions& step = result.options;
  const AdjustmentOptions& m = options.method;
  const bool monthly = m.monthly();
  // START= and END= of the statements: the first and the last period.
  const int month = monthly ? options.start_period : 3 * (options.start_period - 1) + 1;
  const bool period_ok = options.start_period >= 1 && options.start_period <= m.periods();
  const double first = period_ok ? date_from_mdy(month, 1, options.start_year) : kMissing;
  const long n = static_cast<long>(values);
  const double last = is_missing(first) ? kMissing : shifted_interval_start(monthly ? "MONTH" : "QTR", first, n - 1);
  for (const auto& [name, date] : {std::pair{"START", first}, std::pair{"END", last}}) {
    if (!is_missing(date)) continue;
    host.msg(monthly ? message_id::kNotAMonth : message_id::kNotAQuarter, name,
             fmt::format("{}/{}", options.start_year, options.start_period));
    level = std::max(level, exit_level::kStatement);
  }
  if (!is_missing(first) && !is_missing(last)) {
    step.start = first;
    step.end = last;
    if (first > last) {
      host.msg(message_id::kStartAfterEnd);
      level = std::max(level, exit_level::kOptionValue);
    }
  }
  for (const OptionProblem& p : check_options(m)) {
    host.log().message(p.error() ? Severity::Error : Severity::Warning, p.text);
    level = std::max(level, p.exit_level);
  }
  step.method = detail::settled_options(m);
  if (options.listing) {
    step.print = options.listing->print;
  } else {
    step.print.noprint = true;
  }
  if (step.print.noprint) {
    step.print.printout = PrintLevel::None;
    step.print.charts = ChartLevel::None;
    step.print.arima = ReportLevel::None;
    step.print.spans = ReportLevel::None;
    step.print.tables.reset();
  }
  step.prints_anything = prints_anything(step.print);
  if (step.method.spans) step.span_reports = printed_span_reports(step.print, step.method.tdregr);
  // The series in memory: the values are variable 0, the prior factors
  // variable 1.
  step.vars.analysis = {0};
  if (!options.prior_factors.empty()) step.vars.prior_factors = 1;
  // The tables asked for (or every table) are captured, in the order of
  // OUT=; the trading-day tables only for monthly series.
  for (int k = 0; k < kOutTableCount; ++k) {
    const Table t = out_table(k);
    const bool trading_day = t == Table::B14 || t == Table::B16 || t == Table::B18 || t == Table::B19 ||
                             t == Table::C14 || t == Table::C16 || t == Table::C18 || t == Table::C19;
    const bool wanted = options.tables.empty() || std::find(options.tables.begin(), options.tables.end(), t) !=
                                                      options.tables.end();
    if (wanted && (monthly || !trading_day)) step.out_names[static_cast<std::size_t>(k)] = {std::string(table_name(t))};
  }
  return result;
}

}  // namespace x11sa
