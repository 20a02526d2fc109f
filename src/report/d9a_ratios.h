// The D9A table: the moving-seasonality ratio of each period of the year.
#pragma once

#include "host/ods.h"
#include "records/seasonality_tests.h"
#include "x11sa/options.h"

namespace x11sa {

// One column per period; a note for each period with too few values.
void print_d9a_ratios(OdsManager& ods, const D9aRatios& ratios, Frequency frequency);

}  // namespace x11sa
