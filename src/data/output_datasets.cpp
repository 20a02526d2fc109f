#include "data/output_datasets.h"

#include <algorithm>
#include <filesystem>
#include <utility>

#include <fmt/format.h>

#include "host/dates.h"
#include "host/exit.h"
#include "host/host.h"
#include "host/message_ids.h"
#include "host/messages.h"
#include "numeric/distributions.h"

namespace x11sa {

namespace {

constexpr std::array<const char*, 7> kDayNames = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                  "Friday", "Saturday", "Sunday"};
constexpr std::array<const char*, 4> kMonthLengthNames = {"31-Day-Month", "30-Day-Month", "29-Day-Month",
                                                          "28-Day-Month"};

// The first column of the BY values in OUTSTB= and OUTTDR=.
constexpr int kOutstbBy = 8;
constexpr int kOuttdrBy = 18;

// The OUT= values read back at a time, whatever the number of columns.
constexpr long kOutBlockValues = 1L << 20;

const char* interval_of(Frequency f) { return f == Frequency::Monthly ? "MONTH" : "QTR"; }

OutColumn num(const char* name, int label = 0) {
  return OutColumn{name, VarType::Numeric, false, label != 0 ? msgtext(label) : std::string()};
}
OutColumn chr(const char* name, int label = 0) {
  return OutColumn{name, VarType::Character, false, label != 0 ? msgtext(label) : std::string()};
}

OutColumn date(const char* name, const char* label) { return OutColumn{name, VarType::Numeric, true, label}; }
OutColumn num(const char* name, const char* label) { return OutColumn{name, VarType::Numeric, false, label}; }
OutColumn chr(const char* name, const char* label) { return OutColumn{name, VarType::Character, false, label}; }

OutColumn input_column(std::span<const VarInfo> vars, int k) {
  const VarInfo& v = vars[static_cast<std::size_t>(k)];
  return OutColumn{v.name, v.type, v.is_date, v.label};
}

// A weekday row of OUTTDR=.
struct DayRow {
  double combined_weight, prior_weight, coefficient, standard_error, t1, t2, prob_t1, prob_t2;
};

// T1 tests the combined weight against its neutral value, T2 the
// coefficient against 0; without error degrees of freedom a probability is
// missing rather than an error value.
DayRow day_row(const B15Regression& r, int day, double prior_weight, Mode mode) {
  const auto d = static_cast<std::size_t>(day);
  DayRow row{};
  row.prior_weight = prior_weight;
  row.coefficient = r.fit.coefficients[d];
  row.combined_weight = row.prior_weight + row.coefficient;
  row.standard_error = r.test.standard_errors[d];
  if (row.standard_error > 0.0) {
    row.t1 = mode == Mode::Additive ? row.coefficient / row.standard_error
                                    : (row.combined_weight - 1.0) / row.standard_error;
    row.t2 = row.coefficient / row.standard_error;
  } else {
    row.t1 = 0.0;
    row.t2 = 0.0;
  }
  const double error_df = r.fit.months - 6;
  row.prob_t1 = f_upper_tail_probability(row.t1 * row.t1, 1.0, error_df);
  row.prob_t2 = f_upper_tail_probability(row.t2 * row.t2, 1.0, error_df);
  if (row.prob_t1 < 0.0) row.prob_t1 = kMissing;
  if (row.prob_t2 < 0.0) row.prob_t2 = kMissing;
  return row;
}

// The columns of OUTSUM= after the BY variables, in the order they are set.
namespace outsum {
enum Column {
  kName,
  kExitLevel,
  kObservations,
  kFirst,
  kLast,
  kMode,
  kSeasonality,
  kStableF,
  kStableProbability,
  kMovingF,
  kMovingProbability,
  kKruskalWallis,
  kKruskalWallisProbability,
  kHenderson,
  kHendersonIcRatio,
  kMcd,
  kTradingDay,
  kArima,
  kSpans,
  kF2IcRatio,
  kIrregularRun,
  kReason,
};
}  // namespace outsum

std::vector<OutColumn> outsum_columns() {
  using enum VarType;
  return {OutColumn{"_NAME_", Character, false, msgtext(text_id::kVariableName)},
          num("EXITLEVEL", "Exit level"),
          num("NOBS", "Observations"),
          date("FIRST", "First observation"),
          date("LAST", "Last observation"),
          chr("MODE", "Mode of adjustment"),
          chr("SEASONALITY", "Identifiable seasonality"),
          num("FSTABLE", "Stable seasonality F"),
          num("PSTABLE", "Probability of the stable seasonality F"),
          num("FMOVING", "Moving seasonality F"),
          num("PMOVING", "Probability of the moving seasonality F"),
          num("KW", "Kruskal-Wallis statistic"),
          num("PKW", "Probability of the Kruskal-Wallis statistic"),
          num("HENDERSON", "Length of the Henderson trend of D12"),
          num("ICRATIO", "I/C ratio choosing the Henderson trend"),
          num("MCD", "Months (quarters) for cyclical dominance"),
          chr("TD", "Trading-day treatment"),
          chr("ARIMA", "ARIMA model"),
          num("SPANS", "Percent of D10 flagged by the sliding spans"),
          num("F2ICRATIO", "I/C ratio over one period (F2)"),
          num("ADRI", "Average duration of run of the irregular (F2)"),
          chr("REASON", "Why the variable was not adjusted")};
}

const char* mode_word(Mode m) { return m == Mode::Additive ? "additive" : "multiplicative"; }

const char* seasonality_word(IdentifiableSeasonality s) {
  switch (s) {
    case IdentifiableSeasonality::Present: return "present";
    case IdentifiableSeasonality::ProbablyNotPresent: return "probably not present";
    case IdentifiableSeasonality::NotPresent: break;
  }
  return "not present";
}

const char* trading_day_words(TradingDayTreatment t) {
  switch (t) {
    case TradingDayTreatment::None: return "none";
    case TradingDayTreatment::PriorWeights: return "prior weights";
    case TradingDayTreatment::EstimatedNotApplied: return "estimated: not applied";
    case TradingDayTreatment::Adjusted: return "adjusted";
    case TradingDayTreatment::TestedApplied: return "tested: applied";
    case TradingDayTreatment::TestedNotApplied: break;
  }
  return "tested: not applied";
}

// "(p,d,q)(P,D,Q)" with its transform, or "none: " and why there is none.
std::string arima_words(const ArimaUse& arima) {
  if (!arima.status) return "none: not requested";
  switch (*arima.status) {
    case ArimaStatus::Extended: break;
    case ArimaStatus::NoModelAccepted: return "none: no model met the criteria";
    case ArimaStatus::NotEstimated: return "none: estimation failed";
    case ArimaStatus::BackcastFailed: return "none: backcasts failed";
    case ArimaStatus::InternalError: return "none: internal error";
    case ArimaStatus::SeriesTooShort: return "none: series too short";
  }
  const ArimaModel& m = arima.model;
  std::string text = fmt::format("({},{},{})({},{},{})", m.p, m.dif, m.q, m.sp, m.sdif, m.sq);
  const ArimaTransform& t = arima.transform;
  if (t.kind == ArimaTransform::Kind::Log) text += " log";
  if (t.kind == ArimaTransform::Kind::Power) {
    text += " power (";
    append_number(text, t.shift);
    text += " ** ";
    append_number(text, t.power);
    text += ")";
  }
  return text;
}

}  // namespace

OutputDataSets::OutputDataSets(const StepOptions& step, std::span<const VarInfo> input_variables, Host& host)
    : host_(&host), out_values_(host.settings().util_memory_limit) {
  const AdjustmentOptions& m = step.method;
  frequency_ = m.frequency;
  mode_ = m.mode;
  if (m.prior_daily_weights) {
    prior_weights_ = *m.prior_daily_weights;
  } else {
    prior_weights_.fill(m.additive() ? 0.0 : 1.0);
  }
  const std::vector<int>& by = step.vars.by;
  auto with_by = [&](std::vector<OutColumn> cols) {
    for (int k : by) cols.push_back(input_column(input_variables, k));
    return cols;
  };
  auto create = [&](const OutputDataSetRef& ref, std::vector<OutColumn> cols) {
    auto ds = OutputDataSet::create(ref.folder, ref.name, std::move(cols));
    if (!ds) {
      host.log().error(fmt::format("The data set {} cannot be created: {}", ref.name.display(), ds.error()));
      level_ = std::max(level_, exit_level::kResource);
      return std::unique_ptr<OutputDataSet>();
    }
    return std::move(ds).value();
  };

  if (step.out) {
    std::vector<OutColumn> cols = with_by({});
    // The DATE= variable is written once, as the date of the row.
    for (int k : step.vars.id)
      if (k != step.vars.date) id_.push_back(k);
    for (int k : id_) cols.push_back(input_column(input_variables, k));
    if (step.vars.date) {
      OutColumn c = input_column(input_variables, *step.vars.date);
      c.is_date = true;
      cols.push_back(std::move(c));
    } else {
      cols.push_back(OutColumn{"_DATE_", VarType::Numeric, true, ""});
    }
    // Each variable's tables, in the order of the catalogue.
    for (std::size_t i = 0; i < step.vars.analysis.size(); ++i) {
      std::array<int, kOutTableCount>& slot = out_slot_.emplace_back();
      slot.fill(-1);
      const std::string& variable = input_variables[static_cast<std::size_t>(step.vars.analysis[i])].name;
      for (int k = 0; k < kOutTableCount; ++k) {
        const std::vector<std::string>& names = step.out_names[static_cast<std::size_t>(k)];
        if (i >= names.size()) continue;
        cols.push_back(OutColumn{names[i], VarType::Numeric, false,
                                 fmt::format("{} {}", variable, table_name(out_table(k)))});
        slot[static_cast<std::size_t>(k)] = static_cast<int>(out_columns_++);
      }
    }
    if (step.out_variable_count() == 0) {
      host.msg(message_id::kNoTableVariables);
      level_ = std::max(level_, exit_level::kWarning);
    }
    out_ = create(*step.out, std::move(cols));
  }
  if (step.outstb) {
    using namespace text_id;
    outstb_ = create(*step.outstb, with_by({chr("VARNAME", kVariableName), chr("TABLE", kTable), chr("SOURCE", kSource),
                                            num("SS", kSumOfSquares), num("DF", kDegreesOfFreedom),
                                            num("MS", kMeanSquare), num("F", kFValue), num("PROBF", kProbabilityF)}));
  }
  if (step.outtdr) {
    using namespace text_id;
    outtdr_ = create(*step.outtdr,
                     with_by({chr("VARNAME", kVariableName), chr("TABLE"), chr("_TYPE_"), chr("PARM"),
                              chr("SOURCE", kSource), num("CWGT", kCombinedWeight), num("PRWGT", kPriorWeight),
                              num("COEFF", kRegressionCoefficient), num("STDERR", kStandardError),
                              num("T1", kTCombinedWeight), num("T2", kTCoefficient), num("PROBT1", kProbabilityT1),
                              num("PROBT2", kProbabilityT2), num("SS", kSumOfSquares), num("DF", kDegreesOfFreedom),
                              num("MS", kMeanSquare), num("F", kFValue), num("PROBF", kProbabilityF)}));
  }
  if (step.outspan) {
    std::vector<OutColumn> cols = {OutColumn{"DATE", VarType::Numeric, true, ""}, chr("VARNAME", text_id::kVariableName),
                                   num("SPAN"), num("A1")};
    spans_trading_day_ = m.tdregr != TradingDayRegression::None;
    if (spans_trading_day_) cols.push_back(num("C18", text_id::kTradingDayFactors));
    cols.push_back(num("D10"));
    cols.push_back(num("D11"));
    outspan_ = create(*step.outspan, with_by(std::move(cols)));
  }
  if (step.outsum) {
    // The BY variables first, as the row's key.
    std::vector<OutColumn> cols = with_by({});
    for (OutColumn& c : outsum_columns()) cols.push_back(std::move(c));
    outsum_ = create(*step.outsum, std::move(cols));
  }
}

OutputDataSets::OutputDataSets(const OutputDataSets& like, Host& host, HostRecording& recording)
    : host_(&host), level_(like.level_), frequency_(like.frequency_), mode_(like.mode_),
      prior_weights_(like.prior_weights_), spans_trading_day_(like.spans_trading_day_), id_(like.id_),
      out_slot_(like.out_slot_), out_columns_(like.out_columns_), out_values_(host.settings().util_memory_limit) {
  const std::array<const std::unique_ptr<OutputDataSet>*, 5> from = {&like.out_, &like.outstb_, &like.outtdr_,
                                                                     &like.outspan_, &like.outsum_};
  const std::array<std::unique_ptr<OutputDataSet>*, 5> to = {&out_, &outstb_, &outtdr_, &outspan_, &outsum_};
  for (std::size_t k = 0; k < from.size(); ++k)
    if (*from[k]) *to[k] = OutputDataSet::recorder(**from[k], recording, static_cast<int>(k));
}

OutputDataSets OutputDataSets::recorder(Host& host, HostRecording& recording) const {
  return OutputDataSets(*this, host, recording);
}

void OutputDataSets::write_recorded_row(int dataset, std::string_view text) {
  const std::array<std::unique_ptr<OutputDataSet>*, 5> sets = {&out_, &outstb_, &outtdr_, &outspan_, &outsum_};
  if (dataset < 0 || dataset >= static_cast<int>(sets.size()) || !*sets[static_cast<std::size_t>(dataset)])
    xebug_exit(fmt::format("a row recorded for output data set {}, which the step does not write", dataset));
  OutputDataSet& ds = **sets[static_cast<std::size_t>(dataset)];
  if (!ds.write_row_text(text)) {
    host_->log().step_message(Severity::Error, fmt::format("The data set {} could not be written (disk full?).", ds.path()));
    xexit(exit_level::kResource);
  }
}

OutputDataSets::~OutputDataSets() = default;
OutputDataSets::OutputDataSets(OutputDataSets&&) noexcept = default;
OutputDataSets& OutputDataSets::operator=(OutputDataSets&&) noexcept = default;

bool OutputDataSets::out_has(std::size_t variable, Table t) const noexcept {
  const int k = table_info(t).out_index;
  return out_ && k >= 0 && variable < out_slot_.size() && out_slot_[variable][static_cast<std::size_t>(k)] >= 0;
}

void OutputDataSets::start_group(const GroupData& group, OutRows rows) {
  by_values_ = group.by_values;
  out_rows_ = rows;
  out_values_.clear();
  if (!writes_out_rows()) return;
  // Every column starts missing, so that columns can arrive in any order.
  const std::vector<double> missing(static_cast<std::size_t>(std::clamp(rows.rows, 0L, kOutBlockValues)), kMissing);
  for (long left = out_columns_ * rows.rows; left > 0; left -= static_cast<long>(missing.size()))
    if (!out_values_.write(missing.data(), static_cast<std::size_t>(std::min(left, static_cast<long>(missing.size()))) *
                                               sizeof(double))) {
      host_->msg(message_id::kUtilityWriteFailed);
      xexit(exit_level::kUtilityWrite);
    }
}

void OutputDataSets::put_out_column(std::size_t variable, Table t, std::span<const double> column) {
  if (!writes_out_rows() || !out_has(variable, t)) return;
  if (column.size() != static_cast<std::size_t>(out_rows_.rows))
    xebug_exit(fmt::format("an OUT= column of {} values for {} rows", column.size(), out_rows_.rows));
  const auto slot = static_cast<std::size_t>(out_slot_[variable][static_cast<std::size_t>(table_info(t).out_index)]);
  if (!out_values_.point(slot * column.size() * sizeof(double)) ||
      !out_values_.write(column.data(), column.size() * sizeof(double))) {
    host_->msg(message_id::kUtilityWriteFailed);
    xexit(exit_level::kUtilityWrite);
  }
}

void OutputDataSets::clear_out_columns(std::size_t variable) {
  if (!writes_out_rows() || variable >= out_slot_.size()) return;
  const std::vector<double> missing(static_cast<std::size_t>(out_rows_.rows), kMissing);
  for (int k = 0; k < kOutTableCount; ++k)
    if (out_has(variable, out_table(k))) put_out_column(variable, out_table(k), missing);
}

void OutputDataSets::write_out_rows(const GroupData& group, InputDataSet* input) {
  if (!writes_out_rows()) return;
  const int nby = static_cast<int>(by_values_.size());
  // ID values come from the input rows; without ID variables the dates kept
  // while reading suffice.
  const bool reread = !id_.empty();
  if (reread) {
    if (input == nullptr || !group.calendar.first_row)
      xebug_exit("OUT= cannot read the ID values of the BY group again");
    input->point(*group.calendar.first_row);
  }
  OutputDataSet& ds = *out_;
  write_out_rows_with(group, [&](bool group_row, long /*row*/) {
    const bool have_row = group_row && reread && input->next_row();
    for (std::size_t i = 0; i < id_.size(); ++i) {
      const int k = id_[i];
      const int col = nby + static_cast<int>(i);
      if (ds.columns()[static_cast<std::size_t>(col)].type == VarType::Numeric) {
        ds.set_num(col, have_row ? input->num(k) : kMissing);
      } else {
        ds.set_str(col, have_row ? input->str(k) : std::string_view());
      }
    }
  });
  if (reread)
    while (input->next_row()) {
    }
}

OutIdValues OutputDataSets::read_id_values(const GroupData& group, InputDataSet& input) const {
  OutIdValues ids;
  if (!writes_out_rows() || id_.empty()) return ids;
  if (!group.calendar.first_row) xebug_exit("OUT= cannot read the ID values of the BY group again");
  input.point(*group.calendar.first_row);
  const std::vector<VarInfo>& vars = input.vars();
  for (long r = 0; r < group.calendar.rows && input.next_row(); ++r, ++ids.rows)
    for (const int k : id_) {
      if (vars[static_cast<std::size_t>(k)].type == VarType::Numeric) {
        ids.cells.emplace_back(input.num(k));
      } else {
        ids.cells.emplace_back(std::string(input.str(k)));
      }
    }
  while (input.next_row()) {
  }
  return ids;
}

void OutputDataSets::write_out_rows(const GroupData& group, const OutIdValues& ids) {
  if (!writes_out_rows()) return;
  const int nby = static_cast<int>(by_values_.size());
  const std::size_t nid = id_.size();
  OutputDataSet& ds = *out_;
  write_out_rows_with(group, [&](bool group_row, long row) {
    const bool have_row = group_row && row < ids.rows;
    for (std::size_t i = 0; i < nid; ++i) {
      const int col = nby + static_cast<int>(i);
      const bool numeric = ds.columns()[static_cast<std::size_t>(col)].type == VarType::Numeric;
      const CellValue* cell = have_row ? &ids.cells[static_cast<std::size_t>(row) * nid + i] : nullptr;
      if (numeric) {
        const double* x = cell != nullptr ? std::get_if<double>(cell) : nullptr;
        ds.set_num(col, x != nullptr ? *x : kMissing);
      } else {
        const std::string* text = cell != nullptr ? std::get_if<std::string>(cell) : nullptr;
        ds.set_str(col, text != nullptr ? std::string_view(*text) : std::string_view());
      }
    }
  });
}

template <class IdRow>
void OutputDataSets::write_out_rows_with(const GroupData& group, IdRow&& id_row) {
  OutputDataSet& ds = *out_;
  const GroupCalendar& calendar = group.calendar;
  const long nrow = out_rows_.rows;
  const long ncol = out_columns_;
  const int nby = static_cast<int>(by_values_.size());
  const int nid = static_cast<int>(id_.size());
  const int date_col = nby + nid;
  const int first_table = date_col + 1;
  const bool has_dates = !calendar.dates.empty();
  const char* iv = interval_of(frequency_);
  const long before = out_rows_.before;
  double date = shifted_interval_start(iv, calendar.first_date, -before) - 1.0;
  // The columns are read a block of rows at a time.
  const long block_rows = std::clamp(kOutBlockValues / std::max(ncol, 1L), 1L, std::max(nrow, 1L));
  std::vector<double> block(static_cast<std::size_t>(block_rows * ncol));
  for (long r0 = 0; r0 < nrow; r0 += block_rows) {
    const long rows = std::min(block_rows, nrow - r0);
    for (long c = 0; c < ncol; ++c) {
      double* to = block.data() + c * block_rows;
      if (!out_values_.point(static_cast<std::size_t>(c * nrow + r0) * sizeof(double)) ||
          !out_values_.read(to, static_cast<std::size_t>(rows) * sizeof(double)))
        xebug_exit(fmt::format("the OUT= values of row {} could not be read back", r0 + 1));
    }
    for (long r = r0; r < r0 + rows; ++r) {
      const bool group_row = r >= before && r < before + calendar.rows;
      set_by_cells(ds, 0);
      id_row(group_row, r - before);
      date = group_row && has_dates ? calendar.dates[static_cast<std::size_t>(r - before)]
                                    : shifted_interval_start(iv, date, 1);
      ds.set_num(date_col, date);
      for (long c = 0; c < ncol; ++c)
        ds.set_num(first_table + static_cast<int>(c), block[static_cast<std::size_t>(c * block_rows + (r - r0))]);
      write_row(ds);
    }
  }
}

void OutputDataSets::write_outstb(std::string_view variable, const StableSeasonalityTest& stable,
                                  const MovingSeasonalityTest& moving) {
  if (!outstb_) return;
  OutputDataSet& ds = *outstb_;
  auto put = [&](int source, const VarianceRow& row, double f, double probability) {
    ds.set_str(0, variable);
    ds.set_str(1, "D8");
    ds.set_str(2, msgtext(source));
    ds.set_num(3, row.sum_of_squares);
    ds.set_num(4, row.df);
    ds.set_num(5, row.mean_square);
    ds.set_num(6, f);
    ds.set_num(7, probability);
    set_by_cells(ds, kOutstbBy);
    write_row(ds);
  };
  const int between_periods = frequency_ == Frequency::Monthly ? text_id::kBetweenMonths : text_id::kBetweenQuarters;
  put(between_periods, stable.between_periods, stable.f, stable.probability);
  put(text_id::kResidual, stable.residual, kMissing, kMissing);
  put(text_id::kTotal, stable.total, kMissing, kMissing);
  put(text_id::kBetweenYears, moving.between_years, moving.f, moving.probability);
  put(text_id::kError, moving.error, kMissing, kMissing);
}

void OutputDataSets::write_outtdr(std::string_view variable, Table table, const B15Regression& regression) {
  if (!outtdr_) return;
  OutputDataSet& ds = *outtdr_;
  const TradingDayFit& fit = regression.fit;
  const TradingDayTest& test = regression.test;
  auto start = [&](const char* type, std::string_view parm, std::string_view source) {
    ds.set_str(0, variable);
    ds.set_str(1, table_name(table));
    ds.set_str(2, type);
    ds.set_str(3, parm);
    ds.set_str(4, source);
    for (int c = 5; c < kOuttdrBy; ++c) ds.set_num(c, kMissing);
    set_by_cells(ds, kOuttdrBy);
  };
  for (int d = 0; d < 7; ++d) {
    const DayRow r = day_row(regression, d, prior_weights_[static_cast<std::size_t>(d)], mode_);
    start("REGRESS", kDayNames[static_cast<std::size_t>(d)], "");
    ds.set_num(5, r.combined_weight);
    ds.set_num(6, r.prior_weight);
    ds.set_num(7, r.coefficient);
    ds.set_num(8, r.standard_error);
    ds.set_num(9, r.t1);
    ds.set_num(10, r.t2);
    ds.set_num(11, r.prob_t1);
    ds.set_num(12, r.prob_t2);
    write_row(ds);
  }
  for (std::size_t k = 0; k < kMonthLengthNames.size(); ++k) {
    start("LOM_STD", kMonthLengthNames[k], "");
    ds.set_num(8, test.month_standard_errors[k]);
    write_row(ds);
  }
  const double n = fit.months;
  const struct {
    const char* source;
    double ss, df, ms;
  } anova[] = {{"Regression", fit.regression_ss, 6.0, test.regression_ms},
               {"Error", test.error_ss, n >= 7 ? n - 6 : 0.0, test.error_ms},
               {"Total", fit.total_ss, n, kMissing}};
  for (const auto& row : anova) {
    start("ANOVA", "", row.source);
    ds.set_num(13, row.ss);
    ds.set_num(14, row.df);
    ds.set_num(15, row.ms);
    if (&row == &anova[0]) {
      ds.set_num(16, test.f);
      ds.set_num(17, test.prob_f);
    }
    write_row(ds);
  }
}

void OutputDataSets::write_outspan(std::string_view variable, const SpanLayout& layout,
                                   std::span<const SpanEstimates> spans, std::span<const double> original) {
  if (!outspan_) return;
  OutputDataSet& ds = *outspan_;
  const bool trading_day = spans_trading_day_;
  const int by = trading_day ? 7 : 6;
  const char* iv = interval_of(frequency_);
  for (std::size_t i = 0; i < spans.size(); ++i) {
    const SpanExtent& e = layout.spans[i];
    const SpanEstimates& span = spans[i];
    double date = e.first_date;
    for (long t = e.first; t < e.end; ++t) {
      const auto k = static_cast<std::size_t>(t - e.first);
      int col = 0;
      ds.set_num(col++, date);
      ds.set_str(col++, variable);
      ds.set_num(col++, static_cast<double>(i + 1));
      ds.set_num(col++, original[static_cast<std::size_t>(t)]);
      if (trading_day) ds.set_num(col++, span.trading_day.empty() ? kMissing : span.trading_day[k]);
      ds.set_num(col++, span.seasonal[k]);
      ds.set_num(col, span.adjusted[k]);
      set_by_cells(ds, by);
      write_row(ds);
      date = shifted_interval_start(iv, date, 1);
    }
  }
}

void OutputDataSets::write_outsum(const VariableSummary& v) {
  if (!outsum_) return;
  OutputDataSet& ds = *outsum_;
  const int by = static_cast<int>(by_values_.size());
  auto put_num = [&](int column, double x) { ds.set_num(by + column, x); };
  auto put_str = [&](int column, std::string_view text) { ds.set_str(by + column, text); };
  set_by_cells(ds, 0);
  put_str(outsum::kName, v.name);
  put_num(outsum::kExitLevel, v.exit_level);
  put_num(outsum::kObservations, v.observations ? static_cast<double>(*v.observations) : kMissing);
  put_num(outsum::kFirst, v.first_date);
  put_num(outsum::kLast, v.last_date);
  put_str(outsum::kMode, mode_word(v.mode));
  // The cells of a row start empty: a variable not adjusted leaves its figures so.
  if (v.figures) {
    const AdjustmentFigures& f = *v.figures;
    const D8Tests& tests = f.seasonality;
    put_str(outsum::kSeasonality, seasonality_word(tests.combined.verdict));
    put_num(outsum::kStableF, tests.stable.f);
    put_num(outsum::kStableProbability, tests.stable.probability);
    put_num(outsum::kMovingF, tests.moving.f);
    put_num(outsum::kMovingProbability, tests.moving.probability);
    put_num(outsum::kKruskalWallis, tests.kruskal_wallis.statistic);
    put_num(outsum::kKruskalWallisProbability, tests.kruskal_wallis.probability);
    put_num(outsum::kHenderson, f.henderson);
    put_num(outsum::kHendersonIcRatio, f.henderson_ic_ratio);
    put_num(outsum::kMcd, f.mcd);
    put_str(outsum::kTradingDay, trading_day_words(f.trading_day));
    put_str(outsum::kArima, arima_words(f.arima));
    put_num(outsum::kSpans, f.spans_percent);
    put_num(outsum::kF2IcRatio, f.f2_ic_ratio);
    put_num(outsum::kIrregularRun, f.irregular_run);
  }
  put_str(outsum::kReason, v.reason);
  write_row(ds);
}

int OutputDataSets::commit() {
  int level = exit_level::kNormal;
  for (auto* ds : {&out_, &outstb_, &outtdr_, &outspan_, &outsum_}) {
    if (!*ds) continue;
    std::error_code ec;
    if (!host_->program_file().empty() && std::filesystem::equivalent((*ds)->path(), host_->program_file(), ec) &&
        !ec) {
      host_->log().step_message(Severity::Error, fmt::format("The data set {} would replace the program file; it is "
                                                             "not written.", (*ds)->path()));
      level = exit_level::kResource;
      ds->reset();
      continue;
    }
    if (const Status committed = (*ds)->commit(); !committed) {
      host_->log().error(fmt::format("The data set {} could not be written: {}", (*ds)->path(), committed.error()));
      level = exit_level::kResource;
    } else {
      host_->log().note(fmt::format("The data set {} has {} observations and {} variables.", (*ds)->path(),
                                    (*ds)->rows_written(), (*ds)->columns().size()));
      // A summary holds no series for a later step to read.
      if (ds != &outsum_) host_->last_dataset = (*ds)->path();
    }
    ds->reset();
  }
  return level;
}

void OutputDataSets::discard() noexcept {
  for (auto* ds : {&out_, &outstb_, &outtdr_, &outspan_, &outsum_}) ds->reset();
}

void OutputDataSets::write_row(OutputDataSet& ds) {
  if (!ds.write_row()) {
    host_->log().step_message(Severity::Error, fmt::format("The data set {} could not be written (disk full?).", ds.path()));
    xexit(exit_level::kResource);
  }
}

void OutputDataSets::set_by_cells(OutputDataSet& ds, int first) const {
  for (std::size_t i = 0; i < by_values_.size(); ++i) {
    const int col = first + static_cast<int>(i);
    if (const double* x = std::get_if<double>(&by_values_[i])) {
      ds.set_num(col, *x);
    } else {
      ds.set_str(col, std::get<std::string>(by_values_[i]));
    }
  }
}

}  // namespace x11sa
