// Lag polynomials: the stability test with its shrink factor, and psi
// weights (which rest on the products of the factors).
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "arima/engine.h"

namespace x11sa {
namespace {

LagPolynomial factor(std::vector<int> lags, std::vector<double> coef) {
  LagPolynomial f;
  f.terms = static_cast<int>(lags.size());
  f.lags = std::move(lags);
  f.coefficients = std::move(coef);
  return f;
}

// Smallest root modulus of 1 - c1 B - c2 B^2 from the quadratic formula.
double smallest_root_quadratic(double c1, double c2) {
  // Roots of -c2 z^2 - c1 z + 1 = 0.
  const double a = -c2, b = -c1, c = 1.0;
  const double disc = b * b - 4 * a * c;
  if (disc >= 0) {
    const double r1 = std::fabs((-b + std::sqrt(disc)) / (2 * a));
    const double r2 = std::fabs((-b - std::sqrt(disc)) / (2 * a));
    return std::min(r1, r2);
  }
  return std::sqrt(c / a);  // complex pair: |z|^2 = c / a
}

TEST(ArimaPolynomial, StabilityOfKnownFactors) {
  std::vector<double> work(64);
  // One coefficient: stable exactly when |c| < 1.
  EXPECT_EQ(stability_shrink_factor(factor({1}, {0.95}), work), 1.0);
  EXPECT_EQ(stability_shrink_factor(factor({12}, {-0.999}), work), 1.0);
  EXPECT_LT(stability_shrink_factor(factor({1}, {1.0}), work), 1.0);
  EXPECT_NEAR(stability_shrink_factor(factor({12}, {1.5}), work), 0.9999999999 / std::pow(1.5, 1.0 / 12), 1e-15);
  // Two coefficients: the stationarity triangle.
  EXPECT_EQ(stability_shrink_factor(factor({1, 2}, {1.2, -0.5}), work), 1.0);   // complex roots, |z|^2 = 2
  EXPECT_EQ(stability_shrink_factor(factor({1, 2}, {0.5, 0.45}), work), 1.0);   // c1 + c2 < 1
  EXPECT_LT(stability_shrink_factor(factor({1, 2}, {0.6, 0.45}), work), 1.0);   // c1 + c2 > 1
  EXPECT_LT(stability_shrink_factor(factor({1, 2}, {0.2, -1.1}), work), 1.0);   // |c2| > 1
  EXPECT_LT(stability_shrink_factor(factor({1, 2}, {-0.6, 0.45}), work), 1.0);  // c2 - c1 > 1
  // The shrink factor is the smallest root modulus (just inside).
  for (auto [c1, c2] : {std::pair{1.3, 0.2}, std::pair{0.4, -1.6}, std::pair{-2.0, -1.5}}) {
    const double r = stability_shrink_factor(factor({1, 2}, {c1, c2}), work);
    EXPECT_NEAR(r, smallest_root_quadratic(c1, c2), 1e-9) << c1 << " " << c2;
  }
  EXPECT_EQ(stability_shrink_factor(LagPolynomial{}, work), 1.0);
}

// Psi weights: coefficients of theta(B) / (phi(B) delta(B)), against the
// expansion by long division written out here.
TEST(ArimaPolynomial, PsiWeightsWithDifferencing) {
  EngineContext con;
  ASSERT_EQ(init_engine_context(&con), kTsOk);
  ModelRecord* m = con.model;
  m->ar_factors = {factor({1}, {0.5})};
  m->ma_factors = {factor({1}, {0.3}), factor({4}, {0.6})};
  m->difference_count = 2;
  m->differences = {5, 1, 4};  // (1 - B)(1 - B^4)
  const int n = 30;
  std::vector<double> psi(n), plain(n);
  ASSERT_EQ(psi_weights(&con, psi.data(), n, 1), kTsOk);
  ASSERT_EQ(psi_weights(&con, plain.data(), n, 0), kTsOk);
  // Denominator (1 - 0.5B)(1 - B)(1 - B^4) and numerator (1 - 0.3B)(1 - 0.6B^4)
  // as plain coefficient arrays; psi * den = num.
  std::vector<double> den(n, 0.0), num(n, 0.0);
  const double d[] = {1, -1.5, 0.5, 0, -1, 1.5, -0.5};
  for (int k = 0; k < 7; ++k) den[k] = d[k];
  num[0] = 1;
  num[1] = -0.3;
  num[4] = -0.6;
  num[5] = 0.18;
  for (int j = 0; j < n; ++j) {
    double conv = 0;
    for (int k = 0; k <= j; ++k) conv += den[k] * psi[j - k];
    EXPECT_NEAR(conv, num[j], 1e-12) << j;
  }
  // Without the differencing: psi_j of (1 - 0.3B)(1 - 0.6B^4) / (1 - 0.5B).
  EXPECT_DOUBLE_EQ(plain[0], 1.0);
  EXPECT_NEAR(plain[1], 0.5 - 0.3, 1e-15);
  EXPECT_NEAR(plain[2], 0.5 * 0.2, 1e-15);
  EXPECT_NEAR(plain[4], 0.5 * plain[3] - 0.6, 1e-15);
}

}  // namespace
}  // namespace x11sa
