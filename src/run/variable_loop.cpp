#include "run/variable_loop.h"

#include <algorithm>

#include <fmt/format.h>

#include "core/prior_adjustment.h"
#include "core/trading_day.h"
#include "data/out_columns.h"
#include "host/dates.h"
#include "host/exit.h"
#include "host/host.h"
#include "host/message_ids.h"
#include "pipeline/flows.h"
#include "report/preface.h"
#include "run/flow_output.h"
#include "run/outsum_rows.h"
#include "run/sliding_spans.h"

namespace x11sa {

namespace {

// The automatic model choice needs five years of observations.
constexpr long kAutoChoiceYears = 5;

// The page title of a variable: its name, its label when it has one, and
// the BY group, as every page should say which group it shows.
void set_page_title(Host& host, const std::string& name, const std::string& label, const std::string& group) {
  std::string title = label.empty() ? msgtext(text_id::kVariablePageTitle, name)
                                    : msgtext(text_id::kVariablePageTitleWithLabel, name, label);
  if (!group.empty()) title += " (" + group + ")";
  host.ods().set_page_title(std::move(title));
}

// The output group of the variable in process.
class VariableGroup {
 public:
  VariableGroup(Host& host, const std::string& name) : host_(host), open_(host.ods().active()) {
    if (open_) host.ods().open_group(name, msgtext(text_id::kVariableGroup, name));
  }
  ~VariableGroup() noexcept(false) {
    if (open_ && std::uncaught_exceptions() == 0) host_.ods().close_group();
  }
  VariableGroup(const VariableGroup&) = delete;
  VariableGroup& operator=(const VariableGroup&) = delete;

 private:
  Host& host_;
  bool open_;
};

// The public part of what the extension did.
ArimaSummary summary_of(const ArimaOutcome& outcome) {
  ArimaSummary s;
  s.status = outcome.status;
  s.model = outcome.model;
  s.transform = outcome.transform;
  s.estimates = outcome.estimates;
  if (outcome.chosen) s.criteria = outcome.candidates[static_cast<std::size_t>(*outcome.chosen)].criteria;
  s.forecasts = outcome.forecasts;
  s.backcasts = outcome.backcasts;
  return s;
}

// The level of a variable adjusted: its reading's, or a warning that the
// extension gave.
int adjusted_level(const VariableReading& v, const ArimaOutcome& extension) {
  const bool warned = std::any_of(extension.messages.begin(), extension.messages.end(),
                                  [](const ArimaMessage& m) { return m.severity >= Severity::Warning; });
  return std::max(v.exit_level, warned ? exit_level::kWarning : exit_level::kNormal);
}

Flow flow_of(const AdjustmentOptions& m) {
  if (!m.arima) return Flow::Plain;
  return m.tdregr == TradingDayRegression::None ? Flow::Extended : Flow::ExtendedWithTradingDay;
}

}  // namespace

SeriesLayout layout_of(const StepOptions& o, const GroupData& group, const VariableReading& v) {
  const AdjustmentOptions& m = o.method;
  const int p = m.periods();
  SeriesLayout l;
  l.frequency = m.frequency;
  l.rows = group.calendar.rows + (m.year_ahead ? p : 0);
  l.backcasts = m.arima ? p * m.arima->backcast_years : 0;
  l.forecasts = m.arima ? p * m.arima->forecast_years : 0;
  l.length = l.rows + l.backcasts + l.forecasts;
  l.leading_missing = v.leading_missing;
  l.observations = v.observations;
  l.first_year = v.first_year;
  l.first_period = v.first_period;
  l.last_year = v.last_year;
  l.last_period = v.last_period;
  l.first_date = v.first_date;
  l.last_date = v.last_date;
  l.year_ahead = m.year_ahead;
  return l;
}

OutRows out_rows_of(const StepOptions& o, const GroupData& group) {
  const SeriesLayout rows = layout_of(o, group, VariableReading{});
  return OutRows{out_rows(rows, o.outextrap), o.outextrap ? rows.backcasts : 0};
}

void set_group_series(const StepOptions& o, GroupData& data, GroupSeries& g) {
  const AdjustmentOptions& m = o.method;
  const GroupCalendar& calendar = data.calendar;
  const SeriesLayout rows = layout_of(o, data, VariableReading{});
  const auto n = static_cast<std::size_t>(rows.length);
  g.first_year = calendar.first_year;
  g.first_period = calendar.first_period;
  g.prior_factors.assign(n, kMissing);
  if (o.vars.prior_factors) {
    std::fill(g.prior_factors.begin(), g.prior_factors.end(), 100.0);
    data.values.read_prior_factors(
        std::span<double>(g.prior_factors)
            .subspan(static_cast<std::size_t>(rows.backcasts), static_cast<std::size_t>(calendar.rows)));
  }
  g.prior_td_factors.assign(n, kMissing);
  if (m.prior_daily_weights)
    a4_prior_trading_day_factors(
        *m.prior_daily_weights, calendar.first_year - m.arima.value_or(ArimaOptions{}).backcast_years,
        calendar.first_period, m.mode, m.length_of_month ? MonthDivisor::MeanMonth : MonthDivisor::LeapAveragedFebruary,
        g.prior_td_factors);
  g.month_types.assign(n + 24, short{-999});
  if (m.tdregr != TradingDayRegression::None && m.monthly())
    month_types(calendar.first_year, std::span<short>(g.month_types).first(n + 12));
}

std::vector<VariableOutcome> adjust_group(const GroupTarget& target, GroupData& group, long number,
                                          const std::string& label, ChainWorkspace& work) {
  const StepOptions& o = target.options;
  Host& host = target.host;
  set_group_series(o, group, work.group);
  const Flow group_flow = flow_of(o.method);
  std::vector<VariableOutcome> outcomes(group.variables.size());
  for (std::size_t k = 0; k < group.variables.size(); ++k) {
    const VariableReading& v = group.variables[k];
    outcomes[k].index = k;
    if (!v.adjustable) continue;
    host.log().set_variable(v.name);
    Flow flow = group_flow;
    bool extension_missing = false;
    bool too_short = false;
    if (o.method.arima && !o.method.arima->model) {
      if (v.observations < kAutoChoiceYears * o.method.periods()) {
        too_short = true;
        if (flow != Flow::Plain) host.msg(message_id::kTooShortForModelChoice, v.name);
        flow = Flow::Plain;
      }
      if (flow == Flow::Plain && o.outextrap) extension_missing = true;
    }
    const SeriesLayout layout = layout_of(o, group, v);
    work.tables.reset(layout.length);
    group.values.read_series(k, work.tables[Table::A1].subspan(static_cast<std::size_t>(layout.backcasts),
                                                               static_cast<std::size_t>(group.calendar.rows)));
    VariableGroup output_group(host, v.name);
    if (o.prints_anything || o.print.arima != ReportLevel::None) {
      std::string variable_label;
      if (k < o.vars.analysis.size() && !target.input_variables.empty())
        variable_label = target.input_variables[static_cast<std::size_t>(o.vars.analysis[k])].label;
      set_page_title(host, v.name, variable_label, label);
      if (o.prints_anything)
        print_preface(host.ods(), host.listing().linesize(), v.name, variable_label,
                      SeriesCalendar{layout.frequency, v.first_year, v.first_period, v.observations}, o.method,
                      o.print);
    }
    FlowOutput out(target, k, v.name, layout, extension_missing);
    VariableChain chain{o, o.method, layout, work.tables, work.group, out, host, work.last_trend};
    run_flow(chain, flow);
    VariableOutcome& found = outcomes[k];
    found.adjusted = true;
    if (chain.d8_tested) found.seasonality = chain.d8_tests;
    found.d9a = chain.d9a;
    found.e4 = std::move(chain.e4);
    found.f2 = chain.f2;
    found.trend = work.last_trend;
    if (o.method.arima) {
      if (too_short) {
        found.arima.emplace().status = ArimaStatus::SeriesTooShort;
      } else {
        found.arima = summary_of(chain.extension_outcome);
      }
    }
    found.trading_day_applied = td_applied(chain);
    found.exit_level = adjusted_level(v, chain.extension_outcome);
    if (o.method.spans) {
      found.spans = run_sliding_spans(target, chain, v.name, number);
      if (found.spans->spans == 0) found.exit_level = std::max(found.exit_level, exit_level::kWarning);
    }
  }
  host.log().set_variable({});
  write_outsum_rows(o, group, outcomes, target.datasets);
  return outcomes;
}

}  // namespace x11sa
