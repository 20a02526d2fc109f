// Reports of the ARIMA extension: the convergence of an estimation, the
// model, its parameter estimates and fit statistics, the Ljung-Box checks of
// its residuals, and the criteria summary of a candidate model.
#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "arima/driver.h"
#include "arima/driver_internal.h"
#include "host/host.h"
#include "numeric/distrib.h"

namespace x11sa {

using namespace detail;

namespace {

OdsCell cell(double v) { return is_missing(v) || !std::isfinite(v) ? OdsCell{} : OdsCell{v}; }

// A number for a text line; missing values show as a period.
std::string shown(double v, int decimals) {
  if (is_missing(v) || !std::isfinite(v)) return ".";
  return fmt::format("{:.{}f}", v, decimals);
}

const char* method_name(char method) {
  switch (method) {
    case kTsUls: return "Unconditional Least Squares";
    case kTsMl: return "Maximum Likelihood";
    default: return "Conditional Least Squares";
  }
}

const char* code_meaning(int rc) {
  switch (rc) {
    case kTsOk: return "Converged";
    case kTsInvalid: return "Invalid argument";
    case kTsTransform: return "A value cannot be transformed";
    case kTsFewData: return "Insufficient data";
    case kTsMemory: return "Not enough memory";
    case kTsZeroVar: return "Zero variance";
    case kTsSingular: return "Singular matrix";
    case kTsMaxIter: return "Iteration limit exceeded";
    case kTsNoImprove: return "No improvement of the objective";
    case kTsUnstable: return "Unstable or overflowing estimates";
    case kTsGiven: return "Parameters given, not estimated";
    case kTsCapability: return "Capabilities of the algorithm exceeded";
    case kTsStalled: return "Sum of squares unchanged";
    default: return "Unknown";
  }
}

const char* stop_rule(char rule) {
  switch (rule) {
    case 1: return "Relative Change in the Objective Function";
    case 2: return "Largest Gradient";
    case 3: return "Change in R-Square";
    default: return "Maximum Relative Change in the Estimates";
  }
}

double change_value(const TSNONLOPT& opt) {
  switch (opt.stoprule) {
    case 1: return opt.relobj;
    case 2: return opt.maxgrad;
    case 3: return opt.rsquare;
    default: return opt.relparm;
  }
}

// "1 - 0.40181 B**(1) + 0.2 B**(2)" for the factor 1 - sum c_j B^lag_j.
std::string factor_text(const FILTER& f) {
  std::string s = "1";
  for (int j = 0; j < f.df; ++j) {
    const double c = f.vptr[static_cast<std::size_t>(j)];
    s += fmt::format(" {} {:.5f} B**({})", c < 0 ? '+' : '-', std::fabs(c), f.dptr[static_cast<std::size_t>(j)]);
  }
  return s;
}

std::string transform_text(const TSERIES& ts) {
  switch (ts.tranopt) {
    case kTrLog:
      return ts.addcon != 0.0 ? fmt::format("Log(x + {:g})", ts.addcon) : "Log";
    case kTrBoxCox:
      return fmt::format("Box-Cox with power {:g} and constant {:g}", ts.bclamb, ts.addcon);
    case kTrPower:
      return fmt::format("(x + {:g}) ** {:g}", ts.addcon, ts.bclamb);
    default:
      return "None";
  }
}

void text_table(X11COM* Xp, const char* name, const std::string& title, const std::vector<std::string>& lines) {
  OdsManager& ods = Xp->host->ods();
  ods_check(ods.open_table("lum.x11.arima.t1", name, title));
  ods_check(ods.add_column(OdsColumn{"Text1", " ", ColType::Char, -1}));
  for (const std::string& line : lines) ods_check(ods.add_row({line}));
  ods_check(ods.close_table());
}

const TSMODEL* model_of(const TSACON* tscon) { return tscon != nullptr ? tscon->model : nullptr; }

}  // namespace

void ods_note(X11COM* Xp, const std::string& text) {
  OdsManager& ods = Xp->host->ods();
  if (!ods.active()) return;
  ods_check(ods.open_table("lum.x11.arima.t1", "Note", ""));
  ods_check(ods.add_note(text));
  ods_check(ods.close_table());
}

void ztspcnv(X11COM* Xp, const TSACON* tscon) {
  const TSMODEL* m = model_of(tscon);
  if (m == nullptr || !Xp->host->ods().active()) return;
  const TSNONLOPT& opt = m->nonlopt;
  OdsManager& ods = Xp->host->ods();
  ods_check(ods.open_table("lum.x11.ArimaConvergeSum", "ConvergenceSummary", msgtext(530)));
  ods_check(ods.add_column(OdsColumn{"Label1", " ", ColType::Char, -1}));
  ods_check(ods.add_column(OdsColumn{"cValue1", " ", ColType::Char, -1}));
  const bool ml = m->method == kTsMl;
  const std::vector<std::pair<std::string, std::string>> rows = {
      {"Estimation Method", method_name(m->method)},
      {"Parameters Estimated", fmt::format("{}", m->nparm)},
      {"Termination Criteria", stop_rule(opt.stoprule)},
      {"Iteration Stopping Value", fmt::format("{:g}", opt.converge)},
      {"Criteria Value", shown(change_value(opt), 6)},
      {"Marquardt's Lambda Coefficient", fmt::format("{:g}", opt.lambda)},
      {"Numerical Derivative Perturbation Delta", fmt::format("{:g}", opt.delta)},
      {"Iterations", fmt::format("{}", opt.numiter)},
      {"Objective Function", ml ? "Log Gaussian Likelihood" : "Sum of Squared Residuals"},
      {"Objective Function Value", shown(ml ? m->loglik : m->sse, 6)},
      {"Outcome", code_meaning(m->rc)},
  };
  for (const auto& [label, value] : rows) ods_check(ods.add_row({label, value}));
  ods_check(ods.close_table());
}

void ztspmod(X11COM* Xp, const TSACON* tscon) {
  const TSMODEL* m = model_of(tscon);
  if (m == nullptr || m->tseries == nullptr || !Xp->host->ods().active()) return;
  const TSERIES& ts = *m->tseries;
  std::vector<std::string> lines;
  lines.push_back(fmt::format("Model for variable {}", variable_name(Xp)));
  lines.push_back(fmt::format("Estimation Method: {}", method_name(m->method)));
  lines.push_back(fmt::format("Transformation: {}", transform_text(ts)));
  if (ts.ndif > 0) {
    std::string lags;
    for (int d = 0; d < ts.ndif; ++d) lags += fmt::format("{}{}", d > 0 ? "," : "", ts.differ[static_cast<std::size_t>(1 + d)]);
    lines.push_back(fmt::format("Period(s) of Differencing: {}", lags));
  } else {
    lines.push_back("No Differencing");
  }
  if (m->noconst) {
    lines.push_back("No Mean Term in this Model.");
  } else {
    lines.push_back(fmt::format("Mean Term: {:.6g}", m->mu));
    lines.push_back(fmt::format("Constant Estimate: {:.6g}", m->constant));
  }
  auto factors = [&](const char* heading, const std::vector<FILTER>& side) {
    if (side.empty()) return;
    lines.push_back(heading);
    for (std::size_t k = 0; k < side.size(); ++k)
      lines.push_back(fmt::format("    Factor {}: {}", k + 1, factor_text(side[k])));
  };
  factors("Autoregressive Factors", m->arfac);
  factors("Moving Average Factors", m->mafac);
  lines.push_back(fmt::format("Variance Estimate: {:.6g}", m->variance));
  text_table(Xp, "ModelDescription", msgtext(531), lines);
}

void ztspmdp(X11COM* Xp, const TSACON* tscon) {
  const TSMODEL* m = model_of(tscon);
  if (m == nullptr || !Xp->host->ods().active()) return;
  OdsManager& ods = Xp->host->ods();
  const MODPARMS& pp = m->parms;
  const double df = static_cast<double>(m->numres - m->nparm);
  ods_check(ods.open_table("lum.x11.ArimaParmEst", "ParameterEstimates", msgtext(532)));
  ods_check(ods.add_column(OdsColumn{"Parameter", "Parameter", ColType::Char, -1}));
  ods_check(ods.add_column(OdsColumn{"Estimate", "Estimate", ColType::Num, 5}));
  ods_check(ods.add_column(OdsColumn{"StdErr", "Standard Error", ColType::Num, 5}));
  ods_check(ods.add_column(OdsColumn{"tValue", "t Value", ColType::Num, 2}));
  ods_check(ods.add_column(OdsColumn{"Probt", "Approx Pr > |t|", ColType::Num, 4}));
  ods_check(ods.add_column(OdsColumn{"Lag", "Lag", ColType::Num, 0}));
  for (int i = 0; i < m->nparm; ++i) {
    const auto k = static_cast<std::size_t>(i);
    const double est = pp.parmest[k];
    const double se = k < pp.std.size() ? pp.std[k] : kMissing;
    double t = kMissing;
    double prob = kMissing;
    if (!is_missing(se) && se > 0.0) {
      t = est / se;
      // Two-sided t test as the F test of t squared.
      const double p = df > 0.0 ? zprbf(t * t, 1.0, df) : -1.0;
      if (p >= 0.0) prob = p;
    }
    ods_check(ods.add_row({pp.name[k], cell(est), cell(se), cell(t), cell(prob), static_cast<double>(pp.degree[k])}));
  }
  ods_check(ods.close_table());

  ods_check(ods.open_table("lum.x11.ArimaParmEst2", "FitStatistics", msgtext(533)));
  ods_check(ods.add_column(OdsColumn{"Label1", " ", ColType::Char, -1}));
  ods_check(ods.add_column(OdsColumn{"nValue1", " ", ColType::Num, -1}));
  const std::vector<std::pair<const char*, double>> stats = {
      {"Constant Estimate", m->constant},
      {"Variance Estimate", m->variance},
      {"Std Error Estimate", m->variance >= 0.0 ? std::sqrt(m->variance) : kMissing},
      {"AIC", m->aic},
      {"SBC", m->sbc},
      {"Number of Residuals", static_cast<double>(m->numres)},
  };
  for (const auto& [label, value] : stats) ods_check(ods.add_row({std::string(label), cell(value)}));
  ods_check(ods.close_table());
}

void ztsplb(X11COM* Xp, const TSACON* tscon) {
  const TSMODEL* m = model_of(tscon);
  if (m == nullptr || !Xp->host->ods().active()) return;
  OdsManager& ods = Xp->host->ods();
  constexpr int kBlock = 6;
  ods_check(ods.open_table("lum.x11.ArimaParmEst2", "ChiSqAuto", msgtext(534)));
  ods_check(ods.add_column(OdsColumn{"Lag", "To Lag", ColType::Num, 0}));
  ods_check(ods.add_column(OdsColumn{"ChiSq", "Chi-Square", ColType::Num, 2}));
  ods_check(ods.add_column(OdsColumn{"DF", "DF", ColType::Num, 0}));
  ods_check(ods.add_column(OdsColumn{"ProbChiSq", "Pr > ChiSq", ColType::Num, 4}));
  for (int j = 1; j <= kBlock; ++j)
    ods_check(ods.add_column(OdsColumn{fmt::format("Corr{}", j), fmt::format("r({})", j), ColType::Num, 3}));
  const int nchi = std::min<int>(m->nchi, static_cast<int>(std::min(m->chisq.size(), m->chidf.size())));
  for (int lag = kBlock; lag <= nchi; lag += kBlock) {
    const auto k = static_cast<std::size_t>(lag - 1);
    const double chi = m->chisq[k];
    const int df = m->chidf[k];
    const double prob = df > 0 && !is_missing(chi) ? zpgx2(chi, df) : kMissing;
    std::vector<OdsCell> row = {static_cast<double>(lag), cell(chi), static_cast<double>(df), cell(prob)};
    for (int j = lag - kBlock; j < lag; ++j) {
      const auto c = static_cast<std::size_t>(j);
      row.push_back(c < m->corr.size() ? cell(m->corr[c]) : OdsCell{});
    }
    ods_check(ods.add_row(std::move(row)));
  }
  ods_check(ods.close_table());
}

void x11cprt(X11COM* Xp, const X11ARIMA* /*iopts*/, int index) {
  if (!ods_printing(Xp) || index < 0 || index > 4) return;
  const X11ARIMAOPTS& a = Xp->x11acom.arima;
  const int add = Xp->op.add_f != 0 ? 1 : 0;
  const double* mape = a.mape[index];
  std::vector<std::string> lines = {
      "",
      "",
      msgtext(500, shown(a.chi_val[index], 2), shown(a.chi_prob[index], 4)),
      msgtext(87, shown(a.crit_val.chi_crit, 2)),
      msgtext(501, shown(a.ma_sum[index], 3)),
      msgtext(88, shown(a.crit_val.ovdif_crit, 2)),
      msgtext(502, shown(mape[3], 2), shown(a.crit_val.mape_crit, 2)),
      msgtext(503, shown(mape[2], 2)),
      msgtext(504, shown(mape[1], 2)),
      msgtext(505, shown(mape[0], 2)),
  };
  // The title is centred over the lines below it.
  const std::string title = msgtext(507 + index + 5 * add, index + 1);
  std::size_t width = title.size();
  for (const std::string& line : lines) width = std::max(width, line.size());
  lines[0] = std::string((width - title.size()) / 2, ' ') + title;
  text_table(Xp, "CriteriaSummary", "", lines);
}

}  // namespace x11sa
