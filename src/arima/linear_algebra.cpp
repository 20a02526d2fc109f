// Small dense routines: the sweep operator and positive-definite autocovariances.
#include <cmath>

#include "arima/engine.h"

namespace x11sa {

bool sweep_pivot(double* a, int n, int lda, int k, double orig, double tol) {
  const double d = a[k * lda + k];
  if (!(orig > 0.0) || !(d > tol * orig) || !std::isfinite(d)) return false;
  for (int i = 0; i < n; ++i) {
    if (i == k) continue;
    const double f = a[i * lda + k] / d;
    if (f == 0.0) continue;
    for (int j = 0; j < n; ++j)
      if (j != k) a[i * lda + j] -= f * a[k * lda + j];
  }
  for (int j = 0; j < n; ++j)
    if (j != k) a[k * lda + j] /= d;
  for (int i = 0; i < n; ++i)
    if (i != k) a[i * lda + k] = -a[i * lda + k] / d;
  a[k * lda + k] = 1.0 / d;
  return true;
}

namespace {

// True when the Toeplitz matrix of gam is positive definite: every
// reflection coefficient of the Durbin-Levinson recursion lies inside (-1, 1).
bool toeplitz_pd(std::span<const double> gam, std::vector<double>& phi, std::vector<double>& prev) {
  if (!(gam[0] > 0.0)) return false;
  double v = gam[0];
  const std::size_t k = gam.size() - 1;
  std::fill(prev.begin(), prev.end(), 0.0);
  for (std::size_t j = 1; j <= k; ++j) {
    double num = gam[j];
    for (std::size_t i = 1; i < j; ++i) num -= prev[i] * gam[j - i];
    const double kappa = num / v;
    if (!(std::fabs(kappa) < 1.0)) return false;
    phi[j] = kappa;
    for (std::size_t i = 1; i < j; ++i) phi[i] = prev[i] - kappa * prev[j - i];
    v *= 1.0 - kappa * kappa;
    std::copy(phi.begin(), phi.begin() + static_cast<long>(j) + 1, prev.begin());
  }
  return true;
}

}  // namespace

int damp_to_positive_definite(std::span<double> gam) {
  if (gam.empty() || !(gam[0] > 0.0)) return 0;
  std::vector<double> phi(gam.size(), 0.0), prev(gam.size(), 0.0);
  int damped = 0;
  while (!toeplitz_pd(gam, phi, prev) && damped < 1000) {
    for (std::size_t j = 1; j < gam.size(); ++j) gam[j] *= 0.95;
    ++damped;
  }
  return damped;
}

}  // namespace x11sa
