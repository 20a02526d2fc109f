// The working state of one extension and the steps the user's model and
// the automatic choice share.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "arima/model_fit.h"
#include "records/arima_outcome.h"
#include "x11sa/options.h"

namespace x11sa::detail {

struct ExtensionRun {
  std::span<const double> series;
  int periods = 12;
  Mode mode = Mode::Multiplicative;
  const ArimaOptions& options;
  bool keep_candidate_estimates = false;
  long forecast_periods = 0;
  long backcast_periods = 0;
  std::vector<double> reversed;  // the series backwards, for the backcasts
  ArimaOutcome outcome;
};

[[nodiscard]] ArimaCode code_of(int rc) noexcept;

// Messages of the procedure's catalogue: one naming the variable, one with
// a formatted argument.
void add_variable_message(ExtensionRun& run, int number);
void add_message(ExtensionRun& run, int number, std::string argument);
// The message of a failed estimation or forecast, by engine code; 0 for a
// code that has none.
[[nodiscard]] int estimation_failure_message(int rc) noexcept;
[[nodiscard]] int forecast_failure_message(int rc) noexcept;

// Moves the messages the engine raised into the outcome. False when one of
// them is a fault of the engine: the outcome then ends there, with the
// status InternalError.
[[nodiscard]] bool take_engine_messages(ExtensionRun& run, EngineContext* context);
// Ends the run on a fault of its own.
void internal_error(ExtensionRun& run, std::string text);

// Every figure of an estimated model.
[[nodiscard]] ArimaEstimates estimates_of(const ModelRecord& model);

// The forecasts of an estimated and forecast fit, and A13.
void keep_forecasts(ExtensionRun& run, const ModelFit& fit);
// Backcasts by forecasting the series reversed with the fit's model, and
// A14. False when the estimation or the forecast failed (status
// BackcastFailed) or the engine stopped (InternalError).
[[nodiscard]] bool backcast(ExtensionRun& run, ModelFit& fit);

}  // namespace x11sa::detail
