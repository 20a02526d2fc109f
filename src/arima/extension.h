// The ARIMA extension of a series: the user's model, or the one the
// automatic choice takes among five, is fitted to the observations, and its
// forecasts and backcasts extend the series before the moving averages.
#pragma once

#include <span>

#include "records/arima_outcome.h"
#include "x11sa/options.h"

namespace x11sa {

// Fits the model `options` gives (the automatic choice when it names none)
// to `series`, the observations without the periods around them, and
// forecasts options.forecast_years and backcasts options.backcast_years
// years. The mode decides whether the candidates of the automatic choice
// take logarithms. The outcome says whether the series was extended and,
// if not, why; its messages are for the caller to log in order. Every
// candidate's estimates are kept only on request (a report that shows them
// all): they cost their probabilities.
[[nodiscard]] ArimaOutcome extend_by_arima(std::span<const double> series, Frequency frequency, Mode mode,
                                           const ArimaOptions& options, bool keep_candidate_estimates = false);

}  // namespace x11sa
