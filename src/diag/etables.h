// The E tables: series modified for extremes and period-to-period changes.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// E1: the series as read where the final weight is above 0, else rebuilt
// from the final components (with C18 when `flag`, and the prior factors).
void x11e1(X11COM* Xp, double* e1, const double* a1, const double* a2, const double* c17,
           const double* c18, const double* d10, const double* d12, int flag, long begin, long end);
// E2: D12 where the final weight is 0 or below, else D11.
void x11e2(double* e2, const double* c17, const double* d11, const double* d12, long begin, long end);
// E3: D13 where the final weight is above 0, else 100 (0 additive).
void x11e3(X11COM* Xp, double* e3, const double* c17, const double* d13, long begin, long end);
// E5 and E6: changes of A1 and of D11 (percent in a multiplicative run); the
// caller passes begin = first observation + 1.
void x11e5(X11COM* Xp, double* e5, const double* a1, long begin, long end);
void x11e6(X11COM* Xp, double* e6, const double* d11, long begin, long end);
// Average duration of run on [first, last).
void x11avr(const double* series, long first, long last, double* dur);

}  // namespace x11sa
