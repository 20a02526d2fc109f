// Estimation and forecasting of the model a fit describes.
#include "arima/model_fit.h"

#include <algorithm>

#include "arima/internal.h"
#include "host/message_ids.h"

namespace x11sa {

namespace {

// Lags of the residual checks when the fit gives none.
constexpr int kDefaultLags = 24;

// A model of the context with its own series record for this fit.
int attach_model(ModelFit& fit) {
  TSACON* tscon = fit.tscon;
  if (tscon->model != nullptr && tscon->model == fit.model) return kTsOk;
  if (TSMODEL* found = find_registered_model(tscon->modtre, &fit); found != nullptr) {
    tscon->model = found;
  } else {
    const bool fresh = tscon->model != nullptr && tscon->modtre->nodes.empty();
    if (!fresh) {
      if (int rc = add_model_record(tscon); rc != kTsOk) return rc;
      tscon->model->tseries = nullptr;
      if (int rc = add_series_record(tscon); rc != kTsOk) return rc;
    }
    if (int rc = register_model(tscon->modtre, &fit, tscon->model); rc != kTsOk) return rc;
  }
  fit.model = tscon->model;
  tscon->tseries = tscon->model->tseries;
  return kTsOk;
}

// The transformation and differencing of a fit, into a series record.
void describe_series(const ModelFit& fit, TSERIES* ts) {
  ts->n = fit.n;
  ts->data = fit.x;
  int tranopt = fit.tranopt;
  double lambda = fit.lambda;
  if (tranopt == kTrLog) lambda = 0.0;
  if ((tranopt == kTrBoxCox || tranopt == kTrPower) && lambda == 0.0) tranopt = kTrLog;
  ts->tranopt = tranopt;
  ts->bclamb = tranopt == kTrNone ? -1.0 : lambda;
  ts->addcon = tranopt == kTrNone ? 0.0 : fit.addcon;
  ts->ndif = fit.dif + fit.sdif;
  ts->differ.assign(static_cast<std::size_t>(ts->ndif) + 1, 0);
  ts->differ[0] = fit.sdif * fit.period + fit.dif;
  for (int d = 0; d < fit.dif; ++d) ts->differ[1 + d] = 1;
  for (int d = 0; d < fit.sdif; ++d) ts->differ[1 + fit.dif + d] = fit.period;
  int k = 0;
  if (tranopt != kTrNone) ts->order[k++] = kStepTransform;
  if (ts->ndif > 0) ts->order[k++] = kStepDifference;
  if (fit.center == 1) ts->order[k++] = kStepCentre;
  while (k < 4) ts->order[k++] = 0;
  ts->mu = 0.0;
  ts->sigma = 1.0;
  ts->nnonmis = find_observed_span(fit.x, &ts->nobs, &ts->start, fit.n);
}

}  // namespace

int estimate_model(ModelFit& fit, TsIterFn itfun, int printit) {
  if (fit.n == 0) return kTsFewData;
  if ((fit.sp > 0 || fit.sq > 0) && fit.period < 1) return kTsInvalid;
  if (fit.x == nullptr || fit.n < 0 || fit.p < 0 || fit.q < 0 || fit.sp < 0 || fit.sq < 0 ||
      fit.dif < 0 || fit.sdif < 0 || (fit.sdif > 0 && fit.period < 1))
    return kTsInvalid;

  if (fit.tscon == nullptr) {
    try {
      fit.tscon_own = std::make_shared<TSACON>();
    } catch (const std::bad_alloc&) {
      return kTsMemory;
    }
    fit.tscon = fit.tscon_own.get();
    fit.model = nullptr;
    fit.forst = nullptr;
    if (int rc = init_engine_context(fit.tscon); rc != kTsOk) return rc;
  }
  TSACON* tscon = fit.tscon;
  if (int rc = attach_model(fit); rc != kTsOk) return rc;
  TSMODEL* m = tscon->model;

  if (fit.singular == 0.0) fit.singular = 1e-7;
  // A negative count (no start-up stage) stays on the record, so that
  // estimating the record again does not turn it into the default.
  if (fit.nstartit == 0) fit.nstartit = 4;
  if (fit.converge == 0.0) {
    fit.converge = 0.001;
    engine_message(tscon, message_set::kProcedure, message_id::kConvergeNotPositive, {fit.converge});
  }
  if (fit.delta == 0.0) fit.delta = 0.001;
  if (fit.maxit == 0) fit.maxit = 15;
  fit.backlim = 0;
  m->singular = fit.singular;
  m->backlim = fit.backlim;
  m->method = fit.emethod;
  m->noconst = static_cast<char>(fit.noconst != 0);
  m->center = static_cast<char>(fit.center != 0);
  TSNONLOPT& opt = m->nonlopt;
  opt = TSNONLOPT{};
  opt.converge = fit.converge;
  opt.delta = fit.delta;
  opt.maxit = fit.maxit;
  opt.stoprule = fit.stoprule;
  opt.startup = fit.startup;
  opt.nstartit = std::max(0, fit.nstartit);

  TSERIES* ts = m->tseries;
  describe_series(fit, ts);
  ts->nlags = fit.nlags > 0 ? fit.nlags : kDefaultLags;
  if (ts->nnonmis == 0) return kTsFewData;

  m->arfac.clear();
  m->mafac.clear();
  auto add_factor = [&](std::vector<FILTER>& side, int order, int spacing) {
    if (order < 1) return kTsOk;
    side.emplace_back();
    return spacing == 1 ? make_nonseasonal_factor(tscon, &side.back(), order)
                        : make_seasonal_factor(tscon, &side.back(), order, spacing);
  };
  for (int rc : {add_factor(m->arfac, fit.p, 1), add_factor(m->arfac, fit.sp, fit.period),
                 add_factor(m->mafac, fit.q, 1), add_factor(m->mafac, fit.sq, fit.period)})
    if (rc != kTsOk) return rc;

  if (int rc = build_working_series(tscon, ts); rc != kTsOk) return rc;
  const int prc = setup_parameters(tscon, m);
  if (prc != kTsOk && prc != kTsGiven) return prc;
  if (prc == kTsOk && opt.startup == 0) {
    if (int rc = compute_starting_values(tscon, fit.p, fit.q, fit.sp, fit.sq, fit.period); rc != kTsOk) return rc;
  }
  const int erc = estimate_parameters(tscon, itfun, printit);
  m->rc = erc;
  m->nlags = fit.nlags > 0 ? fit.nlags : ts->nlags;
  const int lrc = ljung_box_checks(tscon, 1);
  if (prc == kTsGiven && erc == kTsGiven) return std::max(kTsGiven, lrc);
  return std::max(erc, lrc);
}

int forecast_model(ModelFit& fit) {
  if (fit.tscon == nullptr || fit.model == nullptr) return kTsInvalid;
  TSACON* tscon = fit.tscon;
  TSMODEL* m = fit.model;
  tscon->model = m;
  if (fit.forst == nullptr) {
    if (int rc = add_forecast_record(tscon); rc != kTsOk) return rc;
    fit.forst = tscon->tsfor;
  }
  TSFORECAST* fc = fit.forst;
  tscon->tsfor = fc;
  fc->model = m;

  // The series to forecast, transformed like the estimation series.
  if (fc->series == nullptr) {
    TSERIES* current = tscon->tseries;
    if (int rc = add_series_record(tscon); rc != kTsOk) return rc;
    fc->series = tscon->tseries;
    tscon->tseries = current;
  }
  TSERIES* ts = fc->series;
  describe_series(fit, ts);
  ts->nlags = 0;
  if (ts->nnonmis == 0) return kTsFewData;
  if (int rc = build_working_series(tscon, ts); rc != kTsOk) return rc;

  const long end = ts->start + ts->nobs;
  if (fit.fmethod == 0) fit.fmethod = fit.emethod != 0 ? kTsForKalman : kTsForConditional;
  fc->method = fit.fmethod;
  fc->start = std::max(ts->start, fit.start);
  // A lead of 0 means no forecasts after the data.
  fc->lead = std::max(0L, fit.lead);
  fc->multstep = std::max(0L, fit.multstep);
  if (fc->multstep == 0 || fc->multstep < fc->start) fc->multstep = end;
  const long total = fc->multstep + fc->lead;
  if (fc->block.size() < static_cast<std::size_t>(4 * total)) {
    if (int rc = ts_alloc(tscon, fc->block, static_cast<std::size_t>(4 * total)); rc != kTsOk) return rc;
  }
  fc->xfor = fc->block.data();
  fc->res = fc->xfor + total;
  fc->std = fc->res + total;
  fc->psi = fc->std + total;
  int rc = compute_forecasts(tscon);
  if (rc == kTsTransform) rc = kTsCapability;
  fit.psi = fc->psi;
  fit.xfor = fc->xfor;
  fit.std = fc->std;
  fit.res = fc->res;
  return rc;
}

}  // namespace x11sa
