// Where the flow of one variable puts what it makes: the reports go to the
// output objects (and through them to the listing, HTML and JSON), the
// tables to OUT= and the test and regression rows to OUTSTB= and OUTTDR=.
#pragma once

#include <string>
#include <vector>

#include "pipeline/chain_output.h"
#include "records/step_options.h"
#include "run/variable_loop.h"

namespace x11sa {

class Host;

class FlowOutput final : public ChainOutput {
 public:
  // The variable at place `index` of the VAR list of the target's step, called `name`, laid out
  // as `layout`. `extension_missing`: its OUT= rows of the ARIMA extension
  // stay missing (the automatic choice was not tried).
  FlowOutput(const GroupTarget& target, std::size_t index, std::string name, const SeriesLayout& layout,
             bool extension_missing);

  void open_group(TableGroup group) override;
  void close_group() override;
  void print_table(const PrintedTable& table) override;
  void print_prior_daily_weights(const DailyWeights& weights, bool as_list) override;
  void print_no_regression_months() override;
  void print_regression(bool final_pass, const TradingDayRegressionResult& result) override;
  void print_seasonality_tests(const D8Tests& tests) override;
  void print_d9a(const D9aRatios& ratios) override;
  void print_e4(const E4Ratios& ratios) override;
  void print_f2(const F2Summary& summary) override;
  void print_charts(const ChartTables& charts) override;
  void arima_extension(const ArimaOutcome& outcome) override;
  void extension_failed() override;
  void write_table(Table table, std::span<const double> values) override;
  void write_regression_rows(bool final_pass, const TradingDayRegressionResult& result) override;
  void write_seasonality_rows(const D8Tests& tests) override;

 private:
  const GroupTarget& target_;
  Host& host_;
  const StepOptions& options_;
  std::size_t index_;
  std::string name_;
  SeriesLayout layout_;
  bool extension_missing_;
  std::vector<double> column_;
  std::vector<bool> groups_;  // per output group opened: whether it is open in the output objects
};

}  // namespace x11sa
