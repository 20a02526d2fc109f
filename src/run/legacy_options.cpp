#include "run/legacy_options.h"

#include <algorithm>

#include "host/dates.h"
#include "host/messages.h"

namespace x11sa {

namespace {

void set_data_set(DSN& dsn, const std::optional<OutputDataSetRef>& ref, int label_msg) {
  if (!ref) return;
  dsn.given = true;
  dsn.dsname = ref->name.display();
  dsn.member = ref->name.member;
  dsn.label = msgtext(label_msg);
  dsn.folder = ref->folder;
}

short curve_code(SeasonalCurve c) {
  switch (c) {
    case SeasonalCurve::Default:
      return 0;
    case SeasonalCurve::ThreeTerm:
      return 1;
    case SeasonalCurve::ThreeByThree:
      return 2;
    case SeasonalCurve::ThreeByFive:
      return 3;
    case SeasonalCurve::ThreeByNine:
      return 4;
    case SeasonalCurve::Stable:
      return -1;
  }
  return 0;
}

int report_level(ReportLevel r) { return r == ReportLevel::None ? 0 : r == ReportLevel::Standard ? 1 : 2; }

void apply_arima(const StepOptions& o, X11COM* Xp) {
  Xp->x11acom = X11ACOM{};
  Xp->op.arima_f = o.method.arima ? 1 : 0;
  if (!o.method.arima) return;
  const ArimaOptions& in = *o.method.arima;
  X11ARIMAOPTS& a = Xp->x11acom.arima;
  a.ar_prnt = report_level(o.print.arima);
  Xp->op.print_fp = o.print.arima_first_pass ? 1 : 0;
  a.yrs_b = in.backcast_years;
  a.yrs_f = in.forecast_years;
  a.op.u_f = in.model ? 1 : 0;
  a.op.a_f = in.model ? 0 : 1;
  if (in.model) {
    const ArimaModel& m = *in.model;
    a.user.p = m.p;
    a.user.sp = m.sp;
    a.user.q = m.q;
    a.user.sq = m.sq;
    a.user.dif = m.dif;
    a.user.sdif = m.sdif;
    a.user.noint = m.noint ? 1 : 0;
    a.user.center = m.center ? 1 : 0;
  }
  switch (in.transform.kind) {
    case ArimaTransform::Kind::None:
      break;
    case ArimaTransform::Kind::Log:
      a.trans_code = 1;
      break;
    case ArimaTransform::Kind::Power:
      a.trans_code = 3;
      a.addcon = in.transform.shift;
      a.lambda = in.transform.power;
      break;
  }
  a.maxit = in.maxiter;
  a.converge = in.converge;
  a.method = in.method == ArimaMethod::Cls ? 0 : in.method == ArimaMethod::Uls ? 1 : 2;
  a.crit_val.mape_crit = in.mape_criterion;
  a.crit_val.chi_crit = in.chi_criterion;
  a.crit_val.ovdif_crit = in.overdiff_criterion;
  const int p = o.method.periods();
  a.back = p * a.yrs_b;
  a.fore = p * a.yrs_f;
  a.ar_len = a.back + a.fore;
  a.nlag = in.nlag.value_or(o.method.monthly() ? 36 : 12);
  const TradingDayRegression td = o.method.tdregr;
  a.need_first_pass =
      td == TradingDayRegression::Adjust || td == TradingDayRegression::Test || o.method.prior_daily_weights ? 1 : 0;
}

void apply_spans(const StepOptions& o, X11COM* Xp) {
  X11SSP& sp = Xp->x11ssp;
  Xp->op.sspan_f = o.method.spans ? 1 : 0;
  const SpansOptions spans = o.method.spans.value_or(SpansOptions{});
  sp.reports = o.span_reports;
  sp.NumDec = o.print.span_decimals;
  sp.cutoff = spans.cutoff;
  sp.td_cutoff = spans.td_cutoff;
  sp.PNumDec1 = 2;
  sp.PNumDec2 = 2;
}

}  // namespace

void apply_step_options(const StepOptions& o, X11COM* Xp) {
  Xp->options = std::make_shared<const StepOptions>(o);
  const AdjustmentOptions& m = o.method;
  const PrintOptions& p = o.print;
  const bool monthly = m.monthly();

  // Data sets.
  if (o.input) {
    Xp->ds.data.given = true;
    Xp->ds.data.dsname = o.input->name.substr(0, 80);
  }
  set_data_set(Xp->ds.out, o.out, 185);
  set_data_set(Xp->ds.outstb, o.outstb, 184);
  set_data_set(Xp->ds.outtdr, o.outtdr, 179);
  set_data_set(Xp->ds.outspan, o.outspan, 186);
  Xp->op.outstb_f = o.outstb ? 1 : 0;
  Xp->op.outtdr_f = o.outtdr ? 1 : 0;
  Xp->op.outspan_f = o.outspan ? 1 : 0;
  Xp->op.output_f = o.out ? 1 : 0;
  Xp->op.outex_f = o.outextrap ? 1 : 0;
  Xp->op.debug = o.debug.debug ? 1 : 0;
  Xp->op.debugd = o.debug.debugd ? 1 : 0;
  Xp->op.debugx = o.debug.debugx ? 1 : 0;

  // The method.
  Xp->op.month_f = monthly ? 1 : 0;
  Xp->nper = m.periods();
  Xp->date.fmt = monthly ? 0 : 1;
  Xp->op.add_f = m.additive() ? 1 : 0;
  Xp->op.summaryf = m.summary ? 1 : 0;
  Xp->op.trndadj_f = m.trend_adjust ? 1 : 0;
  Xp->op.yrahdout_f = m.year_ahead ? 1 : 0;
  Xp->trendma = m.trendma.value_or(0);
  Xp->ptrendma = m.ptrendma.value_or(monthly ? 12 : 4);
  Xp->fullweight = m.fullweight;
  Xp->zeroweight = m.zeroweight;
  Xp->exclude = m.exclude;
  Xp->extreme = m.extreme == ExtremeRule::Old ? 0 : 1;
  Xp->op.old_f = m.old_sigma ? 1 : 0;
  // The codes of TDREGR= and PRINTOUT= follow the order of their enums.
  Xp->tdregr = static_cast<int>(m.tdregr);
  Xp->op.tdcmpt_f = m.tdcompute_year ? 1 : 0;
  if (m.tdcompute_year) Xp->tdcompute = zmdy(1, 1, *m.tdcompute_year);
  Xp->op.tdapply_f = m.tdapply_year ? 1 : 0;
  if (m.tdapply_year) Xp->tdapply = zmdy(1, 1, *m.tdapply_year);
  Xp->op.len_f = m.length_of_month ? 1 : 0;
  if (m.length_of_month) Xp->lmopt = 4;
  Xp->op.pdwgt_f = m.prior_daily_weights ? 1 : 0;
  if (m.prior_daily_weights) {
    std::copy(m.prior_daily_weights->begin(), m.prior_daily_weights->end(), std::begin(Xp->pdweights));
  } else {
    std::fill(std::begin(Xp->pdweights), std::end(Xp->pdweights), m.additive() ? 0.0 : 1.0);
    Xp->ptd_reg_done = 1;
  }
  Xp->op.macrvs_f = p.list_curves ? 1 : 0;
  for (std::size_t i = 0; i < 12; ++i) Xp->macrv.spec[i] = curve_code(m.curves[i]);
  apply_arima(o, Xp);
  apply_spans(o, Xp);

  // Dates and variables.
  Xp->op.start_f = o.start ? 1 : 0;
  if (o.start) Xp->date.start2 = *o.start;
  Xp->op.end_f = o.end ? 1 : 0;
  if (o.end) Xp->date.end2 = *o.end;
  const StepVariables& v = o.vars;
  Xp->varlst = v.analysis;
  Xp->bylst = v.by;
  Xp->by_descending = v.by_descending;
  Xp->by_notsorted = v.by_notsorted;
  Xp->idlst = v.id;
  Xp->nvar = static_cast<int>(v.analysis.size());
  Xp->nby = static_cast<int>(v.by.size());
  Xp->nid = static_cast<int>(v.id.size());
  Xp->date.varno = v.date.value_or(-1);
  Xp->vn_pmf = v.prior_factors.value_or(-1);
  if (Xp->in_ds)
    for (int k : v.analysis)
      Xp->maxname =
          std::max(Xp->maxname, static_cast<int>(Xp->in_ds->vars()[static_cast<std::size_t>(k)].name.size()));
  Xp->prior = m.prior_daily_weights ? (v.prior_factors ? 4 : 2) : (v.prior_factors ? 3 : 1);
  Xp->tot_tbls = 0;
  for (int k = 0; k < kOutTableCount; ++k) {
    Xp->table_lst[k] = o.out_names[static_cast<std::size_t>(k)];
    Xp->table_cnt[k] = static_cast<int>(Xp->table_lst[k].size());
    Xp->tot_tbls += Xp->table_cnt[k];
  }

  // Printing.
  Xp->op.noprint2_f = p.noprint ? 1 : 0;
  Xp->op.noprint_f = o.prints_anything ? 0 : 1;
  Xp->printout = static_cast<int>(p.printout);
  Xp->charts = p.charts == ChartLevel::None ? 0 : p.charts == ChartLevel::Standard ? 1 : 4;
  Xp->ndec = p.decimals.value_or(-1);
  Xp->TableStmtFlag = p.tables_given ? 1 : 0;
  std::fill(std::begin(Xp->print_table_f), std::end(Xp->print_table_f), 0);
  for (std::size_t t = 0; t < p.tables.size(); ++t)
    if (p.tables.test(t)) set_table_bit(Xp, static_cast<int>(t));
}

}  // namespace x11sa
