// The B, C and D tables of the X-11 method: each routine computes one table
// from the vectors it is given. The drivers of the table flows call them in
// order; ranges are half-open and in array indexes unless said otherwise.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// B1: prior_adj divided by the prior trading-day factors when given
// (tdr_factors not null), else a copy of the whole prior_adj vector.
void x11b1(X11COM* Xp, double* adjusted, const double* prior_adj, const double* tdr_factors,
           long first, long last);
// Preliminary trend (B2, C2, D2) by the centred average of PTRENDMA=.
void x11b2(X11COM* Xp, double* trend_cycle, const double* original, long begin, long end);
inline void x11c2(X11COM* Xp, double* t, const double* o, long b, long e) { x11b2(Xp, t, o, b, e); }
inline void x11d2(X11COM* Xp, double* t, const double* o, long b, long e) { x11b2(Xp, t, o, b, e); }
// SI ratios on [first, last), missing elsewhere (B3, C4, D4).
void x11b3(X11COM* Xp, double* si_ratio, const double* original, const double* trend_cycle,
           long first, long last);
// B4: modified SI ratios into `out`, replacement values into wrk2.
void x11b4(X11COM* Xp, double* out, const double* in, double* wrk1, double* wrk2, double* wrk3,
           int p, long adj, int mon, long begin, long end, long xfirst, long xlast, int firstper,
           int lastper);
// First seasonal factors (B5, C5, D5), extended half a year at each end.
void x11b5(X11COM* Xp, double* out, const double* in, double* wrk1, double* wrk2, double* wrk3,
           int mon, int p, long begin, long end);
// Seasonally adjusted series (B6, B11, C6, C11, D6): original divided by the factors.
void x11b6(X11COM* Xp, double* seas_adj, const double* original, const double* seas_fact,
           long first, long last);
// B7 trend-cycle, with the TRENDADJ replacement of extremes.
void x11b7(X11COM* Xp, double* trend_cycle, double* seas_adj, double* wrk1, double* wrk2,
           double* wrk3, long adj, long begin, long end, long xfirst2, long xlast2, int firstper,
           int lastper);
// C7 and D7 trend-cycle.
void x11c7(X11COM* Xp, double* trend_cycle, const double* seas_adj, double* wrk1, long first,
           long last);
// SI ratios on [first, last) (B8, C9); D8 fills the rest with missing.
void x11b8(X11COM* Xp, double* si_ratio, const double* original, const double* trend_cycle,
           long first, long last);
void x11d8(X11COM* Xp, double* si_ratio, const double* original, const double* trend_cycle,
           long first, long last);
// B9: modified SI ratios into seas_fact, replacement values into wrk2.
void x11b9(X11COM* Xp, double* seas_fact, const double* si_ratio, double* wrk1, double* wrk2,
           double* wrk3, int p, int mon, long adj, long begin, long end, long xfirst2, long xlast2,
           int firstper, int lastper);
// Final seasonal factors of a pass (B10, C10, D10); D10 adds the year ahead with YRAHEADOUT.
void x11b10(X11COM* Xp, double* seas_fact, const double* si_ratio, double* wrk1, double* wrk2,
            double* wrk3, int mon, int p, long first, long last);
void x11d10(X11COM* Xp, double* seas_fact, const double* si_ratio, double* wrk1, double* wrk2,
            double* wrk3, int mon, int p, long first, long last);
// Irregular (B13, C13, D13): seasonally adjusted divided by the trend.
void x11b13(X11COM* Xp, double* irregular, const double* seas_adj, const double* trend_cycle,
            long first, long last);
// Extreme-value weights (B17, C17) of p_irreg.
void x11b17(X11COM* Xp, double* weights, const double* p_irreg, double* wrk2, long adj, long begin,
            long end, long xfirst2, long xlast2, int firstper, int lastper);
// Combined daily weights to monthly factors (B18, C18); reg_td_wgts gains
// the prior weights in place.
void x11b18(X11COM* Xp, double* td_monthly_factor, double* reg_td_wgts, double* wrk1, int fyr,
            long lper, long skp1, long skp2);
// Series adjusted for trading day (B19, C19).
void x11b19(X11COM* Xp, double* adj_original, const double* original, const double* td_adj,
            long first, long last);
// Series modified by the extreme-value weights (C1, D1).
void x11c1(X11COM* Xp, double* mod_original, const double* weights, const double* irregular,
           const double* original, long first, long last);
// D9: modified SI ratios into mod_si (all), and into wrk1 where they differ from D8.
void x11d9(X11COM* Xp, double* mod_si, const double* unmod_si, const double* mod_original,
           const double* trend_cycle, double* wrk1, long first, long last);
// D11 seasonally adjusted series; with SUMMARY the input itself.
void x11d11(X11COM* Xp, double* seas_adj, const double* original, const double* seas_fact,
            long first, long last, int flag);
// D12 final trend-cycle.
void x11d12(X11COM* Xp, double* trend_cycle, const double* mod_original, const double* seas_fact,
            double* wrk1, double* wrk2, long first, long last);
// Seasonal factors up to `last` followed by one computed year (extended flows).
void x11yra(X11COM* Xp, double* out, const double* seas_fact, long first, long last);

}  // namespace x11sa
