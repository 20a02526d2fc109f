#include "run/sliding_spans.h"

#include <new>
#include <vector>

#include <fmt/format.h>

#include "host/exit.h"
#include "host/host.h"
#include "host/message_ids.h"
#include "pipeline/flows.h"
#include "records/exit_levels.h"
#include "report/spans.h"
#include "spans/layout.h"
#include "spans/statistics.h"

namespace x11sa {

namespace {

// Where the span `extent` of the variable's observations lies: a series of
// its own, never extended, without a year ahead.
SeriesLayout span_layout_of(const SeriesLayout& variable, const SeriesCalendar& calendar, const SpanExtent& extent) {
  SeriesLayout l = variable;
  l.forecasts = 0;
  l.leading_missing = variable.leading_missing + extent.first;
  l.observations = extent.end - extent.first;
  l.first_year = calendar.year_of(extent.first);
  l.first_period = calendar.period_of(extent.first);
  l.last_year = calendar.year_of(extent.end - 1);
  l.last_period = calendar.period_of(extent.end - 1);
  l.first_date = extent.first_date;
  l.last_date = extent.last_date;
  l.year_ahead = false;
  return l;
}

// Runs tables A to D on a span, silently, and keeps what the spans compare.
SpanEstimates adjust_span(const VariableChain& variable, const SeriesLayout& layout) {
  NoChainOutput nothing;
  AdjustmentOptions method = variable.adjustment;
  method.year_ahead = false;
  VariableChain span{variable.options, method, layout, variable.tables, variable.group, nothing,
                     variable.host, variable.last_trend};
  run_silent_chain(span, plain_stretch(layout));
  const auto b = static_cast<std::size_t>(layout.begin());
  const auto e = static_cast<std::size_t>(layout.end());
  ChainTables& t = variable.tables;
  SpanEstimates out;
  out.seasonal.assign(t[Table::D10].begin() + b, t[Table::D10].begin() + e);
  out.adjusted.assign(t[Table::D11].begin() + b, t[Table::D11].begin() + e);
  if (method.monthly() && method.tdregr != TradingDayRegression::None)
    out.trading_day.assign(t[Table::C18].begin() + b, t[Table::C18].begin() + e);
  const D8Tests& tests = span.d8_tests;
  out.tests.stable_f = tests.stable.f;
  out.tests.stable_probability = tests.stable.probability;
  out.tests.moving_f = tests.moving.f;
  out.tests.moving_probability = tests.moving.probability;
  out.tests.verdict = tests.combined.verdict;
  return out;
}

[[noreturn]] void out_of_memory(Host& host, const std::string& name, long group) {
  host.log().error(
      fmt::format("Not enough memory for the sliding spans analysis of variable {} in BY group {}.", name, group));
  xexit(exit_level::kResource);
}

SpansComparison comparison_of(const SeriesComparison& c) {
  SpansComparison s;
  s.compared = c.takes_part;
  s.cutoff = c.cutoff;
  s.tested = c.tested;
  s.exceeding = c.exceeding;
  s.sign_changes = c.sign_changes;
  s.sign_changes_exceeding = c.sign_changes_exceeding;
  s.turning_points = c.turning_points;
  s.turning_points_exceeding = c.turning_points_exceeding;
  return s;
}

SpansSummary summary_of(const SpansOutcome& outcome) {
  SpansSummary s;
  s.spans = outcome.layout.count;
  s.span_length = outcome.layout.length;
  s.seasonal_factors = comparison_of(outcome.of(SpanSeries::SeasonalFactors));
  s.trading_day_factors = comparison_of(outcome.of(SpanSeries::TradingDayFactors));
  s.adjusted_series = comparison_of(outcome.of(SpanSeries::AdjustedSeries));
  s.period_changes = comparison_of(outcome.of(SpanSeries::PeriodChanges));
  s.year_changes = comparison_of(outcome.of(SpanSeries::YearChanges));
  return s;
}

}  // namespace

SpansSummary run_sliding_spans(const GroupTarget& target, const VariableChain& variable, const std::string& name,
                               long group) {
  const StepOptions& o = variable.options;
  const SeriesLayout& v = variable.layout;
  const SeriesCalendar calendar{v.frequency, v.first_year, v.first_period, v.observations};
  const SpanLayout layout = span_layout(calendar, longest_seasonal_filter(variable.adjustment.curves));
  if (layout.status == SpanLayoutStatus::TooShort) {
    target.host.msg(message_id::kSpansTooShort, name);
    return {};
  }
  // The series as read, before the reruns reuse the variable's vectors.
  const std::span<const double> a1 = variable.tables[Table::A1];
  const std::vector<double> original(a1.begin() + v.begin(), a1.begin() + v.end());
  std::vector<SpanEstimates> spans;
  try {
    spans.resize(static_cast<std::size_t>(layout.count));
    // Newest first, as they always were rerun.
    for (int i = layout.count - 1; i >= 0; --i) {
      const SpanExtent& extent = layout.spans[static_cast<std::size_t>(i)];
      spans[static_cast<std::size_t>(i)] = adjust_span(variable, span_layout_of(v, calendar, extent));
    }
  } catch (const std::bad_alloc&) {
    out_of_memory(target.host, name, group);
  }
  if (o.outspan) target.datasets.write_outspan(name, layout, spans, original);
  SpansSummary summary;
  summary.spans = layout.count;
  summary.span_length = layout.length;
  if (o.prints_anything || o.keep_diagnostics) {
    const SpansOptions& so = *o.method.spans;
    SpanComparisonOptions options;
    options.mode = o.method.mode;
    options.cutoff = so.cutoff;
    options.td_cutoff = so.td_cutoff;
    SpansOutcome outcome;
    try {
      outcome = compare_spans(layout, std::move(spans), options);
    } catch (const std::bad_alloc&) {
      out_of_memory(target.host, name, group);
    }
    SpanReportSettings settings;
    settings.reports = SpanReportSet(o.span_reports);
    settings.variable = name;
    settings.decimals = o.print.span_decimals;
    if (o.prints_anything) print_sliding_spans(target.host.ods(), outcome, settings);
    summary = summary_of(outcome);
  }
  return summary;
}

}  // namespace x11sa
