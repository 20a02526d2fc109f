// Summary measures: span statistics of percent changes, the months (or
// quarters) for cyclical dominance and the F1 series.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// Span statistics of `s` over [begin, end) into r[48]: block 0 (r[0..11])
// the mean absolute change over spans 1..12, block 1 its square, block 2
// the mean signed change, block 3 the standard deviation of the signed
// changes. `type` 1: blocks 0 and 1; 2: all; 3: blocks 0, 2, 3; 4: block 0.
void x11sum(X11COM* Xp, double* r, const double* s, long begin, long end, int type);
// Quarterly: spans 1..4 in the same layout; `start` counted from one.
void x11sumq(X11COM* Xp, double* r, const double* s, long start, long finish, int type);
// Statistics of C (d12p) and I (d13p), the MCD, and F1 = the MCD-term
// moving average of D11 on [ifirst, ilast).
void x11f1(X11COM* Xp, double* f1, double* d12p, double* d13p, const double* d11, const double* d12,
           const double* d13, long begin, long end, long* ifirst, long* ilast, int* imcd);

}  // namespace x11sa
