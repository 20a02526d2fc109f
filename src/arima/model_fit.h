// One seasonal ARIMA model fitted to a series: the orders, the
// transformation and the options of the estimation, and, once estimated and
// forecast, the engine's records with the forecasts. The extension and the
// automatic choice fit their models through these two entry points.
#pragma once

#include <memory>

#include "arima/engine.h"

namespace x11sa {

struct ModelFit {
  int p = 0, sp = 0, q = 0, sq = 0;
  int dif = 0, sdif = 0;
  int period = 12;
  int nlags = 0;  // lags of the residual checks; 0 for the engine's 24
  const double* x = nullptr;  // the series, n values; not owned
  long n = 0;
  int transform_kind = kTrNone;
  double shift = 0, power = 0;  // the power transform (x + shift) ** power
  int no_constant = 0;
  int center = 0;
  char estimation_method = kTsCls;
  double singular = 0;
  char stop_rule = 0, startup = 0;
  int startup_iterations = 0;  // 0 the default 4, negative none
  double converge = 0, delta = 0;
  int max_iterations = 0;
  char forecast_method = 0;  // 0 follows the estimation method
  long start = 0, origin = 0, lead = 0;
  // After the forecast: origin + lead values each, indexed like the series.
  double* psi = nullptr;
  double* forecasts = nullptr;
  double* std_errors = nullptr;
  double* residuals = nullptr;
  EngineContext* context = nullptr;
  ModelRecord* model = nullptr;
  ForecastRecord* forecast = nullptr;
  // Keeps the context the first estimation created alive; fits that share
  // another fit's context copy it.
  std::shared_ptr<EngineContext> context_owner;
};

// Estimates the model; the engine's return code. The context's model tree
// keeps one model per fit (keyed by its address), so estimating a fit again
// re-estimates the same model. `itfun` is called after each stage when
// `printit` is set.
int estimate_model(ModelFit& fit, StageCallback itfun = nullptr, int printit = 0);
// Fitted values and forecasts of an estimated model (lead values after the
// origin, the end of the data unless `origin` says otherwise); the code.
int forecast_model(ModelFit& fit);

}  // namespace x11sa
