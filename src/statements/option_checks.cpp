#include "statements/option_checks.h"

#include <algorithm>
#include <cctype>

#include <fmt/format.h>

#include "host/dates.h"
#include "host/message_ids.h"
#include "host/messages.h"
#include "host/program.h"
#include "records/exit_levels.h"
#include "x11sa/missing.h"

namespace x11sa {

namespace detail {

using namespace message_id;

namespace {

// Bounds compared with a small tolerance, as the weights and criteria are.
constexpr double kTolerance = 1.1368683772161603e-13;

bool outside(double v, double lo, double hi) { return v < lo - kTolerance || v > hi + kTolerance; }

template <class... Args>
OptionProblem message(int level, int number, const Args&... args) {
  return OptionProblem{msgtext(number, args...), level};
}

}  // namespace

std::optional<OptionProblem> range_problem(std::string_view name, std::string_view written, double value,
                                           Range range, bool whole) {
  constexpr double kMaxWhole = 2e9;
  const double lo = whole ? std::max(range.lo, -kMaxWhole) : range.lo;
  const double hi = whole ? std::min(range.hi, kMaxWhole) : range.hi;
  if (value >= lo && value <= hi) return std::nullopt;
  const std::string must = range.lo == -kNoLimit && range.hi < kNoLimit   ? fmt::format("at most {}", hi)
                           : range.hi == kNoLimit && range.lo > -kNoLimit ? fmt::format("at least {}", lo)
                                                                          : fmt::format("from {} to {}", lo, hi);
  return OptionProblem{fmt::format("{}={} is outside its range: it must be {}.", name, shown_text(written), must),
                       exit_level::kOptionValue};
}

OptionProblem monthly_only_problem(std::string_view option) {
  return OptionProblem{fmt::format("{} is valid only in the MONTHLY statement.", option), exit_level::kStatement};
}

std::optional<OptionProblem> trendma_problem(Frequency f, int length) {
  const bool monthly = f == Frequency::Monthly;
  const bool ok = monthly ? (length == 9 || length == 13 || length == 23) : (length == 5 || length == 7);
  if (ok) return std::nullopt;
  return message(exit_level::kOptionValue, monthly ? kTrendmaNotMonthly : kTrendmaNotQuarterly);
}

std::optional<OptionProblem> ptrendma_problem(Frequency f, int length) {
  const bool ok = f == Frequency::Monthly ? (length == 12 || length == 24) : (length == 4 || length == 8);
  if (ok) return std::nullopt;
  return message(exit_level::kOptionValue, kPtrendmaInvalid);
}

std::optional<OptionProblem> year_problem(std::string_view option, int year, std::string_view written) {
  if (!is_missing(date_from_mdy(1, 1, year))) return std::nullopt;
  return message(exit_level::kResource, kYearOutOfRange, option, written);
}

std::vector<OptionProblem> weight_problems(double fullweight, double zeroweight, double exclude) {
  std::vector<OptionProblem> problems;
  const struct {
    const char* name;
    double value;
  } weights[] = {{"FULLWEIGHT", fullweight}, {"EXCLUDE", exclude}, {"ZEROWEIGHT", zeroweight}};
  for (const auto& w : weights)
    if (outside(w.value, 0.1, 9.9))
      problems.push_back(message(exit_level::kOptionValue, kSigmaLimitOutOfRange, w.name, w.value));
  if (zeroweight < fullweight) problems.push_back(message(exit_level::kOptionValue, kZeroweightBelowFullweight));
  return problems;
}

OptionProblem unknown_curve_problem(std::string_view period, std::string_view written) {
  return message(exit_level::kStatement, kUnknownSeasonalCurve, period, shown_text(written));
}

int curve_weight(SeasonalCurve c) noexcept {
  switch (c) {
    case SeasonalCurve::Default:
      return 0;
    case SeasonalCurve::ThreeTerm:
      return 1;
    case SeasonalCurve::ThreeByThree:
      return 2;
    case SeasonalCurve::ThreeByFive:
      return 3;
    case SeasonalCurve::ThreeByNine:
      return 4;
    case SeasonalCurve::Stable:
      return -1;
  }
  return 0;
}

std::optional<OptionProblem> curves_frequency_problem(Frequency f, int month_weight, int quarter_weight) {
  const bool monthly = f == Frequency::Monthly;
  if ((monthly || month_weight <= 0) && (!monthly || quarter_weight <= 0)) return std::nullopt;
  std::string what = msgtext(text_id::kMacurves);
  for (char& c : what) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return message(exit_level::kOptionValue, kCurvesOfOtherFrequency, what, msgtext(text_id::kOtherFrequencyPeriods));
}

OptionProblem transform_without_model_problem() { return message(exit_level::kNormal, kTransformWithoutModel); }

OptionProblem maxiter_problem() { return message(exit_level::kWarning, kMaxiterBelowOne); }

std::optional<OptionProblem> criterion_problem(const Criterion& c, double value) {
  if (!outside(value, c.lo, c.hi)) return std::nullopt;
  return message(exit_level::kNormal, c.message, value, c.lo, c.hi, c.fallback);
}

std::vector<OptionProblem> horizon_problems(Frequency f, int backcast_years, int forecast_years) {
  std::vector<OptionProblem> problems;
  if (f == Frequency::Monthly) {
    if (backcast_years > 5) problems.push_back(message(exit_level::kNormal, kLongBackcast, backcast_years));
    if (forecast_years >= 6) problems.push_back(message(exit_level::kNormal, kLongForecast, forecast_years));
  } else if (backcast_years >= 4) {
    problems.push_back(message(exit_level::kNormal, kLongBackcastQuarterly, backcast_years));
  } else if (forecast_years >= 4) {
    problems.push_back(message(exit_level::kNormal, kLongForecastQuarterly, forecast_years));
  }
  return problems;
}

int default_nlag(Frequency f) noexcept { return f == Frequency::Monthly ? 36 : 12; }

std::optional<OptionProblem> nlag_problem(Frequency f, const ArimaOptions& a) {
  if (a.model || a.nlag.value_or(default_nlag(f)) == default_nlag(f)) return std::nullopt;
  return message(exit_level::kWarning, kNlagIgnoredByModelChoice);
}

std::optional<OptionProblem> empty_model_problem(const ArimaOptions& a) {
  if (!a.model) return std::nullopt;
  const ArimaModel& m = *a.model;
  if (m.p != 0 || m.sp != 0 || m.q != 0 || m.sq != 0 || !m.noint) return std::nullopt;
  return message(exit_level::kOptionValue, kModelWithoutTerms);
}

std::optional<OptionProblem> power_problem(const ArimaOptions& a) {
  if (a.transform.kind != ArimaTransform::Kind::Power || a.transform.power > 0) return std::nullopt;
  return message(exit_level::kOptionValue, kPowerNotPositive);
}

std::optional<OptionProblem> zero_weights_problem(std::span<const double, 7> weights) {
  if (std::any_of(weights.begin(), weights.end(), [](double w) { return w != 0.0; })) return std::nullopt;
  return message(exit_level::kResource, kPriorWeightsAllZero);
}

OptionProblem additive_weights_problem() { return message(exit_level::kOptionValue, kPriorWeightsAdditive); }

OptionProblem quarterly_weights_problem() { return message(exit_level::kOptionValue, kPriorWeightsQuarterly); }

std::optional<OptionProblem> tdcompute_without_regression_problem(const AdjustmentOptions& o) {
  if (!o.tdcompute_year || o.tdregr != TradingDayRegression::None) return std::nullopt;
  return message(exit_level::kWarning, kTdcomputeWithoutRegression);
}

OptionProblem spans_with_arima_problem() { return message(exit_level::kWarning, kSpansWithArima); }

AdjustmentOptions settled_options(AdjustmentOptions o) {
  if (o.arima) {
    ArimaOptions& a = *o.arima;
    if (!a.model) {
      a.transform = ArimaTransform{};
      for (const auto& [c, value] : {std::pair{kMapeCriterion, &a.mape_criterion},
                                     std::pair{kChiCriterion, &a.chi_criterion},
                                     std::pair{kOverdiffCriterion, &a.overdiff_criterion}})
        if (criterion_problem(c, *value)) *value = c.fallback;
    }
    if (a.maxiter < 1) a.maxiter = kDefaultMaxiter;
    o.spans.reset();
  }
  return o;
}

}  // namespace detail

std::vector<OptionProblem> check_options(const AdjustmentOptions& o) {
  using namespace detail;
  std::vector<OptionProblem> problems;
  auto add = [&](std::optional<OptionProblem> p) {
    if (p) problems.push_back(std::move(*p));
  };
  auto add_all = [&](std::vector<OptionProblem> ps) {
    for (auto& p : ps) problems.push_back(std::move(p));
  };
  auto range = [&](std::string_view name, double value, Range r, bool whole) {
    add(range_problem(name, fmt::format("{}", value), value, r, whole));
  };
  const bool monthly = o.monthly();

  // As the MONTHLY or QUARTERLY statement is read.
  if (!monthly) {
    if (o.tdregr != TradingDayRegression::None) problems.push_back(monthly_only_problem("TDREGR="));
    if (o.tdcompute_year) problems.push_back(monthly_only_problem("TDCOMPUTE="));
    if (o.tdapply_year) problems.push_back(monthly_only_problem("TDAPPLY="));
    if (o.length_of_month) problems.push_back(monthly_only_problem("LENGTH"));
    if (o.old_sigma) problems.push_back(monthly_only_problem("OLDSIGMA"));
  }
  if (o.prior_daily_weights) {
    static constexpr const char* kDays[7] = {"MON", "TUE", "WED", "THU", "FRI", "SAT", "SUN"};
    for (std::size_t d = 0; d < 7; ++d) range(kDays[d], (*o.prior_daily_weights)[d], limits::kDayWeight, false);
  }
  if (o.arima) {
    const ArimaOptions& a = *o.arima;
    range("BACKCAST", a.backcast_years, limits::kForecastYears, true);
    range("FORECAST", a.forecast_years, limits::kForecastYears, true);
    if (a.model) {
      const ArimaModel& m = *a.model;
      range("P", m.p, limits::kOrder, true);
      range("SP", m.sp, limits::kSeasonalOrder, true);
      range("Q", m.q, limits::kOrder, true);
      range("SQ", m.sq, limits::kSeasonalOrder, true);
      range("DIF", m.dif, limits::kSeasonalOrder, true);
      range("SDIF", m.sdif, limits::kSeasonalOrder, true);
    }
    range("MAXITER", a.maxiter, limits::kMaxiter, true);
    if (a.nlag) range("NLAG", *a.nlag, limits::kNlag, true);
    range("CONVERGE", a.converge, limits::kConverge, false);
  }
  if (o.spans) {
    range("CUTOFF", o.spans->cutoff, limits::kCutoff, false);
    range("TDCUTOFF", o.spans->td_cutoff, limits::kCutoff, false);
  }

  // The values, then the statements together.
  if (o.trendma) add(trendma_problem(o.frequency, *o.trendma));
  if (o.ptrendma) add(ptrendma_problem(o.frequency, *o.ptrendma));
  if (o.tdcompute_year) add(year_problem("TDCOMPUTE", *o.tdcompute_year, std::to_string(*o.tdcompute_year)));
  if (o.tdapply_year) add(year_problem("TDAPPLY", *o.tdapply_year, std::to_string(*o.tdapply_year)));
  add_all(weight_problems(o.fullweight, o.zeroweight, o.exclude));
  if (o.arima) {
    const ArimaOptions& a = *o.arima;
    if (!a.model && a.transform.kind != ArimaTransform::Kind::None)
      problems.push_back(transform_without_model_problem());
    if (a.maxiter < 1) problems.push_back(maxiter_problem());
    if (!a.model) {
      add(criterion_problem(kMapeCriterion, a.mape_criterion));
      add(criterion_problem(kChiCriterion, a.chi_criterion));
      add(criterion_problem(kOverdiffCriterion, a.overdiff_criterion));
    }
  }
  if (o.prior_daily_weights) add(zero_weights_problem(*o.prior_daily_weights));
  if (o.arima) add_all(horizon_problems(o.frequency, o.arima->backcast_years, o.arima->forecast_years));
  if (o.prior_daily_weights && o.additive()) problems.push_back(additive_weights_problem());
  if (o.arima) {
    add(nlag_problem(o.frequency, *o.arima));
    add(empty_model_problem(*o.arima));
  }
  add(tdcompute_without_regression_problem(o));
  int month_weight = 0;
  for (SeasonalCurve c : o.curves) month_weight += curve_weight(c);
  add(curves_frequency_problem(o.frequency, month_weight, 0));
  if (!monthly && o.prior_daily_weights) problems.push_back(quarterly_weights_problem());
  // A transform without a model is dropped with the warning above.
  if (o.arima && o.arima->model) add(power_problem(*o.arima));
  if (o.spans && o.arima) problems.push_back(spans_with_arima_problem());
  return problems;
}

}  // namespace x11sa
