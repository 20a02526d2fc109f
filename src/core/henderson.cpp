// Henderson trend-cycle.

#include "core/henderson.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace x11sa {

namespace {

// Henderson tables: end rows from the end point inwards, then the symmetric row.

constexpr std::array<double, 3 * 5> kWeights5 = {
    0.670,  0.403, -0.073, 0.000,  0.000,   //
    0.257,  0.522, 0.294,  -0.073, 0.000,   //
    -0.073, 0.294, 0.558,  0.294,  -0.073,  //
};

// The end rows of the 7-term filter are the 5-term filters.
constexpr std::array<double, 4 * 7> kWeights7 = {
    0.670,  0.403,  -0.073, 0.000, 0.000,  0.000,  0.000,   //
    0.257,  0.522,  0.294,  -0.073, 0.000, 0.000,  0.000,   //
    -0.073, 0.294,  0.558,  0.294, -0.073, 0.000,  0.000,   //
    -0.059, 0.059,  0.294,  0.413, 0.294,  0.059,  -0.059,  //
};

constexpr std::array<double, 5 * 9> kWeights9 = {
    0.581,  0.424,  0.185, -0.034, -0.156, 0.000,  0.000,  0.000,  0.000,   //
    0.298,  0.354,  0.282, 0.126,  -0.011, -0.049, 0.000,  0.000,  0.000,   //
    0.086,  0.242,  0.315, 0.259,  0.120,  0.000,  -0.022, 0.000,  0.000,   //
    -0.029, 0.102,  0.255, 0.324,  0.263,  0.120,  -0.004, -0.031, 0.000,   //
    -0.041, -0.010, 0.119, 0.267,  0.330,  0.267,  0.119,  -0.010, -0.041,  //
};

constexpr std::array<double, 7 * 13> kWeights13 = {
    0.421, 0.353, 0.244, 0.120, 0.012, -0.058, -0.092, 0.000, 0.000, 0.000, 0.000, 0.000, 0.000,
    0.279, 0.292, 0.254, 0.174, 0.080, 0.002, -0.038, -0.043, 0.000, 0.000, 0.000, 0.000, 0.000,
    0.148, 0.216, 0.241, 0.216, 0.149, 0.068, 0.003, -0.025, -0.016, 0.000, 0.000, 0.000, 0.000,
    0.046, 0.131, 0.201, 0.230, 0.208, 0.145, 0.066, 0.004, -0.022, -0.009, 0.000, 0.000, 0.000,
    -0.018, 0.050, 0.136, 0.205, 0.235, 0.210, 0.145, 0.067, 0.003, -0.022, -0.011, 0.000, 0.000,
    -0.034, -0.006, 0.061, 0.144, 0.212, 0.238, 0.213, 0.147, 0.066, 0.001, -0.025, -0.017, 0.000,
    -0.019, -0.028, 0.000, 0.066, 0.147, 0.214, 0.240, 0.214, 0.147, 0.066, 0.000, -0.028, -0.019,
};

constexpr std::array<double, 12 * 23> kWeights23 = {
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

// The I/C ratio of the 13-term trend: the sums of the absolute changes of
// the irregular and of the trend from point 7 to n - 7, where the irregular
// of both points exists (the symmetric 13-term filter), each change relative
// to the earlier value when multiplicative. The irregular is formed a block
// at a time so that its divisions run side by side.
template <bool additive>
double ic_ratio(std::span<const double> in, std::span<const double> trend) {
  const auto irregular = [](double value, double t) {
    if constexpr (additive) return value - t;
    return value / t * 100.0;
  };
  const auto relative = [](double change, double base) {
    if constexpr (additive) return change;
    return change / base;
  };
  const long n = static_cast<long>(in.size());
  double trend_changes = 0.0;
  double irregular_changes = 0.0;
  if (n >= 14) {
    constexpr long kBlock = 64;
    std::array<double, kBlock + 1> irr{};  // irr[0]: the irregular before the block
    irr[0] = irregular(in[6], trend[6]);
    for (long from = 7; from <= n - 7; from += kBlock) {
      const long count = std::min(kBlock, n - 6 - from);
      for (long k = 0; k < count; ++k) irr[k + 1] = irregular(in[from + k], trend[from + k]);
      for (long k = 0; k < count; ++k) {
        const long p = from + k;
        trend_changes += relative(std::fabs(trend[p] - trend[p - 1]), trend[p - 1]);
      }
      for (long k = 1; k <= count; ++k) irregular_changes += relative(std::fabs(irr[k] - irr[k - 1]), irr[k - 1]);
      irr[0] = irr[count];
    }
  }
  return trend_changes > 0.0 ? irregular_changes / trend_changes : 100000.0;
}

const WeightTable& henderson_table(int length) {
  switch (length) {
    case 9: return kHenderson9;
    case 13: return kHenderson13;
    default: return kHenderson23;
  }
}

}  // namespace

const WeightTable kHenderson5{kWeights5, 5};
const WeightTable kHenderson7{kWeights7, 7};
const WeightTable kHenderson9{kWeights9, 9};
const WeightTable kHenderson13{kWeights13, 13};
const WeightTable kHenderson23{kWeights23, 23};

HendersonChoice henderson_trend(std::span<const double> in, std::span<double> trend, Mode mode, TrendPass pass,
                                std::optional<int> length) {
  moving_average(in, trend, kHenderson13);
  HendersonChoice choice;
  choice.ic_ratio = mode == Mode::Additive ? ic_ratio<true>(in, trend) : ic_ratio<false>(in, trend);
  if (length) {
    choice.length = (*length == 9 || *length == 13) ? *length : 23;
  } else if (choice.ic_ratio < 0.995) {
    choice.length = 9;
  } else if (choice.ic_ratio < 3.49 || pass == TrendPass::First) {
    choice.length = 13;
  } else {
    choice.length = 23;
  }
  // The 13-term trend is already there.
  if (choice.length != 13) moving_average(in, trend, henderson_table(choice.length));
  return choice;
}

void quarterly_henderson_trend(std::span<const double> in, std::span<double> trend, std::optional<int> length) {
  normalised_moving_average(in, trend, length == 7 ? kHenderson7 : kHenderson5);
}

}  // namespace x11sa
