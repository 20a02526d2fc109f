// Transforms, differences and their inverses, and the working series.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "arima/engine.h"

namespace x11sa {
namespace {

TEST(ArimaTransform, ForwardTransforms) {
  const std::vector<double> x = {1.0, 4.0, kMissing, 9.0};
  std::vector<double> y(4);
  EXPECT_EQ(ztsgbct(x.data(), y.data(), 4, 0.0, 0.0, kTrLog), kTsOk);
  EXPECT_DOUBLE_EQ(y[1], std::log(4.0));
  EXPECT_TRUE(is_missing(y[2]));  // a gap is not a failure
  EXPECT_EQ(ztsgbct(x.data(), y.data(), 4, 0.5, 1.0, kTrBoxCox), kTsOk);
  EXPECT_DOUBLE_EQ(y[1], (std::sqrt(5.0) - 1.0) / 0.5);
  EXPECT_EQ(ztsgbct(x.data(), y.data(), 4, 0.5, 0.0, kTrPower), kTsOk);
  EXPECT_DOUBLE_EQ(y[3], 3.0);
  EXPECT_EQ(ztsgbct(x.data(), y.data(), 4, 0.5, 0.0, 7), kTsInvalid);

  // Values that cannot be transformed become missing, and the call says so.
  const std::vector<double> bad = {2.0, 0.0, -1.0};
  EXPECT_EQ(ztsgbct(bad.data(), y.data(), 3, 0.0, 0.0, kTrLog), kTsTransform);
  EXPECT_DOUBLE_EQ(y[0], std::log(2.0));
  EXPECT_TRUE(is_missing(y[1]) && is_missing(y[2]));
  EXPECT_EQ(ztsgbct(bad.data(), y.data(), 3, 0.0, 1.5, kTrLog), kTsOk);  // the constant makes them positive
  EXPECT_EQ(ztsgbct(bad.data(), y.data(), 3, 0.5, 0.0, kTrPower), kTsTransform);
  EXPECT_TRUE(is_missing(y[2]));
}

TEST(ArimaTransform, DifferencingAndIntegrationRoundTrip) {
  std::vector<double> y;
  for (int t = 0; t < 40; ++t) y.push_back(100 + 2.0 * t + 10 * std::sin(t * 0.52) + (t % 7) * 0.3);
  std::vector<double> w = y;
  long n = 40;
  const int lags[] = {1, 12};
  ztstdif(w.data(), &n, 2, lags);
  ASSERT_EQ(n, 27);
  for (long t = 0; t < n; ++t) {
    const long s = t + 13;
    EXPECT_NEAR(w[t], y[s] - y[s - 1] - y[s - 12] + y[s - 13], 1e-12);
  }
  // Integrate back lag by lag with the stored starting values: first by 12
  // (the once-differenced series from position 1 starts the run), then by 1.
  std::vector<double> once(y.size() - 1);
  for (std::size_t t = 1; t < y.size(); ++t) once[t - 1] = y[t] - y[t - 1];
  std::vector<double> buf(once.begin(), once.begin() + 12);
  buf.insert(buf.end(), w.begin(), w.begin() + n);
  long len = static_cast<long>(buf.size());
  ztsfudf(buf.data(), &len, 12);
  for (std::size_t t = 0; t < buf.size(); ++t) EXPECT_NEAR(buf[t], once[t], 1e-12);
  std::vector<double> level = {y[0]};
  level.insert(level.end(), buf.begin(), buf.end());
  len = static_cast<long>(level.size());
  ztsfudf(level.data(), &len, 1);
  for (std::size_t t = 0; t < level.size(); ++t) EXPECT_NEAR(level[t], y[t], 1e-9);

  // A gap spoils every difference that uses it.
  std::vector<double> g = {1, 2, kMissing, 4, 5};
  long gn = 5;
  const int one[] = {1};
  ztstdif(g.data(), &gn, 1, one);
  EXPECT_EQ(gn, 4);
  EXPECT_TRUE(is_missing(g[1]) && is_missing(g[2]));
  EXPECT_DOUBLE_EQ(g[3], 1.0);
}

TEST(ArimaTransform, InverseWithLogBiasCorrection) {
  std::vector<double> f = {1.0, 2.0, 3.0}, s = {0.0, 0.1, 0.5}, y(3);
  ASSERT_EQ(untrbc(f.data(), y.data(), s.data(), 3, 0.0, 0.5, kTrLog), kTsOk);
  EXPECT_DOUBLE_EQ(y[0], std::exp(1.0) - 0.5);  // no correction without uncertainty
  EXPECT_DOUBLE_EQ(s[0], 0.0);
  EXPECT_NEAR(y[1], std::exp(2.0 + 0.005) - 0.5, 1e-12);
  EXPECT_NEAR(s[2], std::exp(3.0 + 0.125) * std::sqrt(std::exp(0.25) - 1.0), 1e-12);

  // Exponents beyond the range of a double: 0 below, missing and code 11 above.
  std::vector<double> g = {-709.0, 709.78, 709.79, 700.0}, sg = {0.0, 0.0, 0.0, 4.2};
  EXPECT_EQ(untrbc(g.data(), g.data(), sg.data(), 4, 0.0, 0.0, kTrLog), kTsCapability);
  EXPECT_EQ(g[0], 0.0);
  EXPECT_DOUBLE_EQ(g[1], std::exp(709.78));
  EXPECT_TRUE(is_missing(g[2]) && is_missing(sg[2]));
  EXPECT_TRUE(is_missing(g[3]));  // 700 + 4.2^2 / 2 is past the limit
}

TEST(ArimaTransform, InversePowerTransforms) {
  const std::vector<double> x = {0.5, 2.0, 10.0};
  std::vector<double> t(3), back(3), s = {0.0, 0.0, 0.0};
  for (int type : {kTrBoxCox, kTrPower}) {
    ASSERT_EQ(ztsgbct(x.data(), t.data(), 3, 0.25, 1.0, type), kTsOk);
    ASSERT_EQ(untrbc(t.data(), back.data(), s.data(), 3, 0.25, 1.0, type), kTsOk);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(back[i], x[i], 1e-12) << type;
  }
  // Standard errors by the derivative of the inverse: for (x)^0.5, f^2.
  std::vector<double> f = {3.0}, y(1), sd = {0.1};
  ASSERT_EQ(untrbc(f.data(), y.data(), sd.data(), 1, 0.5, 0.0, kTrPower), kTsOk);
  EXPECT_DOUBLE_EQ(y[0], 9.0);
  EXPECT_NEAR(sd[0], 2 * 3.0 * 0.1, 1e-12);
  // A negative forecast has no inverse under a power.
  std::vector<double> neg = {-1.0};
  EXPECT_EQ(untrbc(neg.data(), y.data(), nullptr, 1, 0.5, 0.0, kTrPower), kTsCapability);
  EXPECT_TRUE(is_missing(y[0]));
}

TEST(ArimaTransform, MissingSpan) {
  const std::vector<double> x = {kMissing, kMissing, 3, kMissing, 5, 6, kMissing};
  long nobs = -1, pre = -1;
  EXPECT_EQ(ztsgmis(x.data(), &nobs, &pre, 7), 3);
  EXPECT_EQ(pre, 2);
  EXPECT_EQ(nobs, 4);
  const std::vector<double> none = {kMissing, kMissing};
  EXPECT_EQ(ztsgmis(none.data(), &nobs, &pre, 2), 0);
  EXPECT_EQ(nobs, 0);
}

TEST(ArimaTransform, WorkingSeriesSteps) {
  TSACON con;
  ASSERT_EQ(ztsinit(&con), kTsOk);
  TSERIES* ts = con.tseries;
  std::vector<double> x = {kMissing, 10, 12, 15, 11, 14, 18, 16, 21, 25, kMissing};
  ts->data = x.data();
  ts->n = 11;
  ts->nnonmis = ztsgmis(x.data(), &ts->nobs, &ts->start, 11);
  ts->tranopt = kTrLog;
  ts->bclamb = 0.0;
  ts->ndif = 1;
  ts->differ = {1, 1};
  ts->order[0] = kStepTransform;
  ts->order[1] = kStepDifference;
  ts->order[2] = kStepCentre;
  ts->nlags = 3;
  ASSERT_EQ(ztsgtr(&con, ts), kTsOk);
  EXPECT_EQ(ts->start, 1);
  EXPECT_EQ(ts->tstart, 2);
  EXPECT_EQ(ts->tnobs, 8);
  double mean = 0;
  for (int t = 2; t < 10; ++t) mean += std::log(x[t]) - std::log(x[t - 1]);
  mean /= 8;
  EXPECT_NEAR(ts->mu, mean, 1e-14);  // the centring shift, kept for the forecasts
  EXPECT_NEAR(ts->trandata[0], std::log(12.0 / 10.0) - mean, 1e-14);
  EXPECT_NEAR(ts->tmean, 0.0, 1e-14);
  EXPECT_NEAR(ts->bctrandt[0], std::log(10.0), 1e-14);
  ASSERT_EQ(ts->corr.size(), 3u);

  ts->tranopt = kTrBoxCox;
  ts->bclamb = -0.5;
  EXPECT_EQ(ztsgtr(&con, ts), kTsTransform);
  ASSERT_FALSE(con.messages.empty());
  EXPECT_EQ(std::get<std::string>(con.messages.back().args[0]),
            "ZTSGTR: Non-positive power transformation, LAMBDA=-0.5");
  ts->tranopt = kTrLog;
  ts->order[2] = 4;  // a filter step
  EXPECT_EQ(ztsgtr(&con, ts), kTsInvalid);
  x[5] = -3;  // a log of a negative value
  ts->order[2] = 0;
  EXPECT_EQ(ztsgtr(&con, ts), kTsTransform);
}

// Autocorrelations against the textbook formulas: r_k about the mean with the
// full sum of squares as divisor, the partial autocorrelation at lag 2
// (r2 - r1^2) / (1 - r1^2), and the inverse autocorrelation of an AR(1) fit
// -phi / (1 + phi^2).
TEST(ArimaTransform, AutocorrelationsAgainstDirectFormulas) {
  const std::vector<double> x = {1.2, -0.4, 0.8, 2.1, -1.0, 0.3, 0.9, -0.7, 1.5, 0.2, -0.3, 1.1};
  std::vector<double> corr, pcorr, icorr;
  std::vector<long> df;
  ztsspcr(x, 2, corr, df, pcorr, icorr);
  double mean = 0;
  for (double v : x) mean += v;
  mean /= 12;
  double c0 = 0, c1 = 0, c2 = 0;
  for (int t = 0; t < 12; ++t) c0 += (x[t] - mean) * (x[t] - mean);
  for (int t = 0; t + 1 < 12; ++t) c1 += (x[t] - mean) * (x[t + 1] - mean);
  for (int t = 0; t + 2 < 12; ++t) c2 += (x[t] - mean) * (x[t + 2] - mean);
  const double r1 = c1 / c0, r2 = c2 / c0;
  EXPECT_NEAR(corr[0], r1, 1e-14);
  EXPECT_NEAR(corr[1], r2, 1e-14);
  EXPECT_EQ(df[0], 11);
  EXPECT_NEAR(pcorr[0], r1, 1e-14);
  EXPECT_NEAR(pcorr[1], (r2 - r1 * r1) / (1 - r1 * r1), 1e-14);
  ztsspcr(x, 1, corr, df, pcorr, icorr);
  EXPECT_NEAR(icorr[0], -r1 / (1 + r1 * r1), 1e-14);
}

}  // namespace
}  // namespace x11sa
