// The forecaster: closed forms of simple models with their fitted values,
// residuals, standard errors and psi weights. (The log bias correction is
// checked against the reference forecasts.)
#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "arima/model_fit.h"

namespace x11sa {
namespace {

ModelFit make(std::vector<double>& y, int p, int dif, int q, int noconst) {
  ModelFit rec;
  rec.p = p;
  rec.dif = dif;
  rec.q = q;
  rec.no_constant = noconst;
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
  *rec.model->params.slots[0] = theta;
  rec.model->variance = sigma2;
  rec.lead = 5;
  ASSERT_EQ(forecast_model(rec), kTsOk);  // conditional: the model was fitted by CLS
  double e = 0;  // shocks before the first difference are 0
  for (std::size_t t = 1; t < y.size(); ++t) {
    const double fitted = y[t - 1] - theta * e;
    EXPECT_NEAR(rec.forecasts[t], fitted, 1e-12) << t;
    EXPECT_NEAR(rec.residuals[t], y[t] - fitted, 1e-12) << t;
    EXPECT_NEAR(rec.std_errors[t], std::sqrt(sigma2), 1e-12);
    e = y[t] - fitted;
  }
  EXPECT_TRUE(is_missing(rec.forecasts[0]) && is_missing(rec.residuals[0]));
  const double level = y.back() - theta * e;
  for (int h = 1; h <= 5; ++h) {
    EXPECT_NEAR(rec.forecasts[19 + h], level, 1e-12);
    EXPECT_NEAR(rec.std_errors[19 + h], std::sqrt(sigma2 * (1 + (h - 1) * (1 - theta) * (1 - theta))), 1e-12);
    EXPECT_TRUE(is_missing(rec.residuals[19 + h]));
  }
  EXPECT_DOUBLE_EQ(rec.psi[0], 1.0);
  for (int j = 1; j < 25; ++j) EXPECT_NEAR(rec.psi[j], 1 - theta, 1e-15);
}

// AR(1) with a mean and no differencing, by the Kalman filter: forecasts
// mu + phi^h (y_n - mu), variances sigma^2 sum_{j<h} phi^(2j).
TEST(ArimaForecast, StationaryArOneByKalmanFilter) {
  std::vector<double> y = {5.2, 4.1, 4.8, 6.0, 5.5, 4.2, 4.6, 5.9, 6.3, 5.1, 4.4, 4.9, 5.6, 5.8, 4.7, 4.3};
  ModelFit rec = make(y, 1, 0, 0, 0);
  rec.estimation_method = kTsMl;
  ASSERT_EQ(estimate_model(rec), kTsOk);
  const double mu = 5.0, phi = 0.4, sigma2 = 0.5;
  *rec.model->params.slots[0] = mu;
  *rec.model->params.slots[1] = phi;
  rec.model->variance = sigma2;
  rec.lead = 6;
  ASSERT_EQ(forecast_model(rec), kTsOk);
  EXPECT_EQ(rec.forecast->method, kTsForKalman);
  // The first value's prediction is the mean with the stationary variance.
  EXPECT_NEAR(rec.forecasts[0], mu, 1e-12);
  EXPECT_NEAR(rec.std_errors[0], std::sqrt(sigma2 / (1 - phi * phi)), 1e-12);
  for (int t = 1; t < 16; ++t) EXPECT_NEAR(rec.forecasts[t], mu + phi * (y[t - 1] - mu), 1e-12);
  double var = 0;
  for (int h = 1; h <= 6; ++h) {
    var += sigma2 * std::pow(phi, 2 * (h - 1));
    EXPECT_NEAR(rec.forecasts[15 + h], mu + std::pow(phi, h) * (y[15] - mu), 1e-12);
    EXPECT_NEAR(rec.std_errors[15 + h], std::sqrt(var), 1e-12);
  }
}

}  // namespace
}  // namespace x11sa
