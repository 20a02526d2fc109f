// Residuals and objective of a model: the conditional filter, the exact
// Gaussian likelihood by the Kalman filter and by the banded Cholesky factor
// of the covariance matrix of the AR-filtered series.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "arima/engine.h"
#include "arima/internal.h"

namespace x11sa {

namespace detail {

namespace {

constexpr double kLogLikLimit = 1.6179238213760842e+308;

int state_dim(const ModelRecord* m) { return std::max(m->ar_degree, m->ma_degree + 1); }

// w - mu of a series into work.w, the dense polynomials loaded.
void prepare(ModelRecord* m, const SeriesRecord& ts) {
  load_polynomials(m);
  const long n = ts.working_length;
  double* w = m->work.w.data();
  for (long t = 0; t < n; ++t) w[t] = is_missing(ts.working[t]) ? kMissing : ts.working[t] - m->mu;
}

}  // namespace

int work_setup(EngineContext* context, ModelRecord* m, const SeriesRecord& ts) {
  const auto n = static_cast<std::size_t>(std::max(0L, ts.working_length));
  const auto p = static_cast<std::size_t>(m->ar_degree);
  const auto q = static_cast<std::size_t>(m->ma_degree);
  const auto k = static_cast<std::size_t>(m->parameter_count);
  const auto dim = static_cast<std::size_t>(state_dim(m));
  const std::size_t band = std::max(p, q) + 1;
  ModelWorkspace& w = m->work;
  int rc = kTsOk;
  auto grow = [&](auto& v, std::size_t size) {
    if (rc == kTsOk && v.size() < size) rc = resize_tracked(context, v, size);
  };
  grow(w.res, n);
  grow(w.trial, n);
  grow(w.lower, n);
  grow(w.w, n);
  grow(w.one_step, n);
  grow(w.one_step_variance, n);
  grow(w.jacobian, n * k);
  grow(w.cross, 2 * (k + 1) * (k + 1));
  grow(w.theta, k + 1);
  grow(w.oldtheta, k + 1);
  grow(w.step, k + 1);
  grow(w.saved, 2 * k);
  grow(w.ar, p + 1);
  grow(w.ma, q + 1);
  grow(w.ar_lags, p + 1);
  grow(w.ma_lags, q + 1);
  grow(w.autocov, dim + 2);
  grow(w.psi, dim + q + 2);
  grow(w.ma_cov, q + 1);
  grow(w.moment_system, (p + 1) * (p + 2));
  grow(w.state_cov, dim * dim);
  grow(w.state, dim);
  grow(w.rowsave, 2 * dim);
  grow(w.band, n * band);
  grow(w.z, n);
  grow(w.poly, 2 * (p + q + 2));
  grow(m->residuals, n);
  return rc;
}

void load_polynomials(ModelRecord* m) {
  ModelWorkspace& w = m->work;
  product_polynomial(m->ar_factors, std::span<double>(w.ar.data(), static_cast<std::size_t>(m->ar_degree) + 1));
  product_polynomial(m->ma_factors, std::span<double>(w.ma.data(), static_cast<std::size_t>(m->ma_degree) + 1));
  // Non-zero lags come from the product factors' structure, not the values,
  // so that the loops do not depend on a coefficient being exactly zero.
  w.ar_lag_count = 0;
  for (int lag : m->ar_product.lags) w.ar_lags[w.ar_lag_count++] = lag;
  w.ma_lag_count = 0;
  for (int lag : m->ma_product.lags) w.ma_lags[w.ma_lag_count++] = lag;
}

void update_products(ModelRecord* m) {
  load_polynomials(m);
  for (int j = 0; j < m->ar_product.terms; ++j) m->ar_product.coefficients[j] = m->work.ar[m->ar_product.lags[j]];
  for (int j = 0; j < m->ma_product.terms; ++j) m->ma_product.coefficients[j] = m->work.ma[m->ma_product.lags[j]];
}

bool residual_used(const ModelRecord* m, long t) {
  const SeriesRecord* ts = m->series;
  if (t < 0 || t >= ts->working_length || is_missing(ts->working[t])) return false;
  return m->method != kTsCls || t >= m->ar_degree;
}

int check_stable(ModelRecord* m) {
  std::span<double> work(m->work.poly);
  if (check_or_shrink_factors(static_cast<int>(m->ar_factors.size()), m->ar_factors.data(), 0, work) != kTsOk)
    return kTsUnstable;
  if (check_or_shrink_factors(static_cast<int>(m->ma_factors.size()), m->ma_factors.data(), 0, work) != kTsOk)
    return kTsUnstable;
  return kTsOk;
}

double parameter_scale(const ModelRecord* m, int i) {
  const double v = std::fabs(*m->params.slots[i]);
  if (m->no_constant == 0 && i == 0) {
    const double floor = m->series != nullptr && m->series->working_std > 0.0 ? 0.1 * m->series->working_std : 0.1;
    return std::max(v, floor);
  }
  return std::max(v, 0.1);
}

int arma_moments(ModelRecord* m, int nlag, int npsi) {
  ModelWorkspace& w = m->work;
  const int p = m->ar_degree, q = m->ma_degree;
  const double* phi = w.ar.data();  // phi[1..p]
  auto tstar = [&](int j) { return j == 0 ? 1.0 : (j <= q ? -w.ma[j] : 0.0); };
  double* psi = w.psi.data();
  npsi = std::max(npsi, q + 1);
  for (int j = 0; j < npsi; ++j) {
    double s = tstar(j);
    for (int k = 1; k <= std::min(j, p); ++k) s += phi[k] * psi[j - k];
    psi[j] = s;
  }
  double* c = w.ma_cov.data();
  for (int k = 0; k <= q; ++k) {
    double s = 0;
    for (int j = k; j <= q; ++j) s += tstar(j) * psi[j - k];
    c[k] = s;
  }
  double* gam = w.autocov.data();
  const int top = std::max(nlag, p);
  if (p == 0) {
    for (int k = 0; k <= top; ++k) {
      double s = 0;
      for (int j = 0; j + k <= q; ++j) s += tstar(j) * tstar(j + k);
      gam[k] = s;
    }
  } else {
    // gam_k - sum_j phi_j gam_|k-j| = c_k for k = 0..p, solved for gam_0..gam_p.
    const int n = p + 1;
    double* a = w.moment_system.data();
    double* rhs = a + n * n;
    std::fill(a, a + n * n, 0.0);
    for (int k = 0; k < n; ++k) {
      a[k * n + k] += 1.0;
      for (int j = 1; j <= p; ++j) a[k * n + std::abs(k - j)] -= phi[j];
      rhs[k] = k <= q ? c[k] : 0.0;
    }
    for (int col = 0; col < n; ++col) {
      int piv = col;
      for (int r = col + 1; r < n; ++r)
        if (std::fabs(a[r * n + col]) > std::fabs(a[piv * n + col])) piv = r;
      if (!(std::fabs(a[piv * n + col]) > 1e-12)) return kTsUnstable;
      if (piv != col) {
        for (int j = 0; j < n; ++j) std::swap(a[col * n + j], a[piv * n + j]);
        std::swap(rhs[col], rhs[piv]);
      }
      for (int r = col + 1; r < n; ++r) {
        const double f = a[r * n + col] / a[col * n + col];
        if (f == 0.0) continue;
        for (int j = col; j < n; ++j) a[r * n + j] -= f * a[col * n + j];
        rhs[r] -= f * rhs[col];
      }
    }
    for (int r = n - 1; r >= 0; --r) {
      double s = rhs[r];
      for (int j = r + 1; j < n; ++j) s -= a[r * n + j] * gam[j];
      gam[r] = s / a[r * n + r];
    }
    for (int k = p + 1; k <= top; ++k) {
      double s = k <= q ? c[k] : 0.0;
      for (int j = 1; j <= p; ++j) s += phi[j] * gam[k - j];
      gam[k] = s;
    }
  }
  if (!(gam[0] > 0.0) || !std::isfinite(gam[0])) return kTsUnstable;
  return kTsOk;
}

int kalman_filter(ModelRecord* m, const SeriesRecord& ts, long nuse, std::span<double> res, double* sse,
                  double* logdet, long* numres) {
  prepare(m, ts);
  ModelWorkspace& wk = m->work;
  const int dim = state_dim(m);
  const int p = m->ar_degree, q = m->ma_degree;
  if (int rc = arma_moments(m, dim, dim + 1); rc != kTsOk) return rc;
  const double* phi = wk.ar.data();
  auto phi_at = [&](int j) { return j >= 1 && j <= p ? phi[j] : 0.0; };
  auto tstar = [&](int j) { return j == 0 ? 1.0 : (j <= q ? -wk.ma[j] : 0.0); };
  const double* gam = wk.autocov.data();
  const double* psi = wk.psi.data();
  double* pm = wk.state_cov.data();
  const auto at = [dim](int i, int k) { return i * dim + k; };

  // Stationary covariance of the state: its first row from the
  // autocovariances and psi weights, the rest by the transition equation.
  pm[0] = gam[0];
  for (int k = 1; k < dim; ++k) {
    double s = 0;
    for (int j = k; j < dim; ++j) s += phi_at(j + 1) * gam[j + 1 - k] + tstar(j) * psi[j - k];
    pm[at(0, k)] = pm[at(k, 0)] = s;
  }
  for (int i = dim - 1; i >= 1; --i)
    for (int k = dim - 1; k >= i; --k) {
      double s = tstar(i) * tstar(k) + phi_at(i + 1) * phi_at(k + 1) * gam[0];
      if (i + 1 < dim && k + 1 < dim) s += pm[at(i + 1, k + 1)];
      if (k + 1 < dim) s += phi_at(i + 1) * pm[at(0, k + 1)];
      if (i + 1 < dim) s += phi_at(k + 1) * pm[at(i + 1, 0)];
      pm[at(i, k)] = pm[at(k, i)] = s;
    }

  double* a = wk.state.data();
  std::fill(a, a + dim, 0.0);
  double* u = wk.rowsave.data();
  double* v = u + dim;
  const double* w = wk.w.data();
  const long n = std::min(nuse, ts.working_length);
  double ss = 0, ld = 0;
  long count = 0;
  for (long t = 0; t < n; ++t) {
    const double f = pm[0];
    wk.one_step[t] = a[0];
    wk.one_step_variance[t] = f;
    if (!is_missing(w[t])) {
      if (!(f > 0.0) || !std::isfinite(f)) return kTsUnstable;
      const double innov = w[t] - a[0];
      res[t] = innov / std::sqrt(f);
      ss += innov * innov / f;
      ld += std::log(f);
      ++count;
      for (int i = 0; i < dim; ++i) u[i] = pm[at(0, i)];
      const double g = innov / f;
      for (int i = 0; i < dim; ++i) a[i] += u[i] * g;
      // Only the upper triangle of the symmetric P is kept up to date.
      for (int i = 0; i < dim; ++i) {
        const double ui = u[i] / f;
        double* row = pm + at(i, 0);
        for (int k = i; k < dim; ++k) row[k] -= ui * u[k];
      }
    } else {
      res[t] = 0.0;
    }
    // Prediction: a <- T a, P <- T P T' + R R'.
    const double p00 = pm[0];
    for (int k = 0; k + 1 < dim; ++k) u[k] = pm[at(0, k + 1)];
    u[dim - 1] = 0.0;
    const double a0 = a[0];
    for (int i = 0; i + 1 < dim; ++i) a[i] = phi_at(i + 1) * a0 + a[i + 1];
    a[dim - 1] = phi_at(dim) * a0;
    if (dim > 1) std::memmove(pm, pm + dim + 1, sizeof(double) * static_cast<std::size_t>(dim * dim - dim - 1));
    for (int k = 0; k < dim; ++k) pm[at(dim - 1, k)] = pm[at(k, dim - 1)] = 0.0;
    if (wk.ar_lag_count > 0) {
      for (int k = 0; k < dim; ++k) v[k] = u[k] + 0.5 * phi_at(k + 1) * p00;
      for (int j = 0; j < wk.ar_lag_count; ++j) {
        const int i = wk.ar_lags[j] - 1;
        const double ph = phi[i + 1];
        for (int k = i; k < dim; ++k) pm[at(i, k)] += ph * v[k];
        for (int k = 0; k <= i; ++k) pm[at(k, i)] += ph * v[k];
      }
    }
    pm[0] += 1.0;
    for (int j = 0; j < wk.ma_lag_count; ++j) {
      const int lj = wk.ma_lags[j];
      const double tj = tstar(lj);
      pm[at(0, lj)] += tj;
      for (int l = j; l < wk.ma_lag_count; ++l) pm[at(lj, wk.ma_lags[l])] += tj * tstar(wk.ma_lags[l]);
    }
  }
  for (int i = 1; i < dim; ++i)
    for (int k = 0; k < i; ++k) pm[at(i, k)] = pm[at(k, i)];
  if (!std::isfinite(ss) || !std::isfinite(ld)) return kTsUnstable;
  *sse = ss;
  *logdet = ld;
  *numres = count;
  return kTsOk;
}

int conditional_filter(ModelRecord* m, const SeriesRecord& ts, long nuse, std::span<double> res, double* sse,
                       long* numres) {
  prepare(m, ts);
  ModelWorkspace& wk = m->work;
  double* w = wk.w.data();
  const long n = std::min(nuse, ts.working_length);
  const long r = std::min<long>(m->ar_degree, n);
  for (long t = 0; t < r; ++t) {
    res[t] = 0.0;
    wk.one_step[t] = kMissing;
    if (is_missing(w[t])) w[t] = 0.0;
  }
  double ss = 0;
  long count = 0;
  for (long t = r; t < n; ++t) {
    double pred = 0;
    for (int j = 0; j < wk.ar_lag_count; ++j) pred += wk.ar[wk.ar_lags[j]] * w[t - wk.ar_lags[j]];
    for (int j = 0; j < wk.ma_lag_count; ++j) {
      const long lag = wk.ma_lags[j];
      if (t - lag >= r) pred -= wk.ma[lag] * res[t - lag];
    }
    wk.one_step[t] = pred;
    if (is_missing(w[t])) {
      w[t] = pred;
      res[t] = 0.0;
      continue;
    }
    const double e = w[t] - pred;
    res[t] = e;
    ss += e * e;
    ++count;
  }
  if (!std::isfinite(ss)) return kTsUnstable;
  *sse = ss;
  *numres = count;
  return kTsOk;
}

}  // namespace detail

using namespace detail;

int kalman_residuals(ModelRecord* model, std::span<double> res, double* sse, double* logdet, long* numres) {
  if (model == nullptr || model->series == nullptr) return kTsInvalid;
  return kalman_filter(model, *model->series, model->series->working_length, res, sse, logdet, numres);
}

int cholesky_residuals(ModelRecord* m, std::span<double> res, double* sse, double* logdet, long* numres) {
  if (m == nullptr || m->series == nullptr) return kTsInvalid;
  const SeriesRecord& ts = *m->series;
  prepare(m, ts);
  ModelWorkspace& wk = m->work;
  const long n = ts.working_length;
  const double* w = wk.w.data();
  for (long t = 0; t < n; ++t)
    if (is_missing(w[t])) return kTsInvalid;  // the Kalman filter handles gaps
  const int p = m->ar_degree, q = m->ma_degree;
  const int bw = std::max(p, q);
  if (int rc = arma_moments(m, p, q + 1); rc != kTsOk) return rc;
  const double* phi = wk.ar.data();
  const double* gam = wk.autocov.data();
  const double* c = wk.ma_cov.data();
  auto tstar = [&](int j) { return j == 0 ? 1.0 : (j <= q ? -wk.ma[j] : 0.0); };
  // Autocovariances of the MA part, which the AR-filtered values follow.
  double* mac = wk.psi.data() + (q + 1);
  for (int j = 0; j <= q; ++j) {
    double s = 0;
    for (int i = 0; i + j <= q; ++i) s += tstar(i) * tstar(i + j);
    mac[j] = s;
  }
  // z_t = w_t before p, phi(B) w_t from p on: its covariance matrix is banded.
  double* z = wk.z.data();
  for (long t = 0; t < n; ++t) {
    double s = w[t];
    if (t >= p)
      for (int j = 0; j < wk.ar_lag_count; ++j) s -= phi[wk.ar_lags[j]] * w[t - wk.ar_lags[j]];
    z[t] = s;
  }
  auto cov = [&](long t, long s) {  // s <= t, t - s <= bw
    const long d = t - s;
    if (t < p) return gam[d];
    if (s < p) return d <= q ? c[d] : 0.0;
    return d <= q ? mac[d] : 0.0;
  };
  const long stride = bw + 1;
  double* band = wk.band.data();  // band[t * stride + j] = L(t, t - j)
  double ss = 0, ld = 0;
  for (long t = 0; t < n; ++t) {
    const long lo = std::max(0L, t - bw);
    double* lt = band + t * stride;
    for (long s = lo; s <= t; ++s) {
      const double* ls = band + s * stride;
      double sum = cov(t, s);
      for (long k = lo; k < s; ++k) sum -= lt[t - k] * ls[s - k];
      if (s < t) {
        lt[t - s] = sum / ls[0];
      } else {
        if (!(sum > 0.0) || !std::isfinite(sum)) return kTsUnstable;
        lt[0] = std::sqrt(sum);
      }
    }
    double e = z[t];
    for (long k = lo; k < t; ++k) e -= lt[t - k] * res[k];
    e /= lt[0];
    res[t] = e;
    ss += e * e;
    ld += 2.0 * std::log(lt[0]);
  }
  if (!std::isfinite(ss) || !std::isfinite(ld)) return kTsUnstable;
  *sse = ss;
  *logdet = ld;
  *numres = n;
  return kTsOk;
}

int conditional_residuals(ModelRecord* model, std::span<double> res, double* sse, long* numres) {
  if (model == nullptr || model->series == nullptr) return kTsInvalid;
  return conditional_filter(model, *model->series, model->series->working_length, res, sse, numres);
}

int exact_likelihood_residuals(ModelRecord* m, std::span<double> res, double* sse, double* logdet, long* numres) {
  if (m == nullptr || m->series == nullptr) return kTsInvalid;
  if (m->skip_stability_check == 0 && check_stable(m) != kTsOk) return kTsUnstable;
  const bool gaps = m->series->working_present < m->series->working_length;
  const int rc = gaps || m->use_kalman != 0 ? kalman_residuals(m, res, sse, logdet, numres)
                                        : cholesky_residuals(m, res, sse, logdet, numres);
  if (rc != kTsOk) return rc;
  if (*numres <= 0) return kTsFewData;
  const double ll = -0.5 * (static_cast<double>(*numres) * std::log(*sse) + *logdet);
  if (!std::isfinite(ll) || std::fabs(ll) > kLogLikLimit) return kTsUnstable;
  return kTsOk;
}

namespace detail {

int evaluate(ModelRecord* m, std::span<double> res, Evaluation* ev) {
  Evaluation out;
  int rc;
  if (m->method == kTsCls) {
    rc = conditional_residuals(m, res, &out.sse, &out.residual_count);
  } else {
    rc = exact_likelihood_residuals(m, res, &out.sse, &out.logdet, &out.residual_count);
  }
  if (rc != kTsOk) return rc;
  if (out.residual_count <= 0) return kTsFewData;
  out.objective = out.sse;
  if (m->method == kTsMl) {
    // Minimising |Sigma|^(1/n) SSE maximises the concentrated likelihood.
    out.scale = std::exp(out.logdet / (2.0 * static_cast<double>(out.residual_count)));
    if (!std::isfinite(out.scale)) return kTsUnstable;
    const long n = m->series->working_length;
    for (long t = 0; t < n; ++t) res[t] *= out.scale;
    out.objective = out.sse * out.scale * out.scale;
  }
  if (!std::isfinite(out.objective)) return kTsUnstable;
  *ev = out;
  return kTsOk;
}

}  // namespace detail

int evaluate_residuals(EngineContext* context, ModelRecord* model, std::span<double> res, double* obj) {
  if (context == nullptr || model == nullptr || model->series == nullptr) return kTsInvalid;
  if (res.size() < static_cast<std::size_t>(model->series->working_length))
    return report_invalid_argument(context, kTsInvalid, "ZTSERES");
  Evaluation ev;
  const int rc = evaluate(model, res, &ev);
  if (rc != kTsOk) return rc;
  model->sse = ev.sse;
  model->logdet = ev.logdet;
  model->residual_count = ev.residual_count;
  if (obj != nullptr) *obj = ev.objective;
  return kTsOk;
}

}  // namespace x11sa
