// The output data sets of a step: OUT= (the tables over time), OUTSTB= (the
// seasonality tests on D8), OUTTDR= (the trading-day regressions), OUTSPAN=
// (the sliding spans) and OUTSUM= (a summary per BY group and variable). Each is written to a temporary file as the
// step goes and moved into place when the step commits it.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/trading_day.h"
#include "data/series_input.h"
#include "host/dataset.h"
#include "host/utilfile.h"
#include "records/exit_levels.h"
#include "records/spans_outcome.h"
#include "records/step_options.h"
#include "records/table_catalogue.h"
#include "records/variable_summary.h"
#include "x11sa/seasonality_tests.h"

namespace x11sa {

class Host;
class HostRecording;

// The ID values of a BY group's kept rows, read while the group was the
// input's current one: `cells` row by row, an ID variable after the other;
// `rows` rows were found.
struct OutIdValues {
  std::vector<CellValue> cells;
  long rows = 0;
};

// Where a BY group's rows lie among its OUT= rows: `rows` in all, of which
// `before` come before the group's first row (the backcasts, when OUT= has
// the rows of the ARIMA extension). The group's rows follow; the rows after
// them (the year ahead, the forecasts) continue its dates period by period.
struct OutRows {
  long rows = 0;
  long before = 0;
};

// The data sets of one step. The OUT= columns of a group are held in memory
// up to the host's utility limit and in a temporary file beyond it. A row or
// a column that cannot be written ends the step (StepExit with kResource, or
// kUtilityWrite after message 95).
class OutputDataSets {
 public:
  // Creates the data sets the step asks for, with their columns, from the
  // variables of the input data set (none for a series held in memory). A
  // data set that cannot be created is logged and left out (kResource); OUT=
  // without table variables is a warning (message 28), created all the same.
  OutputDataSets(const StepOptions& step, std::span<const VarInfo> input_variables, Host& host);
  ~OutputDataSets();
  OutputDataSets(OutputDataSets&&) noexcept;
  OutputDataSets& operator=(OutputDataSets&&) noexcept;

  // Data sets like these whose rows go to `recording` (as rows of data set
  // 0 OUT=, 1 OUTSTB=, 2 OUTTDR=, 3 OUTSPAN=, 4 OUTSUM=) and whose messages go to
  // `host`: a group adjusted away from the step's host writes there, and the
  // step writes the rows later with write_recorded_row().
  [[nodiscard]] OutputDataSets recorder(Host& host, HostRecording& recording) const;
  // Writes a row recorded for data set `dataset` as write_row would have.
  void write_recorded_row(int dataset, std::string_view text);

  // The highest exit level raised by creating the data sets.
  [[nodiscard]] int exit_level() const noexcept { return level_; }

  // OUT= has a column for table `t` of analysis variable `variable` (its
  // place in the VAR list): the OUTPUT statement named one.
  [[nodiscard]] bool out_has(std::size_t variable, Table t) const noexcept;

  // Starts a BY group: its BY values go into every row written until the
  // next group starts; `rows` lays out its OUT= rows (not needed without OUT=).
  void start_group(const GroupData& group, OutRows rows = {});

  // Table `t` of analysis variable `variable` as its OUT= column: one value
  // per OUT= row of the group. Kept until write_out_rows(), in any order; a
  // column put twice keeps the second; a table OUT= has no column for is
  // not kept.
  void put_out_column(std::size_t variable, Table t, std::span<const double> column);
  // Sets every OUT= column of the variable missing again: its flow starts over.
  void clear_out_columns(std::size_t variable);

  // Writes the OUT= rows of the group started: the BY values, the ID values,
  // the date, then the table columns in the order of the data set; a column
  // not put is missing. The ID values of the group's rows are read again
  // from `input`, from the group's first kept row (and its remaining rows
  // are read past); `input` may be null without ID variables. Nothing is
  // written without OUT= or without table variables.
  void write_out_rows(const GroupData& group, InputDataSet* input);
  // The same with the ID values read beforehand by read_id_values().
  void write_out_rows(const GroupData& group, const OutIdValues& ids);
  // The ID values write_out_rows() needs of the current group of `input`
  // (read to its end); none when it needs none.
  [[nodiscard]] OutIdValues read_id_values(const GroupData& group, InputDataSet& input) const;

  // OUTSTB=: five rows of table D8 for the variable: the stable seasonality
  // test (between periods, residual, total) and the moving seasonality test
  // (between years, error).
  void write_outstb(std::string_view variable, const StableSeasonalityTest& stable,
                    const MovingSeasonalityTest& moving);

  // OUTTDR=: the regression of table `table` (B15 or C15) for the variable:
  // a row per weekday (its prior weight is that of PDWEIGHTS, else neutral),
  // the standard errors by month length, and the analysis of variance.
  void write_outtdr(std::string_view variable, Table table, const B15Regression& regression);

  // OUTSPAN=: every period of every span (numbered 1, the oldest, on) with
  // the series as read (`original`, from the variable's first observation)
  // and the span's estimates.
  void write_outspan(std::string_view variable, const SpanLayout& layout, std::span<const SpanEstimates> spans,
                     std::span<const double> original);

  // OUTSUM=: the row of one variable of the group started.
  void write_outsum(const VariableSummary& summary);

  // Moves every data set into place, noting each in the log and (but for
  // OUTSUM=, which holds no series) as the last one written; one that cannot be written is an error. Returns the
  // highest level raised (kResource or kNormal).
  [[nodiscard]] int commit();
  // Drops every data set unwritten: a step that adjusted nothing leaves the
  // data sets it names as they were.
  void discard() noexcept;

 private:
  [[nodiscard]] bool writes_out_rows() const noexcept { return out_ && out_columns_ > 0; }
  OutputDataSets(const OutputDataSets& like, Host& host, HostRecording& recording);
  // Writes the OUT= rows with the ID values that `id_row(row)` (a row of
  // the group, from 0) gives, or none: the cells of the ID variables.
  template <class IdRow>
  void write_out_rows_with(const GroupData& group, IdRow&& id_row);
  void write_row(OutputDataSet& ds);
  void set_by_cells(OutputDataSet& ds, int first) const;

  Host* host_;
  int level_ = exit_level::kNormal;
  Frequency frequency_ = Frequency::Monthly;
  Mode mode_ = Mode::Multiplicative;
  DailyWeights prior_weights_{};
  bool spans_trading_day_ = false;  // OUTSPAN= has the trading-day factors C18
  std::unique_ptr<OutputDataSet> out_, outstb_, outtdr_, outspan_, outsum_;

  // OUT=: the ID variables (input indexes), and per analysis variable and
  // table the place of its column among the table columns (-1 none).
  std::vector<int> id_;
  std::vector<std::array<int, kOutTableCount>> out_slot_;
  long out_columns_ = 0;

  // The current group.
  std::vector<CellValue> by_values_;
  OutRows out_rows_;
  UtilFile out_values_;  // column-major: a column of out_rows_.rows per table column
};

}  // namespace x11sa
