// Extreme values: graded weights from moving five-year sigmas, the two
// passes of each rule, and the replacement of values without full weight.
#include "core/extreme_values.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "x11sa/missing.h"

namespace x11sa {
namespace {

using Vec = std::vector<double>;

// Root mean square deviation from `mean` of v[from, to).
double rms(const Vec& v, long from, long to, double mean) {
  double squares = 0.0;
  for (long p = from; p < to; ++p) squares += (v[p] - mean) * (v[p] - mean);
  return std::sqrt(squares / double(to - from));
}

struct Weighed {
  Vec weights, sigmas;
};

Weighed weigh(const Vec& irregular, Frequency f, int first_period, ExtremeValueRules rules = {}) {
  Weighed w{Vec(irregular.size()), Vec(sigma_count(static_cast<long>(irregular.size()), f))};
  extreme_value_weights(irregular, f, first_period, rules, w.weights, w.sigmas);
  return w;
}

TEST(ExtremeWeights, LimitsAreStrictAndFiveYearsShareOneSigma) {
  // Five years from January. Leaving out the far outlier the squares sum to
  // 236 over 59 values: sigma 2, so 3 lies exactly 1.5 sigmas out, 4 lies 2
  // and 5 exactly 2.5.
  for (const Mode mode : {Mode::Multiplicative, Mode::Additive}) {
    for (const ExtremeRule rule : {ExtremeRule::Old, ExtremeRule::New}) {
      const double mean = mode == Mode::Additive ? 0.0 : 100.0;
      Vec in;
      for (int i = 0; i < 35; ++i) in.push_back(mean + (i % 2 == 0 ? 2.0 : -2.0));
      for (int i = 0; i < 10; ++i) in.push_back(mean + (i % 2 == 0 ? 1.0 : -1.0));
      for (int i = 0; i < 10; ++i) in.push_back(mean);
      for (double d : {100.0, -5.0, 6.0, 3.0, -4.0}) in.push_back(mean + d);
      const Weighed w = weigh(in, Frequency::Monthly, 0, {mode, rule});
      const Vec tail(w.weights.end() - 5, w.weights.end());
      EXPECT_EQ(tail, (Vec{0.0, 0.0, 0.0, 100.0, 50.0}));
      EXPECT_TRUE(std::all_of(w.weights.begin(), w.weights.end() - 5, [](double x) { return x == 100.0; }));
      EXPECT_EQ(w.sigmas, Vec(5, 2.0));
    }
  }
}

TEST(ExtremeWeights, EachSpanServesItsThirdYearAndPartialYearsNeverEnterASigma) {
  // April of year 0 to September of year 9: eight full years, whose
  // amplitude grows, and wild partial years at the ends.
  Vec in;
  for (long k = 3; k < 117; ++k) {
    const double amplitude = 1.0 + 0.1 * double(k / 12);
    in.push_back(100.0 + (k % 2 == 0 ? amplitude : -amplitude));
  }
  in.front() = 400.0;
  in.back() = -200.0;
  for (const ExtremeRule rule : {ExtremeRule::Old, ExtremeRule::New}) {
    const Weighed w = weigh(in, Frequency::Monthly, 3, {Mode::Multiplicative, rule});
    // Five-year windows from January of the years 1 to 4 (position 9 + 12 (y - 1)).
    const auto window = [&](long y) { return rms(in, 9 + 12 * (y - 1), 9 + 12 * (y + 4), 100.0); };
    const double want[] = {window(1), window(1), window(1), window(1), window(2),
                           window(3), window(4), window(4), window(4), window(4)};
    ASSERT_EQ(w.sigmas.size(), 10u);
    for (long j = 0; j < 10; ++j) EXPECT_NEAR(w.sigmas[j], want[j], 1e-12) << j;
    EXPECT_EQ(w.weights.front(), 0.0);
    EXPECT_EQ(w.weights.back(), 0.0);
    EXPECT_EQ(std::count(w.weights.begin(), w.weights.end(), 100.0), static_cast<long>(in.size()) - 2);
  }
}

TEST(ExtremeWeights, SecondPassSigmasLeaveOutWhatEachRuleSays) {
  // Seven years (three spans) of +-1 with a far outlier and a value only the
  // second pass finds extreme, both in the third year: in every window, but
  // served by the first span.
  Vec in(84);
  for (long i = 0; i < 84; ++i) in[i] = 100.0 + (i % 2 == 0 ? 1.0 : -1.0);
  in[30] = 200.0;
  in[31] = 105.0;
  const double with_late = std::sqrt(83.0 / 59.0);  // without the outlier only
  // EXTREME=NEW: every second-pass sigma leaves out exactly the first pass's
  // extremes, also once the first span has zeroed the late value.
  const Weighed by_new = weigh(in, Frequency::Monthly, 0, {Mode::Multiplicative, ExtremeRule::New});
  for (double s : by_new.sigmas) EXPECT_NEAR(s, with_late, 1e-12);
  // EXTREME=OLD: the later spans find the late value zeroed and leave it out.
  const Weighed by_old = weigh(in, Frequency::Monthly, 0);
  for (long j = 0; j < 7; ++j) EXPECT_NEAR(by_old.sigmas[j], j < 3 ? with_late : 1.0, 1e-12) << j;
  for (const Weighed& w : {by_new, by_old}) {
    EXPECT_EQ(w.weights[30], 0.0);
    EXPECT_EQ(w.weights[31], 0.0);
    EXPECT_EQ(std::count(w.weights.begin(), w.weights.end(), 100.0), 82);
  }

  // OLDSIGMA: the first pass already leaves out zero weights. Six years, two
  // spans, both windows holding the outlier and a 6; with it the second span
  // zeroes the 6 at once and every later sigma leaves both out.
  Vec additive(72);
  for (long i = 0; i < 72; ++i) additive[i] = i % 2 == 0 ? 1.0 : -1.0;
  additive[30] = 100.0;
  additive[50] = 6.0;
  for (const bool old_sigma : {false, true}) {
    const Weighed w = weigh(additive, Frequency::Monthly, 0, {Mode::Additive, ExtremeRule::Old, old_sigma});
    for (double s : w.sigmas) EXPECT_NEAR(s, old_sigma ? 1.0 : std::sqrt(94.0 / 59.0), 1e-12) << old_sigma;
    EXPECT_EQ(w.weights[50], 0.0);
  }
}

TEST(ExtremeWeights, QuarterlyFirstPassKnowsOnlyFullAndZeroWeight) {
  // Five years from a first quarter, squares 80 over 20: sigma 2. The 5 lies
  // exactly 2.5 sigmas out: a graded first pass would zero it and leave it
  // out of the second sigma.
  Vec in;
  for (int i = 0; i < 7; ++i) in.push_back(100.0 + (i % 2 == 0 ? 2.0 : -2.0));
  for (int i = 0; i < 11; ++i) in.push_back(100.0 + (i % 2 == 0 ? 1.0 : -1.0));
  in.push_back(105.0);
  in.push_back(96.0);
  const Weighed w = weigh(in, Frequency::Quarterly, 0);
  EXPECT_EQ(w.sigmas, Vec(5, 2.0));
  EXPECT_EQ(w.weights[18], 0.0);
  EXPECT_NEAR(w.weights[19], 50.0, 1e-12);

}

// ---------------------------------------------------------------------------

TEST(Replacement, SamePeriodOfOtherYearsTwoOnEachSideThreeNearTheEnds) {
  // Eight years of January worth 10, 20, ..., 80; the other months full weight.
  const auto y = [](long year) { return 10.0 * double(year + 1); };
  const auto replaced = [&](std::initializer_list<std::pair<long, double>> january_weights) {
    Vec values(96), weights(96, 100.0), replacements(96);
    for (long p = 0; p < 96; ++p) values[p] = y(p / 12) + double(p % 12);
    for (const auto& [year, w] : january_weights) weights[12 * year] = w;
    replace_extremes_by_years(values, weights, Frequency::Monthly, replacements);
    for (long p = 0; p < 96; ++p) {
      if (weights[p] == 100.0) {
        EXPECT_TRUE(is_missing(replacements[p])) << p;
      } else {
        EXPECT_EQ(replacements[p], values[p]) << p;
      }
    }
    return values;
  };
  // Year 5 is not full, so never a neighbour; year 6, second to last, and
  // year 0 take three.
  const Vec v = replaced({{4, 40.0}, {5, 70.0}, {6, 10.0}, {0, 0.0}});
  EXPECT_NEAR(v[48], (0.4 * y(4) + y(3) + y(2) + y(7) + y(1)) / 4.4, 1e-12);
  EXPECT_NEAR(v[72], (0.1 * y(6) + y(3) + y(2) + y(7)) / 3.1, 1e-12);
  EXPECT_NEAR(v[0], (y(1) + y(2) + y(3)) / 3.0, 1e-12);
  // Fewer full-weight years than wanted: the mean of all the month's values.
  const Vec few = replaced({{1, 50.0}, {2, 50.0}, {3, 50.0}, {4, 50.0}, {5, 50.0}, {6, 50.0}});
  for (long year = 1; year < 7; ++year) EXPECT_NEAR(few[12 * year], 45.0, 1e-12);
  EXPECT_EQ(few[0], 10.0);
}

TEST(Replacement, NeighboursReachAcrossRunsOfExtremes) {
  const auto v = [](long p) { return double(p * p); };
  Vec values(50), weights(50, 100.0);
  for (long p = 0; p < 50; ++p) values[p] = v(p);
  std::fill(weights.begin() + 10, weights.begin() + 31, 0.0);
  weights[1] = weights[49] = 0.0;
  replace_extremes_by_neighbours(values, weights, Frequency::Monthly);
  EXPECT_NEAR(values[20], (v(9) + v(8) + v(31) + v(32)) / 4.0, 1e-9);
  EXPECT_NEAR(values[1], (v(0) + v(2) + v(3)) / 3.0, 1e-9);     // next to the start: three
  EXPECT_NEAR(values[49], (v(48) + v(47) + v(46)) / 3.0, 1e-9);  // at the end: all from before
  EXPECT_EQ(values[9], v(9));

  // Quarterly: the nearest on each side, one at the ends or with none before.
  Vec q(20), qw(20, 100.0);
  for (long p = 0; p < 20; ++p) q[p] = v(p);
  for (long p : {0L, 1L, 2L, 7L, 12L, 13L, 14L, 15L, 16L, 19L}) qw[p] = 0.0;
  qw[9] = 30.0;
  replace_extremes_by_neighbours(q, qw, Frequency::Quarterly);
  const Vec want = {v(3), v(3), v(3), v(3), v(4), v(5), v(6), (v(6) + v(8)) / 2.0, v(8),
                    (0.3 * v(9) + v(8) + v(10)) / 2.3, v(10), v(11), (v(11) + v(17)) / 2.0};
  for (long p = 0; p < static_cast<long>(want.size()); ++p) EXPECT_NEAR(q[p], want[p], 1e-9) << p;
  EXPECT_NEAR(q[19], v(18), 1e-9);

  // A zero weight without any full-weight neighbour keeps its value.
  Vec lone = {1.0, 2.0, 3.0}, none(3, 0.0);
  replace_extremes_by_neighbours(lone, none, Frequency::Monthly);
  EXPECT_EQ(lone, (Vec{1.0, 2.0, 3.0}));
}

}  // namespace
}  // namespace x11sa
