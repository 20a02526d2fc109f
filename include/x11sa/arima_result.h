// What the ARIMA extension of a series did, as the library returns it:
// whether the series was extended (or why not), the model with its
// transform, the estimates with their fit statistics and residual checks,
// the acceptance criteria of the chosen model, the forecasts and backcasts.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "x11sa/missing.h"
#include "x11sa/options.h"

namespace x11sa {

// How an estimation or a forecast ended.
enum class ArimaCode {
  Ok,
  InvalidArgument,
  CannotTransform,  // a log or power transform met a value it cannot take
  TooFewData,
  NoMemory,
  ZeroVariance,
  Singular,
  IterationLimit,
  NoImprovement,
  Unstable,  // unstable or overflowing estimates
  ParametersGiven,  // nothing was estimated
  CapabilityExceeded,
  Stalled,  // the sum of squares stopped changing
};

// What decides that the estimates have converged.
enum class ArimaStopRule { ParameterChange, ObjectiveChange, LargestGradient, RSquareChange };

// A lag polynomial factor 1 - sum c_j B^lag_j.
struct LagFactor {
  std::vector<int> lags;
  std::vector<double> coefficients;
};

struct ArimaParameter {
  std::string name;  // "MU", "MA1,1", "AR2,12", ...
  double estimate = kMissing;
  double std_error = kMissing;    // missing where none was computed
  double t_value = kMissing;      // missing without a positive standard error
  double probability = kMissing;  // of |t| under the null, two-sided
  int lag = 0;
};

// The Ljung-Box check of the residuals up to one lag, with the six
// autocorrelations of the residuals that end there (missing beyond those computed).
struct LjungBoxCheck {
  int lag = 0;
  double chi_square = kMissing;
  int df = 0;
  double probability = kMissing;
  std::array<double, 6> correlations{kMissing, kMissing, kMissing, kMissing, kMissing, kMissing};
};

// An estimated model: how the estimation converged, the model with its
// factors, the parameter estimates with the fit statistics and the checks
// of the residuals.
struct ArimaEstimates {
  // Convergence.
  ArimaMethod method = ArimaMethod::Cls;
  ArimaStopRule stop_rule = ArimaStopRule::ParameterChange;
  double stopping_value = 0;   // CONVERGE=
  double criterion_value = 0;  // what the stopping rule measured last
  double marquardt_lambda = 0;
  double delta = 0;  // perturbation of the numerical derivatives
  int iterations = 0;
  double objective = 0;  // log likelihood (maximum likelihood) or sum of squares
  ArimaCode code = ArimaCode::Ok;
  // The model.
  ArimaTransform transform;          // as applied: a power of 0 is a log
  std::vector<int> differencing;     // the lag of each difference
  bool has_mean = true;
  double mean = 0;
  double constant = 0;
  std::vector<LagFactor> ar_factors, ma_factors;
  double variance = 0;
  // Estimates and fit.
  std::vector<ArimaParameter> parameters;
  double aic = 0, sbc = 0;
  long residuals = 0;
  std::vector<LjungBoxCheck> ljung_box;  // every sixth lag
};

// The acceptance criteria of a candidate of the automatic choice.
struct ArimaCriteria {
  // Mean absolute percentage errors of the one-step forecasts in the last
  // three years, year by year (the oldest first) and over all three.
  std::array<double, 3> mape_by_year{kMissing, kMissing, kMissing};
  double mape = kMissing;
  // The Ljung-Box test at lag 24 (8 for quarterly series).
  double chi_square = kMissing;
  int chi_df = 0;
  double chi_probability = kMissing;
  // Over-differencing: the sum of the first moving-average factor's
  // coefficients or the seasonal coefficient, the larger.
  double overdifferencing = kMissing;
};

enum class CandidateResult { Estimated, EstimationFailed, ForecastFailed };

enum class ArimaStatus {
  Extended,         // forecasts (and backcasts) extend the series
  NoModelAccepted,  // no candidate met the criteria
  NotEstimated,     // the model, or every candidate, could not be estimated or forecast
  BackcastFailed,   // forecasts were made, the backcasts failed
  InternalError,    // the engine stopped on a fault of its own; the last message says which
  SeriesTooShort,   // not tried: the automatic choice needs five years of observations
};

struct ArimaSummary {
  ArimaStatus status = ArimaStatus::NotEstimated;
  ArimaModel model;  // the user's, or the one the automatic choice took
  ArimaTransform transform;
  // The estimates of the model used (the user's model has them once
  // estimated, even when its forecast failed).
  std::optional<ArimaEstimates> estimates;
  // The acceptance criteria of the chosen model (automatic choice only).
  std::optional<ArimaCriteria> criteria;
  // After the last observation and before the first, in time order; empty
  // when the series was not extended.
  std::vector<double> forecasts;
  std::vector<double> backcasts;

  [[nodiscard]] bool extended() const noexcept { return status == ArimaStatus::Extended; }
};

}  // namespace x11sa
