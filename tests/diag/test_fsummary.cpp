// Span statistics, the months for cyclical dominance and the F1 series,
// against direct computations of their definitions.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "diag/etables.h"
#include "diag/fsummary.h"

namespace x11sa {
namespace {

// The definition, computed plainly: every change divided as written.
std::vector<double> naive_stats(const std::vector<double>& s, long begin, long end, bool additive, int spans) {
  std::vector<double> r(48, 0.0);
  for (int d = 1; d <= spans; ++d) {
    std::vector<double> ch;
    for (long t = begin; t < end - d; ++t) {
      const double a = s[static_cast<std::size_t>(t)];
      const double b = s[static_cast<std::size_t>(t + d)];
      ch.push_back(additive ? b - a : (a > 0 ? (b - a) * 100.0 / a : 0.0));
    }
    if (ch.empty()) continue;
    double abs_sum = 0, sum = 0;
    for (double c : ch) {
      abs_sum += std::fabs(c);
      sum += c;
    }
    const double n = static_cast<double>(ch.size());
    const double mean = sum / n;
    double dev = 0;
    for (double c : ch) dev += (c - mean) * (c - mean);
    r[static_cast<std::size_t>(d - 1)] = abs_sum / n;
    r[static_cast<std::size_t>(12 + d - 1)] = (abs_sum / n) * (abs_sum / n);
    r[static_cast<std::size_t>(24 + d - 1)] = mean;
    r[static_cast<std::size_t>(36 + d - 1)] = std::sqrt(dev / n);
  }
  return r;
}

TEST(SpanStatistics, AgreeWithTheDefinition) {
  std::mt19937 gen(7);
  std::uniform_real_distribution<double> u(50.0, 150.0);
  std::vector<double> s(100);
  for (double& v : s) v = u(gen);
  s[40] = 0.0;  // a non-positive base contributes 0 but still counts
  for (const bool additive : {false, true}) {
    X11COM com;
    com.op.add_f = additive ? 1 : 0;
    std::vector<double> r(48, -1.0);
    x11sum(&com, r.data(), s.data(), 5, 95, 2);
    const auto want = naive_stats(s, 5, 95, additive, 12);
    for (std::size_t k = 0; k < 48; ++k) EXPECT_NEAR(r[k], want[k], 1e-9 * (1.0 + std::fabs(want[k]))) << k;
    // Quarterly: spans 1 to 4, first position counted from one.
    std::vector<double> q(48, -1.0);
    x11sumq(&com, q.data(), s.data(), 6, 95, 2);
    const auto want_q = naive_stats(s, 5, 95, additive, 4);
    for (std::size_t k = 0; k < 48; ++k) EXPECT_NEAR(q[k], want_q[k], 1e-9 * (1.0 + std::fabs(want_q[k]))) << k;
  }
}

TEST(SpanStatistics, TypesFillOnlyTheirBlocks) {
  std::vector<double> s(40);
  for (std::size_t t = 0; t < s.size(); ++t) s[t] = 100.0 + static_cast<double>(t % 7);
  X11COM com;
  std::vector<double> r(48, -1.0);
  x11sum(&com, r.data(), s.data(), 0, 40, 4);
  EXPECT_GT(r[0], 0.0);
  for (std::size_t k = 12; k < 48; ++k) EXPECT_EQ(r[k], 0.0) << k;
  x11sum(&com, r.data(), s.data(), 0, 40, 3);
  EXPECT_EQ(r[12], 0.0);  // no squares
  EXPECT_GT(r[36], 0.0);
  x11sum(&com, r.data(), s.data(), 0, 40, 1);
  EXPECT_DOUBLE_EQ(r[12], r[0] * r[0]);
  EXPECT_EQ(r[24], 0.0);
}

// x11f1 on trend-cycle and irregular series built so that I/C crosses 1
// where wanted: C changes by `c_step` a period, I alternates by `i_amp`.
int mcd_of(double c_step, double i_amp, std::vector<double>* f1 = nullptr, std::vector<double>* d11 = nullptr) {
  const long n = 60;
  X11COM com;
  com.fake_array_size = n;
  std::vector<double> c(n), i(n), sa(n), out(n), p12(48), p13(48);
  for (long t = 0; t < n; ++t) {
    c[static_cast<std::size_t>(t)] = 1000.0 + c_step * static_cast<double>(t);
    i[static_cast<std::size_t>(t)] = 100.0 + (t % 2 == 0 ? i_amp : -i_amp);
    sa[static_cast<std::size_t>(t)] = 500.0 + 3.0 * static_cast<double>(t * (t % 3));
  }
  long first = 0, last = 0;
  int mcd = 0;
  x11f1(&com, out.data(), p12.data(), p13.data(), sa.data(), c.data(), i.data(), 0, n, &first, &last, &mcd);
  if (f1 != nullptr) *f1 = out;
  if (d11 != nullptr) *d11 = sa;
  EXPECT_EQ(first, mcd / 2);
  EXPECT_EQ(last, n - (mcd - 1) / 2);
  return mcd;
}

TEST(MonthsForCyclicalDominance, ChosenFromTheRatioBySpan) {
  // Tiny irregular: I/C below 1 from span 1 on, so MCD = 1 and F1 = D11.
  std::vector<double> f1, d11;
  EXPECT_EQ(mcd_of(10.0, 0.001, &f1, &d11), 1);
  for (std::size_t t = 0; t < f1.size(); ++t) EXPECT_DOUBLE_EQ(f1[t], d11[t]);
  // A strong irregular: I/C at least 1 at span 5 gives 6 whatever the rest.
  EXPECT_EQ(mcd_of(1.0, 5.0), 6);
  // C moving 0.1 percent a period against an irregular of about 0.5 percent
  // each way: I/C is 10 at span 1 and falls below 1 only at span 10.
  EXPECT_EQ(mcd_of(1.0, 0.5), 6);
  // Constant components: every block 0, the ratio takes the I value 0.
  EXPECT_EQ(mcd_of(0.0, 0.0), 1);
}

TEST(MonthsForCyclicalDominance, FourTermMeanCoversTwoBackAndOneAhead) {
  // I alternating by 0.05 percent around 100 (changes of about 0.1) against C
  // growing 0.03 percent a period: the ratio falls below 1 after span 3.
  std::vector<double> f1, d11;
  const int mcd = mcd_of(0.3, 0.05, &f1, &d11);
  ASSERT_EQ(mcd, 4);
  for (std::size_t t = 2; t + 1 < f1.size(); ++t)
    EXPECT_NEAR(f1[t], (d11[t - 2] + d11[t - 1] + d11[t] + d11[t + 1]) / 4.0, 1e-9) << t;
}

TEST(ETables, RunDurationIgnoresUndecidedChanges) {
  double dur = 0;
  const std::vector<double> up_down = {1, 2, 3, 2, 1, 2};  // up, up, down, down, up: 3 runs
  x11avr(up_down.data(), 0, 6, &dur);
  EXPECT_DOUBLE_EQ(dur, 5.0 / 3.0);
  const std::vector<double> flat_start = {5, 5, 6, 7, 6};  // flat, up, up, down: 2 runs
  x11avr(flat_start.data(), 0, 5, &dur);
  EXPECT_DOUBLE_EQ(dur, 4.0 / 2.0);
}

}  // namespace
}  // namespace x11sa
