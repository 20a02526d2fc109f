#include "diag/fsummary.h"

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
void change_sums(const double* s, long begin, long end, bool additive, double* abs_sum_out, double* sum_out) {
  // Sums in local arrays, copied out at the end: through the pointers they
  // might alias the series, and every step would go through memory.
  double abs_sum[12] = {};
  double sum[12] = {};
  const long full_end = std::max(begin, end - SPANS);
  for (long t = begin; t < full_end; ++t) {
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
void deviation_sums(const double* s, long begin, long end, bool additive, const double* mean_in, double* dev_out) {
  double mean[12] = {};
  double dev[12] = {};
  std::copy(mean_in, mean_in + SPANS, mean);
  const long full_end = std::max(begin, end - SPANS);
  for (long t = begin; t < full_end; ++t) {
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

// One pass per block family, spans innermost, so that each position costs
// one division whatever the number of spans.
void span_stats(X11COM* Xp, double* r, const double* s, long begin, long end, int type, int spans) {
  std::fill(r, r + 48, 0.0);
  const bool additive = Xp->op.add_f != 0;
  const bool squares = type == 1 || type == 2;
  const bool signed_stats = type == 2 || type == 3;
  double abs_sum[12] = {};
  double sum[12] = {};
  if (spans == 12) {
    change_sums<12>(s, begin, end, additive, abs_sum, sum);
  } else {
    change_sums<4>(s, begin, end, additive, abs_sum, sum);
  }
  double mean[12] = {};
  for (int d = 1; d <= spans; ++d) {
    const long count = end - begin - d;
    if (count <= 0) continue;
    const double n = static_cast<double>(count);
    r[d - 1] = abs_sum[d - 1] / n;
    if (squares) r[12 + d - 1] = r[d - 1] * r[d - 1];
    mean[d - 1] = sum[d - 1] / n;
    if (signed_stats) r[24 + d - 1] = mean[d - 1];
  }
  if (!signed_stats) return;
  double dev[12] = {};
  if (spans == 12) {
    deviation_sums<12>(s, begin, end, additive, mean, dev);
  } else {
    deviation_sums<4>(s, begin, end, additive, mean, dev);
  }
  for (int d = 1; d <= spans; ++d) {
    const long count = end - begin - d;
    if (count <= 0) continue;
    const double v = dev[d - 1] / static_cast<double>(count);
    r[36 + d - 1] = v > 0.0 ? std::sqrt(v) : 0.0;
  }
}

}  // namespace

void x11sum(X11COM* Xp, double* r, const double* s, long begin, long end, int type) {
  span_stats(Xp, r, s, begin, end, type, 12);
}

void x11sumq(X11COM* Xp, double* r, const double* s, long start, long finish, int type) {
  span_stats(Xp, r, s, start - 1, finish, type, 4);
}

void x11f1(X11COM* Xp, double* f1, double* d12p, double* d13p, const double* d11, const double* d12,
           const double* d13, long begin, long end, long* ifirst, long* ilast, int* imcd) {
  fill_missing(f1, Xp->fake_array_size);
  const bool monthly = Xp->op.month_f != 0;
  if (monthly) {
    x11sum(Xp, d12p, d12, begin, end, 2);
    x11sum(Xp, d13p, d13, begin, end, 2);
  } else {
    x11sumq(Xp, d12p, d12, begin + 1, end, 2);
    x11sumq(Xp, d13p, d13, begin + 1, end, 2);
  }
  auto ratio = [&](int span) {
    const double c = d12p[span - 1];
    const double i = d13p[span - 1];
    return c == 0.0 ? i : i / c;
  };
  const int top = monthly ? 5 : 3;
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
  *imcd = mcd;
  *ifirst = begin + mcd / 2;
  *ilast = end - (mcd - 1) / 2;
  for (long t = *ifirst; t < *ilast; ++t) {
    double sum = 0;
    for (long k = t - mcd / 2; k < t - mcd / 2 + mcd; ++k) sum += d11[k];
    f1[t] = sum / mcd;
  }
}

}  // namespace x11sa
