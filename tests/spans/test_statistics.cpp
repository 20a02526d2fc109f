// The statistics comparing span estimates, on spans laid out by hand:
// coverage, spreads of levels and of changes, sign changes, turning points,
// range classes and the breakdowns by period and year.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>

#include "host/dates.h"
#include "host/host.h"
#include "report/spans.h"
#include "spans/spans.h"

namespace x11sa::test {
namespace {

// Quarterly spans of `len` quarters, one year apart, the oldest from the
// first quarter of 1990 (or from quarter `firstper`).
struct Spans {
  std::string log;
  std::unique_ptr<Host> host;
  std::unique_ptr<X11COM> com;
  X11SSP* sp = nullptr;

  Spans(int cnt, long len, bool additive = false, int firstper = 0) {
    host = std::make_unique<Host>(TextOut(&log), TextOut(), TextOut(), HostSettings{});
    com = std::make_unique<X11COM>();
    com->host = host.get();
    com->nper = 4;
    com->op.month_f = 0;
    com->op.add_f = additive ? 1 : 0;
    com->fake_array_size = (cnt - 1) * 4 + len;
    sp = &com->x11ssp;
    sp->cnt = cnt;
    sp->len = len;
    for (int i = 0; i < cnt; ++i) {
      sp->s_beg[i] = 4L * i;
      sp->s_end[i] = 4L * i + len;
      sp->b_date[i] = zmdy(3 * firstper + 1, 1, 1990 + i);
      sp->e_date[i] = zintnx("QTR", sp->b_date[i], len - 1);
    }
    sp->FirstPer1 = firstper;
    sp->FirstPer2 = (firstper + 1) % 4;
    AllocSpanMem(com.get());
  }
  X11COM* Xp() { return com.get(); }
  // Levels of every span at index t (spans not holding t are left alone).
  void d10(long t, std::initializer_list<double> v) { set(sp->d10, t, v); }
  void d11(long t, std::initializer_list<double> v) { set(sp->d11, t, v); }
  void set(std::vector<double>* arrays, long t, std::initializer_list<double> v) {
    int i = 0;
    for (double x : v) arrays[i++][static_cast<std::size_t>(t)] = x;
  }
  // Every level of every span: d10 = 100 + span number, d11 = 1000.
  void flat_levels() {
    for (int i = 0; i < sp->cnt; ++i)
      for (long t = sp->s_beg[i]; t < sp->s_end[i]; ++t) {
        sp->d10[i][t] = 100.0 + i;
        sp->d11[i][t] = 1000.0;
      }
  }
};

TEST(SpanStatistics, CoverageAndLevelSpreads) {
  for (bool additive : {false, true}) {
    Spans s(4, 16, additive);  // spans [0,16) [4,20) [8,24) [12,28)
    s.flat_levels();
    x11sppc(s.Xp());
    const X11SSP& sp = *s.sp;
    EXPECT_EQ(sp.s_b_idx[2], -100);  // before the second span: not compared
    EXPECT_EQ(sp.s_b_idx[5], 0);
    EXPECT_EQ(sp.s_e_idx[5], 1);
    EXPECT_EQ(sp.s_b_idx[13], 0);
    EXPECT_EQ(sp.s_e_idx[13], 3);
    EXPECT_EQ(sp.s_b_idx[17], 1);
    EXPECT_EQ(sp.s_e_idx[17], 3);
    EXPECT_EQ(sp.s_b_idx[25], 3);
    EXPECT_EQ(sp.s_e_idx[25], 3);
    EXPECT_EQ(sp.pd1_beg, 4);
    EXPECT_EQ(sp.pd2_beg, 5);
    EXPECT_EQ(sp.pd3_beg, 8);
    EXPECT_EQ(sp.pd_end, 28);
    EXPECT_EQ(sp.bd.Length, 20);   // [4, 24): two spans or more
    EXPECT_EQ(sp.bd.LengthTP, 12); // [8, 20): three spans or more
    // Spans 0..3 at t = 13: factors 100 to 103.
    EXPECT_NEAR(sp.d10_pd1[13], 3.0, 1e-12);
    EXPECT_DOUBLE_EQ(sp.d10_min[13], 100.0);
    EXPECT_DOUBLE_EQ(sp.d10_max[13], 103.0);
    // Spans 1..3 at t = 17: 101 to 103, in percent of 101 when multiplicative.
    EXPECT_NEAR(sp.d10_pd1[17], additive ? 2.0 : 200.0 / 101.0, 1e-12);
    EXPECT_DOUBLE_EQ(sp.d11_pd1[17], 0.0);
    EXPECT_TRUE(is_missing(sp.d10_pd1[25]));  // one span only
    EXPECT_TRUE(is_missing(sp.d10_pd1[2]));
    // No trading day: series 1 has no spreads.
    EXPECT_TRUE(is_missing(sp.c18_pd1[13]));
  }
}

// Spreads of the changes against a direct reading of the definitions:
// the spans holding both indices of the change.
TEST(SpanStatistics, SpreadsOfChanges) {
  for (bool additive : {false, true}) {
    Spans s(4, 16, additive);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(900.0, 1100.0);
    for (int i = 0; i < 4; ++i)
      for (long t = s.sp->s_beg[i]; t < s.sp->s_end[i]; ++t) s.sp->d11[i][t] = u(rng);
    X11COM* Xp = s.Xp();
    x11sppc(Xp);
    x11spmm(Xp);
    x11spyy(Xp);
    const X11SSP& sp = *s.sp;
    auto change = [&](int i, long t, long lag) {
      const double a = sp.d11[i][t - lag];
      const double b = sp.d11[i][t];
      return additive ? b - a : (b / a - 1.0) * 100.0;
    };
    for (long lag : {1L, 4L}) {
      const auto& pd = lag == 1 ? sp.d11_pd2 : sp.d11_pd3;
      for (long t = 4; t < 28; ++t) {
        int holding_t = 0;
        double lo = 1e300;
        double hi = -1e300;
        for (int i = 0; i < 4; ++i) {
          if (sp.s_beg[i] <= t && t < sp.s_end[i]) ++holding_t;
          if (sp.s_beg[i] <= t - lag && t < sp.s_end[i]) {
            lo = std::min(lo, change(i, t, lag));
            hi = std::max(hi, change(i, t, lag));
          }
        }
        if (holding_t < 2 || lo > hi || t < 4 + lag) {
          EXPECT_TRUE(is_missing(pd[t])) << "lag " << lag << " t " << t;
        } else {
          EXPECT_NEAR(pd[t], hi - lo, 1e-9) << "lag " << lag << " t " << t;
        }
      }
    }
    // The changes themselves.
    EXPECT_NEAR(sp.d11_mm[2][9], change(2, 9, 1), 1e-12);
    EXPECT_TRUE(is_missing(sp.d11_mm[2][8]));  // the span's first value has no change
    EXPECT_NEAR(sp.d11_yy[3][17], change(3, 17, 4), 1e-12);
    EXPECT_TRUE(is_missing(sp.d11_yy[3][15]));
  }
}

TEST(SpanStatistics, SignChanges) {
  Spans s(4, 16);
  s.flat_levels();
  s.d10(13, {100.5, 100.2, 99.9, 100.1});   // above, then below: 2
  s.d10(14, {99.0, 99.5, 101.0, 99.0});     // below, then above: 1
  s.d10(15, {100.0, 99.0, 101.0, 99.0});    // starts at the base: none
  s.d10(10, {100.0 + 1e-14, 99.0, 99.0});   // within 2^-43 of the base: none
  s.d10(9, {99.0, 99.0 + 1e-9, 100.0 - 1e-14});  // the last is at the base: none
  X11COM* Xp = s.Xp();
  x11sppc(Xp);
  x11spmm(Xp);
  x11spyy(Xp);
  x11spsc(Xp);
  const X11SSP& sp = *s.sp;
  EXPECT_EQ(sp.SignChange[0][13], 2);
  EXPECT_EQ(sp.SignChange[0][14], 1);
  EXPECT_EQ(sp.SignChange[0][15], 0);
  EXPECT_EQ(sp.SignChange[0][10], 0);
  EXPECT_EQ(sp.SignChange[0][9], 0);
  // Elsewhere span 0 is at the base (100) or later spans agree.
  EXPECT_EQ(sp.SignChangeCount[0], 2);
  // D11 is constant: no change, no sign of it.
  EXPECT_EQ(sp.SignChangeCount[3], 0);
  EXPECT_EQ(sp.SignChangeCount[4], 0);

  // Additive: the base is 0.
  Spans a(3, 16, true);
  a.d10(9, {0.5, -0.25, 0.5});
  a.d10(10, {-0.5, -0.25, -0.5});
  x11sppc(a.Xp());
  x11spmm(a.Xp());
  x11spyy(a.Xp());
  x11spsc(a.Xp());
  EXPECT_EQ(a.sp->SignChange[0][9], 2);
  EXPECT_EQ(a.sp->SignChange[0][10], 0);
  EXPECT_EQ(a.sp->SignChangeCount[0], 1);
}

TEST(SpanStatistics, SignChangesOfChanges) {
  Spans s(3, 16);
  s.flat_levels();
  // At t = 9 (spans 0, 1, 2): span 0 rises from t = 8, span 1 falls.
  s.d11(8, {1000.0, 1000.0, 1000.0});
  s.d11(9, {1010.0, 990.0, 1000.0});
  X11COM* Xp = s.Xp();
  x11sppc(Xp);
  x11spmm(Xp);
  x11spyy(Xp);
  x11spsc(Xp);
  EXPECT_EQ(s.sp->SignChange[3][9], 2);
  // The year-to-year change at 9 (from 5): spans 0 and 1 hold both.
  EXPECT_EQ(s.sp->SignChange[4][9], 2);
  // And back at 10.
  EXPECT_EQ(s.sp->SignChange[3][10], 1);
  // A year later the year-to-year changes turn: from 9 to 13 span 0
  // falls and span 1 rises.
  EXPECT_EQ(s.sp->SignChange[4][13], 1);
  EXPECT_EQ(s.sp->SignChangeCount[3], 2);
  EXPECT_EQ(s.sp->SignChangeCount[4], 2);
}

// The codes of the changes between consecutive spans as letters: D down,
// U up, F flat; the patterns that make a trough (1) and a peak (-1).
int pattern_flag(const std::string& p) {
  static const std::vector<std::string> kTroughs = {"DUF", "DFU", "DUU", "FDU", "DDU", "DUD", "DU"};
  static const std::vector<std::string> kPeaks = {"UDF", "UDU", "UFD", "FUD", "UUD", "UDD", "UD"};
  if (std::find(kTroughs.begin(), kTroughs.end(), p) != kTroughs.end()) return 1;
  if (std::find(kPeaks.begin(), kPeaks.end(), p) != kPeaks.end()) return -1;
  return 0;
}

TEST(SpanStatistics, TurningPointCodes) {
  const char letters[3] = {'F', 'U', 'D'};
  for (int a = 0; a < 3; ++a)
    for (int b = 0; b < 3; ++b) {
      const int two[2] = {a, b};
      EXPECT_EQ(Tp2Code(two), pattern_flag({letters[a], letters[b]}));
      for (int c = 0; c < 3; ++c) {
        const int three[3] = {a, b, c};
        EXPECT_EQ(Tp3Code(three), pattern_flag({letters[a], letters[b], letters[c]}))
            << letters[a] << letters[b] << letters[c];
      }
    }
}

TEST(SpanStatistics, TurningPointsWithFourSpans) {
  Spans s(4, 16);  // [8,12) three spans, [12,16) four, [16,20) three
  s.flat_levels();
  s.d11(12, {1000, 980, 1010, 1010});   // down 2 %, up 3 %, flat: a trough
  s.d11(13, {1000, 1020, 990, 990});    // up, down, flat: a peak
  s.d11(14, {1000, 1005, 1010, 1030});  // flat, flat (0.5 %), up: none
  s.d11(15, {1000, 980, 1000, 980});    // down, up, down: counted as a trough
  s.d11(8, {1000, 970, 1000});          // three spans: down, up
  s.d11(9, {1000, 1030, 1000});         // up, down
  // At 16 and 17 spans 1 to 3 (the first value is span 0's, unused).
  s.d11(16, {0, 1000, 1005, 990});  // flat, down: none
  // The adjusted series is compared relatively: 9 units of 1000 are flat.
  s.d11(17, {0, 1000, 1009, 1000});
  X11COM* Xp = s.Xp();
  x11sppc(Xp);
  x11spmm(Xp);
  x11spyy(Xp);
  // The period-to-period changes are percentages already: compared
  // absolutely. At 12 spans 0 to 2 hold both 11 and 12.
  for (int i = 0; i < 4; ++i) s.sp->d11_mm[i][12] = std::vector<double>{50.0, 50.8, 49.0, 49.5}[i];
  for (int i = 0; i < 4; ++i) s.sp->d11_mm[i][13] = std::vector<double>{5.0, 7.0, 4.0, 4.5}[i];
  // Factors relatively, in a multiplicative run.
  s.d10(12, {100.0, 98.0, 101.0, 101.5});
  x11sptp(Xp);
  const X11SSP& sp = *s.sp;
  EXPECT_EQ(sp.TurningPoint[2][12], 1);
  EXPECT_EQ(sp.TurningPoint[2][13], -1);
  EXPECT_EQ(sp.TurningPoint[2][14], 0);
  EXPECT_EQ(sp.TurningPoint[2][15], 1);
  EXPECT_EQ(sp.TurningPoint[2][8], 1);
  EXPECT_EQ(sp.TurningPoint[2][9], -1);
  EXPECT_EQ(sp.TurningPoint[2][16], 0);
  EXPECT_EQ(sp.TurningPoint[2][17], 0);
  EXPECT_EQ(sp.TurningPointCount[2], 5);
  EXPECT_EQ(sp.TpTested[2], 12);
  EXPECT_EQ(sp.TurningPoint[3][12], 0);   // flat (0.8), down: none
  EXPECT_EQ(sp.TurningPoint[3][13], -1);  // up 2, down 3, flat 0.5
  EXPECT_EQ(sp.TurningPoint[0][12], 1);   // down 2 %, up 3 %, flat 0.5 %
  EXPECT_EQ(sp.TurningPoint[1][12], 0);   // no trading day
  // Indices with three spans holding both ends of the change.
  EXPECT_EQ(sp.TpTested[3], 11);  // [9, 20)
  EXPECT_EQ(sp.TpTested[4], 8);   // [12, 20)

  // Two spans: no turning-point pass.
  Spans two(2, 16);
  two.flat_levels();
  two.d11(6, {1000, 900});
  x11sppc(two.Xp());
  x11spmm(two.Xp());
  x11spyy(two.Xp());
  x11sptp(two.Xp());
  for (int k = 0; k < kSpanSeries; ++k) {
    EXPECT_EQ(two.sp->TurningPointCount[k], 0);
    EXPECT_EQ(two.sp->TpTested[k], 0);
  }
}

TEST(SpanStatistics, TurningPointsAdditive) {
  Spans s(3, 16, true);
  s.flat_levels();
  s.d10(8, {0.0, 1.5, 0.2});      // up 1.5, down 1.3: a peak
  s.d10(9, {0.0, 0.9, 0.0});      // flat both ways: none
  s.d11(8, {0.0, 0.0, -5.0});     // from 0, only no change is flat: flat, down
  s.d11(9, {0.0, 0.001, -5.0});   // up, down (relatively large)
  x11sppc(s.Xp());
  x11spmm(s.Xp());
  x11spyy(s.Xp());
  x11sptp(s.Xp());
  EXPECT_EQ(s.sp->TurningPoint[0][8], -1);
  EXPECT_EQ(s.sp->TurningPoint[0][9], 0);
  EXPECT_EQ(s.sp->TurningPoint[2][8], 0);
  EXPECT_EQ(s.sp->TurningPoint[2][9], -1);
}

TEST(SpanStatistics, RangeClasses) {
  EXPECT_EQ(span_range_class(2.0, 3.0), 0);
  EXPECT_EQ(span_range_class(3.0, 3.0), 0);
  EXPECT_EQ(span_range_class(3.5, 3.0), 1);
  EXPECT_EQ(span_range_class(4.0, 3.0), 2);
  EXPECT_EQ(span_range_class(5.99, 3.0), 3);
  EXPECT_EQ(span_range_class(6.0, 3.0), 4);
  EXPECT_EQ(span_range_class(60.0, 3.0), 4);
  EXPECT_EQ(span_range_text(3.0, 1, true), "[3.0%-4.0%)");
  EXPECT_EQ(span_range_text(3.0, 3, true), "[5.0%-6.0%)");
  EXPECT_EQ(span_range_text(3.0, 4, true), ">=6.0%");
  EXPECT_EQ(span_range_text(12.5, 1, true), "[12.5%-13.5%)");
  EXPECT_EQ(span_range_text(12.5, 4, true), ">=15.5%");
  EXPECT_EQ(span_range_text(8.5, 1, true), "[ 8.5%- 9.5%)");  // width 4 once c + 3 reaches 10
  EXPECT_EQ(span_range_text(8.5, 2, true), "[ 9.5%-10.5%)");
  EXPECT_EQ(span_range_text(2.0, 2, false), "[3.0-4.0)");
  EXPECT_EQ(span_range_code(0, 3), "%%%");
  EXPECT_EQ(span_range_code(1, 1), "+");
  EXPECT_EQ(span_range_code(2, 4), "####");
  EXPECT_EQ(span_range_code(3, 2), "$$");
  EXPECT_EQ(span_range_code(4, 2), "@@");
}

TEST(SpanStatistics, Breakdowns) {
  // Spans from the third quarter: [0,16) [4,20) [8,24); comparisons on
  // [4, 20), from Q3 1991 to Q2 1995.
  Spans s(3, 16, false, 2);
  s.flat_levels();
  X11COM* Xp = s.Xp();
  x11sppc(Xp);
  x11spmm(Xp);
  x11spyy(Xp);
  x11spsc(Xp);
  x11sptp(Xp);
  X11SSP& sp = *s.sp;
  const double spreads[16] = {1.0, 3.5, 4.0, 2.0, 6.0, 5.99, 0.0, 3.0, 1.0, 1.0, 1.0, 1.0, 7.0, 1.0, 1.0, 3.2};
  for (long t = 4; t < 20; ++t) sp.d10_pd1[t] = spreads[t - 4];
  sp.SignChange[0][5] = 1;   // with an exceedance (3.5)
  sp.SignChange[0][7] = 2;   // without (2.0)
  sp.TurningPoint[0][8] = -1;  // with (6.0)
  x11spbd(Xp);
  const X11SSPBD& bd = sp.bd;
  EXPECT_EQ(bd.FirstYear1, 1991);
  EXPECT_EQ(bd.NumYears1, 5);  // 1991 to 1995
  EXPECT_EQ(bd.FirstYear2, 1991);
  EXPECT_EQ(bd.NumYears2, 5);
  EXPECT_EQ(sp.TotalExceed[0], 6);
  EXPECT_EQ(sp.RangeCount[0][0], 2);  // 3.5, 3.2
  EXPECT_EQ(sp.RangeCount[0][1], 1);  // 4.0
  EXPECT_EQ(sp.RangeCount[0][2], 1);  // 5.99
  EXPECT_EQ(sp.RangeCount[0][3], 2);  // 6.0, 7.0
  EXPECT_EQ(sp.ExceedFlag[0][5], 1);
  EXPECT_EQ(sp.ExceedFlag[0][8], 4);
  EXPECT_EQ(sp.ExceedFlag[0][11], 0);  // 3.0 is not above the cutoff
  EXPECT_EQ(bd.Tested[0], 16);
  // By quarter: index 4 is Q3.
  EXPECT_EQ(bd.MonthTotal[0][2], 4);
  EXPECT_EQ(bd.MonthCount[0][2], 2);  // 1.0, 6.0, 1.0, 7.0
  EXPECT_NEAR(bd.MonthAmpd[0][2], 1.0 + 6.0 + 1.0 + 7.0, 1e-12);
  EXPECT_EQ(bd.MonthCount[0][3], 2);  // 3.5, 5.99, 1.0, 1.0
  // By year: 1991 holds Q3 and Q4 (1.0, 3.5).
  EXPECT_EQ(bd.FirstYear[0], 1991);
  EXPECT_EQ(bd.NumYears[0], 5);
  EXPECT_EQ(bd.YearTotal[0][0], 2);
  EXPECT_EQ(bd.YearCount[0][0], 1);
  EXPECT_NEAR(bd.YearAmpd[0][0], 4.5, 1e-12);
  EXPECT_EQ(bd.YearTotal[0][1], 4);  // 4.0 2.0 6.0 5.99
  EXPECT_EQ(bd.YearCount[0][1], 3);
  EXPECT_EQ(bd.YearTotal[0][4], 2);  // 1995: Q1, Q2
  EXPECT_EQ(sp.LevelAndExceed[0], 1);
  EXPECT_EQ(sp.TurnAndExceed[0], 1);
  // The changes' ranges: 15 period-to-period values from Q4 1991, 12
  // year-to-year values from Q3 1992.
  EXPECT_EQ(bd.Tested[3], 15);
  EXPECT_EQ(bd.FirstYear[3], 1991);
  EXPECT_EQ(bd.Tested[4], 12);
  EXPECT_EQ(bd.FirstYear[4], 1992);
  EXPECT_EQ(bd.NumYears[4], 4);
}

TEST(SpanStatistics, SpansStartingInTheLastPeriod) {
  Spans s(2, 16, false, 3);  // from Q4 1990; comparisons from Q4 1991
  s.flat_levels();
  X11COM* Xp = s.Xp();
  x11sppc(Xp);
  x11spmm(Xp);
  x11spyy(Xp);
  x11spsc(Xp);
  x11sptp(Xp);
  x11spbd(Xp);
  const X11SSPBD& bd = s.sp->bd;
  EXPECT_EQ(bd.FirstYear1, 1991);
  EXPECT_EQ(bd.NumYears1, 4);  // Q4 1991 to Q3 1994
  EXPECT_EQ(bd.FirstYear2, 1992);
  EXPECT_EQ(bd.NumYears2, 3);
  // The period-to-period changes begin in Q1 1992.
  EXPECT_EQ(bd.FirstYear[3], 1992);
  EXPECT_EQ(bd.NumYears[3], 3);
  EXPECT_EQ(bd.YearTotal[3][0], 4);
  EXPECT_EQ(bd.MonthTotal[3][3], 2);  // Q4 1992, Q4 1993
  EXPECT_EQ(bd.MonthTotal[0][3], 3);
}

TEST(SpanStatistics, DistributionOfSpreads) {
  auto ranks = [](int n) {
    std::vector<double> v;
    for (int k = 1; k <= n; ++k) v.push_back(k);
    return x11spu1(v);
  };
  SpreadDistribution d = ranks(7);  // hinges of 1..4 and 4..7
  EXPECT_EQ(d.min, 1);
  EXPECT_EQ(d.lower_quartile, 2.5);
  EXPECT_EQ(d.median, 4);
  EXPECT_EQ(d.p65, 5);  // rank 7 - 2
  EXPECT_EQ(d.upper_quartile, 5.5);
  EXPECT_EQ(d.p85, 6);  // rank 7 - 1
  EXPECT_EQ(d.max, 7);
  d = ranks(8);
  EXPECT_EQ(d.lower_quartile, 2.5);
  EXPECT_EQ(d.median, 4.5);
  EXPECT_EQ(d.upper_quartile, 6.5);
  EXPECT_EQ(d.p65, 5);
  EXPECT_EQ(d.p85, 7);
  d = ranks(5);
  EXPECT_EQ(d.lower_quartile, 2);
  EXPECT_EQ(d.median, 3);
  EXPECT_EQ(d.upper_quartile, 4);
  EXPECT_EQ(d.p65, 3);
  EXPECT_EQ(d.p85, 4);
  d = ranks(1);
  EXPECT_EQ(d.min, 1);
  EXPECT_EQ(d.lower_quartile, 1);
  EXPECT_EQ(d.upper_quartile, 1);
  EXPECT_EQ(d.max, 1);
  d = ranks(100);
  EXPECT_EQ(d.p65, 65);
  EXPECT_EQ(d.p85, 85);
  EXPECT_EQ(d.median, 50.5);
  EXPECT_EQ(d.lower_quartile, 25.5);  // h = 50: ranks 25 and 26
  EXPECT_EQ(d.upper_quartile, 75.5);
}

}  // namespace
}  // namespace x11sa::test
