// What the ARIMA extension of one series did: the model it used with its
// estimates, the candidates of the automatic choice with their criteria,
// the forecasts and backcasts with the tables A13 and A14, and the messages
// for the log. Read by the reports, the output data sets and the library,
// which returns its public part (x11sa/arima_result.h).
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "host/message_ids.h"
#include "host/messages.h"
#include "x11sa/arima_result.h"
#include "x11sa/missing.h"
#include "x11sa/options.h"

namespace x11sa {

// One of the five models of the automatic choice.
struct ArimaCandidate {
  ArimaModel model;
  bool log_transform = false;
  CandidateResult result = CandidateResult::EstimationFailed;
  ArimaCode code = ArimaCode::Ok;  // of the step that failed
  // The messages naming the model and its failure (0: none), as logged.
  int description_message = 0;
  int failure_message = 0;
  ArimaCriteria criteria;  // of an estimated candidate
  bool accepted = false;
  // The model as its fit left it, kept when the reports show every
  // candidate (PRINTALL); of a failed candidate only the convergence
  // means something, and only when it got as far as a model.
  std::optional<ArimaEstimates> estimates;
};


// The warning the log gives when the series is adjusted without the
// extension; 0 when there is none.
[[nodiscard]] constexpr int fallback_message(ArimaStatus status) noexcept {
  switch (status) {
    case ArimaStatus::NoModelAccepted: return message_id::kNoModelAccepted;
    case ArimaStatus::NotEstimated: return message_id::kModelFailed;
    case ArimaStatus::BackcastFailed: return message_id::kBackcastsFailed;
    default: return 0;
  }
}

// Where a message's text comes from.
enum class ArimaMessageSource {
  Procedure,    // the procedure's catalogue
  Engine,       // the engine's own catalogue
  MemoryShort,  // not enough memory; the argument is the bytes short
  Internal,     // a fault of the engine; the argument is its description
};

// A message for the log, in the order it arose.
struct ArimaMessage {
  ArimaMessageSource source = ArimaMessageSource::Procedure;
  int number = 0;
  Severity severity = Severity::Note;
  // The text's argument: the variable's name, which the caller knows, or a
  // value already formatted (empty for a text without one).
  bool names_variable = false;
  std::string argument;
};

struct ArimaOutcome {
  ArimaStatus status = ArimaStatus::NotEstimated;
  ArimaModel model;  // the user's or the chosen one
  ArimaTransform transform;
  // The automatic choice: the five candidates in order, and the one chosen.
  std::vector<ArimaCandidate> candidates;
  std::optional<int> chosen;
  // The estimates of the model used, as estimated on the series (the
  // backcasts come from a second estimation on the reversed series); the
  // user's model has them once estimated, even when its forecast failed.
  std::optional<ArimaEstimates> estimates;
  // After the last observation and before the first, in time order.
  std::vector<double> forecasts;
  std::vector<double> backcasts;
  // A13: the one-step fitted values of the observations, then the
  // forecasts. A14: the backcasts, then the fitted values of the series
  // reversed, in time order. Empty when not computed.
  std::vector<double> a13;
  std::vector<double> a14;
  std::vector<ArimaMessage> messages;

  [[nodiscard]] bool extended() const noexcept { return status == ArimaStatus::Extended; }
};

}  // namespace x11sa
