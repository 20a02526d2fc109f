// Helpers shared by the engine's source files.
#pragma once

#include <span>

#include "arima/engine.h"

namespace x11sa::detail {

// Result of one evaluation of the residuals.
struct Evaluation {
  double sse = 0;        // sum of squared (standardised) residuals
  double logdet = 0;     // log-determinant of the covariance (exact methods)
  double objective = 0;  // the sum of squares minimised
  double scale = 1;      // factor applied to the residuals (maximum likelihood)
  long residual_count = 0;
};

// Sizes every work array of the model for a series; 4 on memory failure.
int work_setup(EngineContext* context, ModelRecord* model, const SeriesRecord& series);
// Dense product polynomials of the factors into work.ar and work.ma.
void load_polynomials(ModelRecord* model);
// The MA and AR product factors (lags that can be non-zero, current values).
void update_products(ModelRecord* model);
// Kalman filter over the first `nuse` values of the working series of
// `series` (the model's own in kalman_residuals); leaves the one-step
// predictions of w - mu and their variances in work.one_step and work.one_step_variance, and
// the state after the last value in work.state and work.state_cov.
int kalman_filter(ModelRecord* model, const SeriesRecord& series, long nuse, std::span<double> res, double* sse,
                  double* logdet, long* numres);
// Conditional residuals of `series`; missing values of w are replaced by their
// prediction in work.w.
int conditional_filter(ModelRecord* model, const SeriesRecord& series, long nuse, std::span<double> res, double* sse,
                       long* numres);
// Residuals of the current parameters: zeros where none is computed, and
// scaled for maximum likelihood. The return code is the engine's.
int evaluate(ModelRecord* model, std::span<double> res, Evaluation* ev);
// Whether the residual at position t of the working series enters the objective.
[[nodiscard]] bool residual_used(const ModelRecord* model, long t);
// Stationarity and invertibility of the current factors (9 when not).
int check_stable(ModelRecord* model);
// ARMA autocovariances gam[0..nlag] (unit innovation variance), psi weights
// psi[0..npsi) and the covariances c_k = cov(w_t, MA part at t + k), k = 0..Q,
// from the dense polynomials work.ar (degree P) and work.ma (degree Q).
int arma_moments(ModelRecord* model, int nlag, int npsi);
// The scale of parameter i: the size below which changes count as absolute.
[[nodiscard]] double parameter_scale(const ModelRecord* model, int i);

}  // namespace x11sa::detail

namespace x11sa::detail {

// True when the working series does not vary: its standard deviation is not
// above `singular` times the size of the transformed values.
[[nodiscard]] bool zero_variance(const SeriesRecord& ts, double singular);

}  // namespace x11sa::detail
