// Distribution functions used by the diagnostics and the ARIMA engine.
#pragma once

#include <optional>

namespace x11sa {

// Upper-tail probability of the F distribution: P(F(df1, df2) > f).
// -1.0 for f < 0 or a degree of freedom not above 0; 1.0 for f = 0; -2.0 on
// an internal failure.
[[nodiscard]] double f_upper_tail_probability(double f, double df1, double df2);
// Upper-tail probability of the chi-square distribution; missing on failure.
[[nodiscard]] double chi_square_upper_tail_probability(double chisq, long df);
// P(|Z| < |x|) = 2 Phi(|x|) - 1, by the classic polynomial approximation.
[[nodiscard]] double normal_central_probability(double x);
struct IncompleteBeta {
  double probability = 0;  // the regularised incomplete beta I_x(a, b)
  double density = 0;      // the beta(a, b) density at x
};
// I_x(a, b) and the density; none for an argument outside the domain or a
// failed evaluation.
[[nodiscard]] std::optional<IncompleteBeta> incomplete_beta_and_density(double x, double a, double b);

struct IncompleteGamma {
  double lower = 0;    // the regularised P(a, z)
  double upper = 0;    // Q(a, z) = 1 - P(a, z), computed directly
  double density = 0;  // the gamma(a) density at z
};
// P(a, z), Q(a, z) and the density; none for an argument outside the domain
// or a failed evaluation.
[[nodiscard]] std::optional<IncompleteGamma> incomplete_gamma_and_density(double z, double a);

}  // namespace x11sa
