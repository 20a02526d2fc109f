#include "data/series_input.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <utility>

#include <fmt/format.h>

#include "host/dates.h"
#include "host/exit.h"
#include "host/host.h"
#include "host/message_ids.h"
#include "host/ods.h"

namespace x11sa {

struct SeriesInput::Settings {
  Frequency frequency = Frequency::Monthly;
  Mode mode = Mode::Multiplicative;
  bool by_groups = false;
  std::optional<double> start, end;
  // The first day of the TDCOMPUTE= year, when the trading-day regression runs.
  std::optional<double> tdcompute;
  // Indexes in the input data set; a series in memory has no DATE= and
  // no BY variables.
  std::vector<int> analysis, by;
  std::optional<int> date, prior_factors;
  std::vector<std::string> names;  // of the analysis variables
  std::string date_name;
  std::string prior_factors_name;
  std::size_t memory_limit = 0;
};

namespace {

// Above this size a value (or a prior factor) overflows once the adjustment
// multiplies by it.
constexpr double kTooLarge = 1.3407807929943e+154;

// Date faults listed one by one before a single message says there are more.
constexpr long kListedDateFaults = 10;

const char* interval_of(Frequency f) { return f == Frequency::Monthly ? "MONTH" : "QTR"; }

int period_of(double date, Frequency f) {
  return f == Frequency::Monthly ? month_of_date(date) - 1 : quarter_of_date(date) - 1;
}

std::string format_period(double date, Frequency f) {
  return f == Frequency::Monthly ? format_monyy(date, 7) : format_yyq(date, 6);
}

// Lays out `nrow` rows of `ncol` doubles of `in` (from its start) as `ncol`
// consecutive columns in `out`, a block of rows at a time; false when a
// file operation failed.
bool transpose(UtilFile& in, UtilFile& out, long nrow, long ncol) {
  out.clear();
  if (nrow <= 0 || ncol <= 0) return true;
  constexpr long kBlockRows = 8192;
  const long block_rows = std::min(nrow, kBlockRows);
  std::vector<double> block(static_cast<std::size_t>(block_rows * ncol));
  std::vector<double> column(static_cast<std::size_t>(block_rows), kMissing);
  // The columns in full first, so that every block can be written in place.
  for (long k = 0; k < ncol * nrow; k += block_rows)
    if (!out.write(column.data(), static_cast<std::size_t>(std::min(block_rows, ncol * nrow - k)) * sizeof(double)))
      return false;
  if (!in.point(0)) return false;
  for (long r0 = 0; r0 < nrow; r0 += block_rows) {
    const long rows = std::min(block_rows, nrow - r0);
    if (!in.read(block.data(), static_cast<std::size_t>(rows * ncol) * sizeof(double))) return false;
    for (long j = 0; j < ncol; ++j) {
      for (long r = 0; r < rows; ++r)
        column[static_cast<std::size_t>(r)] = block[static_cast<std::size_t>(r * ncol + j)];
      if (!out.point(static_cast<std::size_t>(j * nrow + r0) * sizeof(double))) return false;
      if (!out.write(column.data(), static_cast<std::size_t>(rows) * sizeof(double))) return false;
    }
  }
  return true;
}

SeriesInput::Settings settings_of(const StepOptions& step, std::vector<std::string> names, std::string date_name,
                                  std::string prior_factors_name, const Host& host) {
  SeriesInput::Settings s;
  const AdjustmentOptions& m = step.method;
  s.frequency = m.frequency;
  s.mode = m.mode;
  s.by_groups = !step.vars.by.empty();
  s.start = step.start;
  s.end = step.end;
  if (m.tdregr != TradingDayRegression::None && m.tdcompute_year)
    s.tdcompute = date_from_mdy(1, 1, *m.tdcompute_year);
  s.analysis = step.vars.analysis;
  s.by = step.vars.by;
  s.date = step.vars.date;
  s.prior_factors = step.vars.prior_factors;
  s.names = std::move(names);
  s.date_name = std::move(date_name);
  s.prior_factors_name = std::move(prior_factors_name);
  s.memory_limit = host.settings().util_memory_limit;
  return s;
}

}  // namespace

namespace detail {

enum class RowOutcome {
  Kept,
  Skipped,  // before START=
  Stop,     // after END=, or a fault that stops the group
};

// Reading one group, a row at a time.
class GroupReader {
 public:
  GroupReader(const SeriesInput::Settings& s, Host& host)
      : s_(s), host_(host), data_error_(exit_level::data_error(s.by_groups)), rows_(s.memory_limit),
        record_(s.names.size() + (s.prior_factors ? 1 : 0)) {
    // With DATE=, START= and END= select rows by their dates; without, the
    // first row is START= and END= ends the group after its period.
    select_by_date_ = s.date && (s.start || s.end);
    if (!s.date && s.start && s.end)
      end_after_rows_ =
          static_cast<long>(interval_boundaries_crossed(interval_of(s.frequency), *s.start, *s.end)) + 1;
    calendar_.frequency = s.frequency;
    vars_.resize(s.names.size());
    for (std::size_t i = 0; i < vars_.size(); ++i) vars_[i].reading.name = s.names[i];
  }

  // Row `number` (as messages count rows) with its DATE= value, the values
  // of the analysis variables and its PMFACTOR= value; `position` is where
  // it lies in the input data set.
  RowOutcome row(long number, double date, std::span<const double> values, double prior_factor,
                 std::optional<RowPos> position) {
    if (!select_by_date_) {
      if (end_after_rows_ && kept_ == *end_after_rows_) return RowOutcome::Stop;
    } else {
      if (bad_date(number, date)) return RowOutcome::Stop;
      if (date < s_.start.value_or(kMinDate)) return RowOutcome::Skipped;
      if (date > s_.end.value_or(kMaxDate)) return RowOutcome::Stop;
    }
    ++kept_;
    if (kept_ == 1) {
      calendar_.first_row = position;
      if (!s_.date) set_first_period(s_.start.value_or(kMinDate));
    }
    if (s_.date) check_date(number, date);
    if (!failed_) {
      check_values(number, values);
      if (s_.prior_factors) check_prior_factor(number, prior_factor);
    }
    if (failed_) return RowOutcome::Stop;
    if (s_.date) calendar_.dates.push_back(date);
    std::copy(values.begin(), values.end(), record_.begin());
    if (s_.prior_factors) record_.back() = prior_factor;
    if (!rows_.write(record_.data(), record_.size() * sizeof(double))) utility_write_failed();
    return RowOutcome::Kept;
  }

  GroupData finish() {
    if (!held_date_faults_.empty()) other_frequency_dates();
    GroupData g;
    if (!failed_ && kept_ == 0) {
      // Nothing to adjust is an error of the data, with or without BY groups.
      group_fault(logged(message_id::kNoObservations));
      raise(data_error_);
    }
    if (failed_ || kept_ == 0) {
      g.calendar.frequency = s_.frequency;
      for (const VariableState& v : vars_) g.variables.push_back(v.reading);
      g.exit_level = level_;
      g.reason = reason_;
      return g;
    }
    if (kept_ > INT_MAX) {
      host_.msg(message_id::kGroupTooLarge);
      xexit(std::max(level_, exit_level::kResource));
    }
    calendar_.rows = kept_;
    const auto columns = static_cast<long>(record_.size());
    g.values.columns_ = UtilFile(s_.memory_limit);
    if (!transpose(rows_, g.values.columns_, kept_, columns))
      xebug_exit("the rows of the BY group could not be laid out by variable");
    g.values.rows_ = kept_;
    g.values.series_ = vars_.size();
    g.values.prior_factors_ = s_.prior_factors.has_value();
    set_variable_calendars();
    check_observations();
    g.calendar = std::move(calendar_);
    for (const VariableState& v : vars_) g.variables.push_back(v.reading);
    g.exit_level = level_;
    g.reason = reason_;
    return g;
  }

 private:
  struct VariableState {
    VariableReading reading;
    bool ended = false;     // a missing value ended the series
    bool rejected = false;  // a bad value: the variable is not read on
    bool told_values_after_end = false;
  };

  void raise(int level) { level_ = std::max(level_, level); }

  // Logs a numbered message and returns its text.
  template <class... Args>
  std::string logged(int number, const Args&... args) {
    host_.msg(number, args...);
    return msgtext(number, args...);
  }
  // The first fault of the group's rows is the reason it is skipped.
  void group_fault(std::string text) {
    if (reason_.empty()) reason_ = std::move(text);
  }
  // A variable that will not be adjusted, with the message that says why.
  static void reject(VariableReading& r, int level, std::string reason) {
    r.adjustable = false;
    r.reason = std::move(reason);
    r.exit_level = std::max(r.exit_level, level);
  }

  void set_first_period(double date) {
    calendar_.first_date = date;
    calendar_.first_year = year_of_date(date);
    calendar_.first_period = period_of(date, s_.frequency);
  }

  // A missing or out-of-range date stops the group with a data error.
  bool bad_date(long number, double date) {
    if (date_in_range(date)) return false;
    group_fault(logged(message_id::kBadDate, number));
    raise(data_error_);
    failed_ = true;
    return true;
  }

  // Each kept row must be the period after the one before. While every
  // step so far is one of the other frequency (a month under QUARTERLY,
  // three months under MONTHLY) the faults are held back: dates of the
  // other frequency throughout get one message that says so instead.
  void check_date(long number, double date) {
    if (bad_date(number, date)) return;
    if (kept_ == 1) {
      previous_ = date;
      set_first_period(date);
      return;
    }
    const double months = interval_boundaries_crossed("MONTH", previous_, date);
    if (other_frequency_ && months != (s_.frequency == Frequency::Monthly ? 3.0 : 1.0)) {
      other_frequency_ = false;
      for (const HeldDateFault& f : held_date_faults_) date_fault(f.previous, f.date, f.number);
      held_date_faults_.clear();
    }
    const double step = interval_boundaries_crossed(interval_of(s_.frequency), previous_, date);
    if (is_missing(step) || step != 1.0) {
      if (other_frequency_) held_date_faults_.push_back(HeldDateFault{previous_, date, number});
      else date_fault(previous_, date, number);
      raise(data_error_);
    }
    previous_ = date;
  }

  void date_fault(double previous, double date, long number) {
    if (date_faults_ < kListedDateFaults) {
      group_fault(logged(message_id::kDatesNotConsecutive, format_period(previous, s_.frequency),
                         format_period(date, s_.frequency), number));
    } else if (!told_more_date_faults_) {
      host_.msg(message_id::kMoreDatesNotConsecutive);
      told_more_date_faults_ = true;
    }
    ++date_faults_;
  }

  // The dates were those of the other frequency from the first to the
  // last: the one message the group gets, and nothing more is read.
  void other_frequency_dates() {
    held_date_faults_.clear();
    failed_ = true;
    const double first = calendar_.first_date;
    std::string text;
    if (s_.frequency == Frequency::Quarterly) {
      text = fmt::format(
          "The DATE= variable {} holds monthly dates ({} to {}, one month apart), but the QUARTERLY statement reads "
          "quarters; use the MONTHLY statement for a monthly series.",
          s_.date_name, format_monyy(first, 7), format_monyy(previous_, 7));
    } else {
      text = fmt::format(
          "The DATE= variable {} holds quarterly dates ({} to {}, three months apart), but the MONTHLY statement "
          "reads months; use the QUARTERLY statement for a quarterly series.",
          s_.date_name, format_yyq(first, 6), format_yyq(previous_, 6));
    }
    host_.log().error(text);
    group_fault(std::move(text));
  }

  // A variable's series runs from its first value to the first missing value
  // after it; a value that cannot be adjusted rejects the variable.
  void check_values(long number, std::span<const double> values) {
    for (std::size_t i = 0; i < vars_.size(); ++i) {
      VariableState& v = vars_[i];
      VariableReading& r = v.reading;
      if (v.rejected) continue;
      const double x = values[i];
      if (!v.ended) {
        if (is_missing(x)) {
          if (r.observations == 0) {
            ++r.leading_missing;
          } else {
            v.ended = true;
          }
          continue;
        }
        ++r.observations;
        if (r.observations == 1 && r.leading_missing > 0) host_.msg(message_id::kLeadingMissing, r.name);
        if (s_.mode == Mode::Multiplicative && x <= 0.0) {
          reject(r, data_error_, logged(message_id::kValueNotPositive, r.name, number));
          v.rejected = true;
        } else if (std::fabs(x) > kTooLarge || std::isnan(x)) {
          reject(r, data_error_, logged(message_id::kValueTooLarge, fmt::format("{:g}", x), r.name));
          v.rejected = true;
        }
      } else if (!is_missing(x) && !v.told_values_after_end) {
        host_.msg(message_id::kValuesAfterEnd, r.name, r.observations);
        r.exit_level = std::max(r.exit_level, exit_level::kWarning);
        v.told_values_after_end = true;
      }
    }
  }

  // A missing prior factor is neutral; one that cannot be applied stops the
  // group with a data error.
  void check_prior_factor(long number, double& factor) {
    const double x = factor;
    if (is_missing(x)) {
      factor = s_.mode == Mode::Additive ? 0.0 : 100.0;
      if (!told_missing_prior_factors_) host_.msg(message_id::kMissingPriorFactors, factor);
      told_missing_prior_factors_ = true;
      return;
    }
    // A factor of infinity (or one that overflows once applied) would turn
    // the prior-adjusted series into zeros or infinities.
    if ((s_.mode == Mode::Multiplicative && !(x > 0.0)) || std::fabs(x) > kTooLarge) {
      if (std::fabs(x) > kTooLarge) {
        std::string text = fmt::format("The PMFACTOR= variable {} has the value {:g} at observation {}, "
                                       "above 1.3407807929943E154 in size; the BY group cannot be adjusted.",
                                       s_.prior_factors_name, x, number);
        host_.log().error(text);
        group_fault(std::move(text));
      } else {
        group_fault(
            logged(message_id::kPriorFactorNotPositive, fmt::format("{:g}", x), number, s_.prior_factors_name));
      }
      raise(data_error_);
      failed_ = true;
    }
  }

  [[noreturn]] void utility_write_failed() {
    host_.msg(message_id::kUtilityWriteFailed);
    xexit(std::max(level_, exit_level::kUtilityWrite));
  }

  // The first and the last observation of each variable.
  void set_variable_calendars() {
    const char* iv = interval_of(s_.frequency);
    for (VariableState& v : vars_) {
      VariableReading& r = v.reading;
      r.first_date = shifted_interval_start(iv, calendar_.first_date, r.leading_missing);
      r.last_date = shifted_interval_start(iv, r.first_date, std::max(r.observations - 1, 0L));
      r.first_year = year_of_date(r.first_date);
      r.last_year = year_of_date(r.last_date);
      r.first_period = period_of(r.first_date, s_.frequency);
      r.last_period = period_of(r.last_date, s_.frequency);
    }
  }

  // At least 12 months from the TDCOMPUTE= date to the month of the last value.
  [[nodiscard]] bool tdcompute_date_ok(const VariableReading& r) const {
    const double last_month = shifted_interval_start("MONTH", r.last_date, 0);
    const double n = interval_boundaries_crossed("MONTH", *s_.tdcompute, last_month);
    return !is_missing(n) && n >= 12.0;
  }

  // Three years of observations, and with TDCOMPUTE= a year of them after its
  // date; a group in which no variable can be adjusted is a data error of the
  // group, whatever rejected its variables.
  void check_observations() {
    const long minimum = s_.frequency == Frequency::Monthly ? 36 : 12;
    std::size_t too_short = 0;
    std::size_t too_early = 0;
    for (VariableState& v : vars_) {
      VariableReading& r = v.reading;
      if (r.observations < minimum) {
        ++too_short;
        if (r.adjustable) {
          reject(r, exit_level::kWarning, logged(message_id::kTooFewObservations, r.name, r.observations));
          raise(exit_level::kWarning);
        }
        continue;
      }
      if (s_.tdcompute && !tdcompute_date_ok(r)) {
        ++too_early;
        if (r.adjustable) reject(r, exit_level::kWarning, logged(message_id::kTdcomputeTooLate, r.name));
      }
    }
    const auto adjustable =
        static_cast<std::size_t>(std::count_if(vars_.begin(), vars_.end(), [](const VariableState& v) {
          return v.reading.adjustable;
        }));
    const std::size_t n = vars_.size();
    if (n > 0 && (too_short == n || too_early == n || adjustable == 0)) {
      host_.msg(message_id::kNothingAdjustable);
      raise(data_error_);
    }
  }

  const SeriesInput::Settings& s_;
  Host& host_;
  const int data_error_;
  bool select_by_date_ = false;
  std::optional<long> end_after_rows_;
  long kept_ = 0;
  double previous_ = kMissing;
  long date_faults_ = 0;
  bool told_more_date_faults_ = false;
  struct HeldDateFault {
    double previous;
    double date;
    long number;
  };
  bool other_frequency_ = true;
  std::vector<HeldDateFault> held_date_faults_;
  bool told_missing_prior_factors_ = false;
  bool failed_ = false;
  int level_ = exit_level::kNormal;
  std::string reason_;  // the first fault of the group's rows
  std::vector<VariableState> vars_;
  GroupCalendar calendar_;
  UtilFile rows_;                // row-major: a record per kept row
  std::vector<double> record_;  // the values of a row, then its prior factor
};

}  // namespace detail

void GroupValues::read_column(std::size_t column, std::span<double> out, const char* what) {
  const std::size_t bytes = static_cast<std::size_t>(rows_) * sizeof(double);
  if (out.size() != static_cast<std::size_t>(rows_) || !columns_.point(column * bytes) ||
      !columns_.read(out.data(), bytes))
    xebug_exit(what);
}

void GroupValues::read_series(std::size_t variable, std::span<double> out) {
  if (variable >= series_) xebug_exit(fmt::format("the BY group has no variable {}", variable + 1));
  read_column(variable, out, "the observations of a variable could not be read back");
}

void GroupValues::read_prior_factors(std::span<double> out) {
  if (!prior_factors_) xebug_exit("the BY group has no prior monthly factors");
  read_column(series_, out, "the prior monthly factors of the group could not be read back");
}

bool GroupData::can_be_adjusted() const noexcept {
  const long minimum = calendar.frequency == Frequency::Monthly ? 36 : 12;
  return calendar.rows >= minimum &&
         std::any_of(variables.begin(), variables.end(), [](const VariableReading& v) { return v.adjustable; });
}

SeriesInput::SeriesInput(const StepOptions& step, InputDataSet& data, Host& host) : data_(data), host_(host) {
  std::vector<std::string> names;
  for (int k : step.vars.analysis) names.push_back(data.vars()[static_cast<std::size_t>(k)].name);
  const std::string prior_factors_name =
      step.vars.prior_factors ? data.vars()[static_cast<std::size_t>(*step.vars.prior_factors)].name : std::string();
  const std::string date_name = step.vars.date ? data.vars()[static_cast<std::size_t>(*step.vars.date)].name : std::string();
  settings_ = std::make_unique<const Settings>(settings_of(step, std::move(names), date_name, prior_factors_name, host));
  data_.set_by(step.vars.by, step.vars.by_descending, step.vars.by_notsorted);
}

SeriesInput::~SeriesInput() = default;

std::optional<GroupData> SeriesInput::next_group(Host& host) {
  host.log().set_group({});
  host.log().set_variable({});
  if (!data_.next_group()) return std::nullopt;
  const Settings& s = *settings_;
  detail::GroupReader reader(s, host);
  std::vector<CellValue> by_values;
  std::vector<double> values(s.analysis.size());
  bool first_row = true;
  while (data_.next_row()) {
    if (first_row) {
      first_row = false;
      for (int k : s.by) {
        if (data_.vars()[static_cast<std::size_t>(k)].type == VarType::Numeric) {
          by_values.emplace_back(data_.num(k));
        } else {
          by_values.emplace_back(std::string(data_.str(k)));
        }
      }
      // From here on every message of the group names it.
      if (!s.by.empty()) host.log().set_group(by_label(data_.vars(), s.by, by_values));
    }
    for (std::size_t i = 0; i < values.size(); ++i) values[i] = data_.num(s.analysis[i]);
    const double date = s.date ? data_.num(*s.date) : kMissing;
    const double prior_factor = s.prior_factors ? data_.num(*s.prior_factors) : kMissing;
    if (reader.row(data_.row_number(), date, values, prior_factor, data_.note()) == detail::RowOutcome::Stop) break;
  }
  GroupData group = reader.finish();
  group.by_values = std::move(by_values);
  return group;
}

std::string by_label(std::span<const VarInfo> input_variables, std::span<const int> by,
                     std::span<const CellValue> values) {
  std::string label;
  for (std::size_t i = 0; i < by.size() && i < values.size(); ++i) {
    const VarInfo& v = input_variables[static_cast<std::size_t>(by[i])];
    if (!label.empty()) label += ", ";
    label += v.name + "=";
    if (const double* x = std::get_if<double>(&values[i])) {
      label += is_missing(*x) ? std::string(".") : v.is_date ? format_iso_date(*x) : format_cell(OdsCell{*x}, -1);
    } else {
      label += std::get<std::string>(values[i]);
    }
  }
  return label;
}

GroupData read_series(const StepOptions& step, std::string name, std::span<const double> values,
                      std::span<const double> prior_factors, Host& host) {
  const SeriesInput::Settings settings = settings_of(step, {std::move(name)}, std::string(), "prior_factors", host);
  if (settings.prior_factors && prior_factors.size() != values.size())
    xebug_exit("a series in memory needs one prior factor per value");
  detail::GroupReader reader(settings, host);
  for (std::size_t i = 0; i < values.size(); ++i) {
    const double prior_factor = settings.prior_factors ? prior_factors[i] : kMissing;
    if (reader.row(static_cast<long>(i) + 1, kMissing, values.subspan(i, 1), prior_factor, std::nullopt) ==
        detail::RowOutcome::Stop)
      break;
  }
  return reader.finish();
}

}  // namespace x11sa
