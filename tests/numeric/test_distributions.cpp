#include "numeric/distributions.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <limits>
#include <numbers>

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
  for (double x : {0.0, 0.2, 0.5, 0.93, 1.0}) {
    auto r = incomplete_beta_and_density(x, 1.0, 1.0);
    ASSERT_TRUE(r) << x;
    EXPECT_NEAR(r->probability, x, 1e-15);
    EXPECT_NEAR(r->density, 1.0, 1e-15);
    r = incomplete_beta_and_density(x, 2.5, 1.0);
    ASSERT_TRUE(r) << x;
    EXPECT_NEAR(r->probability, std::pow(x, 2.5), 1e-15);
    EXPECT_NEAR(r->density, 2.5 * std::pow(x, 1.5), 1e-14);
    r = incomplete_beta_and_density(x, 1.0, 3.0);
    ASSERT_TRUE(r) << x;
    EXPECT_NEAR(r->probability, 1.0 - std::pow(1.0 - x, 3.0), 1e-15);
    EXPECT_NEAR(r->density, 3.0 * std::pow(1.0 - x, 2.0), 1e-14);
  }
}

TEST(IncompleteBetaAndGamma, InvalidArgumentsGiveNoResult) {
  EXPECT_FALSE(incomplete_beta_and_density(-0.1, 2.0, 2.0));
  EXPECT_FALSE(incomplete_beta_and_density(1.1, 2.0, 2.0));
  EXPECT_FALSE(incomplete_beta_and_density(0.5, 0.0, 2.0));
  EXPECT_FALSE(incomplete_beta_and_density(0.5, 2.0, -1.0));
  EXPECT_FALSE(incomplete_beta_and_density(kMissing, 2.0, 2.0));
  EXPECT_FALSE(incomplete_beta_and_density(0.5, kInf, 2.0));
  EXPECT_FALSE(incomplete_gamma_and_density(-1.0, 2.0));
  EXPECT_FALSE(incomplete_gamma_and_density(1.0, 0.0));
  EXPECT_FALSE(incomplete_gamma_and_density(kMissing, 2.0));
  EXPECT_FALSE(incomplete_gamma_and_density(1.0, kNaN));
}

TEST(IncompleteGamma, ExponentialCaseAndComplement) {
  for (double z : {0.0, 0.3, 1.0, 7.5, 40.0}) {
    const auto r = incomplete_gamma_and_density(z, 1.0);
    ASSERT_TRUE(r) << z;
    EXPECT_NEAR(r->lower, -std::expm1(-z), 1e-15) << z;
    EXPECT_NEAR(r->upper, std::exp(-z), 1e-15) << z;
    EXPECT_NEAR(r->density, std::exp(-z), 1e-15) << z;
  }
  const auto r = incomplete_gamma_and_density(2.0, 3.5);
  ASSERT_TRUE(r);
  EXPECT_NEAR(r->lower + r->upper, 1.0, 1e-15);
  // Density of the gamma(3.5) distribution at 2: z^(a-1) e^-z / Gamma(a).
  EXPECT_NEAR(r->density, std::pow(2.0, 2.5) * std::exp(-2.0) / std::tgamma(3.5), 1e-15);
  const auto limit = incomplete_gamma_and_density(kInf, 2.0);
  ASSERT_TRUE(limit);
  EXPECT_EQ(limit->lower, 1.0);
  EXPECT_EQ(limit->upper, 0.0);
}

TEST(IncompleteBeta, PolesNeitherFailNorSetErrno) {
  errno = 0;
  // The densities are infinite at these ends; the probabilities are exact.
  const auto beta = incomplete_beta_and_density(0.0, 0.5, 2.0);
  ASSERT_TRUE(beta);
  EXPECT_EQ(beta->probability, 0.0);
  EXPECT_TRUE(std::isinf(beta->density));
  const auto gamma = incomplete_gamma_and_density(0.0, 0.5);
  ASSERT_TRUE(gamma);
  EXPECT_EQ(gamma->lower, 0.0);
  EXPECT_EQ(gamma->upper, 1.0);
  EXPECT_TRUE(std::isinf(gamma->density));
  EXPECT_EQ(errno, 0);
}

}  // namespace
}  // namespace x11sa
