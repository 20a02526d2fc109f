// The D9A table: the moving-seasonality ratio of each period of the year.
#pragma once

#include "host/ods.h"
#include "x11sa/options.h"
#include "x11sa/seasonality_tests.h"

namespace x11sa {

// One column per period; a note for each period with too few values.
void print_d9a_ratios(OdsManager& ods, const D9aRatios& ratios, Frequency frequency);

}  // namespace x11sa
