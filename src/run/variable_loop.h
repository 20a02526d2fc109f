// The variable loop of a BY group, and the steps it takes to set up each
// variable for its flow.
#pragma once

#include <cstddef>
#include <span>

#include "pipeline/chain_tables.h"
#include "records/series_layout.h"
#include "records/step_options.h"
#include "run/x11com.h"

namespace x11sa {

// What the variables of the group share: the prior factors read with the
// rows, the prior trading-day factors of PDWEIGHTS, the month types.
void set_group_series(X11COM* Xp, const StepOptions& o, GroupSeries& g);
// Where the values of variable `v` lie in the group's vectors.
[[nodiscard]] SeriesLayout layout_of(const X11COM* Xp, const StepOptions& o, const VAR& v);
// Variable k of the group as read, into its A1 after the room for backcasts.
void read_series(X11COM* Xp, std::size_t k, std::span<double> a1);

}  // namespace x11sa
