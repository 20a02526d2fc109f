// The Kruskal-Wallis test (ranks, the tie rule of its exchange sort, the
// closed-form probability) and the combined test for identifiable
// seasonality.
#include <gtest/gtest.h>

#include <boost/math/distributions/chi_squared.hpp>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <vector>

#include "diag/kruskal.h"

namespace x11sa {
namespace {

KWSTATS kw(const std::vector<double>& x, int nseas) {
  KWSTATS s;
  int rc2 = -1;
  EXPECT_EQ(zkwtest(x.data(), 0, static_cast<long>(x.size()) - 1, nseas, &s, &rc2), 0);
  EXPECT_EQ(rc2, 0);
  return s;
}

// H from given ranks of the values, grouped by position.
double h_from_ranks(const std::vector<double>& rank, const std::vector<long>& position, int nseas) {
  std::vector<double> sum(nseas), count(nseas);
  for (std::size_t k = 0; k < rank.size(); ++k) {
    sum[static_cast<std::size_t>(position[k] % nseas)] += rank[k];
    count[static_cast<std::size_t>(position[k] % nseas)] += 1;
  }
  const double n = static_cast<double>(rank.size());
  double s = 0;
  for (int g = 0; g < nseas; ++g)
    if (count[g] > 0) s += sum[g] * sum[g] / count[g];
  return 12.0 / (n * (n + 1)) * s - 3 * (n + 1);
}

TEST(KruskalWallis, EqualValuesAreRankedInInputOrder) {
  // No exchange happens: the ranks are 1..24 in input order, so month g
  // holds ranks g + 1 and g + 13. H = 0.02 x 2 x (7^2 + ... + 18^2) - 75.
  const KWSTATS s = kw(std::vector<double>(24, 100.0), 12);
  EXPECT_NEAR(s.stat, 5.72, 1e-12);
  EXPECT_EQ(s.df, 11);
  EXPECT_GT(s.prob, 0.0);
  EXPECT_DOUBLE_EQ(s.level, s.prob * 100.0);
}

TEST(KruskalWallis, TiesKeepTheOrderTheExchangeSortLeaves) {
  // Sorting 2, 1, 2, 0 by exchange leaves the second 2 (position 2) before
  // the first (position 0): ranks 4, 2, 3, 1. With three groups, group 1
  // holds positions 0 and 3: rank sums 5, 2, 3 and H = 0.6 x 25.5 - 15.
  // (A stable sort would give 1.8, averaged ranks 0.825.)
  EXPECT_NEAR(kw({2, 1, 2, 0}, 3).stat, 0.3, 1e-12);
}

TEST(KruskalWallis, DistinctValuesUseTheirSortedRanks) {
  std::mt19937 gen(5);
  std::uniform_real_distribution<double> u(90.0, 110.0);
  std::vector<double> x(150);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = u(gen) + (i % 12 == 3 ? 4.0 : 0.0);
  std::vector<long> order(x.size());
  std::iota(order.begin(), order.end(), 0L);
  std::sort(order.begin(), order.end(), [&](long a, long b) { return x[static_cast<std::size_t>(a)] < x[static_cast<std::size_t>(b)]; });
  std::vector<double> rank(x.size());
  for (std::size_t k = 0; k < order.size(); ++k) rank[k] = static_cast<double>(k + 1);
  EXPECT_NEAR(kw(x, 12).stat, h_from_ranks(rank, order, 12), 1e-9);
}

TEST(KruskalWallis, ManyTiesFollowTheExchangeRule) {
  // Values on a coarse grid, so that ties cross the groups.
  std::mt19937 gen(8);
  std::uniform_int_distribution<int> u(0, 9);
  std::vector<double> x(60);
  for (double& v : x) v = 95.0 + u(gen);
  std::vector<double> sorted(x);
  std::vector<long> position(x.size());
  std::iota(position.begin(), position.end(), 0L);
  for (std::size_t i = 0; i < sorted.size(); ++i)
    for (std::size_t j = i + 1; j < sorted.size(); ++j)
      if (sorted[j] < sorted[i]) {
        std::swap(sorted[i], sorted[j]);
        std::swap(position[i], position[j]);
      }
  std::vector<double> rank(x.size());
  std::iota(rank.begin(), rank.end(), 1.0);
  EXPECT_NEAR(kw(x, 4).stat, h_from_ranks(rank, position, 4), 1e-9);
}

TEST(KruskalWallis, MissingValuesAreLeftOutWithoutShiftingTheGroups) {
  std::vector<double> x = {5, 1, 7, 3, 6, 2, 8, 4};
  const double h = kw(x, 2).stat;
  x.insert(x.begin() + 3, 2, kMissing);  // two missing values keep the alternation
  EXPECT_NEAR(kw(x, 2).stat, h, 1e-12);
  // Positions 0, 2, 4, 6 (values 5, 7, 6, 8) against 1, 3, 5, 7 (1, 3, 2, 4).
  EXPECT_NEAR(h, 12.0 / 72.0 * (26.0 * 26.0 / 4 + 10.0 * 10.0 / 4) - 27.0, 1e-12);
}

TEST(KruskalWallis, ProbabilityMatchesTheChiSquareTail) {
  for (long df = 1; df <= 12; ++df) {
    const boost::math::chi_squared chi(static_cast<double>(df));
    for (double h : {0.05, 0.7, 2.0, 5.72, 11.3, 19.0, 33.0, 60.0, 89.0}) {
      const double want = boost::math::cdf(boost::math::complement(chi, h));
      // Even df is exact; odd df leans on a normal integral good to about 1e-9.
      EXPECT_NEAR(zkwprob(h, df), want, df % 2 == 0 ? 1e-13 : 2e-9) << "df " << df << " H " << h;
    }
  }
  EXPECT_EQ(zkwprob(0.0, 11), 1.0);
  EXPECT_EQ(zkwprob(-3.0, 3), 1.0);
  EXPECT_EQ(zkwprob(90.0, 11), 0.0);
  EXPECT_EQ(zkwprob(250.0, 3), 0.0);
  EXPECT_GT(zkwprob(89.9, 11), 0.0);
}

TEST(KruskalWallis, BalancedRanksGiveProbabilityOne) {
  // Rank sums 1 + 4 and 2 + 3: H is 0 up to rounding.
  const KWSTATS s = kw({1, 2, 4, 3}, 2);
  EXPECT_NEAR(s.stat, 0.0, 1e-12);
  EXPECT_NEAR(s.prob, 1.0, 1e-7);
}

TEST(CombinedTest, VerdictRules) {
  X11COM com;
  auto v = [&](double t1, double t2, double t, double ps, double pm, double pk) {
    return zctidsea(&com, t1, t2, t, ps, pm, pk, 0);
  };
  // Stable seasonality decides first.
  EXPECT_EQ(v(0.1, 0.1, 0.1, 0.001, 0.2, 0.0), 2);
  EXPECT_EQ(v(0.1, 0.1, 0.1, kMissing, 0.2, 0.0), 2);
  // No significant moving seasonality: T1, T2 and Kruskal-Wallis decide.
  EXPECT_EQ(v(0.5, 0.3, 0.4, 0.0009, 0.2, 0.0005), 0);
  EXPECT_EQ(v(1.0, 0.3, 0.65, 0.0009, 0.2, 0.0005), 1);
  EXPECT_EQ(v(0.5, 1.2, 0.85, 0.0009, 0.2, 0.0005), 1);
  EXPECT_EQ(v(0.5, 0.3, 0.4, 0.0009, 0.2, 0.001), 1);
  EXPECT_EQ(v(0.5, 0.3, 0.4, 0.0009, kMissing, kMissing), 1);
  // Significant moving seasonality: T below 1 still allows presence ...
  EXPECT_EQ(v(0.5, 0.3, 0.4, 0.0, 0.01, 0.0), 0);
  // ... T of 1 or more, or missing, means not present.
  EXPECT_EQ(v(0.5, 1.5, 1.0, 0.0, 0.01, 0.0), 2);
  EXPECT_EQ(v(kMissing, kMissing, kMissing, 0.0, 0.01, 0.0), 2);
}

TEST(CombinedTest, TStatisticsFromTheFValues) {
  X11COM com;
  com.ftest.f[0] = 20.0;
  com.ftest.f[1] = 2.0;
  com.ftest.p[0] = 1e-20;
  com.ftest.p[1] = 0.03;
  com.kwstats.prob = 0.0;
  x11cft(&com, 0);
  EXPECT_DOUBLE_EQ(com.ftest.t1, 0.35);
  EXPECT_DOUBLE_EQ(com.ftest.t2, 0.3);
  EXPECT_DOUBLE_EQ(com.ftest.t, 0.325);
  EXPECT_EQ(com.ftest.fail, 0);
  // A stable F of 0 leaves the T statistics missing; the stable
  // probability (1 for F = 0) then decides.
  com.ftest.f[0] = 0.0;
  com.ftest.p[0] = 1.0;
  x11cft(&com, 0);
  EXPECT_TRUE(is_missing(com.ftest.t1));
  EXPECT_TRUE(is_missing(com.ftest.t2));
  EXPECT_TRUE(is_missing(com.ftest.t));
  EXPECT_EQ(com.ftest.fail, 2);
  // Below the threshold 1.1e-16 counts as 0; with a small stable
  // probability the missing T1 makes presence unlikely.
  com.ftest.f[0] = 1e-16;
  com.ftest.p[0] = 0.0005;
  com.ftest.p[1] = 0.3;
  x11cft(&com, 0);
  EXPECT_TRUE(is_missing(com.ftest.t));
  EXPECT_EQ(com.ftest.fail, 1);
}

}  // namespace
}  // namespace x11sa
