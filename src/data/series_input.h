// Reading the series of a step: the rows of one BY group of the input data
// set, or one series held in memory, checked and kept as one series per
// analysis variable, with the group's calendar, its prior factors and its BY
// values. Every fault is logged as a numbered message where it is found and
// raises the group's exit level.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "host/dataset.h"
#include "host/utilfile.h"
#include "records/exit_levels.h"
#include "records/step_options.h"
#include "x11sa/missing.h"
#include "x11sa/options.h"

namespace x11sa {

class Host;

namespace detail {
class GroupReader;
}

// A value of a BY or ID variable: a number (dates included) or a text.
using CellValue = std::variant<double, std::string>;

// The calendar of the rows a BY group kept: those from START= (or the
// first row) to END= (or the last row), up to a row that stopped the group.
struct GroupCalendar {
  Frequency frequency = Frequency::Monthly;
  long rows = 0;
  // The first kept row's period: its DATE= value as read, or START=.
  double first_date = kMissing;
  int first_year = 0;
  int first_period = 0;  // 0 the first period of the year
  // The DATE= values of the kept rows; empty without DATE=, where each row
  // is the period after the one before.
  std::vector<double> dates;
  // Where the first kept row lies in the input data set, so that OUT= can
  // read the rows' ID values again; none for a series held in memory.
  std::optional<RowPos> first_row;
};

// What reading found for one analysis variable.
struct VariableReading {
  std::string name;
  long leading_missing = 0;  // kept rows before its first value
  // Values from the first on, up to a missing value or the last kept row.
  long observations = 0;
  // False once a bad value, too few observations or the TDCOMPUTE= date
  // rejected the variable; `reason` is then the text of the message that
  // said so.
  bool adjustable = true;
  std::string reason;
  // The highest level its own checks raised: kWarning for values after a
  // missing value, too few observations or the TDCOMPUTE= date; the data
  // error of the group for a value that cannot be adjusted, which ends its
  // reading there (`observations` then counts up to that value).
  int exit_level = exit_level::kNormal;
  // The first and the last observation: the first days of their periods,
  // their years and periods of the year (0 the first).
  double first_date = kMissing, last_date = kMissing;
  int first_year = 0, first_period = 0;
  int last_year = 0, last_period = 0;
};

// The values of the kept rows: one series per analysis variable, and the
// PMFACTOR= values. Held in memory up to the host's utility limit and in a
// temporary file beyond it, so that a very large group needs no more memory
// than the series the caller reads.
class GroupValues {
 public:
  GroupValues() = default;
  [[nodiscard]] long rows() const noexcept { return rows_; }
  // The values of analysis variable `variable` (its place in the VAR list)
  // over the kept rows into `out`, which holds rows() values.
  void read_series(std::size_t variable, std::span<double> out);
  // The PMFACTOR= values of the kept rows into `out` (rows() values): a
  // missing value replaced by the neutral factor, 100 (0 when additive).
  // Only when the step has a PMFACTOR= variable.
  void read_prior_factors(std::span<double> out);

 private:
  friend class detail::GroupReader;
  void read_column(std::size_t column, std::span<double> out, const char* what);

  UtilFile columns_;  // column-major: the variables, then the prior factors
  long rows_ = 0;
  std::size_t series_ = 0;
  bool prior_factors_ = false;
};

// One BY group as read.
struct GroupData {
  GroupCalendar calendar;
  std::vector<VariableReading> variables;  // in the order of the VAR list
  // The values of the BY variables on the group's first row, in BY order.
  std::vector<CellValue> by_values;
  GroupValues values;
  // The highest level the group's checks raised: kWarning for a variable
  // with too few observations; the data error of the group
  // (exit_level::data_error) for a missing or out-of-range date, dates that
  // are not consecutive periods, a bad prior factor, no kept row, or no
  // variable that can be adjusted. Above kWarning the group is not adjusted;
  // after a bad date or prior factor, dates of the other frequency, or
  // without rows, nothing but the messages and the BY values is read.
  int exit_level = exit_level::kNormal;
  // The text of the first data error of the group's rows (a date, a prior
  // factor, no rows); empty when only its variables were at fault.
  std::string reason;

  // At least three years of rows and a variable that can be adjusted.
  [[nodiscard]] bool can_be_adjusted() const noexcept;
};

// Reads the BY groups of the step's input data set, one at a time.
class SeriesInput {
 public:
  // Sets the BY reading of `data` (from its start). `data` and `host`
  // outlive the reader; `step` is copied from.
  SeriesInput(const StepOptions& step, InputDataSet& data, Host& host);
  ~SeriesInput();
  SeriesInput(const SeriesInput&) = delete;
  SeriesInput& operator=(const SeriesInput&) = delete;

  // Reads the next BY group, up to its last row or the row that stops it
  // (after END=, or a missing or out-of-range date). None at the end of the
  // data, or when the group's first row breaks the BY order
  // (data.sort_error() then says where).
  [[nodiscard]] std::optional<GroupData> next_group() { return next_group(host_); }
  // The same, with the group's messages sent to `host`.
  [[nodiscard]] std::optional<GroupData> next_group(Host& host);

  // What reading needs of the step's options.
  struct Settings;

 private:
  InputDataSet& data_;
  Host& host_;
  std::unique_ptr<const Settings> settings_;
};

// The group's label in titles and messages: "name=value" of every BY variable.
[[nodiscard]] std::string by_label(std::span<const VarInfo> input_variables, std::span<const int> by,
                                   std::span<const CellValue> values);

// One series held in memory, read as the only group of a step without BY
// variables: `values` is the analysis variable, called `name` in the
// messages, the rows numbered from 1; `prior_factors` (one per value) the
// PMFACTOR= values, named "prior_factors", when the step has them.
[[nodiscard]] GroupData read_series(const StepOptions& step, std::string name, std::span<const double> values,
                                    std::span<const double> prior_factors, Host& host);

}  // namespace x11sa
