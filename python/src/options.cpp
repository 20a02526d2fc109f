#include "options.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <fmt/format.h>

namespace x11sa::python {
namespace {

namespace py = pybind11;

std::string lower(std::string_view s) {
  std::string out(s);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::string shown(const py::handle& h) { return py::repr(h).cast<std::string>(); }

// One option's value, checked for its type; `name` is how the caller wrote it.
class Value {
 public:
  Value(std::string name, py::handle value) : name_(std::move(name)), value_(value) {}

  [[nodiscard]] const std::string& name() const { return name_; }
  [[nodiscard]] py::handle handle() const { return value_; }
  [[nodiscard]] bool none() const { return value_.is_none(); }
  [[nodiscard]] bool is_flag() const { return py::isinstance<py::bool_>(value_); }
  [[nodiscard]] bool is_text() const { return py::isinstance<py::str>(value_); }
  [[nodiscard]] bool is_dict() const { return py::isinstance<py::dict>(value_); }

  [[nodiscard]] bool flag() const {
    if (!is_flag()) wrong_type("True or False");
    return value_.cast<bool>();
  }
  [[nodiscard]] long whole(long lowest, long highest) const {
    // Anything that is an index (int, numpy integers), but not True or False.
    if (is_flag() || PyIndex_Check(value_.ptr()) == 0) wrong_type("a whole number");
    const long long v = PyLong_AsLongLong(py::reinterpret_steal<py::object>(PyNumber_Index(value_.ptr())).ptr());
    if (PyErr_Occurred() != nullptr || v < lowest || v > highest) {
      PyErr_Clear();
      throw py::value_error(fmt::format("{}={} is outside its range: it must be from {} to {}.", name_, shown(value_),
                                        lowest, highest));
    }
    return static_cast<long>(v);
  }
  [[nodiscard]] int whole_int(int lowest, int highest) const { return static_cast<int>(whole(lowest, highest)); }
  [[nodiscard]] double number() const {
    if (is_flag() || is_text() || (PyFloat_Check(value_.ptr()) == 0 && PyIndex_Check(value_.ptr()) == 0))
      wrong_type("a number");
    const double v = value_.cast<double>();
    if (!std::isfinite(v)) throw py::value_error(fmt::format("{}={} is not a finite number.", name_, shown(value_)));
    return v;
  }
  [[nodiscard]] std::string text() const {
    if (!is_text()) wrong_type("a string");
    return value_.cast<std::string>();
  }
  // One of `choices` (written in lower case), in any case.
  template <class T, std::size_t N>
  [[nodiscard]] T choice(const std::pair<std::string_view, T> (&choices)[N]) const {
    std::vector<std::string> names;
    for (const auto& [word, value] : choices) names.push_back(fmt::format("'{}'", word));
    if (!is_text()) wrong_type(fmt::format("one of {}", fmt::join(names, ", ")));
    const std::string given = lower(text());
    for (const auto& [word, value] : choices)
      if (given == word) return value;
    throw py::value_error(
        fmt::format("{}={} is not one of {}.", name_, shown(value_), fmt::join(names, ", ")));
  }

  [[noreturn]] void wrong_type(std::string_view wanted) const {
    throw py::type_error(fmt::format("{} must be {}, not {}.", name_, wanted, shown(value_)));
  }

 private:
  std::string name_;
  py::handle value_;
};

// The entries of a dict option, each read once: what is left over is unknown.
class Entries {
 public:
  Entries(std::string owner, const py::dict& d) : owner_(std::move(owner)) {
    for (const auto& [key, value] : d) {
      if (!py::isinstance<py::str>(key))
        throw py::type_error(fmt::format("{}: option names are strings, not {}.", owner_, shown(key)));
      entries_.emplace_back(lower(key.cast<std::string>()), value);
    }
  }
  // The entry `name`, if given and not None.
  [[nodiscard]] std::optional<Value> take(std::string_view name) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (it->first != name) continue;
      Value v(std::string(name), it->second);
      entries_.erase(it);
      if (v.none()) return std::nullopt;
      return v;
    }
    return std::nullopt;
  }
  [[nodiscard]] bool has(std::string_view name) const {
    return std::any_of(entries_.begin(), entries_.end(), [&](const auto& e) { return e.first == name; });
  }
  // Raises TypeError naming the first entry nobody took.
  void finish() const {
    if (entries_.empty()) return;
    throw py::type_error(fmt::format("{} got an unexpected option '{}'.", owner_, entries_.front().first));
  }

 private:
  std::string owner_;
  std::vector<std::pair<std::string, py::handle>> entries_;
};

constexpr std::pair<std::string_view, SeasonalCurve> kCurves[] = {
    {"3", SeasonalCurve::ThreeTerm},    {"3x3", SeasonalCurve::ThreeByThree}, {"3x5", SeasonalCurve::ThreeByFive},
    {"3x9", SeasonalCurve::ThreeByNine}, {"stable", SeasonalCurve::Stable},   {"none", SeasonalCurve::Default},
};

constexpr std::string_view kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};

// macurves={'jan': '3x3', 'february': 'stable', 3: '3x9'} (or Q1..Q4 for quarters, 1..4).
void read_curves(const Value& v, AdjustmentOptions& m) {
  if (!v.is_dict()) v.wrong_type("a dict of months and curves, such as {'jan': '3x3'}");
  for (const auto& [key, curve] : v.handle().cast<py::dict>()) {
    std::optional<std::size_t> period;
    if (py::isinstance<py::str>(key)) {
      const std::string k = lower(key.cast<std::string>());
      for (std::size_t i = 0; i < 12; ++i)
        if (k.size() >= 3 && std::string_view(kMonths[i]) == std::string_view(k).substr(0, 3)) period = i;
      if (k.size() == 2 && k[0] == 'q' && k[1] >= '1' && k[1] <= '4') period = static_cast<std::size_t>(k[1] - '1');
    } else if (PyIndex_Check(key.ptr()) != 0 && !py::isinstance<py::bool_>(key)) {
      const long k = key.cast<long>();
      if (k >= 1 && k <= 12) period = static_cast<std::size_t>(k - 1);
    }
    if (!period)
      throw py::value_error(fmt::format("macurves: {} is not a month (jan to dec, 1 to 12) or a quarter (q1 to q4).",
                                        shown(key)));
    m.curves[*period] = Value(fmt::format("macurves[{}]", shown(key)), curve).choice(kCurves);
  }
}

// pdweights=(mon, tue, wed, thu, fri, sat, sun).
std::array<double, 7> read_weights(const Value& v) {
  if (!py::isinstance<py::sequence>(v.handle()) || v.is_text())
    v.wrong_type("a sequence of seven weights, Monday first");
  const auto seq = v.handle().cast<py::sequence>();
  if (seq.size() != 7)
    throw py::value_error(fmt::format("pdweights has {} weights: give seven, Monday first.", seq.size()));
  std::array<double, 7> w{};
  for (std::size_t i = 0; i < 7; ++i) w[i] = Value(fmt::format("pdweights[{}]", i), seq[i]).number();
  return w;
}

constexpr std::pair<std::string_view, ArimaMethod> kMethods[] = {
    {"cls", ArimaMethod::Cls}, {"uls", ArimaMethod::Uls}, {"ml", ArimaMethod::Ml}};

// arima='auto' (or True) for the automatic choice, or a dict with the model's
// orders p=, dif=, q=, sp=, sdif=, sq=, noint=, center= and the other
// options of the statement.
ArimaOptions read_arima(const Value& v) {
  ArimaOptions a;
  if (v.is_flag() && v.flag()) return a;
  if (v.is_text()) {
    if (lower(v.text()) == "auto") return a;
    throw py::value_error(fmt::format("arima={} is not 'auto': give 'auto' or a dict of the model.", shown(v.handle())));
  }
  if (!v.is_dict()) v.wrong_type("'auto' or a dict such as {'dif': 1, 'q': 1, 'sdif': 1, 'sq': 1}");
  Entries e("arima", v.handle().cast<py::dict>());
  constexpr std::string_view kOrders[] = {"p", "dif", "q", "sp", "sdif", "sq", "noint", "center"};
  if (std::any_of(std::begin(kOrders), std::end(kOrders), [&](std::string_view k) { return e.has(k); })) {
    ArimaModel& model = a.model.emplace();
    if (auto x = e.take("p")) model.p = x->whole_int(0, 36);
    if (auto x = e.take("dif")) model.dif = x->whole_int(0, 3);
    if (auto x = e.take("q")) model.q = x->whole_int(0, 36);
    if (auto x = e.take("sp")) model.sp = x->whole_int(0, 3);
    if (auto x = e.take("sdif")) model.sdif = x->whole_int(0, 3);
    if (auto x = e.take("sq")) model.sq = x->whole_int(0, 3);
    if (auto x = e.take("noint")) model.noint = x->flag();
    if (auto x = e.take("center")) model.center = x->flag();
  }
  if (auto x = e.take("transform")) {
    if (x->is_text()) {
      if (lower(x->text()) != "log")
        throw py::value_error(fmt::format("transform={} is not 'log': give 'log' or (shift, power).", shown(x->handle())));
      a.transform.kind = ArimaTransform::Kind::Log;
    } else if (py::isinstance<py::tuple>(x->handle()) && py::len(x->handle()) == 2) {
      const auto t = x->handle().cast<py::tuple>();
      a.transform.kind = ArimaTransform::Kind::Power;
      a.transform.shift = Value("transform shift", t[0]).number();
      a.transform.power = Value("transform power", t[1]).number();
    } else {
      x->wrong_type("'log' or a pair (shift, power)");
    }
  }
  if (auto x = e.take("backcast")) a.backcast_years = x->whole_int(0, 100);
  if (auto x = e.take("forecast")) a.forecast_years = x->whole_int(0, 100);
  if (auto x = e.take("method")) a.method = x->choice(kMethods);
  if (auto x = e.take("maxiter")) a.maxiter = x->whole_int(std::numeric_limits<int>::min(), 1000);
  if (auto x = e.take("nlag")) a.nlag = x->whole_int(1, 240);
  if (auto x = e.take("converge")) a.converge = x->number();
  if (auto x = e.take("mapecr")) a.mape_criterion = x->number();
  if (auto x = e.take("chicr")) a.chi_criterion = x->number();
  if (auto x = e.take("ovdifcr")) a.overdiff_criterion = x->number();
  e.finish();
  return a;
}

// sspan=True, or a dict of cutoff=, tdcutoff=, nspans=, length=.
SpansOptions read_spans(const Value& v) {
  SpansOptions s;
  if (v.is_flag()) return s;
  if (!v.is_dict()) v.wrong_type("True or a dict such as {'cutoff': 3.0}");
  Entries e("sspan", v.handle().cast<py::dict>());
  if (auto x = e.take("cutoff")) s.cutoff = x->number();
  if (auto x = e.take("tdcutoff")) s.td_cutoff = x->number();
  if (auto x = e.take("nspans")) s.count = x->whole(1, std::numeric_limits<int>::max());
  if (auto x = e.take("length")) s.length = x->whole(1, std::numeric_limits<int>::max());
  e.finish();
  return s;
}

constexpr std::pair<std::string_view, ReportLevel> kReportLevels[] = {
    {"none", ReportLevel::None}, {"standard", ReportLevel::Standard}, {"all", ReportLevel::All}};

}  // namespace

AdjustmentOptions adjustment_options(const py::dict& kwargs) {
  AdjustmentOptions m;
  Entries e("adjust()", kwargs);
  if (auto x = e.take("frequency"))
    m.frequency = x->choice({std::pair{std::string_view("monthly"), Frequency::Monthly},
                             std::pair{std::string_view("quarterly"), Frequency::Quarterly}});
  if (auto x = e.take("additive")) m.mode = x->flag() ? Mode::Additive : Mode::Multiplicative;
  if (auto x = e.take("summary")) m.summary = x->flag();
  if (auto x = e.take("trendadj")) m.trend_adjust = x->flag();
  if (auto x = e.take("trendma")) m.trendma = x->whole_int(0, 1000);
  if (auto x = e.take("ptrendma")) m.ptrendma = x->whole_int(0, 1000);
  if (auto x = e.take("fullweight")) m.fullweight = x->number();
  if (auto x = e.take("zeroweight")) m.zeroweight = x->number();
  if (auto x = e.take("exclude")) m.exclude = x->number();
  if (auto x = e.take("extreme"))
    m.extreme = x->choice({std::pair{std::string_view("old"), ExtremeRule::Old},
                           std::pair{std::string_view("new"), ExtremeRule::New}});
  if (auto x = e.take("oldsigma")) m.old_sigma = x->flag();
  if (auto x = e.take("tdregr"))
    m.tdregr = x->choice({std::pair{std::string_view("none"), TradingDayRegression::None},
                          std::pair{std::string_view("print"), TradingDayRegression::Print},
                          std::pair{std::string_view("adjust"), TradingDayRegression::Adjust},
                          std::pair{std::string_view("test"), TradingDayRegression::Test}});
  if (auto x = e.take("tdcompute")) m.tdcompute_year = x->whole_int(0, 9999);
  if (auto x = e.take("tdapply")) m.tdapply_year = x->whole_int(0, 9999);
  if (auto x = e.take("length")) m.length_of_month = x->flag();
  if (auto x = e.take("pdweights")) m.prior_daily_weights = read_weights(*x);
  if (auto x = e.take("macurves")) read_curves(*x, m);
  if (auto x = e.take("arima")) {
    if (!(x->is_flag() && !x->flag())) m.arima = read_arima(*x);
  }
  if (auto x = e.take("sspan")) {
    if (!(x->is_flag() && !x->flag())) m.spans = read_spans(*x);
  }
  if (auto x = e.take("yraheadout")) m.year_ahead = x->flag();
  e.finish();

  std::vector<std::string> errors;
  for (const OptionProblem& p : check_options(m))
    if (p.error()) errors.push_back(p.text);
  if (!errors.empty()) throw py::value_error(fmt::format("{}", fmt::join(errors, " ")));
  return m;
}

ListingOptions listing_options(const py::handle& listing) {
  ListingOptions l;
  const Value v("listing", listing);
  if (v.is_flag()) return l;
  if (!v.is_dict()) v.wrong_type("True or a dict such as {'printout': 'full'}");
  Entries e("listing", listing.cast<py::dict>());
  PrintOptions& p = l.print;
  const bool printout_given = e.has("printout");
  const bool charts_given = e.has("charts");
  if (auto x = e.take("printout"))
    p.printout = x->choice({std::pair{std::string_view("none"), PrintLevel::None},
                            std::pair{std::string_view("short"), PrintLevel::Standard},
                            std::pair{std::string_view("standard"), PrintLevel::Standard},
                            std::pair{std::string_view("long"), PrintLevel::Long},
                            std::pair{std::string_view("full"), PrintLevel::Full},
                            std::pair{std::string_view("all"), PrintLevel::Full}});
  if (auto x = e.take("charts"))
    p.charts = x->choice({std::pair{std::string_view("none"), ChartLevel::None},
                          std::pair{std::string_view("standard"), ChartLevel::Standard},
                          std::pair{std::string_view("full"), ChartLevel::Full},
                          std::pair{std::string_view("all"), ChartLevel::Full}});
  if (auto x = e.take("tables")) {
    const py::handle h = x->handle();
    if (!py::isinstance<py::sequence>(h) || x->is_text()) x->wrong_type("a list of table names such as ['d10', 'd11']");
    for (const py::handle& name : h.cast<py::sequence>()) {
      const std::string text = Value("tables", name).text();
      const std::optional<Table> t = table_named(text);
      if (!t) throw py::value_error(fmt::format("tables: '{}' is not a table of x11sa (A1 to F2, G1 to G8, S0 to S7).", text));
      p.tables.set(static_cast<std::size_t>(*t));
    }
    p.tables_given = true;
    // As after a TABLES statement: only the named tables, unless the levels are given too.
    if (!printout_given) p.printout = PrintLevel::None;
    if (!charts_given) p.charts = ChartLevel::None;
  }
  if (auto x = e.take("ndec")) p.decimals = x->whole_int(0, 12);
  if (auto x = e.take("arima")) p.arima = x->choice(kReportLevels);
  if (auto x = e.take("sspan")) p.spans = x->choice(kReportLevels);
  if (auto x = e.take("linesize")) l.linesize = x->whole_int(64, 256);
  if (auto x = e.take("pagesize")) l.pagesize = x->whole_int(15, 32767);
  e.finish();
  return l;
}

}  // namespace x11sa::python
