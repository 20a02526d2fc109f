// One PROC X11 step, from its statements to its exit level: the options,
// the output data sets, then each BY group read, adjusted and written.
#pragma once

#include "host/program.h"

namespace x11sa {

class Host;

// Runs one step; returns its exit level (0 normal, up to 4 warnings).
int run_step(Host& host, const ProcStep& step);

}  // namespace x11sa
