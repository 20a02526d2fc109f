#include "diag/etables.h"

namespace x11sa {

void x11e1(X11COM* Xp, double* e1, const double* a1, const double* a2, const double* c17,
           const double* c18, const double* d10, const double* d12, int flag, long begin, long end) {
  const bool additive = Xp->op.add_f != 0;
  const bool pmf = Xp->vn_pmf >= 0;
  for (long i = begin; i < end; ++i) {
    if (c17[i] > 0.0) {
      e1[i] = a1[i];
      continue;
    }
    double v = 0;
    if (additive) {
      v = d10[i] + d12[i];
      if (flag != 0) v += c18[i];
      if (pmf) v += a2[i];
    } else {
      v = d10[i] / 100.0 * d12[i];
      if (flag != 0) v *= c18[i] / 100.0;
      if (pmf) v *= a2[i] / 100.0;
    }
    e1[i] = v;
  }
}

void x11e2(double* e2, const double* c17, const double* d11, const double* d12, long begin, long end) {
  for (long i = begin; i < end; ++i) e2[i] = c17[i] <= 0.0 ? d12[i] : d11[i];
}

void x11e3(X11COM* Xp, double* e3, const double* c17, const double* d13, long begin, long end) {
  const double base = Xp->op.add_f != 0 ? 0.0 : 100.0;
  for (long i = begin; i < end; ++i) e3[i] = c17[i] > 0.0 ? d13[i] : base;
}

namespace {

void changes(X11COM* Xp, double* out, const double* s, long begin, long end, bool zero_is_missing) {
  const bool additive = Xp->op.add_f != 0;
  for (long i = begin; i < end; ++i) {
    if (additive) {
      out[i] = s[i] - s[i - 1];
    } else if (zero_is_missing && s[i - 1] == 0.0) {
      out[i] = kMissing;
    } else {
      out[i] = (s[i] - s[i - 1]) / s[i - 1] * 100.0;
    }
  }
}

}  // namespace

void x11e5(X11COM* Xp, double* e5, const double* a1, long begin, long end) {
  changes(Xp, e5, a1, begin, end, false);
}

void x11e6(X11COM* Xp, double* e6, const double* d11, long begin, long end) {
  changes(Xp, e6, d11, begin, end, true);
}

void x11avr(const double* series, long first, long last, double* dur) {
  constexpr double kFlat = 1e-10;
  if (last - first < 2) {
    *dur = 0.0;
    return;
  }
  int direction = 0;  // 1 up, -1 down, 0 undecided
  const double d0 = series[first + 1] - series[first];
  if (d0 > kFlat) direction = 1;
  if (d0 < -kFlat) direction = -1;
  long runs = 1;
  for (long t = first + 2; t < last; ++t) {
    const double d = series[t] - series[t - 1];
    if (d > kFlat) {
      if (direction == -1) ++runs;
      direction = 1;
    } else if (d < -kFlat) {
      if (direction == 1) ++runs;
      direction = -1;
    }
  }
  *dur = static_cast<double>(last - first - 1) / static_cast<double>(runs);
}

}  // namespace x11sa
