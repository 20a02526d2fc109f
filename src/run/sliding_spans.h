// The sliding spans of one variable: the adjustment rerun on up to four
// overlapping spans, their comparison, the reports S0 to S7 and OUTSPAN=.
#pragma once

#include <string>

#include "pipeline/table_chain.h"
#include "run/variable_loop.h"

namespace x11sa {

// The spans of the variable whose chain `variable` has just run: lays them
// out (message 219 when fewer than two fit), reruns tables A to D on each
// in the variable's vectors, writes the OUTSPAN= rows and, when the step
// prints, compares the spans and prints their reports. Returns the number
// of spans, 0 when the series is too short. `group` numbers the BY group
// in a message.
int run_sliding_spans(const GroupTarget& target, const VariableChain& variable, const std::string& name, long group);

}  // namespace x11sa
