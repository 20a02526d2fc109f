#include "numeric/axis_scale.h"

#include <algorithm>
#include <cmath>

namespace x11sa {

namespace {

constexpr double kAcceptedFactors[] = {1.0, 2.0, 2.5, 5.0, 10.0};
constexpr double kDegenerate = 2.225073858507202e-305;

}  // namespace

std::optional<AxisScale> choose_axis_scale(double low, double high, int positions, int min_tick_spacing) {
  if (!std::isfinite(low) || !std::isfinite(high) || positions < 2) return std::nullopt;
  if (low > high) std::swap(low, high);
  double lo = low;
  double hi = high;
  // A degenerate range is widened around its value.
  if (std::fabs(hi - lo) <= kDegenerate || std::fabs(hi - lo) <= 1e-12 * std::max(std::fabs(lo), std::fabs(hi))) {
    const double pad = lo == 0.0 ? 1.0 : std::fabs(lo) * 0.1;
    lo -= pad;
    hi += pad;
  }
  const int max_ticks = std::max(1, positions / std::max(min_tick_spacing, 1));
  // The smallest acceptable increment whose ticks fit the positions.
  const double raw = (hi - lo) / max_ticks;
  double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (int tries = 0; tries < 3; ++tries, power *= 10.0)
    for (const double factor : kAcceptedFactors) {
      const double candidate = factor * power;
      const double first = std::floor(lo / candidate) * candidate;
      const double last = std::ceil(hi / candidate - 1e-9) * candidate;
      const int ticks = static_cast<int>(std::lround((last - first) / candidate));
      if (candidate >= raw * (1 - 1e-12) && ticks <= max_ticks && ticks >= 1) {
        const int spacing = positions / ticks;
        return AxisScale{first, last, candidate, ticks, spacing, candidate / spacing};
      }
    }
  return std::nullopt;
}

}  // namespace x11sa
