// Estimation and forecasting of the model a fit describes.
#include "arima/model_fit.h"

#include <algorithm>

#include "arima/internal.h"

namespace x11sa {

namespace {

// Lags of the residual checks when the record gives none.
constexpr int kDefaultLags = 24;

// A model of the context with its own series record for this fit.
int attach_model(ModelFit* iopts) {
  TSACON* tscon = iopts->tscon;
  if (tscon->model != nullptr && tscon->model == iopts->model) return kTsOk;
  if (TSMODEL* found = ztrefnd(tscon->modtre, iopts); found != nullptr) {
    tscon->model = found;
  } else {
    const bool fresh = tscon->model != nullptr && tscon->modtre->nodes.empty();
    if (!fresh) {
      if (int rc = ztsimod(tscon); rc != kTsOk) return rc;
      tscon->model->tseries = nullptr;
      if (int rc = ztsitss(tscon); rc != kTsOk) return rc;
    }
    if (int rc = ztrebld(tscon->modtre, iopts, tscon->model); rc != kTsOk) return rc;
  }
  iopts->model = tscon->model;
  tscon->tseries = tscon->model->tseries;
  return kTsOk;
}

// The transformation and differencing of a record, into a series record.
void describe_series(const ModelFit* iopts, TSERIES* ts) {
  ts->n = iopts->n;
  ts->data = iopts->x;
  int tranopt = iopts->tranopt;
  double lambda = iopts->lambda;
  if (tranopt == kTrLog) lambda = 0.0;
  if ((tranopt == kTrBoxCox || tranopt == kTrPower) && lambda == 0.0) tranopt = kTrLog;
  ts->tranopt = tranopt;
  ts->bclamb = tranopt == kTrNone ? -1.0 : lambda;
  ts->addcon = tranopt == kTrNone ? 0.0 : iopts->addcon;
  ts->ndif = iopts->dif + iopts->sdif;
  ts->differ.assign(static_cast<std::size_t>(ts->ndif) + 1, 0);
  ts->differ[0] = iopts->sdif * iopts->period + iopts->dif;
  for (int d = 0; d < iopts->dif; ++d) ts->differ[1 + d] = 1;
  for (int d = 0; d < iopts->sdif; ++d) ts->differ[1 + iopts->dif + d] = iopts->period;
  int k = 0;
  if (tranopt != kTrNone) ts->order[k++] = kStepTransform;
  if (ts->ndif > 0) ts->order[k++] = kStepDifference;
  if (iopts->center == 1) ts->order[k++] = kStepCentre;
  while (k < 4) ts->order[k++] = 0;
  ts->mu = 0.0;
  ts->sigma = 1.0;
  ts->nnonmis = ztsgmis(iopts->x, &ts->nobs, &ts->start, iopts->n);
}

}  // namespace

int estimate_model(ModelFit& fit, TsIterFn itfun, int printit) {
  ModelFit* iopts = &fit;
  if (iopts->n == 0) return kTsFewData;
  if ((iopts->sp > 0 || iopts->sq > 0) && iopts->period < 1) return kTsInvalid;
  if (iopts->x == nullptr || iopts->n < 0 || iopts->p < 0 || iopts->q < 0 || iopts->sp < 0 || iopts->sq < 0 ||
      iopts->dif < 0 || iopts->sdif < 0 || (iopts->sdif > 0 && iopts->period < 1))
    return kTsInvalid;

  if (iopts->tscon == nullptr) {
    try {
      iopts->tscon_own = std::make_shared<TSACON>();
    } catch (const std::bad_alloc&) {
      return kTsMemory;
    }
    iopts->tscon = iopts->tscon_own.get();
    iopts->model = nullptr;
    iopts->forst = nullptr;
    if (int rc = ztsinit(iopts->tscon); rc != kTsOk) return rc;
  }
  TSACON* tscon = iopts->tscon;
  if (int rc = attach_model(iopts); rc != kTsOk) return rc;
  TSMODEL* m = tscon->model;

  if (iopts->singular == 0.0) iopts->singular = 1e-7;
  // A negative count (no start-up stage) stays on the record, so that
  // estimating the record again does not turn it into the default.
  if (iopts->nstartit == 0) iopts->nstartit = 4;
  if (iopts->converge == 0.0) {
    iopts->converge = 0.001;
    engine_message(tscon, 267, 68, {iopts->converge});
  }
  if (iopts->delta == 0.0) iopts->delta = 0.001;
  if (iopts->maxit == 0) iopts->maxit = 15;
  iopts->backlim = 0;
  m->singular = iopts->singular;
  m->backlim = iopts->backlim;
  m->method = iopts->emethod;
  m->noconst = static_cast<char>(iopts->noconst != 0);
  m->center = static_cast<char>(iopts->center != 0);
  TSNONLOPT& opt = m->nonlopt;
  opt = TSNONLOPT{};
  opt.converge = iopts->converge;
  opt.delta = iopts->delta;
  opt.maxit = iopts->maxit;
  opt.stoprule = iopts->stoprule;
  opt.startup = iopts->startup;
  opt.nstartit = std::max(0, iopts->nstartit);

  TSERIES* ts = m->tseries;
  describe_series(iopts, ts);
  ts->nlags = iopts->nlags > 0 ? iopts->nlags : kDefaultLags;
  if (ts->nnonmis == 0) return kTsFewData;

  m->arfac.clear();
  m->mafac.clear();
  auto add_factor = [&](std::vector<FILTER>& side, int order, int spacing) {
    if (order < 1) return kTsOk;
    side.emplace_back();
    return spacing == 1 ? getord(tscon, &side.back(), order) : getors(tscon, &side.back(), order, spacing);
  };
  for (int rc : {add_factor(m->arfac, iopts->p, 1), add_factor(m->arfac, iopts->sp, iopts->period),
                 add_factor(m->mafac, iopts->q, 1), add_factor(m->mafac, iopts->sq, iopts->period)})
    if (rc != kTsOk) return rc;

  if (int rc = ztsgtr(tscon, ts); rc != kTsOk) return rc;
  const int prc = ztseprm(tscon, m);
  if (prc != kTsOk && prc != kTsGiven) return prc;
  if (prc == kTsOk && opt.startup == 0) {
    if (int rc = ztsepre(tscon, iopts->p, iopts->q, iopts->sp, iopts->sq, iopts->period); rc != kTsOk) return rc;
  }
  const int erc = ztsest(tscon, itfun, printit);
  m->rc = erc;
  m->nlags = iopts->nlags > 0 ? iopts->nlags : ts->nlags;
  const int lrc = ztsslb(tscon, 1);
  if (prc == kTsGiven && erc == kTsGiven) return std::max(kTsGiven, lrc);
  return std::max(erc, lrc);
}

int forecast_model(ModelFit& fit) {
  ModelFit* iopts = &fit;
  if (iopts->tscon == nullptr || iopts->model == nullptr) return kTsInvalid;
  TSACON* tscon = iopts->tscon;
  TSMODEL* m = iopts->model;
  tscon->model = m;
  if (iopts->forst == nullptr) {
    if (int rc = ztsifor(tscon); rc != kTsOk) return rc;
    iopts->forst = tscon->tsfor;
  }
  TSFORECAST* fc = iopts->forst;
  tscon->tsfor = fc;
  fc->model = m;

  // The series to forecast, transformed like the estimation series.
  if (fc->series == nullptr) {
    TSERIES* current = tscon->tseries;
    if (int rc = ztsitss(tscon); rc != kTsOk) return rc;
    fc->series = tscon->tseries;
    tscon->tseries = current;
  }
  TSERIES* ts = fc->series;
  describe_series(iopts, ts);
  ts->nlags = 0;
  if (ts->nnonmis == 0) return kTsFewData;
  if (int rc = ztsgtr(tscon, ts); rc != kTsOk) return rc;

  const long end = ts->start + ts->nobs;
  if (iopts->fmethod == 0) iopts->fmethod = iopts->emethod != 0 ? kTsForKalman : kTsForConditional;
  fc->method = iopts->fmethod;
  fc->start = std::max(ts->start, iopts->start);
  // A lead of 0 means no forecasts after the data.
  fc->lead = std::max(0L, iopts->lead);
  fc->multstep = std::max(0L, iopts->multstep);
  if (fc->multstep == 0 || fc->multstep < fc->start) fc->multstep = end;
  const long total = fc->multstep + fc->lead;
  if (fc->block.size() < static_cast<std::size_t>(4 * total)) {
    if (int rc = ts_alloc(tscon, fc->block, static_cast<std::size_t>(4 * total)); rc != kTsOk) return rc;
  }
  fc->xfor = fc->block.data();
  fc->res = fc->xfor + total;
  fc->std = fc->res + total;
  fc->psi = fc->std + total;
  int rc = ztsfor(tscon);
  if (rc == kTsTransform) rc = kTsCapability;
  iopts->psi = fc->psi;
  iopts->xfor = fc->xfor;
  iopts->std = fc->std;
  iopts->res = fc->res;
  return rc;
}

}  // namespace x11sa
