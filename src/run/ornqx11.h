// The procedure entry: one PROC X11 step from its statements to its exit level.
#pragma once

#include "host/program.h"
#include "run/x11com.h"

namespace x11sa {

class Host;

// Runs one step; returns its exit level (0 normal, up to 4 warnings).
int ornqx11(Host& host, const ProcStep& step);

// 1 when the current BY group is to be skipped: shorter than three years,
// or no variable to adjust.
[[nodiscard]] int check_bygroup(X11COM* Xp);

// Processes one BY group: workspace, every variable's flow.
void x11run(X11COM* Xp);

}  // namespace x11sa
