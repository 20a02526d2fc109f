// The variable loop of one BY group: the group's shared series, then each
// analysis variable's flow and sliding spans.
#include <fmt/format.h>

#include "core/prior_adjustment.h"
#include "core/trading_day.h"
#include "host/exit.h"
#include "host/host.h"
#include "pipeline/flows.h"
#include "records/exit_levels.h"
#include "report/preface.h"
#include "run/flow_output.h"
#include "run/ornqx11.h"
#include "run/sliding_spans.h"
#include "run/variable_loop.h"

namespace x11sa {

namespace {

// The page title of a variable: its name, and its label when it has one.
void reset_header(X11COM* Xp, const VAR& v) {
  const VarInfo& vi = Xp->in_ds->vars()[static_cast<std::size_t>(v.varno)];
  std::string title = vi.label.empty() ? msgtext(97, v.v_vs) : msgtext(98, v.v_vs, vi.label);
  // The BY group in the title, as every page of it should say which group it shows.
  if (!Xp->by_label.empty()) title += " (" + Xp->by_label + ")";
  Xp->host->ods().set_page_title(std::move(title));
}

// A variable that is not adjusted still fills its OUT= columns, with missing values.
void write_missing(X11COM* Xp, const VAR& v) {
  const long len = Xp->op.outex_f != 0 ? Xp->fake_array_size : Xp->array_size;
  const long n = len * v.no_tbls;
  if (n == 0) return;
  std::vector<double> block(static_cast<std::size_t>(n), kMissing);
  if (!Xp->util1->write(block.data(), block.size() * sizeof(double))) {
    Xp->host->msg(95);
    raise_level(Xp, exit_level::kUtilityWrite);
    xexit(Xp->exitlvl);
  }
}

// The output group of the variable in process.
class VariableGroup {
 public:
  VariableGroup(Host& host, const VAR& v) : host_(host), open_(host.ods().active()) {
    if (open_) ods_check(host.ods().open_group(v.v_vs, msgtext(881, v.v_vs)));
  }
  ~VariableGroup() noexcept(false) {
    if (open_ && std::uncaught_exceptions() == 0) ods_check(host_.ods().close_group());
  }
  VariableGroup(const VariableGroup&) = delete;
  VariableGroup& operator=(const VariableGroup&) = delete;

 private:
  Host& host_;
  bool open_;
};

}  // namespace

void set_group_series(X11COM* Xp, const StepOptions& o, GroupSeries& g) {
  const auto n = static_cast<std::size_t>(Xp->fake_array_size);
  const long back = Xp->x11acom.arima.back;
  g.first_year = Xp->date.firstyr;
  g.first_period = Xp->date.firstper;
  g.prior_factors.assign(n, kMissing);
  if (o.vars.prior_factors) {
    std::fill(g.prior_factors.begin(), g.prior_factors.end(), 100.0);
    const auto bytes = static_cast<std::size_t>(Xp->obs) * sizeof(double);
    if (!Xp->util3->point(0) || !Xp->util3->read(g.prior_factors.data() + back, bytes))
      xebug_exit("the prior monthly factors of the group could not be read back");
  }
  g.prior_td_factors.assign(n, kMissing);
  const AdjustmentOptions& m = o.method;
  if (m.prior_daily_weights)
    a4_prior_trading_day_factors(*m.prior_daily_weights, Xp->date.firstyr - m.arima.value_or(ArimaOptions{}).backcast_years,
                                 Xp->date.firstper, m.mode,
                                 m.length_of_month ? MonthDivisor::MeanMonth : MonthDivisor::LeapAveragedFebruary,
                                 g.prior_td_factors);
  g.month_types.assign(n + 24, short{-999});
  if (m.tdregr != TradingDayRegression::None && m.monthly())
    month_types(Xp->date.firstyr, std::span<short>(g.month_types).first(n + 12));
}

SeriesLayout layout_of(const X11COM* Xp, const StepOptions& o, const VAR& v) {
  SeriesLayout l;
  l.frequency = o.method.frequency;
  l.length = Xp->fake_array_size;
  l.rows = Xp->array_size;
  l.backcasts = Xp->x11acom.arima.back;
  l.forecasts = Xp->x11acom.arima.fore;
  l.leading_missing = v.nmiss;
  l.observations = v.nobs;
  l.first_year = v.firstyr;
  l.first_period = v.firstper;
  l.last_year = v.lastyr;
  l.last_period = v.lastper;
  l.first_date = v.b_date;
  l.last_date = v.e_date;
  l.year_ahead = o.method.year_ahead;
  return l;
}

void read_series(X11COM* Xp, std::size_t k, std::span<double> a1) {
  const auto rows = static_cast<std::size_t>(Xp->obs);
  if (!Xp->util2->point(k * rows * sizeof(double)) ||
      !Xp->util2->read(a1.data() + Xp->x11acom.arima.back, rows * sizeof(double)))
    xebug_exit(fmt::format("utility file holds no record for variable {}", k + 1));
}

void x11run(X11COM* Xp) {
  const StepOptions& o = *Xp->options;
  Host& host = *Xp->host;
  GroupSeries& group = Xp->group_series;
  ChainTables& tables = Xp->chain_tables;
  set_group_series(Xp, o, group);
  const Flow group_flow = !o.method.arima                              ? Flow::Plain
                          : o.method.tdregr == TradingDayRegression::None ? Flow::Extended
                                                                         : Flow::ExtendedWithTradingDay;
  for (std::size_t kk = 0; kk < Xp->vars.size(); ++kk) {
    VAR& v = Xp->vars[kk];
    Flow flow = group_flow;
    bool extension_missing = false;
    if (o.method.arima && !o.method.arima->model) {
      // The automatic choice needs five years.
      if (v.nobs < (o.method.monthly() ? 60 : 20)) {
        if (v.run_f != 0 && flow != Flow::Plain) host.msg(44, v.v_vs);
        flow = Flow::Plain;
      }
      if (flow == Flow::Plain && o.outextrap) extension_missing = true;
    }
    const SeriesLayout layout = layout_of(Xp, o, v);
    tables.reset(layout.length);
    read_series(Xp, kk, tables[Table::A1]);
    if (v.run_f == 0) {
      write_missing(Xp, v);
      continue;
    }
    VariableGroup output_group(host, v);
    if (o.prints_anything) {
      reset_header(Xp, v);
      std::string label;
      if (Xp->in_ds && v.varno >= 0) label = Xp->in_ds->vars()[static_cast<std::size_t>(v.varno)].label;
      print_preface(host.ods(), host.listing().linesize(), v.v_vs, label,
                    SeriesCalendar{layout.frequency, v.firstyr, v.firstper, v.nobs}, o.method, o.print);
    } else if (o.print.arima != ReportLevel::None) {
      reset_header(Xp, v);
    }
    FlowOutput out(Xp, o, static_cast<int>(kk), v.v_vs, layout, extension_missing);
    VariableChain chain{o, o.method, layout, tables, group, out, host, Xp->last_trend};
    run_flow(chain, flow);
    if (o.method.spans) run_sliding_spans(Xp, chain, v.v_vs);
  }
}

}  // namespace x11sa
