// The transforms and their inverses: values that cannot be transformed,
// the log bias correction and the limits of the exponential. (Differencing
// and the working series are checked through the reference fits.)
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "arima/engine.h"

namespace x11sa {
namespace {

TEST(ArimaTransform, ForwardTransforms) {
  const std::vector<double> x = {1.0, 4.0, kMissing, 9.0};
  std::vector<double> y(4);
  EXPECT_EQ(apply_transform(x.data(), y.data(), 4, 0.0, 0.0, kTrLog), kTsOk);
  EXPECT_DOUBLE_EQ(y[1], std::log(4.0));
  EXPECT_TRUE(is_missing(y[2]));  // a gap is not a failure
  EXPECT_EQ(apply_transform(x.data(), y.data(), 4, 0.5, 1.0, kTrBoxCox), kTsOk);
  EXPECT_DOUBLE_EQ(y[1], (std::sqrt(5.0) - 1.0) / 0.5);
  EXPECT_EQ(apply_transform(x.data(), y.data(), 4, 0.5, 0.0, kTrPower), kTsOk);
  EXPECT_DOUBLE_EQ(y[3], 3.0);
  EXPECT_EQ(apply_transform(x.data(), y.data(), 4, 0.5, 0.0, 7), kTsInvalid);

  // Values that cannot be transformed become missing, and the call says so.
  const std::vector<double> bad = {2.0, 0.0, -1.0};
  EXPECT_EQ(apply_transform(bad.data(), y.data(), 3, 0.0, 0.0, kTrLog), kTsTransform);
  EXPECT_DOUBLE_EQ(y[0], std::log(2.0));
  EXPECT_TRUE(is_missing(y[1]) && is_missing(y[2]));
  EXPECT_EQ(apply_transform(bad.data(), y.data(), 3, 0.0, 1.5, kTrLog), kTsOk);  // the constant makes them positive
  EXPECT_EQ(apply_transform(bad.data(), y.data(), 3, 0.5, 0.0, kTrPower), kTsTransform);
  EXPECT_TRUE(is_missing(y[2]));
}

TEST(ArimaTransform, InverseWithLogBiasCorrection) {
  std::vector<double> f = {1.0, 2.0, 3.0}, s = {0.0, 0.1, 0.5}, y(3);
  ASSERT_EQ(invert_transform(f.data(), y.data(), s.data(), 3, 0.0, 0.5, kTrLog), kTsOk);
  EXPECT_DOUBLE_EQ(y[0], std::exp(1.0) - 0.5);  // no correction without uncertainty
  EXPECT_DOUBLE_EQ(s[0], 0.0);
  EXPECT_NEAR(y[1], std::exp(2.0 + 0.005) - 0.5, 1e-12);
  EXPECT_NEAR(s[2], std::exp(3.0 + 0.125) * std::sqrt(std::exp(0.25) - 1.0), 1e-12);

  // Exponents beyond the range of a double: 0 below, missing and code 11 above.
  std::vector<double> g = {-709.0, 709.78, 709.79, 700.0}, sg = {0.0, 0.0, 0.0, 4.2};
  EXPECT_EQ(invert_transform(g.data(), g.data(), sg.data(), 4, 0.0, 0.0, kTrLog), kTsCapability);
  EXPECT_EQ(g[0], 0.0);
  EXPECT_DOUBLE_EQ(g[1], std::exp(709.78));
  EXPECT_TRUE(is_missing(g[2]) && is_missing(sg[2]));
  EXPECT_TRUE(is_missing(g[3]));  // 700 + 4.2^2 / 2 is past the limit
}

TEST(ArimaTransform, InversePowerTransforms) {
  const std::vector<double> x = {0.5, 2.0, 10.0};
  std::vector<double> t(3), back(3), s = {0.0, 0.0, 0.0};
  for (int type : {kTrBoxCox, kTrPower}) {
    ASSERT_EQ(apply_transform(x.data(), t.data(), 3, 0.25, 1.0, type), kTsOk);
    ASSERT_EQ(invert_transform(t.data(), back.data(), s.data(), 3, 0.25, 1.0, type), kTsOk);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(back[i], x[i], 1e-12) << type;
  }
  // Standard errors by the derivative of the inverse: for (x)^0.5, f^2.
  std::vector<double> f = {3.0}, y(1), sd = {0.1};
  ASSERT_EQ(invert_transform(f.data(), y.data(), sd.data(), 1, 0.5, 0.0, kTrPower), kTsOk);
  EXPECT_DOUBLE_EQ(y[0], 9.0);
  EXPECT_NEAR(sd[0], 2 * 3.0 * 0.1, 1e-12);
  // A negative forecast has no inverse under a power.
  std::vector<double> neg = {-1.0};
  EXPECT_EQ(invert_transform(neg.data(), y.data(), nullptr, 1, 0.5, 0.0, kTrPower), kTsCapability);
  EXPECT_TRUE(is_missing(y[0]));
}

}  // namespace
}  // namespace x11sa
