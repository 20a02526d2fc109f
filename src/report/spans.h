// The sliding-spans reports S0 to S7: the spans, the seasonal factors by
// span, one report per compared series, and the listings of the estimates.
#pragma once

#include <span>
#include <string>

#include "run/x11com.h"

namespace x11sa {

// S0: the spans and the seasonality tests of each span.
void x11spr0(X11COM* Xp, int ndec);
// S1: means of the seasonal factors by period and span.
void x11spr1(X11COM* Xp, int ndec);
// S2 to S6: breakdowns, summary, range classes and the distribution of the
// spreads of D10, C18, D11, its period-to-period and its year-to-year changes.
void x11spr2(X11COM* Xp);
void x11spr3(X11COM* Xp);
void x11spr4(X11COM* Xp);
void x11spr5(X11COM* Xp);
void x11spr6(X11COM* Xp);
// S7: the span estimates of every active series, period by period; values
// in fields of `width` with `ndec` decimals.
void x11spr7(X11COM* Xp, int width, int ndec);

// The distribution of a set of spreads.
struct SpreadDistribution {
  long n = 0;
  double min = 0, lower_quartile = 0, median = 0, p65 = 0, upper_quartile = 0, p85 = 0, max = 0;
};
// From `values` sorted ascending (n > 0).
[[nodiscard]] SpreadDistribution x11spu1(std::span<const double> sorted);

// The range text of class `cls` (1 to 4) for cutoff c: "[c%-c+1%)" ...
// ">=c+3%"; without the percent signs when `percent` is false.
[[nodiscard]] std::string span_range_text(double c, int cls, bool percent);
// The code of class `cls` of series s: its symbol `cls` times.
[[nodiscard]] std::string span_range_code(int s, int cls);

}  // namespace x11sa
