// Distribution functions.
//
// Everything except normal_central_probability delegates to Boost.Math under
// a policy that never throws: a domain error comes back as NaN (or an infinity
// for a pole or overflow), which the wrappers below check and turn into the
// documented status or the missing value. errno is kept as the caller left it.
#include "numeric/distributions.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <exception>

#include <boost/math/policies/policy.hpp>
#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/gamma.hpp>

#include "x11sa/missing.h"

namespace x11sa {

namespace {

namespace bmp = boost::math::policies;

using QuietPolicy =
    bmp::policy<bmp::domain_error<bmp::ignore_error>, bmp::pole_error<bmp::ignore_error>,
                bmp::overflow_error<bmp::ignore_error>, bmp::underflow_error<bmp::ignore_error>,
                bmp::denorm_error<bmp::ignore_error>, bmp::evaluation_error<bmp::ignore_error>,
                bmp::rounding_error<bmp::ignore_error>,
                bmp::indeterminate_result_error<bmp::ignore_error>,
                // Double arithmetic throughout: the long double of the default
                // costs several times the time for accuracy the callers do not use.
                bmp::promote_double<false>>;

// Boost leaves errno alone under QuietPolicy, but the C library functions it
// calls may still set it (pow(0, -0.5) gives ERANGE); callers see errno as
// it was before the call.
class ErrnoKeeper {
 public:
  ErrnoKeeper() noexcept : saved_(errno) {}
  ~ErrnoKeeper() { errno = saved_; }
  ErrnoKeeper(const ErrnoKeeper&) = delete;
  ErrnoKeeper& operator=(const ErrnoKeeper&) = delete;

 private:
  int saved_;
};

// The missing value is a NaN, so std::isnan below rejects it along with any
// other NaN: neither can be evaluated.

}  // namespace

double f_upper_tail_probability(double f, double df1, double df2) {
  if (std::isnan(f) || !(df1 > 0.0) || !(df2 > 0.0) || f < 0.0) return -1.0;
  if (!std::isfinite(df1) || !std::isfinite(df2)) return -1.0;
  if (f == 0.0) return 1.0;  // exact: the tail of the whole distribution
  const double x = df2 / (f * df1 + df2);
  if (x <= 0.0) return 0.0;
  const auto beta = incomplete_beta_and_density(x, df2 / 2.0, df1 / 2.0);
  if (!beta) return -2.0;
  return beta->probability;
}

double chi_square_upper_tail_probability(double chisq, long df) {
  const auto gamma = incomplete_gamma_and_density(chisq / 2.0, static_cast<double>(df) / 2.0);
  if (!gamma) return kMissing;
  return gamma->upper;
}

double normal_central_probability(double x) {
  if (std::isnan(x)) return kMissing;
  const double ax = std::fabs(x);
  if (ax < 3.834e-20) return 0.0;
  double y = 0.5 * ax;
  if (y >= 3.0) return 1.0;
  if (y < 1.0) {
    const double w = y * y;
    return ((((((((0.000124818987 * w - 0.001075204047) * w + 0.005198775019) * w -
                 0.019198292004) * w + 0.059054035642) * w - 0.151968751364) * w +
              0.319152932694) * w - 0.531923007300) * w + 0.797884560593) * y * 2.0;
  }
  y -= 2.0;
  return (((((((((((((-0.000045255659 * y + 0.000152529290) * y - 0.000019538132) * y -
                    0.000676904986) * y + 0.001390604284) * y - 0.000794620820) * y -
                 0.002034254874) * y + 0.006549791214) * y - 0.010557625006) * y +
              0.011630447319) * y - 0.009279453341) * y + 0.005353579108) * y -
           0.002141268741) * y + 0.000535310849) * y + 0.999936657524;
}

std::optional<IncompleteBeta> incomplete_beta_and_density(double x, double a, double b) {
  if (std::isnan(x) || x < 0.0 || x > 1.0) return std::nullopt;
  if (!(a > 0.0) || !(b > 0.0) || !std::isfinite(a) || !std::isfinite(b)) return std::nullopt;
  const ErrnoKeeper keep_errno;
  try {
    const double prob = boost::math::ibeta(a, b, x, QuietPolicy());
    // At x = 0 (a < 1) or x = 1 (b < 1) the density is infinite, which is its true value.
    const double dens = boost::math::ibeta_derivative(a, b, x, QuietPolicy());
    if (!std::isfinite(prob) || std::isnan(dens)) return std::nullopt;
    return IncompleteBeta{std::clamp(prob, 0.0, 1.0), dens};
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<IncompleteGamma> incomplete_gamma_and_density(double z, double a) {
  if (std::isnan(z) || z < 0.0) return std::nullopt;
  if (!(a > 0.0) || !std::isfinite(a)) return std::nullopt;
  if (std::isinf(z)) return IncompleteGamma{1.0, 0.0, 0.0};  // the limit of the whole distribution
  const ErrnoKeeper keep_errno;
  try {
    const double lower = boost::math::gamma_p(a, z, QuietPolicy());
    const double upper = boost::math::gamma_q(a, z, QuietPolicy());
    // At z = 0 with a < 1 the density is infinite, which is its true value.
    const double dens = boost::math::gamma_p_derivative(a, z, QuietPolicy());
    if (!std::isfinite(lower) || !std::isfinite(upper) || std::isnan(dens)) return std::nullopt;
    return IncompleteGamma{std::clamp(lower, 0.0, 1.0), std::clamp(upper, 0.0, 1.0), dens};
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

}  // namespace x11sa
