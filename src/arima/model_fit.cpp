// Estimation and forecasting of the model a fit describes.
#include "arima/model_fit.h"

#include <algorithm>

#include "arima/internal.h"
#include "host/message_ids.h"

namespace x11sa {

namespace {

// Lags of the residual checks when the fit gives none.
constexpr int kDefaultLags = 24;

// A model of the context with its own series record for this fit.
int attach_model(ModelFit& fit) {
  EngineContext* context = fit.context;
  if (context->model != nullptr && context->model == fit.model) return kTsOk;
  if (ModelRecord* found = find_registered_model(context->registry, &fit); found != nullptr) {
    context->model = found;
  } else {
    const bool fresh = context->model != nullptr && context->registry->nodes.empty();
    if (!fresh) {
      if (int rc = add_model_record(context); rc != kTsOk) return rc;
      context->model->series = nullptr;
      if (int rc = add_series_record(context); rc != kTsOk) return rc;
    }
    if (int rc = register_model(context->registry, &fit, context->model); rc != kTsOk) return rc;
  }
  fit.model = context->model;
  context->series = context->model->series;
  return kTsOk;
}

// The transformation and differencing of a fit, into a series record.
void describe_series(const ModelFit& fit, SeriesRecord* ts) {
  ts->n = fit.n;
  ts->data = fit.x;
  int kind = fit.transform_kind;
  double power = fit.power;
  if (kind == kTrLog) power = 0.0;
  if ((kind == kTrBoxCox || kind == kTrPower) && power == 0.0) kind = kTrLog;
  ts->transform_kind = kind;
  ts->power = kind == kTrNone ? -1.0 : power;
  ts->shift = kind == kTrNone ? 0.0 : fit.shift;
  ts->difference_count = fit.dif + fit.sdif;
  ts->differences.assign(static_cast<std::size_t>(ts->difference_count) + 1, 0);
  ts->differences[0] = fit.sdif * fit.period + fit.dif;
  for (int d = 0; d < fit.dif; ++d) ts->differences[1 + d] = 1;
  for (int d = 0; d < fit.sdif; ++d) ts->differences[1 + fit.dif + d] = fit.period;
  int k = 0;
  if (kind != kTrNone) ts->steps[k++] = kStepTransform;
  if (ts->difference_count > 0) ts->steps[k++] = kStepDifference;
  if (fit.center == 1) ts->steps[k++] = kStepCentre;
  while (k < 4) ts->steps[k++] = 0;
  ts->mu = 0.0;
  ts->sigma = 1.0;
  const ObservedSpan span = find_observed_span({fit.x, static_cast<std::size_t>(fit.n)});
  ts->span_start = span.start;
  ts->span_length = span.length;
  ts->span_present = span.present;
}

}  // namespace

int estimate_model(ModelFit& fit, StageCallback itfun, int printit) {
  if (fit.n == 0) return kTsFewData;
  if ((fit.sp > 0 || fit.sq > 0) && fit.period < 1) return kTsInvalid;
  if (fit.x == nullptr || fit.n < 0 || fit.p < 0 || fit.q < 0 || fit.sp < 0 || fit.sq < 0 ||
      fit.dif < 0 || fit.sdif < 0 || (fit.sdif > 0 && fit.period < 1))
    return kTsInvalid;

  if (fit.context == nullptr) {
    try {
      fit.context_owner = std::make_shared<EngineContext>();
    } catch (const std::bad_alloc&) {
      return kTsMemory;
    }
    fit.context = fit.context_owner.get();
    fit.model = nullptr;
    fit.forecast = nullptr;
    if (int rc = init_engine_context(fit.context); rc != kTsOk) return rc;
  }
  EngineContext* context = fit.context;
  if (int rc = attach_model(fit); rc != kTsOk) return rc;
  ModelRecord* m = context->model;

  if (fit.singular == 0.0) fit.singular = 1e-7;
  // A negative count (no start-up stage) stays on the record, so that
  // estimating the record again does not turn it into the default.
  if (fit.startup_iterations == 0) fit.startup_iterations = 4;
  if (fit.converge == 0.0) {
    fit.converge = 0.001;
    engine_message(context, message_set::kProcedure, message_id::kConvergeNotPositive, {fit.converge});
  }
  if (fit.delta == 0.0) fit.delta = 0.001;
  if (fit.max_iterations == 0) fit.max_iterations = 15;
  m->singular = fit.singular;
  m->method = fit.estimation_method;
  m->no_constant = static_cast<char>(fit.no_constant != 0);
  m->center = static_cast<char>(fit.center != 0);
  OptimizerState& opt = m->optimizer;
  opt = OptimizerState{};
  opt.converge = fit.converge;
  opt.delta = fit.delta;
  opt.max_iterations = fit.max_iterations;
  opt.stop_rule = fit.stop_rule;
  opt.startup = fit.startup;
  opt.startup_iterations = std::max(0, fit.startup_iterations);

  SeriesRecord* ts = m->series;
  describe_series(fit, ts);
  ts->nlags = fit.nlags > 0 ? fit.nlags : kDefaultLags;
  if (ts->span_present == 0) return kTsFewData;

  m->ar_factors.clear();
  m->ma_factors.clear();
  auto add_factor = [&](std::vector<LagPolynomial>& side, int order, int spacing) {
    if (order < 1) return kTsOk;
    side.emplace_back();
    return spacing == 1 ? make_nonseasonal_factor(context, &side.back(), order)
                        : make_seasonal_factor(context, &side.back(), order, spacing);
  };
  for (int rc : {add_factor(m->ar_factors, fit.p, 1), add_factor(m->ar_factors, fit.sp, fit.period),
                 add_factor(m->ma_factors, fit.q, 1), add_factor(m->ma_factors, fit.sq, fit.period)})
    if (rc != kTsOk) return rc;

  if (int rc = build_working_series(context, ts); rc != kTsOk) return rc;
  const int prc = setup_parameters(context, m);
  if (prc != kTsOk && prc != kTsGiven) return prc;
  if (prc == kTsOk && opt.startup == 0) {
    if (int rc = compute_starting_values(context, fit.p, fit.q, fit.sp, fit.sq, fit.period); rc != kTsOk) return rc;
  }
  const int erc = estimate_parameters(context, itfun, printit);
  m->code = erc;
  m->nlags = fit.nlags > 0 ? fit.nlags : ts->nlags;
  const int lrc = ljung_box_checks(context, 1);
  if (prc == kTsGiven && erc == kTsGiven) return std::max(kTsGiven, lrc);
  return std::max(erc, lrc);
}

int forecast_model(ModelFit& fit) {
  if (fit.context == nullptr || fit.model == nullptr) return kTsInvalid;
  EngineContext* context = fit.context;
  ModelRecord* m = fit.model;
  context->model = m;
  if (fit.forecast == nullptr) {
    if (int rc = add_forecast_record(context); rc != kTsOk) return rc;
    fit.forecast = context->forecast;
  }
  ForecastRecord* fc = fit.forecast;
  context->forecast = fc;
  fc->model = m;

  // The series to forecast, transformed like the estimation series.
  if (fc->series == nullptr) {
    SeriesRecord* current = context->series;
    if (int rc = add_series_record(context); rc != kTsOk) return rc;
    fc->series = context->series;
    context->series = current;
  }
  SeriesRecord* ts = fc->series;
  describe_series(fit, ts);
  ts->nlags = 0;
  if (ts->span_present == 0) return kTsFewData;
  if (int rc = build_working_series(context, ts); rc != kTsOk) return rc;

  const long end = ts->span_start + ts->span_length;
  if (fit.forecast_method == 0) fit.forecast_method = fit.estimation_method != 0 ? kTsForKalman : kTsForConditional;
  fc->method = fit.forecast_method;
  fc->start = std::max(ts->span_start, fit.start);
  // A lead of 0 means no forecasts after the data.
  fc->lead = std::max(0L, fit.lead);
  fc->origin = std::max(0L, fit.origin);
  if (fc->origin == 0 || fc->origin < fc->start) fc->origin = end;
  const long total = fc->origin + fc->lead;
  if (fc->block.size() < static_cast<std::size_t>(4 * total)) {
    if (int rc = resize_tracked(context, fc->block, static_cast<std::size_t>(4 * total)); rc != kTsOk) return rc;
  }
  fc->forecasts = fc->block.data();
  fc->residuals = fc->forecasts + total;
  fc->std_errors = fc->residuals + total;
  fc->psi = fc->std_errors + total;
  int rc = compute_forecasts(context);
  if (rc == kTsTransform) rc = kTsCapability;
  fit.psi = fc->psi;
  fit.forecasts = fc->forecasts;
  fit.std_errors = fc->std_errors;
  fit.residuals = fc->residuals;
  return rc;
}

}  // namespace x11sa
