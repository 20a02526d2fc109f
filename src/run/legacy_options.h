// The bridge from the typed options of a step to the option fields of the
// run state, for the code that still reads those fields.
#pragma once

#include "records/step_options.h"
#include "run/x11com.h"

namespace x11sa {

// Fills the option fields of Xp (method, printing, data sets, variables and
// OUTPUT names) from `options` and keeps a copy in Xp->options. The input
// data set, when there is one, is already in Xp->in_ds.
void apply_step_options(const StepOptions& options, X11COM* Xp);

}  // namespace x11sa
