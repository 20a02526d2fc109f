// Charts G1 to G4: the final series, SI ratios with seasonal factors, and
// the irregular, as output objects that the listing draws in characters and
// the HTML report as SVG.
#pragma once

#include <string>

#include "host/ods.h"
#include "run/x11com.h"

namespace x11sa {

// Draws the charts that CHARTS= and the TABLES bits G1 to G4 select. The
// series are indexed like every table; the variable's range comes from x11flow.
void x11chrt(X11COM* Xp, const double* d8, const double* d9, const double* d10, const double* d11,
             const double* d12, const double* d13, const double* work);

// The line-printer form of a chart object, within `linesize` columns: the
// value axis on top and at the bottom, one line per row.
[[nodiscard]] std::vector<std::string> line_printer_chart(const OdsTable& chart, int linesize);

}  // namespace x11sa
