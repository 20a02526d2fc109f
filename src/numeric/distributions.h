// Distribution functions and ranking used by the diagnostics and the ARIMA engine.
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
// Standard normal distribution function Phi(x); missing for a NaN.
[[nodiscard]] double normal_cdf(double x);
// erf(x) and erfc(x) = 1 - erf(x); missing for a NaN.
[[nodiscard]] double error_function(double x);
[[nodiscard]] double complementary_error_function(double x);
// The x with Phi(x) = p; missing unless 0 < p < 1.
[[nodiscard]] double normal_quantile(double p);
// log Gamma(x); missing unless x > 0.
[[nodiscard]] double log_gamma(double x);
// exp(x) - 1 and log(1 + z), accurate near 0; missing for a NaN, and log(1 + z)
// for z not above -1.
[[nodiscard]] double exp_minus_one(double x);
[[nodiscard]] double log_one_plus(double z);
// Ranks (1-based, ties get the mean rank) of `count` values into `rank`;
// with `missf`, missing values are skipped and get a missing rank. Returns
// the number of values ranked.
long assign_mean_ranks(const double* data, long count, double* rank, int missf);

}  // namespace x11sa
