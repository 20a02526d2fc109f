// Moving averages and trend filters: tables, end handling, centred averages,
// the Henderson length choice, and the trend tables of the reference runs.

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

double row_sum(const double* wt, int nterms, int row) {
  return std::accumulate(wt + row * nterms, wt + (row + 1) * nterms, 0.0);
}

// A series without any regularity the filters could exploit.
std::vector<double> wiggly(long n, double level = 100.0) {
  std::vector<double> v(n);
  for (long i = 0; i < n; ++i)
    v[i] = level + 7.0 * std::sin(0.7 * static_cast<double>(i)) + 0.05 * static_cast<double>(i * i);
  return v;
}

// The Henderson choice of one table in a reference run: {length, I/C ratio}.
std::pair<int, double> henderson_choice(const std::string& file, const std::string& table) {
  std::ifstream in(std::string(X11SA_TEST_DATA) + "/reference/" + file);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const auto at = text.find("\"table\": \"" + table + "\"");
  if (at == std::string::npos) return {0, 0.0};
  const auto end = text.find('}', at);
  const auto number_after = [&](const std::string& key) {
    const auto k = text.find("\"" + key + "\":", at);
    return (k == std::string::npos || k > end) ? -1.0 : std::stod(text.substr(k + key.size() + 3));
  };
  return {static_cast<int>(number_after("length")), number_after("ratioic")};
}

// Compares a computed table with the reference on [first, last).
// ---------------------------------------------------------------------------

TEST(FilterTables, HendersonRowsSumToOneAndTheSymmetricRowIsSymmetric) {
  struct Table {
    const double* wt;
    int nterms;
  };
  for (const Table& t : {Table{w5h, 5}, Table{w7h, 7}, Table{w9h, 9}, Table{w13h, 13},
                         Table{w23h, 23}}) {
    const int half = t.nterms / 2;
    for (int row = 0; row <= half; ++row)
      EXPECT_NEAR(row_sum(t.wt, t.nterms, row), 1.0, 0.0011) << t.nterms << " row " << row;
    const double* sym = t.wt + half * t.nterms;
    for (int k = 0; k < half; ++k) EXPECT_DOUBLE_EQ(sym[k], sym[t.nterms - 1 - k]);
    // An end row reaches at most `half` points beyond its own point.
    for (int row = 0; row < half; ++row)
      for (int k = row + half + 1; k < t.nterms; ++k)
        EXPECT_EQ(t.wt[row * t.nterms + k], 0.0) << t.nterms << " row " << row << " col " << k;
  }
}

TEST(FilterTables, PreliminaryTrendRowsAreTheCentredWindowCutAtTheEnd) {
  struct Table {
    const double* wt;
    int nterms;
  };
  for (const Table& t : {Table{ptm, 25}, Table{ptq, 9}}) {
    const int half = t.nterms / 2;
    for (int row = 0; row <= half; ++row) {
      // Centre of the window at column `row`; weights 1 at distance half, else 2.
      double kept = 0.0;
      for (int k = 0; k < t.nterms; ++k) {
        const int d = std::abs(k - row);
        if (d <= half) kept += d == half ? 1.0 : 2.0;
      }
      for (int k = 0; k < t.nterms; ++k) {
        const int d = std::abs(k - row);
        const double raw = d > half ? 0.0 : (d == half ? 1.0 : 2.0);
        EXPECT_NEAR(t.wt[row * t.nterms + k], raw / kept, 1e-15)
            << t.nterms << " row " << row << " col " << k;
      }
    }
    EXPECT_NEAR(t.wt[half * t.nterms], 1.0 / (4.0 * half), 1e-15);  // 1/48 and 1/16
  }
}

// ---------------------------------------------------------------------------

TEST(WeightedAverage, ThirteenTermsOverThirteenValuesUseEveryRowOnce) {
  std::vector<double> in(20, kMissing);
  const auto v = wiggly(13);
  std::copy(v.begin(), v.end(), in.begin() + 4);
  std::vector<double> out(20, kSentinel);
  x11mvg(out.data(), in.data(), 4, 17, 13, w13h);

  for (int s = 0; s < 6; ++s) {
    double left = 0.0, right = 0.0;
    for (int k = 0; k < 13; ++k) {
      left += w13h[s * 13 + k] * v[k];
      right += w13h[s * 13 + k] * v[12 - k];
    }
    EXPECT_NEAR(out[4 + s], left, 1e-12) << s;
    EXPECT_NEAR(out[16 - s], right, 1e-12) << s;
  }
  double middle = 0.0;
  for (int k = 0; k < 13; ++k) middle += w13h[6 * 13 + k] * v[k];
  EXPECT_NEAR(out[10], middle, 1e-12);
  for (long p : {0L, 1L, 2L, 3L, 17L, 18L, 19L}) EXPECT_EQ(out[p], kSentinel) << p;
}

TEST(WeightedAverage, EvenTableFillsItsStretchFromTheEndRows) {
  const std::vector<double> in = {kMissing, 10.0, 20.0, 40.0, 80.0, kMissing};
  std::vector<double> out(6, kSentinel);
  x11mvg(out.data(), in.data(), 1, 5, 4, w3a3);
  EXPECT_NEAR(out[1], 0.407 * 10 + 0.407 * 20 + 0.185 * 40, 1e-12);
  EXPECT_NEAR(out[2], 0.259 * 10 + 0.370 * 20 + 0.259 * 40 + 0.111 * 80, 1e-12);
  EXPECT_NEAR(out[3], 0.259 * 80 + 0.370 * 40 + 0.259 * 20 + 0.111 * 10, 1e-12);
  EXPECT_NEAR(out[4], 0.407 * 80 + 0.407 * 40 + 0.185 * 20, 1e-12);
  EXPECT_EQ(out[0], kSentinel);
  EXPECT_EQ(out[5], kSentinel);
}

TEST(WeightedAverage, ConstantSeriesKeepsItsLevelWithinTableRounding) {
  const std::vector<double> in(60, 250.0);
  std::vector<double> out(60, kSentinel);
  for (int nterms : {9, 13, 23}) {
    const double* wt = nterms == 9 ? w9h : (nterms == 13 ? w13h : w23h);
    x11mvg(out.data(), in.data(), 0, 60, nterms, wt);
    for (long p = 0; p < 60; ++p) EXPECT_NEAR(out[p], 250.0, 250.0 * 0.0011) << nterms << " " << p;
  }
}

TEST(WeightedAverage, StretchShorterThanTheFilterReadsOnlyInsideIt) {
  // Missing values around the stretch would spoil any sum that reached them.
  std::vector<double> in(15, kMissing);
  for (long p = 5; p < 10; ++p) in[p] = static_cast<double>(p);
  std::vector<double> out(15, kSentinel);
  x11mvg(out.data(), in.data(), 5, 10, 13, w13h);
  for (long p = 5; p < 10; ++p) EXPECT_TRUE(std::isfinite(out[p])) << p;
  // Each point takes the end row of its nearer end.
  double first = 0.0, middle = 0.0;
  for (int k = 0; k < 5; ++k) {
    first += w13h[k] * in[5 + k];
    middle += w13h[2 * 13 + k] * in[5 + k];
  }
  EXPECT_NEAR(out[5], first, 1e-12);
  EXPECT_NEAR(out[7], middle, 1e-12);
  EXPECT_EQ(out[4], kSentinel);
  EXPECT_EQ(out[10], kSentinel);
}

TEST(QuarterlyWeightedAverage, DividesByTheRowSumAndCountsFirstFromOne) {
  const std::vector<double> in = {kMissing, 7.0, 7.0, 7.0, 7.0, 7.0, 7.0, 7.0, 7.0};
  std::vector<double> out(9, kSentinel);
  // Stretch [1, 9): passed as first + 1 = 2.
  x11mvgq(out.data(), in.data(), 2, 9, 7, w7h);
  EXPECT_EQ(out[0], kSentinel);
  for (long p = 1; p < 9; ++p) EXPECT_NEAR(out[p], 7.0, 1e-12) << p;  // exact, not 7 * 1.001

  const auto v = wiggly(9);
  x11mvgq(out.data(), v.data(), 1, 9, 5, w5h);
  double sum = 0.0, weights = 0.0;
  for (int k = 0; k < 5; ++k) {
    sum += w5h[2 * 5 + k] * v[2 + k];
    weights += w5h[2 * 5 + k];
  }
  EXPECT_NEAR(out[4], sum / weights, 1e-12);

  // A row whose weights do not sum to anything positive gives 0.
  const double odd[2 * 3] = {0.5, -0.5, 0.0, 0.2, 0.6, 0.2};
  x11mvgq(out.data(), v.data(), 1, 9, 3, odd);
  EXPECT_EQ(out[0], 0.0);
  EXPECT_EQ(out[8], 0.0);
  EXPECT_NEAR(out[4], 0.2 * v[3] + 0.6 * v[4] + 0.2 * v[5], 1e-12);
}

// ---------------------------------------------------------------------------

TEST(CentredAverages, TwoByTwelveRemovesAYearlyPatternFromALinearTrend) {
  X11COM com;
  prepare(com, 30);
  const double pattern[12] = {5, -3, 8, 1, -7, 2, -4, 6, -1, -9, 3, -1};  // sums to 0
  std::vector<double> in(30, kMissing);
  for (long p = 3; p < 27; ++p) in[p] = 50.0 + 0.75 * static_cast<double>(p) + pattern[p % 12];
  std::vector<double> out(30, kSentinel);
  x11ma12(&com, out.data(), in.data(), 3, 27);  // 24 values

  for (long p = 0; p < 30; ++p) {
    if (p >= 9 && p <= 20)
      EXPECT_NEAR(out[p], 50.0 + 0.75 * static_cast<double>(p), 1e-12) << p;
    else
      EXPECT_TRUE(is_missing(out[p])) << p;
  }
}

TEST(CentredAverages, TwoByTwelveNeedsMoreThanTwelveValues) {
  X11COM com;
  prepare(com, 13);
  const auto in = wiggly(13);
  std::vector<double> out(13, kSentinel);
  x11ma12(&com, out.data(), in.data(), 0, 12);
  for (double v : out) EXPECT_TRUE(is_missing(v));
  x11ma12(&com, out.data(), in.data(), 0, 13);
  const double direct =
      (in[0] + in[12] + 2.0 * std::accumulate(in.begin() + 1, in.begin() + 12, 0.0)) / 24.0;
  EXPECT_NEAR(out[6], direct, 1e-12);
  EXPECT_TRUE(is_missing(out[5]));
  EXPECT_TRUE(is_missing(out[7]));
}

TEST(CentredAverages, TwoByFourRemovesAQuarterlyPatternAndCountsFirstFromOne) {
  X11COM com;
  prepare(com, 14);
  const double pattern[4] = {6, -2, -5, 1};
  std::vector<double> in(14, kMissing);
  for (long p = 2; p < 12; ++p) in[p] = 20.0 - 0.5 * static_cast<double>(p) + pattern[p % 4];
  std::vector<double> out(14, kSentinel);
  x11ma4q(&com, out.data(), in.data(), 3, 12);  // stretch [2, 12)
  for (long p = 0; p < 14; ++p) {
    if (p >= 4 && p <= 9)
      EXPECT_NEAR(out[p], 20.0 - 0.5 * static_cast<double>(p), 1e-12) << p;
    else
      EXPECT_TRUE(is_missing(out[p])) << p;
  }
  // Four values have no centred point.
  x11ma4q(&com, out.data(), in.data(), 3, 6);
  for (double v : out) EXPECT_TRUE(is_missing(v));
}

TEST(Divide, RatioInPercentOrDifferenceOnTheStretchOnly) {
  X11COM com;
  prepare(com, 5);
  const std::vector<double> num = {1, 30, 12, 9, 1};
  const std::vector<double> den = {1, 20, 16, 3, 1};
  std::vector<double> out(5, kSentinel);
  x11div(&com, out.data(), num.data(), den.data(), 1, 4);
  EXPECT_NEAR(out[1], 150.0, 1e-12);
  EXPECT_NEAR(out[2], 75.0, 1e-12);
  EXPECT_NEAR(out[3], 300.0, 1e-12);
  EXPECT_EQ(out[0], kSentinel);
  EXPECT_EQ(out[4], kSentinel);

  com.op.add_f = 1;
  x11div(&com, out.data(), num.data(), den.data(), 1, 4);
  EXPECT_NEAR(out[1], 10.0, 1e-12);
  EXPECT_NEAR(out[2], -4.0, 1e-12);
  x11div(&com, out.data(), num.data(), den.data(), 3, 3);  // empty
  EXPECT_NEAR(out[3], 6.0, 1e-12);
}

// ---------------------------------------------------------------------------

TEST(HendersonTrend, ConstantSeriesHasNoTrendChangeSoTheRatioIsCapped) {
  X11COM com;
  prepare(com, 48);
  const std::vector<double> in(48, 120.0);
  std::vector<double> out(48), wrk(48, kSentinel);

  x11trnd(&com, out.data(), in.data(), wrk.data(), 0, 48, 1, 0);
  EXPECT_EQ(com.ratioic, 100000.0);
  EXPECT_EQ(com.trendma_prnt, 13);  // the first pass never goes beyond 13 terms
  for (double v : out) EXPECT_NEAR(v, 120.0, 120.0 * 0.0011);

  x11trnd(&com, out.data(), in.data(), wrk.data(), 0, 48, 2, 0);
  EXPECT_EQ(com.trendma_prnt, 23);
  for (double v : out) EXPECT_NEAR(v, 120.0, 120.0 * 0.0011);
  // The preliminary irregular exists where the 13-term trend is symmetric.
  for (long p = 0; p < 48; ++p) {
    if (p >= 6 && p < 42)
      EXPECT_NEAR(wrk[p], 100.0, 1e-9) << p;
    else
      EXPECT_EQ(wrk[p], kSentinel) << p;
  }
}

// Additive series: a straight trend plus an alternating irregular of size a;
// the I/C ratio grows with a.
struct RatioProbe {
  X11COM com;
  std::vector<double> in, out, wrk;
  explicit RatioProbe(long n) : in(n), out(n), wrk(n) { prepare(com, n, true); }
  int length_for(double a, int pass) {
    for (std::size_t i = 0; i < in.size(); ++i)
      in[i] = 0.3 * static_cast<double>(i) + (i % 2 == 0 ? a : -a);
    x11trnd(&com, out.data(), in.data(), wrk.data(), 0, static_cast<long>(in.size()), pass, 0);
    return com.trendma_prnt;
  }
  // Closes in on the size where the ratio crosses `threshold`.
  std::pair<double, double> bracket(double threshold) {
    double lo = 0.0, hi = 10.0;
    for (int i = 0; i < 200; ++i) {
      const double mid = 0.5 * (lo + hi);
      length_for(mid, 2);
      (com.ratioic < threshold ? lo : hi) = mid;
    }
    return {lo, hi};
  }
};

TEST(HendersonTrend, LengthFollowsTheRatioWithStrictThresholds) {
  RatioProbe probe(72);
  for (double threshold : {0.995, 3.49}) {
    const auto [lo, hi] = probe.bracket(threshold);
    const int below = probe.length_for(lo, 2);
    const double ratio_below = probe.com.ratioic;
    const int at_or_above = probe.length_for(hi, 2);
    const double ratio_above = probe.com.ratioic;
    ASSERT_LT(ratio_below, threshold);
    ASSERT_GE(ratio_above, threshold);
    EXPECT_NEAR(ratio_below, threshold, 1e-9);
    EXPECT_NEAR(ratio_above, threshold, 1e-9);
    EXPECT_EQ(below, threshold < 1.0 ? 9 : 13);
    EXPECT_EQ(at_or_above, threshold < 1.0 ? 13 : 23);
  }
  // The first pass stops at 13 terms however large the ratio.
  EXPECT_EQ(probe.length_for(9.0, 2), 23);
  EXPECT_EQ(probe.length_for(9.0, 1), 13);
  EXPECT_EQ(probe.length_for(0.01, 1), 9);
}

TEST(HendersonTrend, FixedLengthIgnoresButStillReportsTheRatio) {
  X11COM com;
  prepare(com, 60);
  const auto in = wiggly(60);
  std::vector<double> out(60), wrk(60), direct(60);
  x11trnd(&com, out.data(), in.data(), wrk.data(), 0, 60, 2, 0);
  const double automatic_ratio = com.ratioic;

  struct Case {
    int num;
    int length;
    const double* wt;
  };
  for (const Case& c : {Case{9, 9, w9h}, Case{13, 13, w13h}, Case{23, 23, w23h}}) {
    com.ratioic = -1.0;
    x11trnd(&com, out.data(), in.data(), wrk.data(), 0, 60, 2, c.num);
    x11mvg(direct.data(), in.data(), 0, 60, c.length, c.wt);
    EXPECT_EQ(com.trendma_prnt, c.length);
    EXPECT_DOUBLE_EQ(com.ratioic, automatic_ratio);
    for (long p = 0; p < 60; ++p) EXPECT_DOUBLE_EQ(out[p], direct[p]) << c.num << " " << p;
  }
}

TEST(QuarterlyTrend, TrendmaSevenOrFiveTerms) {
  X11COM com;
  prepare(com, 20);
  const auto in = wiggly(20);
  std::vector<double> out(20, kSentinel);
  const auto middle = [&](const double* wt, int nterms) {
    const int half = nterms / 2;
    double sum = 0.0, weights = 0.0;
    for (int k = 0; k < nterms; ++k) {
      sum += wt[half * nterms + k] * in[10 - half + k];
      weights += wt[half * nterms + k];
    }
    return sum / weights;
  };
  com.trendma = 7;
  x11trnq(&com, out.data(), in.data(), 3, 18);
  EXPECT_NEAR(out[10], middle(w7h, 7), 1e-12);
  EXPECT_EQ(out[1], kSentinel);
  EXPECT_EQ(out[18], kSentinel);
  EXPECT_TRUE(std::isfinite(out[2]));
  com.trendma = 0;
  x11trnq(&com, out.data(), in.data(), 3, 18);
  EXPECT_NEAR(out[10], middle(w5h, 5), 1e-12);
}

// ---------------------------------------------------------------------------
// The trend tables of three reference runs, each from its reference input.

struct MonthlyRun {
  const char* tables;
  const char* stats;
  bool additive;
};

class MonthlyReference : public ::testing::TestWithParam<MonthlyRun> {};

TEST_P(MonthlyReference, PreliminaryAndHendersonTrends) {
  const MonthlyRun run = GetParam();
  auto t = read_tables(run.tables);
  const long n = static_cast<long>(t["B1"].size());
  X11COM com;
  prepare(com, n, run.additive);
  std::vector<double> out(n), wrk(n);

  // B2, C2, D2: centred 2x12 averages of B1, C1, D1.
  for (const auto& [from, to] : {std::pair{"B1", "B2"}, {"C1", "C2"}, {"D1", "D2"}}) {
    x11ma12(&com, out.data(), t[from].data(), 0, n);
    expect_matches(out, t[to], 6, n - 6, to);
    EXPECT_TRUE(is_missing(out[5]) && is_missing(out[n - 6])) << to;
  }

  // B7 (first pass), C7, D7 (later passes) from B6, C6, D6; D12 from D1 / D10.
  std::vector<double> d1_over_d10(n);
  x11div(&com, d1_over_d10.data(), t["D1"].data(), t["D10"].data(), 0, n);
  struct Trend {
    const char* table;
    const double* input;
    int pass;
  };
  for (const Trend& tr : {Trend{"B7", t["B6"].data(), 1}, Trend{"C7", t["C6"].data(), 2},
                          Trend{"D7", t["D6"].data(), 2}, Trend{"D12", d1_over_d10.data(), 2}}) {
    x11trnd(&com, out.data(), tr.input, wrk.data(), 0, n, tr.pass, 0);
    const auto [length, ratio] = henderson_choice(run.stats, tr.table);
    EXPECT_EQ(com.trendma_prnt, length) << tr.table;
    EXPECT_NEAR(com.ratioic, ratio, 1e-9 * ratio) << tr.table;
    expect_matches(out, t[tr.table], 0, n, tr.table);
  }
}

INSTANTIATE_TEST_SUITE_P(Runs, MonthlyReference,
                         ::testing::Values(MonthlyRun{"airline_tables.csv", "airline_stats.json",
                                                      false},
                                           MonthlyRun{"nottingham_additive_tables.csv",
                                                      "nottingham_additive_stats.json", true}),
                         [](const auto& param_info) {
                           return std::string(param_info.param.additive ? "additive"
                                                                        : "multiplicative");
                         });

TEST(QuarterlyReference, PreliminaryAndHendersonTrends) {
  auto t = read_tables("ukgas_tables.csv");
  const long n = static_cast<long>(t["B1"].size());
  X11COM com;
  prepare(com, n);
  std::vector<double> out(n);

  for (const auto& [from, to] : {std::pair{"B1", "B2"}, {"C1", "C2"}, {"D1", "D2"}}) {
    x11ma4q(&com, out.data(), t[from].data(), 1, n);
    expect_matches(out, t[to], 2, n - 2, to);
    EXPECT_TRUE(is_missing(out[1]) && is_missing(out[n - 2])) << to;
  }

  std::vector<double> d1_over_d10(n);
  x11div(&com, d1_over_d10.data(), t["D1"].data(), t["D10"].data(), 0, n);
  for (const auto& [table, input] : {std::pair{"B7", t["B6"].data()}, {"C7", t["C6"].data()},
                                     {"D7", t["D6"].data()}, {"D12", d1_over_d10.data()}}) {
    EXPECT_EQ(henderson_choice("ukgas_stats.json", table).first, 5) << table;
    x11trnq(&com, out.data(), input, 1, n);
    expect_matches(out, t[table], 0, n, table);
  }
}

}  // namespace
}  // namespace x11sa
