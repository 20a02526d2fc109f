#include "statements/grammar.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>

#include <fmt/format.h>

#include "host/host.h"
#include "host/text.h"
#include "records/exit_levels.h"
#include "records/table_catalogue.h"
#include "statements/option_checks.h"

namespace x11sa {

namespace {

using detail::kNoLimit;
namespace limits = detail::limits;

enum class VK { Switch, Number, Integer, Keyword, Text, Var, DataSet, Model, Transform };

struct OptSpec {
  std::string_view name;      // canonical
  std::string_view aliases;   // other accepted words, blank-separated
  VK kind;
  std::string_view keywords;  // allowed values of a Keyword option
  bool monthly_only = false;
  // Range of a number. Options whose own checks give a specific message or
  // fall back to a default (weights, criteria, TRENDMA=, MAXITER= below 1)
  // keep those checks and have no limit here, or only the limit those
  // checks lack.
  double lo = -kNoLimit;
  double hi = kNoLimit;
};

constexpr OptSpec kProcOpts[] = {
    {"DATA", "", VK::DataSet, ""},        {"OUTSTB", "", VK::DataSet, ""},
    {"OUTTDR", "", VK::DataSet, ""},      {"OUTSPAN", "OUTSP", VK::DataSet, ""},
    {"OUTSUM", "", VK::DataSet, ""},
    {"YRAHEADOUT", "", VK::Switch, ""},   {"OUTEXTRAP", "OUTEX OUTE", VK::Switch, ""},
    {"NOPRINT", "", VK::Switch, ""},      {"DEBUG", "", VK::Switch, ""},
    {"DEBUGD", "", VK::Switch, ""},       {"DEBUGX", "", VK::Switch, ""},
};

constexpr OptSpec kFreqOpts[] = {
    {"ADDITIVE", "", VK::Switch, ""},
    {"SUMMARY", "", VK::Switch, ""},
    {"TRENDADJ", "", VK::Switch, ""},
    {"NOPRINT", "", VK::Switch, ""},
    {"START", "", VK::Text, ""},
    {"END", "", VK::Text, ""},
    {"DATE", "", VK::Var, ""},
    {"NDEC", "", VK::Integer, "", false, limits::kDecimals.lo, limits::kDecimals.hi},
    {"PRINTOUT", "", VK::Keyword, "NONE SHORT STANDARD LONG FULL ALL"},
    {"CHARTS", "", VK::Keyword, "NONE STANDARD FULL ALL"},
    {"TRENDMA", "", VK::Integer, ""},
    {"PTRENDMA", "", VK::Integer, ""},
    {"FULLWEIGHT", "", VK::Number, ""},
    {"ZEROWEIGHT", "", VK::Number, ""},
    {"EXCLUDE", "", VK::Number, ""},
    {"EXTREME", "", VK::Keyword, "OLD NEW"},
    {"TDREGR", "", VK::Keyword, "NONE PRINT ADJUST TEST", true},
    {"PMFACTOR", "", VK::Var, "", true},
    {"TDCOMPUTE", "", VK::Integer, "", true},
    {"TDAPPLY", "", VK::Integer, "", true},
    {"LENGTH", "", VK::Switch, "", true},
    {"OLDSIGMA", "", VK::Switch, "", true},
};

constexpr OptSpec kArimaOpts[] = {
    {"NOPRINT", "", VK::Switch, ""},       {"PRINTALL", "", VK::Switch, ""},
    {"PRINTFP", "", VK::Switch, ""},
    {"BACKCAST", "BACK", VK::Integer, "", false, limits::kForecastYears.lo, limits::kForecastYears.hi},
    {"FORECAST", "FORE", VK::Integer, "", false, limits::kForecastYears.lo, limits::kForecastYears.hi},
    {"MODEL", "", VK::Model, ""},          {"TRANSFORM", "TRANS", VK::Transform, ""},
    {"MAXITER", "MAXIT", VK::Integer, "", false, limits::kMaxiter.lo, limits::kMaxiter.hi},
    {"NLAG", "", VK::Integer, "", false, limits::kNlag.lo, limits::kNlag.hi},
    {"CONVERGE", "", VK::Number, "", false, limits::kConverge.lo, limits::kConverge.hi},
    {"METHOD", "", VK::Keyword, "CLS ULS ML"},
    {"MAPECR", "", VK::Number, ""},        {"CHICR", "", VK::Number, ""},
    {"OVDIFCR", "", VK::Number, ""},
};

constexpr OptSpec kModelOpts[] = {
    {"P", "", VK::Integer, "", false, limits::kOrder.lo, limits::kOrder.hi},
    {"SP", "", VK::Integer, "", false, limits::kSeasonalOrder.lo, limits::kSeasonalOrder.hi},
    {"Q", "", VK::Integer, "", false, limits::kOrder.lo, limits::kOrder.hi},
    {"SQ", "", VK::Integer, "", false, limits::kSeasonalOrder.lo, limits::kSeasonalOrder.hi},
    {"DIF", "", VK::Integer, "", false, limits::kSeasonalOrder.lo, limits::kSeasonalOrder.hi},
    {"SDIF", "", VK::Integer, "", false, limits::kSeasonalOrder.lo, limits::kSeasonalOrder.hi},
    {"NOINT", "", VK::Switch, ""},
    {"CENTER", "", VK::Switch, ""},
};

constexpr OptSpec kSspanOpts[] = {
    {"NOPRINT", "", VK::Switch, ""},       {"PRINTALL", "", VK::Switch, ""},
    {"LENGTH", "", VK::Integer, ""},       {"NSPANS", "NSPAN NSP", VK::Integer, ""},
    {"NDEC", "", VK::Integer, "", false, limits::kDecimals.lo, limits::kDecimals.hi},
    {"WIDTH", "", VK::Integer, "", false, limits::kSpanWidth.lo, limits::kSpanWidth.hi},
    {"CUTOFF", "CUT", VK::Number, "", false, limits::kCutoff.lo, limits::kCutoff.hi},
    {"TDCUTOFF", "TDCUT", VK::Number, "", false, limits::kCutoff.lo, limits::kCutoff.hi},
};

constexpr OptSpec kMacurvesOpts[] = {
    {"JAN", "JANUARY", VK::Text, ""}, {"FEB", "FEBRUARY", VK::Text, ""},
    {"MAR", "MARCH", VK::Text, ""},   {"APR", "APRIL", VK::Text, ""},
    {"MAY", "", VK::Text, ""},        {"JUN", "JUNE", VK::Text, ""},
    {"JUL", "JULY", VK::Text, ""},    {"AUG", "AUGUST", VK::Text, ""},
    {"SEP", "SEPTEMBER", VK::Text, ""}, {"OCT", "OCTOBER", VK::Text, ""},
    {"NOV", "NOVEMBER", VK::Text, ""}, {"DEC", "DECEMBER", VK::Text, ""},
    {"Q1", "", VK::Text, ""},         {"Q2", "", VK::Text, ""},
    {"Q3", "", VK::Text, ""},         {"Q4", "", VK::Text, ""},
};

constexpr double kDayLo = limits::kDayWeight.lo;
constexpr double kDayHi = limits::kDayWeight.hi;
constexpr OptSpec kPdweightsOpts[] = {
    {"MON", "MONDAY", VK::Number, "", false, kDayLo, kDayHi},
    {"TUE", "TUESDAY", VK::Number, "", false, kDayLo, kDayHi},
    {"WED", "WEDNESDAY", VK::Number, "", false, kDayLo, kDayHi},
    {"THU", "THURSDAY", VK::Number, "", false, kDayLo, kDayHi},
    {"FRI", "FRIDAY", VK::Number, "", false, kDayLo, kDayHi},
    {"SAT", "SATURDAY", VK::Number, "", false, kDayLo, kDayHi},
    {"SUN", "SUNDAY", VK::Number, "", false, kDayLo, kDayHi},
};

bool word_in(std::string_view upper, std::string_view list) {
  std::size_t i = 0;
  while (i < list.size()) {
    std::size_t j = list.find(' ', i);
    if (j == std::string_view::npos) j = list.size();
    if (list.substr(i, j - i) == upper) return true;
    i = j + 1;
  }
  return false;
}

template <std::size_t N>
const OptSpec* find_opt(const OptSpec (&specs)[N], std::string_view upper) {
  for (const auto& s : specs)
    if (s.name == upper || word_in(upper, s.aliases)) return &s;
  return nullptr;
}

bool is_statement_word(std::string_view upper) {
  constexpr std::string_view words =
      "MONTHLY QUARTERLY TABLES TABLE TAB OUTPUT ARIMA MACURVES PDWEIGHTS SSPAN BY VAR VARIABLES "
      "ID RUN QUIT PROC";
  return word_in(upper, words);
}

// Reads the statements of one step.
class StepParser {
 public:
  StepParser(Host& host, ParsedStep& out) : host_(host), out_(out) {}

  void error(SourcePos pos, std::string_view word, std::string_view text) {
    host_.log().error(fmt::format("Line {}, column {}{}: {}", pos.line, pos.col,
                                  word.empty() ? std::string() : fmt::format(" at '{}'", shown_text(word)),
                                  shown_text(text, 400)));
    out_.level = std::max(out_.level, exit_level::kStatement);
  }
  // A value that was read but is not allowed: the step ends after all
  // statements were checked, at the level of option-value errors.
  void value_error(SourcePos pos, const OptionProblem& p) {
    host_.log().error(fmt::format("Line {}, column {}: {}", pos.line, pos.col, p.text));
    out_.level = std::max(out_.level, p.exit_level);
  }
  void warning(SourcePos pos, std::string_view text) {
    host_.log().warning(fmt::format("Line {}, column {}: {}", pos.line, pos.col, text));
    out_.level = std::max(out_.level, exit_level::kWarning);
  }

  void statement(const Statement& s, ParsedStatement& proc);
  // Options of the PROC statement itself (after PROC and the procedure name).
  void proc_options(const Statement& s, ParsedStatement& proc) {
    options(s.tokens, std::min<std::size_t>(2, s.tokens.size()), kProcOpts, proc, "PROC X11", true);
  }

 private:
  using Toks = std::vector<Token>;

  // Parses options from toks[i] on, per the table, into rec.opts.
  template <std::size_t N>
  void options(const Toks& t, std::size_t i, const OptSpec (&specs)[N], ParsedStatement& rec,
               std::string_view stmt_word, bool monthly);
  bool value(const Toks& t, std::size_t& i, const OptSpec& spec, OptValue& v, std::string_view stmt);
  bool number(const Toks& t, std::size_t& i, OptValue& v, std::string_view opt);
  bool in_range(const OptSpec& spec, const OptValue& v);
  bool dataset(const Toks& t, std::size_t& i, OptValue& v, std::string_view opt);
  void var_list(const Toks& t, std::size_t i, std::vector<std::string>& names,
                std::vector<SourcePos>& positions, std::vector<bool>* descending, bool* notsorted,
                std::string_view stmt);
  void tables(const Toks& t, ParsedStatement& rec);
  void output(const Toks& t, ParsedStatement& rec);
  void skip_value(const Toks& t, std::size_t& i);

  Host& host_;
  ParsedStep& out_;
};

void StepParser::skip_value(const Toks& t, std::size_t& i) {
  if (i < t.size() && t[i].is_punct("=")) ++i;
  if (i < t.size() && t[i].is_punct("(")) {
    int depth = 0;
    for (; i < t.size(); ++i) {
      if (t[i].is_punct("(")) ++depth;
      if (t[i].is_punct(")") && --depth == 0) {
        ++i;
        return;
      }
    }
    return;
  }
  if (i < t.size() && (t[i].is_punct("-") || t[i].is_punct("+"))) ++i;
  if (i < t.size()) ++i;
  if (i + 1 < t.size() && t[i].is_punct(".") && t[i + 1].kind == TokKind::Word) i += 2;
}

bool StepParser::number(const Toks& t, std::size_t& i, OptValue& v, std::string_view opt) {
  double sign = 1.0;
  const std::size_t start = i;
  if (i < t.size() && (t[i].is_punct("-") || t[i].is_punct("+"))) {
    sign = t[i].text == "-" ? -1.0 : 1.0;
    ++i;
  }
  if (i >= t.size() || t[i].kind != TokKind::Number) {
    const Token& bad = i < t.size() ? t[i] : t[start - 1];
    error(bad.pos, i < t.size() ? bad.text : "", fmt::format("{}= needs a number.", opt));
    if (i < t.size()) ++i;
    return false;
  }
  // A number beyond the range of doubles was reported when it was read.
  if (std::isnan(t[i].number)) {
    ++i;
    return false;
  }
  v.pos = t[start].pos;
  v.num = sign * t[i].number;
  v.text = (sign < 0 ? "-" : "") + t[i].text;
  ++i;
  return true;
}

bool StepParser::in_range(const OptSpec& spec, const OptValue& v) {
  const auto problem =
      detail::range_problem(spec.name, v.text, v.num, detail::Range{spec.lo, spec.hi}, spec.kind == VK::Integer);
  if (problem) value_error(v.pos, *problem);
  return !problem;
}

// A data set: lib.member or member, or a file path in quotes.
bool StepParser::dataset(const Toks& t, std::size_t& i, OptValue& v, std::string_view opt) {
  if (i < t.size() && t[i].kind == TokKind::String) {
    if (t[i].text.empty()) {
      error(t[i].pos, t[i].text, fmt::format("{}= needs a file path between the quotes.", opt));
      ++i;
      return false;
    }
    if (has_control_chars(t[i].text)) {
      error(t[i].pos, t[i].text,
            fmt::format("{}= needs a file path without line breaks, tabs or other control characters.", opt));
      ++i;
      return false;
    }
    v.pos = t[i].pos;
    v.ds = DataSetName::file(t[i].text);
    v.text = t[i].text;
    v.quoted = true;
    ++i;
    return true;
  }
  if (i >= t.size() || t[i].kind != TokKind::Word) {
    error(i < t.size() ? t[i].pos : t.back().pos, i < t.size() ? t[i].text : "",
          fmt::format("{}= needs a data set name such as work.sales or sales, or a file path in quotes such as "
                      "'exports/sales.csv'.",
                      opt));
    if (i < t.size()) ++i;
    return false;
  }
  std::string name = t[i].text;
  const SourcePos pos = t[i].pos;
  ++i;
  if (i + 1 < t.size() && t[i].is_punct(".") && t[i + 1].kind == TokKind::Word) {
    name += "." + t[i + 1].text;
    i += 2;
  }
  // sales.2019.csv or exports/sales: a file path, which only quotes make one.
  // The tokens of the rest of such a path: ".2019" is a number, "/x" two tokens.
  auto path_piece = [&](std::size_t k) -> std::size_t {
    if (k < t.size() && t[k].kind == TokKind::Number && t[k].text.front() == '.') return 1;
    const bool joint = k < t.size() && (t[k].is_punct(".") || t[k].is_punct("/") || t[k].is_punct("-"));
    return joint && k + 1 < t.size() && (t[k + 1].kind == TokKind::Word || t[k + 1].kind == TokKind::Number) ? 2 : 0;
  };
  if (path_piece(i) > 0 && !t[i].is_punct("-")) {
    for (std::size_t n = path_piece(i); n > 0; n = path_piece(i)) {
      for (std::size_t k = 0; k < n; ++k) name += t[i + k].text;
      i += n;
    }
    error(pos, name,
          fmt::format("{}= reads a name without quotes as library.member; write a file path in quotes: "
                      "{}='{}'.",
                      opt, opt, name));
    return false;
  }
  auto ds = DataSetName::parse(name);
  if (!ds) {
    error(pos, name,
          fmt::format("{}= needs a data set name: letters, digits and underscores, at most 32, "
                      "not starting with a digit.",
                      opt));
    return false;
  }
  v.pos = pos;
  v.ds = std::move(ds);
  v.text = name;
  return true;
}

bool StepParser::value(const Toks& t, std::size_t& i, const OptSpec& spec, OptValue& v,
                       std::string_view stmt) {
  const std::string opt(spec.name);
  switch (spec.kind) {
    case VK::Switch:
      return true;
    case VK::Number:
      return number(t, i, v, opt) && in_range(spec, v);
    case VK::Integer: {
      const std::size_t at = i;
      if (!number(t, i, v, opt)) return false;
      if (std::fabs(v.num - std::nearbyint(v.num)) > 1e-9) {
        error(t[at].pos, v.text, fmt::format("{}= needs a whole number.", opt));
        return false;
      }
      if (!in_range(spec, v)) return false;
      v.num = std::nearbyint(v.num);
      return true;
    }
    case VK::Keyword: {
      if (i >= t.size() || t[i].kind != TokKind::Word || !word_in(t[i].upper(), spec.keywords)) {
        std::string allowed(spec.keywords);
        std::replace(allowed.begin(), allowed.end(), ' ', ',');
        error(i < t.size() ? t[i].pos : t.back().pos, i < t.size() ? t[i].text : "",
              fmt::format("{}= takes one of {}.", opt, allowed));
        if (i < t.size()) ++i;
        return false;
      }
      v.pos = t[i].pos;
      v.text = t[i].upper();
      ++i;
      return true;
    }
    case VK::Text: {
      if (i < t.size() && (t[i].kind == TokKind::Word || t[i].kind == TokKind::Number ||
                           t[i].kind == TokKind::String)) {
        v.pos = t[i].pos;
        v.text = t[i].text;
        v.quoted = t[i].kind == TokKind::String;
        ++i;
        return true;
      }
      error(i < t.size() ? t[i].pos : t.back().pos, i < t.size() ? t[i].text : "",
            fmt::format("{}= needs a value.", opt));
      if (i < t.size()) ++i;
      return false;
    }
    case VK::Var: {
      if (i < t.size() && t[i].kind == TokKind::Word && is_valid_name(t[i].text)) {
        v.pos = t[i].pos;
        v.names = {t[i].text};
        v.text = t[i].text;
        ++i;
        return true;
      }
      error(i < t.size() ? t[i].pos : t.back().pos, i < t.size() ? t[i].text : "",
            fmt::format("{}= needs a variable name.", opt));
      if (i < t.size()) ++i;
      return false;
    }
    case VK::DataSet:
      return dataset(t, i, v, opt);
    case VK::Model: {
      if (i >= t.size() || !t[i].is_punct("(")) {
        error(i < t.size() ? t[i].pos : t.back().pos, i < t.size() ? t[i].text : "",
              "MODEL= needs a parenthesised list such as (P=0 DIF=1 Q=1 SP=0 SDIF=1 SQ=1).");
        skip_value(t, i);
        return false;
      }
      v.pos = t[i].pos;
      ++i;
      std::size_t close = i;
      while (close < t.size() && !t[close].is_punct(")")) ++close;
      if (close >= t.size()) {
        error(v.pos, "(", "MODEL=( is not closed by ')'.");
        i = t.size();
        return false;
      }
      ParsedStatement sub;
      Toks inner(t.begin() + static_cast<long>(i), t.begin() + static_cast<long>(close));
      options(inner, 0, kModelOpts, sub, fmt::format("{} MODEL=", stmt), true);
      v.sub = std::move(sub.opts);
      i = close + 1;
      return true;
    }
    case VK::Transform: {
      if (i < t.size() && t[i].is_word("LOG")) {
        v.pos = t[i].pos;
        v.text = "LOG";
        ++i;
        return true;
      }
      if (i < t.size() && t[i].is_punct("(")) {
        v.pos = t[i].pos;
        ++i;
        OptValue a;
        if (i < t.size() && !t[i].is_punct("**")) {
          if (!number(t, i, a, "TRANSFORM")) {
            skip_value(t, --i);
            return false;
          }
          v.sub["A"] = a;
        }
        OptValue b;
        if (i >= t.size() || !t[i].is_punct("**") || !number(t, ++i, b, "TRANSFORM") ||
            i >= t.size() || !t[i].is_punct(")")) {
          error(v.pos, "(", "TRANSFORM= takes LOG or a power (a ** b), for example (0 ** 0.5).");
          while (i < t.size() && !t[i].is_punct(")")) ++i;
          if (i < t.size()) ++i;
          return false;
        }
        ++i;
        v.sub["B"] = b;
        v.text = "POWER";
        return true;
      }
      error(i < t.size() ? t[i].pos : t.back().pos, i < t.size() ? t[i].text : "",
            "TRANSFORM= takes LOG or a power (a ** b), for example (0 ** 0.5).");
      if (i < t.size()) ++i;
      return false;
    }
  }
  return false;
}

template <std::size_t N>
void StepParser::options(const Toks& t, std::size_t i, const OptSpec (&specs)[N],
                         ParsedStatement& rec, std::string_view stmt_word, bool monthly) {
  while (i < t.size()) {
    const Token& w = t[i];
    if (w.kind != TokKind::Word) {
      error(w.pos, w.text, fmt::format("An option name is expected in the {} statement.", stmt_word));
      ++i;
      continue;
    }
    const std::string up = w.upper();
    const OptSpec* spec = find_opt(specs, up);
    const bool has_eq = i + 1 < t.size() && t[i + 1].is_punct("=");
    if (spec == nullptr) {
      std::string hint;
      if (is_statement_word(up)) hint = fmt::format(" Is a ';' missing before {}?", up);
      error(w.pos, w.text,
            fmt::format("{}{} is not an option of the {} statement.{}", up, has_eq ? "=" : "",
                        stmt_word, hint));
      // After a missing ';' the rest belongs to another statement: one
      // message says it better than one per word.
      if (!hint.empty()) return;
      ++i;
      if (has_eq) skip_value(t, i);
      continue;
    }
    const std::string name(spec->name);
    if (spec->monthly_only && !monthly) {
      error(w.pos, w.text, detail::monthly_only_problem(name + (spec->kind == VK::Switch ? "" : "=")).text);
      ++i;
      if (has_eq) skip_value(t, i);
      continue;
    }
    ++i;
    OptValue v;
    v.pos = w.pos;
    if (spec->kind == VK::Switch) {
      if (has_eq) {
        error(t[i].pos, "=", fmt::format("{} is a switch and takes no value.", name));
        skip_value(t, i);
        continue;
      }
    } else {
      if (!has_eq) {
        error(w.pos, w.text, fmt::format("{} needs a value: write {}=value.", name, name));
        continue;
      }
      ++i;
      if (!value(t, i, *spec, v, stmt_word)) continue;
    }
    if (rec.opts.count(name) != 0)
      warning(w.pos, fmt::format("{} is given more than once in the {} statement; the last one is used.",
                                 name, stmt_word));
    rec.opts[name] = std::move(v);
  }
}

// Expands x1-x3 into x1 x2 x3.
bool expand_range(const std::string& a, const std::string& b, std::vector<std::string>& names) {
  auto split = [](const std::string& s, std::string& stem, long& num) {
    std::size_t k = s.size();
    while (k > 0 && std::isdigit(static_cast<unsigned char>(s[k - 1])) != 0) --k;
    if (k == s.size() || k == 0 || s.size() - k > 9) return false;
    stem = s.substr(0, k);
    num = std::stol(s.substr(k));
    return true;
  };
  std::string sa, sb;
  long na = 0, nb = 0;
  if (!split(a, sa, na) || !split(b, sb, nb)) return false;
  auto lower = [](std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
  };
  if (lower(sa) != lower(sb) || nb < na || nb - na > 100000) return false;
  for (long k = na; k <= nb; ++k) names.push_back(sa + std::to_string(k));
  return true;
}

void StepParser::var_list(const Toks& t, std::size_t i, std::vector<std::string>& names,
                          std::vector<SourcePos>& positions, std::vector<bool>* descending, bool* notsorted,
                          std::string_view stmt) {
  bool desc = false;
  for (; i < t.size(); ++i) {
    const Token& w = t[i];
    if (descending != nullptr && w.is_word("DESCENDING")) {
      desc = true;
      continue;
    }
    if (notsorted != nullptr && w.is_word("NOTSORTED")) {
      *notsorted = true;
      continue;
    }
    if (w.kind != TokKind::Word || !is_valid_name(w.text)) {
      error(w.pos, w.text, fmt::format("The {} statement needs variable names.", stmt));
      continue;
    }
    if (i + 2 < t.size() && t[i + 1].is_punct("-") && t[i + 2].kind == TokKind::Word) {
      const std::size_t before = names.size();
      if (!expand_range(w.text, t[i + 2].text, names)) {
        error(w.pos, w.text,
              fmt::format("{}-{} is not a numbered range such as x1-x12.", w.text, t[i + 2].text));
      }
      for (std::size_t k = before; k < names.size(); ++k) {
        positions.push_back(w.pos);
        if (descending != nullptr) descending->push_back(desc);
      }
      desc = false;
      i += 2;
      continue;
    }
    names.push_back(w.text);
    positions.push_back(w.pos);
    if (descending != nullptr) descending->push_back(desc);
    desc = false;
  }
  if (desc) error(t.back().pos, t.back().text, "DESCENDING must stand before a variable name.");
}

void StepParser::tables(const Toks& t, ParsedStatement& rec) {
  for (std::size_t i = 1; i < t.size(); ++i) {
    const auto table = t[i].kind == TokKind::Word ? table_named(t[i].text) : std::nullopt;
    if (!table) {
      error(t[i].pos, t[i].text,
            "TABLES lists table names such as B1, D10, D11, F2, G1 or S0.");
      continue;
    }
    rec.tables.push_back(*table);
  }
}

void StepParser::output(const Toks& t, ParsedStatement& rec) {
  std::size_t i = 1;
  while (i < t.size()) {
    const Token& w = t[i];
    const bool has_eq = i + 1 < t.size() && t[i + 1].is_punct("=");
    if (w.kind != TokKind::Word || !has_eq) {
      error(w.pos, w.text,
            "The OUTPUT statement takes OUT= and table=names pairs such as D11=adjusted.");
      ++i;
      continue;
    }
    const std::string up = w.upper();
    if (up == "OUT") {
      i += 2;
      OptValue v;
      if (dataset(t, i, v, "OUT")) {
        if (rec.opts.count("OUT") != 0)
          warning(w.pos, "OUT= is given more than once in the OUTPUT statement; the last one is used.");
        rec.opts["OUT"] = std::move(v);
      }
      continue;
    }
    const auto table = out_table_named(up);
    i += 2;
    std::vector<std::string> names;
    while (i < t.size() && !(i + 1 < t.size() && t[i + 1].is_punct("="))) {
      if (t[i].kind == TokKind::Word && is_valid_name(t[i].text)) {
        names.push_back(t[i].text);
      } else {
        error(t[i].pos, t[i].text, fmt::format("{}= needs names of new variables.", up));
      }
      ++i;
    }
    if (!table) {
      error(w.pos, w.text,
            table_named(up)
                ? fmt::format("Table {} cannot be written to the OUT= data set.", up)
                : fmt::format("{} is not a table name; OUTPUT takes OUT= and table=names pairs.", up));
      continue;
    }
    if (names.empty()) {
      error(w.pos, w.text, fmt::format("{}= needs at least one variable name.", up));
      continue;
    }
    rec.out_names.emplace_back(*table, std::move(names));
  }
}

void StepParser::statement(const Statement& s, ParsedStatement& proc) {
  const std::string kw = s.keyword();
  const Toks& t = s.tokens;
  if (kw.empty()) {
    error(s.pos, t.empty() ? "" : t.front().text, "A statement must start with its name.");
    return;
  }
  ParsedStatement rec;
  rec.word = kw;
  rec.pos = s.pos;
  if (kw == "MONTHLY" || kw == "QUARTERLY") {
    rec.kind = StmtKind::Freq;
    options(t, 1, kFreqOpts, rec, kw, kw == "MONTHLY");
  } else if (kw == "TABLES" || kw == "TABLE" || kw == "TAB") {
    rec.kind = StmtKind::Tables;
    rec.word = "TABLES";
    tables(t, rec);
  } else if (kw == "MACURVES") {
    rec.kind = StmtKind::Macurves;
    options(t, 1, kMacurvesOpts, rec, kw, true);
  } else if (kw == "ARIMA") {
    rec.kind = StmtKind::Arima;
    options(t, 1, kArimaOpts, rec, kw, true);
  } else if (kw == "SSPAN") {
    rec.kind = StmtKind::Sspan;
    options(t, 1, kSspanOpts, rec, kw, true);
  } else if (kw == "OUTPUT") {
    rec.kind = StmtKind::Output;
    output(t, rec);
  } else if (kw == "PDWEIGHTS") {
    rec.kind = StmtKind::Pdweights;
    options(t, 1, kPdweightsOpts, rec, kw, true);
  } else if (kw == "BY") {
    if (proc.has_by) warning(s.pos, "A second BY statement replaces the first.");
    proc.has_by = true;
    proc.by.clear();
    proc.by_pos.clear();
    proc.by_descending.clear();
    proc.notsorted = false;
    var_list(t, 1, proc.by, proc.by_pos, &proc.by_descending, &proc.notsorted, "BY");
    if (proc.by.empty()) error(s.pos, "BY", "The BY statement needs at least one variable.");
    return;
  } else if (kw == "VAR" || kw == "VARIABLES") {
    proc.has_var = true;
    var_list(t, 1, proc.var, proc.var_pos, nullptr, nullptr, "VAR");
    if (t.size() < 2) error(s.pos, kw, "The VAR statement needs at least one variable.");
    return;
  } else if (kw == "ID") {
    proc.has_id = true;
    var_list(t, 1, proc.id, proc.id_pos, nullptr, nullptr, "ID");
    if (t.size() < 2) error(s.pos, kw, "The ID statement needs at least one variable.");
    return;
  } else {
    error(s.pos, t.front().text,
          fmt::format("{} is not a statement of PROC X11; its statements are MONTHLY, QUARTERLY, "
                      "TABLES, OUTPUT, ARIMA, MACURVES, PDWEIGHTS, SSPAN, BY, VAR and ID.",
                      kw));
    return;
  }
  out_.stmts.push_back(std::move(rec));
}

}  // namespace

ParsedStep parse_step(const ProcStep& step, Host& host) {
  ParsedStep out;
  StepParser p(host, out);
  for (const auto& e : step.errors) p.error(e.pos, "", e.text);
  ParsedStatement proc;
  proc.kind = StmtKind::Proc;
  proc.word = "PROC";
  proc.pos = step.proc.pos;
  p.proc_options(step.proc, proc);
  for (const auto& s : step.body) p.statement(s, proc);
  out.stmts.insert(out.stmts.begin(), std::move(proc));
  return out;
}

}  // namespace x11sa
