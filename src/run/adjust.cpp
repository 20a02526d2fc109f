#include "x11sa/adjust.h"

#include <algorithm>

#include <fmt/format.h>

#include "host/dates.h"
#include "host/exit.h"
#include "host/host.h"
#include "io/x11in.h"
#include "records/exit_levels.h"
#include "records/table_catalogue.h"
#include "run/adjust_internal.h"
#include "run/legacy_options.h"
#include "run/ornqx11.h"
#include "run/x11com.h"
#include "statements/option_checks.h"

namespace x11sa {

namespace {

// The options of a step that adjusts one series and prints nothing; its
// problems are logged and raise `level`.
StepOptions series_step(std::span<const double> values, const SeriesOptions& options, Host& host, int& level) {
  auto report = [&](const OptionProblem& p) {
    host.log().message(p.error() ? Severity::Error : Severity::Warning, p.text);
    level = std::max(level, p.exit_level);
  };
  StepOptions step;
  const AdjustmentOptions& m = options.method;
  const bool monthly = m.monthly();
  // START= and END= of the statements: the first and the last period.
  const int month = monthly ? options.start_period : 3 * (options.start_period - 1) + 1;
  const bool period_ok = options.start_period >= 1 && options.start_period <= m.periods();
  const double first = period_ok ? zmdy(month, 1, options.start_year) : kMissing;
  const long n = static_cast<long>(values.size());
  const double last = is_missing(first) ? kMissing : zintnx(monthly ? "MONTH" : "QTR", first, n - 1);
  for (const auto& [name, date] : {std::pair{"START", first}, std::pair{"END", last}}) {
    if (!is_missing(date)) continue;
    host.msg(monthly ? 34 : 35, name, fmt::format("{}/{}", options.start_year, options.start_period));
    level = std::max(level, exit_level::kStatement);
  }
  if (!is_missing(first) && !is_missing(last)) {
    step.start = first;
    step.end = last;
    if (first > last) {
      host.msg(16);
      level = std::max(level, exit_level::kOptionValue);
    }
  }
  for (const OptionProblem& p : check_options(m)) report(p);
  step.method = detail::settled_options(m);
  step.print.noprint = true;
  step.print.printout = PrintLevel::None;
  step.print.charts = ChartLevel::None;
  step.print.arima = ReportLevel::None;
  step.print.spans = ReportLevel::None;
  // The series in memory: the values are variable 0, the prior factors variable 1.
  step.vars.analysis = {0};
  if (!options.prior_factors.empty()) step.vars.prior_factors = 1;
  // Every table is captured, in the order of OUT=; the trading-day tables
  // only for monthly series.
  for (int k = 0; k < kOutTableCount; ++k) {
    const Table t = out_table(k);
    const bool trading_day = t == Table::B14 || t == Table::B16 || t == Table::B18 || t == Table::B19 ||
                             t == Table::C14 || t == Table::C16 || t == Table::C18 || t == Table::C19;
    if (monthly || !trading_day) step.out_names[static_cast<std::size_t>(k)] = {std::string(table_name(t))};
  }
  return step;
}

}  // namespace

void prepare_series(X11COM* Xp, std::span<const double> values, const SeriesOptions& options) {
  Host& host = *Xp->host;
  const bool pmf = !options.prior_factors.empty();
  if (pmf && options.prior_factors.size() != values.size()) {
    host.log().error(fmt::format("{} prior factors were given for {} values; give one per value.",
                                 options.prior_factors.size(), values.size()));
    xexit(exit_level::kResource);
  }
  int options_level = exit_level::kNormal;
  const StepOptions step = series_step(values, options, host, options_level);
  raise_level(Xp, options_level);
  if (Xp->exitlvl > exit_level::kWarning) xexit(Xp->exitlvl);
  apply_step_options(step, Xp);

  VAR v;
  v.varno = 0;
  v.v_vs = "series";
  Xp->vars = {v};
  const std::size_t limit = host.settings().util_memory_limit;
  Xp->util1 = std::make_unique<UtilFile>(limit);
  Xp->util2 = std::make_unique<UtilFile>(limit);
  Xp->util3 = std::make_unique<UtilFile>(limit);

  const int parse_level = Xp->exitlvl;
  Xp->bycnt = 1;
  x11in_begin(Xp);
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (pmf) Xp->work.pmf_temp = options.prior_factors[i];
    if (x11in_row(Xp, static_cast<long>(i) + 1, &values[i]) == 2) break;
  }
  x11in_end(Xp);
  if (Xp->exitlvl > exit_level::kWarning) xexit(Xp->exitlvl);
  if (check_bygroup(Xp) != 0) {
    host.log().error("The series cannot be adjusted.");
    xexit(std::max(Xp->exitlvl, exit_level::kDataError));
  }
  for (int k = 0; k < kOutTables; ++k) {
    Xp->table_cnt[k] = static_cast<int>(step.out_names[static_cast<std::size_t>(k)].size());
    Xp->vars[0].no_tbls += Xp->table_cnt[k];
  }
  Xp->exitlvl = std::max(Xp->exitlvl, parse_level);
}

std::span<const double> AdjustedSeries::table(std::string_view name) const {
  for (std::size_t i = 0; i < names.size(); ++i)
    if (names[i] == name) return std::span<const double>(values).subspan(i * length, length);
  return {};
}

AdjustedSeries adjust_series(std::span<const double> values, const SeriesOptions& options) {
  AdjustedSeries result;
  Host host(TextOut(&result.log), TextOut(), TextOut(), HostSettings{});
  X11COM com;
  X11COM* Xp = &com;
  Xp->host = &host;
  try {
    prepare_series(Xp, values, options);
    const int level = Xp->exitlvl;
    result.length = static_cast<std::size_t>(Xp->array_size);
    result.values.reserve(static_cast<std::size_t>(Xp->vars[0].no_tbls) * result.length);
    Xp->captured_tables = &result.values;
    x11run(Xp);
    result.henderson = Xp->last_trend.length;
    result.ic_ratio = Xp->last_trend.ic_ratio;
    for (int k = 0; k < kOutTables; ++k)
      if (Xp->table_cnt[k] != 0) result.names.emplace_back(table_name(out_table(k)));
    if (result.values.size() != result.names.size() * result.length) xebug_exit("a table of the series is missing");
    result.exit_level = std::max(level, Xp->exitlvl);
  } catch (const StepExit& e) {
    if (!e.text().empty()) host.log().error(fmt::format("Internal error: {}", e.text()));
    result.exit_level = std::max(e.level(), Xp->exitlvl);
    result.names.clear();
    result.values.clear();
    result.length = 0;
  }
  return result;
}

}  // namespace x11sa
