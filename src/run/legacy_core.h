// Transitional: the table steps and the numerics under the names and
// arguments the table flows, the variable loop, the benchmarks and their
// tests still call. Each reads the step's options from X11COM, calls the
// functions of core/ and pipeline/, and writes the results back where those
// callers look for them. Goes away once the flows call pipeline/ directly.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// --- the table chain (pipeline/table_steps.h); ranges are half-open -------

void x11b1(X11COM* Xp, double* adjusted, const double* prior_adj, const double* tdr_factors, long first, long last);
void x11b2(X11COM* Xp, double* trend_cycle, const double* original, long begin, long end);
inline void x11c2(X11COM* Xp, double* t, const double* o, long b, long e) { x11b2(Xp, t, o, b, e); }
inline void x11d2(X11COM* Xp, double* t, const double* o, long b, long e) { x11b2(Xp, t, o, b, e); }
void x11b3(X11COM* Xp, double* si_ratio, const double* original, const double* trend_cycle, long first, long last);
// B4 and B9: modified SI ratios into `out`, the replacement values into wrk2;
// `mon` is the period of the year at `begin`, `p` 1 preliminary, 2 final.
void x11b4(X11COM* Xp, double* out, const double* in, double* wrk1, double* wrk2, double* wrk3, int p, long adj,
           int mon, long begin, long end, long xfirst, long xlast, int firstper, int lastper);
void x11b9(X11COM* Xp, double* seas_fact, const double* si_ratio, double* wrk1, double* wrk2, double* wrk3, int p,
           int mon, long adj, long begin, long end, long xfirst2, long xlast2, int firstper, int lastper);
void x11b5(X11COM* Xp, double* out, const double* in, double* wrk1, double* wrk2, double* wrk3, int mon, int p,
           long begin, long end);
void x11b6(X11COM* Xp, double* seas_adj, const double* original, const double* seas_fact, long first, long last);
// B7, C7, D7, D12 set Xp->trendma_prnt and Xp->ratioic for monthly series.
void x11b7(X11COM* Xp, double* trend_cycle, double* seas_adj, double* wrk1, double* wrk2, double* wrk3, long adj,
           long begin, long end, long xfirst2, long xlast2, int firstper, int lastper);
void x11c7(X11COM* Xp, double* trend_cycle, const double* seas_adj, double* wrk1, long first, long last);
void x11b8(X11COM* Xp, double* si_ratio, const double* original, const double* trend_cycle, long first, long last);
void x11d8(X11COM* Xp, double* si_ratio, const double* original, const double* trend_cycle, long first, long last);
void x11b10(X11COM* Xp, double* seas_fact, const double* si_ratio, double* wrk1, double* wrk2, double* wrk3, int mon,
            int p, long first, long last);
void x11d10(X11COM* Xp, double* seas_fact, const double* si_ratio, double* wrk1, double* wrk2, double* wrk3, int mon,
            int p, long first, long last);
void x11b13(X11COM* Xp, double* irregular, const double* seas_adj, const double* trend_cycle, long first, long last);
void x11b17(X11COM* Xp, double* weights, const double* p_irreg, double* wrk2, long adj, long begin, long end,
            long xfirst2, long xlast2, int firstper, int lastper);
// B18, C18: reg_td_wgts becomes the combined daily weights.
void x11b18(X11COM* Xp, double* td_monthly_factor, double* reg_td_wgts, double* wrk1, int fyr, long lper, long skp1,
            long skp2);
void x11b19(X11COM* Xp, double* adj_original, const double* original, const double* td_adj, long first, long last);
void x11c1(X11COM* Xp, double* mod_original, const double* weights, const double* irregular, const double* original,
           long first, long last);
void x11d9(X11COM* Xp, double* mod_si, const double* unmod_si, const double* mod_original, const double* trend_cycle,
           double* wrk1, long first, long last);
// D11: with SUMMARY the input itself (`flag`) or the series as read.
void x11d11(X11COM* Xp, double* seas_adj, const double* original, const double* seas_fact, long first, long last,
            int flag);
void x11d12(X11COM* Xp, double* trend_cycle, const double* mod_original, const double* seas_fact, double* wrk1,
            double* wrk2, long first, long last);
void x11yra(X11COM* Xp, double* out, const double* seas_fact, long first, long last);

// result = num / den * 100 (multiplicative) or num - den on [first, last).
void x11div(X11COM* Xp, double* result, const double* num, const double* den, long first, long last);

// Monthly extreme-value weights on calendar months [first, last] (January
// = 1 mod 12), the value of month k at in[k - adj]; the whole of `wt` full
// weight, `std` 0 before, one sigma per year at its start after. EXTREME=OLD
// and EXTREME=NEW, for Xp->XtrmFcntPtr.
void x11xtro(X11COM* Xp, double* wt, double* std, const double* in, long adj, long first, long last);
void x11xtrm(X11COM* Xp, double* wt, double* std, const double* in, long adj, long first, long last);

// --- trading day ---------------------------------------------------------

// Month types of `nobs` months from January of Xp->date.firstyr.
void x11tdt(X11COM* Xp, short* Tday, long nobs);
// Months from the first period of the series to the TDCOMPUTE= date, never below 0.
[[nodiscard]] long x11tdaj(X11COM* Xp);
// B14 (*nextreme: the excluded months) and C14 on n months; tdtype receives
// the types of tdtypein with the exclusion marks.
void x11b14(X11COM* Xp, double* out, const double* in, short* tdtype, const short* tdtypein, long n, long* nextreme);
void x11c14(X11COM* Xp, double* out, const double* in, const double* b16, short* tdtype, const short* tdtypein,
            long n);
// B15/C15: coefficients into tdreg, variance factors into c, s cleared
// (x11b15p sets it); `regress` is no longer written, nothing reads it.
void x11b15(X11COM* Xp, double* tdreg, const double* in, const short* tdtype, const double* tdprior, long n,
            double regress[7][6], double* c, double* s, int* xn, double* ssr, double* sumysq);
// The test into Xp->x11flow; returns the apply decision of TDREGR=TEST.
[[nodiscard]] int x11b15p(X11COM* Xp, const double* tdreg, const double* tdprior, int xn, double ssr, double sumysq);
// B16/C16: reg_td_wgts becomes the daily weights of its coefficients.
void x11b16(X11COM* Xp, double* td_monthly_factor, double* reg_td_wgts, double* wrk1, int fyr, long lper, long skp1,
            long skp2);
void x11c16(X11COM* Xp, double* td_monthly_factor, double* reg_td_wgts, double* wrk1, int fyr, long lper, long skp1,
            long skp2);

// --- prior adjustments ---------------------------------------------------

// A2 of the group: 100 everywhere, the PMFACTOR= values read back from index B on.
void fillup_pmf(X11COM* Xp);
void x11a3(X11COM* Xp, double* adjusted, const double* original, const double* pmf, long begin, long end);
// A4 of the group into work.ptdfactor, once per group.
void x11a4(X11COM* Xp);
void x11a5(X11COM* Xp, double* a5, const double* a4, const double* a3, const double* a1, long begin, long end);

}  // namespace x11sa
