// The forecaster: one-step forecasts over the data, multi-step forecasts
// after the forecast origin with their standard errors, on the scale of the
// input series.
#include <algorithm>
#include <cmath>

#include "arima/engine.h"
#include "arima/internal.h"

namespace x11sa {

using namespace detail;

namespace {

// The differencing polynomial 1 - sum delta_k B^k, as delta[1..D] (delta[0] unused).
void expand_differencing(const TSERIES& ts, double* delta, long deg) {
  std::fill(delta, delta + deg + 1, 0.0);
  delta[0] = 1.0;  // in the 1 + sum b_k B^k form while multiplying
  long top = 0;
  for (int d = 0; d < ts.ndif; ++d) {
    const long lag = ts.differ[1 + d];
    top += lag;
    for (long k = top; k >= lag; --k) delta[k] -= delta[k - lag];
  }
  delta[0] = 0.0;
  for (long k = 1; k <= deg; ++k) delta[k] = -delta[k];
}

// y_t = w_t + sum delta_k y_{t-k}: the undifferenced value at position t of
// `y` from its working-scale difference w; missing when a lagged value is.
double undifference(double w, const double* y, long t, const double* delta, long deg) {
  if (is_missing(w)) return kMissing;
  double s = w;
  for (long k = 1; k <= deg; ++k) {
    if (delta[k] == 0.0) continue;
    const double prev = y[t - k];
    if (is_missing(prev)) return kMissing;
    s += delta[k] * prev;
  }
  return s;
}

}  // namespace

int compute_forecasts(TSACON* tscon) {
  if (tscon == nullptr || tscon->tsfor == nullptr) return kTsInvalid;
  TSFORECAST* fc = tscon->tsfor;
  TSMODEL* m = fc->model != nullptr ? fc->model : tscon->model;
  if (m == nullptr) return kTsInvalid;
  TSERIES* tsp = fc->series != nullptr ? fc->series : m->tseries;
  if (tsp == nullptr) return kTsInvalid;
  const TSERIES& ts = *tsp;
  const long total = fc->multstep + fc->lead;
  if (fc->multstep < 0 || fc->lead < 0 || total <= 0 || fc->xfor == nullptr || fc->std == nullptr ||
      fc->res == nullptr || fc->psi == nullptr)
    return report_invalid_argument(tscon, kTsInvalid, "ZTSFOR");
  if (ts.tranopt < kTrNone || ts.tranopt > kTrPower) {
    engine_message(tscon, 0, 2, {std::string("ZTSFOR: Unknown transformation type.")});
    return kTsInvalid;
  }
  const long end = ts.start + ts.nobs;
  const long origin = std::min(fc->multstep, end);
  const long nw = origin - ts.tstart;  // working values before the origin
  if (nw < 1 || ts.tnonmis < 1) return kTsFewData;
  const long horizon = total - origin;
  const long deg = ts.ndif > 0 ? ts.differ[0] : 0;
  if (int rc = work_setup(tscon, m, ts); rc != kTsOk) return rc;
  const int dim = std::max(m->maxard, m->maxmad + 1);
  const auto need = static_cast<std::size_t>(total + (ts.tnobs + horizon) * 2 + deg + 1 + horizon +
                                             horizon * dim + 3 * dim + 1);
  if (int rc = ts_alloc(tscon, fc->work, std::max(need, fc->work.size())); rc != kTsOk) return rc;
  double* ytil = fc->work.data();      // transformed values, gaps filled, then forecasts
  double* rec = ytil + total;          // conditional recursion: w - mu
  double* shocks = rec + ts.tnobs + horizon;
  double* delta = shocks + ts.tnobs + horizon;
  double* cint = delta + deg + 1;      // weights of 1 / delta(B)
  double* rows = cint + horizon;       // Z T^j, j < horizon
  double* g = rows + horizon * dim;
  double* pg = g + dim;
  double* state = pg + dim;

  fill_missing(fc->xfor, total);
  fill_missing(fc->std, total);
  fill_missing(fc->res, total);
  fill_missing(ytil, total);
  {
    TSMODEL* current = tscon->model;
    tscon->model = m;
    const int rc = psi_weights(tscon, fc->psi, total, 1);
    tscon->model = current;
    if (rc != kTsOk) return rc;
  }

  // One-step predictions of w - mu over the data before the origin.
  const bool kalman = fc->method == kTsForKalman;
  std::span<double> e(m->work.trial.data(), static_cast<std::size_t>(ts.tnobs));
  double sse = 0, logdet = 0;
  long count = 0;
  const int frc = kalman ? kalman_filter(m, ts, nw, e, &sse, &logdet, &count)
                         : conditional_filter(m, ts, nw, e, &sse, &count);
  if (frc != kTsOk) return frc;
  const TSWORK& wk = m->work;
  const double scale = ts.sigma > 0.0 ? ts.sigma : 1.0;
  const double s2 = std::max(0.0, m->variance) * scale * scale;
  auto working = [&](double pred) { return is_missing(pred) ? kMissing : (pred + m->mu) * scale + ts.mu; };

  expand_differencing(ts, delta, deg);
  const long first = std::max(fc->start, ts.tstart);
  for (long t = ts.start; t < origin; ++t) {
    const long j = t - ts.start;
    double y = ts.bctrandt[j];
    if (t >= ts.tstart) {
      const long i = t - ts.tstart;
      const double yhat = undifference(working(wk.fcst[i]), ytil, t, delta, deg);
      if (t >= first && !is_missing(yhat)) {
        fc->xfor[t] = yhat;
        fc->std[t] = std::sqrt(s2 * (kalman ? wk.fvar[i] : 1.0));
      }
      if (is_missing(y)) y = yhat;  // a gap is carried by its forecast
    }
    ytil[t] = y;
  }

  // Multi-step forecasts of w - mu from the origin.
  const double* ar = wk.ar.data();
  if (kalman) {
    std::copy(wk.state.begin(), wk.state.begin() + dim, state);
    for (long h = 0; h < horizon; ++h) {
      rec[h] = state[0];
      const double a0 = state[0];
      for (int i = 0; i + 1 < dim; ++i) state[i] = (i + 1 <= m->maxard ? ar[i + 1] : 0.0) * a0 + state[i + 1];
      state[dim - 1] = (dim <= m->maxard ? ar[dim] : 0.0) * a0;
    }
  } else {
    // w - mu with gaps filled, then forecasts; shocks after the origin are 0.
    for (long i = 0; i < nw; ++i) {
      rec[i] = wk.w[i];
      shocks[i] = e[i];
    }
    for (long i = nw; i < nw + horizon; ++i) {
      double s = 0;
      for (int j = 0; j < wk.nar; ++j) {
        const long lag = wk.arlags[j];
        if (i - lag >= 0) s += ar[lag] * rec[i - lag];
      }
      for (int j = 0; j < wk.nma; ++j) {
        const long lag = wk.malags[j];
        if (i - lag >= m->maxard && i - lag < nw) s -= wk.ma[lag] * shocks[i - lag];
      }
      rec[i] = s;
      shocks[i] = 0.0;
    }
    std::copy(rec + nw, rec + nw + horizon, rec);
  }
  for (long h = 0; h < horizon; ++h) {
    const long t = origin + h;
    ytil[t] = undifference(working(rec[h]), ytil, t, delta, deg);
    fc->xfor[t] = ytil[t];
  }

  // Standard errors: psi weights of the model with its differencing, and for
  // the Kalman method the uncertainty of the state at the origin.
  for (long h = 0; h < horizon; ++h) {
    double s = 0;
    for (long k = 1; k <= std::min(h, deg); ++k) s += delta[k] * cint[h - k];
    cint[h] = h == 0 ? 1.0 : s;
  }
  if (kalman) {
    std::fill(rows, rows + horizon * dim, 0.0);
    if (horizon > 0) rows[0] = 1.0;
    for (long j = 1; j < horizon; ++j) {
      const double* r = rows + (j - 1) * dim;
      double* nx = rows + j * dim;
      double s = 0;
      for (int i = 0; i < std::min(dim, m->maxard); ++i) s += r[i] * ar[i + 1];
      nx[0] = s;
      for (int k = 1; k < dim; ++k) nx[k] = r[k - 1];
    }
  }
  double future = 0;  // sum of squared psi weights of the shocks after the origin
  for (long h = 0; h < horizon; ++h) {
    double var;
    if (kalman) {
      std::fill(g, g + dim, 0.0);
      for (long j = 0; j <= h; ++j) {
        const double c = cint[h - j];
        const double* r = rows + j * dim;
        for (int k = 0; k < dim; ++k) g[k] += c * r[k];
      }
      double quad = 0;
      for (int i = 0; i < dim; ++i) {
        double s = 0;
        for (int k = 0; k < dim; ++k) s += wk.pmat[i * dim + k] * g[k];
        pg[i] = s;
        quad += g[i] * s;
      }
      var = quad + future;
    } else {
      var = future + fc->psi[h] * fc->psi[h];
    }
    future += fc->psi[h] * fc->psi[h];
    fc->std[origin + h] = std::sqrt(std::max(0.0, s2 * var));
  }

  // Back to the scale of the input series.
  int rc = kTsOk;
  if (first < total) {
    rc = invert_transform(fc->xfor + first, fc->xfor + first, fc->std + first, total - first, ts.bclamb, ts.addcon,
                ts.tranopt);
    if (rc == kTsInvalid) return rc;
  }
  for (long t = first; t < std::min(end, total); ++t) {
    const double x = ts.data[t];
    if (!is_missing(x) && !is_missing(fc->xfor[t])) fc->res[t] = x - fc->xfor[t];
  }
  return rc;
}

}  // namespace x11sa
