// Seasonal factor estimation: each month (quarter) is smoothed across the
// years with a short seasonal moving average, then the factors are centred on
// a 2x12 (2x4) average so that they average to 100 (or 0) over a year.

#include "core/seasonal.h"

#include <algorithm>
#include <array>

#include "core/filters.h"
#include "x11sa/missing.h"

namespace x11sa {

// ---------------------------------------------------------------------------
// Seasonal tables: end rows from the end year inwards, then the symmetric row.
// The shortened tables serve months with too few years for the full filter;
// the even-length ones are used only when the month has exactly that many years.

const double w3x1[2 * 3] = {
    0.610, 0.390, 0.000,  //
    0.333, 0.333, 0.333,  //
};

const double w3x3[3 * 5] = {
    0.407, 0.407, 0.185, 0.000, 0.000,  //
    0.259, 0.370, 0.259, 0.111, 0.000,  //
    0.111, 0.222, 0.333, 0.222, 0.111,  //
};

const double w3a3[2 * 4] = {
    0.407, 0.407, 0.185, 0.000,  //
    0.259, 0.370, 0.259, 0.111,  //
};

const double w3b3[2 * 3] = {
    0.407, 0.407, 0.185,  //
    0.333, 0.333, 0.333,  //
};

const double w3x5[4 * 7] = {
    0.283, 0.283, 0.283, 0.150, 0.000, 0.000, 0.000,  //
    0.250, 0.250, 0.250, 0.183, 0.067, 0.000, 0.000,  //
    0.150, 0.217, 0.217, 0.217, 0.133, 0.067, 0.000,  //
    0.067, 0.133, 0.200, 0.200, 0.200, 0.133, 0.067,  //
};

const double w3a5[3 * 6] = {
    0.283, 0.283, 0.283, 0.150, 0.000, 0.000,  //
    0.250, 0.250, 0.250, 0.183, 0.067, 0.000,  //
    0.150, 0.217, 0.217, 0.217, 0.133, 0.067,  //
};

const double w3b5[3 * 5] = {
    0.283, 0.283, 0.283, 0.150, 0.000,  //
    0.250, 0.250, 0.250, 0.183, 0.067,  //
    0.200, 0.200, 0.200, 0.200, 0.200,  //
};

const double w3c5[2 * 4] = {
    0.283, 0.283, 0.283, 0.150,  //
    0.250, 0.250, 0.250, 0.250,  //
};

const double w3x9[6 * 11] = {
    0.246, 0.221, 0.197, 0.173, 0.112, 0.051, 0.000, 0.000, 0.000, 0.000, 0.000,  //
    0.208, 0.192, 0.176, 0.160, 0.144, 0.092, 0.028, 0.000, 0.000, 0.000, 0.000,  //
    0.173, 0.163, 0.154, 0.143, 0.133, 0.123, 0.079, 0.032, 0.000, 0.000, 0.000,  //
    0.141, 0.137, 0.132, 0.128, 0.123, 0.117, 0.113, 0.075, 0.034, 0.000, 0.000,  //
    0.084, 0.120, 0.118, 0.117, 0.116, 0.114, 0.113, 0.111, 0.073, 0.034, 0.000,  //
    0.037, 0.074, 0.111, 0.111, 0.111, 0.111, 0.111, 0.111, 0.111, 0.074, 0.037,  //
};

const double w3a9[5 * 10] = {
    0.246, 0.221, 0.197, 0.173, 0.112, 0.051, 0.000, 0.000, 0.000, 0.000,  //
    0.208, 0.192, 0.176, 0.160, 0.144, 0.092, 0.028, 0.000, 0.000, 0.000,  //
    0.173, 0.163, 0.154, 0.143, 0.133, 0.123, 0.079, 0.032, 0.000, 0.000,  //
    0.141, 0.137, 0.132, 0.128, 0.123, 0.117, 0.113, 0.075, 0.034, 0.000,  //
    0.084, 0.120, 0.118, 0.117, 0.116, 0.114, 0.113, 0.111, 0.073, 0.034,  //
};

const double w3b9[5 * 9] = {
    0.246, 0.221, 0.197, 0.173, 0.112, 0.051, 0.000, 0.000, 0.000,  //
    0.208, 0.192, 0.176, 0.160, 0.144, 0.092, 0.028, 0.000, 0.000,  //
    0.173, 0.163, 0.154, 0.143, 0.133, 0.123, 0.079, 0.032, 0.000,  //
    0.141, 0.137, 0.132, 0.128, 0.123, 0.117, 0.113, 0.075, 0.034,  //
    0.111, 0.111, 0.111, 0.111, 0.111, 0.111, 0.111, 0.111, 0.111,  //
};

const double w3c9[4 * 8] = {
    0.246, 0.221, 0.197, 0.173, 0.112, 0.051, 0.000, 0.000,  //
    0.208, 0.192, 0.176, 0.160, 0.144, 0.092, 0.028, 0.000,  //
    0.173, 0.163, 0.154, 0.143, 0.133, 0.123, 0.079, 0.032,  //
    0.125, 0.125, 0.125, 0.125, 0.125, 0.125, 0.125, 0.125,  //
};

const double w3d9[4 * 7] = {
    0.246, 0.221, 0.197, 0.173, 0.112, 0.051, 0.000,  //
    0.208, 0.192, 0.176, 0.160, 0.144, 0.092, 0.028,  //
    0.143, 0.143, 0.143, 0.143, 0.143, 0.143, 0.143,  //
    0.143, 0.143, 0.143, 0.143, 0.143, 0.143, 0.143,  //
};

const double w3e9[3 * 6] = {
    0.246, 0.221, 0.197, 0.173, 0.112, 0.051,  //
    0.167, 0.167, 0.167, 0.167, 0.167, 0.167,  //
    0.167, 0.167, 0.167, 0.167, 0.167, 0.167,  //
};

namespace {

enum class SeasonalFilter { stable, three_term, three_by_three, three_by_five, three_by_nine };

struct SeasonalTable {
  const double* wt = nullptr;  // null: stable (mean of all years)
  short len = 0;
};

// The table of `filter` for a month (quarter) with `c` years: the full table
// when there are years enough, a shortened one of exactly `c` terms a little
// below that, the stable mean with fewer years still.
SeasonalTable seasonal_table(SeasonalFilter filter, long c) {
  switch (filter) {
    case SeasonalFilter::three_term:
      if (c >= 3) return {w3x1, 3};
      break;
    case SeasonalFilter::three_by_three:
      if (c >= 5) return {w3x3, 5};
      if (c == 4) return {w3a3, 4};
      if (c == 3) return {w3b3, 3};
      break;
    case SeasonalFilter::three_by_five:
      if (c >= 7) return {w3x5, 7};
      if (c == 6) return {w3a5, 6};
      if (c == 5) return {w3b5, 5};
      if (c == 4) return {w3c5, 4};
      break;
    case SeasonalFilter::three_by_nine:
      if (c >= 11) return {w3x9, 11};
      if (c == 10) return {w3a9, 10};
      if (c == 9) return {w3b9, 9};
      if (c == 8) return {w3c9, 8};
      if (c == 7) return {w3d9, 7};
      if (c == 6) return {w3e9, 6};
      break;
    case SeasonalFilter::stable:
      break;
  }
  return {};
}

// MACURVES code of a month; unknown codes fall back to the default filters.
SeasonalFilter monthly_filter(short code, int pass) {
  switch (code) {
    case -1: return SeasonalFilter::stable;
    case 1: return SeasonalFilter::three_term;
    case 2: return SeasonalFilter::three_by_three;
    case 3: return SeasonalFilter::three_by_five;
    case 4: return SeasonalFilter::three_by_nine;
    default:
      return pass == 1 ? SeasonalFilter::three_by_three : SeasonalFilter::three_by_five;
  }
}

void fill_with_mean(double* out, const double* values, long c) {
  double sum = 0.0;
  for (long k = 0; k < c; ++k) sum += values[k];
  const double mean = sum / static_cast<double>(c);
  for (long k = 0; k < c; ++k) out[k] = mean;
}

// Smooths all months with one odd-length table that none of them is shorter
// than. The interior years of all months then form a single run of positions,
// filtered with a stride of one year; the sums are those of x11mvg on each
// month's column, term for term.
void smooth_months_together(double* out, const double* in, long first, long last,
                            const double* wt, int nterms) {
  const long half = nterms / 2;
  for (long j = 0; j < 12 && first + j < last; ++j) {
    const long month_first = first + j;
    const long month_last = month_first + 12 * ((last - 1 - month_first) / 12);
    for (long s = 0; s < half; ++s) {
      const double* row = wt + s * nterms;
      double left = 0.0, right = 0.0;
      for (long k = 0; k < nterms; ++k) left += row[k] * in[month_first + 12 * k];
      for (long k = 0; k < nterms; ++k) right += row[k] * in[month_last - 12 * k];
      out[month_first + 12 * s] = left;
      out[month_last - 12 * s] = right;
    }
  }

  const double* sym = wt + half * nterms;
  const long to = last - 12 * half;
  long p = first + 12 * half;
  for (; p + 4 <= to; p += 4) {
    const double* x = in + p - 12 * half;
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    for (long k = 0; k < nterms; ++k) {
      const double w = sym[k];
      s0 += w * x[12 * k];
      s1 += w * x[12 * k + 1];
      s2 += w * x[12 * k + 2];
      s3 += w * x[12 * k + 3];
    }
    out[p] = s0;
    out[p + 1] = s1;
    out[p + 2] = s2;
    out[p + 3] = s3;
  }
  for (; p < to; ++p) {
    double sum = 0.0;
    for (long k = 0; k < nterms; ++k) sum += sym[k] * in[p + 12 * (k - half)];
    out[p] = sum;
  }
}

}  // namespace

void get_wt(X11COM* Xp, int m, long c, int p) {
  const short code = (m >= 0 && m < 12) ? Xp->macrv.spec[m] : short{0};
  const SeasonalTable table = seasonal_table(monthly_filter(code, p), c);
  Xp->macrv.wt = table.wt;
  Xp->macrv.len = table.len;
}

void x11seas(X11COM* Xp, double* out, const double* in, double* wrk1, double* wrk2, double* wrk3,
             int mon, int pass, long first, long last) {
  fill_missing(out, Xp->fake_array_size);
  fill_missing(wrk3, Xp->fake_array_size);

  // The table of each month, from its own number of years.
  std::array<SeasonalTable, 12> tables{};
  bool uniform = true;
  const long months = std::min<long>(12, std::max<long>(0, last - first));
  for (long j = 0; j < months; ++j) {
    const long c = (last - 1 - first - j) / 12 + 1;
    get_wt(Xp, static_cast<int>(((mon + j) % 12 + 12) % 12), c, pass);
    tables[j] = {Xp->macrv.wt, Xp->macrv.len};
    uniform = uniform && tables[j].wt == tables[0].wt && tables[j].len == tables[0].len;
  }

  if (months > 0 && uniform && tables[0].len % 2 == 1) {
    smooth_months_together(wrk3, in, first, last, tables[0].wt, tables[0].len);
  } else {
    // Month by month; wrk1 and wrk2 hold one month's column.
    for (long j = 0; j < months; ++j) {
      long c = 0;
      for (long p = first + j; p < last; p += 12) wrk1[c++] = in[p];
      if (tables[j].len != 0)
        x11mvg(wrk2, wrk1, 0, c, tables[j].len, tables[j].wt);
      else
        fill_with_mean(wrk2, wrk1, c);
      long k = 0;
      for (long p = first + j; p < last; p += 12) wrk3[p] = wrk2[k++];
    }
  }

  // Centre on the 2x12 average, carried flat over the six months at each end.
  // Twelve values or fewer have no such average and give no factors.
  x11ma12(Xp, wrk1, wrk3, first, last);
  if (last - first < 13) return;
  for (long p = first; p < first + 6; ++p) wrk1[p] = wrk1[first + 6];
  for (long p = last - 6; p < last; ++p) wrk1[p] = wrk1[last - 7];
  x11div(Xp, out, wrk3, wrk1, first, last);
}

void x11seaq(X11COM* Xp, double* s, double* a, double* x, const double* in, long first, long last,
             int sect) {
  const long f0 = first - 1;
  const SeasonalFilter filter =
      sect == 2 ? SeasonalFilter::three_by_five : SeasonalFilter::three_by_three;
  fill_missing(x, Xp->fake_array_size);

  // Smooth each quarter across the years; `a` holds the quarter's column and
  // `s` its smoothed values until both are computed for real below.
  for (long j = 0; j < 4 && f0 + j < last; ++j) {
    long c = 0;
    for (long p = f0 + j; p < last; p += 4) a[c++] = in[p];
    const SeasonalTable table = seasonal_table(filter, c);
    if (table.len != 0)
      x11mvgq(s, a, 1, c, table.len, table.wt);
    else
      fill_with_mean(s, a, c);
    long k = 0;
    for (long p = f0 + j; p < last; p += 4) x[p] = s[k++];
  }

  // Centre on the 2x4 average, carried flat over the two quarters at each end.
  // Four values or fewer have no such average and give no factors.
  fill_missing(s, Xp->fake_array_size);
  x11ma4q(Xp, a, x, first, last);
  if (last - f0 < 5) return;
  a[f0] = a[f0 + 1] = a[f0 + 2];
  a[last - 1] = a[last - 2] = a[last - 3];
  x11div(Xp, s, x, a, f0, last);
}

}  // namespace x11sa
