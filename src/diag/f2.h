// Table F2: summary measures of the components over spans of 1 to 12
// months (1 to 4 quarters).
#pragma once

#include "run/x11com.h"

namespace x11sa {

// The figures of the F2 tables. Span statistics use the layout of x11sum:
// [0, 12) average absolute change, [12, 24) its square, [24, 36) average
// signed change, [36, 48) standard deviation of the signed changes.
struct F2SUMMARY {
  int spans = 12;
  // O (the series as read), P, TD, S, CI, C, I, E1, E2, E3 and the MCD
  // moving average (F1).
  double o[48] = {}, p[48] = {}, td[48] = {}, s[48] = {}, ci[48] = {}, c[48] = {}, i[48] = {};
  double e1[48] = {}, e2[48] = {}, e3[48] = {}, mcd[48] = {};
  // F2.B: shares of I, C, S, P and TD in the sum of their squared changes
  // (percent), their total (100, or 0 without change), that sum, and the
  // sum in percent of the squared change of O.
  double share_i[12] = {}, share_c[12] = {}, share_s[12] = {}, share_p[12] = {}, share_td[12] = {};
  double total[12] = {}, total_squares[12] = {}, ratio[12] = {};
  // F2.C: average duration of run of CI, I, C and the MCD moving average.
  double dur_ci = 0, dur_i = 0, dur_c = 0, dur_mcd = 0;
  // F2.D: I/C ratio per span (missing where C does not change).
  double ic[12] = {};
  // F2.E: months (quarters) for cyclical dominance.
  int mcd_span = 0;
};

// Computes the F2 figures from the components over [begin, end) and the
// F1 series over its stretch [first, last); d12p and d13p are the span
// statistics of C and I that x11f1 made, mcd its result.
void x11f2(X11COM* Xp, const double* b1, const double* a2, const double* c18, const double* d10,
           const double* d11, const double* d12, const double* d13, const double* e1, const double* e2,
           const double* e3, const double* f1, const double* d12p, const double* d13p, long begin, long end,
           long first, long last, int mcd, F2SUMMARY* out);

// Computes the F2 figures and prints tables F2.A to F2.F.
void x11f2p(X11COM* Xp, const double* b1, const double* a2, const double* c18, const double* d10,
            const double* d11, const double* d12, const double* d13, const double* e1, const double* e2,
            const double* e3, const double* f1, const double* d12p, const double* d13p, long begin, long end,
            long first, long last, int mcd);

}  // namespace x11sa
