// Residuals and likelihood: the Kalman filter and the banded Cholesky factor
// against the Gaussian likelihood computed directly from the full covariance
// matrix. (Conditional least squares is compared with the reference fits.)
#include <cmath>
#include <random>
#include <span>
#include <vector>

#include <gtest/gtest.h>

#include "arima/engine.h"
#include "arima/model_fit.h"

namespace x11sa {
namespace {

// An ARMA series phi(B) w = theta(B) a from a fixed stream of shocks.
std::vector<double> simulate(int n, const std::vector<double>& phi, const std::vector<double>& theta_lags_coef,
                             int seasonal_lag, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> shock(0.0, 1.0);
  const int burn = 200;
  std::vector<double> a(n + burn), w(n + burn, 0.0);
  for (double& v : a) v = shock(gen);
  for (int t = 0; t < n + burn; ++t) {
    double s = a[t];
    for (std::size_t j = 0; j < phi.size(); ++j)
      if (t > static_cast<int>(j)) s += phi[j] * w[t - 1 - j];
    if (t >= 1) s -= theta_lags_coef[0] * a[t - 1];
    if (t >= seasonal_lag) s -= theta_lags_coef[1] * a[t - seasonal_lag];
    if (t >= seasonal_lag + 1) s += theta_lags_coef[0] * theta_lags_coef[1] * a[t - seasonal_lag - 1];
    w[t] = s;
  }
  return {w.begin() + burn, w.end()};
}

// -2 log-likelihood pieces of w under unit innovation variance: the
// quadratic form w' G^-1 w and log det G, with G built from autocovariances
// summed over 5000 psi weights and factored densely.
void dense_likelihood(const std::vector<double>& w, const std::vector<double>& phi, double th1, double th4,
                      double* quad, double* logdet) {
  const int terms = 5000;
  std::vector<double> psi(terms, 0.0);
  for (int j = 0; j < terms; ++j) {
    double s = j == 0 ? 1.0 : 0.0;
    if (j == 1) s -= th1;
    if (j == 4) s -= th4;
    if (j == 5) s += th1 * th4;
    for (std::size_t k = 0; k < phi.size(); ++k)
      if (j > static_cast<int>(k)) s += phi[k] * psi[j - 1 - k];
    psi[j] = s;
  }
  const std::size_t n = w.size();
  std::vector<double> g(n * n), l(n * n, 0.0);
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j < n; ++j) {
      const int lag = std::abs(static_cast<int>(i) - static_cast<int>(j));
      double s = 0;
      for (int k = 0; k + lag < terms; ++k) s += psi[k] * psi[k + lag];
      g[i * n + j] = s;
    }
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = 0; j <= i; ++j) {
      double s = g[i * n + j];
      for (std::size_t k = 0; k < j; ++k) s -= l[i * n + k] * l[j * n + k];
      l[i * n + j] = i == j ? std::sqrt(s) : s / l[j * n + j];
    }
  std::vector<double> z(n);
  *quad = 0;
  *logdet = 0;
  for (std::size_t i = 0; i < n; ++i) {
    double s = w[i];
    for (std::size_t k = 0; k < i; ++k) s -= l[i * n + k] * z[k];
    z[i] = s / l[i * n + i];
    *quad += z[i] * z[i];
    *logdet += 2 * std::log(l[i * n + i]);
  }
}

// A fitted ARIMA(2,0,1)(0,0,1)4 record without mean whose parameters the
// tests then set.
struct Model {
  std::vector<double> series;
  ModelFit rec;

  explicit Model(std::vector<double> w) : series(std::move(w)) {
    rec.p = 2;
    rec.q = 1;
    rec.sq = 1;
    rec.period = 4;
    rec.no_constant = 1;
    rec.x = series.data();
    rec.n = static_cast<long>(series.size());
    rec.estimation_method = kTsMl;
    rec.max_iterations = 100;
    EXPECT_EQ(estimate_model(rec), kTsOk);
  }
  // Parameters in the model's order: MA1,1, MA2,4, AR1,1, AR1,2.
  void set(double th1, double th4, double ph1, double ph2) {
    const double v[] = {th1, th4, ph1, ph2};
    for (int i = 0; i < 4; ++i) *rec.model->params.slots[i] = v[i];
  }
  std::span<double> buffer(std::vector<double>& v) {
    v.assign(static_cast<std::size_t>(rec.model->series->working_length), 0.0);
    return v;
  }
};

TEST(ArimaLikelihood, KalmanAndCholeskyMatchTheDenseLikelihood) {
  const std::vector<double> phi = {0.5, -0.3};
  Model model(simulate(60, phi, {0.4, 0.5}, 4, 7));
  ASSERT_EQ(model.rec.model->params.names[0], "MA1,1");
  model.set(0.4, 0.5, 0.5, -0.3);
  std::vector<double> r1, r2;
  double sse1 = 0, ld1 = 0, sse2 = 0, ld2 = 0;
  long n1 = 0, n2 = 0;
  ASSERT_EQ(kalman_residuals(model.rec.model, model.buffer(r1), &sse1, &ld1, &n1), kTsOk);
  ASSERT_EQ(cholesky_residuals(model.rec.model, model.buffer(r2), &sse2, &ld2, &n2), kTsOk);
  double quad = 0, logdet = 0;
  dense_likelihood(model.series, phi, 0.4, 0.5, &quad, &logdet);
  EXPECT_EQ(n1, 60);
  EXPECT_EQ(n2, 60);
  EXPECT_NEAR(sse1, quad, 1e-9 * quad);
  EXPECT_NEAR(ld1, logdet, 1e-9);
  EXPECT_NEAR(sse2, quad, 1e-9 * quad);
  EXPECT_NEAR(ld2, logdet, 1e-9);
  // The standardised innovations are the same in both.
  for (int t = 0; t < 60; ++t) EXPECT_NEAR(r1[t], r2[t], 1e-10) << t;

  // Maximum likelihood minimises |G|^(1/n) times the sum of squares.
  double obj = 0;
  model.rec.model->method = kTsMl;
  ASSERT_EQ(evaluate_residuals(model.rec.context, model.rec.model, model.buffer(r1), &obj), kTsOk);
  EXPECT_NEAR(obj, quad * std::exp(logdet / 60), 1e-9 * obj);
  model.rec.model->method = kTsUls;
  ASSERT_EQ(evaluate_residuals(model.rec.context, model.rec.model, model.buffer(r1), &obj), kTsOk);
  EXPECT_NEAR(obj, quad, 1e-9 * quad);
}

}  // namespace
}  // namespace x11sa
