// The forecaster: closed forms of simple models, the log bias correction and
// the limits of the exponential, fitted values and residuals over the data,
// forecast origins before the end, gaps.
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "arima/engine.h"
#include "arima_support.h"

namespace x11sa {
namespace {

ModelFit make(std::vector<double>& y, int p, int dif, int q, int noconst) {
  ModelFit rec;
  rec.p = p;
  rec.dif = dif;
  rec.q = q;
  rec.period = 12;
  rec.noconst = noconst;
  rec.x = y.data();
  rec.n = static_cast<long>(y.size());
  return rec;
}

const std::vector<double> kWalk = {10.0, 10.8, 10.3, 11.2, 10.6, 10.1, 10.9, 11.5, 10.8, 11.3,
                                   12.0, 11.4, 11.0, 11.7, 12.2, 11.6, 11.1, 11.9, 12.4, 11.8};

// ARIMA(0,1,1): every forecast is y_n - theta e_n, with standard errors
// sigma sqrt(1 + (h - 1)(1 - theta)^2) and psi weights 1, 1 - theta, ...
TEST(ArimaForecast, IntegratedMovingAverageClosedForm) {
  std::vector<double> y = kWalk;
  ModelFit rec = make(y, 0, 1, 1, 1);
  ASSERT_EQ(estimate_model(rec), kTsOk);
  const double theta = 0.6, sigma2 = 0.25;
  *rec.model->parms.value[0] = theta;
  rec.model->variance = sigma2;
  rec.lead = 5;
  ASSERT_EQ(forecast_model(rec), kTsOk);  // conditional: the model was fitted by CLS
  double e = 0;  // shocks before the first difference are 0
  for (std::size_t t = 1; t < y.size(); ++t) {
    const double fitted = y[t - 1] - theta * e;
    EXPECT_NEAR(rec.xfor[t], fitted, 1e-12) << t;
    EXPECT_NEAR(rec.res[t], y[t] - fitted, 1e-12) << t;
    EXPECT_NEAR(rec.std[t], std::sqrt(sigma2), 1e-12);
    e = y[t] - fitted;
  }
  EXPECT_TRUE(is_missing(rec.xfor[0]) && is_missing(rec.res[0]));
  const double level = y.back() - theta * e;
  for (int h = 1; h <= 5; ++h) {
    EXPECT_NEAR(rec.xfor[19 + h], level, 1e-12);
    EXPECT_NEAR(rec.std[19 + h], std::sqrt(sigma2 * (1 + (h - 1) * (1 - theta) * (1 - theta))), 1e-12);
    EXPECT_TRUE(is_missing(rec.res[19 + h]));
  }
  EXPECT_DOUBLE_EQ(rec.psi[0], 1.0);
  for (int j = 1; j < 25; ++j) EXPECT_NEAR(rec.psi[j], 1 - theta, 1e-15);
}

// AR(1) with a mean and no differencing, by the Kalman filter: forecasts
// mu + phi^h (y_n - mu), variances sigma^2 sum_{j<h} phi^(2j).
TEST(ArimaForecast, StationaryArOneByKalmanFilter) {
  std::vector<double> y = {5.2, 4.1, 4.8, 6.0, 5.5, 4.2, 4.6, 5.9, 6.3, 5.1, 4.4, 4.9, 5.6, 5.8, 4.7, 4.3};
  ModelFit rec = make(y, 1, 0, 0, 0);
  rec.emethod = kTsMl;
  ASSERT_EQ(estimate_model(rec), kTsOk);
  const double mu = 5.0, phi = 0.4, sigma2 = 0.5;
  *rec.model->parms.value[0] = mu;
  *rec.model->parms.value[1] = phi;
  rec.model->variance = sigma2;
  rec.lead = 6;
  ASSERT_EQ(forecast_model(rec), kTsOk);
  EXPECT_EQ(rec.forst->method, kTsForKalman);
  // The first value's prediction is the mean with the stationary variance.
  EXPECT_NEAR(rec.xfor[0], mu, 1e-12);
  EXPECT_NEAR(rec.std[0], std::sqrt(sigma2 / (1 - phi * phi)), 1e-12);
  for (int t = 1; t < 16; ++t) EXPECT_NEAR(rec.xfor[t], mu + phi * (y[t - 1] - mu), 1e-12);
  double var = 0;
  for (int h = 1; h <= 6; ++h) {
    var += sigma2 * std::pow(phi, 2 * (h - 1));
    EXPECT_NEAR(rec.xfor[15 + h], mu + std::pow(phi, h) * (y[15] - mu), 1e-12);
    EXPECT_NEAR(rec.std[15 + h], std::sqrt(var), 1e-12);
  }
}

// Log forecasts are the lognormal means exp(f + s^2 / 2) of the forecasts f,
// s of the same model on the logged series.
TEST(ArimaForecast, LogForecastsAreBiasCorrected) {
  std::vector<double> y = testing::load_series("airline.csv");
  std::vector<double> logged(y.size());
  for (std::size_t t = 0; t < y.size(); ++t) logged[t] = std::log(y[t]);
  ModelFit a = make(y, 0, 1, 1, 1), b = make(logged, 0, 1, 1, 1);
  for (ModelFit* r : {&a, &b}) {
    r->sdif = r->sq = 1;
    r->emethod = kTsMl;
    r->lead = 24;
  }
  a.tranopt = kTrLog;
  ASSERT_EQ(estimate_model(a), kTsOk);
  ASSERT_EQ(estimate_model(b), kTsOk);
  ASSERT_EQ(forecast_model(a), kTsOk);
  ASSERT_EQ(forecast_model(b), kTsOk);
  for (long t = 13; t < 168; ++t) {
    const double s = b.std[t];
    EXPECT_NEAR(a.xfor[t], std::exp(b.xfor[t] + 0.5 * s * s), 1e-9 * a.xfor[t]) << t;
    EXPECT_NEAR(a.std[t], std::exp(b.xfor[t] + 0.5 * s * s) * std::sqrt(std::expm1(s * s)), 1e-9 * a.std[t]);
  }
  EXPECT_GT(a.xfor[150], std::exp(b.xfor[150]));
}

// Exponents at or above 709.78 have no double: missing forecasts and code 11;
// at or below -708.4 the forecast is 0.
TEST(ArimaForecast, ExponentialLimits) {
  for (double base : {706.0, -705.0}) {
    std::vector<double> y;
    const double drift = base > 0 ? 0.15 : -0.15;
    for (int t = 0; t < 20; ++t) y.push_back(std::exp(base + drift * t + 0.01 * ((t * 7) % 5)));
    ModelFit rec = make(y, 0, 1, 0, 0);
    rec.tranopt = kTrLog;
    rec.lead = 30;
    ASSERT_EQ(estimate_model(rec), kTsOk);
    const int rc = forecast_model(rec);
    if (base > 0) {
      EXPECT_EQ(rc, kTsCapability);
      EXPECT_FALSE(is_missing(rec.xfor[20]));
      EXPECT_TRUE(is_missing(rec.xfor[49]));
      EXPECT_TRUE(is_missing(rec.std[49]));
    } else {
      EXPECT_EQ(rc, kTsOk);
      EXPECT_EQ(rec.xfor[49], 0.0);
    }
  }
}

// Forecasting from an earlier origin is forecasting the shortened series.
TEST(ArimaForecast, EarlierOriginEqualsShorterSeries) {
  std::vector<double> y = testing::load_series("airline.csv");
  std::vector<double> first(y.begin(), y.begin() + 120);
  ModelFit full = make(y, 0, 1, 1, 1), part = make(first, 0, 1, 1, 1);
  for (ModelFit* r : {&full, &part}) {
    r->sdif = r->sq = 1;
    r->tranopt = kTrLog;
    r->emethod = kTsMl;
  }
  ASSERT_EQ(estimate_model(full), kTsOk);
  ASSERT_EQ(estimate_model(part), kTsOk);
  // Same parameters and variance in both.
  for (int i = 0; i < 2; ++i) *part.model->parms.value[i] = *full.model->parms.value[i];
  part.model->variance = full.model->variance;
  full.multstep = 120;
  full.lead = 12;
  part.lead = 36;
  ASSERT_EQ(forecast_model(full), kTsOk);
  ASSERT_EQ(forecast_model(part), kTsOk);
  EXPECT_EQ(full.forst->multstep, 120);
  for (long t = 13; t < 132; ++t) {
    EXPECT_NEAR(full.xfor[t], part.xfor[t], 1e-9 * part.xfor[t]) << t;
    EXPECT_NEAR(full.std[t], part.std[t], 1e-9 * part.std[t]) << t;
  }
  // Residuals against the data for the multi-step forecasts too.
  EXPECT_NEAR(full.res[125], y[125] - full.xfor[125], 1e-12);
}

TEST(ArimaForecast, GapsNoLeadAndUntransformableData) {
  std::vector<double> y = testing::load_series("airline.csv");
  y[100] = kMissing;
  ModelFit rec = make(y, 0, 1, 1, 1);
  rec.sdif = rec.sq = 1;
  rec.tranopt = kTrLog;
  rec.emethod = kTsMl;
  ASSERT_EQ(estimate_model(rec), kTsOk);
  rec.lead = 0;  // no forecasts after the data
  ASSERT_EQ(forecast_model(rec), kTsOk);
  EXPECT_EQ(rec.forst->lead, 0);
  EXPECT_EQ(rec.forst->multstep, 144);
  EXPECT_FALSE(is_missing(rec.xfor[100]));  // the gap has a forecast,
  EXPECT_TRUE(is_missing(rec.res[100]));    // but no residual
  EXPECT_FALSE(is_missing(rec.xfor[113]));  // and later values that lag it too
  EXPECT_FALSE(is_missing(rec.xfor[143]));
  // Data that cannot be transformed any more: the set-up's code 2.
  y[101] = -1.0;
  EXPECT_EQ(forecast_model(rec), kTsTransform);
}

}  // namespace
}  // namespace x11sa
