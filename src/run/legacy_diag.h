// Transitional: the diagnostics as the flows call them today, reading the
// options and the flow record from X11COM, leaving the results where the
// flows, OUTSTB= and the sliding spans read them, and printing what the
// printout asks for. The computations are the pure functions of diag/, the
// tables those of report/; this file goes when the flows are rewritten.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// The tests on D8 of the current variable, in order: stable and moving
// F-tests, Kruskal-Wallis, combined test, each printed when `print_flag` is
// non-zero. The results stay in ftest, kwstats, stbaov and outmov.
void x11d8tests(X11COM* Xp, int print_flag);

// Computes D9A from d9[begin, end) and prints it; `firstper` is the period
// of the year of index `begin`. (w1 and w2 are no longer used.)
void x11d9p(X11COM* Xp, const double* d9, double* w1, double* w2, long begin, long end, int firstper);

// E1, E2, E3, E5 and E6 over [begin, end) (E5 and E6 from begin, the first
// observation + 1); E1 with C18 when `flag`, with the prior factors when
// there are any.
void x11e1(X11COM* Xp, double* e1, const double* a1, const double* a2, const double* c17, const double* c18,
           const double* d10, const double* d12, int flag, long begin, long end);
void x11e2(double* e2, const double* c17, const double* d11, const double* d12, long begin, long end);
void x11e3(X11COM* Xp, double* e3, const double* c17, const double* d13, long begin, long end);
void x11e5(X11COM* Xp, double* e5, const double* a1, long begin, long end);
void x11e6(X11COM* Xp, double* e6, const double* d11, long begin, long end);

// Computes and prints E4 from b1, d11, e1 and e2 over [begin, end), the
// first year `firstyr` from period `firstper`.
void x11e4p(X11COM* Xp, const double* b1, const double* d11, const double* e1, const double* e2, int firstyr,
            int lastyr, int firstper, long begin, long end);

// F1 (missing outside [*ifirst, *ilast)) from D11, the span statistics of C
// into d12p and of I into d13p (48 values: average absolute change, its
// square, average change, standard deviation, 12 spans each) and the MCD.
void x11f1(X11COM* Xp, double* f1, double* d12p, double* d13p, const double* d11, const double* d12,
           const double* d13, long begin, long end, long* ifirst, long* ilast, int* imcd);

// Computes and prints tables F2.A to F2.F.
void x11f2p(X11COM* Xp, const double* b1, const double* a2, const double* c18, const double* d10,
            const double* d11, const double* d12, const double* d13, const double* e1, const double* e2,
            const double* e3, const double* f1, const double* d12p, const double* d13p, long begin, long end,
            long first, long last, int mcd);

}  // namespace x11sa
