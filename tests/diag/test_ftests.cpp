// The stable and moving seasonality F-tests against analyses of variance
// computed directly from their definitions, with probabilities from
// Boost.Math's F distribution.
#include <gtest/gtest.h>

#include <boost/math/distributions/fisher_f.hpp>

#include <cmath>
#include <random>
#include <vector>

#include "diag/ftests.h"
#include "host/messages.h"

namespace x11sa {
namespace {

double upper_f(double f, double df1, double df2) {
  return boost::math::cdf(boost::math::complement(boost::math::fisher_f(df1, df2), f));
}

void expect_rel(double got, double want, const char* what) {
  EXPECT_NEAR(got, want, 1e-9 * std::max(1.0, std::fabs(want))) << what;
}

std::vector<double> noisy(std::size_t n, unsigned seed, double level, double spread) {
  std::mt19937 gen(seed);
  std::normal_distribution<double> z(0.0, spread);
  std::vector<double> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = level + 4.0 * std::sin(0.52 * static_cast<double>(i)) + z(gen);
  return v;
}

TEST(StableSeasonality, AgreesWithAOneWayAnalysisOfVariance) {
  for (const bool monthly : {true, false}) {
    const int p = monthly ? 12 : 4;
    X11COM com;
    com.op.month_f = monthly ? 1 : 0;
    com.nper = p;
    const auto data = noisy(130, 3, 100.0, 2.0);
    // The stretch starts at position 5 (first = 6 counted from one), so the
    // groups are the periods counted from there, not from position 0.
    const long first = 6, last = 125;
    x11ft(&com, data.data(), first, last, 0);

    std::vector<double> n(p), sum(p);
    double grand = 0;
    for (long i = first - 1; i < last; ++i) {
      const auto g = static_cast<std::size_t>((i - (first - 1)) % p);
      n[g] += 1;
      sum[g] += data[static_cast<std::size_t>(i)];
      grand += data[static_cast<std::size_t>(i)];
    }
    const double count = static_cast<double>(last - first + 1);
    const double mean = grand / count;
    double between = 0, within = 0;
    for (long i = first - 1; i < last; ++i) {
      const auto g = static_cast<std::size_t>((i - (first - 1)) % p);
      const double x = data[static_cast<std::size_t>(i)];
      within += (x - sum[g] / n[g]) * (x - sum[g] / n[g]);
    }
    for (int g = 0; g < p; ++g) between += n[g] * (sum[g] / n[g] - mean) * (sum[g] / n[g] - mean);
    const double df1 = p - 1, df2 = count - p;
    const double f = (between / df1) / (within / df2);
    const STBAOV& a = com.stbaov;
    expect_rel(a.ss[0], between, "between");
    expect_rel(a.ss[1], within, "residual");
    expect_rel(a.ss[2], between + within, "total");
    EXPECT_EQ(a.df[0], df1);
    EXPECT_EQ(a.df[1], df2);
    EXPECT_EQ(a.df[2], count - 1);
    expect_rel(a.ms[1], within / df2, "MS residual");
    EXPECT_TRUE(is_missing(a.ms[2]));
    expect_rel(com.ftest.f[0], f, "F");
    EXPECT_NEAR(com.ftest.p[0], upper_f(f, df1, df2), 1e-9);
    EXPECT_EQ(a.f, com.ftest.f[0]);
  }
}

TEST(StableSeasonality, IdenticalRatiosWithinEachPeriodGiveFZero) {
  X11COM com;
  // Levels that are not binary fractions: the subtractions leave rounding,
  // which must not count as residual variance.
  std::vector<double> data;
  for (int y = 0; y < 6; ++y)
    for (int m = 0; m < 12; ++m) data.push_back(91.3 + 1.7 * m);
  x11ft(&com, data.data(), 1, static_cast<long>(data.size()), 0);
  EXPECT_EQ(com.stbaov.ss[1], 0.0);
  EXPECT_EQ(com.ftest.f[0], 0.0);
  EXPECT_EQ(com.ftest.p[0], 1.0);
  EXPECT_GT(com.stbaov.ss[0], 0.0);
}

TEST(StableSeasonality, NoteThresholdIsStrict) {
  EXPECT_EQ(ftest_note(0.0001), msgtext(353, 0.0001));
  EXPECT_EQ(ftest_note(0.0000999), msgtext(383));
  EXPECT_EQ(ftest_note(0.2), msgtext(353, 0.2));
  EXPECT_TRUE(ftest_note(kMissing).empty());
}

// A flow record for a monthly variable of `n` values starting in period
// `firstper`, at index `begin`.
X11FLOW flow(long begin, long n, int firstper, int p) {
  X11FLOW f;
  f.real_begin = begin;
  f.real_end = begin + n;
  f.firstper = firstper;
  f.lastper = static_cast<int>((firstper + n - 1) % p);
  return f;
}

TEST(MovingSeasonality, UsesCompleteYearsAndAgreesWithATwoWayAnalysis) {
  const int p = 12;
  X11COM com;
  // March of the first year to May of the ninth: complete years are the
  // second to the eighth.
  const X11FLOW f = flow(3, 12 * 8 + 3, 2, p);
  std::vector<double> series(120, kMissing), work(120, kMissing);
  const auto values = noisy(120, 11, 100.0, 3.0);
  for (long i = f.real_begin; i < f.real_end; ++i) series[static_cast<std::size_t>(i)] = values[static_cast<std::size_t>(i)];
  x11msft(&com, &f, series.data(), work.data(), 0);
  const OUTMOV& m = com.outmov;
  EXPECT_EQ(m.first, f.real_begin + 10);
  EXPECT_EQ(m.nyr, 7);
  EXPECT_EQ(m.last, m.first + 7 * p);
  EXPECT_TRUE(is_missing(work[static_cast<std::size_t>(m.first - 1)]));
  EXPECT_TRUE(is_missing(work[static_cast<std::size_t>(m.last)]));

  // Row and column means, and the error as the interaction residuals.
  const long nyr = m.nyr;
  auto dev = [&](long k, int j) { return std::fabs(series[static_cast<std::size_t>(m.first + k * p + j)] - 100.0); };
  std::vector<double> row(nyr), col(p);
  double mean = 0;
  for (long k = 0; k < nyr; ++k)
    for (int j = 0; j < p; ++j) {
      row[k] += dev(k, j) / p;
      col[j] += dev(k, j) / static_cast<double>(nyr);
      mean += dev(k, j) / static_cast<double>(nyr * p);
    }
  double error = 0, years = 0;
  for (long k = 0; k < nyr; ++k) {
    years += p * (row[k] - mean) * (row[k] - mean);
    for (int j = 0; j < p; ++j) {
      const double e = dev(k, j) - row[k] - col[j] + mean;
      error += e * e;
    }
  }
  const double df1 = static_cast<double>(nyr - 1), df2 = static_cast<double>((p - 1) * (nyr - 1));
  expect_rel(m.ss_error, 10000.0 * error, "error SS");
  expect_rel(m.ss_years, 10000.0 * years, "years SS");
  EXPECT_EQ(m.df_years, df1);
  EXPECT_EQ(m.df_error, df2);
  const double fv = (years / df1) / (error / df2);
  expect_rel(com.ftest.f[1], fv, "F");
  EXPECT_NEAR(com.ftest.p[1], upper_f(fv, df1, df2), 1e-9);

  // The same deviations in an additive run: sums of squares without the
  // factor 10000, the same F.
  X11COM add;
  add.op.add_f = 1;
  std::vector<double> shifted(series);
  for (double& v : shifted)
    if (!is_missing(v)) v -= 100.0;
  x11msft(&add, &f, shifted.data(), work.data(), 0);
  expect_rel(add.outmov.ss_years * 10000.0, m.ss_years, "additive years SS");
  expect_rel(add.ftest.f[1], com.ftest.f[1], "additive F");
}

TEST(MovingSeasonality, AStableDeviationPatternHasNoErrorAndFZero) {
  X11COM com;
  com.op.month_f = 0;
  com.nper = 4;
  const X11FLOW f = flow(0, 4 * 6, 0, 4);
  // Deviations made of a period part and a year part only.
  std::vector<double> series(24), work(24);
  for (int t = 0; t < 24; ++t) series[static_cast<std::size_t>(t)] = 100.0 + 0.3 * (t % 4 + 1) + 0.7 * (t / 4);
  x11msft(&com, &f, series.data(), work.data(), 0);
  EXPECT_EQ(com.outmov.ss_error, 0.0);
  EXPECT_GT(com.outmov.ss_years, 0.0);
  EXPECT_EQ(com.ftest.f[1], 0.0);
  EXPECT_EQ(com.ftest.p[1], 1.0);
}

}  // namespace
}  // namespace x11sa
