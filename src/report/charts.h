// Charts G1 to G4: the final series, SI ratios with seasonal factors, and
// the irregular, as output objects that the listing draws in characters
// (render/line_printer_chart.h) and the HTML report as SVG.
#pragma once

#include <span>

#include "host/ods.h"
#include "records/series_calendar.h"
#include "x11sa/options.h"

namespace x11sa {

// The final tables the charts draw, each over the observations the calendar
// covers (calendar.count values).
struct ChartSeries {
  std::span<const double> d8, d9, d10, d11, d12, d13, e3;
  std::span<const double> b1;   // the series the adjustment starts from
  bool prior_adjusted = false;  // B1 is adjusted for prior factors
};

// Draws, in one output group, the charts that CHARTS= and the TABLES entries
// G1 to G4 select: G1 D11 with D12 by date, and B1 beside them, G2 D8, D9
// and D10 by period of the year (a panel per month or quarter), G3 the same
// by date, G4 D13 with E3 by date. CHARTS=STANDARD draws G1 and G2, FULL all
// four. The dates are labelled "JAN90" (monthly) or "1990:1" (quarterly).
// The "symbols" entry gives the line-printer symbol of each series it
// covers, in column order; a series after them (G1's B1) is drawn in the
// HTML report only, the line-printer charts keeping their classic content.
void print_charts(OdsManager& ods, const ChartSeries& series, const SeriesCalendar& calendar, Mode mode,
                  const PrintOptions& print);

}  // namespace x11sa
