#include "diag/e_tables.h"

#include "x11sa/missing.h"

namespace x11sa {

void e1_modified_original(std::span<double> e1, const E1Components& in, Mode mode) {
  const bool additive = mode == Mode::Additive;
  const bool prior = !in.prior.empty();
  const bool trading_day = !in.trading_day.empty();
  for (std::size_t i = 0; i < e1.size(); ++i) {
    if (in.weights[i] > 0.0) {
      e1[i] = in.original[i];
      continue;
    }
    double v = 0;
    if (additive) {
      v = in.seasonal[i] + in.trend_cycle[i];
      if (trading_day) v += in.trading_day[i];
      if (prior) v += in.prior[i];
    } else {
      v = in.seasonal[i] / 100.0 * in.trend_cycle[i];
      if (trading_day) v *= in.trading_day[i] / 100.0;
      if (prior) v *= in.prior[i] / 100.0;
    }
    e1[i] = v;
  }
}

void e2_modified_adjusted(std::span<double> e2, std::span<const double> weights, std::span<const double> d11,
                          std::span<const double> d12) {
  for (std::size_t i = 0; i < e2.size(); ++i) e2[i] = weights[i] <= 0.0 ? d12[i] : d11[i];
}

void e3_modified_irregular(std::span<double> e3, std::span<const double> weights, std::span<const double> d13,
                           Mode mode) {
  const double base = mode == Mode::Additive ? 0.0 : 100.0;
  for (std::size_t i = 0; i < e3.size(); ++i) e3[i] = weights[i] > 0.0 ? d13[i] : base;
}

namespace {

void changes(std::span<double> out, std::span<const double> s, Mode mode, bool zero_is_missing) {
  const bool additive = mode == Mode::Additive;
  for (std::size_t i = 1; i < out.size(); ++i) {
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

void e5_original_changes(std::span<double> e5, std::span<const double> a1, Mode mode) {
  changes(e5, a1, mode, false);
}

void e6_adjusted_changes(std::span<double> e6, std::span<const double> d11, Mode mode) {
  changes(e6, d11, mode, true);
}

}  // namespace x11sa
