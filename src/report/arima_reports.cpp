// Reports of the ARIMA extension from its outcome: the convergence of an
// estimation, the model, its parameter estimates and fit statistics, the
// Ljung-Box checks of its residuals, the criteria summary of a candidate,
// and the notes that tell what failed.
#include "report/arima_reports.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include <fmt/format.h>

#include "host/message_ids.h"
#include "host/messages.h"

namespace x11sa {

namespace {

OdsCell cell(double v) { return is_missing(v) || !std::isfinite(v) ? OdsCell{} : OdsCell{v}; }

// A number for a text line; missing values show as a period.
std::string shown(double v, int decimals) {
  if (is_missing(v) || !std::isfinite(v)) return ".";
  return fmt::format("{:.{}f}", v, decimals);
}

const char* method_name(ArimaMethod method) {
  switch (method) {
    case ArimaMethod::Uls: return "Unconditional Least Squares";
    case ArimaMethod::Ml: return "Maximum Likelihood";
    default: return "Conditional Least Squares";
  }
}

const char* code_meaning(ArimaCode code) {
  switch (code) {
    case ArimaCode::Ok: return "Converged";
    case ArimaCode::InvalidArgument: return "Invalid argument";
    case ArimaCode::CannotTransform: return "A value cannot be transformed";
    case ArimaCode::TooFewData: return "Insufficient data";
    case ArimaCode::NoMemory: return "Not enough memory";
    case ArimaCode::ZeroVariance: return "Zero variance";
    case ArimaCode::Singular: return "Singular matrix";
    case ArimaCode::IterationLimit: return "Iteration limit exceeded";
    case ArimaCode::NoImprovement: return "No improvement of the objective";
    case ArimaCode::Unstable: return "Unstable or overflowing estimates";
    case ArimaCode::ParametersGiven: return "Parameters given, not estimated";
    case ArimaCode::CapabilityExceeded: return "Capabilities of the algorithm exceeded";
    case ArimaCode::Stalled: return "Sum of squares unchanged";
  }
  return "Unknown";
}

const char* stop_rule_name(ArimaStopRule rule) {
  switch (rule) {
    case ArimaStopRule::ObjectiveChange: return "Relative Change in the Objective Function";
    case ArimaStopRule::LargestGradient: return "Largest Gradient";
    case ArimaStopRule::RSquareChange: return "Change in R-Square";
    default: return "Maximum Relative Change in the Estimates";
  }
}

// "1 - 0.40181 B**(1) + 0.2 B**(2)" for the factor 1 - sum c_j B^lag_j.
std::string factor_text(const LagFactor& f) {
  std::string s = "1";
  for (std::size_t j = 0; j < f.coefficients.size(); ++j) {
    const double c = f.coefficients[j];
    s += fmt::format(" {} {:.5f} B**({})", c < 0 ? '+' : '-', std::fabs(c), f.lags[j]);
  }
  return s;
}

std::string transform_text(const ArimaTransform& t) {
  switch (t.kind) {
    case ArimaTransform::Kind::Log:
      return t.shift != 0.0 ? fmt::format("Log(x + {:g})", t.shift) : "Log";
    case ArimaTransform::Kind::Power:
      return fmt::format("(x + {:g}) ** {:g}", t.shift, t.power);
    default:
      return "None";
  }
}

void text_table(OdsManager& ods, const char* name, const std::string& title, const std::vector<std::string>& lines) {
  ods.open_table("lum.x11.arima.t1", name, title);
  ods.add_column(OdsColumn{"Text1", " ", ColType::Char, -1});
  for (const std::string& line : lines) ods.add_row({line});
  ods.close_table();
}

// The reports of one estimated model, as PRINTALL or the standard print
// shows them.
void print_estimates(OdsManager& ods, const ArimaEstimates& e, ReportLevel level, const std::string& variable) {
  if (level == ReportLevel::All) print_convergence_summary(ods, e);
  print_model_description(ods, e, variable);
  if (level != ReportLevel::All) return;
  print_parameter_estimates(ods, e);
  print_residual_checks(ods, e);
}

// Each candidate as it was fitted: its reports and criteria, or the notes
// on its failure with the convergence as far as it got.
void print_candidates(OdsManager& ods, const ArimaOutcome& outcome, const ArimaOptions& options, Mode mode,
                      const std::string& variable) {
  for (std::size_t i = 0; i < outcome.candidates.size(); ++i) {
    const ArimaCandidate& c = outcome.candidates[i];
    const int index = static_cast<int>(i);
    if (c.result == CandidateResult::Estimated) {
      if (c.estimates) print_estimates(ods, *c.estimates, ReportLevel::All, variable);
      print_criteria_summary(ods, c, index, options, mode);
      continue;
    }
    print_arima_note(ods, msgtext(c.description_message, index + 1));
    if (c.failure_message != 0) print_arima_note(ods, msgtext(c.failure_message, variable));
    if (c.estimates) print_convergence_summary(ods, *c.estimates);
  }
}

}  // namespace

void print_arima_note(OdsManager& ods, const std::string& text) {
  if (!ods.active()) return;
  ods.open_table("lum.x11.arima.t1", "Note", "");
  ods.add_note(text);
  ods.close_table();
}

void print_convergence_summary(OdsManager& ods, const ArimaEstimates& e) {
  if (!ods.active()) return;
  ods.open_table("lum.x11.ArimaConvergeSum", "ConvergenceSummary", msgtext(text_id::kConvergenceSummary));
  ods.add_column(OdsColumn{"Label1", " ", ColType::Char, -1});
  ods.add_column(OdsColumn{"cValue1", " ", ColType::Char, -1});
  const bool ml = e.method == ArimaMethod::Ml;
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"Estimation Method", method_name(e.method)},
      {"Parameters Estimated", fmt::format("{}", e.parameters.size())},
      {"Termination Criteria", stop_rule_name(e.stop_rule)},
      {"Iteration Stopping Value", fmt::format("{:g}", e.stopping_value)},
      {"Criteria Value", shown(e.criterion_value, 6)},
      {"Marquardt's Lambda Coefficient", fmt::format("{:g}", e.marquardt_lambda)},
      {"Numerical Derivative Perturbation Delta", fmt::format("{:g}", e.delta)},
      {"Iterations", fmt::format("{}", e.iterations)},
      {"Objective Function", ml ? "Log Gaussian Likelihood" : "Sum of Squared Residuals"},
      {"Objective Function Value", shown(e.objective, 6)},
      {"Outcome", code_meaning(e.code)},
  };
  for (const auto& [label, value] : rows) ods.add_row({label, value});
  ods.close_table();
}

void print_model_description(OdsManager& ods, const ArimaEstimates& e, const std::string& variable) {
  if (!ods.active()) return;
  std::vector<std::string> lines;
  lines.push_back(fmt::format("Model for variable {}", variable));
  lines.push_back(fmt::format("Estimation Method: {}", method_name(e.method)));
  lines.push_back(fmt::format("Transformation: {}", transform_text(e.transform)));
  if (!e.differencing.empty()) {
    std::string lags;
    for (std::size_t d = 0; d < e.differencing.size(); ++d) lags += fmt::format("{}{}", d > 0 ? "," : "", e.differencing[d]);
    lines.push_back(fmt::format("Period(s) of Differencing: {}", lags));
  } else {
    lines.push_back("No Differencing");
  }
  if (!e.has_mean) {
    lines.push_back("No Mean Term in this Model.");
  } else {
    lines.push_back(fmt::format("Mean Term: {:.6g}", e.mean));
    lines.push_back(fmt::format("Constant Estimate: {:.6g}", e.constant));
  }
  auto factors = [&](const char* heading, const std::vector<LagFactor>& side) {
    if (side.empty()) return;
    lines.push_back(heading);
    for (std::size_t k = 0; k < side.size(); ++k)
      lines.push_back(fmt::format("    Factor {}: {}", k + 1, factor_text(side[k])));
  };
  factors("Autoregressive Factors", e.ar_factors);
  factors("Moving Average Factors", e.ma_factors);
  lines.push_back(fmt::format("Variance Estimate: {:.6g}", e.variance));
  text_table(ods, "ModelDescription", msgtext(text_id::kArimaModel), lines);
}

void print_parameter_estimates(OdsManager& ods, const ArimaEstimates& e) {
  if (!ods.active()) return;
  ods.open_table("lum.x11.ArimaParmEst", "ParameterEstimates", msgtext(text_id::kParameterEstimates));
  ods.add_column(OdsColumn{"Parameter", "Parameter", ColType::Char, -1});
  ods.add_column(OdsColumn{"Estimate", "Estimate", ColType::Num, 5});
  ods.add_column(OdsColumn{"StdErr", "Standard Error", ColType::Num, 5});
  ods.add_column(OdsColumn{"tValue", "t Value", ColType::Num, 2});
  ods.add_column(OdsColumn{"Probt", "Approx Pr > |t|", ColType::Num, 4});
  ods.add_column(OdsColumn{"Lag", "Lag", ColType::Num, 0});
  for (const ArimaParameter& p : e.parameters)
    ods.add_row({p.name, cell(p.estimate), cell(p.std_error), cell(p.t_value), cell(p.probability),
                 static_cast<double>(p.lag)});
  ods.close_table();

  ods.open_table("lum.x11.ArimaParmEst2", "FitStatistics", msgtext(text_id::kFitStatistics));
  ods.add_column(OdsColumn{"Label1", " ", ColType::Char, -1});
  ods.add_column(OdsColumn{"nValue1", " ", ColType::Num, -1});
  const std::vector<std::pair<const char*, double>> stats = {
      {"Constant Estimate", e.constant},
      {"Variance Estimate", e.variance},
      {"Std Error Estimate", e.variance >= 0.0 ? std::sqrt(e.variance) : kMissing},
      {"AIC", e.aic},
      {"SBC", e.sbc},
      {"Number of Residuals", static_cast<double>(e.residuals)},
  };
  for (const auto& [label, value] : stats) ods.add_row({std::string(label), cell(value)});
  ods.close_table();
}

void print_residual_checks(OdsManager& ods, const ArimaEstimates& e) {
  if (!ods.active()) return;
  ods.open_table("lum.x11.ArimaParmEst2", "ChiSqAuto", msgtext(text_id::kResidualAutocorrelations));
  ods.add_column(OdsColumn{"Lag", "To Lag", ColType::Num, 0});
  ods.add_column(OdsColumn{"ChiSq", "Chi-Square", ColType::Num, 2});
  ods.add_column(OdsColumn{"DF", "DF", ColType::Num, 0});
  ods.add_column(OdsColumn{"ProbChiSq", "Pr > ChiSq", ColType::Num, 4});
  for (std::size_t j = 1; j <= std::tuple_size_v<decltype(LjungBoxCheck::correlations)>; ++j)
    ods.add_column(OdsColumn{fmt::format("Corr{}", j), fmt::format("r({})", j), ColType::Num, 3});
  for (const LjungBoxCheck& c : e.ljung_box) {
    std::vector<OdsCell> row = {static_cast<double>(c.lag), cell(c.chi_square), static_cast<double>(c.df),
                                cell(c.probability)};
    for (double r : c.correlations) row.push_back(cell(r));
    ods.add_row(std::move(row));
  }
  ods.close_table();
}

void print_criteria_summary(OdsManager& ods, const ArimaCandidate& candidate, int index,
                            const ArimaOptions& options, Mode mode) {
  if (!ods.active() || index < 0 || index > 4) return;
  const ArimaCriteria& c = candidate.criteria;
  std::vector<std::string> lines = {
      "",
      "",
      msgtext(text_id::kLjungBoxLine, shown(c.chi_square, 2), shown(c.chi_probability, 4)),
      msgtext(text_id::kProbabilityCriterion, shown(options.chi_criterion, 2)),
      msgtext(text_id::kOverdifferencingLine, shown(c.overdifferencing, 3)),
      msgtext(text_id::kUpperCriterion, shown(options.overdiff_criterion, 2)),
      msgtext(text_id::kMapeLine, shown(c.mape, 2), shown(options.mape_criterion, 2)),
      msgtext(text_id::kMapeLastYear, shown(c.mape_by_year[2], 2)),
      msgtext(text_id::kMapeNextToLastYear, shown(c.mape_by_year[1], 2)),
      msgtext(text_id::kMapeThirdToLastYear, shown(c.mape_by_year[0], 2)),
  };
  // The title is centred over the lines below it.
  const std::string title = msgtext(text_id::criteria_summary(index, mode == Mode::Additive), index + 1);
  std::size_t width = title.size();
  for (const std::string& line : lines) width = std::max(width, line.size());
  lines[0] = std::string((width - title.size()) / 2, ' ') + title;
  text_table(ods, "CriteriaSummary", "", lines);
}

void print_arima_reports(OdsManager& ods, const ArimaOutcome& outcome, const ArimaOptions& options,
                         ReportLevel level, Mode mode, const std::string& variable) {
  if (level == ReportLevel::None || !ods.active()) return;
  const bool all = level == ReportLevel::All;
  if (options.model.has_value()) {
    if (outcome.estimates) print_estimates(ods, *outcome.estimates, level, variable);
  } else {
    if (all) print_candidates(ods, outcome, options, mode, variable);
    if (outcome.chosen) {
      const int best = *outcome.chosen;
      const ArimaCandidate& c = outcome.candidates[static_cast<std::size_t>(best)];
      if (all) {
        print_arima_note(ods, msgtext(text_id::kChoiceRule));
        print_arima_note(ods, msgtext(text_id::model_chosen(best, mode == Mode::Additive), best + 1));
      } else if (outcome.estimates) {
        print_model_description(ods, *outcome.estimates, variable);
        print_criteria_summary(ods, c, best, options, mode);
      }
    }
  }
  if (const int number = fallback_message(outcome.status); number != 0)
    print_arima_note(ods, msgtext(number, variable));
}

}  // namespace x11sa
