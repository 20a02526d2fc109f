// The statistics comparing the span estimates: coverage, spreads, sign
// changes, turning points, exceedances and their breakdowns.
#include <algorithm>
#include <cmath>
#include <utility>

#include "host/dates.h"
#include "spans/spans.h"

namespace x11sa {

namespace {

// Values this close to the neutral level count as on it (2^-43).
constexpr double kSignTolerance = 1.1368683772161608e-13;

bool two_spans(const X11SSP& sp, long t) { return sp.s_b_idx[t] >= 0 && sp.s_b_idx[t] < sp.s_e_idx[t]; }

// Smallest and largest present value of series `values` at index t over the
// spans lo .. hi, leaving out span `skip`; false when none is present.
template <class Values>
bool min_max(const X11SSP& sp, Values values, long t, int lo, int hi, int skip, double& mn, double& mx) {
  bool any = false;
  for (int i = std::max(lo, 0); i <= hi && i < sp.cnt; ++i) {
    if (i == skip) continue;
    const double v = values(i)[t];
    if (is_missing(v)) continue;
    if (!any) {
      mn = mx = v;
      any = true;
    } else {
      mn = std::min(mn, v);
      mx = std::max(mx, v);
    }
  }
  return any;
}

// The span (or -1) that starts at index t.
int span_starting_at(const X11SSP& sp, long t) {
  for (int i = 0; i < sp.cnt; ++i)
    if (sp.s_beg[i] == t) return i;
  return -1;
}

// Spread of levels: in percent of the smallest in a multiplicative run.
double level_spread(double mn, double mx, bool additive) {
  if (additive) return mx - mn;
  return mn > 0.0 ? (mx - mn) * 100.0 / mn : kMissing;
}

// Change from `prev` to `cur`: in percent of `prev` in a multiplicative run.
double change(double prev, double cur, bool additive) {
  if (is_missing(prev) || is_missing(cur)) return kMissing;
  if (additive) return cur - prev;
  return prev != 0.0 ? (cur - prev) * 100.0 / prev : kMissing;
}

int side_of(double v, double base) {
  if (is_missing(v)) return 0;
  if (v > base + kSignTolerance) return 1;
  if (v < base - kSignTolerance) return -1;
  return 0;
}

// The sign test of series s at index t over the spans lo .. hi: the first
// span fixes the side, the first later span on the other side flags it.
void SignChange(X11SSP& sp, int s, long t, int lo, int hi, double base) {
  if (lo < 0 || hi >= sp.cnt) return;
  const std::vector<double>* v[kMaxSpans] = {};
  for (int i = lo; i <= hi; ++i) v[i] = &span_values(sp, s, i);
  const int first = side_of((*v[lo])[t], base);
  if (first == 0) return;
  for (int j = lo + 1; j <= hi; ++j) {
    if (s == 3 && sp.s_beg[j] == t) continue;
    if (side_of((*v[j])[t], base) == -first) {
      sp.SignChange[s][t] = static_cast<std::int16_t>(first > 0 ? 2 : 1);
      ++sp.SignChangeCount[s];
      return;
    }
  }
}

// A change between two spans is flat when it is small: levels of factors
// and of the adjusted series relatively (one percent of the earlier span's
// value), changes already in percent and additive components absolutely.
bool flat(int s, double d, double prev, bool additive) {
  const bool relative = s == 2 || (!additive && (s == 0 || s == 1));
  if (!relative) return std::fabs(d) <= 1.0;
  if (prev == 0.0) return d == 0.0;
  return std::fabs(d / prev) * 100.0 <= 1.0;
}

// The turning-point test of series s at index t over the spans lo .. u.
void TurningPoint(X11SSP& sp, int s, long t, int lo, int u, bool additive) {
  int codes[3] = {};
  const int n = u - lo;
  for (int j = lo + 1; j <= u; ++j) {
    const double prev = span_values(sp, s, j - 1)[t];
    const double cur = span_values(sp, s, j)[t];
    if (is_missing(prev) || is_missing(cur)) return;
    const double d = cur - prev;
    codes[j - lo - 1] = flat(s, d, prev, additive) ? 0 : d > 0.0 ? 1 : 2;
  }
  std::copy(codes, codes + 3, sp.TPCodes);
  const int flag = n == 3 ? Tp3Code(codes) : n == 2 ? Tp2Code(codes) : 0;
  sp.TurningPoint[s][t] = static_cast<std::int16_t>(flag);
  if (flag != 0) ++sp.TurningPointCount[s];
}

// The spans compared at index t for series s: from the oldest span holding
// t to the newest holding the earlier index of the change too.
std::pair<int, int> get_limits(const X11COM* Xp, int s, long t) {
  const X11SSP& sp = Xp->x11ssp;
  const int lo = sp.s_b_idx[t];
  if (s == 3) return {lo, sp.s_e_idx[t - 1]};
  if (s == 4) return {lo, sp.s_e_idx[t - Xp->nper]};
  return {lo, sp.s_e_idx[t]};
}

}  // namespace

int span_range_class(double v, double c) noexcept {
  if (v <= c) return 0;
  if (v < c + 1.0) return 1;
  if (v < c + 2.0) return 2;
  if (v < c + 3.0) return 3;
  return 4;
}

int Tp3Code(const int codes[3]) noexcept {
  static constexpr int kWeights[3][3] = {{1, 2, 4}, {8, 16, 32}, {64, 132, 256}};
  static constexpr int kTroughs[] = {84, 144, 152, 165, 168, 276};
  static constexpr int kPeaks[] = {98, 166, 266, 273, 274, 290};
  int sum = 0;
  for (int k = 0; k < 3; ++k) sum += kWeights[k][codes[k]];
  if (std::ranges::find(kTroughs, sum) != std::end(kTroughs)) return 1;
  if (std::ranges::find(kPeaks, sum) != std::end(kPeaks)) return -1;
  return 0;
}

int Tp2Code(const int codes[2]) noexcept {
  static constexpr int kWeights[2][3] = {{1, 2, 4}, {8, 16, 32}};
  const int sum = kWeights[0][codes[0]] + kWeights[1][codes[1]];
  return sum == 20 ? 1 : sum == 34 ? -1 : 0;
}

void x11sppc(X11COM* Xp) {
  X11SSP& sp = Xp->x11ssp;
  const long n = Xp->fake_array_size;
  const long P = Xp->nper;
  const bool additive = Xp->op.add_f != 0;
  std::fill(sp.s_b_idx.begin(), sp.s_b_idx.end(), -100);
  std::fill(sp.s_e_idx.begin(), sp.s_e_idx.end(), -100);
  // Spans start one year apart and all have the same length, so the spans
  // holding t form one run of span numbers.
  for (long t = sp.s_beg[1]; t < n; ++t) {
    for (int i = 0; i < sp.cnt; ++i) {
      if (sp.s_beg[i] > t || t >= sp.s_end[i]) continue;
      if (sp.s_b_idx[t] < 0) sp.s_b_idx[t] = i;
      sp.s_e_idx[t] = i;
    }
  }
  sp.pd1_beg = sp.s_beg[1];
  sp.pd2_beg = sp.s_beg[1] + 1;
  sp.pd3_beg = sp.s_beg[1] + P;
  sp.pd_end = sp.s_end[sp.cnt - 1];
  sp.bd.Length = sp.len + (sp.cnt - 3) * P;
  sp.bd.LengthTP = sp.len + (sp.cnt - 5) * P;
  for (auto* v : {&sp.c18_min, &sp.c18_max, &sp.d10_min, &sp.d10_max, &sp.d11_min, &sp.d11_max, &sp.c18_pd1,
                  &sp.d10_pd1, &sp.d11_pd1})
    std::fill(v->begin(), v->end(), kMissing);
  const bool td = span_series_active(Xp, 1);
  for (long t = sp.pd1_beg; t < sp.pd_end; ++t) {
    if (!two_spans(sp, t)) continue;
    const int lo = sp.s_b_idx[t];
    const int hi = sp.s_e_idx[t];
    double mn = 0.0;
    double mx = 0.0;
    if (min_max(sp, [&](int i) -> const std::vector<double>& { return sp.d10[i]; }, t, lo, hi, -1, mn, mx)) {
      sp.d10_min[t] = mn;
      sp.d10_max[t] = mx;
      sp.d10_pd1[t] = level_spread(mn, mx, additive);
    }
    if (min_max(sp, [&](int i) -> const std::vector<double>& { return sp.d11[i]; }, t, lo, hi, -1, mn, mx)) {
      sp.d11_min[t] = mn;
      sp.d11_max[t] = mx;
      sp.d11_pd1[t] = level_spread(mn, mx, additive);
    }
    if (td && min_max(sp, [&](int i) -> const std::vector<double>& { return sp.c18[i]; }, t, lo, hi, -1, mn, mx)) {
      sp.c18_min[t] = mn;
      sp.c18_max[t] = mx;
      sp.c18_pd1[t] = level_spread(mn, mx, additive);
    }
  }
}

void x11spmm(X11COM* Xp) {
  X11SSP& sp = Xp->x11ssp;
  const bool additive = Xp->op.add_f != 0;
  for (int i = 0; i < sp.cnt; ++i) {
    std::vector<double>& mm = sp.d11_mm[i];
    const std::vector<double>& sa = sp.d11[i];
    std::fill(mm.begin(), mm.end(), kMissing);
    for (long t = sp.s_beg[i] + 1; t < sp.s_end[i]; ++t) mm[t] = change(sa[t - 1], sa[t], additive);
  }
  std::fill(sp.d11_pd2.begin(), sp.d11_pd2.end(), kMissing);
  for (long t = sp.pd2_beg; t < sp.pd_end; ++t) {
    if (!two_spans(sp, t)) continue;
    double mn = 0.0;
    double mx = 0.0;
    if (min_max(sp, [&](int i) -> const std::vector<double>& { return sp.d11_mm[i]; }, t, sp.s_b_idx[t],
                sp.s_e_idx[t], span_starting_at(sp, t), mn, mx))
      sp.d11_pd2[t] = mx - mn;
  }
}

void x11spyy(X11COM* Xp) {
  X11SSP& sp = Xp->x11ssp;
  const long P = Xp->nper;
  const bool additive = Xp->op.add_f != 0;
  for (int i = 0; i < sp.cnt; ++i) {
    std::vector<double>& yy = sp.d11_yy[i];
    const std::vector<double>& sa = sp.d11[i];
    std::fill(yy.begin(), yy.end(), kMissing);
    for (long t = sp.s_beg[i] + P; t < sp.s_end[i]; ++t) yy[t] = change(sa[t - P], sa[t], additive);
  }
  std::fill(sp.d11_pd3.begin(), sp.d11_pd3.end(), kMissing);
  for (long t = sp.s_beg[1]; t < sp.pd_end; ++t) {
    if (!two_spans(sp, t)) continue;
    // Spans holding both t and t - P.
    const int lo = sp.s_b_idx[t];
    const int hi = sp.s_e_idx[t - P];
    double mn = 0.0;
    double mx = 0.0;
    if (hi >= lo &&
        min_max(sp, [&](int i) -> const std::vector<double>& { return sp.d11_yy[i]; }, t, lo, hi, -1, mn, mx))
      sp.d11_pd3[t] = mx - mn;
  }
}

void x11spsc(X11COM* Xp) {
  X11SSP& sp = Xp->x11ssp;
  const long P = Xp->nper;
  const double level_base = Xp->op.add_f != 0 ? 0.0 : 100.0;
  std::fill(std::begin(sp.SignChangeCount), std::end(sp.SignChangeCount), 0L);
  for (auto& flags : sp.SignChange) std::fill(flags.begin(), flags.end(), std::int16_t{0});
  const struct {
    int s;
    long from;
    double base;
  } tests[] = {{0, sp.s_beg[1], level_base},
               {1, sp.s_beg[1], level_base},
               {3, sp.s_beg[1] + 1, 0.0},
               {4, sp.s_beg[1] + P, 0.0}};
  for (const auto& test : tests) {
    if (!span_series_active(Xp, test.s)) continue;
    for (long t = test.from; t < sp.pd_end; ++t) {
      const auto [lo, hi] = get_limits(Xp, test.s, t);
      SignChange(sp, test.s, t, lo, hi, test.base);
    }
  }
}

void x11sptp(X11COM* Xp) {
  X11SSP& sp = Xp->x11ssp;
  const long P = Xp->nper;
  const bool additive = Xp->op.add_f != 0;
  std::fill(std::begin(sp.TurningPointCount), std::end(sp.TurningPointCount), 0L);
  std::fill(std::begin(sp.TpTested), std::end(sp.TpTested), 0L);
  std::fill(std::begin(sp.TPCodes), std::end(sp.TPCodes), 0);
  for (auto& flags : sp.TurningPoint) std::fill(flags.begin(), flags.end(), std::int16_t{0});
  if (sp.cnt < 3) return;
  const long b = sp.s_beg[2];
  const long e = sp.s_end[sp.cnt - 3];
  const struct {
    int s;
    long from, to;
  } tests[] = {{0, b, e}, {1, b, e}, {2, b, e}, {3, b + 1, e}, {4, b + 1, e + P}};
  for (const auto& test : tests) {
    if (!span_series_active(Xp, test.s)) continue;
    const long to = std::min(test.to, Xp->fake_array_size);
    for (long t = test.from; t < to; ++t) {
      const auto [lo, u] = get_limits(Xp, test.s, t);
      if (lo < 0 || lo + 1 >= u) continue;
      ++sp.TpTested[test.s];
      TurningPoint(sp, test.s, t, lo, u, additive);
    }
  }
}

namespace {

// Classes the spreads of series s against its cutoff and breaks them down
// by period of the year and by year.
void x11spu3(X11COM* Xp, int s) {
  X11SSP& sp = Xp->x11ssp;
  X11SSPBD& bd = sp.bd;
  const int P = Xp->nper;
  sp.TotalExceed[s] = 0;
  std::fill(std::begin(sp.RangeCount[s]), std::end(sp.RangeCount[s]), 0L);
  std::fill(std::begin(bd.MonthAmpd[s]), std::end(bd.MonthAmpd[s]), 0.0);
  std::fill(std::begin(bd.MonthCount[s]), std::end(bd.MonthCount[s]), 0L);
  std::fill(std::begin(bd.MonthTotal[s]), std::end(bd.MonthTotal[s]), 0L);
  std::fill(bd.YearAmpd[s].begin(), bd.YearAmpd[s].end(), 0.0);
  std::fill(bd.YearCount[s].begin(), bd.YearCount[s].end(), 0L);
  std::fill(bd.YearTotal[s].begin(), bd.YearTotal[s].end(), 0L);
  std::fill(sp.ExceedFlag[s].begin(), sp.ExceedFlag[s].end(), std::int16_t{0});
  bd.Tested[s] = 0;
  bd.FirstYear[s] = 0;
  bd.NumYears[s] = 0;
  if (!span_series_active(Xp, s)) return;
  const SpanRange r = span_range(Xp, s);
  if (r.count <= 0) return;
  // Years counted from pd1_beg, which lies in period FirstPer1 of FirstYear1.
  const auto year_of = [&](long t) { return static_cast<int>((sp.FirstPer1 + (t - sp.pd1_beg)) / P); };
  const int y0 = year_of(r.first);
  bd.FirstYear[s] = bd.FirstYear1 + y0;
  bd.NumYears[s] = year_of(r.first + r.count - 1) - y0 + 1;
  const double c = span_cutoff(Xp, s);
  const std::vector<double>& spread = span_spreads(sp, s);
  int period = r.period;
  std::size_t year = 0;
  for (long t = r.first; t < r.first + r.count; ++t) {
    const double v = spread[t];
    if (!is_missing(v) && year < bd.YearAmpd[s].size()) {
      const int cls = span_range_class(v, c);
      const long exceeds = cls > 0 ? 1 : 0;
      if (cls > 0) {
        ++sp.RangeCount[s][cls - 1];
        sp.ExceedFlag[s][t] = static_cast<std::int16_t>(cls);
        ++sp.TotalExceed[s];
      }
      bd.MonthAmpd[s][period] += v;
      bd.MonthTotal[s][period] += 1;
      bd.MonthCount[s][period] += exceeds;
      bd.YearAmpd[s][year] += v;
      bd.YearTotal[s][year] += 1;
      bd.YearCount[s][year] += exceeds;
      ++bd.Tested[s];
    }
    if (++period == P) {
      period = 0;
      ++year;
    }
  }
}

// Exceedances that coincide with a sign change or a turning point.
void BothFlags(X11COM* Xp) {
  X11SSP& sp = Xp->x11ssp;
  for (int s = 0; s < kSpanSeries; ++s) {
    sp.LevelAndExceed[s] = 0;
    sp.TurnAndExceed[s] = 0;
    if (!span_series_active(Xp, s)) continue;
    for (std::size_t t = 0; t < sp.ExceedFlag[s].size(); ++t) {
      if (sp.ExceedFlag[s][t] == 0) continue;
      if (sp.SignChange[s][t] != 0) ++sp.LevelAndExceed[s];
      if (sp.TurningPoint[s][t] != 0) ++sp.TurnAndExceed[s];
    }
  }
}

}  // namespace

void x11spbd(X11COM* Xp) {
  X11SSP& sp = Xp->x11ssp;
  X11SSPBD& bd = sp.bd;
  bd.FirstYear1 = zyear(sp.b_date[1]);
  bd.NumYears1 = zyear(sp.e_date[sp.cnt - 2]) - bd.FirstYear1 + 1;
  bd.FirstYear2 = bd.FirstYear1;
  bd.NumYears2 = bd.NumYears1;
  // The period-to-period changes start one period later, in the next year
  // when the spans start in the last period of a year.
  if (sp.FirstPer1 == Xp->nper - 1) {
    --bd.NumYears2;
    ++bd.FirstYear2;
  }
  for (int s = 0; s < kSpanSeries; ++s) x11spu3(Xp, s);
  BothFlags(Xp);
}

}  // namespace x11sa
