// The set-up of a series in memory, shared by the library call and the
// benchmarks of the flow.
#pragma once

#include <span>

#include "run/x11com.h"
#include "x11sa/adjust.h"

namespace x11sa {

// Reads the options and the values into Xp (whose host is set) as one BY
// group with every table requested; ends through StepExit when the options
// or the series cannot be used.
void prepare_series(X11COM* Xp, std::span<const double> values, const SeriesOptions& options);

}  // namespace x11sa
