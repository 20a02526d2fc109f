// Seasonal factor estimation: seasonal moving averages per month or quarter,
// then centring.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// Seasonal filter tables (layout as the trend tables of filters.h).
extern const double w3x1[2 * 3];
extern const double w3x3[3 * 5];
extern const double w3a3[2 * 4];
extern const double w3b3[2 * 3];
extern const double w3x5[4 * 7];
extern const double w3a5[3 * 6];
extern const double w3b5[3 * 5];
extern const double w3c5[2 * 4];
extern const double w3x9[6 * 11];
extern const double w3a9[5 * 10];
extern const double w3b9[5 * 9];
extern const double w3c9[4 * 8];
extern const double w3d9[4 * 7];
extern const double w3e9[3 * 6];

// Monthly seasonal factors of the SI values `in` on [first, last) into `out`.
// `mon` is the calendar month (0 = January) of position `first`; `pass` 1 or 2.
// On return wrk3 holds the uncentred factors and wrk1 their centring average.
void x11seas(X11COM* Xp, double* out, const double* in, double* wrk1, double* wrk2, double* wrk3,
             int mon, int pass, long first, long last);
// Sets macrv.wt and macrv.len for calendar month m with c years in pass p
// (len 0 and a null table: stable).
void get_wt(X11COM* Xp, int m, long c, int p);
// Quarterly seasonal factors: `s` centred factors, `x` uncentred, `a` the
// centring average; `sect` 1 for 3x3, 2 for 3x5. `first` counted from one.
void x11seaq(X11COM* Xp, double* s, double* a, double* x, const double* in, long first, long last,
             int sect);

}  // namespace x11sa
