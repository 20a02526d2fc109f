// The sliding spans of one variable: the adjustment rerun on up to four
// overlapping spans, their comparison, the reports S0 to S7 and OUTSPAN=.
#pragma once

#include <string>

#include "pipeline/table_chain.h"
#include "run/variable_loop.h"
#include "x11sa/spans_result.h"

namespace x11sa {

// The spans of the variable whose chain `variable` has just run: lays them
// out (message 219 when fewer than two fit), reruns tables A to D on each
// in the variable's vectors, writes the OUTSPAN= rows and, when the step
// prints or keeps its diagnostics, compares the spans (printing their
// reports when it prints). Returns how many spans there were (none when the
// series is too short) and, when compared, what the comparison found.
// `group` numbers the BY group in a message.
SpansSummary run_sliding_spans(const GroupTarget& target, const VariableChain& variable, const std::string& name,
                               long group);

}  // namespace x11sa
