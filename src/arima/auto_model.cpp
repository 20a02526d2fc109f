// The automatic model choice: the five candidates fitted in turn, their
// criteria, the choice, and the extension by the chosen model.
#include "arima/auto_model.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <fmt/format.h>

#include "host/message_ids.h"
#include "numeric/distributions.h"

namespace x11sa {

namespace {

struct Candidate {
  int p, dif, q;
  bool log_when_multiplicative;
};

// (0,1,1)(0,1,1)s, (0,1,2)(0,1,1)s, (2,1,0)(0,1,1)s, (0,2,2)(0,1,1)s and
// (2,1,2)(0,1,1)s; the last is never transformed.
constexpr std::array<Candidate, 5> kCandidates = {{
    {0, 1, 1, true},
    {0, 1, 2, true},
    {2, 1, 0, true},
    {0, 2, 2, true},
    {2, 1, 2, false},
}};

// The measure when the model has no moving-average factor to judge.
constexpr double kNoSecondFactor = -1e8;

// The larger of the first MA factor's sum of coefficients and the second
// factor's first coefficient.
double overdifferencing(const ModelRecord* m) {
  if (m == nullptr) return kNoSecondFactor;
  double first = 0.0;
  if (!m->ma_factors.empty())
    for (double c : m->ma_factors[0].coefficients) first += c;
  const double second = m->ma_factors.size() >= 2 && !m->ma_factors[1].coefficients.empty()
                            ? m->ma_factors[1].coefficients[0]
                            : kNoSecondFactor;
  return std::max({first, second, kNoSecondFactor});
}

// The criteria of an estimated and forecast candidate: the Ljung-Box test
// at lag 24 (8 quarterly) and the errors of the last three years.
ArimaCriteria criteria_of(const ModelFit& fit, int periods) {
  ArimaCriteria c;
  const ModelRecord& m = *fit.model;
  const std::size_t k = periods == 12 ? 23 : 7;
  c.chi_df = k < m.ljung_box_df.size() ? m.ljung_box_df[k] : 0;
  c.chi_square = k < m.ljung_box_stat.size() ? m.ljung_box_stat[k] : kMissing;
  const bool enough = m.ljung_box_lags >= static_cast<int>(k) + 1 && !is_missing(c.chi_square) && c.chi_df > 0;
  c.chi_probability = enough ? chi_square_upper_tail_probability(c.chi_square, c.chi_df) : kMissing;
  c.overdifferencing = overdifferencing(&m);
  const long end = fit.forecast->origin;
  const long n = std::min(3L * periods, end);
  const auto count = static_cast<std::size_t>(n);
  const ForecastErrors e =
      three_year_forecast_errors({fit.x + (end - n), count}, {fit.residuals + (end - n), count}, periods);
  c.mape_by_year = e.by_year;
  c.mape = e.three_years;
  return c;
}

}  // namespace

ForecastErrors three_year_forecast_errors(std::span<const double> series, std::span<const double> errors,
                                          int periods) {
  ForecastErrors out;
  const auto n = static_cast<long>(std::min(series.size(), errors.size()));
  const long P = periods;
  double total = 0.0;
  long count = 0;
  for (long b = 0; b < 3; ++b) {
    double sum = 0.0;
    long in_block = 0;
    for (long t = b * P; t < std::min((b + 1) * P, n); ++t) {
      const double e = errors[static_cast<std::size_t>(t)];
      const double y = series[static_cast<std::size_t>(t)];
      if (is_missing(e) || is_missing(y)) continue;
      sum += std::abs(e) / (std::abs(y) + 1e-8);
      ++in_block;
    }
    if (in_block > 0) out.by_year[static_cast<std::size_t>(b)] = 100.0 * sum / static_cast<double>(in_block);
    total += sum;
    count += in_block;
  }
  if (count > 0) out.three_years = 100.0 * total / static_cast<double>(count);
  return out;
}

bool meets_criteria(const ArimaCandidate& candidate, const ArimaOptions& options) {
  const ArimaCriteria& c = candidate.criteria;
  return candidate.result == CandidateResult::Estimated && !is_missing(c.chi_probability) &&
         c.chi_probability >= options.chi_criterion && !is_missing(c.overdifferencing) &&
         c.overdifferencing <= options.overdiff_criterion && !is_missing(c.mape) &&
         c.mape <= options.mape_criterion;
}

std::optional<int> choose_candidate(std::span<const ArimaCandidate> candidates) {
  std::optional<int> best;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    if (!candidates[i].accepted) continue;
    // A later model replaces the current choice only with a strictly smaller error.
    if (!best || candidates[i].criteria.mape < candidates[static_cast<std::size_t>(*best)].criteria.mape)
      best = static_cast<int>(i);
  }
  return best;
}

namespace detail {

void choose_and_extend(ExtensionRun& run) {
  const ArimaOptions& o = run.options;
  ArimaOutcome& out = run.outcome;
  const bool additive = run.mode == Mode::Additive;
  const char method = o.method == ArimaMethod::Uls ? kTsUls : o.method == ArimaMethod::Ml ? kTsMl : kTsCls;
  // The model tree of the shared context knows each fit by its address:
  // the fits stay where they are for the whole run.
  std::array<ModelFit, 5> fits;
  for (std::size_t i = 0; i < fits.size(); ++i) {
    const Candidate& c = kCandidates[i];
    ModelFit& m = fits[i];
    m.p = c.p;
    m.dif = c.dif;
    m.q = c.q;
    m.sdif = 1;
    m.sq = 1;
    m.transform_kind = c.log_when_multiplicative && !additive ? kTrLog : kTrNone;
    m.period = run.periods;
    m.nlags = run.periods == 12 ? 36 : 12;
    m.lead = run.forecast_periods;
    m.x = run.series.data();
    m.n = static_cast<long>(run.series.size());
    m.estimation_method = method;
    m.max_iterations = o.maxiter;
    m.converge = o.converge;
  }

  // Every candidate's figures only for the reports that show them all.
  const bool keep_estimates = run.keep_candidate_estimates;
  out.candidates.reserve(fits.size());
  for (std::size_t i = 0; i < fits.size(); ++i) {
    ModelFit& m = fits[i];
    ArimaCandidate& cand = out.candidates.emplace_back();
    cand.model = ArimaModel{m.p, m.dif, m.q, m.sp, m.sdif, m.sq, false, false};
    cand.log_transform = m.transform_kind == kTrLog;
    cand.description_message = message_id::candidate_model(static_cast<int>(i), additive);
    const std::string number = std::to_string(i + 1);
    const int rc = estimate_model(m);
    if (!take_engine_messages(run, m.context)) return;
    // The other candidates share the first one's context.
    if (i == 0)
      for (std::size_t j = 1; j < fits.size(); ++j) {
        fits[j].context = m.context;
        fits[j].context_owner = m.context_owner;
      }
    if (rc != kTsOk) {
      cand.code = code_of(rc);
      cand.failure_message = estimation_failure_message(rc);
      add_message(run, cand.description_message, number);
      if (cand.failure_message != 0) add_variable_message(run, cand.failure_message);
      if (keep_estimates && m.model != nullptr) cand.estimates = estimates_of(*m.model);
      continue;
    }
    m.forecast = nullptr;
    m.context->forecast = nullptr;
    const int frc = forecast_model(m);
    if (!take_engine_messages(run, m.context)) return;
    if (frc == kTsOk) {
      cand.result = CandidateResult::Estimated;
      cand.criteria = criteria_of(m, run.periods);
      if (keep_estimates) cand.estimates = estimates_of(*m.model);
      continue;
    }
    cand.result = CandidateResult::ForecastFailed;
    cand.code = code_of(frc);
    cand.failure_message = forecast_failure_message(frc);
    if (cand.failure_message == 0) {
      internal_error(run, fmt::format("The forecast of candidate model {} ended with the unknown code {}.", i + 1, frc));
      return;
    }
    add_message(run, cand.description_message, number);
    add_variable_message(run, cand.failure_message);
    if (keep_estimates) cand.estimates = estimates_of(*m.model);
  }
  const bool any = std::any_of(out.candidates.begin(), out.candidates.end(),
                               [](const ArimaCandidate& c) { return c.result == CandidateResult::Estimated; });
  if (!any) {
    out.status = ArimaStatus::NotEstimated;
    return;
  }

  for (ArimaCandidate& c : out.candidates) c.accepted = meets_criteria(c, o);
  out.chosen = choose_candidate(out.candidates);
  if (!out.chosen) {
    out.status = ArimaStatus::NoModelAccepted;
    return;
  }
  const auto best = static_cast<std::size_t>(*out.chosen);
  ModelFit& chosen = fits[best];
  out.model = out.candidates[best].model;
  out.transform.kind = out.candidates[best].log_transform ? ArimaTransform::Kind::Log : ArimaTransform::Kind::None;
  out.estimates = estimates_of(*chosen.model);
  // The chosen model again, for the forecasts that extend the series; this
  // pass repeats one that succeeded, so its codes are not examined.
  (void)estimate_model(chosen);
  if (!take_engine_messages(run, chosen.context)) return;
  (void)forecast_model(chosen);
  if (!take_engine_messages(run, chosen.context)) return;
  keep_forecasts(run, chosen);
  if (run.backcast_periods > 0 && !backcast(run, chosen)) return;
  out.status = ArimaStatus::Extended;
}

}  // namespace detail

}  // namespace x11sa
