// The flows of one variable: the order its table groups run in, the ARIMA
// extension between them, and the plain flow that runs instead when the
// extension fails.
#pragma once

#include "pipeline/table_chain.h"

namespace x11sa {

enum class Flow {
  Plain,     // A to F on the observations
  Extended,  // the series extended by ARIMA forecasts and backcasts
  // A first pass on the observations finds the trading-day factors; the
  // series adjusted for them is extended and adjusted again.
  ExtendedWithTradingDay,
};

// Runs the flow of the variable, then the charts. When the extension fails,
// what the variable wrote is discarded and the plain flow runs instead.
void run_flow(VariableChain& v, Flow flow);

// The A to D tables on a stretch, printing and writing nothing: the sliding
// spans' reruns. The D8 tests are computed.
void run_silent_chain(VariableChain& v, const ChainStretch& s);

}  // namespace x11sa
