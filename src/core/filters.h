// Moving averages and trend filters.
//
// Stretches are half-open [first, last). The monthly routines take the
// zero-based first position; the quarterly ones (x11mvgq, x11ma4q, x11trnq)
// take it counted from one, so callers pass first + 1 for the same stretch.
//
// Weight tables are row-major with `nterms` columns: rows 0 .. nterms/2 - 1
// are the end filters (row s serves the point s positions in from either end,
// column 0 weighting the end point itself, listed inwards); for odd nterms a
// last row holds the symmetric filter, listed from the earliest point.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// Henderson tables.
extern const double w5h[3 * 5];
extern const double w7h[4 * 7];
extern const double w9h[5 * 9];
extern const double w13h[7 * 13];
extern const double w23h[12 * 23];
// Preliminary trends for PTRENDMA=24 (monthly) and PTRENDMA=8 (quarterly).
extern const double ptm[13 * 25];
extern const double ptq[5 * 9];

// Weighted moving average with tabulated end weights (monthly layout).
void x11mvg(double* out, const double* in, long first, long last, int nterms, const double* wt);
// Quarterly counterpart: each output divided by its row's weight sum (0 when
// that sum is not positive). `first` counted from one.
void x11mvgq(double* mavg, const double* series, long first, long last, int nterms,
             const double* wt);
// Centred 2x12 average; fills all fake_array_size elements of `out` first.
void x11ma12(X11COM* Xp, double* out, const double* in, long first, long last);
// Centred 2x4 average; fills all array_size elements of `ma` first. `first` counted from one.
void x11ma4q(X11COM* Xp, double* ma, const double* x, long first, long last);
// result = num / den * 100 (multiplicative) or num - den (additive) on the stretch.
void x11div(X11COM* Xp, double* result, const double* num, const double* den, long first,
            long last);
// Monthly Henderson trend-cycle; `wrk` receives the preliminary irregular,
// `pass` is 1 in the B iteration and 2 later, `num` the TRENDMA= choice (0 automatic).
void x11trnd(X11COM* Xp, double* out, const double* in, double* wrk, long first, long last,
             int pass, int num);
// Quarterly Henderson trend-cycle (5 or 7 terms). `first` counted from one.
void x11trnq(X11COM* Xp, double* out, const double* in, long first, long last);

}  // namespace x11sa
