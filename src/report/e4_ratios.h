// The E4 table: annual totals of the series as read against those of the
// seasonally adjusted series.
#pragma once

#include "host/ods.h"
#include "x11sa/options.h"
#include "x11sa/summary_measures.h"

namespace x11sa {

// One row per year; the title says ratios or differences.
void print_e4_ratios(OdsManager& ods, const E4Ratios& ratios, Mode mode);

}  // namespace x11sa
