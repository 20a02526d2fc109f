// Sliding spans: the decomposition rerun on up to four overlapping spans of
// a variable, each ending one year after the one before, and the statistics
// that measure how much the span estimates of each period disagree.
#pragma once

#include <span>
#include <string_view>

#include "run/x11com.h"

namespace x11sa {

// The symbols of the five compared series, in series order.
inline constexpr std::string_view kSpanSymbols = "%+#$@";

// True when series s takes part: the trading-day factors only when the
// regression is in effect and every span has them.
[[nodiscard]] inline bool span_series_active(const X11COM* Xp, int s) noexcept {
  if (s != 1) return s >= 0 && s < kSpanSeries;
  return Xp->op.month_f != 0 && Xp->tdregr > 0 && Xp->op.C18MissFlag == 0;
}

[[nodiscard]] inline double span_cutoff(const X11COM* Xp, int s) noexcept {
  return s == 1 ? Xp->x11ssp.bd.CutOff2 : Xp->x11ssp.bd.CutOff1;
}

// The estimates of series s in span i.
[[nodiscard]] inline const std::vector<double>& span_values(const X11SSP& sp, int s, int i) noexcept {
  switch (s) {
    case 0: return sp.d10[i];
    case 1: return sp.c18[i];
    case 2: return sp.d11[i];
    case 3: return sp.d11_mm[i];
    default: return sp.d11_yy[i];
  }
}

// The spreads of series s.
[[nodiscard]] inline const std::vector<double>& span_spreads(const X11SSP& sp, int s) noexcept {
  switch (s) {
    case 0: return sp.d10_pd1;
    case 1: return sp.c18_pd1;
    case 2: return sp.d11_pd1;
    case 3: return sp.d11_pd2;
    default: return sp.d11_pd3;
  }
}

// The stretch of series s whose spreads are classed and broken down: from
// index `first`, `count` values, the first one in period-of-year `period`.
struct SpanRange {
  long first = 0;
  long count = 0;
  int period = 0;
};

[[nodiscard]] inline SpanRange span_range(const X11COM* Xp, int s) noexcept {
  const X11SSP& sp = Xp->x11ssp;
  if (s == 3) return {sp.pd2_beg, sp.bd.Length - 1, sp.FirstPer2};
  if (s == 4) return {sp.pd3_beg, sp.bd.Length - Xp->nper, sp.FirstPer1};
  return {sp.pd1_beg, sp.bd.Length, sp.FirstPer1};
}

// The whole analysis of one variable after its flow; `FlowPtr` is the
// variable's flow record.
void x11span(X11COM* Xp, X11FLOW* FlowPtr);

// Seasonal-filter code of the MACURVES settings: 1 to 4 for "3" to "3X9",
// -1 when every month is STABLE.
[[nodiscard]] int get_sma_code(const X11COM* Xp);

// Span count and length for the variable of `flow` into x11ssp.cnt and len;
// -1 (with message 219) when fewer than two spans fit.
int x11spln(X11COM* Xp, const X11FLOW* flow);

// Sets the run's flow record x11flow to span k (0 the newest) of the
// variable whose record is `flow`, and the span's layout in x11ssp.
void set_flow_ptr(X11COM* Xp, const X11FLOW* flow, int k);

// Reruns tables A to D on the span described by `flow` without printing or
// writing anything; the D8 tests run and leave their results in ftest.
void x11spa1(X11COM* Xp, const X11FLOW* flow);

// Keeps the F-tests of the span just rerun as span number i.
void copy_ft(X11COM* Xp, int i);

// Span arrays of the variable (all missing or zero); the step ends with
// level 1012 when memory runs short. FreeSpanMem releases them.
void AllocSpanMem(X11COM* Xp);
void FreeSpanMem(X11COM* Xp);

// The statistics, in the order x11span runs them.
void x11sppc(X11COM* Xp);  // coverage and spreads of D10, C18 and D11
void x11spmm(X11COM* Xp);  // period-to-period changes and their spreads
void x11spyy(X11COM* Xp);  // year-to-year changes and their spreads
void x11spsc(X11COM* Xp);  // sign changes
void x11sptp(X11COM* Xp);  // turning points
void x11spbd(X11COM* Xp);  // exceedances, breakdowns, LevelAndExceed, TurnAndExceed

// The turning-point flag of the codes (0 flat, 1 up, 2 down) of the changes
// between consecutive spans: 1 a trough, -1 a peak, 0 neither.
[[nodiscard]] int Tp3Code(const int codes[3]) noexcept;
[[nodiscard]] int Tp2Code(const int codes[2]) noexcept;

// Range class of a spread v against cutoff c: 0 when v <= c, then 1 to 4
// by whole units above c.
[[nodiscard]] int span_range_class(double v, double c) noexcept;

}  // namespace x11sa
