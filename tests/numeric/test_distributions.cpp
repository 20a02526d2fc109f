#include "numeric/distributions.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

#include <boost/math/distributions/fisher_f.hpp>
#include <boost/math/distributions/normal.hpp>

#include "x11sa/missing.h"

namespace x11sa {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
const double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(FUpperTailProbability, EdgeValuesAndInvalidArguments) {
  EXPECT_EQ(f_upper_tail_probability(0.0, 6.0, 20.0), 1.0);
  EXPECT_EQ(f_upper_tail_probability(2.5, 0.0, 20.0), -1.0);
  EXPECT_EQ(f_upper_tail_probability(2.5, 6.0, 0.0), -1.0);
  EXPECT_EQ(f_upper_tail_probability(2.5, -1.0, 20.0), -1.0);
  EXPECT_EQ(f_upper_tail_probability(-0.5, 6.0, 20.0), -1.0);
  EXPECT_EQ(f_upper_tail_probability(kMissing, 6.0, 20.0), -1.0);
  EXPECT_EQ(f_upper_tail_probability(1.0, kNaN, 20.0), -1.0);
  // Zero error degrees of freedom: the regression with six months asks this.
  EXPECT_EQ(f_upper_tail_probability(0.0, 6.0, 0.0), -1.0);

  const double huge = f_upper_tail_probability(1e300, 6.0, 20.0);
  EXPECT_GE(huge, 0.0);
  EXPECT_LT(huge, 1e-200);
  EXPECT_EQ(f_upper_tail_probability(kInf, 6.0, 20.0), 0.0);
}

TEST(FUpperTailProbability, MatchesClosedFormsAndBoost) {
  // F(2, m) has the tail (1 + 2 f / m)^(-m / 2).
  for (double m : {1.0, 3.0, 10.0, 57.0}) {
    for (double f : {0.01, 0.5, 1.0, 3.7, 25.0}) {
      const double expected = std::pow(1.0 + 2.0 * f / m, -m / 2.0);
      EXPECT_NEAR(f_upper_tail_probability(f, 2.0, m), expected, 1e-14 + 1e-12 * expected) << f << " " << m;
    }
  }
  // F(1, n) is the square of a t(n): with n = 1 the tail is 1 - 2 atan(t) / pi.
  for (double t : {0.2, 1.0, 4.0}) {
    EXPECT_NEAR(f_upper_tail_probability(t * t, 1.0, 1.0), 1.0 - 2.0 * std::atan(t) / std::numbers::pi, 1e-14);
  }
  for (double df1 : {6.0, 11.0}) {
    for (double df2 : {4.0, 30.0, 180.0}) {
      const boost::math::fisher_f dist(df1, df2);
      for (double f : {0.3, 1.0, 2.8, 9.0}) {
        const double expected = boost::math::cdf(boost::math::complement(dist, f));
        EXPECT_NEAR(f_upper_tail_probability(f, df1, df2), expected, 1e-13) << df1 << " " << df2 << " " << f;
      }
    }
  }
}

TEST(ChiSquareUpperTailProbability, MatchesClosedForms) {
  for (double x : {0.0, 0.1, 1.0, 2.5, 10.0, 60.0}) {
    EXPECT_NEAR(chi_square_upper_tail_probability(x, 2), std::exp(-x / 2.0), 1e-15) << x;
    EXPECT_NEAR(chi_square_upper_tail_probability(x, 4), std::exp(-x / 2.0) * (1.0 + x / 2.0), 1e-15) << x;
    EXPECT_NEAR(chi_square_upper_tail_probability(x, 1), std::erfc(std::sqrt(x / 2.0)), 1e-15) << x;
  }
  EXPECT_EQ(chi_square_upper_tail_probability(0.0, 7), 1.0);
}

TEST(ChiSquareUpperTailProbability, InvalidArgumentsGiveMissing) {
  EXPECT_TRUE(is_missing(chi_square_upper_tail_probability(-1.0, 2)));
  EXPECT_TRUE(is_missing(chi_square_upper_tail_probability(3.0, 0)));
  EXPECT_TRUE(is_missing(chi_square_upper_tail_probability(3.0, -2)));
  EXPECT_TRUE(is_missing(chi_square_upper_tail_probability(kMissing, 2)));
}

TEST(NormalCentralProbability, EdgeValues) {
  EXPECT_EQ(normal_central_probability(0.0), 0.0);
  EXPECT_EQ(normal_central_probability(3.0e-20), 0.0);
  EXPECT_EQ(normal_central_probability(12.0), 1.0);
  EXPECT_EQ(normal_central_probability(6.0), 1.0);
  EXPECT_EQ(normal_central_probability(-12.0), 1.0);
  EXPECT_EQ(normal_central_probability(kInf), 1.0);
  EXPECT_TRUE(is_missing(normal_central_probability(kMissing)));
}

TEST(NormalCentralProbability, AgreesWithTheNormalIntegral) {
  // The polynomial approximation is good to about 1e-9 (2.1e-9 at worst,
  // near |x| = 2.17), on both polynomial pieces and at their joins.
  const boost::math::normal normal;
  for (double x = 0.0; x < 7.0; x += 0.001) {
    const double expected = 2.0 * boost::math::cdf(normal, x) - 1.0;
    ASSERT_NEAR(normal_central_probability(x), expected, 2.5e-9) << x;
    ASSERT_EQ(normal_central_probability(-x), normal_central_probability(x)) << x;
  }
  // Tiny arguments above the cut-off follow the slope 2 phi(0) = sqrt(2 / pi).
  EXPECT_NEAR(normal_central_probability(1e-10), 1e-10 * std::sqrt(2.0 / std::numbers::pi), 1e-19);
}

TEST(IncompleteBeta, ClosedFormsAndDensity) {
  double p = -1.0;
  double d = -1.0;
  for (double x : {0.0, 0.2, 0.5, 0.93, 1.0}) {
    ASSERT_EQ(incomplete_beta_and_density(x, 1.0, 1.0, &p, &d), 0);
    EXPECT_NEAR(p, x, 1e-15);
    EXPECT_NEAR(d, 1.0, 1e-15);
    ASSERT_EQ(incomplete_beta_and_density(x, 2.5, 1.0, &p, &d), 0);
    EXPECT_NEAR(p, std::pow(x, 2.5), 1e-15);
    EXPECT_NEAR(d, 2.5 * std::pow(x, 1.5), 1e-14);
    ASSERT_EQ(incomplete_beta_and_density(x, 1.0, 3.0, &p, &d), 0);
    EXPECT_NEAR(p, 1.0 - std::pow(1.0 - x, 3.0), 1e-15);
    EXPECT_NEAR(d, 3.0 * std::pow(1.0 - x, 2.0), 1e-14);
  }
}

TEST(IncompleteBetaAndGamma, InvalidArgumentsReportFailure) {
  double p = 0.25;
  double d = 0.75;
  EXPECT_NE(incomplete_beta_and_density(-0.1, 2.0, 2.0, &p, &d), 0);
  EXPECT_NE(incomplete_beta_and_density(1.1, 2.0, 2.0, &p, &d), 0);
  EXPECT_NE(incomplete_beta_and_density(0.5, 0.0, 2.0, &p, &d), 0);
  EXPECT_NE(incomplete_beta_and_density(0.5, 2.0, -1.0, &p, &d), 0);
  EXPECT_NE(incomplete_beta_and_density(kMissing, 2.0, 2.0, &p, &d), 0);
  EXPECT_NE(incomplete_beta_and_density(0.5, kInf, 2.0, &p, &d), 0);
  double q = 0.5;
  EXPECT_NE(incomplete_gamma_and_density(-1.0, 2.0, &p, &q, &d), 0);
  EXPECT_NE(incomplete_gamma_and_density(1.0, 0.0, &p, &q, &d), 0);
  EXPECT_NE(incomplete_gamma_and_density(kMissing, 2.0, &p, &q, &d), 0);
  EXPECT_NE(incomplete_gamma_and_density(1.0, kNaN, &p, &q, &d), 0);
  // Failures leave the results untouched.
  EXPECT_EQ(p, 0.25);
  EXPECT_EQ(q, 0.5);
  EXPECT_EQ(d, 0.75);
}

TEST(IncompleteGamma, ExponentialCaseAndComplement) {
  double p = -1.0;
  double q = -1.0;
  double d = -1.0;
  for (double z : {0.0, 0.3, 1.0, 7.5, 40.0}) {
    ASSERT_EQ(incomplete_gamma_and_density(z, 1.0, &p, &q, &d), 0);
    EXPECT_NEAR(p, -std::expm1(-z), 1e-15) << z;
    EXPECT_NEAR(q, std::exp(-z), 1e-15) << z;
    EXPECT_NEAR(d, std::exp(-z), 1e-15) << z;
  }
  ASSERT_EQ(incomplete_gamma_and_density(2.0, 3.5, &p, &q, &d), 0);
  EXPECT_NEAR(p + q, 1.0, 1e-15);
  // Density of the gamma(3.5) distribution at 2: z^(a-1) e^-z / Gamma(a).
  EXPECT_NEAR(d, std::pow(2.0, 2.5) * std::exp(-2.0) / std::tgamma(3.5), 1e-15);
  ASSERT_EQ(incomplete_gamma_and_density(kInf, 2.0, &p, &q, &d), 0);
  EXPECT_EQ(p, 1.0);
  EXPECT_EQ(q, 0.0);
}

TEST(IncompleteBeta, PolesAndOverflowNeitherFailNorSetErrno) {
  errno = 0;
  double p = -1.0;
  double d = -1.0;
  double q = -1.0;
  // The densities are infinite at these ends; the probabilities are exact.
  ASSERT_EQ(incomplete_beta_and_density(0.0, 0.5, 2.0, &p, &d), 0);
  EXPECT_EQ(p, 0.0);
  EXPECT_TRUE(std::isinf(d));
  ASSERT_EQ(incomplete_gamma_and_density(0.0, 0.5, &p, &q, &d), 0);
  EXPECT_EQ(p, 0.0);
  EXPECT_EQ(q, 1.0);
  EXPECT_TRUE(std::isinf(d));
  EXPECT_TRUE(std::isinf(exp_minus_one(1000.0)));
  EXPECT_EQ(errno, 0);
}

TEST(NormalFunctions, AgreeWithTheStandardLibrary) {
  for (double x : {-8.0, -1.96, -0.3, 0.0, 0.7, 1.96, 5.0}) {
    EXPECT_NEAR(normal_cdf(x), 0.5 * std::erfc(-x / std::numbers::sqrt2), 1e-16) << x;
    EXPECT_NEAR(error_function(x), std::erf(x), 1e-16) << x;
    EXPECT_NEAR(complementary_error_function(x), std::erfc(x), 1e-16 * std::max(1.0, std::erfc(x))) << x;
  }
  EXPECT_EQ(normal_cdf(0.0), 0.5);
  EXPECT_EQ(normal_cdf(kInf), 1.0);
  EXPECT_EQ(normal_cdf(-kInf), 0.0);
  // The far tail keeps its relative precision.
  EXPECT_NEAR(complementary_error_function(10.0) / std::erfc(10.0), 1.0, 1e-14);
  EXPECT_TRUE(is_missing(normal_cdf(kMissing)));
  EXPECT_TRUE(is_missing(error_function(kNaN)));
  EXPECT_TRUE(is_missing(complementary_error_function(kMissing)));
}

TEST(NormalQuantile, InvertsTheDistributionFunction) {
  EXPECT_NEAR(normal_quantile(0.975), 1.959963984540054, 1e-14);
  EXPECT_EQ(normal_quantile(0.5), 0.0);
  for (double x : {-6.0, -2.2, -0.01, 0.4, 3.1}) {
    EXPECT_NEAR(normal_quantile(normal_cdf(x)), x, 1e-9 * std::max(1.0, std::fabs(x))) << x;
  }
  EXPECT_TRUE(is_missing(normal_quantile(0.0)));
  EXPECT_TRUE(is_missing(normal_quantile(1.0)));
  EXPECT_TRUE(is_missing(normal_quantile(-0.2)));
  EXPECT_TRUE(is_missing(normal_quantile(kMissing)));
}

TEST(LogGamma, KnownValues) {
  EXPECT_NEAR(log_gamma(5.0), std::log(24.0), 1e-14);
  EXPECT_NEAR(log_gamma(0.5), 0.5 * std::log(std::numbers::pi), 1e-15);
  EXPECT_NEAR(log_gamma(1.0), 0.0, 1e-16);
  EXPECT_NEAR(log_gamma(1000.0), std::lgamma(1000.0), 1e-10);
  EXPECT_TRUE(is_missing(log_gamma(0.0)));
  EXPECT_TRUE(is_missing(log_gamma(-2.5)));
}

TEST(Expm1AndLog1p, AccurateNearZero) {
  for (double x : {1e-300, 1e-12, -3e-9, 0.25, -0.9, 5.0}) {
    EXPECT_NEAR(exp_minus_one(x) / std::expm1(x), 1.0, 1e-15) << x;
    EXPECT_NEAR(log_one_plus(x) / std::log1p(x), 1.0, 1e-15) << x;
  }
  // 1e-12 + 5e-25: the second term is lost in exp(x) - 1 but not here.
  EXPECT_NEAR((exp_minus_one(1e-12) - 1e-12) / 5e-25, 1.0, 1e-3);
  EXPECT_EQ(exp_minus_one(0.0), 0.0);
  EXPECT_EQ(log_one_plus(0.0), 0.0);
  EXPECT_EQ(exp_minus_one(-kInf), -1.0);
  EXPECT_TRUE(is_missing(log_one_plus(-1.0)));
  EXPECT_TRUE(is_missing(log_one_plus(-2.0)));
  EXPECT_TRUE(is_missing(exp_minus_one(kMissing)));
}

TEST(MeanRanks, TiesGetTheMeanRank) {
  const std::vector<double> data = {3.0, 1.0, 4.0, 1.0, 5.0, 9.0, 2.0, 6.0, 5.0, 3.0, 5.0};
  std::vector<double> rank(data.size(), -1.0);
  EXPECT_EQ(assign_mean_ranks(data.data(), static_cast<long>(data.size()), rank.data(), 0), 11);
  // Sorted: 1 1 2 3 3 4 5 5 5 6 9.
  const std::vector<double> expected = {4.5, 1.5, 6.0, 1.5, 8.0, 11.0, 3.0, 10.0, 8.0, 4.5, 8.0};
  for (std::size_t i = 0; i < data.size(); ++i) EXPECT_EQ(rank[i], expected[i]) << i;
  // Whatever the ties, the ranks add up to n (n + 1) / 2.
  double sum = 0.0;
  for (double r : rank) sum += r;
  EXPECT_EQ(sum, 66.0);
}

TEST(MeanRanks, MissingValues) {
  const std::vector<double> data = {2.0, kMissing, -1.0, 2.0, kMissing};
  std::vector<double> rank(data.size(), -1.0);
  EXPECT_EQ(assign_mean_ranks(data.data(), 5, rank.data(), 1), 3);
  EXPECT_EQ(rank[0], 2.5);
  EXPECT_TRUE(is_missing(rank[1]));
  EXPECT_EQ(rank[2], 1.0);
  EXPECT_EQ(rank[3], 2.5);
  EXPECT_TRUE(is_missing(rank[4]));

  // Without the flag every value is ranked and missing values come last, tied.
  EXPECT_EQ(assign_mean_ranks(data.data(), 5, rank.data(), 0), 5);
  EXPECT_EQ(rank[2], 1.0);
  EXPECT_EQ(rank[0], 2.5);
  EXPECT_EQ(rank[1], 4.5);
  EXPECT_EQ(rank[4], 4.5);

  EXPECT_EQ(assign_mean_ranks(data.data(), 0, rank.data(), 1), 0);
}

}  // namespace
}  // namespace x11sa
