// The reports of the ARIMA extension: the convergence of an estimation, the
// model, its parameter estimates and fit statistics, the Ljung-Box checks
// of its residuals, the criteria of the candidates of the automatic choice
// and the notes on failures.
#pragma once

#include <string>

#include "host/ods.h"
#include "records/arima_outcome.h"
#include "x11sa/options.h"

namespace x11sa {

// Everything `level` asks for about one variable's extension, in the order
// of the listing: the candidates one after the other (with PRINTALL) or the
// model used, then the choice, then the note on a fallback. Nothing without
// output objects or at level None.
void print_arima_reports(OdsManager& ods, const ArimaOutcome& outcome, const ArimaOptions& options,
                         ReportLevel level, Mode mode, const std::string& variable);

void print_convergence_summary(OdsManager& ods, const ArimaEstimates& estimates);
void print_model_description(OdsManager& ods, const ArimaEstimates& estimates, const std::string& variable);
// The parameter estimates, then the fit statistics.
void print_parameter_estimates(OdsManager& ods, const ArimaEstimates& estimates);
void print_residual_checks(OdsManager& ods, const ArimaEstimates& estimates);
// The criteria of candidate `index` (0 to 4) against those of `options`.
void print_criteria_summary(OdsManager& ods, const ArimaCandidate& candidate, int index,
                            const ArimaOptions& options, Mode mode);
// A message shown as a note among the reports.
void print_arima_note(OdsManager& ods, const std::string& text);

}  // namespace x11sa
