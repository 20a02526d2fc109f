// The checks of the options, each once: the statements call them where they
// read a value (adding its line and column), check_options() calls them all
// on a set of typed options. Every problem is in the statements' words.
#pragma once

#include <limits>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "host/message_ids.h"
#include "x11sa/options.h"

namespace x11sa::detail {

inline constexpr double kNoLimit = std::numeric_limits<double>::infinity();

// The numbers an option takes, both ends included.
struct Range {
  double lo = -kNoLimit;
  double hi = kNoLimit;
};

namespace limits {
// Decimals beyond this widen a number past any use and, in the month-by-year
// tables, a column past the widest line.
inline constexpr Range kDecimals{0, 12};
inline constexpr Range kForecastYears{0, 100};  // BACKCAST= and FORECAST=
// MAXITER= below 1 falls back to 15 with a warning of its own.
inline constexpr Range kMaxiter{-kNoLimit, 1000};
inline constexpr Range kNlag{1, 240};
inline constexpr Range kConverge{1e-12, 1};
// Orders beyond these have no estimable model on any series we adjust, and
// their polynomials would be long.
inline constexpr Range kOrder{0, 36};          // P= and Q=
inline constexpr Range kSeasonalOrder{0, 3};   // SP=, SQ=, DIF= and SDIF=
inline constexpr Range kSpanWidth{1, 32};
inline constexpr Range kCutoff{0.01, 100};     // CUTOFF= and TDCUTOFF=
// Weights are relative to one another; a negative one has no meaning.
inline constexpr Range kDayWeight{0, 1000};
}  // namespace limits

// "NAME=value is outside its range: ..." when `value` (written as
// `written`) is outside `range`; whole numbers also stay within what the
// settings hold.
[[nodiscard]] std::optional<OptionProblem> range_problem(std::string_view name, std::string_view written,
                                                         double value, Range range, bool whole);

// An option of the MONTHLY statement given for a quarterly series;
// `option` as written in the message ("TDREGR=", "LENGTH").
[[nodiscard]] OptionProblem monthly_only_problem(std::string_view option);

[[nodiscard]] std::optional<OptionProblem> trendma_problem(Frequency f, int length);
[[nodiscard]] std::optional<OptionProblem> ptrendma_problem(Frequency f, int length);
// TDCOMPUTE= and TDAPPLY=: a year whose first day is a valid date.
[[nodiscard]] std::optional<OptionProblem> year_problem(std::string_view option, int year,
                                                        std::string_view written);
// FULLWEIGHT=, EXCLUDE= and ZEROWEIGHT= each within 0.1 to 9.9, and the
// zero-weight limit not below the full-weight one.
[[nodiscard]] std::vector<OptionProblem> weight_problems(double fullweight, double zeroweight, double exclude);

// MACURVES: a word that names no curve.
[[nodiscard]] OptionProblem unknown_curve_problem(std::string_view period, std::string_view written);
// The weight of a choice in the test for choices of the other frequency:
// STABLE counts against the others, so a lone STABLE passes.
[[nodiscard]] int curve_weight(SeasonalCurve c) noexcept;
inline constexpr int kUnknownCurveWeight = -2;
// Monthly choices (their weights summing to `month_weight`) for a quarterly
// series, or quarterly ones for a monthly series.
[[nodiscard]] std::optional<OptionProblem> curves_frequency_problem(Frequency f, int month_weight,
                                                                    int quarter_weight);

// ARIMA. Where a warning names another value, the options go on with it.
[[nodiscard]] OptionProblem transform_without_model_problem();
inline constexpr int kDefaultMaxiter = 15;
[[nodiscard]] OptionProblem maxiter_problem();  // MAXITER= below 1
// The criteria of the automatic choice: the value when it lies within the
// criterion's range, else the default with a warning.
struct Criterion {
  int message;
  double lo, hi, fallback;
};
inline constexpr Criterion kMapeCriterion{message_id::kMapecrOutOfRange, 1.0, 100.0, 15.0};
inline constexpr Criterion kChiCriterion{message_id::kChicrOutOfRange, 0.01, 0.90, 0.05};
inline constexpr Criterion kOverdiffCriterion{message_id::kOvdifcrOutOfRange, 0.80, 0.99, 0.90};
[[nodiscard]] std::optional<OptionProblem> criterion_problem(const Criterion& c, double value);
[[nodiscard]] std::vector<OptionProblem> horizon_problems(Frequency f, int backcast_years, int forecast_years);
[[nodiscard]] int default_nlag(Frequency f) noexcept;
// NLAG= other than the default with the automatic choice.
[[nodiscard]] std::optional<OptionProblem> nlag_problem(Frequency f, const ArimaOptions& a);
// A model with no AR or MA term and no constant.
[[nodiscard]] std::optional<OptionProblem> empty_model_problem(const ArimaOptions& a);
// TRANSFORM=(a ** b) with b not above 0.
[[nodiscard]] std::optional<OptionProblem> power_problem(const ArimaOptions& a);

// PDWEIGHTS.
[[nodiscard]] std::optional<OptionProblem> zero_weights_problem(std::span<const double, 7> weights);
[[nodiscard]] OptionProblem additive_weights_problem();
[[nodiscard]] OptionProblem quarterly_weights_problem();

[[nodiscard]] std::optional<OptionProblem> tdcompute_without_regression_problem(const AdjustmentOptions& o);
// SSPAN with ARIMA: the spans are dropped.
[[nodiscard]] OptionProblem spans_with_arima_problem();

// The options a run goes on with after the warnings of check_options():
// MAXITER= below 1 and criteria outside their ranges take their defaults,
// a transform without a model and the spans with ARIMA are dropped.
[[nodiscard]] AdjustmentOptions settled_options(AdjustmentOptions o);

}  // namespace x11sa::detail
