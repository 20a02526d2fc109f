// Table E4: the annual totals of the original series against those of the
// seasonally adjusted series, unmodified and modified for extremes.
#pragma once

#include "run/x11com.h"

namespace x11sa {

// For each year from firstyr to lastyr, the totals of b1 (the series as
// read), d11, e1 and e2 over the year's periods within [begin, end) (the
// first year from period firstper): multiplicative, the ratios b1 : d11 and
// e1 : e2 in percent (missing for a zero denominator); additive, the
// differences. Prints one row per year.
void x11e4p(X11COM* Xp, const double* b1, const double* d11, const double* e1, const double* e2, int firstyr,
            int lastyr, int firstper, long begin, long end);

}  // namespace x11sa
