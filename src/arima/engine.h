// The ARIMA engine: records of one engine context (series, models, forecasts)
// and the routines that transform a series, estimate a seasonal ARIMA model
// and forecast it.
//
// Lag polynomials are written 1 - sum c_j B^lag_j on both sides: the AR side
// phi(B), the MA side theta(B), so the model is
//   phi(B) (w_t - mu) = theta(B) a_t,   w = (1 - B)^d (1 - B^s)^D y.
#pragma once

#include <algorithm>
#include <cstddef>
#include <map>
#include <memory>
#include <new>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "x11sa/missing.h"

namespace x11sa {

// Engine return codes, shared by the fits, the engine and the forecaster.
inline constexpr int kTsOk = 0;
inline constexpr int kTsInvalid = 1;       // invalid argument
inline constexpr int kTsTransform = 2;     // a value cannot be transformed
inline constexpr int kTsFewData = 3;       // insufficient data
inline constexpr int kTsMemory = 4;        // memory problem
inline constexpr int kTsZeroVar = 5;       // zero variance
inline constexpr int kTsSingular = 6;      // singularity encountered
inline constexpr int kTsMaxIter = 7;       // iteration limit exceeded
inline constexpr int kTsNoImprove = 8;     // no improvement of the objective
inline constexpr int kTsUnstable = 9;      // instability or overflow
inline constexpr int kTsGiven = 10;        // nothing estimated, parameters given
inline constexpr int kTsCapability = 11;   // capabilities of the algorithm exceeded
inline constexpr int kTsStalled = 12;      // sum of squares unchanged 5 times

// Estimation methods (ModelRecord::method).
inline constexpr char kTsCls = 0;
inline constexpr char kTsUls = 1;
inline constexpr char kTsMl = 2;

// Forecast methods (ForecastRecord::method).
inline constexpr char kTsForConditional = 1;
inline constexpr char kTsForKalman = 2;

// Transformation types (SeriesRecord::transform_kind).
inline constexpr int kTrNone = 0;
inline constexpr int kTrLog = 1;
inline constexpr int kTrBoxCox = 2;
inline constexpr int kTrPower = 3;

// Steps of SeriesRecord::steps.
inline constexpr int kStepTransform = 1;
inline constexpr int kStepDifference = 2;
inline constexpr int kStepCentre = 3;

// One lag polynomial factor 1 - sum coefficients[j] B^lags[j].
struct LagPolynomial {
  int terms = 0;                     // number of coefficients
  std::vector<int> lags;             // ascending
  std::vector<double> coefficients;  // one per lag
};

// A numbered message the engine raised, with its arguments, kept for the
// caller to report: set 267 for the procedure's messages, 499 for the
// engine's own, 0 for the host's (number 1 the memory message with the
// deficit, number 2 an internal error with its text).
struct EngineMessage {
  int set = 0;
  int number = 0;
  std::vector<std::variant<long, double, std::string>> args;
};

struct SeriesRecord;
struct ModelRecord;
struct ForecastRecord;

// Models registered in one context, keyed by the fit they belong to.
struct ModelRegistry {
  std::map<const void*, ModelRecord*> nodes;
};

// Owner of everything a context creates; contexts copied from one another
// share it, as they would share a memory pool.
struct EngineStore {
  std::vector<std::unique_ptr<ModelRecord>> models;
  std::vector<std::unique_ptr<SeriesRecord>> series;
  std::vector<std::unique_ptr<ForecastRecord>> forecasts;
  ModelRegistry tree;
  std::size_t limit = 0;  // bytes the context may take for its arrays; 0 no limit
  std::size_t used = 0;   // bytes taken so far
};

// The engine context. Copying it copies the handles: the copy sees the same
// models, series and forecast records.
struct EngineContext {
  std::shared_ptr<EngineStore> store;
  long memory_deficit = 0;  // bytes that could not be allocated
  int code = 0;             // last return code (kTs...)
  SeriesRecord* series = nullptr;      // the current records
  ModelRecord* model = nullptr;
  ForecastRecord* forecast = nullptr;
  ModelRegistry* registry = nullptr;  // the store's
  std::vector<EngineMessage> messages;
};

// The series and its working form.
struct SeriesRecord {
  long n = 0;                    // values in `data`
  const double* data = nullptr;  // the caller's values, not owned
  std::vector<double> transformed;  // transformed values of the span [span_start, span_start + span_length)
  std::vector<double> working;      // after every step of `steps`
  std::vector<double> autocorr, partial_autocorr, inverse_autocorr;  // of the working series, lags 1..
  std::vector<long> autocorr_pairs;  // pairs behind each autocorrelation
  int nlags = 0;                     // lags of the autocorrelations and checks
  long span_start = 0, span_length = 0, span_present = 0;  // first to last present value; values present in it
  long working_start = 0, working_length = 0, working_present = 0;  // the same for the working series
  int transform_kind = kTrNone;
  double mu = 0, sigma = 1;  // centring: shift and scale
  double power = -1;         // power of the transform; -1 untransformed
  double shift = 0;          // added to the values before the transform
  int difference_count = 0;
  std::vector<int> differences;  // total lag, then the lag of each difference
  int steps[4] = {};             // kStep..., 0-terminated
  double mean = 0, variance = 0, std = 0;  // of the span, before transformation
  double working_mean = 0, working_variance = 0, working_std = 0;
  std::vector<double> ljung_box_stat;  // white-noise check of the working series, lags 1..
  std::vector<int> ljung_box_df;       // degrees of freedom of each
  int ljung_box_lags = 0;
};

// Parameters of a model, in the order mu, MA factor by factor, AR likewise.
struct ParameterList {
  std::vector<std::string> names;   // "MU", "MA1,1", "AR2,12", ...
  std::vector<double*> slots;       // where each parameter lives
  std::vector<double> estimates, previous, std_errors;  // previous: before the last step
  std::vector<int> factor, lags;    // factor number (1-based) and lag
  std::vector<double> correlations;  // of the estimates, row-major
};

// Optimiser options and counters.
struct OptimizerState {
  char stop_rule = 0;  // 0 relative parameter change, 1 relative objective change,
                       // 2 largest gradient, 3 R-square change
  double converge = 0.001;  // the stopping value of the rule
  double objective = 0, previous_objective = 0;  // sum of squares minimised
  char startup = 0;  // 0 starting values computed, 2 given and no start-up stage
  int startup_iterations = 4;  // limit of the conditional start-up stage
  // Measures of the last step, one per stopping rule.
  double parameter_change = 0, objective_change = 0, max_gradient = 0, r_square = 0;
  int max_iterations = 15;
  double damping = 0;      // the last step scaled the diagonal by 1 + damping
  double delta = 0.001;    // relative step of the numerical derivatives
  int iterations = 0, stage_iterations = 0, damping_trials = 0;
};

// Work arrays of the estimation and forecasting loops, sized once per run.
struct ModelWorkspace {
  std::vector<double> res, trial, lower, w;  // residual vectors; w the working series less mu
  std::vector<double> jacobian;  // one column of residual derivatives per parameter
  std::vector<double> cross;     // normal equations and a working copy
  std::vector<double> theta, oldtheta, step;
  std::vector<double> saved;  // starting and first estimates of a retried fit
  std::vector<double> ar, ma;          // dense product polynomials (index = lag)
  std::vector<int> ar_lags, ma_lags;   // their non-zero lags
  std::vector<double> autocov, psi;    // ARMA autocovariances and psi weights
  std::vector<double> ma_cov;          // cov(w_t, MA part at t + k)
  std::vector<double> moment_system;   // linear system of the autocovariances
  std::vector<double> state_cov, state, rowsave;  // Kalman filter
  std::vector<double> band, z;                    // banded Cholesky
  std::vector<double> one_step, one_step_variance;  // one-step forecasts and variances
  std::vector<double> poly;                         // stability tests
  int ar_lag_count = 0, ma_lag_count = 0;           // entries used in ar_lags, ma_lags
};

struct ModelRecord {
  ModelRecord() = default;
  ModelRecord(const ModelRecord&) = delete;
  ModelRecord& operator=(const ModelRecord&) = delete;

  char method = kTsCls;
  ParameterList params;
  std::vector<LagPolynomial> ma_factors, ar_factors;
  LagPolynomial ma_product, ar_product;  // products of the factors
  int ma_degree = 0, ar_degree = 0;      // largest MA and AR lags
  int difference_count = 0;
  std::vector<int> differences;  // as in the series record
  double mu = 0;                 // the mean parameter
  double constant = 0;
  char center = 0;
  char no_constant = 0;
  int parameter_count = 0;
  SeriesRecord* series = nullptr;
  long residual_count = 0;
  std::vector<double> residuals;  // on the working series' positions; missing where none
  char use_kalman = 0;            // exact residuals by the Kalman filter even without gaps
  char skip_stability_check = 0;  // let iterates leave the stationary and invertible region
  double singular = 1e-7;         // relative size below which a pivot or the variance counts as zero
  double mean = 0;                // of the working series
  double variance = 0;            // innovation variance
  char no_df_correction = 0;      // divide by the residual count, not less the parameters
  std::vector<double> ljung_box_stat;  // Ljung-Box statistics, lags 1..
  std::vector<int> ljung_box_df;
  int ljung_box_lags = 0;
  double aic = 0, sbc = 0, sse = 0, loglik = 0, logdet = 0;
  std::vector<double> autocorr, partial_autocorr, inverse_autocorr;  // residual correlations
  std::vector<long> autocorr_pairs;
  int nlags = 0;
  OptimizerState optimizer;
  int code = 0;  // of the last estimation
  ModelWorkspace work;
};

// The forecast record: arrays indexed like the series, origin + lead long.
struct ForecastRecord {
  ModelRecord* model = nullptr;
  SeriesRecord* series = nullptr;  // the series forecast; the model's when null
  char method = kTsForConditional;
  std::vector<double> block;  // psi, forecasts, std_errors and residuals, one after the other
  double* psi = nullptr;
  double* forecasts = nullptr;
  double* std_errors = nullptr;
  double* residuals = nullptr;
  long start = 0;   // first position with a fitted value
  long origin = 0;  // first position forecast from the data before it
  long lead = 0;    // forecasts after the origin
  std::vector<double> work;  // working-scale values of the forecaster
};

// --- context and records -----------------------------------------------------

// Creates a context with its first model and series; the return code.
int init_engine_context(EngineContext* context);
// Add a model, a series or a forecast record, which becomes the current one;
// the return code.
int add_model_record(EngineContext* context);
int add_series_record(EngineContext* context);
int add_forecast_record(EngineContext* context);
// The model tree: register_model files a model under a key (the return
// code), find_registered_model gives it back (nullptr when none is filed).
int register_model(ModelRegistry* tree, const void* key, ModelRecord* model);
[[nodiscard]] ModelRecord* find_registered_model(const ModelRegistry* tree, const void* key);
// Records an engine message for the caller.
void engine_message(EngineContext* context, int set, int number,
                    std::vector<std::variant<long, double, std::string>> args = {});
// Reports an invalid argument to routine `where`; returns rc.
int report_invalid_argument(EngineContext* context, int rc, const char* where);
// Sizes an array of the context, accounting for it; 4 on failure (with the
// deficit added, the memory message recorded and the context's rc set).
template <class T>
int resize_tracked(EngineContext* context, std::vector<T>& v, std::size_t n);

// A factor of zero coefficients with lags 1..p (non-seasonal) or period,
// 2 period, ..., p period (seasonal) into *filt, empty for p < 1; the return
// code.
int make_nonseasonal_factor(EngineContext* context, LagPolynomial* filt, int p);
int make_seasonal_factor(EngineContext* context, LagPolynomial* filt, int p, int period);

// --- polynomials ---------------------------------------------------------------

// Shrink factor of one factor: 1 when stationary (invertible); otherwise the
// factor r < 1 such that the coefficients c_j r^lag_j lie just inside.
[[nodiscard]] double stability_shrink_factor(const LagPolynomial& filt, std::span<double> work);
// Checks the num factors of filt: 9 when one is not stationary (invertible),
// else 0; with code 1 such a factor is shrunk to the boundary instead and 0
// is returned.
int check_or_shrink_factors(int num, LagPolynomial* filt, int code, std::span<double> work);
// Moves the roots of a factor that lie on, inside or within about 1 % outside
// the unit circle (in B^g, g the common divisor of its lags) to modulus 1/0.9,
// reflecting explosive ones first; the other roots stay. False, with the
// factor unchanged, when no root had to move or the factor lacks one of the
// lags g, 2g, ... up to its largest.
bool pull_from_boundary(LagPolynomial& filt);
// Product of the factors into a dense polynomial (index = lag, coefficient of
// 1 - sum): poly.size() must exceed the sum of the largest lags.
void product_polynomial(std::span<const LagPolynomial> factors, std::span<double> poly);
// Sum of the largest lags of the factors.
[[nodiscard]] int product_degree(std::span<const LagPolynomial> factors);
// The constant mu * prod (1 - sum phi_j) over the AR factors.
[[nodiscard]] double model_constant(double mu, std::span<const LagPolynomial> arfac);
// Psi weights of the current model (with its differencing when diflg) into
// psi[0..np); the return code.
int psi_weights(EngineContext* context, double* psi, long np, int diflg);

// --- transformation --------------------------------------------------------------

// Transforms x[0..n) into y by `flag` (kTr...): unchanged, log(x + addcon),
// ((x + addcon)^lambda - 1) / lambda or (x + addcon)^lambda. Returns 0, 1 for
// an unknown flag, or 2 when some value cannot be transformed (it becomes
// missing).
int apply_transform(const double* x, double* y, long n, double lambda, double addcon, int flag);
// y = (x - mu) / sigma, missing values staying missing.
void centre_and_scale(const double* x, double* y, long n, double mu, double sigma);
// Applies the differences of lags `lags` to x[0..n) in place: the
// differenced value of position t + lag goes to t. Returns the length left,
// n less each lag (not below 0).
[[nodiscard]] long difference_in_place(double* x, long n, std::span<const int> lags);
// Back to the scale of the series: the forecasts x[0..n) into y (after a log
// transform the mean of the lognormal variable), their standard errors std
// (when given) in place. Returns 0, 1 for an unknown flag, or 11 when some value cannot be
// transformed back (it becomes missing).
int invert_transform(double* x, double* y, double* std, long n, double lambda, double addcon, int flag);
// Span from the first to the last present value of a series.
struct ObservedSpan {
  long start = 0;    // position of the first present value
  long length = 0;   // 0 when no value is present
  long present = 0;  // present values in the span
};
[[nodiscard]] ObservedSpan find_observed_span(std::span<const double> x);
// The working series of a series record: its span transformed, differenced
// and centred in the order of series->steps, with the statistics and
// autocorrelations of the result. The return code (2 when some value could
// not be transformed, 3 when no value is left).
int build_working_series(EngineContext* context, SeriesRecord* tseries);
// Autocorrelations (about the mean, over the pairs present), partial and
// inverse autocorrelations of x for lags 1..nlags.
void autocorrelation_functions(std::span<const double> x, int nlags, std::vector<double>& corr,
                               std::vector<long>& dfcorr, std::vector<double>& pcorr,
                               std::vector<double>& icorr);

// --- linear algebra -----------------------------------------------------------------

// Sweeps the symmetric n x n matrix a (row-major, lda) on pivot k. Returns
// false when the pivot is not above tol times its original value `orig`.
bool sweep_pivot(double* a, int n, int lda, int k, double orig, double tol);
// Makes the autocovariances gam[0..k] positive definite by damping; returns
// the number of dampings done.
int damp_to_positive_definite(std::span<double> gam);

// --- estimation ----------------------------------------------------------------------

// The parameter list of a model (mu, then the MA and the AR coefficients),
// its product factors and work arrays; 10 when there is no parameter to
// estimate, else the return code.
int setup_parameters(EngineContext* context, ModelRecord* model);
// Starting values of the current model's factors of orders p, q (lags 1, 2,
// ...) and sp, sq (multiples of the period) from the sample autocovariances
// of its working series, and of its mean term; the return code.
int compute_starting_values(EngineContext* context, int p, int q, int sp, int sq, int period);
using StageCallback = void (*)(EngineContext* context);
// Estimates the current model (a conditional start-up stage unless the method
// is conditional or the options skip it, then the model's method) with the
// statistics of the fit; `itfun` is called at the start of each stage when
// printit is 1. The return code.
int estimate_parameters(EngineContext* context, StageCallback itfun, int printit);
// Residuals (into res, sized to the working series) and objective of the
// model's current parameters by its method; the return code.
int evaluate_residuals(EngineContext* context, ModelRecord* model, std::span<double> res, double* obj);
// Conditional residuals (zero before the largest AR lag), their sum of
// squares and count; the return code.
int conditional_residuals(ModelRecord* model, std::span<double> res, double* sse, long* numres);
// Exact residuals by kalman_residuals when the series has gaps or the model
// asks for it, else by cholesky_residuals; 9 for an unstable model or an
// unusable likelihood, 3 when no residual is left.
int exact_likelihood_residuals(ModelRecord* model, std::span<double> res, double* sse, double* logdet, long* numres);
// Exact innovations by the Kalman filter (missing values skipped) and by the
// banded Cholesky factor of the ARMA covariance matrix; both give the
// standardised residuals, their sum of squares and the log-determinant, and
// return the code.
int kalman_residuals(ModelRecord* model, std::span<double> res, double* sse, double* logdet, long* numres);
int cholesky_residuals(ModelRecord* model, std::span<double> res, double* sse, double* logdet, long* numres);
// Central-difference derivatives of the residuals with respect to each
// parameter into model->work.jacobian, one column per parameter; the return code.
int numerical_jacobian(EngineContext* context, ModelRecord* model);
// One damped Gauss-Newton step from the Jacobian: the damping grows until the
// objective decreases. 0 with the parameters and measures of change updated;
// otherwise the parameters stay and the code says why: 8 no improvement, the
// code of the last failed trial (9 an unstable one), or 6 when every damped
// system is singular.
int damped_gauss_newton_step(EngineContext* context, ModelRecord* model);
// Autocorrelations and Ljung-Box statistics of the current model's residuals
// (flag 1) or of its working series (otherwise); the return code.
int ljung_box_checks(EngineContext* context, int flag);

// --- forecasting ------------------------------------------------------------------------

// Fills the current forecast record: one-step forecasts over the data and
// multi-step ones after the origin, their standard errors, residuals and psi
// weights, on the scale of the series; the return code.
int compute_forecasts(EngineContext* context);

// ------------------------------------------------------------------------------------

template <class T>
int resize_tracked(EngineContext* context, std::vector<T>& v, std::size_t n) {
  if (v.size() >= n) {
    v.resize(n);
    return kTsOk;
  }
  EngineStore& store = *context->store;
  const std::size_t bytes = (n - v.size()) * sizeof(T);
  bool ok = store.limit == 0 || bytes <= store.limit - std::min(store.used, store.limit);
  if (ok) {
    try {
      v.resize(n);
      store.used += bytes;
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  if (!ok) {
    context->memory_deficit += static_cast<long>(bytes);
    engine_message(context, 0, 1, {context->memory_deficit});
    context->code = kTsMemory;
    return kTsMemory;
  }
  return kTsOk;
}

}  // namespace x11sa
