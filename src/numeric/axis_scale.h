// Axis scaling for charts: a tick increment from a small set of readable
// leading factors times a power of ten.
#pragma once

#include <optional>

namespace x11sa {

struct AxisScale {
  double low = 0;        // first tick, a multiple of increment at or below the data
  double high = 0;       // last tick, a multiple of increment at or above the data
  double increment = 0;  // value between ticks
  int ticks = 0;         // number of tick intervals
  int tick_spacing = 0;  // print positions (or pixels) between ticks
  double unit = 0;       // value per position
};

// The axis for data from `low` to `high` over `positions` print positions
// (or pixels), ticks at least `min_tick_spacing` positions apart: the
// smallest increment of 1, 2, 2.5, 5 or 10 times a power of ten whose ticks
// fit. None when the range cannot be scaled.
[[nodiscard]] std::optional<AxisScale> choose_axis_scale(double low, double high, int positions,
                                                         int min_tick_spacing);

}  // namespace x11sa
