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
void expand_differencing(const SeriesRecord& ts, double* delta, long deg) {
  std::fill(delta, delta + deg + 1, 0.0);
  delta[0] = 1.0;  // in the 1 + sum b_k B^k form while multiplying
  long top = 0;
  for (int d = 0; d < ts.difference_count; ++d) {
    const long lag = ts.differences[1 + d];
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

int compute_forecasts(EngineContext* context) {
  if (context == nullptr || context->forecast == nullptr) return kTsInvalid;
  ForecastRecord* fc = context->forecast;
  ModelRecord* m = fc->model != nullptr ? fc->model : context->model;
  if (m == nullptr) return kTsInvalid;
  SeriesRecord* tsp = fc->series != nullptr ? fc->series : m->series;
  if (tsp == nullptr) return kTsInvalid;
  const SeriesRecord& ts = *tsp;
  const long total = fc->origin + fc->lead;
  if (fc->origin < 0 || fc->lead < 0 || total <= 0 || fc->forecasts == nullptr || fc->std_errors == nullptr ||
      fc->residuals == nullptr || fc->psi == nullptr)
    return report_invalid_argument(context, kTsInvalid, "ZTSFOR");
  if (ts.transform_kind < kTrNone || ts.transform_kind > kTrPower) {
    engine_message(context, 0, 2, {std::string("Forecasting: unknown transformation type.")});
    return kTsInvalid;
  }
  const long end = ts.span_start + ts.span_length;
  const long origin = std::min(fc->origin, end);
  const long nw = origin - ts.working_start;  // working values before the origin
  if (nw < 1 || ts.working_present < 1) return kTsFewData;
  const long horizon = total - origin;
  const long deg = ts.difference_count > 0 ? ts.differences[0] : 0;
  if (int rc = work_setup(context, m, ts); rc != kTsOk) return rc;
  const int dim = std::max(m->ar_degree, m->ma_degree + 1);
  const auto need = static_cast<std::size_t>(total + (ts.working_length + horizon) * 2 + deg + 1 + horizon +
                                             horizon * dim + 3 * dim + 1);
  if (int rc = resize_tracked(context, fc->work, std::max(need, fc->work.size())); rc != kTsOk) return rc;
  double* ytil = fc->work.data();      // transformed values, gaps filled, then forecasts
  double* rec = ytil + total;          // conditional recursion: w - mu
  double* shocks = rec + ts.working_length + horizon;
  double* delta = shocks + ts.working_length + horizon;
  double* cint = delta + deg + 1;      // weights of 1 / delta(B)
  double* rows = cint + horizon;       // Z T^j, j < horizon
  double* g = rows + horizon * dim;
  double* pg = g + dim;
  double* state = pg + dim;

  fill_missing(fc->forecasts, total);
  fill_missing(fc->std_errors, total);
  fill_missing(fc->residuals, total);
  fill_missing(ytil, total);
  {
    ModelRecord* current = context->model;
    context->model = m;
    const int rc = psi_weights(context, fc->psi, total, 1);
    context->model = current;
    if (rc != kTsOk) return rc;
  }

  // One-step predictions of w - mu over the data before the origin.
  const bool kalman = fc->method == kTsForKalman;
  std::span<double> e(m->work.trial.data(), static_cast<std::size_t>(ts.working_length));
  double sse = 0, logdet = 0;
  long count = 0;
  const int frc = kalman ? kalman_filter(m, ts, nw, e, &sse, &logdet, &count)
                         : conditional_filter(m, ts, nw, e, &sse, &count);
  if (frc != kTsOk) return frc;
  const ModelWorkspace& wk = m->work;
  const double scale = ts.sigma > 0.0 ? ts.sigma : 1.0;
  const double s2 = std::max(0.0, m->variance) * scale * scale;
  auto working = [&](double pred) { return is_missing(pred) ? kMissing : (pred + m->mu) * scale + ts.mu; };

  expand_differencing(ts, delta, deg);
  const long first = std::max(fc->start, ts.working_start);
  for (long t = ts.span_start; t < origin; ++t) {
    const long j = t - ts.span_start;
    double y = ts.transformed[j];
    if (t >= ts.working_start) {
      const long i = t - ts.working_start;
      const double yhat = undifference(working(wk.one_step[i]), ytil, t, delta, deg);
      if (t >= first && !is_missing(yhat)) {
        fc->forecasts[t] = yhat;
        fc->std_errors[t] = std::sqrt(s2 * (kalman ? wk.one_step_variance[i] : 1.0));
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
      for (int i = 0; i + 1 < dim; ++i) state[i] = (i + 1 <= m->ar_degree ? ar[i + 1] : 0.0) * a0 + state[i + 1];
      state[dim - 1] = (dim <= m->ar_degree ? ar[dim] : 0.0) * a0;
    }
  } else {
    // w - mu with gaps filled, then forecasts; shocks after the origin are 0.
    for (long i = 0; i < nw; ++i) {
      rec[i] = wk.w[i];
      shocks[i] = e[i];
    }
    for (long i = nw; i < nw + horizon; ++i) {
      double s = 0;
      for (int j = 0; j < wk.ar_lag_count; ++j) {
        const long lag = wk.ar_lags[j];
        if (i - lag >= 0) s += ar[lag] * rec[i - lag];
      }
      for (int j = 0; j < wk.ma_lag_count; ++j) {
        const long lag = wk.ma_lags[j];
        if (i - lag >= m->ar_degree && i - lag < nw) s -= wk.ma[lag] * shocks[i - lag];
      }
      rec[i] = s;
      shocks[i] = 0.0;
    }
    std::copy(rec + nw, rec + nw + horizon, rec);
  }
  for (long h = 0; h < horizon; ++h) {
    const long t = origin + h;
    ytil[t] = undifference(working(rec[h]), ytil, t, delta, deg);
    fc->forecasts[t] = ytil[t];
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
      for (int i = 0; i < std::min(dim, m->ar_degree); ++i) s += r[i] * ar[i + 1];
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
        for (int k = 0; k < dim; ++k) s += wk.state_cov[i * dim + k] * g[k];
        pg[i] = s;
        quad += g[i] * s;
      }
      var = quad + future;
    } else {
      var = future + fc->psi[h] * fc->psi[h];
    }
    future += fc->psi[h] * fc->psi[h];
    fc->std_errors[origin + h] = std::sqrt(std::max(0.0, s2 * var));
  }

  // Back to the scale of the input series.
  int rc = kTsOk;
  if (first < total) {
    rc = invert_transform(fc->forecasts + first, fc->forecasts + first, fc->std_errors + first, total - first,
                          ts.power, ts.shift, ts.transform_kind);
    if (rc == kTsInvalid) return rc;
  }
  for (long t = first; t < std::min(end, total); ++t) {
    const double x = ts.data[t];
    if (!is_missing(x) && !is_missing(fc->forecasts[t])) fc->residuals[t] = x - fc->forecasts[t];
  }
  return rc;
}

}  // namespace x11sa
