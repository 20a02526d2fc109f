// Messages of the arima subsystem: the ARIMA extension and its automatic
// model selection, and the engine's own set 499.
#include <algorithm>
#include <array>

#include "host/messages.h"

namespace x11sa {

namespace {

using enum Severity;

// Ordered by number. Numeric arguments of the report lines arrive already
// formatted, so that a missing value can show as such.
constexpr auto kPart = std::to_array<Message>({
    // Estimation failures, by engine code + 45.
    {46, Note, "The model was not estimated for variable {0}: the ARIMA engine was given an invalid argument."},
    {47, Note,
     "The model was not estimated for variable {0}: a value cannot be transformed (a log or power "
     "transform needs values above zero)."},
    {48, Note, "The model was not estimated for variable {0}: the series is too short for the model."},
    {49, Note, "The model was not estimated for variable {0}: not enough memory."},
    {50, Note, "The model was not estimated for variable {0}: the differenced series does not vary."},
    {51, Note, "The model was not estimated for variable {0}: a singular matrix was met."},
    {52, Note,
     "The model was not estimated for variable {0}: the estimates had not converged at the iteration "
     "limit (MAXITER= allows more iterations)."},
    {53, Note, "The model was not estimated for variable {0}: no step improved the fit."},
    {54, Note,
     "The model was not estimated for variable {0}: the estimates became unstable or overflowed."},
    {55, Note, "The model of variable {0} has no parameter to estimate."},
    {56, Note,
     "The model was not estimated for variable {0}: the capabilities of the algorithm were exceeded."},
    {57, Note,
     "The model was not estimated for variable {0}: the sum of squares stopped changing before the "
     "estimates converged."},
    {68, Note, "CONVERGE= of 0 or below is replaced by {0}."},
    {69, Note, "CONVERGE= is below the smallest usable value; {0} is used."},
    {87, Text, "    Criterion: a probability of at least {0}"},
    {88, Text, "    Criterion: at most {0}"},
    // Forecast failures, by engine code.
    {188, Note, "The model could not forecast variable {0}: the forecaster was given an invalid argument."},
    {189, Note, "The model could not forecast variable {0}: not enough memory."},
    {215, Note, "The model could not forecast variable {0}: a singular matrix was met."},
    {216, Note, "The model could not forecast variable {0}: the forecasts became unstable or overflowed."},
    {218, Note,
     "The model could not forecast variable {0}: the forecasts exceed the range of the inverse "
     "transform."},
    {220, Note,
     "The model could not forecast variable {0}: a value cannot be transformed (a log or power "
     "transform needs values above zero)."},
    // The criteria summary of a candidate model.
    {500, Text, "Ljung-Box test of the residuals: chi-square {0}, probability {1}"},
    {501, Text, "Over-differencing: largest sum of moving-average coefficients {0}"},
    {502, Text, "Mean absolute percentage error of the last three years: {0} (criterion: at most {1})"},
    {503, Text, "    Last year: {0}"},
    {504, Text, "    Next-to-last year: {0}"},
    {505, Text, "    Third-to-last year: {0}"},
    {507, Text, "Criteria Summary for Model {0}: (0,1,1)(0,1,1)s, Log Transform"},
    {508, Text, "Criteria Summary for Model {0}: (0,1,2)(0,1,1)s, Log Transform"},
    {509, Text, "Criteria Summary for Model {0}: (2,1,0)(0,1,1)s, Log Transform"},
    {510, Text, "Criteria Summary for Model {0}: (0,2,2)(0,1,1)s, Log Transform"},
    {511, Text, "Criteria Summary for Model {0}: (2,1,2)(0,1,1)s, No Transform"},
    {512, Text, "Criteria Summary for Model {0}: (0,1,1)(0,1,1)s, No Transform"},
    {513, Text, "Criteria Summary for Model {0}: (0,1,2)(0,1,1)s, No Transform"},
    {514, Text, "Criteria Summary for Model {0}: (2,1,0)(0,1,1)s, No Transform"},
    {515, Text, "Criteria Summary for Model {0}: (0,2,2)(0,1,1)s, No Transform"},
    {516, Text, "Criteria Summary for Model {0}: (2,1,2)(0,1,1)s, No Transform"},
    {517, Text, "Model {0} is chosen: (0,1,1)(0,1,1)s with log transform."},
    {518, Text, "Model {0} is chosen: (0,1,2)(0,1,1)s with log transform."},
    {519, Text, "Model {0} is chosen: (2,1,0)(0,1,1)s with log transform."},
    {520, Text, "Model {0} is chosen: (0,2,2)(0,1,1)s with log transform."},
    {521, Text, "Model {0} is chosen: (2,1,2)(0,1,1)s without transform."},
    {522, Text, "Model {0} is chosen: (0,1,1)(0,1,1)s without transform."},
    {523, Text, "Model {0} is chosen: (0,1,2)(0,1,1)s without transform."},
    {524, Text, "Model {0} is chosen: (2,1,0)(0,1,1)s without transform."},
    {525, Text, "Model {0} is chosen: (0,2,2)(0,1,1)s without transform."},
    {526, Text, "Model {0} is chosen: (2,1,2)(0,1,1)s without transform."},
    {527, Text,
     "Of the models that meet all three criteria, the one with the smallest three-year forecast error "
     "extends the series."},
    // Titles of the ARIMA reports.
    {530, Text, "ARIMA Estimation: Convergence Summary"},
    {531, Text, "ARIMA Model"},
    {532, Text, "ARIMA Parameter Estimates"},
    {533, Text, "ARIMA Fit Statistics"},
    {534, Text, "Autocorrelation Check of Residuals"},
    {540, Warning,
     "No ARIMA model meets the acceptance criteria for variable {0}; it is adjusted without forecasts "
     "and backcasts. MAPECR=, CHICR= and OVDIFCR= set the criteria; MODEL= names a model to use."},
    {541, Warning,
     "The ARIMA model of variable {0} could not be estimated or forecast; it is adjusted without "
     "forecasts and backcasts."},
    {545, Warning,
     "The backcasts of variable {0} could not be computed; it is adjusted without forecasts and "
     "backcasts."},
    // The candidate models, named in the failure notes.
    {569, Note, "Model {0}: (0,1,1)(0,1,1)s with log transform."},
    {570, Note, "Model {0}: (0,1,2)(0,1,1)s with log transform."},
    {571, Note, "Model {0}: (2,1,0)(0,1,1)s with log transform."},
    {572, Note, "Model {0}: (0,2,2)(0,1,1)s with log transform."},
    {573, Note, "Model {0}: (2,1,2)(0,1,1)s without transform."},
    {574, Note, "Model {0}: (0,1,1)(0,1,1)s without transform."},
    {575, Note, "Model {0}: (0,1,2)(0,1,1)s without transform."},
    {576, Note, "Model {0}: (2,1,0)(0,1,1)s without transform."},
    {577, Note, "Model {0}: (0,2,2)(0,1,1)s without transform."},
    {578, Note, "Model {0}: (2,1,2)(0,1,1)s without transform."},
});

// The ARIMA engine's own messages.
constexpr auto kEngine = std::to_array<Message>({
    {1, Warning, "An invalid argument has been supplied to {0}."},
    {145, Note, "The sum of squares did not change in {0} consecutive iterations; the estimation stops."},
});

template <std::size_t N>
constexpr bool ascending(const std::array<Message, N>& messages) {
  for (std::size_t i = 1; i < N; ++i)
    if (messages[i - 1].number >= messages[i].number) return false;
  return true;
}
static_assert(ascending(kPart), "message numbers must be ascending and unique");
static_assert(ascending(kEngine), "message numbers must be ascending and unique");

}  // namespace

std::span<const Message> arima_messages() noexcept { return kPart; }

std::span<const Message> message_catalogue499() noexcept { return kEngine; }

const Message* find_message499(int number) noexcept {
  const auto it = std::lower_bound(kEngine.begin(), kEngine.end(), number,
                                   [](const Message& m, int n) { return m.number < n; });
  return it != kEngine.end() && it->number == number ? &*it : nullptr;
}

std::string message499_vtext(int number, fmt::format_args args) {
  const Message* m = find_message499(number);
  if (m == nullptr) return fmt::format("(engine message {} is missing from the catalogue)", number);
  try {
    return fmt::vformat(m->text, args);
  } catch (const fmt::format_error&) {
    return fmt::format("{} (engine message {}: arguments do not fit)", m->text, number);
  }
}

}  // namespace x11sa
