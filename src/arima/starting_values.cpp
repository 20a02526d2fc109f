// Parameter set-up and starting values.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include <fmt/format.h>

#include "arima/engine.h"
#include "arima/internal.h"

namespace x11sa {

namespace detail {

bool zero_variance(const SeriesRecord& ts, double singular) {
  double size = 0;
  long count = 0;
  for (double v : ts.transformed)
    if (!is_missing(v)) {
      size += std::fabs(v);
      ++count;
    }
  size = count > 0 ? size / static_cast<double>(count) : 0.0;
  return !(ts.working_std > 0.0) || ts.working_std <= singular * std::max(size, std::fabs(ts.working_mean));
}

}  // namespace detail

using namespace detail;

namespace {

// Lags the product of the factors can have, in ascending order.
int product_lags(EngineContext* context, std::span<const LagPolynomial> factors, LagPolynomial* out) {
  const int deg = product_degree(factors);
  std::vector<char> reach(static_cast<std::size_t>(deg) + 1, 0);
  reach[0] = 1;
  int top = 0;
  for (const LagPolynomial& f : factors) {
    if (f.terms <= 0) continue;
    for (int k = top; k >= 0; --k)
      if (reach[k])
        for (int j = 0; j < f.terms; ++j) reach[k + f.lags[j]] = 1;
    top += f.lags[f.terms - 1];
  }
  int count = 0;
  for (int k = 1; k <= deg; ++k) count += reach[k];
  if (int rc = resize_tracked(context, out->lags, static_cast<std::size_t>(count)); rc != kTsOk) return rc;
  if (int rc = resize_tracked(context, out->coefficients, static_cast<std::size_t>(count)); rc != kTsOk) return rc;
  out->terms = count;
  for (int k = 1, i = 0; k <= deg; ++k)
    if (reach[k]) {
      out->lags[i] = k;
      out->coefficients[i++] = 0.0;
    }
  return kTsOk;
}

}  // namespace

int setup_parameters(EngineContext* context, ModelRecord* m) {
  if (context == nullptr || m == nullptr || m->series == nullptr) return kTsInvalid;
  int count = m->no_constant ? 0 : 1;
  for (const LagPolynomial& f : m->ma_factors) count += f.terms;
  for (const LagPolynomial& f : m->ar_factors) count += f.terms;
  ParameterList& pp = m->params;
  try {
    pp = ParameterList{};
    const auto k = static_cast<std::size_t>(count);
    pp.names.reserve(k);
    pp.slots.reserve(k);
    pp.factor.reserve(k);
    pp.lags.reserve(k);
    if (!m->no_constant) {
      pp.names.emplace_back("MU");
      pp.slots.push_back(&m->mu);
      pp.factor.push_back(0);
      pp.lags.push_back(0);
    }
    auto add_side = [&](const char* root, std::vector<LagPolynomial>& side) {
      for (std::size_t f = 0; f < side.size(); ++f)
        for (int j = 0; j < side[f].terms; ++j) {
          pp.names.push_back(fmt::format("{}{},{}", root, f + 1, side[f].lags[j]).substr(0, 8));
          pp.slots.push_back(&side[f].coefficients[j]);
          pp.factor.push_back(static_cast<int>(f) + 1);
          pp.lags.push_back(side[f].lags[j]);
        }
    };
    add_side("MA", m->ma_factors);
    add_side("AR", m->ar_factors);
  } catch (const std::bad_alloc&) {
    context->memory_deficit += static_cast<long>(count) * 64;
    engine_message(context, 0, 1, {context->memory_deficit});
    context->code = kTsMemory;
    return kTsMemory;
  }
  m->parameter_count = count;
  const auto k = static_cast<std::size_t>(count);
  for (auto* v : {&pp.estimates, &pp.previous, &pp.std_errors})
    if (int rc = resize_tracked(context, *v, k); rc != kTsOk) return rc;
  if (int rc = resize_tracked(context, pp.correlations, k * k); rc != kTsOk) return rc;
  if (int rc = product_lags(context, m->ma_factors, &m->ma_product); rc != kTsOk) return rc;
  if (int rc = product_lags(context, m->ar_factors, &m->ar_product); rc != kTsOk) return rc;
  m->ma_degree = product_degree(m->ma_factors);
  m->ar_degree = product_degree(m->ar_factors);
  m->difference_count = m->series->difference_count;
  m->differences = m->series->differences;
  if (int rc = work_setup(context, m, *m->series); rc != kTsOk) return rc;
  update_products(m);
  for (std::size_t i = 0; i < k; ++i) {
    pp.estimates[i] = pp.previous[i] = *pp.slots[i];
    pp.std_errors[i] = kMissing;
  }
  std::fill(pp.correlations.begin(), pp.correlations.end(), kMissing);
  return count == 0 ? kTsGiven : kTsOk;
}

namespace {

// AR coefficients phi[1..p] from the autocovariances g (Durbin-Levinson);
// false when a pivot falls below `singular`.
bool yule_walker(std::span<const double> g, int p, double singular, std::vector<double>& phi) {
  std::vector<double> prev(static_cast<std::size_t>(p) + 1, 0.0);
  phi.assign(static_cast<std::size_t>(p) + 1, 0.0);
  double v = g[0];
  for (int j = 1; j <= p; ++j) {
    double num = g[j];
    for (int i = 1; i < j; ++i) num -= prev[i] * g[j - i];
    const double kappa = num / v;
    phi[j] = kappa;
    for (int i = 1; i < j; ++i) phi[i] = prev[i] - kappa * prev[j - i];
    v *= 1.0 - kappa * kappa;
    if (!(v > singular * g[0])) {
      phi.assign(static_cast<std::size_t>(p) + 1, 0.0);
      return false;
    }
    prev = phi;
  }
  return true;
}

// AR coefficients of an ARMA(p, q) from the equations at lags q+1 .. q+p.
bool extended_yule_walker(std::span<const double> g, int p, int q, double singular, std::vector<double>& phi) {
  const auto n = static_cast<std::size_t>(p);
  std::vector<double> a(n * n), b(n);
  for (int i = 0; i < p; ++i) {
    for (int j = 0; j < p; ++j) a[i * n + j] = g[std::abs(q + i - j)];
    b[i] = g[q + i + 1];
  }
  phi.assign(n + 1, 0.0);
  for (int c = 0; c < p; ++c) {
    int piv = c;
    for (int r = c + 1; r < p; ++r)
      if (std::fabs(a[r * n + c]) > std::fabs(a[piv * n + c])) piv = r;
    if (!(std::fabs(a[piv * n + c]) > singular * g[0])) return false;
    if (piv != c) {
      for (int j = 0; j < p; ++j) std::swap(a[c * n + j], a[piv * n + j]);
      std::swap(b[c], b[piv]);
    }
    for (int r = c + 1; r < p; ++r) {
      const double f = a[r * n + c] / a[c * n + c];
      for (int j = c; j < p; ++j) a[r * n + j] -= f * a[c * n + j];
      b[r] -= f * b[c];
    }
  }
  for (int r = p - 1; r >= 0; --r) {
    double s = b[r];
    for (int j = r + 1; j < p; ++j) s -= a[r * n + j] * phi[j + 1];
    phi[r + 1] = s / a[r * n + r];
  }
  return true;
}

// MA coefficients theta[1..q] (in 1 - sum theta_j B^j) whose autocovariances
// are c[0..q], by the innovations algorithm.
void ma_from_autocov(std::span<const double> c, int q, std::vector<double>& theta) {
  theta.assign(static_cast<std::size_t>(q) + 1, 0.0);
  if (!(c[0] > 0.0)) return;
  constexpr int kSteps = 100;
  const auto width = static_cast<std::size_t>(q) + 1;
  // th[n * width + j]: coefficient j of the n-th innovation predictor.
  std::vector<double> th((kSteps + 1) * width, 0.0), v(kSteps + 1, 0.0);
  v[0] = c[0];
  int last = 0;
  for (int n = 1; n <= kSteps; ++n) {
    for (int k = std::max(0, n - q); k < n; ++k) {
      const int lag = n - k;
      double s = c[lag];
      for (int j = std::max(0, n - q); j < k; ++j) {
        const int lk = k - j, ln = n - j;
        if (lk <= q && ln <= q) s -= th[k * width + lk] * th[n * width + ln] * v[j];
      }
      th[n * width + lag] = s / v[k];
    }
    double vn = c[0];
    for (int j = std::max(0, n - q); j < n; ++j) vn -= th[n * width + (n - j)] * th[n * width + (n - j)] * v[j];
    if (!(vn > 0.0) || !std::isfinite(vn)) break;
    v[n] = vn;
    last = n;
  }
  for (int j = 1; j <= q; ++j) theta[j] = -th[last * width + j];
}

// Starting AR and MA coefficients of one ARMA(p, q) from autocovariances g[0..p+q].
void arma_start(std::span<const double> g, int p, int q, double singular, std::vector<double>& phi,
                std::vector<double>& theta) {
  phi.assign(static_cast<std::size_t>(p) + 1, 0.0);
  theta.assign(static_cast<std::size_t>(q) + 1, 0.0);
  if (!(g[0] > 0.0)) return;
  if (p > 0) {
    // The extended equations can give a non-stationary start, which leaves
    // the mean badly determined; the plain equations cannot.
    bool ok = q > 0 && extended_yule_walker(g, p, q, singular, phi);
    if (ok) {
      LagPolynomial f;
      f.terms = p;
      for (int j = 1; j <= p; ++j) {
        f.lags.push_back(j);
        f.coefficients.push_back(phi[j]);
      }
      std::vector<double> work(static_cast<std::size_t>(p) + 1);
      ok = stability_shrink_factor(f, work) >= 1.0;
    }
    if (!ok) yule_walker(g, p, singular, phi);
  }
  if (q == 0) return;
  // Autocovariances of the AR-filtered series, then its MA coefficients.
  std::vector<double> c(static_cast<std::size_t>(q) + 1, 0.0);
  for (int k = 0; k <= q; ++k) {
    double s = 0;
    for (int i = 0; i <= p; ++i)
      for (int j = 0; j <= p; ++j) {
        const double fi = i == 0 ? 1.0 : -phi[i], fj = j == 0 ? 1.0 : -phi[j];
        s += fi * fj * g[std::abs(k + i - j)];
      }
    c[k] = s;
  }
  ma_from_autocov(c, q, theta);
}

// Starting ARMA coefficients by two regressions (Hannan and Rissanen): a long
// autoregression estimates the shocks, then w is regressed on its own lags
// and the estimated shocks at the lags of the model's factors. coef receives
// the AR coefficients at ar_lags and the MA coefficients at ma_lags; false
// when the series is too short or the regression singular.
bool hannan_rissanen(const SeriesRecord& ts, double mean, const std::vector<int>& ar_lags,
                     const std::vector<int>& ma_lags, double singular, std::vector<double>& coef) {
  const long n = ts.working_length;
  const int top = std::max(ar_lags.empty() ? 0 : ar_lags.back(), ma_lags.empty() ? 0 : ma_lags.back());
  const int order = static_cast<int>(std::min<long>(n / 4, std::max(top + 2, 8)));
  const auto k = ar_lags.size() + ma_lags.size();
  if (order < 1 || n - order - top < static_cast<long>(2 * k + 2)) return false;
  std::vector<double> w(static_cast<std::size_t>(n));
  for (long t = 0; t < n; ++t) w[t] = is_missing(ts.working[t]) ? kMissing : ts.working[t] - mean;
  std::vector<double> gam(static_cast<std::size_t>(order) + 1, 0.0);
  for (int lag = 0; lag <= order; ++lag) {
    double s = 0;
    for (long t = 0; t + lag < n; ++t)
      if (!is_missing(w[t]) && !is_missing(w[t + lag])) s += w[t] * w[t + lag];
    gam[lag] = s / static_cast<double>(ts.working_present);
  }
  damp_to_positive_definite(gam);
  std::vector<double> longar;
  if (!yule_walker(gam, order, singular, longar)) return false;
  std::vector<double> shock(static_cast<std::size_t>(n), kMissing);
  for (long t = order; t < n; ++t) {
    double s = w[t];
    for (int j = 1; j <= order && !is_missing(s); ++j) s = is_missing(w[t - j]) ? kMissing : s - longar[j] * w[t - j];
    shock[t] = s;
  }
  // Normal equations of the second regression, solved by sweeping.
  const auto lda = k + 1;
  std::vector<double> a(lda * lda, 0.0), x(k);
  long rows = 0;
  for (long t = order + top; t < n; ++t) {
    if (is_missing(w[t])) continue;
    bool ok = true;
    std::size_t c = 0;
    for (int lag : ar_lags) ok = ok && !is_missing(x[c++] = w[t - lag]);
    for (int lag : ma_lags) ok = ok && !is_missing(x[c++] = shock[t - lag]);
    if (!ok) continue;
    ++rows;
    for (std::size_t i = 0; i < k; ++i) {
      for (std::size_t j = 0; j <= i; ++j) a[i * lda + j] += x[i] * x[j];
      a[i * lda + k] += x[i] * w[t];
    }
  }
  if (rows < static_cast<long>(2 * k + 2)) return false;
  for (std::size_t i = 0; i < k; ++i)
    for (std::size_t j = 0; j < i; ++j) a[j * lda + i] = a[i * lda + j];
  std::vector<double> diag(k);
  for (std::size_t i = 0; i < k; ++i) diag[i] = a[i * lda + i];
  for (std::size_t i = 0; i < k; ++i)
    if (!sweep_pivot(a.data(), static_cast<int>(lda), static_cast<int>(lda), static_cast<int>(i), diag[i], singular))
      return false;
  coef.assign(k, 0.0);
  for (std::size_t i = 0; i < k; ++i) coef[i] = a[i * lda + k];
  for (std::size_t i = ar_lags.size(); i < k; ++i) coef[i] = -coef[i];  // 1 - theta B convention
  for (double c : coef)
    if (!std::isfinite(c)) return false;
  return true;
}

// Pulls factors outside the stationary or invertible region well inside: on
// the boundary the iteration can hardly leave it, and a mean term is not
// determined there.
void pull_inside(std::vector<LagPolynomial>& side, std::span<double> work) {
  for (LagPolynomial& f : side) {
    const double r = stability_shrink_factor(f, work);
    if (r < 1.0)
      for (int j = 0; j < f.terms; ++j) f.coefficients[j] *= std::pow(0.9 * r, f.lags[j]);
  }
}

// Conditional sum of squares of the model's current coefficients.
double conditional_ss(ModelRecord* m) {
  const char method = m->method;
  m->method = kTsCls;
  Evaluation ev;
  const int rc =
      evaluate(m, std::span<double>(m->work.trial.data(), static_cast<std::size_t>(m->series->working_length)), &ev);
  m->method = method;
  return rc == kTsOk ? ev.objective : std::numeric_limits<double>::infinity();
}

// Position in the parameter list of coefficient j of factor f.
int parameter_index(const ModelRecord* m, const LagPolynomial* f, int j) {
  for (int i = 0; i < m->parameter_count; ++i)
    if (m->params.slots[i] == &f->coefficients[j]) return i;
  return 0;
}

// Sets the mean term to the value that minimises the conditional sum of
// squares for the current coefficients: the residuals are linear in it.
void optimal_mean(ModelRecord* m) {
  if (m->no_constant) return;
  const long n = m->series->working_length;
  std::span<double> at0(m->work.lower.data(), static_cast<std::size_t>(n));
  std::span<double> at1(m->work.trial.data(), static_cast<std::size_t>(n));
  const char method = m->method;
  m->method = kTsCls;
  const double mu0 = m->mu;
  const double step = m->series->working_std > 0.0 ? m->series->working_std : 1.0;
  Evaluation ev;
  int rc = evaluate(m, at0, &ev);
  m->mu = mu0 + step;
  if (rc == kTsOk) rc = evaluate(m, at1, &ev);
  m->mu = mu0;
  m->method = method;
  if (rc != kTsOk) return;
  double num = 0, den = 0;
  for (long t = 0; t < n; ++t) {
    const double slope = (at1[t] - at0[t]) / step;
    num += at0[t] * slope;
    den += slope * slope;
  }
  if (den > 0.0 && std::isfinite(num / den)) m->mu = mu0 - num / den;
}

// The factor of `side` with the given spacing of lags (1 non-seasonal, else
// the period), or nullptr.
LagPolynomial* factor_with(std::vector<LagPolynomial>& side, int order, int spacing) {
  if (order <= 0) return nullptr;
  for (LagPolynomial& f : side)
    if (f.terms == order && f.lags[0] == spacing) return &f;
  return nullptr;
}

}  // namespace

namespace {

// Sample autocovariances of the working series about its mean, over the
// pairs present, for lags 0..maxlag.
std::vector<double> sample_autocovariances(const SeriesRecord& ts, int maxlag) {
  std::vector<double> gam(static_cast<std::size_t>(std::max(maxlag, 0)) + 1, 0.0);
  for (int k = 0; k <= maxlag; ++k) {
    double s = 0;
    for (long t = 0; t + k < ts.working_length; ++t) {
      const double a = ts.working[t], b = ts.working[t + k];
      if (!is_missing(a) && !is_missing(b)) s += (a - ts.working_mean) * (b - ts.working_mean);
    }
    gam[k] = s / static_cast<double>(ts.working_present);
  }
  return gam;
}

// The four factors of a fitted model, any of them absent.
struct Factors {
  LagPolynomial* ar1;
  LagPolynomial* ar2;
  LagPolynomial* ma1;
  LagPolynomial* ma2;
};

// Coefficients of the factors, in the order ar1, ar2, ma1, ma2, into the model.
void set_coefficients(const Factors& fs, const std::vector<double>& coef) {
  std::size_t c = 0;
  for (LagPolynomial* f : {fs.ar1, fs.ar2, fs.ma1, fs.ma2})
    if (f != nullptr)
      for (int j = 0; j < f->terms; ++j) f->coefficients[j] = coef[c++];
}

// With MA factors the start from the autocovariances can lie in the basin of
// a poor optimum. Other starts are tried and the one with the smallest
// conditional sum of squares (each with its best mean term) is kept: the
// regression start, and MA factors close to cancelling a difference,
// (1 - 0.9 B^s)^q, as an over-differenced series needs.
void choose_start(ModelRecord* m, const Factors& fs, int p, int q, int sp, int sq, int period) {
  const SeriesRecord& ts = *m->series;
  std::span<double> work(m->work.poly);
  std::vector<double> best(static_cast<std::size_t>(m->parameter_count));
  update_products(m);
  optimal_mean(m);
  for (int i = 0; i < m->parameter_count; ++i) best[i] = *m->params.slots[i];
  double best_ss = conditional_ss(m);
  auto consider = [&](const std::vector<double>& coef) {
    set_coefficients(fs, coef);
    pull_inside(m->ar_factors, work);
    pull_inside(m->ma_factors, work);
    update_products(m);
    optimal_mean(m);
    const double ss = conditional_ss(m);
    if (ss < best_ss) {
      best_ss = ss;
      for (int i = 0; i < m->parameter_count; ++i) best[i] = *m->params.slots[i];
    }
  };

  std::vector<int> ar_lags, ma_lags;
  for (int j = 1; j <= p; ++j) ar_lags.push_back(j);
  for (int j = 1; j <= sp; ++j) ar_lags.push_back(j * period);
  for (int j = 1; j <= q; ++j) ma_lags.push_back(j);
  for (int j = 1; j <= sq; ++j) ma_lags.push_back(j * period);
  std::vector<double> coef;
  if (hannan_rissanen(ts, m->mu, ar_lags, ma_lags, m->singular, coef)) consider(coef);

  int ordinary = 0, seasonal = 0;
  for (int d = 0; d < ts.difference_count; ++d) (ts.differences[1 + d] == 1 ? ordinary : seasonal) += 1;
  auto near_cancelling = [&](std::size_t at, int order) {
    // theta_j of 1 - sum theta_j B^j = (1 - 0.9 B)^order.
    double c = 1.0;
    for (int j = 1; j <= order; ++j) {
      c *= -0.9 * (order - j + 1) / j;
      coef[at + j - 1] = -c;
    }
  };
  // The non-seasonal factor alone, the seasonal one alone, then both.
  for (int variant = 1; variant <= 3; ++variant) {
    const bool first = (variant & 1) != 0 && q > 0 && ordinary > 0;
    const bool second = (variant & 2) != 0 && sq > 0 && seasonal > 0;
    if (!first && !second) continue;
    coef.clear();
    for (LagPolynomial* f : {fs.ar1, fs.ar2, fs.ma1, fs.ma2})
      if (f != nullptr)
        for (int j = 0; j < f->terms; ++j) coef.push_back(best[parameter_index(m, f, j)]);
    if (first) near_cancelling(ar_lags.size(), q);
    if (second) near_cancelling(ar_lags.size() + static_cast<std::size_t>(q), sq);
    consider(coef);
  }
  for (int i = 0; i < m->parameter_count; ++i) *m->params.slots[i] = best[i];
}

}  // namespace

int compute_starting_values(EngineContext* context, int p, int q, int sp, int sq, int period) {
  if (context == nullptr || context->model == nullptr || context->model->series == nullptr) return kTsInvalid;
  ModelRecord* m = context->model;
  const SeriesRecord& ts = *m->series;
  if (p < 0 || q < 0 || sp < 0 || sq < 0 || ((sp > 0 || sq > 0) && period < 1))
    return report_invalid_argument(context, kTsInvalid, "ZTSEPRE");
  const Factors fs{factor_with(m->ar_factors, p, 1), factor_with(m->ar_factors, sp, period),
                   factor_with(m->ma_factors, q, 1), factor_with(m->ma_factors, sq, period)};
  if ((p > 0 && fs.ar1 == nullptr) || (sp > 0 && fs.ar2 == nullptr) || (q > 0 && fs.ma1 == nullptr) ||
      (sq > 0 && fs.ma2 == nullptr))
    return report_invalid_argument(context, kTsInvalid, "ZTSEPRE");
  if (ts.working_present < 1) return kTsFewData;
  if (zero_variance(ts, m->singular)) return kTsZeroVar;

  const long n = ts.working_length;
  const int maxlag = static_cast<int>(std::min<long>(std::max(p + q, (sp + sq) * std::max(period, 1)), n - 1));
  std::vector<double> gam = sample_autocovariances(ts, maxlag);
  damp_to_positive_definite(gam);
  auto lagged = [&](int count, int spacing) {
    std::vector<double> g(static_cast<std::size_t>(count) + 1, 0.0);
    for (int k = 0; k <= count; ++k)
      if (k * spacing <= maxlag) g[k] = gam[k * spacing];
    return g;
  };
  std::vector<double> phi, theta;
  auto assign = [](LagPolynomial* f, const std::vector<double>& coef) {
    if (f != nullptr)
      for (int j = 0; j < f->terms; ++j) f->coefficients[j] = coef[j + 1];
  };
  // The non-seasonal orders from the autocovariances at lags 1, 2, ...; the
  // seasonal ones from those at multiples of the period.
  if (p > 0 || q > 0) {
    arma_start(lagged(p + q, 1), p, q, m->singular, phi, theta);
    assign(fs.ar1, phi);
    assign(fs.ma1, theta);
  }
  if (sp > 0 || sq > 0) {
    arma_start(lagged(sp + sq, period), sp, sq, m->singular, phi, theta);
    assign(fs.ar2, phi);
    assign(fs.ma2, theta);
  }
  std::span<double> work(m->work.poly);
  pull_inside(m->ar_factors, work);
  pull_inside(m->ma_factors, work);
  m->mu = m->no_constant ? 0.0 : ts.working_mean;
  if (q + sq > 0) choose_start(m, fs, p, q, sp, sq, period);
  m->constant = m->no_constant ? 0.0 : model_constant(m->mu, m->ar_factors);
  update_products(m);
  for (int i = 0; i < m->parameter_count; ++i) m->params.estimates[i] = m->params.previous[i] = *m->params.slots[i];
  return kTsOk;
}

}  // namespace x11sa
