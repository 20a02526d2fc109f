#include "run/flow_output.h"

#include <fmt/format.h>

#include "data/out_columns.h"
#include "host/exit.h"
#include "host/host.h"
#include "host/message_ids.h"
#include "records/exit_levels.h"
#include "report/arima_reports.h"
#include "report/charts.h"
#include "report/d9a_ratios.h"
#include "report/e4_ratios.h"
#include "report/f2_summary.h"
#include "report/month_year_table.h"
#include "report/seasonality_tests.h"
#include "report/trading_day_regression.h"

namespace x11sa {

namespace {

struct GroupName {
  const char* name;
  int label;
};

GroupName group_name(TableGroup g) {
  switch (g) {
    case TableGroup::A: return {"A_Tables", text_id::kPriorAdjustments};
    case TableGroup::B: return {"B_Tables", text_id::kPreliminaryEstimates};
    case TableGroup::C: return {"C_Tables", text_id::kIntermediateEstimates};
    case TableGroup::D: return {"D_Tables", text_id::kFinalEstimates};
    case TableGroup::E: return {"E_Tables", text_id::kAdjustmentSeries};
    case TableGroup::F: return {"F_Tables", text_id::kSummaryMeasures};
    case TableGroup::Arima: return {"AR_Tables", text_id::kArimaExtension};
    case TableGroup::Charts: return {"Charts", text_id::kCharts};
    case TableGroup::Spans: break;
  }
  return {"S_Tables", text_id::kSlidingSpans};
}

// The prior daily weights as a table of the plain flow.
void print_prior_weights_table(OdsManager& ods, const DailyWeights& weights) {
  ods.open_table("lum.x11.month.a4a", "PriorDailyWgts", msgtext(text_id::kPriorDailyWeights));
  ods.add_column(OdsColumn{"Day", msgtext(text_id::kDay), ColType::Char, -1});
  ods.add_column(OdsColumn{"AdjPriorWgts", msgtext(text_id::kWeight), ColType::Num, 3});
  for (std::size_t d = 0; d < weights.size(); ++d) ods.add_row({std::string(kDayNames[d]), weights[d]});
  ods.close_table();
}

}  // namespace

FlowOutput::FlowOutput(const GroupTarget& target, std::size_t index, std::string name, const SeriesLayout& layout,
                       bool extension_missing)
    : target_(target),
      host_(target.host),
      options_(target.options),
      index_(index),
      name_(std::move(name)),
      layout_(layout),
      extension_missing_(extension_missing) {}

void FlowOutput::open_group(TableGroup group) {
  OdsManager& ods = host_.ods();
  const bool open = ods.active();
  groups_.push_back(open);
  if (open) {
    const GroupName g = group_name(group);
    ods.open_group(g.name, msgtext(g.label));
  }
}

void FlowOutput::close_group() {
  const bool open = !groups_.empty() && groups_.back();
  if (!groups_.empty()) groups_.pop_back();
  if (open) host_.ods().close_group();
}

void FlowOutput::print_table(const PrintedTable& t) {
  const SeriesCalendar calendar{layout_.frequency, t.first_year, t.first_period, static_cast<long>(t.values.size())};
  print_month_year_table(host_.ods(), t.table, t.values, calendar,
                         MonthYearTableOptions::of(options_.method, options_.print,
                                                   options_.vars.prior_factors.has_value()),
                         t.trend);
}

void FlowOutput::print_prior_daily_weights(const DailyWeights& weights, bool as_list) {
  if (as_list) {
    print_prior_daily_weights_list(host_.ods(), weights);
  } else {
    print_prior_weights_table(host_.ods(), weights);
  }
}

void FlowOutput::print_no_regression_months() {
  // B14's title names the note whichever pass finds no month to use.
  print_note_in_place_of_table(host_.ods(), Table::B14, msgtext(text_id::kNoTradingDayRegression));
}

void FlowOutput::print_regression(bool final_pass, const TradingDayRegressionResult& r) {
  print_trading_day_regression(host_.ods(), final_pass ? Table::C15 : Table::B15, r.regression, r.prior_weights,
                               options_.method.mode);
}

void FlowOutput::print_seasonality_tests(const D8Tests& tests) {
  OdsManager& ods = host_.ods();
  print_stable_seasonality_test(ods, tests.stable, options_.method.frequency);
  print_moving_seasonality_test(ods, tests.moving);
  print_kruskal_wallis_test(ods, tests.kruskal_wallis);
  print_combined_seasonality_test(ods, tests.combined);
}

void FlowOutput::print_d9a(const D9aRatios& ratios) { print_d9a_ratios(host_.ods(), ratios, options_.method.frequency); }

void FlowOutput::print_e4(const E4Ratios& ratios) { print_e4_ratios(host_.ods(), ratios, options_.method.mode); }

void FlowOutput::print_f2(const F2Summary& summary) {
  print_f2_summary(host_.ods(), summary, options_.method.frequency, options_.method.mode);
}

void FlowOutput::print_charts(const ChartTables& c) {
  const SeriesLayout& l = c.layout;
  auto observed = [&](std::span<const double> v) {
    return v.subspan(static_cast<std::size_t>(l.begin()), static_cast<std::size_t>(l.observations));
  };
  const ChartSeries series{
      observed(c.d8),  observed(c.d9),  observed(c.d10), observed(c.d11),
      observed(c.d12), observed(c.d13), observed(c.e3),  observed(c.b1),
      MonthYearTableOptions::of(options_.method, options_.print, options_.vars.prior_factors.has_value())
          .prior_adjusted};
  x11sa::print_charts(host_.ods(), series, SeriesCalendar{l.frequency, l.first_year, l.first_period, l.observations},
                      options_.method.mode, options_.print);
}

void FlowOutput::arima_extension(const ArimaOutcome& outcome) {
  std::optional<std::string> fault;
  for (const ArimaMessage& m : outcome.messages) {
    const std::string& arg = m.names_variable ? name_ : m.argument;
    switch (m.source) {
      case ArimaMessageSource::Procedure:
        host_.msg_as(m.severity, m.number, arg);
        break;
      case ArimaMessageSource::Engine:
        host_.log().message(m.severity, msgtext499(m.number, arg));
        break;
      case ArimaMessageSource::MemoryShort:
        host_.log().message(m.severity, fmt::format("Not enough memory for the ARIMA model of variable {} ({} bytes short).",
                                                    name_, m.argument));
        break;
      case ArimaMessageSource::Internal:
        fault = m.argument;
        break;
    }
    if (fault) break;
  }
  if (options_.prints_anything)
    print_arima_reports(host_.ods(), outcome, *options_.method.arima, options_.print.arima, options_.method.mode, name_);
  if (fault) xebug_exit(*fault);
}

void FlowOutput::extension_failed() {
  // The plain flow that follows writes the variable's columns again.
  if (target_.capture != nullptr) {
    for (std::vector<double>& column : *target_.capture) column.clear();
  } else {
    target_.datasets.clear_out_columns(index_);
  }
  if (options_.outextrap) extension_missing_ = true;
}

void FlowOutput::write_table(Table table, std::span<const double> values) {
  if (index_ >= options_.out_names_of(table).size()) return;
  column_.resize(static_cast<std::size_t>(out_rows(layout_, options_.outextrap)));
  out_column(table, values, layout_, OutColumnRows{options_.outextrap, extension_missing_}, column_);
  if (target_.capture != nullptr) {
    (*target_.capture)[static_cast<std::size_t>(table_info(table).out_index)] = column_;
  } else {
    target_.datasets.put_out_column(index_, table, column_);
  }
}

void FlowOutput::write_regression_rows(bool final_pass, const TradingDayRegressionResult& r) {
  target_.datasets.write_outtdr(name_, final_pass ? Table::C15 : Table::B15, r.regression);
}

void FlowOutput::write_seasonality_rows(const D8Tests& tests) {
  target_.datasets.write_outstb(name_, tests.stable, tests.moving);
}

}  // namespace x11sa
