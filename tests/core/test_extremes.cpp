// Extreme values: graded weights from five-year sigmas, the variants of the
// two passes, the replacement of values without full weight, and the
// extreme-value tables of the reference runs.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core_test_support.h"
#include "core/extremes.h"
#include "core/filters.h"
#include "core/seasonal.h"
#include "run/x11com.h"
#include "x11sa/missing.h"

namespace x11sa {
using test::expect_matches;
using test::read_tables;
using test::kSentinel;
using test::prepare;

namespace {

// Root mean square of the deviations from `mean` of v[from, to) except the
// positions listed in `leave_out`.
double rms(const std::vector<double>& v, long from, long to, double mean,
           std::initializer_list<long> leave_out = {}) {
  double squares = 0.0;
  long n = 0;
  for (long p = from; p < to; ++p) {
    if (std::find(leave_out.begin(), leave_out.end(), p) != leave_out.end()) continue;
    squares += (v[p] - mean) * (v[p] - mean);
    ++n;
  }
  return std::sqrt(squares / static_cast<double>(n));
}

// Background of +-1 around `mean`: a sigma of exactly 1.
std::vector<double> calm(long n, double mean) {
  std::vector<double> v(n);
  for (long i = 0; i < n; ++i) v[i] = mean + (i % 2 == 0 ? 1.0 : -1.0);
  return v;
}

// ---------------------------------------------------------------------------
// Monthly weights

struct MonthlyRoutine {
  XtrmFcnt fn;
  const char* name;
};

class MonthlyWeights : public ::testing::TestWithParam<MonthlyRoutine> {};

TEST_P(MonthlyWeights, LimitsAreStrictAndFiveYearsShareOneSigma) {
  // Five full years at array positions 4 .. 63 (calendar 1 .. 60, adj -3).
  // Without the far outlier the sum of squares is 236 over 59 values: the
  // second-pass sigma is exactly 2, so 3 lies exactly 1.5 sigmas out, 4 lies
  // 2 sigmas out and 5 exactly 2.5.
  for (const bool additive : {false, true}) {
    const double mean = additive ? 0.0 : 100.0;
    const long n = 70, adj = -3;
    std::vector<double> in(n, kMissing);
    const auto at = [&](long month) -> double& { return in[month - adj]; };
    long m = 1;
    for (int i = 0; i < 35; ++i) at(m++) = mean + (i % 2 == 0 ? 2.0 : -2.0);
    for (int i = 0; i < 10; ++i) at(m++) = mean + (i % 2 == 0 ? 1.0 : -1.0);
    for (int i = 0; i < 10; ++i) at(m++) = mean;
    const long outlier = m++, exactly_zero = m++, above_zero = m++, exactly_full = m++,
               halfway = m++;
    at(outlier) = mean + 100.0;
    at(exactly_zero) = mean - 5.0;
    at(above_zero) = mean + 6.0;
    at(exactly_full) = mean + 3.0;
    at(halfway) = mean - 4.0;
    ASSERT_EQ(m, 61);

    X11COM com;
    prepare(com, n, additive);
    std::vector<double> wt(n), sd(n);
    GetParam().fn(&com, wt.data(), sd.data(), in.data(), adj, 1, 60);

    EXPECT_EQ(wt[outlier - adj], 0.0);
    EXPECT_EQ(wt[exactly_zero - adj], 0.0);  // by the graded formula
    EXPECT_EQ(wt[above_zero - adj], 0.0);    // by the zero rule
    EXPECT_EQ(wt[exactly_full - adj], 100.0);
    EXPECT_NEAR(wt[halfway - adj], 50.0, 1e-12);
    for (long k = 1; k <= 35 + 20; ++k) EXPECT_EQ(wt[k - adj], 100.0) << k;
    // Outside the stretch every weight is full.
    EXPECT_EQ(wt[0], 100.0);
    EXPECT_EQ(wt[69], 100.0);

    // One sigma per year, the last repeated after it.
    for (long j = 0; j <= 5; ++j) EXPECT_DOUBLE_EQ(sd[j], 2.0) << additive << " year " << j;
  }
}

TEST_P(MonthlyWeights, SpansServeTheirCentralYearAndIgnorePartialYears) {
  // April of year 0 to September of year 9: eight full years (calendar 13 to
  // 108) and two partial ones whose wild values must not enter any sigma.
  const long first = 4, last = 117, adj = 4, n = 120;
  std::vector<double> in(n, kMissing);
  for (long k = first; k <= last; ++k) {
    const long year = (k - 1) / 12;
    const double amplitude = 1.0 + 0.1 * static_cast<double>(year);
    in[k - adj] = 100.0 + (k % 2 == 0 ? amplitude : -amplitude);
  }
  in[first - adj] = 400.0;
  in[last - adj] = -200.0;

  X11COM com;
  prepare(com, n);
  std::vector<double> wt(n), sd(n);
  GetParam().fn(&com, wt.data(), sd.data(), in.data(), adj, first, last);

  // Windows of five full years starting at the years 1, 2, 3 and 4.
  const auto window = [&](long start_year) {
    const long from = 12 * start_year + 1 - adj;
    return rms(in, from, from + 60, 100.0);
  };
  // std[j] holds the sigma of calendar month first + 12 j (year j of the stretch).
  const double want[] = {window(1), window(1), window(1), window(1), window(2),
                         window(3), window(4), window(4), window(4), window(4)};
  for (long j = 0; j < 10; ++j) EXPECT_NEAR(sd[j], want[j], 1e-12) << j;
  EXPECT_DOUBLE_EQ(sd[10], sd[9]);

  EXPECT_EQ(wt[first - adj], 0.0);
  EXPECT_EQ(wt[last - adj], 0.0);
  for (long k = first + 1; k < last; ++k) EXPECT_EQ(wt[k - adj], 100.0) << k;
}

INSTANTIATE_TEST_SUITE_P(Routines, MonthlyWeights,
                         ::testing::Values(MonthlyRoutine{x11xtro, "old"},
                                           MonthlyRoutine{x11xtrm, "new"}),
                         [](const auto& param_info) { return std::string(param_info.param.name); });

// Seven full years (three spans) with a far outlier and a value that only
// the second pass finds extreme, both in the third year, which lies in every
// window but is served by the first span.
struct SecondPassCase {
  static constexpr long n = 84;
  static constexpr long outlier = 30, late = 31;
  std::vector<double> in = calm(n, 100.0);
  X11COM com;
  std::vector<double> wt = std::vector<double>(n), sd = std::vector<double>(n);
  SecondPassCase() {
    prepare(com, n);
    in[outlier] = 200.0;
    in[late] = 105.0;
  }
};

TEST(WeightPasses, NewRuleLeavesOutExactlyTheFirstPassExtremes) {
  SecondPassCase c;
  x11xtrm(&c.com, c.wt.data(), c.sd.data(), c.in.data(), 1, 1, 84);
  // Every second-pass sigma leaves out the outlier, also after the first span
  // has given it its final weight, and keeps the value zeroed only now.
  const double window_sigma = rms(c.in, 0, 60, 100.0, {SecondPassCase::outlier});
  EXPECT_NEAR(window_sigma, std::sqrt(83.0 / 59.0), 1e-12);
  for (long j = 0; j < 7; ++j) EXPECT_NEAR(c.sd[j], window_sigma, 1e-12) << j;
  EXPECT_EQ(c.wt[SecondPassCase::outlier], 0.0);
  EXPECT_EQ(c.wt[SecondPassCase::late], 0.0);
  for (double w : c.wt) EXPECT_GE(w, 0.0);  // no mark survives
}

TEST(WeightPasses, OldRuleLeavesOutWhatIsZeroWhenTheSpanComes) {
  SecondPassCase c;
  x11xtro(&c.com, c.wt.data(), c.sd.data(), c.in.data(), 1, 1, 84);
  // The first span still sees the late value; the later spans find it zeroed.
  EXPECT_NEAR(c.sd[0], std::sqrt(83.0 / 59.0), 1e-12);
  EXPECT_NEAR(c.sd[2], std::sqrt(83.0 / 59.0), 1e-12);
  for (long j = 3; j < 7; ++j) EXPECT_NEAR(c.sd[j], 1.0, 1e-12) << j;
  EXPECT_EQ(c.wt[SecondPassCase::outlier], 0.0);
  EXPECT_EQ(c.wt[SecondPassCase::late], 0.0);
}

TEST(WeightPasses, OldSwitchDropsZeroWeightsWithinTheFirstPass) {
  // Six years, two spans, both windows holding the outlier (year 2) and a
  // value of 6 in year 4. With the switch the second span of the first pass
  // no longer sees the outlier and zeroes the 6 at once, so the second pass
  // leaves both out everywhere.
  const long n = 72;
  std::vector<double> in = calm(n, 0.0);
  in[30] = 100.0;
  in[50] = 6.0;
  for (const int old : {0, 1}) {
    X11COM com;
    prepare(com, n, true);
    com.op.old_f = old;
    std::vector<double> wt(n), sd(n);
    x11xtro(&com, wt.data(), sd.data(), in.data(), 1, 1, 72);
    const double want = old != 0 ? 1.0 : std::sqrt(94.0 / 59.0);
    for (long j = 0; j < 6; ++j) EXPECT_NEAR(sd[j], want, 1e-12) << old << " " << j;
    EXPECT_EQ(wt[30], 0.0);
    EXPECT_EQ(wt[50], 0.0);
  }
}

// ---------------------------------------------------------------------------
// Quarterly weights

TEST(QuarterlyWeights, FirstPassKnowsOnlyFullAndZeroWeight) {
  // Five years, one span, sum of squares 80 over 20 values: sigma 2. The 5
  // lies exactly 2.5 sigmas out: a graded first pass would zero it and leave
  // it out of the second sigma; here it keeps full weight until the second
  // pass grades it.
  const long n = 24;
  std::vector<double> in(n, kMissing);
  long p = 2;
  for (int i = 0; i < 7; ++i) in[p++] = 100.0 + (i % 2 == 0 ? 2.0 : -2.0);
  for (int i = 0; i < 11; ++i) in[p++] = 100.0 + (i % 2 == 0 ? 1.0 : -1.0);
  const long at_zero = p++, halfway = p++;
  in[at_zero] = 105.0;
  in[halfway] = 96.0;

  X11COM com;
  prepare(com, n);
  std::vector<double> wt(n), sd(n);
  x11xtrq(&com, wt.data(), sd.data(), in.data(), 3, 22, 0);  // stretch [2, 22), first quarter
  EXPECT_DOUBLE_EQ(sd[0], 2.0);
  EXPECT_EQ(wt[at_zero], 0.0);
  EXPECT_NEAR(wt[halfway], 50.0, 1e-12);
  for (long q = 2; q < 20; ++q) EXPECT_EQ(wt[q], 100.0) << q;
  EXPECT_TRUE(is_missing(wt[1]));
  EXPECT_TRUE(is_missing(wt[22]));
}

TEST(QuarterlyWeights, SpansAlignOnFirstQuarters) {
  // From a third quarter: two partial quarters, seven full years, one
  // partial quarter. Spans are the windows of years 0-4, 1-5 and 2-6 of the
  // full years.
  const long f0 = 1, n_values = 2 + 28 + 1, last = f0 + n_values, n = last + 2;
  std::vector<double> in(n, kMissing);
  for (long q = f0; q < last; ++q) {
    const long year = (q - f0 + 2) / 4;
    const double amplitude = 1.0 + 0.1 * static_cast<double>(year);
    in[q] = 100.0 + (q % 2 == 0 ? amplitude : -amplitude);
  }
  in[f0] = 900.0;  // partial years never enter a sigma
  in[last - 1] = 10.0;

  X11COM com;
  prepare(com, n);
  std::vector<double> wt(n), sd(n);
  x11xtrq(&com, wt.data(), sd.data(), in.data(), f0 + 1, last, 2);
  const long jan = f0 + 2;
  const auto window = [&](long i) { return rms(in, jan + 4 * i, jan + 4 * i + 20, 100.0); };
  // One sigma per year of the stretch, from its first (third-quarter) value.
  const double want[] = {window(0), window(0), window(0), window(0),
                         window(1), window(2), window(2), window(2)};
  for (long j = 0; j < 8; ++j) EXPECT_NEAR(sd[j], want[j], 1e-12) << j;
  EXPECT_EQ(wt[f0], 0.0);
  EXPECT_EQ(wt[last - 1], 0.0);
  for (long q = f0 + 1; q < last - 1; ++q) EXPECT_EQ(wt[q], 100.0) << q;
}

// ---------------------------------------------------------------------------
// Replacement

// Eight years of January (stride 12) with values 10, 20, ..., 80; the other
// months keep full weight.
struct JanuaryColumn {
  static constexpr long n = 96;
  X11COM com;
  std::vector<double> sf = std::vector<double>(n), wt = std::vector<double>(n, 100.0),
                      wrk = std::vector<double>(n, kSentinel);
  JanuaryColumn() {
    prepare(com, n);
    for (long p = 0; p < n; ++p) sf[p] = 10.0 * static_cast<double>(p / 12 + 1) + static_cast<double>(p % 12);
  }
  static double year(long y) { return 10.0 * static_cast<double>(y + 1); }
  void run() { x11rep(&com, sf.data(), wt.data(), wrk.data(), 12, 1, n); }
};

TEST(MonthlyReplacement, InteriorYearsTakeTwoFullWeightYearsOnEachSide) {
  JanuaryColumn c;
  c.wt[48] = 40.0;  // year 4
  c.wt[60] = 70.0;  // year 5: not full, so never a neighbour
  c.wt[72] = 10.0;  // year 6, the second to last: three neighbours
  c.run();
  const auto y = JanuaryColumn::year;
  EXPECT_NEAR(c.sf[48], (0.4 * y(4) + y(3) + y(2) + y(7) + y(1)) / 4.4, 1e-12);
  EXPECT_NEAR(c.sf[60], (0.7 * y(5) + y(3) + y(2) + y(7) + y(1)) / 4.7, 1e-12);
  EXPECT_NEAR(c.sf[72], (0.1 * y(6) + y(3) + y(2) + y(7)) / 3.1, 1e-12);
  // The table of replacements holds them and nothing else.
  for (long p = 0; p < JanuaryColumn::n; ++p) {
    if (p == 48 || p == 60 || p == 72)
      EXPECT_DOUBLE_EQ(c.wrk[p], c.sf[p]);
    else
      EXPECT_TRUE(is_missing(c.wrk[p])) << p;
  }
  EXPECT_DOUBLE_EQ(c.sf[36], y(3));
}

TEST(MonthlyReplacement, FirstAndLastYearsTakeThreeNeighboursFromWhereTheyAre) {
  JanuaryColumn c;
  c.wt[0] = 0.0;   // year 0: nothing before it
  c.wt[12] = 0.0;  // year 1: its only predecessor is not full either
  c.wt[84] = 0.0;  // year 7: two before, nothing after, then one more before
  c.run();
  const auto y = JanuaryColumn::year;
  EXPECT_NEAR(c.sf[0], (y(2) + y(3) + y(4)) / 3.0, 1e-12);
  EXPECT_NEAR(c.sf[12], (y(2) + y(3) + y(4)) / 3.0, 1e-12);
  EXPECT_NEAR(c.sf[84], (y(6) + y(5) + y(4)) / 3.0, 1e-12);

  JanuaryColumn d;
  d.wt[12] = 50.0;  // year 1 with year 0 full: one before, two after
  d.run();
  EXPECT_NEAR(d.sf[12], (0.5 * y(1) + y(0) + y(2) + y(3)) / 3.5, 1e-12);
}

TEST(MonthlyReplacement, TooFewFullWeightYearsGiveTheMeanOfTheMonth) {
  JanuaryColumn c;
  for (long y = 1; y < 7; ++y) c.wt[12 * y] = 50.0;  // only years 0 and 7 full
  c.run();
  const double mean = (10.0 + 20 + 30 + 40 + 50 + 60 + 70 + 80) / 8.0;
  for (long y = 1; y < 7; ++y) {
    EXPECT_NEAR(c.sf[12 * y], mean, 1e-12) << y;
    EXPECT_NEAR(c.wrk[12 * y], mean, 1e-12) << y;
  }
  EXPECT_DOUBLE_EQ(c.sf[0], 10.0);
  EXPECT_DOUBLE_EQ(c.sf[84], 80.0);
  EXPECT_TRUE(is_missing(c.wrk[0]));
}

TEST(MonthlyReplacement, AdjacentMonthsReachAcrossLongRunsOfExtremes) {
  const long n = 50;
  X11COM com;
  prepare(com, n);
  std::vector<double> sf(n), wt(n, 100.0), wrk(n, kSentinel);
  const auto v = [](long p) { return static_cast<double>(p * p); };
  for (long p = 0; p < n; ++p) sf[p] = v(p);
  for (long p = 10; p <= 30; ++p) wt[p] = 0.0;
  wt[1] = 0.0;
  wt[49] = 0.0;
  x11rep(&com, sf.data(), wt.data(), wrk.data(), 1, 1, n);

  EXPECT_NEAR(sf[20], (v(9) + v(8) + v(31) + v(32)) / 4.0, 1e-9);
  EXPECT_NEAR(sf[1], (v(0) + v(2) + v(3)) / 3.0, 1e-9);       // next to the start: three
  EXPECT_NEAR(sf[49], (v(48) + v(47) + v(46)) / 3.0, 1e-9);  // at the end: all from before
  EXPECT_DOUBLE_EQ(sf[9], v(9));
  for (double w : wrk) EXPECT_EQ(w, kSentinel);  // only the same-month mode fills it
}

TEST(MonthlyReplacement, ZeroWeightWithoutAnyFullNeighbourKeepsItsValue) {
  const long n = 10;
  X11COM com;
  prepare(com, n);
  std::vector<double> sf(n), wt(n, 0.0), wrk(n);
  for (long p = 0; p < n; ++p) sf[p] = 100.0 + static_cast<double>(p);
  wt[4] = 60.0;
  x11rep(&com, sf.data(), wt.data(), wrk.data(), 1, 1, n);
  for (long p = 0; p < n; ++p) {
    EXPECT_TRUE(std::isfinite(sf[p])) << p;
    EXPECT_NEAR(sf[p], 100.0 + static_cast<double>(p), 1e-12) << p;
  }
}

TEST(QuarterlyReplacement, SameQuarterOfOtherYears) {
  const long n = 32;  // eight years
  X11COM com;
  prepare(com, n);
  std::vector<double> sf(n), wt(n, 100.0), out(n, kSentinel);
  for (long p = 0; p < n; ++p) sf[p] = 10.0 * static_cast<double>(p / 4 + 1) + static_cast<double>(p % 4);
  const auto y = [](long year) { return 10.0 * static_cast<double>(year + 1) + 2.0; };
  wt[2 + 4 * 2] = 0.0;  // third year: interior, four neighbours
  wt[2 + 4 * 1] = 0.0;  // second year: three
  x11repq(&com, sf.data(), wt.data(), out.data(), 4, 1, n);
  EXPECT_NEAR(sf[10], (y(0) + y(3) + y(4) + y(5)) / 4.0, 1e-12);
  EXPECT_NEAR(sf[6], (y(0) + y(3) + y(4)) / 3.0, 1e-12);
  EXPECT_DOUBLE_EQ(out[10], sf[10]);
  EXPECT_DOUBLE_EQ(out[6], sf[6]);
  EXPECT_TRUE(is_missing(out[14]));
}

TEST(QuarterlyReplacement, AdjacentQuartersTakeTheNearestOnEachSide) {
  const long n = 22, f0 = 1, last = 21;
  X11COM com;
  prepare(com, n);
  std::vector<double> sf(n), wt(n, 100.0), out(n, kSentinel);
  const auto v = [](long p) { return static_cast<double>(p * p); };
  for (long p = 0; p < n; ++p) sf[p] = v(p);
  for (long p : {1L, 2L, 3L, 8L, 13L, 14L, 15L, 16L, 17L, 20L}) wt[p] = 0.0;
  wt[10] = 30.0;
  x11repq(&com, sf.data(), wt.data(), out.data(), 1, f0 + 1, last);

  EXPECT_NEAR(sf[1], v(4), 1e-9);  // first of the stretch: one after
  EXPECT_NEAR(sf[3], v(4), 1e-9);  // nothing full before it: one after suffices
  EXPECT_NEAR(sf[8], (v(7) + v(9)) / 2.0, 1e-9);
  EXPECT_NEAR(sf[10], (0.3 * v(10) + v(9) + v(11)) / 2.3, 1e-9);
  EXPECT_NEAR(sf[16], (v(12) + v(18)) / 2.0, 1e-9);  // nearest full one well back
  EXPECT_NEAR(sf[20], v(19), 1e-9);                  // last of the stretch: one before
  EXPECT_DOUBLE_EQ(out[16], sf[16]);
  EXPECT_TRUE(is_missing(out[0]));
  EXPECT_TRUE(is_missing(out[9]));
  EXPECT_DOUBLE_EQ(sf[0], 0.0);  // outside the stretch
}

// ---------------------------------------------------------------------------
// The extreme-value tables of the reference runs, each from its reference input.

struct RefRun {
  const char* file;
  bool additive;
  bool quarterly;
};

class ExtremesReference : public ::testing::TestWithParam<RefRun> {};

TEST_P(ExtremesReference, ReplacementTablesAndFinalWeights) {
  const RefRun run = GetParam();
  auto t = read_tables(run.file);
  const long n = static_cast<long>(t["B1"].size());
  const long h = run.quarterly ? 2 : 6, period = run.quarterly ? 4 : 12;
  X11COM com;
  prepare(com, n, run.additive);
  com.nper = static_cast<int>(period);
  std::vector<double> factors(n), w1(n), w2(n), w3(n), modified(n);

  // Weights of an irregular on [first, last); all three runs start in period 0
  // of their first year at index 0 (calendar position = index + 1).
  const auto weights = [&](std::vector<double>& wt, const std::vector<double>& irr, long first,
                           long last) {
    if (run.quarterly)
      x11xtrq(&com, wt.data(), w3.data(), irr.data(), first + 1, last,
              static_cast<int>(first % 4));
    else
      x11xtro(&com, wt.data(), w3.data(), irr.data(), 1, first + 1, last);
  };
  // Seasonal factors of the SI ratios, the irregular of the SI ratios, its
  // weights, and the replacement of the extreme ratios.
  const auto replacements = [&](const std::vector<double>& si, int pass, long first, long last) {
    if (run.quarterly)
      x11seaq(&com, factors.data(), w1.data(), w2.data(), si.data(), first + 1, last, pass);
    else
      x11seas(&com, factors.data(), si.data(), w1.data(), w2.data(), w3.data(),
              static_cast<int>(first % 12), pass, first, last);
    fill_missing(w2.data(), n);
    x11div(&com, w2.data(), si.data(), factors.data(), first, last);
    weights(w1, w2, first, last);
    modified = si;
    fill_missing(w2.data(), n);
    if (run.quarterly)
      x11repq(&com, modified.data(), w1.data(), w2.data(), 4, first + 1, last);
    else
      x11rep(&com, modified.data(), w1.data(), w2.data(), 12, first + 1, last);
    return w2;
  };

  expect_matches(replacements(t["B3"], 1, h, n - h), t["B4"], 0, n, "B4", true);
  expect_matches(replacements(t["B8"], 2, 0, n), t["B9"], 0, n, "B9", true);
  for (const auto& [irregular, table] : {std::pair{"B13", "B17"}, {"C13", "C17"}}) {
    std::vector<double> wt(n);
    weights(wt, t[irregular], 0, n);
    expect_matches(wt, t[table], 0, n, table, true);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ExtremesReference,
    ::testing::Values(RefRun{"airline_tables.csv", false, false},
                      RefRun{"nottingham_additive_tables.csv", true, false},
                      RefRun{"ukgas_tables.csv", false, true}),
    [](const auto& param_info) {
      const RefRun& r = param_info.param;
      return std::string(r.quarterly ? "quarterly" : (r.additive ? "additive" : "multiplicative"));
    });

}  // namespace
}  // namespace x11sa
