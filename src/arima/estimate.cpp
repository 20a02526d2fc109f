// Estimation: numerical Jacobian, damped Gauss-Newton steps, the stages of
// the iteration, the statistics of the fit and the Ljung-Box checks.
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

#include "arima/engine.h"
#include "arima/internal.h"
#include "host/message_ids.h"

namespace x11sa {

using namespace detail;

namespace {

constexpr double kMinConverge = 1.053671212772351e-08;
constexpr double kMinDelta = 1.110223024625157e-16;
constexpr double kMaxLambda = 1e12;
constexpr int kStallLimit = 5;
// Relative difference of two objectives that counts as none.
constexpr double kSameObjective = 1e-9;

void set_parameters(ModelRecord* m, const double* theta) {
  for (int i = 0; i < m->parameter_count; ++i) *m->params.slots[i] = theta[i];
}

void get_parameters(const ModelRecord* m, double* theta) {
  for (int i = 0; i < m->parameter_count; ++i) theta[i] = *m->params.slots[i];
}

std::span<double> residuals(ModelRecord* m, std::vector<double>& v) {
  return {v.data(), static_cast<std::size_t>(m->series->working_length)};
}

// Iterates stay inside the stationary and invertible region.
int trial_stable(ModelRecord* m) { return m->skip_stability_check ? kTsOk : check_stable(m); }

}  // namespace

int numerical_jacobian(EngineContext* context, ModelRecord* m) {
  if (context == nullptr || m == nullptr || m->series == nullptr) return kTsInvalid;
  ModelWorkspace& wk = m->work;
  const long n = m->series->working_length;
  const double delta = m->optimizer.delta;
  // Central differences: the error of a one-sided difference would shift the
  // point where the Gauss-Newton iteration comes to rest by about the step.
  double* below = wk.lower.data();
  for (int i = 0; i < m->parameter_count; ++i) {
    double* value = m->params.slots[i];
    const double saved = *value;
    // A hundredth of the parameter's scale: with the default delta a relative
    // step of 1e-5, close to the most accurate central difference in double
    // precision; a coarser one leaves the gradient too inexact to converge
    // tightly near a nearly non-invertible factor.
    double h = 0.01 * parameter_scale(m, i);
    int rc = kTsUnstable;
    double* col = wk.jacobian.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(n);
    // Residuals with the parameter moved by `by`; false when that model is
    // not stationary or not invertible.
    auto moved = [&](double by, std::vector<double>& out) {
      *value = saved + by;
      Evaluation ev;
      rc = trial_stable(m);
      if (rc == kTsOk) rc = evaluate(m, residuals(m, out), &ev);
      return rc == kTsOk;
    };
    for (int attempt = 0; attempt < 6 && rc == kTsUnstable; ++attempt) {
      if (attempt > 0) h = std::max(h / 100.0, 1e-9);
      if (!moved(-h * delta, wk.trial)) continue;
      const double low = *value;
      std::copy(wk.trial.begin(), wk.trial.begin() + n, below);
      if (!moved(h * delta, wk.trial)) continue;
      // The step actually taken, as rounding left it.
      const double step = *value - low;
      for (long t = 0; t < n; ++t) col[t] = (wk.trial[t] - below[t]) / step;
    }
    // On the boundary of the region only one side can be moved to: a
    // one-sided difference then.
    for (double sign : {-1.0, 1.0}) {
      if (rc != kTsUnstable) break;
      if (!moved(sign * h * delta, wk.trial)) continue;
      const double step = *value - saved;
      for (long t = 0; t < n; ++t) col[t] = (wk.trial[t] - wk.res[t]) / step;
    }
    *value = saved;
    if (rc != kTsOk) {
      load_polynomials(m);
      return rc;
    }
  }
  load_polynomials(m);
  return kTsOk;
}

namespace {

// J'J (k x k, row-major with stride k + 1) and J'r in column k.
void normal_equations(const ModelRecord* m, double* cross) {
  const int k = m->parameter_count;
  const long n = m->series->working_length;
  const int lda = k + 1;
  const double* jac = m->work.jacobian.data();
  const double* res = m->work.res.data();
  for (int i = 0; i < k; ++i) {
    const double* ci = jac + static_cast<std::size_t>(i) * static_cast<std::size_t>(n);
    for (int j = 0; j <= i; ++j) {
      const double* cj = jac + static_cast<std::size_t>(j) * static_cast<std::size_t>(n);
      double s = 0;
      for (long t = 0; t < n; ++t) s += ci[t] * cj[t];
      cross[i * lda + j] = cross[j * lda + i] = s;
    }
    double g = 0;
    for (long t = 0; t < n; ++t) g += ci[t] * res[t];
    cross[i * lda + k] = cross[k * lda + i] = g;
  }
  cross[k * lda + k] = 0.0;
}

// Solves (J'J with its diagonal times 1 + lambda) x = J'r by sweeping;
// false when a pivot is singular.
bool damped_solve(const ModelRecord* m, const double* cross, double lambda, double* work, double* x) {
  const int k = m->parameter_count;
  const int lda = k + 1;
  std::copy(cross, cross + lda * lda, work);
  for (int i = 0; i < k; ++i) work[i * lda + i] *= 1.0 + lambda;
  for (int i = 0; i < k; ++i)
    if (!sweep_pivot(work, lda, lda, i, cross[i * lda + i] * (1.0 + lambda), m->singular)) return false;
  for (int i = 0; i < k; ++i) x[i] = work[i * lda + k];
  return true;
}

}  // namespace

int damped_gauss_newton_step(EngineContext* context, ModelRecord* m) {
  if (context == nullptr || m == nullptr || m->series == nullptr) return kTsInvalid;
  ModelWorkspace& wk = m->work;
  OptimizerState& opt = m->optimizer;
  const int k = m->parameter_count;
  const int lda = k + 1;
  double* cross = wk.cross.data();
  double* work = cross + lda * lda;
  double* old = wk.oldtheta.data();
  double* step = wk.step.data();
  double* theta = wk.theta.data();
  normal_equations(m, cross);
  get_parameters(m, old);

  // R-square of the linear step: the share of the objective it can remove.
  if (damped_solve(m, cross, 0.0, work, step)) {
    double explained = 0;
    for (int i = 0; i < k; ++i) explained += step[i] * cross[i * lda + k];
    opt.r_square = opt.objective > 0.0 ? explained / opt.objective : 0.0;
  }
  double grad = 0;
  for (int i = 0; i < k; ++i) grad = std::max(grad, std::fabs(cross[i * lda + k]) * parameter_scale(m, i));
  opt.max_gradient = opt.objective > 0.0 ? grad / opt.objective : grad;

  int failure = kTsNoImprove;
  bool solved = false;  // some damping gave a regular system
  opt.damping = 0.0;
  for (;;) {
    ++opt.damping_trials;
    // A nearly singular system (parameters close to redundant) is regular
    // once damped.
    if (!damped_solve(m, cross, opt.damping, work, step)) {
      if (opt.damping >= kMaxLambda) break;
      opt.damping = opt.damping == 0.0 ? 1e-4 : std::min(10.0 * opt.damping, kMaxLambda);
      continue;
    }
    solved = true;
    // A step that leaves the stationary and invertible region is shortened
    // along its direction first; turning it towards the gradient by more
    // damping would crawl along the boundary.
    int rc = kTsUnstable;
    double fraction = 1.0;
    for (int halving = 0; halving < 20 && rc == kTsUnstable; ++halving, fraction *= 0.5) {
      for (int i = 0; i < k; ++i) theta[i] = old[i] - fraction * step[i];
      set_parameters(m, theta);
      rc = trial_stable(m);
    }
    Evaluation ev;
    if (rc == kTsOk) rc = evaluate(m, residuals(m, wk.trial), &ev);
    if (rc == kTsOk && ev.objective < opt.objective) {
      std::swap(wk.res, wk.trial);
      double rel = 0;
      for (int i = 0; i < k; ++i) rel = std::max(rel, std::fabs(theta[i] - old[i]) / parameter_scale(m, i));
      for (int i = 0; i < k; ++i) {
        m->params.previous[i] = old[i];
        m->params.estimates[i] = theta[i];
      }
      opt.parameter_change = rel;
      opt.objective_change = opt.objective > 0.0 ? (opt.objective - ev.objective) / opt.objective : 0.0;
      opt.previous_objective = opt.objective;
      opt.objective = ev.objective;
      m->sse = ev.sse;
      m->logdet = ev.logdet;
      m->residual_count = ev.residual_count;
      return kTsOk;
    }
    if (rc != kTsOk) failure = rc;
    if (opt.damping >= kMaxLambda) break;
    opt.damping = opt.damping == 0.0 ? 1e-4 : std::min(10.0 * opt.damping, kMaxLambda);
  }
  set_parameters(m, old);
  load_polynomials(m);
  return solved ? failure : kTsSingular;
}

namespace {

double change_measure(const OptimizerState& opt) {
  switch (opt.stop_rule) {
    case 1: return opt.objective_change;
    case 2: return opt.max_gradient;
    case 3: return opt.r_square;
    default: return opt.parameter_change;
  }
}

// Residuals, variance, constant, likelihood, information criteria and the
// standard errors and correlations of the estimates at the current parameters.
int finish(EngineContext* context, ModelRecord* m) {
  ModelWorkspace& wk = m->work;
  Evaluation ev;
  int rc = evaluate(m, residuals(m, wk.res), &ev);
  if (rc != kTsOk) return rc;
  m->sse = ev.sse;
  m->logdet = ev.logdet;
  m->residual_count = ev.residual_count;
  m->optimizer.objective = ev.objective;
  const long n = m->series->working_length;
  for (long t = 0; t < n; ++t) m->residuals[t] = residual_used(m, t) ? wk.res[t] / ev.scale : kMissing;
  const auto nres = static_cast<double>(m->residual_count);
  const double df = m->no_df_correction ? nres : nres - m->parameter_count;
  if (!(df > 0.0)) return kTsFewData;
  m->variance = m->sse / df;
  m->mean = m->series->working_mean;
  m->constant = m->no_constant ? 0.0 : model_constant(m->mu, m->ar_factors);
  m->loglik = -0.5 * (nres * (std::log(2.0 * std::numbers::pi * m->sse / nres) + 1.0) + m->logdet);
  m->aic = -2.0 * m->loglik + 2.0 * m->parameter_count;
  m->sbc = -2.0 * m->loglik + m->parameter_count * std::log(nres);
  update_products(m);
  ParameterList& pp = m->params;
  const int k = m->parameter_count;
  for (int i = 0; i < k; ++i) pp.estimates[i] = *pp.slots[i];
  std::fill(pp.std_errors.begin(), pp.std_errors.end(), kMissing);
  std::fill(pp.correlations.begin(), pp.correlations.end(), kMissing);
  if (k == 0) return kTsOk;

  // Covariance of the estimates: s^2 (J'J)^-1 with J and s^2 of the sum of
  // squares minimised.
  if (int jrc = numerical_jacobian(context, m); jrc != kTsOk) return jrc;
  const int lda = k + 1;
  double* cross = wk.cross.data();
  double* inv = cross + lda * lda;
  normal_equations(m, cross);
  std::copy(cross, cross + lda * lda, inv);
  for (int i = 0; i < k; ++i)
    if (!sweep_pivot(inv, k, lda, i, cross[i * lda + i], m->singular)) return kTsSingular;
  const double s2 = ev.objective / df;
  for (int i = 0; i < k; ++i) {
    const double var = s2 * inv[i * lda + i];
    if (!(var >= 0.0)) return kTsSingular;
    pp.std_errors[i] = std::sqrt(var);
  }
  for (int i = 0; i < k; ++i)
    for (int j = 0; j < k; ++j) {
      const double d = pp.std_errors[i] * pp.std_errors[j];
      pp.correlations[i * k + j] = d > 0.0 ? s2 * inv[i * lda + j] / d : kMissing;
    }
  return kTsOk;
}

struct Stage {
  char method;
  int limit;
};

// Moves every factor off the boundary of the stationary and invertible
// region: a stage that ended there, stopped by it, would start the next one
// where the iteration can hardly leave and the covariance of the estimates
// is singular. Factors already inside stay as they are.
void pull_factors_inside(ModelRecord* m) {
  if (m->skip_stability_check) return;
  bool moved = false;
  for (auto* side : {&m->ar_factors, &m->ma_factors})
    for (LagPolynomial& f : *side) moved = pull_from_boundary(f) || moved;
  if (moved) update_products(m);
}

struct Outcome {
  int code = kTsOk;     // of the first stage that fails, or the last that did not converge
  bool started = true;  // false when a stage could not evaluate its start
};

// Runs the stages in turn from the current parameters.
Outcome run_stages(EngineContext* context, std::span<const Stage> stages, StageCallback itfun, int printit) {
  ModelRecord* m = context->model;
  OptimizerState& opt = m->optimizer;
  int code = kTsOk;
  for (std::size_t s = 0; s < stages.size() && code == kTsOk; ++s) {
    const bool last = s + 1 == stages.size();
    m->method = stages[s].method;
    if (s > 0) pull_factors_inside(m);
    Evaluation ev;
    int rc = trial_stable(m);
    if (rc == kTsOk) rc = evaluate(m, residuals(m, m->work.res), &ev);
    if (rc != kTsOk) return {rc, false};
    opt.objective = opt.previous_objective = ev.objective;
    m->sse = ev.sse;
    m->logdet = ev.logdet;
    m->residual_count = ev.residual_count;
    opt.iterations = opt.stage_iterations = opt.damping_trials = 0;
    opt.parameter_change = opt.objective_change = opt.max_gradient = opt.r_square =
        std::numeric_limits<double>::infinity();
    if (printit == 1 && itfun != nullptr) itfun(context);
    int same = 0;
    bool converged = false;
    while (opt.iterations < stages[s].limit) {
      if (change_measure(opt) <= opt.converge) {
        converged = true;
        break;
      }
      const double before = m->sse;
      rc = numerical_jacobian(context, m);
      if (rc == kTsOk) rc = damped_gauss_newton_step(context, m);
      m->code = rc;
      if (rc == kTsNoImprove || rc == kTsUnstable) {
        converged = true;
        break;
      }
      if (rc != kTsOk) {
        code = rc;
        break;
      }
      ++opt.iterations;
      ++opt.stage_iterations;
      if (m->sse == before) {
        if (++same == kStallLimit) {
          engine_message(context, message_set::kEngine, engine_message_id::kSumOfSquaresStalled,
                         {static_cast<long>(kStallLimit)});
          code = kTsStalled;
          break;
        }
      } else {
        same = 0;
      }
    }
    if (!converged && change_measure(opt) <= opt.converge) converged = true;
    if (code == kTsOk && last && !converged) code = kTsMaxIter;
  }
  return {code, true};
}

}  // namespace

int estimate_parameters(EngineContext* context, StageCallback itfun, int printit) {
  if (context == nullptr || context->model == nullptr || context->model->series == nullptr) return kTsInvalid;
  ModelRecord* m = context->model;
  OptimizerState& opt = m->optimizer;
  if (opt.converge < 0.0) {
    opt.converge = 0.001;
    engine_message(context, message_set::kProcedure, message_id::kConvergeNotPositive, {opt.converge});
  } else if (opt.converge > 0.0 && opt.converge < kMinConverge) {
    opt.converge = kMinConverge;
    engine_message(context, message_set::kProcedure, message_id::kConvergeTooSmall, {opt.converge});
  }
  if (opt.delta < kMinDelta) opt.delta = 0.001;
  if (opt.max_iterations < 0) opt.max_iterations = 15;
  if (int rc = work_setup(context, m, *m->series); rc != kTsOk) return rc;
  opt.iterations = opt.stage_iterations = opt.damping_trials = 0;
  m->code = 0;
  // No residuals until a fit has produced them.
  fill_missing(m->residuals.data(), m->series->working_length);

  const char requested = m->method;
  const SeriesRecord& ts = *m->series;
  long usable = 0;
  for (long t = 0; t < ts.working_length; ++t) usable += residual_used(m, t) ? 1 : 0;
  if (usable <= m->parameter_count) return m->code = kTsFewData;
  if (zero_variance(ts, m->singular)) return m->code = kTsZeroVar;
  if (opt.max_iterations == 0 || m->parameter_count == 0) {
    const int rc = finish(context, m);
    return m->code = rc != kTsOk ? rc : kTsGiven;
  }

  Stage stages[2];
  int nstages = 0;
  if (requested != kTsCls && opt.startup != 2 && opt.startup_iterations > 0)
    stages[nstages++] = {kTsCls, opt.startup_iterations};
  stages[nstages++] = {requested, opt.max_iterations};

  const auto k = static_cast<std::size_t>(m->parameter_count);
  std::span<double> start(m->work.saved.data(), k), first(m->work.saved.data() + k, k);
  get_parameters(m, start.data());
  const Outcome outcome =
      run_stages(context, std::span<const Stage>(stages, static_cast<std::size_t>(nstages)), itfun, printit);
  m->method = requested;
  if (!outcome.started) return m->code = outcome.code;
  const int code = outcome.code;
  m->code = 0;
  int rc = finish(context, m);
  if (rc == kTsSingular && requested == kTsMl) {
    // A singular covariance matrix at the end of maximum likelihood: the
    // estimates lie where the model is not identified, often reached from a
    // start on the boundary. Once more from the starting values, pulled
    // inside, by maximum likelihood alone. The first fit stands unless this
    // one converges to a regular point with a likelihood at least as high:
    // a lower local maximum is no estimate, however well conditioned.
    get_parameters(m, first.data());
    const OptimizerState first_opt = opt;
    const std::size_t first_messages = context->messages.size();
    set_parameters(m, start.data());
    pull_factors_inside(m);
    const Stage retry{kTsMl, opt.max_iterations};
    const Outcome again = run_stages(context, std::span<const Stage>(&retry, 1), itfun, printit);
    m->method = requested;
    m->code = 0;
    if (again.started && again.code == kTsOk && finish(context, m) == kTsOk &&
        opt.objective <= first_opt.objective * (1.0 + kSameObjective))
      return m->code = kTsOk;
    context->messages.resize(first_messages);
    set_parameters(m, first.data());
    opt = first_opt;
    load_polynomials(m);
    rc = finish(context, m);
  }
  if (rc != kTsOk && rc != kTsSingular) return m->code = rc;
  return m->code = std::max(code, rc);
}

int ljung_box_checks(EngineContext* context, int flag) {
  if (context == nullptr || context->model == nullptr) return kTsInvalid;
  ModelRecord* m = context->model;
  SeriesRecord* ts = m->series;
  if (ts == nullptr) return kTsInvalid;
  const bool model = flag == 1;
  std::span<const double> x =
      model ? std::span<const double>(m->residuals.data(), static_cast<std::size_t>(ts->working_length))
            : std::span<const double>(ts->working);
  long count = 0;
  for (double v : x) count += is_missing(v) ? 0 : 1;
  int nlags = model ? (m->nlags > 0 ? m->nlags : ts->nlags) : ts->nlags;
  nlags = static_cast<int>(std::clamp<long>(nlags, 0, std::max(0L, count - 1)));
  std::vector<double>& corr = model ? m->autocorr : ts->autocorr;
  std::vector<long>& dfcorr = model ? m->autocorr_pairs : ts->autocorr_pairs;
  std::vector<double>& pcorr = model ? m->partial_autocorr : ts->partial_autocorr;
  std::vector<double>& icorr = model ? m->inverse_autocorr : ts->inverse_autocorr;
  std::vector<double>& chisq = model ? m->ljung_box_stat : ts->ljung_box_stat;
  std::vector<int>& chidf = model ? m->ljung_box_df : ts->ljung_box_df;
  const int fitted = model ? m->parameter_count - (m->no_constant ? 0 : 1) : 0;
  try {
    autocorrelation_functions(x, nlags, corr, dfcorr, pcorr, icorr);
    chisq.assign(static_cast<std::size_t>(nlags), kMissing);
    chidf.assign(static_cast<std::size_t>(nlags), 0);
  } catch (const std::bad_alloc&) {
    context->code = kTsMemory;
    return kTsMemory;
  }
  const auto n = static_cast<double>(count);
  double sum = 0;
  for (int k = 1; k <= nlags; ++k) {
    if (is_missing(corr[k - 1])) break;
    sum += corr[k - 1] * corr[k - 1] / (n - k);
    chisq[k - 1] = n * (n + 2.0) * sum;
    chidf[k - 1] = k - fitted;
  }
  (model ? m->ljung_box_lags : ts->ljung_box_lags) = nlags;
  if (model) m->nlags = nlags;
  return kTsOk;
}

}  // namespace x11sa
