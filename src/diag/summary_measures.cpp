#include "diag/summary_measures.h"

#include <algorithm>
#include <cmath>

namespace x11sa {

namespace {

// The change from s[t] to s[t + d]: a percentage of s[t] (0 when s[t] is
// not positive) or a difference.
double change_scale(const double* s, long t, bool additive) {
  return additive ? 1.0 : (s[t] > 0.0 ? 100.0 / s[t] : 0.0);
}

// Sums over t of |change| and change for spans 1..SPANS. Positions with all
// their spans inside the series run with a fixed count, which the compiler
// unrolls; each sum still adds its terms in time order.
template <int SPANS>
void change_sums(const double* s, long end, bool additive, double* abs_sum_out, double* sum_out) {
  // Sums in local arrays, copied out at the end: through the pointers they
  // might alias the series, and every step would go through memory.
  double abs_sum[12] = {};
  double sum[12] = {};
  const long full_end = std::max(0L, end - SPANS);
  for (long t = 0; t < full_end; ++t) {
    const double k = change_scale(s, t, additive);
    for (int d = 1; d <= SPANS; ++d) {
      const double change = (s[t + d] - s[t]) * k;
      abs_sum[d - 1] += std::fabs(change);
      sum[d - 1] += change;
    }
  }
  for (long t = full_end; t < end - 1; ++t) {
    const double k = change_scale(s, t, additive);
    const int top = static_cast<int>(end - 1 - t);
    for (int d = 1; d <= top; ++d) {
      const double change = (s[t + d] - s[t]) * k;
      abs_sum[d - 1] += std::fabs(change);
      sum[d - 1] += change;
    }
  }
  std::copy(abs_sum, abs_sum + SPANS, abs_sum_out);
  std::copy(sum, sum + SPANS, sum_out);
}

// Sums over t of the squared deviation of the change from its mean.
template <int SPANS>
void deviation_sums(const double* s, long end, bool additive, const double* mean_in, double* dev_out) {
  double mean[12] = {};
  double dev[12] = {};
  std::copy(mean_in, mean_in + SPANS, mean);
  const long full_end = std::max(0L, end - SPANS);
  for (long t = 0; t < full_end; ++t) {
    const double k = change_scale(s, t, additive);
    for (int d = 1; d <= SPANS; ++d) {
      const double e = (s[t + d] - s[t]) * k - mean[d - 1];
      dev[d - 1] += e * e;
    }
  }
  for (long t = full_end; t < end - 1; ++t) {
    const double k = change_scale(s, t, additive);
    const int top = static_cast<int>(end - 1 - t);
    for (int d = 1; d <= top; ++d) {
      const double e = (s[t + d] - s[t]) * k - mean[d - 1];
      dev[d - 1] += e * e;
    }
  }
  std::copy(dev, dev + SPANS, dev_out);
}

}  // namespace

// One pass per family of sums, spans innermost, so that each position costs
// one division whatever the number of spans.
SpanStatistics span_statistics(std::span<const double> series, int spans, Mode mode) {
  SpanStatistics r;
  const bool additive = mode == Mode::Additive;
  const double* s = series.data();
  const auto end = static_cast<long>(series.size());
  double abs_sum[12] = {};
  double sum[12] = {};
  if (spans == 12) {
    change_sums<12>(s, end, additive, abs_sum, sum);
  } else {
    change_sums<4>(s, end, additive, abs_sum, sum);
  }
  double mean[12] = {};
  for (int d = 1; d <= spans; ++d) {
    const long count = end - d;
    if (count <= 0) continue;
    const double n = static_cast<double>(count);
    const auto k = static_cast<std::size_t>(d - 1);
    r.mean_abs_change[k] = abs_sum[d - 1] / n;
    r.mean_abs_change_squared[k] = r.mean_abs_change[k] * r.mean_abs_change[k];
    mean[d - 1] = sum[d - 1] / n;
    r.mean_change[k] = mean[d - 1];
  }
  double dev[12] = {};
  if (spans == 12) {
    deviation_sums<12>(s, end, additive, mean, dev);
  } else {
    deviation_sums<4>(s, end, additive, mean, dev);
  }
  for (int d = 1; d <= spans; ++d) {
    const long count = end - d;
    if (count <= 0) continue;
    const double v = dev[d - 1] / static_cast<double>(count);
    r.sd_change[static_cast<std::size_t>(d - 1)] = v > 0.0 ? std::sqrt(v) : 0.0;
  }
  return r;
}

double average_duration_of_run(std::span<const double> s) {
  constexpr double kFlat = 1e-10;
  const std::size_t n = s.size();
  if (n < 2) return 0.0;
  int direction = 0;  // 1 up, -1 down, 0 undecided
  const double d0 = s[1] - s[0];
  if (d0 > kFlat) direction = 1;
  if (d0 < -kFlat) direction = -1;
  long runs = 1;
  for (std::size_t t = 2; t < n; ++t) {
    const double d = s[t] - s[t - 1];
    if (d > kFlat) {
      if (direction == -1) ++runs;
      direction = 1;
    } else if (d < -kFlat) {
      if (direction == 1) ++runs;
      direction = -1;
    }
  }
  return static_cast<double>(n - 1) / static_cast<double>(runs);
}

CyclicalDominance cyclical_dominance(std::span<const double> d12, std::span<const double> d13, Frequency frequency,
                                     Mode mode) {
  const int spans = periods_per_year(frequency);
  CyclicalDominance r;
  r.trend_cycle = span_statistics(d12, spans, mode);
  r.irregular = span_statistics(d13, spans, mode);
  // I/C by span; I alone where C does not change.
  const auto ratio = [&](int span) {
    const double c = r.trend_cycle.mean_abs_change[static_cast<std::size_t>(span - 1)];
    const double i = r.irregular.mean_abs_change[static_cast<std::size_t>(span - 1)];
    return c == 0.0 ? i : i / c;
  };
  const int top = frequency == Frequency::Monthly ? 5 : 3;
  int mcd = 1;
  if (ratio(top) >= 1.0) {
    mcd = top + 1;
  } else {
    for (int span = top - 1; span >= 1; --span)
      if (ratio(span) >= 1.0) {
        mcd = span + 1;
        break;
      }
  }
  r.mcd = mcd;
  r.first = mcd / 2;
  r.last = static_cast<long>(d12.size()) - (mcd - 1) / 2;
  return r;
}

void f1_moving_average(std::span<double> f1, std::span<const double> d11, const CyclicalDominance& dominance) {
  const int mcd = dominance.mcd;
  for (long t = dominance.first; t < dominance.last; ++t) {
    double sum = 0;
    for (long k = t - mcd / 2; k < t - mcd / 2 + mcd; ++k) sum += d11[static_cast<std::size_t>(k)];
    f1[static_cast<std::size_t>(t)] = sum / mcd;
  }
}

}  // namespace x11sa
