// Distribution functions and ranking used by the diagnostics and the ARIMA engine.
#pragma once

namespace x11sa {

// Upper-tail probability of the F distribution: P(F(df1, df2) > f).
// -1.0 for f < 0 or a degree of freedom not above 0; 1.0 for f = 0; -2.0 on
// an internal failure.
[[nodiscard]] double zprbf(double f, double df1, double df2);
// Upper-tail probability of the chi-square distribution; missing on failure.
[[nodiscard]] double zpgx2(double chisq, long df);
// P(|Z| < |x|) = 2 Phi(|x|) - 1, by the classic polynomial approximation.
[[nodiscard]] double zgauss(double x);
// Regularised incomplete beta I_x(a, b) into *p and the beta density at x
// into *d; 0 on success.
int zibeta(double x, double a, double b, double* p, double* d);
// Lower and upper regularised incomplete gamma P(a, z), Q(a, z) and the
// gamma density; 0 on success.
int zigamma(double z, double a, double* p, double* pr, double* d);
[[nodiscard]] double zprbnrm(double x);
[[nodiscard]] double zferf(double x);
[[nodiscard]] double zferfc(double x);
[[nodiscard]] double zprobit(double p);
[[nodiscard]] double zlgamma(double x);
[[nodiscard]] double zexpm1(double x);
[[nodiscard]] double zln1px(double z);
// Ranks (1-based, ties get the mean rank) of `count` values into `rank`;
// with `missf`, missing values are skipped and get a missing rank. Returns
// the number of values ranked.
long zrankl(const double* data, long count, double* rank, int missf);

}  // namespace x11sa
