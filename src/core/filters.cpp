// Moving averages and trend filters.

#include "core/filters.h"

#include <algorithm>
#include <cmath>

#include "x11sa/missing.h"

namespace x11sa {

// ---------------------------------------------------------------------------
// Henderson tables: end rows from the end point inwards, then the symmetric row.

const double w5h[3 * 5] = {
    0.670,  0.403, -0.073, 0.000,  0.000,   //
    0.257,  0.522, 0.294,  -0.073, 0.000,   //
    -0.073, 0.294, 0.558,  0.294,  -0.073,  //
};

// The end rows of the 7-term filter are the 5-term filters.
const double w7h[4 * 7] = {
    0.670,  0.403,  -0.073, 0.000, 0.000,  0.000,  0.000,   //
    0.257,  0.522,  0.294,  -0.073, 0.000, 0.000,  0.000,   //
    -0.073, 0.294,  0.558,  0.294, -0.073, 0.000,  0.000,   //
    -0.059, 0.059,  0.294,  0.413, 0.294,  0.059,  -0.059,  //
};

const double w9h[5 * 9] = {
    0.581,  0.424,  0.185, -0.034, -0.156, 0.000,  0.000,  0.000,  0.000,   //
    0.298,  0.354,  0.282, 0.126,  -0.011, -0.049, 0.000,  0.000,  0.000,   //
    0.086,  0.242,  0.315, 0.259,  0.120,  0.000,  -0.022, 0.000,  0.000,   //
    -0.029, 0.102,  0.255, 0.324,  0.263,  0.120,  -0.004, -0.031, 0.000,   //
    -0.041, -0.010, 0.119, 0.267,  0.330,  0.267,  0.119,  -0.010, -0.041,  //
};

const double w13h[7 * 13] = {
    0.421, 0.353, 0.244, 0.120, 0.012, -0.058, -0.092, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000,
    0.279, 0.292, 0.254, 0.174, 0.080, 0.002, -0.038, -0.043, 0.000, 0.000, 0.000, 0.000, 0.000,
    0.148, 0.216, 0.241, 0.216, 0.149, 0.068, 0.003, -0.025, -0.016, 0.000, 0.000, 0.000, 0.000,
    0.046, 0.131, 0.201, 0.230, 0.208, 0.145, 0.066, 0.004, -0.022, -0.009, 0.000, 0.000, 0.000,
    -0.018, 0.050, 0.136, 0.205, 0.235, 0.210, 0.145, 0.067, 0.003, -0.022, -0.011, 0.000, 0.000,
    -0.034, -0.006, 0.061, 0.144, 0.212, 0.238, 0.213, 0.147, 0.066, 0.001, -0.025, -0.017, 0.000,
    -0.019, -0.028, 0.000, 0.066, 0.147, 0.214, 0.240, 0.214, 0.147, 0.066, 0.000, -0.028, -0.019,
};

const double w23h[12 * 23] = {
    // row 0
    0.288, 0.263, 0.227, 0.182, 0.133, 0.084, 0.039, 0.002, -0.028, -0.049, -0.064, -0.077,
    0.000, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000,
    // row 1
    0.224, 0.219, 0.203, 0.176, 0.141, 0.101, 0.061, 0.025, -0.004, -0.024, -0.035, -0.041,
    -0.046, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000,
    // row 2
    0.166, 0.176, 0.177, 0.166, 0.146, 0.116, 0.082, 0.049, 0.018, -0.005, -0.019, -0.025,
    -0.025, -0.022, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000,
    // row 3
    0.112, 0.134, 0.150, 0.154, 0.147, 0.129, 0.103, 0.073, 0.042, 0.015, -0.004, -0.015,
    -0.018, -0.014, -0.008, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000,
    // row 4
    0.066, 0.095, 0.119, 0.136, 0.142, 0.137, 0.121, 0.098, 0.068, 0.040, 0.015, -0.003,
    -0.012, -0.013, -0.008, -0.001, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000,
    // row 5
    0.027, 0.059, 0.088, 0.114, 0.131, 0.139, 0.134, 0.119, 0.095, 0.067, 0.039, 0.015,
    -0.002, -0.011, -0.011, -0.006, 0.003, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000,
    // row 6
    0.001, 0.027, 0.059, 0.089, 0.114, 0.132, 0.138, 0.134, 0.118, 0.096, 0.068, 0.039,
    0.015, -0.003, -0.011, -0.012, -0.006, 0.002, 0.000, 0.000, 0.000, 0.000, 0.000,
    // row 7
    -0.015, 0.005, 0.031, 0.060, 0.090, 0.116, 0.133, 0.140, 0.135, 0.120, 0.096, 0.068,
    0.039, 0.015, -0.003, -0.011, -0.013, -0.007, 0.001, 0.000, 0.000, 0.000, 0.000,
    // row 8
    -0.021, -0.010, 0.008, 0.034, 0.064, 0.094, 0.118, 0.136, 0.140, 0.137, 0.120, 0.097,
    0.068, 0.039, 0.014, -0.003, -0.013, -0.013, -0.007, -0.002, 0.000, 0.000, 0.000,
    // row 9
    -0.019, -0.017, -0.007, 0.011, 0.037, 0.067, 0.095, 0.120, 0.137, 0.143, 0.138, 0.122,
    0.097, 0.069, 0.040, 0.014, -0.005, -0.014, -0.015, -0.010, -0.003, 0.000, 0.000,
    // row 10
    -0.011, -0.016, -0.015, -0.005, 0.013, 0.039, 0.068, 0.097, 0.122, 0.138, 0.144, 0.138,
    0.122, 0.097, 0.068, 0.039, 0.013, -0.005, -0.015, -0.016, -0.011, -0.004, 0.000,
    // row 11, symmetric
    -0.004, -0.011, -0.016, -0.015, -0.005, 0.013, 0.039, 0.068, 0.097, 0.122, 0.138, 0.148,
    0.138, 0.122, 0.097, 0.068, 0.039, 0.013, -0.005, -0.015, -0.016, -0.011, -0.004,
};

// ---------------------------------------------------------------------------
// Preliminary trends of PTRENDMA=24 and PTRENDMA=8: the centred 2x24 (2x8)
// average, weights 1, 2, ..., 2, 1 over 48 (16). End row s is the same window
// centred on the point s positions in from the end, cut at the end of the
// stretch and rescaled to sum 1: 2/(2s+25) on the end point and the points up
// to s+11 inwards, 1/(2s+25) on the outermost point s+12 inwards (2x8: 2s+9,
// s+3 and s+4).

const double ptm[13 * 25] = {
    // row 0
    2.0 / 25, 2.0 / 25, 2.0 / 25, 2.0 / 25, 2.0 / 25, 2.0 / 25, 2.0 / 25, 2.0 / 25, 2.0 / 25,
    2.0 / 25, 2.0 / 25, 2.0 / 25, 1.0 / 25, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0,
    0.0,
    // row 1
    2.0 / 27, 2.0 / 27, 2.0 / 27, 2.0 / 27, 2.0 / 27, 2.0 / 27, 2.0 / 27, 2.0 / 27, 2.0 / 27,
    2.0 / 27, 2.0 / 27, 2.0 / 27, 2.0 / 27, 1.0 / 27, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0,
    0.0, 0.0,
    // row 2
    2.0 / 29, 2.0 / 29, 2.0 / 29, 2.0 / 29, 2.0 / 29, 2.0 / 29, 2.0 / 29, 2.0 / 29, 2.0 / 29,
    2.0 / 29, 2.0 / 29, 2.0 / 29, 2.0 / 29, 2.0 / 29, 1.0 / 29, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0,
    0.0, 0.0, 0.0,
    // row 3
    2.0 / 31, 2.0 / 31, 2.0 / 31, 2.0 / 31, 2.0 / 31, 2.0 / 31, 2.0 / 31, 2.0 / 31, 2.0 / 31,
    2.0 / 31, 2.0 / 31, 2.0 / 31, 2.0 / 31, 2.0 / 31, 2.0 / 31, 1.0 / 31, 0.0, 0.0, 0.0, 0.0, 0.0,
    0.0, 0.0, 0.0, 0.0,
    // row 4
    2.0 / 33, 2.0 / 33, 2.0 / 33, 2.0 / 33, 2.0 / 33, 2.0 / 33, 2.0 / 33, 2.0 / 33, 2.0 / 33,
    2.0 / 33, 2.0 / 33, 2.0 / 33, 2.0 / 33, 2.0 / 33, 2.0 / 33, 2.0 / 33, 1.0 / 33, 0.0, 0.0, 0.0,
    0.0, 0.0, 0.0, 0.0, 0.0,
    // row 5
    2.0 / 35, 2.0 / 35, 2.0 / 35, 2.0 / 35, 2.0 / 35, 2.0 / 35, 2.0 / 35, 2.0 / 35, 2.0 / 35,
    2.0 / 35, 2.0 / 35, 2.0 / 35, 2.0 / 35, 2.0 / 35, 2.0 / 35, 2.0 / 35, 2.0 / 35, 1.0 / 35, 0.0,
    0.0, 0.0, 0.0, 0.0, 0.0, 0.0,
    // row 6
    2.0 / 37, 2.0 / 37, 2.0 / 37, 2.0 / 37, 2.0 / 37, 2.0 / 37, 2.0 / 37, 2.0 / 37, 2.0 / 37,
    2.0 / 37, 2.0 / 37, 2.0 / 37, 2.0 / 37, 2.0 / 37, 2.0 / 37, 2.0 / 37, 2.0 / 37, 2.0 / 37,
    1.0 / 37, 0.0, 0.0, 0.0, 0.0, 0.0, 0.0,
    // row 7
    2.0 / 39, 2.0 / 39, 2.0 / 39, 2.0 / 39, 2.0 / 39, 2.0 / 39, 2.0 / 39, 2.0 / 39, 2.0 / 39,
    2.0 / 39, 2.0 / 39, 2.0 / 39, 2.0 / 39, 2.0 / 39, 2.0 / 39, 2.0 / 39, 2.0 / 39, 2.0 / 39,
    2.0 / 39, 1.0 / 39, 0.0, 0.0, 0.0, 0.0, 0.0,
    // row 8
    2.0 / 41, 2.0 / 41, 2.0 / 41, 2.0 / 41, 2.0 / 41, 2.0 / 41, 2.0 / 41, 2.0 / 41, 2.0 / 41,
    2.0 / 41, 2.0 / 41, 2.0 / 41, 2.0 / 41, 2.0 / 41, 2.0 / 41, 2.0 / 41, 2.0 / 41, 2.0 / 41,
    2.0 / 41, 2.0 / 41, 1.0 / 41, 0.0, 0.0, 0.0, 0.0,
    // row 9
    2.0 / 43, 2.0 / 43, 2.0 / 43, 2.0 / 43, 2.0 / 43, 2.0 / 43, 2.0 / 43, 2.0 / 43, 2.0 / 43,
    2.0 / 43, 2.0 / 43, 2.0 / 43, 2.0 / 43, 2.0 / 43, 2.0 / 43, 2.0 / 43, 2.0 / 43, 2.0 / 43,
    2.0 / 43, 2.0 / 43, 2.0 / 43, 1.0 / 43, 0.0, 0.0, 0.0,
    // row 10
    2.0 / 45, 2.0 / 45, 2.0 / 45, 2.0 / 45, 2.0 / 45, 2.0 / 45, 2.0 / 45, 2.0 / 45, 2.0 / 45,
    2.0 / 45, 2.0 / 45, 2.0 / 45, 2.0 / 45, 2.0 / 45, 2.0 / 45, 2.0 / 45, 2.0 / 45, 2.0 / 45,
    2.0 / 45, 2.0 / 45, 2.0 / 45, 2.0 / 45, 1.0 / 45, 0.0, 0.0,
    // row 11
    2.0 / 47, 2.0 / 47, 2.0 / 47, 2.0 / 47, 2.0 / 47, 2.0 / 47, 2.0 / 47, 2.0 / 47, 2.0 / 47,
    2.0 / 47, 2.0 / 47, 2.0 / 47, 2.0 / 47, 2.0 / 47, 2.0 / 47, 2.0 / 47, 2.0 / 47, 2.0 / 47,
    2.0 / 47, 2.0 / 47, 2.0 / 47, 2.0 / 47, 2.0 / 47, 1.0 / 47, 0.0,
    // row 12, symmetric
    1.0 / 48, 2.0 / 48, 2.0 / 48, 2.0 / 48, 2.0 / 48, 2.0 / 48, 2.0 / 48, 2.0 / 48, 2.0 / 48,
    2.0 / 48, 2.0 / 48, 2.0 / 48, 2.0 / 48, 2.0 / 48, 2.0 / 48, 2.0 / 48, 2.0 / 48, 2.0 / 48,
    2.0 / 48, 2.0 / 48, 2.0 / 48, 2.0 / 48, 2.0 / 48, 2.0 / 48, 1.0 / 48,
};

const double ptq[5 * 9] = {
    2.0 / 9,  2.0 / 9,  2.0 / 9,  2.0 / 9,  1.0 / 9,  0.0,      0.0,      0.0,      0.0,       //
    2.0 / 11, 2.0 / 11, 2.0 / 11, 2.0 / 11, 2.0 / 11, 1.0 / 11, 0.0,      0.0,      0.0,       //
    2.0 / 13, 2.0 / 13, 2.0 / 13, 2.0 / 13, 2.0 / 13, 2.0 / 13, 1.0 / 13, 0.0,      0.0,       //
    2.0 / 15, 2.0 / 15, 2.0 / 15, 2.0 / 15, 2.0 / 15, 2.0 / 15, 2.0 / 15, 1.0 / 15, 0.0,       //
    1.0 / 16, 2.0 / 16, 2.0 / 16, 2.0 / 16, 2.0 / 16, 2.0 / 16, 2.0 / 16, 2.0 / 16, 1.0 / 16,  //
};

// ---------------------------------------------------------------------------

namespace {

// One output of the weighted average. With `normalise` the sum is divided by
// the weights used, which removes the rounding of the tables; a row whose
// weights do not add up to something positive gives 0.
template <bool normalise>
double apply_row(const double* row, const double* in, long start, long step, long ncols) {
  double sum = 0.0;
  double wsum = 0.0;
  for (long k = 0; k < ncols; ++k) {
    sum += row[k] * in[start + step * k];
    if constexpr (normalise) wsum += row[k];
  }
  if constexpr (normalise) return wsum > 0.0 ? sum / wsum : 0.0;
  return sum;
}

// Zero-based stretch [first, last). A stretch shorter than the filter never
// comes from the table chain; there each point takes the end row of its nearer
// end and no value outside the stretch is read.
template <bool normalise>
void weighted_average(double* out, const double* in, long first, long last, int nterms,
                      const double* wt) {
  const long n = last - first;
  if (n <= 0 || nterms <= 0) return;
  const long half = nterms / 2;
  const long ncols = std::min<long>(nterms, n);

  for (long s = 0; s < half; ++s) {
    const long left = first + s;
    const long right = last - 1 - s;
    if (left > right) break;
    const double* row = wt + s * nterms;
    out[left] = apply_row<normalise>(row, in, first, 1, ncols);
    if (right != left) out[right] = apply_row<normalise>(row, in, last - 1, -1, ncols);
  }

  if (nterms % 2 == 0) return;  // even tables cover their stretch with end rows
  const long from = first + half;
  const long to = last - half;
  if (from >= to) return;
  // Interior: four points at a time, each summing its terms in table order,
  // so the compiler can keep the four sums in vector registers.
  const double* sym = wt + half * nterms;
  double wsum = 0.0;
  if constexpr (normalise) {
    for (long k = 0; k < nterms; ++k) wsum += sym[k];
  }
  const auto finish = [&](double sum) {
    if constexpr (normalise) return wsum > 0.0 ? sum / wsum : 0.0;
    return sum;
  };
  long p = from;
  for (; p + 4 <= to; p += 4) {
    const double* x = in + p - half;
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    for (long k = 0; k < nterms; ++k) {
      const double w = sym[k];
      s0 += w * x[k];
      s1 += w * x[k + 1];
      s2 += w * x[k + 2];
      s3 += w * x[k + 3];
    }
    out[p] = finish(s0);
    out[p + 1] = finish(s1);
    out[p + 2] = finish(s2);
    out[p + 3] = finish(s3);
  }
  for (; p < to; ++p) out[p] = finish(apply_row<false>(sym, in, p - half, 1, nterms));
}

const double* henderson_table(int length) {
  switch (length) {
    case 9: return w9h;
    case 13: return w13h;
    default: return w23h;
  }
}

// Sum of the absolute period-to-period changes over p in [from, to], relative
// to the earlier value in the multiplicative mode.
double change_sum(const double* v, long from, long to, bool additive) {
  double sum = 0.0;
  for (long p = from; p <= to; ++p) {
    const double change = std::fabs(v[p] - v[p - 1]);
    sum += additive ? change : change / v[p - 1];
  }
  return sum;
}

}  // namespace

void x11mvg(double* out, const double* in, long first, long last, int nterms, const double* wt) {
  weighted_average<false>(out, in, first, last, nterms, wt);
}

void x11mvgq(double* mavg, const double* series, long first, long last, int nterms,
             const double* wt) {
  weighted_average<true>(mavg, series, first - 1, last, nterms, wt);
}

void x11ma12(X11COM* Xp, double* out, const double* in, long first, long last) {
  fill_missing(out, Xp->fake_array_size);
  const auto centred = [](const double* x, double inner) {
    return (x[-6] + x[6] + 2.0 * inner) / 24.0;
  };
  const long to = last - 6;
  long p = first + 6;
  // Four points at a time, each summing its terms in order (see weighted_average).
  for (; p + 4 <= to; p += 4) {
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    for (long k = -5; k <= 5; ++k) {
      s0 += in[p + k];
      s1 += in[p + 1 + k];
      s2 += in[p + 2 + k];
      s3 += in[p + 3 + k];
    }
    out[p] = centred(in + p, s0);
    out[p + 1] = centred(in + p + 1, s1);
    out[p + 2] = centred(in + p + 2, s2);
    out[p + 3] = centred(in + p + 3, s3);
  }
  for (; p < to; ++p) {
    double inner = 0.0;
    for (long k = -5; k <= 5; ++k) inner += in[p + k];
    out[p] = centred(in + p, inner);
  }
}

// The whole vector is cleared (not only array_size elements): in the extended
// flows the stretch reaches beyond array_size and its ends must read missing.
void x11ma4q(X11COM* Xp, double* ma, const double* x, long first, long last) {
  fill_missing(ma, Xp->fake_array_size);
  const long f0 = first - 1;
  for (long p = f0 + 2; p <= last - 3; ++p)
    ma[p] = (x[p - 2] + 2.0 * (x[p - 1] + x[p] + x[p + 1]) + x[p + 2]) * 0.125;
}

void x11div(X11COM* Xp, double* result, const double* num, const double* den, long first,
            long last) {
  if (Xp->op.add_f != 0) {
    for (long p = first; p < last; ++p) result[p] = num[p] - den[p];
  } else {
    for (long p = first; p < last; ++p) result[p] = num[p] / den[p] * 100.0;
  }
}

void x11trnd(X11COM* Xp, double* out, const double* in, double* wrk, long first, long last,
             int pass, int num) {
  x11mvg(out, in, first, last, 13, w13h);
  x11div(Xp, wrk, in, out, first + 6, last - 6);

  // Average change of the irregular against that of the trend over the points
  // where both the change and the preliminary irregular exist.
  const bool additive = Xp->op.add_f != 0;
  const double apcc = change_sum(out, first + 7, last - 7, additive);
  const double apci = change_sum(wrk, first + 7, last - 7, additive);
  const double ratio = apcc > 0.0 ? apci / apcc : 100000.0;
  Xp->ratioic = ratio;

  int length = 0;
  if (num != 0) {
    length = (num == 9 || num == 13) ? num : 23;
  } else if (ratio < 0.995) {
    length = 9;
  } else if (ratio < 3.49 || pass == 1) {
    length = 13;
  } else {
    length = 23;
  }
  Xp->trendma_prnt = length;
  // The 13-term trend is already in `out`.
  if (length != 13) x11mvg(out, in, first, last, length, henderson_table(length));
}

void x11trnq(X11COM* Xp, double* out, const double* in, long first, long last) {
  if (Xp->trendma == 7)
    x11mvgq(out, in, first, last, 7, w7h);
  else
    x11mvgq(out, in, first, last, 5, w5h);
}

}  // namespace x11sa
