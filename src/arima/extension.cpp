// The ARIMA extension of a series: the user's model, forecasts and A13,
// backcasts and A14, the messages of a failure, and the figures of an
// estimated model for the reports.
#include "arima/extension.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <variant>

#include <fmt/format.h>

#include "arima/auto_model.h"
#include "arima/extension_internal.h"
#include "host/message_ids.h"
#include "host/messages.h"
#include "numeric/distributions.h"

namespace x11sa {

namespace detail {

static_assert(static_cast<int>(ArimaCode::Stalled) == kTsStalled && static_cast<int>(ArimaCode::Ok) == kTsOk,
              "ArimaCode follows the engine's return codes");

ArimaCode code_of(int rc) noexcept {
  return rc >= kTsOk && rc <= kTsStalled ? static_cast<ArimaCode>(rc) : ArimaCode::InvalidArgument;
}

namespace {

Severity procedure_severity(int number) {
  const Message* m = find_message(number);
  return m != nullptr ? m->severity : Severity::Note;
}

void add(ExtensionRun& run, ArimaMessageSource source, int number, Severity severity, bool names_variable,
         std::string argument) {
  run.outcome.messages.push_back(ArimaMessage{source, number, severity, names_variable, std::move(argument)});
}

ArimaMethod method_of(char method) {
  switch (method) {
    case kTsUls: return ArimaMethod::Uls;
    case kTsMl: return ArimaMethod::Ml;
    default: return ArimaMethod::Cls;
  }
}

ArimaStopRule stop_rule_of(char rule) {
  switch (rule) {
    case 1: return ArimaStopRule::ObjectiveChange;
    case 2: return ArimaStopRule::LargestGradient;
    case 3: return ArimaStopRule::RSquareChange;
    default: return ArimaStopRule::ParameterChange;
  }
}

double criterion_value(const OptimizerState& opt) {
  switch (opt.stop_rule) {
    case 1: return opt.objective_change;
    case 2: return opt.max_gradient;
    case 3: return opt.r_square;
    default: return opt.parameter_change;
  }
}

ArimaTransform transform_of(const SeriesRecord& ts) {
  ArimaTransform t;
  switch (ts.transform_kind) {
    case kTrLog: t.kind = ArimaTransform::Kind::Log; break;
    case kTrBoxCox:
    case kTrPower: t.kind = ArimaTransform::Kind::Power; break;
    default: return t;
  }
  t.shift = ts.shift;
  t.power = ts.power;
  return t;
}

std::vector<LagFactor> factors_of(const std::vector<LagPolynomial>& side) {
  std::vector<LagFactor> out;
  out.reserve(side.size());
  for (const LagPolynomial& f : side) {
    const auto n = static_cast<std::size_t>(f.terms);
    out.push_back(LagFactor{{f.lags.begin(), f.lags.begin() + static_cast<long>(n)},
                            {f.coefficients.begin(), f.coefficients.begin() + static_cast<long>(n)}});
  }
  return out;
}

std::vector<ArimaParameter> parameters_of(const ModelRecord& m) {
  const ParameterList& pp = m.params;
  const double df = static_cast<double>(m.residual_count - m.parameter_count);
  std::vector<ArimaParameter> out;
  out.reserve(static_cast<std::size_t>(m.parameter_count));
  for (int i = 0; i < m.parameter_count; ++i) {
    const auto k = static_cast<std::size_t>(i);
    ArimaParameter p;
    p.name = pp.names[k];
    p.estimate = pp.estimates[k];
    p.std_error = k < pp.std_errors.size() ? pp.std_errors[k] : kMissing;
    p.lag = pp.lags[k];
    if (!is_missing(p.std_error) && p.std_error > 0.0) {
      p.t_value = p.estimate / p.std_error;
      // Two-sided t test as the F test of t squared.
      const double prob = df > 0.0 ? f_upper_tail_probability(p.t_value * p.t_value, 1.0, df) : -1.0;
      if (prob >= 0.0) p.probability = prob;
    }
    out.push_back(std::move(p));
  }
  return out;
}

std::vector<LjungBoxCheck> ljung_box_of(const ModelRecord& m) {
  constexpr int kBlock = 6;
  std::vector<LjungBoxCheck> out;
  const int checked = std::min<int>(m.ljung_box_lags,
                                    static_cast<int>(std::min(m.ljung_box_stat.size(), m.ljung_box_df.size())));
  for (int lag = kBlock; lag <= checked; lag += kBlock) {
    const auto k = static_cast<std::size_t>(lag - 1);
    LjungBoxCheck c;
    c.lag = lag;
    c.chi_square = m.ljung_box_stat[k];
    c.df = m.ljung_box_df[k];
    if (c.df > 0 && !is_missing(c.chi_square)) c.probability = chi_square_upper_tail_probability(c.chi_square, c.df);
    for (int j = 0; j < kBlock; ++j) {
      const auto at = static_cast<std::size_t>(lag - kBlock + j);
      if (at < m.autocorr.size()) c.correlations[static_cast<std::size_t>(j)] = m.autocorr[at];
    }
    out.push_back(c);
  }
  return out;
}

}  // namespace

void add_variable_message(ExtensionRun& run, int number) {
  add(run, ArimaMessageSource::Procedure, number, procedure_severity(number), true, {});
}

void add_message(ExtensionRun& run, int number, std::string argument) {
  add(run, ArimaMessageSource::Procedure, number, procedure_severity(number), false, std::move(argument));
}

int estimation_failure_message(int rc) noexcept {
  return rc >= kTsInvalid && rc <= kTsStalled ? message_id::kNotEstimatedInvalidArgument + (rc - kTsInvalid) : 0;
}

int forecast_failure_message(int rc) noexcept {
  switch (rc) {
    case kTsInvalid: return message_id::kForecastInvalidArgument;
    case kTsTransform: return message_id::kForecastNotTransformable;
    case kTsMemory: return message_id::kForecastNoMemory;
    case kTsSingular: return message_id::kForecastSingular;
    case kTsUnstable: return message_id::kForecastUnstable;
    case kTsCapability: return message_id::kForecastOutOfRange;
    default: return 0;
  }
}

bool take_engine_messages(ExtensionRun& run, EngineContext* context) {
  if (context == nullptr || context->messages.empty()) return true;
  std::vector<EngineMessage> messages;
  messages.swap(context->messages);
  for (const EngineMessage& em : messages) {
    std::string arg;
    if (!em.args.empty()) arg = std::visit([](const auto& v) { return fmt::format("{}", v); }, em.args.front());
    switch (em.set) {
      case message_set::kProcedure:
        add_message(run, em.number, std::move(arg));
        break;
      case message_set::kEngine: {
        const Message* m = find_message499(em.number);
        add(run, ArimaMessageSource::Engine, em.number, m != nullptr ? m->severity : Severity::Note, false,
            std::move(arg));
        break;
      }
      default:
        if (em.number != 1) {
          internal_error(run, std::move(arg));
          return false;
        }
        add(run, ArimaMessageSource::MemoryShort, em.number, Severity::Error, false, std::move(arg));
        break;
    }
  }
  return true;
}

void internal_error(ExtensionRun& run, std::string text) {
  add(run, ArimaMessageSource::Internal, 0, Severity::Error, false, std::move(text));
  run.outcome.status = ArimaStatus::InternalError;
}

ArimaEstimates estimates_of(const ModelRecord& m) {
  ArimaEstimates e;
  const OptimizerState& opt = m.optimizer;
  e.method = method_of(m.method);
  e.stop_rule = stop_rule_of(opt.stop_rule);
  e.stopping_value = opt.converge;
  e.criterion_value = criterion_value(opt);
  e.marquardt_lambda = opt.damping;
  e.delta = opt.delta;
  e.iterations = opt.iterations;
  e.objective = m.method == kTsMl ? m.loglik : m.sse;
  e.code = code_of(m.code);
  if (m.series != nullptr) {
    const SeriesRecord& ts = *m.series;
    e.transform = transform_of(ts);
    for (int d = 0; d < ts.difference_count; ++d)
      e.differencing.push_back(ts.differences[static_cast<std::size_t>(1 + d)]);
  }
  e.has_mean = m.no_constant == 0;
  e.mean = m.mu;
  e.constant = m.constant;
  e.ar_factors = factors_of(m.ar_factors);
  e.ma_factors = factors_of(m.ma_factors);
  e.variance = m.variance;
  e.parameters = parameters_of(m);
  e.aic = m.aic;
  e.sbc = m.sbc;
  e.residuals = m.residual_count;
  e.ljung_box = ljung_box_of(m);
  return e;
}

void keep_forecasts(ExtensionRun& run, const ModelFit& fit) {
  const ForecastRecord& fc = *fit.forecast;
  const long total = fc.origin + fc.lead;
  ArimaOutcome& out = run.outcome;
  out.forecasts.assign(fit.forecasts + fc.origin, fit.forecasts + total);
  const long n = std::min(static_cast<long>(run.series.size()) + run.forecast_periods, total);
  out.a13.assign(fit.forecasts, fit.forecasts + n);
}

bool backcast(ExtensionRun& run, ModelFit& fit) {
  const long back = run.backcast_periods;
  const long n = static_cast<long>(run.series.size());
  fit.lead = back;
  // The series in reverse time order: its forecasts are the backcasts.
  run.reversed.assign(run.series.rbegin(), run.series.rend());
  if (fit.context != nullptr) fit.context->forecast = nullptr;
  fit.forecast = nullptr;
  if (fit.model != nullptr) fit.model->variance = 0.0;
  fit.x = run.reversed.data();
  int rc = estimate_model(fit);
  if (!take_engine_messages(run, fit.context)) return false;
  if (rc != kTsOk) {
    if (const int number = estimation_failure_message(rc); number != 0) add_variable_message(run, number);
  } else {
    rc = forecast_model(fit);
    if (!take_engine_messages(run, fit.context)) return false;
    if (rc != kTsOk)
      if (const int number = forecast_failure_message(rc); number != 0) add_variable_message(run, number);
  }
  if (rc != kTsOk) {
    run.outcome.status = ArimaStatus::BackcastFailed;
    return false;
  }
  const long origin = fit.forecast->origin;
  const long total = origin + fit.forecast->lead;
  ArimaOutcome& out = run.outcome;
  out.backcasts.assign(static_cast<std::size_t>(back), kMissing);
  for (long j = 0; j < back; ++j) out.backcasts[static_cast<std::size_t>(back - 1 - j)] = fit.forecasts[origin + j];
  // A14 in time order: the backcasts, then the fitted values of the
  // reversed series, turned back.
  const long a14 = std::min(back + n, total);
  out.a14.assign(static_cast<std::size_t>(a14), kMissing);
  for (long i = 0; i < a14; ++i) {
    const long at = back + n - 1 - i;
    if (at < total) out.a14[static_cast<std::size_t>(i)] = fit.forecasts[at];
  }
  return true;
}

namespace {

// The user's model: estimated, forecast and backcast.
void fit_given_model(ExtensionRun& run) {
  const ArimaOptions& o = run.options;
  const ArimaModel& um = *o.model;
  ArimaOutcome& out = run.outcome;
  out.model = um;
  out.transform = o.transform;
  ModelFit m;
  m.period = run.periods;
  m.lead = run.forecast_periods;
  m.nlags = o.nlag.value_or(run.periods == 12 ? 36 : 12);
  m.x = run.series.data();
  m.n = static_cast<long>(run.series.size());
  m.max_iterations = o.maxiter;
  switch (o.transform.kind) {
    case ArimaTransform::Kind::Log: m.transform_kind = kTrLog; break;
    case ArimaTransform::Kind::Power:
      m.transform_kind = kTrPower;
      m.shift = o.transform.shift;
      m.power = o.transform.power;
      break;
    default: m.transform_kind = kTrNone; break;
  }
  m.converge = o.converge;
  m.p = um.p;
  m.sp = um.sp;
  m.q = um.q;
  m.sq = um.sq;
  m.dif = um.dif;
  m.sdif = um.sdif;
  m.estimation_method = o.method == ArimaMethod::Uls ? kTsUls : o.method == ArimaMethod::Ml ? kTsMl : kTsCls;
  m.center = um.center ? 1 : 0;
  m.no_constant = um.noint ? 1 : 0;

  int rc = estimate_model(m);
  if (!take_engine_messages(run, m.context)) return;
  if (rc != kTsOk) {
    if (const int number = estimation_failure_message(rc); number != 0) add_variable_message(run, number);
    out.status = ArimaStatus::NotEstimated;
    return;
  }
  out.estimates = estimates_of(*m.model);
  rc = forecast_model(m);
  if (!take_engine_messages(run, m.context)) return;
  if (rc != kTsOk) {
    if (const int number = forecast_failure_message(rc); number != 0) add_variable_message(run, number);
    out.status = ArimaStatus::NotEstimated;
    return;
  }
  keep_forecasts(run, m);
  if (run.backcast_periods >= 1 && !backcast(run, m)) return;
  out.status = ArimaStatus::Extended;
}

}  // namespace

}  // namespace detail

ArimaOutcome extend_by_arima(std::span<const double> series, Frequency frequency, Mode mode,
                             const ArimaOptions& options, bool keep_candidate_estimates) {
  detail::ExtensionRun run{series, periods_per_year(frequency), mode, options, keep_candidate_estimates, 0, 0, {}, {}};
  run.forecast_periods = static_cast<long>(options.forecast_years) * run.periods;
  run.backcast_periods = static_cast<long>(options.backcast_years) * run.periods;
  if (options.model.has_value()) {
    detail::fit_given_model(run);
  } else {
    detail::choose_and_extend(run);
  }
  if (const int number = fallback_message(run.outcome.status); number != 0) detail::add_variable_message(run, number);
  return std::move(run.outcome);
}

}  // namespace x11sa
