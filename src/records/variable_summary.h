// The summary of one analysis variable of a BY group, as OUTSUM= writes it:
// how its adjustment ended, the tests for seasonality on D8, the trend, the
// summary measures, what was done about trading day and ARIMA, the sliding
// spans; or why it was not adjusted.
#pragma once

#include <optional>
#include <string>

#include "records/exit_levels.h"
#include "x11sa/arima_result.h"
#include "x11sa/missing.h"
#include "x11sa/options.h"
#include "x11sa/seasonality_tests.h"

namespace x11sa {

// What the adjustment did about trading-day effects.
enum class TradingDayTreatment {
  None,                 // no regression and no prior daily weights
  PriorWeights,         // PDWEIGHTS alone
  EstimatedNotApplied,  // TDREGR=PRINT
  Adjusted,             // TDREGR=ADJUST
  TestedApplied,        // TDREGR=TEST, the F test found an effect
  TestedNotApplied,     // TDREGR=TEST, it did not
};

// The ARIMA extension of a variable: none asked for, or what it did with
// which model.
struct ArimaUse {
  std::optional<ArimaStatus> status;  // none: no ARIMA statement
  ArimaModel model;
  ArimaTransform transform;
};

// The figures of an adjusted variable.
struct AdjustmentFigures {
  D8Tests seasonality;
  int henderson = 0;                 // the length of D12's Henderson trend
  double henderson_ic_ratio = kMissing;  // the I/C ratio that chose it; missing for quarterly series
  int mcd = 0;                       // months (quarters) for cyclical dominance
  double f2_ic_ratio = kMissing;     // F2.D, the span of one period
  double irregular_run = kMissing;   // F2.C, the average duration of run of I
  TradingDayTreatment trading_day = TradingDayTreatment::None;
  ArimaUse arima;
  // The periods of D10 the sliding spans flag, in percent; missing without
  // the spans or when the series is too short for two.
  double spans_percent = kMissing;
};

struct VariableSummary {
  std::string name;
  int exit_level = exit_level::kNormal;
  Mode mode = Mode::Multiplicative;
  // Its values from the first to the last, and their periods (first days);
  // none when the reading stopped before the variable's end.
  std::optional<long> observations;
  double first_date = kMissing, last_date = kMissing;
  // None when the variable was not adjusted; `reason` then says why.
  std::optional<AdjustmentFigures> figures;
  std::string reason;
};

}  // namespace x11sa
