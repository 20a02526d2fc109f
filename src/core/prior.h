// Prior adjustments: prior monthly factors (PMFACTOR=) and prior daily
// weights (PDWEIGHTS), tables A2 to A5.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// A2 of the group: 100 everywhere, the PMFACTOR= values from index B on.
void fillup_pmf(X11COM* Xp);
// A3: the series divided by the prior monthly factors (with PMFACTOR=).
void x11a3(X11COM* Xp, double* adjusted, const double* original, const double* pmf, long begin,
           long end);
// A4: prior-daily-weight factors of the group, once per group.
void x11a4(X11COM* Xp);
// A5: the series adjusted for every prior factor in force.
void x11a5(X11COM* Xp, double* a5, const double* a4, const double* a3, const double* a1,
           long begin, long end);

}  // namespace x11sa
