// The automatic model choice: five seasonal ARIMA models are fitted in
// turn and judged by their forecast errors over the last three years, the
// Ljung-Box test of their residuals and a test for over-differencing; the
// accepted model with the smallest error extends the series.
#pragma once

#include <array>
#include <optional>
#include <span>

#include "arima/extension_internal.h"
#include "records/arima_outcome.h"
#include "x11sa/options.h"

namespace x11sa {

struct ForecastErrors {
  std::array<double, 3> by_year{kMissing, kMissing, kMissing};  // the oldest first
  double three_years = kMissing;
};

// Mean absolute percentage errors of the one-step forecast `errors` of
// `series` (the last three years or less, same length) by year of
// `periods` values and over all, leaving out periods without either.
[[nodiscard]] ForecastErrors three_year_forecast_errors(std::span<const double> series,
                                                        std::span<const double> errors, int periods);

// Whether a candidate meets the criteria of `options`: estimated, and no
// figure missing or beyond its bound.
[[nodiscard]] bool meets_criteria(const ArimaCandidate& candidate, const ArimaOptions& options);

// The accepted candidate with the smallest three-year error; on a tie the
// earlier one. None when no candidate is accepted.
[[nodiscard]] std::optional<int> choose_candidate(std::span<const ArimaCandidate> candidates);

namespace detail {

// Fits the five candidates to the run's series, chooses one, and extends
// the series with it.
void choose_and_extend(ExtensionRun& run);

}  // namespace detail

}  // namespace x11sa
