// The Kruskal-Wallis rank test of the SI ratios by period and the combined
// test for identifiable seasonality.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// Kruskal-Wallis test of xIn[start .. end] (inclusive) in `nseas` groups,
// the group of a value being its position from `start` modulo `nseas`.
// Ranks come from an exchange sort: tied values take distinct consecutive
// ranks in the order that sort leaves them. Missing values are left out.
// Returns 0, or -2 when the work memory cannot be had (the host's code in
// *rc2).
int zkwtest(const double* xIn, long start, long end, int nseas, KWSTATS* kwstats, int* rc2);

// Upper-tail chi-square probability of the statistic h with df degrees of
// freedom, in the closed form of the test: 1 when h <= 0, 0 when h >= 90.
[[nodiscard]] double zkwprob(double h, long df);

// The test on `series` over the real stretch of `fp` with 12 or 4 groups;
// result in kwstats, printed when `PrintFlag` is non-zero.
void x11kwft(X11COM* Xp, const X11FLOW* fp, const double* series, int PrintFlag);

// The output table of a Kruskal-Wallis result.
void zkwtable(X11COM* Xp, const KWSTATS* kwstats);

// T1, T2 and T from the stable and moving F values, and the combined
// verdict in ftest.fail (0 present, 1 probably not present, 2 not present).
void x11cft(X11COM* Xp, int PrintFlag);

// The verdict of the combined test from the T statistics and the three
// probabilities (missing values allowed); prints its table when `Print` is
// non-zero.
int zctidsea(X11COM* Xp, double t_1, double t_2, double t, double p_stabl, double p_mov, double p_kw,
             int Print);

}  // namespace x11sa
