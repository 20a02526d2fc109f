// Seasonal factors.

#include "core/seasonal_factors.h"

#include <algorithm>

#include "x11sa/missing.h"

namespace x11sa {

namespace {

// Seasonal tables: end rows from the end year inwards, then the symmetric row.
// The shortened tables serve periods with too few years for the full filter;
// the even-length ones are used only when the period has exactly that many years.

constexpr std::array<double, 2 * 3> k3TermsWeights = {
    0.610, 0.390, 0.000,  //
    0.333, 0.333, 0.333,  //
};

constexpr std::array<double, 3 * 5> k3x3Weights = {
    0.407, 0.407, 0.185, 0.000, 0.000,  //
    0.259, 0.370, 0.259, 0.111, 0.000,  //
    0.111, 0.222, 0.333, 0.222, 0.111,  //
};

constexpr std::array<double, 2 * 4> k3x3Of4Weights = {
    0.407, 0.407, 0.185, 0.000,  //
    0.259, 0.370, 0.259, 0.111,  //
};

constexpr std::array<double, 2 * 3> k3x3Of3Weights = {
    0.407, 0.407, 0.185,  //
    0.333, 0.333, 0.333,  //
};

constexpr std::array<double, 4 * 7> k3x5Weights = {
    0.283, 0.283, 0.283, 0.150, 0.000, 0.000, 0.000,  //
    0.250, 0.250, 0.250, 0.183, 0.067, 0.000, 0.000,  //
    0.150, 0.217, 0.217, 0.217, 0.133, 0.067, 0.000,  //
    0.067, 0.133, 0.200, 0.200, 0.200, 0.133, 0.067,  //
};

constexpr std::array<double, 3 * 6> k3x5Of6Weights = {
    0.283, 0.283, 0.283, 0.150, 0.000, 0.000,  //
    0.250, 0.250, 0.250, 0.183, 0.067, 0.000,  //
    0.150, 0.217, 0.217, 0.217, 0.133, 0.067,  //
};

constexpr std::array<double, 3 * 5> k3x5Of5Weights = {
    0.283, 0.283, 0.283, 0.150, 0.000,  //
    0.250, 0.250, 0.250, 0.183, 0.067,  //
    0.200, 0.200, 0.200, 0.200, 0.200,  //
};

constexpr std::array<double, 2 * 4> k3x5Of4Weights = {
    0.283, 0.283, 0.283, 0.150,  //
    0.250, 0.250, 0.250, 0.250,  //
};

constexpr std::array<double, 6 * 11> k3x9Weights = {
    0.246, 0.221, 0.197, 0.173, 0.112, 0.051, 0.000, 0.000, 0.000, 0.000, 0.000,  //
    0.208, 0.192, 0.176, 0.160, 0.144, 0.092, 0.028, 0.000, 0.000, 0.000, 0.000,  //
    0.173, 0.163, 0.154, 0.143, 0.133, 0.123, 0.079, 0.032, 0.000, 0.000, 0.000,  //
    0.141, 0.137, 0.132, 0.128, 0.123, 0.117, 0.113, 0.075, 0.034, 0.000, 0.000,  //
    0.084, 0.120, 0.118, 0.117, 0.116, 0.114, 0.113, 0.111, 0.073, 0.034, 0.000,  //
    0.037, 0.074, 0.111, 0.111, 0.111, 0.111, 0.111, 0.111, 0.111, 0.074, 0.037,  //
};

constexpr std::array<double, 5 * 10> k3x9Of10Weights = {
    0.246, 0.221, 0.197, 0.173, 0.112, 0.051, 0.000, 0.000, 0.000, 0.000,  //
    0.208, 0.192, 0.176, 0.160, 0.144, 0.092, 0.028, 0.000, 0.000, 0.000,  //
    0.173, 0.163, 0.154, 0.143, 0.133, 0.123, 0.079, 0.032, 0.000, 0.000,  //
    0.141, 0.137, 0.132, 0.128, 0.123, 0.117, 0.113, 0.075, 0.034, 0.000,  //
    0.084, 0.120, 0.118, 0.117, 0.116, 0.114, 0.113, 0.111, 0.073, 0.034,  //
};

constexpr std::array<double, 5 * 9> k3x9Of9Weights = {
    0.246, 0.221, 0.197, 0.173, 0.112, 0.051, 0.000, 0.000, 0.000,  //
    0.208, 0.192, 0.176, 0.160, 0.144, 0.092, 0.028, 0.000, 0.000,  //
    0.173, 0.163, 0.154, 0.143, 0.133, 0.123, 0.079, 0.032, 0.000,  //
    0.141, 0.137, 0.132, 0.128, 0.123, 0.117, 0.113, 0.075, 0.034,  //
    0.111, 0.111, 0.111, 0.111, 0.111, 0.111, 0.111, 0.111, 0.111,  //
};

constexpr std::array<double, 4 * 8> k3x9Of8Weights = {
    0.246, 0.221, 0.197, 0.173, 0.112, 0.051, 0.000, 0.000,  //
    0.208, 0.192, 0.176, 0.160, 0.144, 0.092, 0.028, 0.000,  //
    0.173, 0.163, 0.154, 0.143, 0.133, 0.123, 0.079, 0.032,  //
    0.125, 0.125, 0.125, 0.125, 0.125, 0.125, 0.125, 0.125,  //
};

constexpr std::array<double, 4 * 7> k3x9Of7Weights = {
    0.246, 0.221, 0.197, 0.173, 0.112, 0.051, 0.000,  //
    0.208, 0.192, 0.176, 0.160, 0.144, 0.092, 0.028,  //
    0.143, 0.143, 0.143, 0.143, 0.143, 0.143, 0.143,  //
    0.143, 0.143, 0.143, 0.143, 0.143, 0.143, 0.143,  //
};

constexpr std::array<double, 3 * 6> k3x9Of6Weights = {
    0.246, 0.221, 0.197, 0.173, 0.112, 0.051,  //
    0.167, 0.167, 0.167, 0.167, 0.167, 0.167,  //
    0.167, 0.167, 0.167, 0.167, 0.167, 0.167,  //
};

const WeightTable k3Terms{k3TermsWeights, 3};
const WeightTable k3x3{k3x3Weights, 5};
const WeightTable k3x3Of4{k3x3Of4Weights, 4};
const WeightTable k3x3Of3{k3x3Of3Weights, 3};
const WeightTable k3x5{k3x5Weights, 7};
const WeightTable k3x5Of6{k3x5Of6Weights, 6};
const WeightTable k3x5Of5{k3x5Of5Weights, 5};
const WeightTable k3x5Of4{k3x5Of4Weights, 4};
const WeightTable k3x9{k3x9Weights, 11};
const WeightTable k3x9Of10{k3x9Of10Weights, 10};
const WeightTable k3x9Of9{k3x9Of9Weights, 9};
const WeightTable k3x9Of8{k3x9Of8Weights, 8};
const WeightTable k3x9Of7{k3x9Of7Weights, 7};
const WeightTable k3x9Of6{k3x9Of6Weights, 6};

bool same_table(const WeightTable& a, const WeightTable& b) {
  return a.weights.data() == b.weights.data() && a.terms == b.terms;
}

// The mean of one period's values (every `stride`-th from values[0]) in all
// of its positions.
void fill_with_mean(std::span<const double> values, std::span<double> out, long stride) {
  const long n = (static_cast<long>(values.size()) - 1) / stride + 1;
  double sum = 0.0;
  for (long k = 0; k < n; ++k) sum += values[k * stride];
  const double mean = sum / static_cast<double>(n);
  for (long k = 0; k < n; ++k) out[k * stride] = mean;
}

// One period of the year across the years: its own table, or the mean.
template <bool normalise>
void smooth_period(std::span<const double> values, std::span<double> out, const WeightTable& table, long stride) {
  if (table.terms == 0) {
    fill_with_mean(values, out, stride);
  } else if constexpr (normalise) {
    normalised_moving_average(values, out, table, stride);
  } else {
    moving_average(values, out, table, stride);
  }
}

// Smooths all months with one odd-length table that none of them is shorter
// than. The interior years of all months then form a single run of positions,
// filtered with a stride of one year; the sums are those of moving_average on
// each month's values, term for term.
void smooth_months_together(std::span<const double> si, std::span<double> out, const WeightTable& table) {
  const long n = static_cast<long>(si.size());
  const double* in = si.data();
  const double* wt = table.weights.data();
  const long nterms = table.terms;
  const long half = nterms / 2;
  for (long j = 0; j < 12 && j < n; ++j) {
    const long month_last = j + 12 * ((n - 1 - j) / 12);
    for (long s = 0; s < half; ++s) {
      const double* row = wt + s * nterms;
      double left = 0.0, right = 0.0;
      for (long k = 0; k < nterms; ++k) left += row[k] * in[j + 12 * k];
      for (long k = 0; k < nterms; ++k) right += row[k] * in[month_last - 12 * k];
      out[j + 12 * s] = left;
      out[month_last - 12 * s] = right;
    }
  }

  const double* sym = wt + half * nterms;
  const long to = n - 12 * half;
  long p = 12 * half;
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

WeightTable seasonal_filter(SeasonalCurve curve, SeasonalEstimate estimate, long years) {
  if (curve == SeasonalCurve::Default)
    curve = estimate == SeasonalEstimate::Preliminary ? SeasonalCurve::ThreeByThree : SeasonalCurve::ThreeByFive;
  switch (curve) {
    case SeasonalCurve::ThreeTerm:
      if (years >= 3) return k3Terms;
      break;
    case SeasonalCurve::ThreeByThree:
      if (years >= 5) return k3x3;
      if (years == 4) return k3x3Of4;
      if (years == 3) return k3x3Of3;
      break;
    case SeasonalCurve::ThreeByFive:
      if (years >= 7) return k3x5;
      if (years == 6) return k3x5Of6;
      if (years == 5) return k3x5Of5;
      if (years == 4) return k3x5Of4;
      break;
    case SeasonalCurve::ThreeByNine:
      if (years >= 11) return k3x9;
      if (years == 10) return k3x9Of10;
      if (years == 9) return k3x9Of9;
      if (years == 8) return k3x9Of8;
      if (years == 7) return k3x9Of7;
      if (years == 6) return k3x9Of6;
      break;
    case SeasonalCurve::Stable:
    case SeasonalCurve::Default:
      break;
  }
  return {};
}

void monthly_seasonal_factors(std::span<const double> si, int first_month, SeasonalEstimate estimate,
                              const std::array<SeasonalCurve, 12>& curves, Mode mode, std::span<double> factors,
                              std::span<double> centring) {
  const long n = static_cast<long>(si.size());
  // The table of each month, from its own number of years.
  std::array<WeightTable, 12> tables{};
  bool uniform = true;
  const long months = std::min<long>(12, n);
  for (long j = 0; j < months; ++j) {
    const long years = (n - 1 - j) / 12 + 1;
    const long calendar_month = ((first_month + j) % 12 + 12) % 12;
    tables[j] = seasonal_filter(curves[calendar_month], estimate, years);
    uniform = uniform && same_table(tables[j], tables[0]);
  }

  // The uncentred factors go to `factors`, centred in place below.
  if (months > 0 && uniform && tables[0].terms % 2 == 1) {
    smooth_months_together(si, factors, tables[0]);
  } else {
    for (long j = 0; j < months; ++j) smooth_period<false>(si.subspan(j), factors.subspan(j), tables[j], 12);
  }

  centred_12_term_average(factors, centring);
  if (n < 13) {
    fill_missing(factors);
    return;
  }
  std::fill(centring.begin(), centring.begin() + 6, centring[6]);
  std::fill(centring.end() - 6, centring.end(), centring[n - 7]);
  ratio_or_difference(factors, centring, factors, mode);
}

void quarterly_seasonal_factors(std::span<const double> si, SeasonalEstimate estimate, Mode mode,
                                std::span<double> factors, std::span<double> centring) {
  const long n = static_cast<long>(si.size());
  for (long j = 0; j < 4 && j < n; ++j) {
    const long years = (n - 1 - j) / 4 + 1;
    smooth_period<true>(si.subspan(j), factors.subspan(j), seasonal_filter(SeasonalCurve::Default, estimate, years),
                        4);
  }
  centred_4_term_average(factors, centring);
  if (n < 5) {
    fill_missing(factors);
    return;
  }
  centring[1] = centring[2];
  centring[0] = centring[1];
  centring[n - 2] = centring[n - 3];
  centring[n - 1] = centring[n - 2];
  ratio_or_difference(factors, centring, factors, mode);
}

}  // namespace x11sa
