// Moving averages over a stretch of a series.

#include "core/moving_averages.h"

#include <algorithm>
#include <array>
#include <type_traits>

#include "x11sa/missing.h"

namespace x11sa {

namespace {

// Preliminary trends of PTRENDMA=24 and PTRENDMA=8: the centred 2x24 (2x8)
// average, weights 1, 2, ..., 2, 1 over 48 (16). End row s is the same window
// centred on the point s positions in from the end, cut at the end of the
// stretch and rescaled to sum 1: 2/(2s+25) on the end point and the points up
// to s+11 inwards, 1/(2s+25) on the outermost point s+12 inwards (2x8: 2s+9,
// s+3 and s+4).

constexpr std::array<double, 13 * 25> kCentred24Weights = {
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

constexpr std::array<double, 5 * 9> kCentred8Weights = {
    2.0 / 9,  2.0 / 9,  2.0 / 9,  2.0 / 9,  1.0 / 9,  0.0,      0.0,      0.0,      0.0,       //
    2.0 / 11, 2.0 / 11, 2.0 / 11, 2.0 / 11, 2.0 / 11, 1.0 / 11, 0.0,      0.0,      0.0,       //
    2.0 / 13, 2.0 / 13, 2.0 / 13, 2.0 / 13, 2.0 / 13, 2.0 / 13, 1.0 / 13, 0.0,      0.0,       //
    2.0 / 15, 2.0 / 15, 2.0 / 15, 2.0 / 15, 2.0 / 15, 2.0 / 15, 2.0 / 15, 1.0 / 15, 0.0,       //
    1.0 / 16, 2.0 / 16, 2.0 / 16, 2.0 / 16, 2.0 / 16, 2.0 / 16, 2.0 / 16, 2.0 / 16, 1.0 / 16,  //
};


// One output of the weighted average: row[k] weighs in[start + step * k].
// With `normalise` the sum is divided by the weights used; a row whose
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

// The n values in[0], in[stride], ... into the same positions of out. The
// stride is a compile-time 1 on the hot path (trends), a run-time one for
// the periods of the year.
template <bool normalise, class Stride>
void weighted_average(const double* in, double* out, long n, Stride stride, const WeightTable& table) {
  const long nterms = table.terms;
  if (n <= 0 || nterms <= 0) return;
  const double* wt = table.weights.data();
  const long step = stride;
  const long half = nterms / 2;
  const long ncols = std::min<long>(nterms, n);

  for (long s = 0; s < half; ++s) {
    const long left = s;
    const long right = n - 1 - s;
    if (left > right) break;
    const double* row = wt + s * nterms;
    out[left * step] = apply_row<normalise>(row, in, 0, step, ncols);
    if (right != left) out[right * step] = apply_row<normalise>(row, in, (n - 1) * step, -step, ncols);
  }

  if (nterms % 2 == 0) return;  // even tables cover their stretch with end rows
  const long from = half;
  const long to = n - half;
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
  if constexpr (std::is_same_v<Stride, long>) {
    for (; p + 4 <= to; p += 4) {
      const double* x = in + (p - half) * step;
      double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
      for (long k = 0; k < nterms; ++k) {
        const double w = sym[k];
        s0 += w * x[k * step];
        s1 += w * x[(k + 1) * step];
        s2 += w * x[(k + 2) * step];
        s3 += w * x[(k + 3) * step];
      }
      out[p * step] = finish(s0);
      out[(p + 1) * step] = finish(s1);
      out[(p + 2) * step] = finish(s2);
      out[(p + 3) * step] = finish(s3);
    }
  } else {
    // Contiguous: written out plainly, which the compiler vectorizes best.
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
  }
  for (; p < to; ++p) out[p * step] = finish(apply_row<false>(sym, in, (p - half) * step, step, nterms));
}

// Number of values of a stride-k view of `size` elements.
long strided_count(std::size_t size, long stride) {
  return size == 0 || stride <= 0 ? 0 : (static_cast<long>(size) - 1) / stride + 1;
}

template <bool normalise>
void dispatch(std::span<const double> in, std::span<double> out, const WeightTable& table, long stride) {
  const long n = strided_count(in.size(), stride);
  if (stride == 1) {
    weighted_average<normalise>(in.data(), out.data(), n, std::integral_constant<long, 1>{}, table);
  } else {
    weighted_average<normalise>(in.data(), out.data(), n, stride, table);
  }
}

}  // namespace

const WeightTable kCentred24Terms{kCentred24Weights, 25};
const WeightTable kCentred8Terms{kCentred8Weights, 9};

void moving_average(std::span<const double> in, std::span<double> out, const WeightTable& table, long stride) {
  dispatch<false>(in, out, table, stride);
}

void normalised_moving_average(std::span<const double> in, std::span<double> out, const WeightTable& table,
                               long stride) {
  dispatch<true>(in, out, table, stride);
}

void centred_12_term_average(std::span<const double> in, std::span<double> out) {
  const long n = static_cast<long>(in.size());
  if (n < 13) {
    fill_missing(out);
    return;
  }
  fill_missing(out.first(6));
  fill_missing(out.last(6));
  const double* x = in.data();
  const auto centred = [](const double* at, double inner) { return (at[-6] + at[6] + 2.0 * inner) / 24.0; };
  const long to = n - 6;
  long p = 6;
  // Four points at a time, each summing its terms in order (see weighted_average).
  for (; p + 4 <= to; p += 4) {
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    for (long k = -5; k <= 5; ++k) {
      s0 += x[p + k];
      s1 += x[p + 1 + k];
      s2 += x[p + 2 + k];
      s3 += x[p + 3 + k];
    }
    out[p] = centred(x + p, s0);
    out[p + 1] = centred(x + p + 1, s1);
    out[p + 2] = centred(x + p + 2, s2);
    out[p + 3] = centred(x + p + 3, s3);
  }
  for (; p < to; ++p) {
    double inner = 0.0;
    for (long k = -5; k <= 5; ++k) inner += x[p + k];
    out[p] = centred(x + p, inner);
  }
}

void centred_4_term_average(std::span<const double> in, std::span<double> out) {
  const long n = static_cast<long>(in.size());
  if (n < 5) {
    fill_missing(out);
    return;
  }
  fill_missing(out.first(2));
  fill_missing(out.last(2));
  for (long p = 2; p < n - 2; ++p) out[p] = (in[p - 2] + 2.0 * (in[p - 1] + in[p] + in[p + 1]) + in[p + 2]) * 0.125;
}

void ratio_or_difference(std::span<const double> num, std::span<const double> den, std::span<double> out,
                         Mode mode) {
  const std::size_t n = out.size();
  if (mode == Mode::Additive) {
    for (std::size_t p = 0; p < n; ++p) out[p] = num[p] - den[p];
  } else {
    for (std::size_t p = 0; p < n; ++p) out[p] = num[p] / den[p] * 100.0;
  }
}

}  // namespace x11sa
