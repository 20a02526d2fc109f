#include "diag/kruskal_wallis.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>
#include <vector>

#include "numeric/distributions.h"

namespace x11sa {

namespace {

// A value and its group.
using Ranked = std::pair<double, int>;

// Orders the values ascending by exchange: each position takes in turn
// every later element that is strictly smaller. Equal values are never
// exchanged, which fixes where ties end up.
void exchange_sort(std::vector<Ranked>& v) {
  const std::size_t n = v.size();
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t j = i + 1; j < n; ++j)
      if (v[j].first < v[i].first) std::swap(v[i], v[j]);
}

// The values in the order of the exchange sort. Without ties every sort
// gives that order, so the quadratic pass is needed only when two values
// are equal.
void rank_order(std::span<const double> x, int groups, std::vector<Ranked>& v) {
  const auto in_input_order = [&] {
    v.clear();
    int g = 0;
    for (const double value : x) {
      if (!is_missing(value)) v.emplace_back(value, g);
      if (++g == groups) g = 0;
    }
  };
  in_input_order();
  std::sort(v.begin(), v.end());
  for (std::size_t k = 1; k < v.size(); ++k)
    if (!(v[k - 1].first < v[k].first)) {
      in_input_order();
      exchange_sort(v);
      return;
    }
}

}  // namespace

KruskalWallisTest kruskal_wallis_test(std::span<const double> si, int periods_per_year) {
  const int groups = periods_per_year;
  KruskalWallisTest kw;
  kw.df = groups - 1;
  std::vector<Ranked> ranked;
  std::vector<double> sums;  // rank sums, then counts, per group
  try {
    ranked.reserve(si.size());
    sums.assign(2 * static_cast<std::size_t>(groups), 0.0);
    rank_order(si, groups, ranked);
  } catch (const std::bad_alloc&) {
    kw.status = KruskalWallisStatus::NoMemory;
    return kw;
  }
  if (ranked.empty()) return kw;
  double* rank_sum = sums.data();
  double* count = sums.data() + groups;
  for (std::size_t k = 0; k < ranked.size(); ++k) {
    const auto group = static_cast<std::size_t>(ranked[k].second);
    rank_sum[group] += static_cast<double>(k + 1);
    count[group] += 1;
  }
  const double n = static_cast<double>(ranked.size());
  double sum = 0;
  for (int g = 0; g < groups; ++g)
    if (count[g] > 0) sum += rank_sum[g] * rank_sum[g] / count[g];
  const double h = 12.0 / (n * (n + 1.0)) * sum - 3.0 * (n + 1.0);
  kw.statistic = h;
  kw.probability = kruskal_wallis_probability(h, kw.df);
  return kw;
}

double kruskal_wallis_probability(double h, long df) {
  if (h <= 0.0) return 1.0;
  if (h >= 90.0) return 0.0;
  double p = 0;
  if (df % 2 == 0) {
    // exp(-h/2) times the sum of (h/2)^k / k! for k < df/2.
    double term = 1.0;
    double sum = 1.0;
    for (long k = 1; k < df / 2; ++k) {
      term *= h / 2.0 / static_cast<double>(k);
      sum += term;
    }
    p = std::exp(-h / 2.0) * sum;
  } else {
    // Twice the normal tail at sqrt(h), plus the odd-order terms h^k / (1 x 3 x ... x (2k - 1)).
    const double root = std::sqrt(h);
    double term = 1.0;
    double sum = 0.0;
    for (long k = 1; k <= (df - 1) / 2; ++k) {
      term *= h / static_cast<double>(2 * k - 1);
      sum += term;
    }
    p = (1.0 - normal_central_probability(root)) + 0.797884560802864 * std::exp(-h / 2.0) / root * sum;
  }
  // The normal integral is an approximation good to about 1e-9; keep the
  // result a probability.
  return std::clamp(p, 0.0, 1.0);
}

}  // namespace x11sa
