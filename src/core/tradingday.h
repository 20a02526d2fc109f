// Trading-day regression: month types, the regression of the irregular on
// the extra weekdays, its test, and monthly factors from daily weights.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// Month types 1..22 of the first `nobs` months counted from January of
// Xp->date.firstyr, the first year of the BY group (30-day months 1..7, 31-day 8..14 by the weekday of the
// first day, Monday = 1; 15 a 28-day February; 16..22 29-day Februaries).
void x11tdt(X11COM* Xp, short* Tday, long nobs);
// Months from the first period of the series to the TDCOMPUTE= date, never below 0.
[[nodiscard]] long x11tdaj(X11COM* Xp);

// B14: copies the month types `tdtypein` into `tdtype` (n months) and adds
// 100 to the type of each month whose irregular `in` is extreme; `out`
// receives the irregular of the excluded months, missing elsewhere.
// *nextreme counts the excluded months, those excluded on entry included.
void x11b14(X11COM* Xp, double* out, const double* in, short* tdtype, const short* tdtypein,
            long n, long* nextreme);
// C14: the same against the B16 factors, starting from the types B14 left.
void x11c14(X11COM* Xp, double* out, const double* in, const double* b16, short* tdtype,
            const short* tdtypein, long n);
// B15/C15: the regression over the months of type below 100; coefficients
// Monday..Sunday into tdreg, inverse diagonal into c.
void x11b15(X11COM* Xp, double* tdreg, const double* in, const short* tdtype,
            const double* tdprior, long n, double regress[7][6], double* c, double* s, int* xn,
            double* ssr, double* sumysq);
// Test statistics into Xp->x11flow (sse, mse, se, msr, fv, prbf, s, stdmonth);
// returns the apply decision (TDREGR=TEST: prbf <= 0.01).
[[nodiscard]] int x11b15p(X11COM* Xp, const double* tdreg, const double* tdprior, int xn,
                          double ssr, double sumysq);
// B16/C16: monthly factors from the coefficients in `reg_td_wgts` (turned
// into daily weights in place, coefficient + 1, in a multiplicative run).
void x11b16(X11COM* Xp, double* td_monthly_factor, double* reg_td_wgts, double* wrk1, int fyr,
            long lper, long skp1, long skp2);
void x11c16(X11COM* Xp, double* td_monthly_factor, double* reg_td_wgts, double* wrk1, int fyr,
            long lper, long skp1, long skp2);
// Monthly factors from seven daily weights (Monday first), for `last` + 12
// months from January of `year`; `mopt` 0, 4 or 8 selects the month-length divisors.
void x11dow(X11COM* Xp, double* ptd_fact, const double* daily_wgts, int year, long last, int mopt);

}  // namespace x11sa
