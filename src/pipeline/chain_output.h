// What the table chain hands on as it runs: tables and results to print and
// to write, in the order of the listing. The run implements it with the
// reports and the output data sets; the sliding spans' reruns with nothing.
#pragma once

#include <optional>
#include <span>

#include "core/henderson.h"
#include "core/trading_day.h"
#include "records/arima_outcome.h"
#include "records/series_layout.h"
#include "records/table_catalogue.h"
#include "x11sa/seasonality_tests.h"
#include "x11sa/summary_measures.h"

namespace x11sa {

// The trading-day regression of one pass (B15 or C15): the fit, its test,
// and the prior daily weights it was run against.
struct TradingDayRegressionResult {
  B15Regression regression;
  DailyWeights prior_weights{};
};

// A table as its month-by-year listing shows it.
struct PrintedTable {
  Table table = Table::A1;
  // From the first period shown: the observations, or with A13 to A15 the
  // periods of the extension too.
  std::span<const double> values;
  int first_year = 0;
  int first_period = 0;
  // The trend tables' Henderson length and the I/C ratio that chose it.
  std::optional<HendersonChoice> trend;
};

// The tables the charts G1 to G4 draw, whole; the charts show the
// observations.
struct ChartTables {
  SeriesLayout layout;
  std::span<const double> d8, d9, d10, d11, d12, d13, e3;
  std::span<const double> b1;  // the series the adjustment starts from
};

class ChainOutput {
 public:
  virtual ~ChainOutput() = default;

  // The output group of one table group, around its tables; opened only
  // when the step prints.
  virtual void open_group(TableGroup group) = 0;
  virtual void close_group() = 0;

  virtual void print_table(const PrintedTable& table) = 0;
  // The prior daily weights before A4: as a table (the plain flow) or as a
  // list (the extended flows).
  virtual void print_prior_daily_weights(const DailyWeights& weights, bool as_list) = 0;
  // B14 or C14 when the regression had no month left to use.
  virtual void print_no_regression_months() = 0;
  virtual void print_regression(bool final_pass, const TradingDayRegressionResult& result) = 0;
  virtual void print_seasonality_tests(const D8Tests& tests) = 0;
  virtual void print_d9a(const D9aRatios& ratios) = 0;
  virtual void print_e4(const E4Ratios& ratios) = 0;
  virtual void print_f2(const F2Summary& summary) = 0;
  // The charts that the print options select.
  virtual void print_charts(const ChartTables& tables) = 0;
  // The ARIMA extension of the variable: its messages for the log and, when
  // the step prints, its reports.
  virtual void arima_extension(const ArimaOutcome& outcome) = 0;
  // The extension failed: the tables the variable wrote are dropped, as the
  // plain flow writes them all again, and its OUT= rows of the extension
  // stay missing.
  virtual void extension_failed() = 0;

  // A table for OUT=: the whole vector; the data set takes what it needs.
  virtual void write_table(Table table, std::span<const double> values) = 0;
  // OUTTDR= rows of a regression, OUTSTB= rows of the D8 tests.
  virtual void write_regression_rows(bool final_pass, const TradingDayRegressionResult& result) = 0;
  virtual void write_seasonality_rows(const D8Tests& tests) = 0;
};

// Hands on nothing: a chain run only for its tables.
class NoChainOutput final : public ChainOutput {
 public:
  void open_group(TableGroup) override {}
  void close_group() override {}
  void print_table(const PrintedTable&) override {}
  void print_prior_daily_weights(const DailyWeights&, bool) override {}
  void print_no_regression_months() override {}
  void print_regression(bool, const TradingDayRegressionResult&) override {}
  void print_seasonality_tests(const D8Tests&) override {}
  void print_d9a(const D9aRatios&) override {}
  void print_e4(const E4Ratios&) override {}
  void print_f2(const F2Summary&) override {}
  void print_charts(const ChartTables&) override {}
  void arima_extension(const ArimaOutcome&) override {}
  void extension_failed() override {}
  void write_table(Table, std::span<const double>) override {}
  void write_regression_rows(bool, const TradingDayRegressionResult&) override {}
  void write_seasonality_rows(const D8Tests&) override {}
};

}  // namespace x11sa
