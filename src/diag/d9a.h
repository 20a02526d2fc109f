// D9A: the moving-seasonality ratio of each period of the year, from the
// modified SI ratios D9.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// The D9A figures of one period: average irregular change, average
// seasonal change and their ratio (missing where they cannot be formed).
struct D9ARATIO {
  double ibar = kMissing;
  double sbar = kMissing;
  double ratio = kMissing;
  long values = 0;  // D9 values of the period
};

// D9A for each of the nper periods, the k-th starting at index begin + k;
// w1 and w2 are work vectors of at least (years + 6) values.
void x11d9a(X11COM* Xp, const double* d9, double* w1, double* w2, long begin, long end, D9ARATIO out[12]);

// Computes D9A and prints it; the first processed period is period
// `firstper` of the year (the period of index `begin`).
void x11d9p(X11COM* Xp, const double* d9, double* w1, double* w2, long begin, long end, int firstper);

}  // namespace x11sa
