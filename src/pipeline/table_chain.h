// The table chain of one variable: the A to F tables on a stretch of its
// series, each handed to the output as it is computed, in the order of the
// listing.
#pragma once

#include <array>

#include "core/henderson.h"
#include "core/trading_day.h"
#include "pipeline/chain_output.h"
#include "records/chain_tables.h"
#include "records/series_layout.h"
#include "records/step_options.h"

namespace x11sa {

class Host;

// The stretch a chain runs on, and what becomes of its tables. The plain
// flow runs on the observations; the extended flows on the series with its
// backcasts and forecasts; the sliding spans on each span, silently.
struct ChainStretch {
  long begin = 0, end = 0;        // the series
  long ma_begin = 0, ma_end = 0;  // where its centred averages exist
  bool print = true;              // tables and reports go to the listing
  bool write = true;              // tables go to OUT=, OUTSTB= and OUTTDR= rows too
  bool regression = true;         // the trading-day regression runs (B14 to B16, C14 to C16)
  bool regression_rows = false;   // OUTTDR= rows are written even when the tables are not
  bool seasonality_tests = false;  // the D8 tests run even when nothing prints or writes them
  bool extended = false;          // the stretch holds the ARIMA backcasts and forecasts
  bool b1_given = false;          // B1 holds the series already (the extended series)
  // The trading-day tables are a first pass's: no regression runs, they are
  // written as they are, and B1 is already adjusted for trading day.
  bool td_from_first_pass = false;
};

// The observations of the variable.
[[nodiscard]] ChainStretch plain_stretch(const SeriesLayout& layout);
// The observations with their backcasts and forecasts.
[[nodiscard]] ChainStretch extended_stretch(const SeriesLayout& layout);

// What the table groups of one variable share while its flow runs.
struct VariableChain {
  const StepOptions& options;
  // The method as this chain runs it: the step's, but the sliding spans'
  // reruns take no year ahead.
  AdjustmentOptions adjustment;
  SeriesLayout layout;
  ChainTables& tables;
  const GroupSeries& group;
  ChainOutput& out;
  Host& host;  // for the messages of the log
  // The trend last taken: its length and I/C ratio title the trend tables.
  HendersonChoice& last_trend;

  // The ARIMA extension is in use: D11 of a SUMMARY run is the extended series.
  bool extension_active = false;
  // Trading day: the test of TDREGR=TEST found an effect; the months the
  // regression skipped at the start (TDCOMPUTE=) and excluded as extreme;
  // the daily weights of the regression, as its factors are built from them.
  bool td_test_passed = false;
  long td_skipped_months = 0;
  long td_excluded_months = 0;
  DailyWeights regression_weights{};
  // A1 to A5 printed by an extended flow, not printed again by the plain
  // flow that reruns after a failed extension.
  std::array<bool, 5> prior_printed{};
  // The tests on D8 of the latest chain.
  D8Tests d8_tests{};
  // The diagnostics of the final pass, when printed or kept (StepOptions::keep_diagnostics).
  bool d8_tested = false;
  std::optional<D9aRatios> d9a{};
  std::optional<E4Ratios> e4{};
  std::optional<F2Summary> f2{};
  // What the ARIMA extension did, after it ran.
  ArimaOutcome extension_outcome{};

  [[nodiscard]] const AdjustmentOptions& method() const noexcept { return adjustment; }
};

// Table group by table group; the flows open the output groups around them.
void prior_tables(VariableChain& v, const ChainStretch& s, bool extended);
void a_tables(VariableChain& v, const ChainStretch& s);
void b_tables(VariableChain& v, const ChainStretch& s);
void c_tables(VariableChain& v, const ChainStretch& s);
void d_tables(VariableChain& v, const ChainStretch& s);
void e_tables(VariableChain& v, const ChainStretch& s);
void f_tables(VariableChain& v, const ChainStretch& s);
void charts(VariableChain& v);

// Table t as its month-by-year listing shows it.
[[nodiscard]] PrintedTable printed_table(const VariableChain& v, Table t, std::span<const double> values);

// Whether a table prints at the step's print options: its PRINTOUT= level,
// or its TABLES name.
[[nodiscard]] bool prints(const StepOptions& options, Table t);
// A trading-day regression is run, and its factors applied.
[[nodiscard]] bool td_computed(const VariableChain& v);
[[nodiscard]] bool td_applied(const VariableChain& v);

}  // namespace x11sa
