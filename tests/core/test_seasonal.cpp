// Seasonal factor estimation: table choice, per-month smoothing, centring,
// and the seasonal tables of the reference runs.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <numeric>
#include <sstream>
#include <string>
#include <vector>

#include "core_test_support.h"
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

// Scratch vectors of one call of x11seas / x11seaq.
struct Work {
  std::vector<double> out, w1, w2, w3;
  explicit Work(long n) : out(n), w1(n), w2(n), w3(n) {}
};

std::vector<double> noisy(long n, double level, double amplitude) {
  std::vector<double> v(n);
  for (long i = 0; i < n; ++i)
    v[i] = level + amplitude * std::sin(1.3 * static_cast<double>(i) + 0.4);
  return v;
}

// The SI ratios as the replacement step left them: the replacement values
// where there are any, the plain ratios elsewhere.
std::vector<double> modified(const std::vector<double>& si, const std::vector<double>& repl) {
  std::vector<double> v = si;
  for (std::size_t i = 0; i < v.size(); ++i)
    if (!is_missing(repl[i])) v[i] = repl[i];
  return v;
}

// ---------------------------------------------------------------------------

TEST(SeasonalTables, RowsSumToOneWithinRoundingAndSymmetricRowsAreSymmetric) {
  struct Table {
    const double* wt;
    int nterms;
    const char* name;
  };
  for (const Table& t :
       {Table{w3x1, 3, "3x1"}, Table{w3x3, 5, "3x3"}, Table{w3a3, 4, "a3"}, Table{w3b3, 3, "b3"},
        Table{w3x5, 7, "3x5"}, Table{w3a5, 6, "a5"}, Table{w3b5, 5, "b5"}, Table{w3c5, 4, "c5"},
        Table{w3x9, 11, "3x9"}, Table{w3a9, 10, "a9"}, Table{w3b9, 9, "b9"},
        Table{w3c9, 8, "c9"}, Table{w3d9, 7, "d9"}, Table{w3e9, 6, "e9"}}) {
    const int rows = t.nterms / 2 + t.nterms % 2;
    for (int r = 0; r < rows; ++r) {
      const double sum = std::accumulate(t.wt + r * t.nterms, t.wt + (r + 1) * t.nterms, 0.0);
      EXPECT_NEAR(sum, 1.0, 0.0021) << t.name << " row " << r;
    }
    if (t.nterms % 2 == 1) {
      const double* sym = t.wt + (rows - 1) * t.nterms;
      for (int k = 0; k < t.nterms / 2; ++k) EXPECT_DOUBLE_EQ(sym[k], sym[t.nterms - 1 - k]);
    }
  }
}

TEST(SeasonalTables, ChoiceByFilterAndYearsOfTheMonth) {
  X11COM com;
  struct Case {
    short code;
    int pass;
    long years;
    const double* wt;
    short len;
  };
  const Case cases[] = {
      // not given: 3x3 in the first pass, 3x5 in the second
      {0, 1, 20, w3x3, 5}, {0, 1, 5, w3x3, 5}, {0, 1, 4, w3a3, 4}, {0, 1, 3, w3b3, 3},
      {0, 1, 2, nullptr, 0}, {0, 2, 7, w3x5, 7}, {0, 2, 6, w3a5, 6}, {0, 2, 5, w3b5, 5},
      {0, 2, 4, w3c5, 4}, {0, 2, 3, nullptr, 0},
      // STABLE always, whatever the years
      {-1, 1, 30, nullptr, 0}, {-1, 2, 30, nullptr, 0},
      // 3-term
      {1, 1, 3, w3x1, 3}, {1, 2, 40, w3x1, 3}, {1, 2, 2, nullptr, 0},
      // 3x3 and 3x5 chosen explicitly keep their filter in both passes
      {2, 2, 5, w3x3, 5}, {2, 2, 4, w3a3, 4}, {3, 1, 7, w3x5, 7}, {3, 1, 4, w3c5, 4},
      {3, 1, 3, nullptr, 0},
      // 3x9 down to six years
      {4, 1, 11, w3x9, 11}, {4, 1, 10, w3a9, 10}, {4, 2, 9, w3b9, 9}, {4, 2, 8, w3c9, 8},
      {4, 2, 7, w3d9, 7}, {4, 2, 6, w3e9, 6}, {4, 2, 5, nullptr, 0}};
  for (const Case& c : cases) {
    com.macrv.spec[7] = c.code;
    com.macrv.spec[3] = 4;  // another month's choice never leaks into August's
    get_wt(&com, 7, c.years, c.pass);
    EXPECT_EQ(com.macrv.wt, c.wt) << c.code << " pass " << c.pass << " years " << c.years;
    EXPECT_EQ(com.macrv.len, c.len) << c.code << " pass " << c.pass << " years " << c.years;
  }
}

// ---------------------------------------------------------------------------

TEST(MonthlyFactors, ConstantRatiosGiveFactorsOfOneHundredOrZero) {
  const long n = 84;
  for (const bool additive : {false, true}) {
    X11COM com;
    prepare(com, n, additive);
    const double level = additive ? 5.0 : 100.0;
    const std::vector<double> in(n, level);
    Work w(n);
    for (int pass : {1, 2}) {
      x11seas(&com, w.out.data(), in.data(), w.w1.data(), w.w2.data(), w.w3.data(), 3, pass, 0, n);
      const double centre = additive ? 0.0 : 100.0;
      for (long p = 0; p < n; ++p)
        EXPECT_NEAR(w.out[p], centre, 0.0021 * level) << additive << " pass " << pass << " " << p;
    }
  }
}

TEST(MonthlyFactors, StableSeasonalPatternIsRecoveredExactly) {
  // A stretch starting in June inside a longer vector; stable filters for
  // every month make the smoothing exact, so the factors are the pattern.
  const long n = 100, first = 7, last = 7 + 72;
  const double pattern[12] = {-9, -6, 1, 4, 8, 12, 10, 6, 0, -5, -10, -11};  // January first
  X11COM com;
  prepare(com, n);
  for (short& code : com.macrv.spec) code = -1;
  std::vector<double> in(n, kMissing);
  for (long p = first; p < last; ++p) in[p] = 100.0 + pattern[(p - first + 5) % 12];
  Work w(n);
  x11seas(&com, w.out.data(), in.data(), w.w1.data(), w.w2.data(), w.w3.data(), 5, 2, first, last);
  for (long p = 0; p < n; ++p) {
    if (p >= first && p < last)
      EXPECT_NEAR(w.out[p], in[p], 1e-10) << p;
    else
      EXPECT_TRUE(is_missing(w.out[p])) << p;
  }
}

TEST(MonthlyFactors, EachMonthTakesTheTableOfItsOwnYearCount) {
  // 63 values from August: August to October have six years, the other
  // months five. In the second pass that is 3x5 shortened to w3a5 and w3b5.
  const long n = 63;
  X11COM com;
  prepare(com, n);
  const auto in = noisy(n, 100.0, 8.0);
  Work w(n);
  x11seas(&com, w.out.data(), in.data(), w.w1.data(), w.w2.data(), w.w3.data(), 7, 2, 0, n);

  const auto year = [&](long month_offset, long k) { return in[month_offset + 12 * k]; };
  // August (offset 0), six years: third year from row 2 of w3a5.
  const double aug3 = 0.150 * year(0, 0) + 0.217 * year(0, 1) + 0.217 * year(0, 2) +
                      0.217 * year(0, 3) + 0.133 * year(0, 4) + 0.067 * year(0, 5);
  EXPECT_NEAR(w.w3[24], aug3, 1e-12);
  // November (offset 3), five years: the middle year takes the flat fifth.
  double nov_sum = 0.0;
  for (long k = 0; k < 5; ++k) nov_sum += year(3, k);
  EXPECT_NEAR(w.w3[3 + 24], 0.2 * nov_sum, 1e-12);
  // Its last year: row 0 of the table from the end inwards.
  const double nov5 =
      0.283 * year(3, 4) + 0.283 * year(3, 3) + 0.283 * year(3, 2) + 0.150 * year(3, 1);
  EXPECT_NEAR(w.w3[3 + 48], nov5, 1e-12);
}

TEST(MonthlyFactors, MovingAverageChoiceFollowsTheCalendarMonth) {
  // From October; March alone is stable, so only March's smoothed values are
  // all the same across the years.
  const long n = 72;
  X11COM com;
  prepare(com, n);
  com.macrv.spec[2] = -1;
  const auto in = noisy(n, 100.0, 8.0);
  Work w(n);
  x11seas(&com, w.out.data(), in.data(), w.w1.data(), w.w2.data(), w.w3.data(), 9, 1, 0, n);
  const long march = 5, april = 6;  // offsets from October
  double sum = 0.0;
  for (long p = march; p < n; p += 12) sum += in[p];
  for (long p = march; p < n; p += 12) EXPECT_NEAR(w.w3[p], sum / 6.0, 1e-12) << p;
  EXPECT_GT(std::fabs(w.w3[april] - w.w3[april + 24]), 1e-6);
}

TEST(MonthlyFactors, TooFewYearsGiveTheMeanOfTheMonth) {
  const long n = 24;  // two years of each month
  X11COM com;
  prepare(com, n);
  const auto in = noisy(n, 100.0, 5.0);
  Work w(n);
  x11seas(&com, w.out.data(), in.data(), w.w1.data(), w.w2.data(), w.w3.data(), 0, 1, 0, n);
  for (long m = 0; m < 12; ++m) {
    const double mean = 0.5 * (in[m] + in[m + 12]);
    EXPECT_NEAR(w.w3[m], mean, 1e-12) << m;
    EXPECT_NEAR(w.w3[m + 12], mean, 1e-12) << m;
  }
}

TEST(MonthlyFactors, CentringUsesTheNearestTwoByTwelveAverageAtTheEnds) {
  const long n = 60;
  for (const bool additive : {false, true}) {
    X11COM com;
    prepare(com, n, additive);
    const auto in = noisy(n, additive ? 0.0 : 100.0, 6.0);
    Work w(n);
    x11seas(&com, w.out.data(), in.data(), w.w1.data(), w.w2.data(), w.w3.data(), 0, 1, 0, n);
    for (long p = 0; p < 6; ++p) {
      EXPECT_DOUBLE_EQ(w.w1[p], w.w1[6]) << p;
      EXPECT_DOUBLE_EQ(w.w1[n - 1 - p], w.w1[n - 7]) << p;
    }
    // Interior: the 2x12 average of the uncentred factors, computed directly.
    const long p = 30;
    double avg = (w.w3[p - 6] + w.w3[p + 6]) / 24.0;
    for (long k = p - 5; k <= p + 5; ++k) avg += w.w3[k] / 12.0;
    EXPECT_NEAR(w.w1[p], avg, 1e-10);
    for (long q : {0L, 30L, 59L}) {
      const double want = additive ? w.w3[q] - w.w1[q] : w.w3[q] / w.w1[q] * 100.0;
      EXPECT_NEAR(w.out[q], want, 1e-10) << additive << " " << q;
    }
  }
}

TEST(MonthlyFactors, TwelveValuesOrFewerGiveNoFactors) {
  X11COM com;
  prepare(com, 20);
  const auto in = noisy(20, 100.0, 3.0);
  Work w(20);
  x11seas(&com, w.out.data(), in.data(), w.w1.data(), w.w2.data(), w.w3.data(), 0, 1, 4, 16);
  for (double v : w.out) EXPECT_TRUE(is_missing(v));
}

// ---------------------------------------------------------------------------

TEST(QuarterlyFactors, StablePatternIsRecoveredExactlyForEveryTableLength) {
  // The quarterly smoothing divides by the row sums, so a pattern that repeats
  // each year survives every table, the shortened ones and the mean included.
  const double pattern[4] = {14, -3, -20, 9};
  for (int sect : {1, 2}) {
    for (long years : {2L, 3L, 4L, 5L, 6L, 9L}) {
      const long n = 4 * years + 3, first = 2, last = first + 4 * years;
      X11COM com;
      prepare(com, n);
      std::vector<double> in(n, kMissing);
      for (long p = first; p < last; ++p) in[p] = 100.0 + pattern[(p - first + 1) % 4];
      Work w(n);
      x11seaq(&com, w.out.data(), w.w1.data(), w.w3.data(), in.data(), first + 1, last, sect);
      for (long p = 0; p < n; ++p) {
        if (p >= first && p < last)
          EXPECT_NEAR(w.out[p], in[p], 1e-10) << sect << " years " << years << " at " << p;
        else
          EXPECT_TRUE(is_missing(w.out[p])) << sect << " years " << years << " at " << p;
      }
    }
  }
}

TEST(QuarterlyFactors, ShortenedTablesAndMeansByYearCount) {
  // 22 values: the first two quarters of the stretch have six years, the
  // other two five.
  const long n = 22;
  X11COM com;
  prepare(com, n);
  const auto in = noisy(n, 100.0, 10.0);
  Work w(n);
  const auto normalised = [&](const double* row, int terms, long q, bool from_end, long years) {
    double sum = 0.0, weights = 0.0;
    for (int k = 0; k < terms; ++k) {
      const long year = from_end ? years - 1 - k : k;
      sum += row[k] * in[q + 4 * year];
      weights += row[k];
    }
    return sum / weights;
  };
  x11seaq(&com, w.out.data(), w.w1.data(), w.w3.data(), in.data(), 1, n, 2);  // 3x5
  EXPECT_NEAR(w.w3[0 + 4 * 2], normalised(w3a5 + 2 * 6, 6, 0, false, 6), 1e-12);
  EXPECT_NEAR(w.w3[3 + 4 * 4], normalised(w3b5, 5, 3, true, 5), 1e-12);
  EXPECT_NEAR(w.w3[3 + 4 * 2], normalised(w3b5 + 2 * 5, 5, 3, false, 5), 1e-12);

  x11seaq(&com, w.out.data(), w.w1.data(), w.w3.data(), in.data(), 1, 14, 2);  // 3 or 4 years
  EXPECT_NEAR(w.w3[1 + 4], normalised(w3c5 + 4, 4, 1, false, 4), 1e-12);
  const double mean3 = (in[2] + in[6] + in[10]) / 3.0;
  EXPECT_NEAR(w.w3[2], mean3, 1e-12);
  EXPECT_NEAR(w.w3[10], mean3, 1e-12);

  // The centring average is flat over the two quarters at each end.
  EXPECT_DOUBLE_EQ(w.w1[0], w.w1[2]);
  EXPECT_DOUBLE_EQ(w.w1[1], w.w1[2]);
  EXPECT_DOUBLE_EQ(w.w1[12], w.w1[11]);
  EXPECT_DOUBLE_EQ(w.w1[13], w.w1[11]);
  EXPECT_TRUE(is_missing(w.w1[14]));
  EXPECT_NEAR(w.out[5], w.w3[5] / w.w1[5] * 100.0, 1e-10);
}

// ---------------------------------------------------------------------------
// Seasonal tables of the reference runs, each from its reference input.

void check_monthly_run(const char* file, bool additive, long mb, long me, int month) {
  auto t = read_tables(file);
  const long n = static_cast<long>(t["B1"].size());
  X11COM com;
  prepare(com, n, additive);
  Work w(n);
  const auto seas = [&](const std::vector<double>& in, int mon, int pass, long first, long last) {
    x11seas(&com, w.out.data(), in.data(), w.w1.data(), w.w2.data(), w.w3.data(), mon, pass,
            first, last);
    return w.out;
  };
  std::vector<double> d9(n);
  x11div(&com, d9.data(), t["D1"].data(), t["D7"].data(), 0, n);

  // First estimates on the centred-average range, final ones on the series.
  expect_matches(seas(modified(t["B3"], t["B4"]), month, 1, mb, me), t["B5"], mb, me, "B5");
  expect_matches(seas(t["C4"], month, 1, mb, me), t["C5"], mb, me, "C5");
  expect_matches(seas(t["D4"], month, 1, mb, me), t["D5"], mb, me, "D5");
  expect_matches(seas(modified(t["B8"], t["B9"]), 0, 2, 0, n), t["B10"], 0, n, "B10");
  expect_matches(seas(t["C9"], 0, 2, 0, n), t["C10"], 0, n, "C10");
  expect_matches(seas(d9, 0, 2, 0, n), t["D10"], 0, n, "D10");
}

TEST(SeasonalReference, MonthlyMultiplicative) {
  check_monthly_run("airline_tables.csv", false, 6, 138, 6);
}

TEST(SeasonalReference, MonthlyAdditive) {
  check_monthly_run("nottingham_additive_tables.csv", true, 6, 234, 6);
}

TEST(SeasonalReference, Quarterly) {
  auto t = read_tables("ukgas_tables.csv");
  const long n = static_cast<long>(t["B1"].size());
  X11COM com;
  prepare(com, n);
  Work w(n);
  const auto seaq = [&](const std::vector<double>& in, int sect, long first, long last) {
    x11seaq(&com, w.out.data(), w.w1.data(), w.w3.data(), in.data(), first + 1, last, sect);
    return w.out;
  };
  std::vector<double> d9(n);
  x11div(&com, d9.data(), t["D1"].data(), t["D7"].data(), 0, n);
  const long mb = 2, me = n - 2;
  expect_matches(seaq(modified(t["B3"], t["B4"]), 1, mb, me), t["B5"], mb, me, "B5");
  expect_matches(seaq(t["C4"], 1, mb, me), t["C5"], mb, me, "C5");
  expect_matches(seaq(t["D4"], 1, mb, me), t["D5"], mb, me, "D5");
  expect_matches(seaq(modified(t["B8"], t["B9"]), 2, 0, n), t["B10"], 0, n, "B10");
  expect_matches(seaq(t["C9"], 2, 0, n), t["C10"], 0, n, "C10");
  expect_matches(seaq(d9, 2, 0, n), t["D10"], 0, n, "D10");
}

}  // namespace
}  // namespace x11sa
