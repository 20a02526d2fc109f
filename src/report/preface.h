// The preface that opens the printed output of each variable.
#pragma once

#include <string_view>

#include "host/ods.h"
#include "records/series_calendar.h"
#include "x11sa/options.h"

namespace x11sa {

// Prints the preface of the variable `name` (with its data-set label, when
// it has one) over the periods of `calendar`: the credits, centred in
// `line_size` columns, then what is adjusted over which periods. A monthly
// preface goes on with the type of run, the PRINTOUT= and CHARTS= levels (or
// that a TABLES statement chose the tables), the sigma limits, the exclusion
// limit of the trading-day regression and, when asked for, the seasonal
// curve of each month.
void print_preface(OdsManager& ods, int line_size, std::string_view name, std::string_view label,
                   const SeriesCalendar& calendar, const AdjustmentOptions& method, const PrintOptions& print);

}  // namespace x11sa
