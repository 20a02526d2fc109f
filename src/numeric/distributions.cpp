// Distribution functions and ranking.
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
#include <limits>
#include <vector>

#include <boost/math/distributions/normal.hpp>
#include <boost/math/policies/policy.hpp>
#include <boost/math/special_functions/beta.hpp>
#include <boost/math/special_functions/erf.hpp>
#include <boost/math/special_functions/expm1.hpp>
#include <boost/math/special_functions/gamma.hpp>
#include <boost/math/special_functions/log1p.hpp>

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

using Normal = boost::math::normal_distribution<double, QuietPolicy>;

constexpr int kOk = 0;
constexpr int kBadArgument = 1;
constexpr int kEvaluationFailed = 2;

constexpr double kInf = std::numeric_limits<double>::infinity();

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
  double p = 0.0;
  double density = 0.0;
  if (incomplete_beta_and_density(x, df2 / 2.0, df1 / 2.0, &p, &density) != kOk) return -2.0;
  return p;
}

double chi_square_upper_tail_probability(double chisq, long df) {
  double p = 0.0;
  double q = 0.0;
  double density = 0.0;
  if (incomplete_gamma_and_density(chisq / 2.0, static_cast<double>(df) / 2.0, &p, &q, &density) != kOk) {
    return kMissing;
  }
  return q;
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

int incomplete_beta_and_density(double x, double a, double b, double* p, double* d) {
  if (std::isnan(x) || x < 0.0 || x > 1.0) return kBadArgument;
  if (!(a > 0.0) || !(b > 0.0) || !std::isfinite(a) || !std::isfinite(b)) return kBadArgument;
  const ErrnoKeeper keep_errno;
  try {
    const double prob = boost::math::ibeta(a, b, x, QuietPolicy());
    // At x = 0 (a < 1) or x = 1 (b < 1) the density is infinite, which is its true value.
    const double dens = boost::math::ibeta_derivative(a, b, x, QuietPolicy());
    if (!std::isfinite(prob) || std::isnan(dens)) return kEvaluationFailed;
    *p = std::clamp(prob, 0.0, 1.0);
    *d = dens;
  } catch (const std::exception&) {
    return kEvaluationFailed;
  }
  return kOk;
}

int incomplete_gamma_and_density(double z, double a, double* p, double* pr, double* d) {
  if (std::isnan(z) || z < 0.0) return kBadArgument;
  if (!(a > 0.0) || !std::isfinite(a)) return kBadArgument;
  if (std::isinf(z)) {  // the limit of the whole distribution
    *p = 1.0;
    *pr = 0.0;
    *d = 0.0;
    return kOk;
  }
  const ErrnoKeeper keep_errno;
  try {
    const double lower = boost::math::gamma_p(a, z, QuietPolicy());
    const double upper = boost::math::gamma_q(a, z, QuietPolicy());
    // At z = 0 with a < 1 the density is infinite, which is its true value.
    const double dens = boost::math::gamma_p_derivative(a, z, QuietPolicy());
    if (!std::isfinite(lower) || !std::isfinite(upper) || std::isnan(dens)) {
      return kEvaluationFailed;
    }
    *p = std::clamp(lower, 0.0, 1.0);
    *pr = std::clamp(upper, 0.0, 1.0);
    *d = dens;
  } catch (const std::exception&) {
    return kEvaluationFailed;
  }
  return kOk;
}

double normal_cdf(double x) {
  if (std::isnan(x)) return kMissing;
  if (std::isinf(x)) return x > 0.0 ? 1.0 : 0.0;
  const ErrnoKeeper keep_errno;
  return boost::math::cdf(Normal(), x);
}

double error_function(double x) {
  if (std::isnan(x)) return kMissing;
  const ErrnoKeeper keep_errno;
  return boost::math::erf(x, QuietPolicy());
}

double complementary_error_function(double x) {
  if (std::isnan(x)) return kMissing;
  const ErrnoKeeper keep_errno;
  return boost::math::erfc(x, QuietPolicy());
}

double normal_quantile(double p) {
  // The quantiles of 0 and 1 are infinite: no usable number.
  if (std::isnan(p) || !(p > 0.0) || !(p < 1.0)) return kMissing;
  const ErrnoKeeper keep_errno;
  return boost::math::quantile(Normal(), p);
}

double log_gamma(double x) {
  if (std::isnan(x) || !(x > 0.0)) return kMissing;
  if (std::isinf(x)) return kInf;
  const ErrnoKeeper keep_errno;
  return boost::math::lgamma(x, QuietPolicy());
}

double exp_minus_one(double x) {
  if (std::isnan(x)) return kMissing;
  if (std::isinf(x)) return x > 0.0 ? kInf : -1.0;
  // Overflow for x above about 709.78 gives +infinity, the true limit.
  const ErrnoKeeper keep_errno;
  return boost::math::expm1(x, QuietPolicy());
}

double log_one_plus(double z) {
  // log(1 + z) does not exist for z < -1 and is -infinity at -1.
  if (std::isnan(z) || !(z > -1.0)) return kMissing;
  if (std::isinf(z)) return kInf;
  const ErrnoKeeper keep_errno;
  return boost::math::log1p(z, QuietPolicy());
}

long assign_mean_ranks(const double* data, long count, double* rank, int missf) {
  if (count <= 0) return 0;
  // Positions taking part, in ascending order of their values. Without missf
  // a NaN (missing or not) orders after every number, NaNs tie among
  // themselves, so that the ordering stays strict and weak.
  std::vector<long> order;
  order.reserve(static_cast<std::size_t>(count));
  for (long i = 0; i < count; ++i) {
    if (missf != 0 && is_missing(data[i])) {
      rank[i] = kMissing;
    } else {
      order.push_back(i);
    }
  }
  const auto less = [data](long a, long b) {
    const double x = data[a];
    const double y = data[b];
    if (std::isnan(x)) return false;
    if (std::isnan(y)) return true;
    return x < y;
  };
  std::stable_sort(order.begin(), order.end(), less);

  // Ties are values that compare equal: each gets the mean of the ranks of its run.
  const long ranked = static_cast<long>(order.size());
  long start = 0;
  while (start < ranked) {
    long stop = start + 1;
    while (stop < ranked && !less(order[start], order[stop])) ++stop;
    const double mean_rank = (static_cast<double>(start + 1) + static_cast<double>(stop)) / 2.0;
    for (long k = start; k < stop; ++k) rank[order[k]] = mean_rank;
    start = stop;
  }
  return ranked;
}

}  // namespace x11sa
