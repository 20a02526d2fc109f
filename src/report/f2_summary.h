// Tables F2.A to F2.F: the summary measures of the components.
#pragma once

#include "host/ods.h"
#include "x11sa/options.h"
#include "x11sa/summary_measures.h"

namespace x11sa {

// Prints F2.A (average absolute changes), F2.B (relative contributions),
// F2.C (average duration of run), F2.D (I/C ratios with the months for
// cyclical dominance) and F2.F (average changes and their deviations).
void print_f2_summary(OdsManager& ods, const F2Summary& f, Frequency frequency, Mode mode);

}  // namespace x11sa
