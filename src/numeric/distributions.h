// Distribution functions used by the diagnostics and the ARIMA engine.
#pragma once

namespace x11sa {

// Upper-tail probability of the F distribution: P(F(df1, df2) > f).
// -1.0 for f < 0 or a degree of freedom not above 0; 1.0 for f = 0; -2.0 on
// an internal failure.
[[nodiscard]] double f_upper_tail_probability(double f, double df1, double df2);
// Upper-tail probability of the chi-square distribution; missing on failure.
[[nodiscard]] double chi_square_upper_tail_probability(double chisq, long df);
// P(|Z| < |x|) = 2 Phi(|x|) - 1, by the classic polynomial approximation.
[[nodiscard]] double normal_central_probability(double x);
// Regularised incomplete beta I_x(a, b) into *p and the beta density at x
// into *d; 0 on success.
int incomplete_beta_and_density(double x, double a, double b, double* p, double* d);
// Lower and upper regularised incomplete gamma P(a, z), Q(a, z) and the
// gamma density; 0 on success.
int incomplete_gamma_and_density(double z, double a, double* p, double* pr, double* d);

}  // namespace x11sa
