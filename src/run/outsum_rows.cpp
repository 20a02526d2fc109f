#include "run/outsum_rows.h"

#include <algorithm>

#include "host/message_ids.h"
#include "host/messages.h"
#include "records/exit_levels.h"

namespace x11sa {

namespace {

TradingDayTreatment trading_day_treatment(const AdjustmentOptions& m, bool applied) {
  if (!m.monthly() || m.tdregr == TradingDayRegression::None)
    return m.prior_daily_weights ? TradingDayTreatment::PriorWeights : TradingDayTreatment::None;
  switch (m.tdregr) {
    case TradingDayRegression::Print: return TradingDayTreatment::EstimatedNotApplied;
    case TradingDayRegression::Adjust: return TradingDayTreatment::Adjusted;
    case TradingDayRegression::Test:
    case TradingDayRegression::None: break;
  }
  return applied ? TradingDayTreatment::TestedApplied : TradingDayTreatment::TestedNotApplied;
}

AdjustmentFigures figures_of(const StepOptions& o, const VariableOutcome& outcome) {
  AdjustmentFigures f;
  // With OUTSUM= the diagnostics are kept whatever is printed.
  if (outcome.seasonality) f.seasonality = *outcome.seasonality;
  f.henderson = outcome.trend.length;
  // A quarterly trend's length is not chosen by the ratio.
  if (o.method.monthly()) f.henderson_ic_ratio = outcome.trend.ic_ratio;
  if (outcome.f2) {
    f.mcd = outcome.f2->mcd;
    f.f2_ic_ratio = outcome.f2->ic_ratio[0];
    f.irregular_run = outcome.f2->run_irregular;
  }
  f.trading_day = trading_day_treatment(o.method, outcome.trading_day_applied);
  if (outcome.arima) {
    f.arima.status = outcome.arima->status;
    f.arima.model = outcome.arima->model;
    f.arima.transform = outcome.arima->transform;
  }
  if (outcome.spans && outcome.spans->spans > 0 && outcome.spans->seasonal_factors.compared)
    f.spans_percent = outcome.spans->seasonal_factors.percent_exceeding();
  return f;
}

}  // namespace

VariableSummary variable_summary(const StepOptions& o, const GroupData& group, const VariableReading& v,
                                 const VariableOutcome* outcome) {
  VariableSummary s;
  s.name = v.name;
  s.mode = o.method.mode;
  // The count and the periods hold once the variable was read to its end:
  // not after a bad value, nor in a group whose rows stopped early or whose
  // dates do not follow one another.
  if (group.calendar.rows > 0 && group.reason.empty() && v.exit_level <= exit_level::kWarning) {
    s.observations = v.observations;
    if (v.observations > 0) {
      s.first_date = v.first_date;
      s.last_date = v.last_date;
    }
  }
  if (outcome != nullptr && outcome->adjusted) {
    s.exit_level = outcome->exit_level;
    s.figures = figures_of(o, *outcome);
    return s;
  }
  const bool skipped = group.exit_level > exit_level::kWarning;
  s.exit_level = std::max(skipped ? group.exit_level : exit_level::kNormal, v.exit_level);
  if (skipped && !group.reason.empty()) {
    s.reason = group.reason;
  } else if (!v.reason.empty()) {
    s.reason = v.reason;
  } else {
    s.reason = msgtext(message_id::kNothingAdjustable);
  }
  return s;
}

void write_outsum_rows(const StepOptions& o, const GroupData& group, std::span<const VariableOutcome> outcomes,
                       OutputDataSets& datasets) {
  if (!o.outsum) return;
  for (std::size_t k = 0; k < group.variables.size(); ++k)
    datasets.write_outsum(variable_summary(o, group, group.variables[k], k < outcomes.size() ? &outcomes[k] : nullptr));
}

void write_outsum_rows_unadjusted(const StepOptions& o, const GroupData& group, OutputDataSets& datasets) {
  if (!o.outsum) return;
  datasets.start_group(group);
  write_outsum_rows(o, group, {}, datasets);
}

}  // namespace x11sa
