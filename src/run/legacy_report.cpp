#include "run/legacy_report.h"

#include <algorithm>
#include <optional>
#include <span>

#include <fmt/format.h>

#include "host/exit.h"
#include "host/host.h"
#include "records/table_catalogue.h"

namespace x11sa {

namespace {

Frequency frequency_of(const X11COM* Xp) { return Xp->op.month_f != 0 ? Frequency::Monthly : Frequency::Quarterly; }
Mode mode_of(const X11COM* Xp) { return Xp->op.add_f != 0 ? Mode::Additive : Mode::Multiplicative; }

DailyWeights seven(const double* p) {
  DailyWeights w{};
  std::copy_n(p, 7, w.begin());
  return w;
}

SeasonalCurve curve_of(short code) {
  switch (code) {
    case -1: return SeasonalCurve::Stable;
    case 1: return SeasonalCurve::ThreeTerm;
    case 2: return SeasonalCurve::ThreeByThree;
    case 3: return SeasonalCurve::ThreeByFive;
    case 4: return SeasonalCurve::ThreeByNine;
    default: return SeasonalCurve::Default;
  }
}

// What the preface shows of the method.
AdjustmentOptions method_of(const X11COM* Xp) {
  AdjustmentOptions o;
  o.frequency = frequency_of(Xp);
  o.mode = mode_of(Xp);
  o.fullweight = Xp->fullweight;
  o.zeroweight = Xp->zeroweight;
  o.exclude = Xp->exclude;
  for (std::size_t m = 0; m < 12; ++m) o.curves[m] = curve_of(Xp->macrv.spec[m]);
  return o;
}

PrintOptions print_of(const X11COM* Xp) {
  PrintOptions p;
  p.noprint = Xp->op.noprint2_f != 0;
  p.printout = Xp->printout <= 0 ? PrintLevel::None
               : Xp->printout >= 3 ? PrintLevel::Full
                                   : static_cast<PrintLevel>(Xp->printout);
  p.charts = Xp->charts >= 4 ? ChartLevel::Full : Xp->charts >= 1 ? ChartLevel::Standard : ChartLevel::None;
  if (Xp->ndec >= 0) p.decimals = Xp->ndec;
  for (int t = 0; t < kTableCount; ++t)
    if (table_bit(Xp, t)) p.tables.set(static_cast<std::size_t>(t));
  p.tables_given = Xp->TableStmtFlag != 0;
  p.list_curves = Xp->op.macrvs_f != 0;
  return p;
}

// The table whose month-by-year listing has title message `title`.
std::optional<Table> table_titled(int title) {
  if (title == 159) return Table::B1;  // the original series
  if (title == 167) return Table::A4;  // with the length of month
  for (int t = 0; t < kTableCount; ++t) {
    const TableInfo& info = table_info(static_cast<Table>(t));
    if (title > 0 && (info.title_monthly == title || info.title_quarterly == title)) return info.table;
  }
  return std::nullopt;
}

B15Regression regression_of(const X11COM* Xp) {
  const X11FLOW& f = Xp->x11flow;
  B15Regression r;
  r.fit.coefficients = seven(Xp->tdr_wgts);
  r.fit.variance_factors = seven(f.c);
  r.fit.months = f.xn;
  r.fit.regression_ss = f.ssr;
  r.fit.total_ss = f.sumysq;
  r.test.error_ss = f.sse;
  r.test.error_ms = f.mse;
  r.test.standard_error = f.se;
  r.test.regression_ms = f.msr;
  r.test.f = f.fv;
  r.test.prob_f = f.prbf;
  r.test.standard_errors = seven(f.s);
  std::copy_n(f.stdmonth, 4, r.test.month_standard_errors.begin());
  return r;
}

}  // namespace

void x11prn1(X11COM* Xp, int title, int /*totcol*/, int /*totrow*/, int /*sumflag*/, int startyr, int startper,
             long n, const double* x, int iarg, double farg, int /*ttype*/) {
  const std::optional<Table> table = table_titled(title);
  if (!table) xebug_exit(fmt::format("no table has the title message {}", title));
  MonthYearTableOptions options;
  options.mode = mode_of(Xp);
  if (Xp->ndec >= 0) options.decimals = Xp->ndec;
  options.prior_adjusted = Xp->prior >= 2;
  options.length_of_month = Xp->op.len_f != 0;
  std::optional<HendersonChoice> trend;
  if (iarg != 0) trend = HendersonChoice{iarg, farg};
  print_month_year_table(Xp->host->ods(), *table, {x, static_cast<std::size_t>(n)},
                         SeriesCalendar{frequency_of(Xp), startyr, startper, n}, options, trend);
}

std::string NameMsg(int title) {
  const std::optional<Table> table = table_titled(title);
  if (!table) return "XXX";
  std::string name(table_name(*table));
  while (name.size() < 3) name.push_back(' ');
  return name;
}

void x11prn2(X11COM* Xp, int /*title*/, const double* w) { print_prior_daily_weights_list(Xp->host->ods(), seven(w)); }

void x11prn0(X11COM* Xp, const VAR* v) {
  std::string label;
  if (Xp->in_ds && v->varno >= 0) label = Xp->in_ds->vars()[static_cast<std::size_t>(v->varno)].label;
  print_preface(Xp->host->ods(), Xp->host->listing().linesize(), v->v_vs, label,
                SeriesCalendar{frequency_of(Xp), v->firstyr, v->firstper, v->nobs}, method_of(Xp), print_of(Xp));
}

void x11chrt(X11COM* Xp, const double* d8, const double* d9, const double* d10, const double* d11,
             const double* d12, const double* d13, const double* work) {
  if (Xp->op.noprint_f != 0) return;
  const X11FLOW& f = Xp->x11flow;
  auto observed = [&](const double* v) {
    return std::span<const double>(v + f.real_begin, static_cast<std::size_t>(f.nobs));
  };
  const ChartSeries series{observed(d8),  observed(d9),  observed(d10), observed(d11),
                           observed(d12), observed(d13), observed(work)};
  print_charts(Xp->host->ods(), series, SeriesCalendar{frequency_of(Xp), f.firstyr, f.firstper, f.nobs},
               mode_of(Xp), print_of(Xp));
}

void print_regression(X11COM* Xp, bool final_pass) {
  print_trading_day_regression(Xp->host->ods(), final_pass ? Table::C15 : Table::B15, regression_of(Xp),
                               seven(Xp->pdweights), mode_of(Xp));
}

void print_message_table(X11COM* Xp, const std::string& name, const std::string& text) {
  std::string trimmed = name;
  while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
  const std::optional<Table> table = table_named(trimmed);
  if (!table) xebug_exit(fmt::format("no table is named {}", trimmed));
  print_note_in_place_of_table(Xp->host->ods(), *table, text);
}

void tdr_day_rows(X11COM* Xp, TdrDayRow rows[7]) {
  const auto typed = trading_day_rows(regression_of(Xp), seven(Xp->pdweights), mode_of(Xp));
  for (std::size_t d = 0; d < 7; ++d) {
    const TradingDayRow& r = typed[d];
    rows[d] = {r.combined_weight, r.prior_weight,     r.coefficient, r.standard_error,
               r.t_weight,        r.t_coefficient,    r.prob_weight, r.prob_coefficient};
  }
}

}  // namespace x11sa
