// Extreme values: graduated weights from moving five-year sigmas, and the
// replacement of values without full weight.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// Monthly weights. `first` and `last` are calendar month numbers (January
// = 1 mod 12), both inclusive; the value of calendar month k is in[k - adj].
// x11xtro is EXTREME=OLD, x11xtrm EXTREME=NEW.
void x11xtro(X11COM* Xp, double* wt, double* std, const double* in, long adj, long first,
             long last);
void x11xtrm(X11COM* Xp, double* wt, double* std, const double* in, long adj, long first,
             long last);
// Quarterly weights on [first, last), `first` counted from one; spans align
// to first quarters by the quarter of the stretch's first position, `qfirst`
// (0-based period of the year of position first - 1).
void x11xtrq(X11COM* Xp, double* wt, double* std, const double* series, long first, long last,
             int qfirst);
// Monthly replacement of values without full weight; `space` 12 (same month
// of other years; `wrk` receives the replacements) or 1 (adjacent months).
// `first` counted from one.
void x11rep(X11COM* Xp, double* sf, const double* wt, double* wrk, int space, long first,
            long last);
// Quarterly replacement; `space` 4 or 1; `out` receives the replacements.
void x11repq(X11COM* Xp, double* inout, const double* extreme, double* out, int space, long first,
             long last);

}  // namespace x11sa
