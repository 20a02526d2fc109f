// Charts G1 to G4: the final series, SI ratios with seasonal factors, and
// the irregular, as output objects that the listing draws in characters
// (render/line_printer_chart.h) and the HTML report as SVG.
#pragma once

#include "host/ods.h"
#include "run/x11com.h"

namespace x11sa {

// Draws the charts that CHARTS= and the TABLES bits G1 to G4 select. The
// series are indexed like every table; the variable's range comes from x11flow.
void x11chrt(X11COM* Xp, const double* d8, const double* d9, const double* d10, const double* d11,
             const double* d12, const double* d13, const double* work);

}  // namespace x11sa
