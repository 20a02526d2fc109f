#include "statements/step_options.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>

#include <fmt/format.h>

#include "host/dates.h"
#include "host/host.h"
#include "host/message_ids.h"
#include "host/text.h"
#include "records/exit_levels.h"
#include "statements/option_checks.h"

namespace x11sa {

namespace {

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

int whole(const OptValue& v) { return static_cast<int>(v.num); }

// The error for a data set file given by its path that is not there; none
// when something is (opening it says what is wrong with it, if anything).
std::optional<std::string> missing_file_text(const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::symlink_status(path, ec).type() != fs::file_type::not_found) return std::nullopt;
  std::string text = fmt::format("The file '{}' does not exist", visible_text(path, 200));
  if (fs::path(path).is_relative()) {
    const fs::path here = fs::current_path(ec);
    if (!ec) text += fmt::format(" (a relative path is read from the current folder, {})", here.string());
  }
  if (fs::is_regular_file(path + ".csv", ec))
    return text + fmt::format("; did you mean '{}.csv'?", visible_text(path, 200));
  return text + ".";
}

// A MACURVES choice by its upper-case word; NONE leaves the choice to the method.
std::optional<SeasonalCurve> curve_named(const std::string& word) {
  if (word == "3") return SeasonalCurve::ThreeTerm;
  if (word == "3X3") return SeasonalCurve::ThreeByThree;
  if (word == "3X5") return SeasonalCurve::ThreeByFive;
  if (word == "3X9") return SeasonalCurve::ThreeByNine;
  if (word == "STABLE") return SeasonalCurve::Stable;
  if (word == "NONE" || word.empty()) return SeasonalCurve::Default;
  return std::nullopt;
}

// Reads one step's statements into a StepOptions, logging as it goes.
class StepReader {
 public:
  StepReader(Host& host, SeriesSource source, int level) : host_(host), source_(source), level_(level) {
    // Without their statements ARIMA and the spans print nothing.
    o_.print.arima = ReportLevel::None;
    o_.print.spans = ReportLevel::None;
  }

  StepOptionsRead read(const ParsedStep& step);

 private:
  void raise(int level) { level_ = std::max(level_, level); }
  // A problem found by a check shared with check_options().
  void report(const OptionProblem& p) {
    host_.log().message(p.error() ? Severity::Error : Severity::Warning, p.text);
    raise(p.exit_level);
  }
  void report(const std::optional<OptionProblem>& p) {
    if (p) report(*p);
  }
  void report(const std::vector<OptionProblem>& ps) {
    for (const auto& p : ps) report(p);
  }
  template <class... Args>
  void message(int level, int number, const Args&... args) {
    host_.msg(number, args...);
    raise(level);
  }
  void statement_error(SourcePos pos, const std::string& text, int level) {
    host_.log().error(fmt::format("Line {}, column {}: {}", pos.line, pos.col, text));
    raise(level);
  }
  [[nodiscard]] bool monthly() const { return o_.method.monthly(); }
  [[nodiscard]] bool series_in_memory() const { return source_ == SeriesSource::Memory; }

  std::optional<OutputDataSetRef> output_data_set(const OptValue& v);
  void open_input(const ParsedStatement& proc);
  void proc_statement(const ParsedStatement& proc);
  const ParsedStatement* frequency_statement(const ParsedStep& step);
  std::optional<double> period(const OptValue& v, const char* which);
  std::optional<int> year(const ParsedStatement& s, const char* name);
  void tables_statement(const ParsedStatement& s);
  void macurves_statement(const ParsedStatement& s);
  void arima_statement(const ParsedStatement& s);
  void sspan_statement(const ParsedStatement& s);
  void pdweights_statement(const ParsedStatement& s);
  enum class Needs { Anything, Numbers, NumbersOrDates };
  int resolve_var(const std::string& name, const char* role, Needs needs, SourcePos pos);
  bool name_is_its_own(int k);
  void note_renamed_columns();
  void note_unused_columns();
  void variables(const ParsedStatement& proc, const ParsedStatement* freq);
  void output_statement(const ParsedStatement& s);
  void cross_checks();
  void settle_printing();

  Host& host_;
  SeriesSource source_;
  int level_;
  StepOptions o_;
  std::unique_ptr<InputDataSet> input_;
  std::vector<int> clashes_told_;  // first columns of the name clashes reported
  bool cells_unread_ = false;       // a variable's cells could not be read as needed

  // What the statements said that the options keep only in settled form.
  bool noprint_ = false;
  bool printout_given_ = false;
  bool charts_given_ = false;
  bool macurves_ = false;
  int month_curve_weight_ = 0;
  int quarter_curve_weight_ = 0;
};

// Resolves an output data set name to its folder; an unassigned library is
// an error of the data set's status.
std::optional<OutputDataSetRef> StepReader::output_data_set(const OptValue& v) {
  const DataSetName& n = *v.ds;
  if (n.is_file()) return OutputDataSetRef{n, std::string()};
  const auto folder = host_.library().folder(n.libref);
  if (!folder) {
    statement_error(v.pos,
                    fmt::format("The library {} of {} is not assigned; assign it with LIBNAME or "
                                "--lib {}=FOLDER.",
                                n.libref, n.display(), n.libref),
                    exit_level::kResource);
    return std::nullopt;
  }
  return OutputDataSetRef{n, *folder};
}

void StepReader::open_input(const ParsedStatement& proc) {
  std::string name;
  std::string path;
  if (const OptValue* v = proc.get("DATA"); v != nullptr && v->ds->is_file()) {
    name = v->ds->display();
    path = v->ds->path;
    if (const auto missing = missing_file_text(path)) {
      host_.log().error(*missing);
      raise(exit_level::kResource);
      return;
    }
  } else if (v != nullptr) {
    const DataSetName& n = *v->ds;
    name = n.display();
    const auto folder = host_.library().folder(n.libref);
    if (!folder) {
      statement_error(v->pos,
                      fmt::format("The library {} of DATA={} is not assigned; assign it with "
                                  "LIBNAME or --lib {}=FOLDER.",
                                  n.libref, name, n.libref),
                      exit_level::kResource);
      return;
    }
    const auto found = InputDataSet::locate(*folder, n.member);
    if (!found) {
      host_.log().error(
          fmt::format("The data set {} does not exist (no file {}/{}.csv).", name, *folder, n.member));
      raise(exit_level::kResource);
      return;
    }
    path = *found;
  } else if (!host_.last_dataset.empty()) {
    path = host_.last_dataset;
    name = path;
  } else {
    host_.log().error("No input data set: give DATA= on the PROC X11 statement (no earlier step wrote one).");
    raise(exit_level::kResource);
    return;
  }
  auto opened = InputDataSet::open(path, name, host_.settings().jobs);
  if (!opened) {
    host_.log().error(opened.error());
    raise(exit_level::kResource);
    return;
  }
  input_ = std::move(opened).value();
  host_.note_input(path);
  o_.input = InputDataSetRef{path, name};
  note_renamed_columns();
}

// One note lists the header cells that were not names, with what they became.
void StepReader::note_renamed_columns() {
  const std::vector<RenamedColumn>& renamed = input_->renamed_columns();
  if (renamed.empty()) return;
  constexpr std::size_t kListed = 50;
  std::string list;
  for (std::size_t k = 0; k < renamed.size() && k < kListed; ++k) {
    const RenamedColumn& r = renamed[k];
    if (k > 0) list += ", ";
    list += r.header.empty() ? fmt::format("column {} (no name) becomes {}", r.column, r.name)
                             : fmt::format("\"{}\" becomes {}", visible_text(r.header, 64), r.name);
  }
  if (renamed.size() > kListed) list += fmt::format(", and {} more", renamed.size() - kListed);
  host_.log().note(fmt::format("Data set {}: {}: {}.", input_->name(),
                               renamed.size() == 1
                                   ? std::string("a header cell is not a valid variable name, so its variable is "
                                                 "named from it")
                                   : fmt::format("{} header cells are not valid variable names, so their variables "
                                                 "are named from them",
                                                 renamed.size()),
                               list));
}

void StepReader::proc_statement(const ParsedStatement& proc) {
  if (!series_in_memory()) open_input(proc);
  if (const OptValue* v = proc.get("OUTSTB")) o_.outstb = output_data_set(*v);
  if (const OptValue* v = proc.get("OUTSPAN")) o_.outspan = output_data_set(*v);
  if (const OptValue* v = proc.get("OUTSUM")) o_.outsum = output_data_set(*v);
  // OUTSUM= holds the tests and measures whether or not they are printed.
  o_.keep_diagnostics = o_.outsum.has_value();
  o_.method.year_ahead = proc.has("YRAHEADOUT");
  o_.outextrap = proc.has("OUTEXTRAP");
  noprint_ = proc.has("NOPRINT");
  o_.debug = DebugSwitches{proc.has("DEBUG"), proc.has("DEBUGD"), proc.has("DEBUGX")};
}

// START= or END=: a month or a quarter as the frequency writes it.
std::optional<double> StepReader::period(const OptValue& v, const char* which) {
  const auto d = monthly() ? informat_monyy(v.text) : informat_yyq(v.text);
  if (!d)
    message(exit_level::kStatement, monthly() ? message_id::kNotAMonth : message_id::kNotAQuarter, which,
            shown_text(v.text));
  return d;
}

std::optional<int> StepReader::year(const ParsedStatement& s, const char* name) {
  const OptValue* v = s.get(name);
  if (v == nullptr) return std::nullopt;
  if (const auto problem = detail::year_problem(name, whole(*v), v->text)) {
    report(*problem);
    return std::nullopt;
  }
  return whole(*v);
}

// MONTHLY or QUARTERLY: the last such statement holds.
const ParsedStatement* StepReader::frequency_statement(const ParsedStep& step) {
  const ParsedStatement* freq = nullptr;
  auto word = [](const ParsedStatement& s) {
    return msgtext(s.word == "QUARTERLY" ? text_id::kQuarterlyStatement : text_id::kMonthlyStatement);
  };
  for (const auto& s : step.stmts) {
    if (s.kind != StmtKind::Freq) continue;
    if (freq != nullptr) message(exit_level::kWarning, message_id::kStatementRepeated, word(s), word(*freq));
    freq = &s;
  }
  if (freq == nullptr) return nullptr;
  const ParsedStatement& s = *freq;
  AdjustmentOptions& m = o_.method;
  m.frequency = s.word == "MONTHLY" ? Frequency::Monthly : Frequency::Quarterly;
  m.mode = s.has("ADDITIVE") ? Mode::Additive : Mode::Multiplicative;
  m.summary = s.has("SUMMARY");
  m.trend_adjust = s.has("TRENDADJ");
  if (s.has("NOPRINT")) noprint_ = true;
  if (const OptValue* v = s.get("START")) o_.start = period(*v, "START");
  if (const OptValue* v = s.get("END")) o_.end = period(*v, "END");
  if (!s.has("DATE") && !s.has("START")) message(exit_level::kOptionValue, message_id::kNoDateNorStart);
  if (o_.start && o_.end && *o_.start > *o_.end) message(exit_level::kOptionValue, message_id::kStartAfterEnd);
  if (const OptValue* v = s.get("NDEC")) o_.print.decimals = whole(*v);
  if (const OptValue* v = s.get("PRINTOUT")) {
    const std::string& w = v->text;
    o_.print.printout = w == "FULL" || w == "ALL" ? PrintLevel::Full
                        : w == "LONG"             ? PrintLevel::Long
                        : w == "NONE"             ? PrintLevel::None
                                                  : PrintLevel::Standard;  // SHORT or STANDARD
    printout_given_ = true;
  }
  if (const OptValue* v = s.get("CHARTS")) {
    const std::string& w = v->text;
    o_.print.charts = w == "FULL" || w == "ALL" ? ChartLevel::Full
                      : w == "NONE"             ? ChartLevel::None
                                                : ChartLevel::Standard;
    charts_given_ = true;
  }
  if (const OptValue* v = s.get("TRENDMA")) {
    const auto problem = detail::trendma_problem(m.frequency, whole(*v));
    report(problem);
    if (!problem) m.trendma = whole(*v);
  }
  if (const OptValue* v = s.get("PTRENDMA")) {
    const auto problem = detail::ptrendma_problem(m.frequency, whole(*v));
    report(problem);
    if (!problem) m.ptrendma = whole(*v);
  }
  if (const OptValue* v = s.get("FULLWEIGHT")) m.fullweight = v->num;
  if (const OptValue* v = s.get("ZEROWEIGHT")) m.zeroweight = v->num;
  if (const OptValue* v = s.get("EXCLUDE")) m.exclude = v->num;
  if (const OptValue* v = s.get("EXTREME")) m.extreme = v->text == "OLD" ? ExtremeRule::Old : ExtremeRule::New;
  if (const OptValue* v = s.get("TDREGR")) {
    const std::string& w = v->text;
    m.tdregr = w == "ADJUST"  ? TradingDayRegression::Adjust
               : w == "TEST"  ? TradingDayRegression::Test
               : w == "PRINT" ? TradingDayRegression::Print
                              : TradingDayRegression::None;
  }
  m.tdcompute_year = year(s, "TDCOMPUTE");
  m.tdapply_year = year(s, "TDAPPLY");
  m.length_of_month = s.has("LENGTH");
  m.old_sigma = s.has("OLDSIGMA");
  return freq;
}

void StepReader::tables_statement(const ParsedStatement& s) {
  o_.print.tables_given = true;
  for (Table t : s.tables) o_.print.tables.set(static_cast<std::size_t>(t));
}

// The last MACURVES statement holds, every period it leaves out back to the
// method's choice.
void StepReader::macurves_statement(const ParsedStatement& s) {
  static constexpr const char* kPeriods[16] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG",
                                               "SEP", "OCT", "NOV", "DEC", "Q1",  "Q2",  "Q3",  "Q4"};
  macurves_ = true;
  o_.print.list_curves = true;
  o_.method.curves.fill(SeasonalCurve::Default);
  month_curve_weight_ = 0;
  quarter_curve_weight_ = 0;
  for (std::size_t i = 0; i < 16; ++i) {
    const OptValue* v = s.get(kPeriods[i]);
    if (v == nullptr) continue;
    const std::optional<SeasonalCurve> curve = curve_named(upper(v->text));
    if (!curve) report(detail::unknown_curve_problem(kPeriods[i], v->text));
    const int weight = curve ? detail::curve_weight(*curve) : detail::kUnknownCurveWeight;
    (i < 12 ? month_curve_weight_ : quarter_curve_weight_) += weight;
    // Quarterly series take their filters from the method.
    if (i < 12 && curve) o_.method.curves[i] = *curve;
  }
}

// A second ARIMA statement changes what it names and keeps the rest.
void StepReader::arima_statement(const ParsedStatement& s) {
  ArimaOptions& a = o_.method.arima ? *o_.method.arima : o_.method.arima.emplace();
  o_.print.arima = s.has("NOPRINT") ? ReportLevel::None : s.has("PRINTALL") ? ReportLevel::All : ReportLevel::Standard;
  o_.print.arima_first_pass = s.has("PRINTFP");
  // Ranges of the numbers were checked as the statement was read.
  if (const OptValue* v = s.get("BACKCAST")) a.backcast_years = whole(*v);
  if (const OptValue* v = s.get("FORECAST")) a.forecast_years = whole(*v);
  if (const OptValue* m = s.get("MODEL")) {
    auto order = [&](const char* name) {
      const auto it = m->sub.find(name);
      return it == m->sub.end() ? 0 : whole(it->second);
    };
    ArimaModel& model = a.model.emplace();
    model.p = order("P");
    model.sp = order("SP");
    model.q = order("Q");
    model.sq = order("SQ");
    model.dif = order("DIF");
    model.sdif = order("SDIF");
    model.noint = m->sub.count("NOINT") != 0;
    model.center = m->sub.count("CENTER") != 0;
  } else {
    a.model.reset();
  }
  if (const OptValue* t = s.get("TRANSFORM")) {
    if (!a.model) {
      report(detail::transform_without_model_problem());
    } else if (t->text == "LOG") {
      a.transform.kind = ArimaTransform::Kind::Log;
    } else {
      a.transform.kind = ArimaTransform::Kind::Power;
      const auto shift = t->sub.find("A");
      a.transform.shift = shift == t->sub.end() ? 0.0 : shift->second.num;
      a.transform.power = t->sub.at("B").num;
    }
  }
  if (const OptValue* v = s.get("MAXITER")) {
    if (v->num < 1) {
      report(detail::maxiter_problem());
      a.maxiter = detail::kDefaultMaxiter;
    } else {
      a.maxiter = whole(*v);
    }
  }
  if (const OptValue* v = s.get("NLAG")) a.nlag = whole(*v);
  if (const OptValue* v = s.get("CONVERGE")) a.converge = v->num;
  if (const OptValue* v = s.get("METHOD"))
    a.method = v->text == "CLS" ? ArimaMethod::Cls : v->text == "ULS" ? ArimaMethod::Uls : ArimaMethod::Ml;
  if (!a.model) {
    auto criterion = [&](const char* name, const detail::Criterion& c, double& field) {
      const OptValue* v = s.get(name);
      if (v == nullptr) return;
      const auto problem = detail::criterion_problem(c, v->num);
      report(problem);
      field = problem ? c.fallback : v->num;
    };
    criterion("MAPECR", detail::kMapeCriterion, a.mape_criterion);
    criterion("CHICR", detail::kChiCriterion, a.chi_criterion);
    criterion("OVDIFCR", detail::kOverdiffCriterion, a.overdiff_criterion);
  }
}

void StepReader::sspan_statement(const ParsedStatement& s) {
  SpansOptions& sp = o_.method.spans ? *o_.method.spans : o_.method.spans.emplace();
  o_.print.spans = s.has("NOPRINT") ? ReportLevel::None : s.has("PRINTALL") ? ReportLevel::All : ReportLevel::Standard;
  if (const OptValue* v = s.get("LENGTH")) sp.length = static_cast<long>(v->num);
  if (const OptValue* v = s.get("NSPANS")) sp.count = static_cast<long>(v->num);
  if (const OptValue* v = s.get("NDEC")) o_.print.span_decimals = whole(*v);
  if (const OptValue* v = s.get("WIDTH")) o_.print.span_width = whole(*v);
  if (const OptValue* v = s.get("CUTOFF")) sp.cutoff = v->num;
  if (const OptValue* v = s.get("TDCUTOFF")) sp.td_cutoff = v->num;
}

void StepReader::pdweights_statement(const ParsedStatement& s) {
  static constexpr const char* kDays[7] = {"MON", "TUE", "WED", "THU", "FRI", "SAT", "SUN"};
  std::array<double, 7>& w = o_.method.prior_daily_weights.emplace();
  for (std::size_t d = 0; d < 7; ++d) {
    const OptValue* v = s.get(kDays[d]);
    w[d] = v != nullptr ? v->num : 0.0;
  }
  report(detail::zero_weights_problem(w));
}

// A variable of the input data set by name; none, with an error, when it is
// absent, its name is not its own, or its cells cannot be read as `needs`
// says: a character variable with no number (or date) at all is the wrong
// variable, one with some is data with a bad cell, which the error names.
int StepReader::resolve_var(const std::string& name, const char* role, Needs needs, SourcePos pos) {
  const int k = input_->find_var(name);
  if (k < 0) {
    // A file of one column whose header holds semicolons or tabs is most
    // likely one that separates its values with them.
    const auto& renamed = input_->renamed_columns();
    const bool other_separator = input_->vars().size() == 1 && !renamed.empty() &&
                                 renamed.front().header.find_first_of(";\t") != std::string::npos;
    statement_error(pos,
                    fmt::format("Variable {} named in {} is not on data set {}.{}", name, role, input_->name(),
                                other_separator ? " Its values seem to be separated by semicolons or tabs; data sets "
                                                  "separate them by commas."
                                                : ""),
                    exit_level::kStatement);
    return -1;
  }
  if (!name_is_its_own(k)) return -1;
  if (needs == Needs::Anything || input_->vars()[static_cast<std::size_t>(k)].type == VarType::Numeric) return k;
  const CellReading how = needs == Needs::NumbersOrDates && input_->cells_reading_as(k, CellReading::Dates) > 0
                              ? CellReading::Dates
                              : CellReading::Numbers;
  if (input_->cells_reading_as(k, how) == 0) {
    statement_error(pos,
                    fmt::format("Variable {} named in {} is a character variable; {} needs a numeric variable.",
                                name, role, role),
                    exit_level::kStatement);
    return -1;
  }
  if (const Status read = input_->read_as(k, how); !read) {
    host_.log().error(read.error());
    raise(exit_level::kDataError);
    cells_unread_ = true;
    return -1;
  }
  return k;
}

// Columns whose names clash cannot be told apart: an error once the step
// uses one of them, given once per name.
bool StepReader::name_is_its_own(int k) {
  const std::vector<int> columns = input_->name_clash(k);
  if (columns.empty()) return true;
  if (std::find(clashes_told_.begin(), clashes_told_.end(), columns.front()) != clashes_told_.end()) return false;
  clashes_told_.push_back(columns.front());
  std::string list;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    list += i == 0 ? "" : i + 1 == columns.size() ? " and " : ", ";
    const VarInfo& v = input_->vars()[static_cast<std::size_t>(columns[i])];
    list += std::to_string(columns[i] + 1);
    if (!v.label.empty()) list += fmt::format(" (\"{}\")", visible_text(v.label, 64));
  }
  host_.log().error(fmt::format("Data set {}: columns {} {} the name {}, ignoring case, so the step cannot tell "
                                "which is meant; give them different names in the file.",
                                input_->name(), list, columns.size() == 2 ? "both have" : "all have",
                                input_->vars()[static_cast<std::size_t>(k)].name));
  raise(exit_level::kResource);
  return false;
}

// What the step leaves unused that a user may have meant to use: columns
// whose names clash, and, without a VAR statement, columns of numbers with
// a cell that is not one.
void StepReader::note_unused_columns() {
  const StepVariables& vars = o_.vars;
  auto used = [&](int k) {
    return std::find(vars.by.begin(), vars.by.end(), k) != vars.by.end() ||
           std::find(vars.id.begin(), vars.id.end(), k) != vars.id.end() || vars.date == k ||
           vars.prior_factors == k || std::find(vars.analysis.begin(), vars.analysis.end(), k) != vars.analysis.end();
  };
  const auto& all = input_->vars();
  for (std::size_t i = 0; i < all.size(); ++i) {
    const int k = static_cast<int>(i);
    const std::vector<int> clash = input_->name_clash(k);
    if (!clash.empty() && clash.front() == k &&
        std::find(clashes_told_.begin(), clashes_told_.end(), k) == clashes_told_.end() &&
        std::none_of(clash.begin(), clash.end(), used))
      host_.log().note(fmt::format("Data set {}: {} columns have the name {}, ignoring case; the step does not use "
                                   "them.",
                                   input_->name(), clash.size(), all[i].name));
  }
}

void StepReader::variables(const ParsedStatement& proc, const ParsedStatement* freq) {
  StepVariables& vars = o_.vars;
  if (series_in_memory()) {
    vars.analysis = {0};
    return;
  }
  if (!input_) return;
  for (std::size_t i = 0; i < proc.by.size(); ++i) {
    const int k = resolve_var(proc.by[i], "BY", Needs::Anything, proc.by_pos[i]);
    if (k >= 0) {
      vars.by.push_back(k);
      vars.by_descending.push_back(proc.by_descending[i]);
    }
  }
  vars.by_notsorted = proc.notsorted;
  for (std::size_t i = 0; i < proc.id.size(); ++i) {
    const int k = resolve_var(proc.id[i], "ID", Needs::Anything, proc.id_pos[i]);
    if (k >= 0 && std::find(vars.id.begin(), vars.id.end(), k) == vars.id.end()) vars.id.push_back(k);
  }
  auto numeric_var = [&](const OptValue& v, const char* role, Needs needs) -> std::optional<int> {
    const int k = resolve_var(v.text, role, needs, v.pos);
    return k >= 0 ? std::optional(k) : std::nullopt;
  };
  if (freq != nullptr) {
    if (const OptValue* v = freq->get("DATE")) vars.date = numeric_var(*v, "DATE=", Needs::NumbersOrDates);
    if (const OptValue* v = freq->get("PMFACTOR")) vars.prior_factors = numeric_var(*v, "PMFACTOR=", Needs::Numbers);
  }
  auto taken = [&](int k) {
    return std::find(vars.by.begin(), vars.by.end(), k) != vars.by.end() ||
           std::find(vars.id.begin(), vars.id.end(), k) != vars.id.end() || vars.date == k ||
           vars.prior_factors == k;
  };
  bool var_names_failed = false;
  if (proc.has_var) {
    for (std::size_t i = 0; i < proc.var.size(); ++i) {
      const std::string& n = proc.var[i];
      const int k = resolve_var(n, "VAR", Needs::Numbers, proc.var_pos[i]);
      if (k < 0) {
        var_names_failed = true;
        continue;
      }
      if (std::find(vars.analysis.begin(), vars.analysis.end(), k) != vars.analysis.end()) {
        statement_error(proc.var_pos[i], fmt::format("Variable {} is named twice in the VAR statement.", n),
                        exit_level::kStatement);
        continue;
      }
      vars.analysis.push_back(k);
    }
  } else {
    const auto& all = input_->vars();
    for (std::size_t i = 0; i < all.size(); ++i) {
      const int k = static_cast<int>(i);
      if (taken(k)) continue;
      if (all[i].type == VarType::Numeric && !all[i].is_date) {
        if (name_is_its_own(k)) vars.analysis.push_back(k);
      } else if (all[i].type == VarType::Character && input_->leading_numbers(k) > 0 &&
                 2 * input_->cells_reading_as(k, CellReading::Numbers) > input_->nobs()) {
        // Mostly numbers: most likely meant to be adjusted.
        const Status read = input_->read_as(k, CellReading::Numbers);
        if (!read) host_.log().note(fmt::format("Variable {} is not adjusted, since not all of its cells are numbers: {}",
                                             all[i].name, read.error()));
      }
    }
  }
  note_unused_columns();
  // VAR names that could not be used said so already.
  if (vars.analysis.empty() && !(proc.has_var && (var_names_failed || level_ >= exit_level::kStatement)))
    message(exit_level::kOptionValue, message_id::kNoVariableToAdjust);
}

// OUTPUT names, once the analysis variables are known.
void StepReader::output_statement(const ParsedStatement& s) {
  if (const OptValue* v = s.get("OUT")) {
    o_.out = output_data_set(*v);
  } else {
    statement_error(s.pos, "The OUTPUT statement needs OUT= to name its data set.", exit_level::kOptionValue);
  }
  // Without a data set, or with variables that could not be read, the
  // variables are unknown: nothing to count against.
  const bool vars_known = (input_ != nullptr && !cells_unread_) || series_in_memory();
  const std::size_t nvar = o_.vars.analysis.size();
  bool told = false;
  for (const auto& [table, names] : s.out_names) {
    std::vector<std::string>& kept = o_.out_names[static_cast<std::size_t>(table_info(table).out_index)];
    if (!kept.empty())
      host_.log().warning(fmt::format(
          "Table {} is named more than once in the OUTPUT statement; the last names are used.", table_name(table)));
    kept = names;
    if (vars_known && kept.size() > nvar) {
      if (!told) host_.msg(message_id::kMoreOutputNamesThanVariables, 3, table_name(table));
      told = true;
      raise(exit_level::kWarning);
      kept.resize(nvar);
    }
  }
}

// The checks of the statements together.
void StepReader::cross_checks() {
  const AdjustmentOptions& m = o_.method;
  if (m.prior_daily_weights && m.additive()) report(detail::additive_weights_problem());
  if (!o_.vars.id.empty() && !o_.out) message(exit_level::kWarning, message_id::kIdWithoutOut);
  if (o_.outtdr && m.tdregr == TradingDayRegression::None)
    message(exit_level::kWarning, message_id::kOuttdrWithoutRegression);
  if (m.arima) {
    report(detail::nlag_problem(m.frequency, *m.arima));
    report(detail::empty_model_problem(*m.arima));
  }
  report(detail::tdcompute_without_regression_problem(m));
  if (macurves_) report(detail::curves_frequency_problem(m.frequency, month_curve_weight_, quarter_curve_weight_));
  if (!monthly() && m.prior_daily_weights) report(detail::quarterly_weights_problem());
  if (!monthly() && o_.out) {
    for (Table t : {Table::A1, Table::A2, Table::A3, Table::A4, Table::B14, Table::B16, Table::B18, Table::B19,
                    Table::C14, Table::C16, Table::C18, Table::C19}) {
      auto& names = o_.out_names[static_cast<std::size_t>(table_info(t).out_index)];
      if (names.empty()) continue;
      message(exit_level::kWarning, message_id::kMonthlyOnlyOutputTable, table_name(t));
      names.clear();
    }
  }
  if (m.arima) report(detail::power_problem(*m.arima));
  if (m.spans) {
    PrintOptions print = o_.print;
    print.noprint = noprint_;
    o_.span_reports = printed_span_reports(print, o_.method.tdregr);
  }
  if (o_.outspan && !m.spans) {
    message(exit_level::kWarning, message_id::kOutspanWithoutSspan);
    o_.outspan.reset();
  }
  if (m.spans && m.arima) {
    report(detail::spans_with_arima_problem());
    o_.method.spans.reset();
    o_.outspan.reset();
  }
}

void StepReader::settle_printing() {
  PrintOptions& p = o_.print;
  p.noprint = noprint_;
  if (noprint_) {
    p.printout = PrintLevel::None;
    p.charts = ChartLevel::None;
    p.spans = ReportLevel::None;
    p.arima = ReportLevel::None;
    p.tables.reset();
    o_.prints_anything = false;
    return;
  }
  o_.prints_anything = prints_anything(p);
  if (p.tables_given) {
    if (!printout_given_) p.printout = PrintLevel::None;
    if (!charts_given_) p.charts = ChartLevel::None;
  }
}

StepOptionsRead StepReader::read(const ParsedStep& step) {
  const ParsedStatement& proc = step.stmts.front();
  proc_statement(proc);
  const ParsedStatement* freq = frequency_statement(step);
  if (freq == nullptr) message(exit_level::kOptionValue, message_id::kNoFrequencyStatement);
  report(detail::weight_problems(o_.method.fullweight, o_.method.zeroweight, o_.method.exclude));
  if (const OptValue* v = proc.get("OUTTDR")) {
    if (monthly()) {
      o_.outtdr = output_data_set(*v);
    } else {
      host_.msg(message_id::kOuttdrQuarterly);
    }
  }
  const ParsedStatement* output = nullptr;
  for (const auto& s : step.stmts) {
    switch (s.kind) {
      case StmtKind::Tables:
        tables_statement(s);
        break;
      case StmtKind::Macurves:
        macurves_statement(s);
        break;
      case StmtKind::Arima:
        if (o_.method.arima) host_.log().warning("A second ARIMA statement replaces the first.");
        arima_statement(s);
        break;
      case StmtKind::Sspan:
        sspan_statement(s);
        break;
      case StmtKind::Output:
        if (output != nullptr) host_.log().warning("A second OUTPUT statement replaces the first.");
        output = &s;
        break;
      case StmtKind::Pdweights:
        pdweights_statement(s);
        break;
      case StmtKind::Proc:
      case StmtKind::Freq:
        break;
    }
  }
  variables(proc, freq);
  if (output != nullptr) output_statement(*output);
  if (!input_ && !series_in_memory()) raise(exit_level::kResource);
  if (o_.method.arima)
    report(detail::horizon_problems(o_.method.frequency, o_.method.arima->backcast_years,
                                    o_.method.arima->forecast_years));
  cross_checks();
  settle_printing();
  return StepOptionsRead{std::move(o_), std::move(input_), level_};
}

}  // namespace

StepOptionsRead read_step_options(const ParsedStep& step, Host& host, SeriesSource source) {
  return StepReader(host, source, step.level).read(step);
}

}  // namespace x11sa
