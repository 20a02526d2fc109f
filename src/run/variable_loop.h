// Adjusting one BY group: the group's shared series, then each analysis
// variable's flow and sliding spans, with its reports and output columns.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/henderson.h"
#include "data/output_datasets.h"
#include "data/series_input.h"
#include "records/chain_tables.h"
#include "records/exit_levels.h"
#include "records/series_layout.h"
#include "records/step_options.h"
#include "records/table_catalogue.h"
#include "x11sa/arima_result.h"
#include "x11sa/seasonality_tests.h"
#include "x11sa/spans_result.h"
#include "x11sa/summary_measures.h"

namespace x11sa {

class Host;

// The OUT= columns of a series adjusted in memory, by OUT= table; a table
// that was not written stays empty.
using CapturedTables = std::array<std::vector<double>, kOutTableCount>;

// Where one step's groups are adjusted and what they send their results to.
struct GroupTarget {
  const StepOptions& options;
  Host& host;
  OutputDataSets& datasets;
  // The variables of the input data set, for the labels of the analysis
  // variables; empty for a series held in memory.
  std::span<const VarInfo> input_variables;
  // The OUT= columns kept in memory instead of in the data set.
  CapturedTables* capture = nullptr;
};

// The vectors the chain works in, kept from one group to the next so that
// adjusting a group allocates nothing once they have grown, and the trend
// last chosen, which titles the trend tables of the next chain.
struct ChainWorkspace {
  ChainTables tables;
  GroupSeries group;
  HendersonChoice last_trend{};
};

// Where the values of a variable lie in its group's table vectors.
[[nodiscard]] SeriesLayout layout_of(const StepOptions& o, const GroupData& group, const VariableReading& v);

// Where the group's rows lie among its OUT= rows.
[[nodiscard]] OutRows out_rows_of(const StepOptions& o, const GroupData& group);

// What the variables of the group share: the prior factors read with the
// rows, the prior trading-day factors of PDWEIGHTS, the month types.
void set_group_series(const StepOptions& o, GroupData& data, GroupSeries& g);

// What the flow of one variable found, beyond its tables.
struct VariableOutcome {
  std::size_t index = 0;  // its place in the VAR list
  bool adjusted = false;
  // The diagnostics of the final pass: present when printed, or with
  // StepOptions::keep_diagnostics.
  std::optional<D8Tests> seasonality;
  std::optional<D9aRatios> d9a;
  std::optional<E4Ratios> e4;
  std::optional<F2Summary> f2;
  // The Henderson trend of D12: its length and the I/C ratio that chose it.
  HendersonChoice trend{};
  // What the ARIMA extension did, when the options ask for one.
  std::optional<ArimaSummary> arima;
  // What the sliding spans found, with SSPAN.
  std::optional<SpansSummary> spans;
  // The trading-day factors were applied: TDREGR=ADJUST, or TEST when it found an effect.
  bool trading_day_applied = false;
  // The variable's reading level, raised to a warning by a warning of its
  // adjustment (from the ARIMA extension, or spans too short to compare).
  int exit_level = exit_level::kNormal;
};

// Adjusts every variable of `group` (number `number` of the step, from 1)
// that can be adjusted; `label` names the group in the page titles ("" without
// BY variables). The OUT= columns go to the target's data sets (or its
// capture); the group's OUT= rows are left for the caller to write, its
// OUTSUM= rows are written.
// Returns what each variable's flow found, in the order of the VAR list.
[[nodiscard]] std::vector<VariableOutcome> adjust_group(const GroupTarget& target, GroupData& group, long number,
                                                        const std::string& label, ChainWorkspace& work);

}  // namespace x11sa
