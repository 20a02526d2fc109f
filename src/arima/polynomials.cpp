// Lag polynomials: stability, products, the constant term and psi weights.
#include <algorithm>
#include <cmath>
#include <complex>
#include <numeric>
#include <vector>

#include "arima/engine.h"

namespace x11sa {

namespace {

// Coefficients just inside the unit circle: the shrink target of a factor.
constexpr double kInside = 0.9999999999;
// An inverse root of at least this modulus counts as on the boundary (a
// stage that ends there has been stopped by it); such roots are pulled to
// kPulledModulus.
constexpr double kBoundaryNear = 0.99;
constexpr double kPulledModulus = 0.9;

// True when 1 - sum phi_j z^j (phi[1..deg], phi[0] unused) has every root
// outside the unit circle: the reflection coefficients of the step-down
// recursion all lie strictly inside (-1, 1). Overwrites phi.
bool step_down_stable(double* phi, int deg) {
  for (int k = deg; k >= 1; --k) {
    const double kappa = phi[k];
    if (!(std::fabs(kappa) < 1.0)) return false;
    const double scale = 1.0 - kappa * kappa;
    for (int j = 1, i = k - 1; j <= i; ++j, --i) {
      const double a = phi[j], b = phi[i];
      phi[j] = (a + kappa * b) / scale;
      if (i != j) phi[i] = (b + kappa * a) / scale;
    }
  }
  return true;
}

// Stability of the factor with its coefficients scaled by r^lag.
bool stable_scaled(const LagPolynomial& filt, double r, std::span<double> work) {
  const int deg = filt.lags[filt.terms - 1];
  double* phi = work.data();
  std::fill(phi, phi + deg + 1, 0.0);
  for (int j = 0; j < filt.terms; ++j) phi[filt.lags[j]] += filt.coefficients[j] * std::pow(r, filt.lags[j]);
  return step_down_stable(phi, deg);
}

}  // namespace

double stability_shrink_factor(const LagPolynomial& filt, std::span<double> work) {
  if (filt.terms <= 0) return 1.0;
  if (filt.terms == 1) {
    const double c = std::fabs(filt.coefficients[0]);
    if (c < 1.0) return 1.0;
    return kInside / std::pow(c, 1.0 / filt.lags[0]);
  }
  if (work.size() < static_cast<std::size_t>(filt.lags[filt.terms - 1]) + 1) return 0.0;
  for (int j = 0; j < filt.terms; ++j)
    if (!std::isfinite(filt.coefficients[j])) return 0.0;
  if (stable_scaled(filt, 1.0, work)) return 1.0;
  // Largest r with the scaled factor stable: the smallest root modulus.
  double lo = 0.0, hi = 1.0;
  for (int it = 0; it < 60; ++it) {
    const double mid = 0.5 * (lo + hi);
    (stable_scaled(filt, mid, work) ? lo : hi) = mid;
  }
  return lo * kInside;
}

int check_or_shrink_factors(int num, LagPolynomial* filt, int code, std::span<double> work) {
  for (int f = 0; f < num; ++f) {
    const double r = stability_shrink_factor(filt[f], work);
    if (r >= 1.0) continue;
    if (code != 1) return kTsUnstable;
    for (int j = 0; j < filt[f].terms; ++j) filt[f].coefficients[j] *= std::pow(r, filt[f].lags[j]);
  }
  return kTsOk;
}

namespace {

using Complex = std::complex<double>;

// Roots of the monic polynomial x^d + b[0] x^(d-1) + ... + b[d-1] by the
// simultaneous (Durand-Kerner) iteration: the factors are of low degree, and
// the iteration needs no deflation that would lose accuracy on the others.
std::vector<Complex> monic_roots(const std::vector<double>& b) {
  const std::size_t d = b.size();
  double bound = 1.0;
  for (double c : b) bound = std::max(bound, 1.0 + std::fabs(c));
  std::vector<Complex> z(d);
  // Points spread over a circle, none on the real axis nor symmetric.
  const Complex seed(0.4, 0.9);
  Complex w = seed;
  for (std::size_t k = 0; k < d; ++k, w *= seed) z[k] = bound * w / std::abs(w);
  for (int it = 0; it < 500; ++it) {
    double change = 0;
    for (std::size_t k = 0; k < d; ++k) {
      Complex value = 1.0, denom = 1.0;
      for (double c : b) value = value * z[k] + c;
      for (std::size_t j = 0; j < d; ++j)
        if (j != k) denom *= z[k] - z[j];
      if (!(std::abs(denom) > 0.0)) denom = 1e-300;
      const Complex step = value / denom;
      z[k] -= step;
      change = std::max(change, std::abs(step) / std::max(1.0, std::abs(z[k])));
    }
    if (change < 1e-15) break;
  }
  return z;
}

}  // namespace

bool pull_from_boundary(LagPolynomial& filt) {
  if (filt.terms <= 0) return false;
  for (int j = 0; j < filt.terms; ++j)
    if (!std::isfinite(filt.coefficients[j])) return false;
  // The factor as a polynomial in B^g, g the common divisor of its lags, so
  // that a seasonal factor is judged and moved on the seasonal scale.
  int g = 0;
  for (int j = 0; j < filt.terms; ++j) g = std::gcd(g, filt.lags[j]);
  const auto d = static_cast<std::size_t>(filt.lags[filt.terms - 1] / g);
  // Moved roots make every power of B^g non-zero: only a factor with all of
  // them (as the model's factors have) can take the result.
  if (static_cast<std::size_t>(filt.terms) != d) return false;
  // 1 - sum c_j z^j = prod (1 - a_i z): the inverse roots a_i are the roots
  // of x^d - c_1 x^(d-1) - ... - c_d.
  std::vector<double> b(d, 0.0);
  for (int j = 0; j < filt.terms; ++j) b[static_cast<std::size_t>(filt.lags[j] / g) - 1] = -filt.coefficients[j];
  std::vector<Complex> a = monic_roots(b);
  bool moved = false;
  for (Complex& r : a) {
    const double mod = std::abs(r);
    if (mod < kBoundaryNear) continue;
    // An explosive root is reflected, which keeps the autocorrelations of an
    // MA factor; one still near the circle goes to the pulled modulus.
    r *= std::min(kPulledModulus, 1.0 / mod) / mod;
    moved = true;
  }
  if (!moved) return false;
  // Expand prod (x - a_i); conjugate pairs were moved alike, so the
  // coefficients are real up to rounding.
  std::vector<Complex> e(d + 1, 0.0);
  e[0] = 1.0;
  for (std::size_t i = 0; i < d; ++i)
    for (std::size_t k = i + 1; k >= 1; --k) e[k] -= a[i] * e[k - 1];
  for (int j = 0; j < filt.terms; ++j) filt.coefficients[j] = -e[static_cast<std::size_t>(filt.lags[j] / g)].real();
  return true;
}

int product_degree(std::span<const LagPolynomial> factors) {
  int deg = 0;
  for (const LagPolynomial& f : factors)
    if (f.terms > 0) deg += f.lags[f.terms - 1];
  return deg;
}

void product_polynomial(std::span<const LagPolynomial> factors, std::span<double> poly) {
  // Multiply in the form 1 + sum b_k B^k, then report c_k = -b_k.
  std::fill(poly.begin(), poly.end(), 0.0);
  if (poly.empty()) return;
  poly[0] = 1.0;
  int deg = 0;
  for (const LagPolynomial& f : factors) {
    if (f.terms <= 0) continue;
    deg += f.lags[f.terms - 1];
    for (int k = deg; k >= 1; --k) {
      double s = poly[k];
      for (int j = 0; j < f.terms; ++j)
        if (f.lags[j] <= k) s -= f.coefficients[j] * poly[k - f.lags[j]];
      poly[k] = s;
    }
  }
  poly[0] = 0.0;
  for (int k = 1; k <= deg; ++k) poly[k] = -poly[k];
}

double model_constant(double mu, std::span<const LagPolynomial> arfac) {
  double c = mu;
  for (const LagPolynomial& f : arfac) {
    double s = 1.0;
    for (int j = 0; j < f.terms; ++j) s -= f.coefficients[j];
    c *= s;
  }
  return c;
}

int psi_weights(EngineContext* context, double* psi, long np, int diflg) {
  if (context == nullptr || context->model == nullptr || psi == nullptr || np < 0) return kTsInvalid;
  ModelRecord* m = context->model;
  const int difdeg = diflg != 0 && !m->differences.empty() ? m->differences[0] : 0;
  const int ardeg = product_degree(m->ar_factors) + difdeg;
  const int madeg = product_degree(m->ma_factors);
  std::vector<double>& poly = m->work.poly;
  if (int rc = resize_tracked(context, poly, static_cast<std::size_t>(ardeg + madeg) + 2); rc != kTsOk)
    return rc;
  std::span<double> ar(poly.data(), static_cast<std::size_t>(ardeg) + 1);
  std::span<double> ma(poly.data() + ardeg + 1, static_cast<std::size_t>(madeg) + 1);
  product_polynomial(m->ar_factors, ar);
  product_polynomial(m->ma_factors, ma);
  if (difdeg > 0) {
    // Multiply the AR polynomial by each difference (1 - B^lag), in the
    // 1 + sum b_k B^k form.
    for (int k = 1; k <= ardeg; ++k) ar[k] = -ar[k];
    ar[0] = 1.0;
    int deg = ardeg - difdeg;
    for (int d = 0; d < m->difference_count; ++d) {
      const int lag = m->differences[1 + d];
      deg += lag;
      for (int k = deg; k >= lag; --k) ar[k] -= ar[k - lag];
    }
    ar[0] = 0.0;
    for (int k = 1; k <= ardeg; ++k) ar[k] = -ar[k];
  }
  for (long j = 0; j < np; ++j) {
    double s = j == 0 ? 1.0 : (j <= madeg ? -ma[j] : 0.0);
    for (long k = 1; k <= std::min<long>(j, ardeg); ++k) s += ar[k] * psi[j - k];
    psi[j] = s;
  }
  return kTsOk;
}

}  // namespace x11sa
